#include "ui/qtjobloop.h"

#include <QMetaObject>
#include <QTimer>
#include <chrono>

namespace lianshuo {

void QtJobLoop::post(std::function<void()> step) {
    QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
}

void QtJobLoop::postAfter(long long milliseconds, std::function<void()> step) {
    QTimer::singleShot(std::chrono::milliseconds(milliseconds), this, std::move(step));
}

OneOffJob::~OneOffJob() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

bool OneOffJob::start(Work work) {
    if (busy_) return false;
    // The last one has delivered: its thread is ending, if it has not ended yet.
    if (thread_.joinable()) thread_.join();
    busy_ = true;
    stop_ = false;
    const std::weak_ptr<char> alive = alive_;
    thread_ = std::thread([this, alive, work = std::move(work)] {
        std::function<void()> result = work(stop_);
        loop_.post([this, alive, result = std::move(result)] {
            if (alive.expired()) return;
            busy_ = false;
            if (result) result();
        });
    });
    return true;
}

}  // namespace lianshuo
