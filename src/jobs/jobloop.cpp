#include "jobs/jobloop.h"

namespace lianshuo {
namespace {

// How long the loop sleeps at most before it asks its owner again (who may have a stop to give).
constexpr auto kLongestSleep = std::chrono::milliseconds(20);

}  // namespace

void PlainJobLoop::post(std::function<void()> step) {
    {
        const std::lock_guard lock(mutex_);
        posted_.push_back(std::move(step));
    }
    wake_.notify_one();
}

void PlainJobLoop::postAfter(long long milliseconds, std::function<void()> step) {
    const std::lock_guard lock(mutex_);
    timed_.emplace(Clock::now() + std::chrono::milliseconds(milliseconds), std::move(step));
}

void PlainJobLoop::runUntil(const std::function<bool()>& done) {
    while (!done()) {
        std::function<void()> step;
        {
            std::unique_lock lock(mutex_);
            const auto now = Clock::now();
            if (!posted_.empty()) {
                step = std::move(posted_.front());
                posted_.pop_front();
            } else if (!timed_.empty() && timed_.begin()->first <= now) {
                step = std::move(timed_.begin()->second);
                timed_.erase(timed_.begin());
            } else {
                auto until = now + kLongestSleep;
                if (!timed_.empty()) until = std::min(until, timed_.begin()->first);
                wake_.wait_until(lock, until);
            }
        }
        // done() after every step, not only every few milliseconds: what a step did (a failed
        // print, a signal) may have to stop the run before the next step sends another request.
        if (step) step();
    }
}

}  // namespace lianshuo
