#pragma once
// The job loop of the windows: Qt's own event loop. Outcomes posted from the
// request slots arrive as queued calls, so a modal box's loop delivers them
// too and a batch never waits for a box to close.

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "jobs/jobloop.h"

namespace lianshuo {

class QtJobLoop final : public QObject, public JobLoop {
public:
    using QObject::QObject;
    void post(std::function<void()> step) override;
    void postAfter(long long milliseconds, std::function<void()> step) override;
};

/// A window's one-off request (the interface test): its work runs on a thread
/// the job owns, and what it hands back runs on the loop, so the window keeps
/// answering meanwhile. One at a time.
class OneOffJob {
public:
    /// The work: runs off the loop, told to stop by `stop`; returns what then runs on the loop.
    using Work = std::function<std::function<void()>(const std::atomic<bool>& stop)>;

    explicit OneOffJob(JobLoop& loop) : loop_(loop) {}
    /// Stops the work under way and waits for its thread; its result is dropped.
    ~OneOffJob();
    OneOffJob(const OneOffJob&) = delete;
    OneOffJob& operator=(const OneOffJob&) = delete;

    /// Starts `work`; false (and nothing starts) while an earlier one has not delivered yet.
    bool start(Work work);
    /// Whether a work has started and its result has not run on the loop yet.
    bool busy() const { return busy_; }

private:
    JobLoop& loop_;
    std::atomic<bool> stop_{false};
    bool busy_ = false;  // on the loop's thread only
    std::thread thread_;
    std::shared_ptr<char> alive_ = std::make_shared<char>();  // a result posted to a gone job drops
};

}  // namespace lianshuo
