#pragma once
// The job loop of the windows: Qt's own event loop. Outcomes posted from the
// request slots arrive as queued calls, so a modal box's loop delivers them
// too and a batch never waits for a box to close.

#include <QObject>

#include "jobs/jobloop.h"

namespace lianshuo {

class QtJobLoop final : public QObject, public JobLoop {
public:
    using QObject::QObject;
    void post(std::function<void()> step) override;
    void postAfter(long long milliseconds, std::function<void()> step) override;
};

}  // namespace lianshuo
