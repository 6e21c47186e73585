#pragma once
// The window benchmarks' measure: the longest time between two ticks of a 5 ms
// timer while `work` runs in (or drives) the event loop.

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace lianshuo::bench {

inline qint64 longestGap(const std::function<void()>& work) {
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticks;
    ticks.setInterval(5);
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    ticks.start();
    work();
    return std::max(longest, clock.elapsed() - last);
}

}  // namespace lianshuo::bench
