#pragma once
// What the batch and the file converter share: the loop their steps run on
// (their own when none is given), the conversion queue, and the run state
// the start button toggles by. Each job keeps only what its run does.

#include <memory>
#include <string>

#include "services/runplan.h"

namespace lianshuo {

class ConversionQueue;
class JobLoop;
class PlainJobLoop;
class ShortUrlConverter;

/// Where a job's run is; the job owns it, the button's caption only shows it.
enum class RunState { Idle, Running, Stopping };

class JobRun {
public:
    /// With a `loop`, a run goes on in it after the start call returns;
    /// without, wait() runs the run's own loop until the run has ended.
    JobRun(ShortUrlConverter& converter, JobLoop* loop);
    /// Stops the queue and waits for its slots before the loop goes.
    ~JobRun();
    JobRun(const JobRun&) = delete;
    JobRun& operator=(const JobRun&) = delete;

    RunState state() const { return state_; }
    bool running() const { return state_ != RunState::Idle; }
    JobLoop& loop() { return loop_; }
    ConversionQueue& queue() { return *queue_; }
    const ConversionQueue& queue() const { return *queue_; }

    /// Marks the run started on `slots` request slots: the converter takes a
    /// snapshot of the chosen service and follows the queue's stop, and the
    /// run's plan is made of `rules`. Returns the service's label.
    std::string begin(int slots, ShortAddressRules rules = {});
    /// Stops at once (requests in flight are aborted); false when nothing runs.
    bool stop();
    /// Starts no more conversions; those under way finish first.
    void finishUnderWay();
    /// Whether a stop (or a finish of those under way) came during this run.
    bool stopped() const;
    /// The run has ended: the converter lets go of the stop, and the job is idle.
    void end();
    /// Without a loop given, runs the own loop until the run has ended.
    void wait();

private:
    ShortUrlConverter& converter_;
    std::unique_ptr<PlainJobLoop> ownLoop_;  // when no loop was given
    JobLoop& loop_;
    std::unique_ptr<ConversionQueue> queue_;
    RunState state_ = RunState::Idle;
};

}  // namespace lianshuo
