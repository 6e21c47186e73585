#include "services/requestpacer.h"

#include <chrono>

#include "base/helpers.h"

namespace lianshuo {

RequestPacer::RequestPacer()
    : clock_([] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
              .count();
      }),
      wait_([](long long ms, const std::atomic<bool>* stop) {
          static const std::atomic<bool> kNever{false};
          waitInterruptibly(ms, stop != nullptr ? *stop : kNever);
      }) {}

RequestPacer& RequestPacer::shared() {
    static RequestPacer pacer;
    return pacer;
}

void RequestPacer::waitTurn(const std::string& key, long pauseMs, const std::atomic<bool>* stop) {
    if (pauseMs <= 0) return;
    long long left = 0;
    {
        const std::lock_guard lock(mutex_);
        const auto last = lastEnd_.find(key);
        if (last == lastEnd_.end()) return;
        left = last->second + pauseMs - clock_();
    }
    if (left > 0) wait_(left, stop);
}

void RequestPacer::finished(const std::string& key) {
    const std::lock_guard lock(mutex_);
    lastEnd_[key] = clock_();
}

}  // namespace lianshuo
