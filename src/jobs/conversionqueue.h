#pragma once
// The conversions of a run (the batch's rows, a file's addresses) on up to N
// request slots at once. Each distinct address asks the service once per run;
// outcomes come back on the job's loop in input order, so a results file
// keeps the order of the list whatever answered first. One slot is the
// sequential run: convert, pause, convert the next.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "jobs/addresssource.h"
#include "jobs/jobloop.h"
#include "jobs/outcometable.h"
#include "services/shorturlconverter.h"

namespace lianshuo {

class ConversionQueue {
public:
    /// What the queue tells its job, always on the job's loop.
    struct Events {
        /// `row` is taken now: asked of a service, or answered by this run or the history.
        std::function<void(int row)> converting;
        /// `row`'s outcome, in input order. FailureKind::Stopped: a stop caught it under way.
        std::function<void(int row, const ConversionOutcome& outcome)> finished;
        /// The pause a slot takes after a conversion that asked a service.
        std::function<long long()> pauseMs;
        /// Every row is finished, or a stop came and nothing is under way any more.
        std::function<void()> done;
    };

    ConversionQueue(JobLoop& loop, ShortUrlConverter& converter);
    /// Stops, aborting the transfers in flight, and waits for the slots.
    ~ConversionQueue();
    ConversionQueue(const ConversionQueue&) = delete;
    ConversionQueue& operator=(const ConversionQueue&) = delete;

    /// Starts a run on `slots` request slots (at least 1) under `plan` (null: every address
    /// converted as it is): no outcome of an earlier run is reused, and no stop is pending.
    void beginRun(int slots, std::shared_ptr<const RunPlan> plan = nullptr);
    /// The plan of the run under way (null: none).
    const RunPlan* plan() const { return plan_.get(); }
    /// Converts `addresses` and returns at once. `pauseAfterLast`: the last
    /// conversion's pause also comes before done(); without it, that pause is
    /// taken at the start of the run's next list instead, if one follows.
    void convert(std::vector<std::string> addresses, Events events, bool pauseAfterLast = false);
    /// Converts the entries `source` gives, asking it for the next only when a
    /// slot is free: the rows held are the ones under way, not the list.
    void convert(AddressSource source, Events events, bool pauseAfterLast = false);
    /// Aborts the transfers in flight and ends the pauses; done() follows on the loop.
    void stop();
    /// Starts no more conversions and ends the pauses; the ones under way
    /// finish and are delivered, then done() follows.
    void finishUnderWay();

    bool busy() const { return running_; }
    bool stopped() const { return stop_ || draining_; }
    /// The flag a stop sets (or the loop's stop signal), for work the job does between
    /// conversions.
    const std::atomic<bool>& stopFlag() const { return stop_; }
    /// Slots that may ask the service at once now: fewer than begun with
    /// after the service answered 429.
    int parallel() const { return limit_; }

private:
    void pump();
    bool hasMore();
    void endRun();
    void deliver();
    void finishIfDone();
    void submit(ShortUrlConverter::Task task);
    void conversionEnded(const std::string& address, const ConversionOutcome& outcome,
                         bool throttled);
    void slotRested(unsigned generation);
    void postRest(long long pause);
    void rest(long long pause);
    void settle(const std::string& address, const ConversionOutcome& outcome);
    void recordKeptBack();
    bool convertsInline() const;
    void startWorkers(int count);
    void workerLoop();

    JobLoop& loop_;
    ShortUrlConverter& converter_;
    std::atomic<bool> ownStop_{false};
    std::atomic<bool>& stop_;  // the loop's stop signal when it has one, else ownStop_
    bool draining_ = false;    // finishUnderWay() came
    std::shared_ptr<char> alive_ = std::make_shared<char>();  // steps posted to a gone queue drop

    // The run, on the job's thread.
    int slots_ = 1, limit_ = 1, calm_ = 0;
    std::shared_ptr<const RunPlan> plan_;
    OutcomeTable outcomes_;
    // The current list.
    bool running_ = false;
    bool pauseAfterLast_ = false;
    Events events_;
    AddressSource source_;
    std::optional<ListedAddress> ahead_;  // given by the source, not taken yet
    bool sourceEnded_ = false;
    // The rows taken and not delivered yet: delivered_ to next_ - 1.
    struct Row {
        std::string address;
        std::optional<ConversionOutcome> result;  // none: not yet
    };
    std::deque<Row> rows_;
    std::unordered_map<std::string, std::vector<int>> waiting_;  // rows by address under way
    // On the inline slot, a finished conversion's history record waits for the
    // next request to be on its way; its rows wait with it.
    struct KeptBack {
        std::string address;
        ConversionOutcome outcome;
    };
    std::optional<KeptBack> keptBack_;
    bool stepPosted_ = false;  // an inline conversion is posted and has not begun
    int next_ = 0, delivered_ = 0;
    int busySlots_ = 0, inFlight_ = 0, resting_ = 0;
    int owedRests_ = 0;        // pauses the last conversions of the previous list did not take
    unsigned generation_ = 0;  // a stop cuts the rests short: their timers then find a newer one

    // The slots' threads.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool quit_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace lianshuo
