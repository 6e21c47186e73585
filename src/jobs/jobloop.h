#pragma once
// Where a job's steps run: on the thread that owns the job (the window's or
// the command line's), one at a time. Conversions run elsewhere and hand
// their outcomes back through post(), so the owner never waits on a service.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace lianshuo {

class JobLoop {
public:
    virtual ~JobLoop() = default;
    /// Runs `step` on the owner's thread soon; callable from any thread.
    virtual void post(std::function<void()> step) = 0;
    /// Runs `step` on the owner's thread after `milliseconds`; owner's thread only.
    virtual void postAfter(long long milliseconds, std::function<void()> step) = 0;
    /// Whether the owner has nothing else to do while a conversion runs, so a
    /// single slot may convert on its thread instead of handing each
    /// conversion to another thread and back.
    virtual bool ownerMayWait() const { return false; }
    /// A flag that code outside every step (a signal handler) may set to stop
    /// the job on this loop: its conversions read it as their stop flag, so a
    /// request in flight ends at once. Null: the loop has none.
    virtual std::atomic<bool>* stopSignal() { return nullptr; }
};

/// A loop of its own for owners without an event loop (the command line, the
/// tests): runUntil() runs the steps until the job says it is done. One job
/// runs on it at a time.
class PlainJobLoop final : public JobLoop {
public:
    void post(std::function<void()> step) override;
    void postAfter(long long milliseconds, std::function<void()> step) override;
    bool ownerMayWait() const override { return true; }
    std::atomic<bool>* stopSignal() override { return &stopSignal_; }
    /// Runs posted and due steps until `done()` holds; `done()` is asked after
    /// every step and at least every 20 ms, so it may also stop the job.
    void runUntil(const std::function<bool()>& done);

private:
    using Clock = std::chrono::steady_clock;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> posted_;
    std::multimap<Clock::time_point, std::function<void()>> timed_;
    std::atomic<bool> stopSignal_{false};
};

}  // namespace lianshuo
