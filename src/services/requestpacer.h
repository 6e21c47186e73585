#pragma once
// The least pause between two requests of one interface ("间隔毫秒"), kept
// across conversions and runs: a service that limits its callers per second
// is spared even when a batch waits less, or retries at once.

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace lianshuo {

class RequestPacer {
public:
    /// Milliseconds on a steady clock.
    using Clock = std::function<long long()>;
    /// Waits `ms`, ending early once `stop` is set (null: nothing stops it).
    using Wait = std::function<void(long long ms, const std::atomic<bool>* stop)>;

    /// The steady clock, and a wait that keeps window messages flowing.
    RequestPacer();
    /// Fake time for tests.
    RequestPacer(Clock clock, Wait wait) : clock_(std::move(clock)), wait_(std::move(wait)) {}

    /// The pacer every interface conversion goes through.
    static RequestPacer& shared();

    /// Waits until `pauseMs` have passed since the last request of `key` ended.
    void waitTurn(const std::string& key, long pauseMs, const std::atomic<bool>* stop);
    /// Notes that a request of `key` has ended now.
    void finished(const std::string& key);

private:
    Clock clock_;
    Wait wait_;
    std::mutex mutex_;  // parallel request slots share the pacer
    std::map<std::string, long long> lastEnd_;
};

}  // namespace lianshuo
