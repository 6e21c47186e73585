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

}  // namespace lianshuo
