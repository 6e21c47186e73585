#include "http/requestworkers.h"

#include <chrono>
#include <deque>
#include <thread>
#include <vector>

#include "http/handlepool.h"

namespace lianshuo::transfer {
namespace {

// A thread per request would set up the TLS library's per-thread state for every request
// (a fifth of a millisecond each over HTTPS), so workers wait for the next request a while
// before they end.
constexpr auto kIdleLife = std::chrono::seconds(1);

class Workers {
public:
    ~Workers() {
        std::vector<Worker> workers;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            workers = std::move(workers_);
        }
        wake_.notify_all();
        for (Worker& worker : workers) worker.thread.join();
    }

    void run(std::shared_ptr<PendingRequest> pending) {
        std::lock_guard lock(mutex_);
        reapEnded();
        queue_.push_back(std::move(pending));
        // Idle workers that are yet to take a request count as taken by the queued ones.
        if (idle_ >= queue_.size()) {
            wake_.notify_one();
            return;
        }
        auto ended = std::make_shared<std::atomic<bool>>(false);
        try {
            workers_.push_back({std::thread([this, ended] { serve(*ended); }), ended});
        } catch (...) {
            queue_.pop_back();
            throw;
        }
    }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };

    void serve(std::atomic<bool>& ended) {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            const bool woken =
                wake_.wait_for(lock, kIdleLife, [&] { return stopping_ || !queue_.empty(); });
            --idle_;
            if (!woken || (stopping_ && queue_.empty())) break;
            std::shared_ptr<PendingRequest> pending = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            work(*pending);
            lock.lock();
        }
        ended = true;
    }

    void work(PendingRequest& pending) {
        Result result = perform(pending.request, [&] { return pending.abandoned || stopping_; });
        // The handle is back in the pool by now, so the caller's next request finds it idle,
        // with its connection open.
        std::lock_guard lock(pending.mutex);
        pending.result = std::move(result);
        pending.done = true;
        pending.finished.notify_all();
    }

    // Ended threads keep their stacks until joined.
    void reapEnded() {
        std::erase_if(workers_, [](Worker& worker) {
            if (!*worker.ended) return false;
            worker.thread.join();
            return true;
        });
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<PendingRequest>> queue_;
    std::size_t idle_ = 0;
    std::atomic<bool> stopping_{false};  // read by transfers in flight, outside the lock
    std::vector<Worker> workers_;
};

Workers& workers() {
    // libcurl (and the TLS library under it) and the handle pool first, so that at exit the
    // workers end (and hand their handles back) before any of those go.
    ensureInitialised();
    static Workers instance;
    return instance;
}

}  // namespace

void runOnWorker(std::shared_ptr<PendingRequest> pending) {
    workers().run(std::move(pending));
}

}  // namespace lianshuo::transfer
