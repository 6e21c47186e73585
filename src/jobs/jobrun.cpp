#include "jobs/jobrun.h"

#include "jobs/conversionqueue.h"
#include "jobs/jobloop.h"
#include "services/shorturlconverter.h"

namespace lianshuo {

JobRun::JobRun(ShortUrlConverter& converter, JobLoop* loop)
    : converter_(converter),
      ownLoop_(loop != nullptr ? nullptr : std::make_unique<PlainJobLoop>()),
      loop_(loop != nullptr ? *loop : *ownLoop_),
      queue_(std::make_unique<ConversionQueue>(loop_, converter)) {}

// The queue goes first: it waits for its slots, which use the converter and the loop.
JobRun::~JobRun() {
    queue_.reset();
}

std::string JobRun::begin(int slots, ShortAddressRules rules) {
    state_ = RunState::Running;
    std::string label = converter_.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    queue_->beginRun(slots, converter_.planRun(std::move(rules)));
    converter_.setStopFlag(&queue_->stopFlag());
    return label;
}

bool JobRun::stop() {
    if (state_ == RunState::Idle) return false;
    state_ = RunState::Stopping;
    queue_->stop();
    return true;
}

void JobRun::finishUnderWay() {
    queue_->finishUnderWay();
}

bool JobRun::stopped() const {
    return queue_->stopped();
}

void JobRun::end() {
    converter_.setStopFlag(nullptr);
    state_ = RunState::Idle;
}

void JobRun::wait() {
    if (ownLoop_) ownLoop_->runUntil([this] { return state_ == RunState::Idle; });
}

}  // namespace lianshuo
