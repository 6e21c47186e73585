#include "jobs/conversionqueue.h"

#include <algorithm>
#include <memory>

namespace lianshuo {
namespace {

// Rows taken ahead of one that is still under way: repeats and history hits
// take no slot, so without a bound a long list behind a slow row would be held whole.
constexpr std::size_t kMostRowsAhead = 4096;

}  // namespace

ConversionQueue::ConversionQueue(JobLoop& loop, ShortUrlConverter& converter)
    : loop_(loop),
      converter_(converter),
      stop_(loop.stopSignal() != nullptr ? *loop.stopSignal() : ownStop_) {}

ConversionQueue::~ConversionQueue() {
    // Nobody is left to see its rows, but the conversion is done: the history keeps it.
    if (keptBack_) converter_.remember(keptBack_->address, keptBack_->outcome, plan_.get());
    stop_ = true;
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
        tasks_.clear();
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void ConversionQueue::beginRun(int slots, std::shared_ptr<const RunPlan> plan) {
    slots_ = limit_ = std::max(1, slots);
    plan_ = std::move(plan);
    calm_ = 0;
    owedRests_ = 0;
    outcomes_.clear();
    stop_ = false;
    draining_ = false;
    if (!convertsInline()) startWorkers(slots_);
}

bool ConversionQueue::convertsInline() const {
    return slots_ == 1 && loop_.ownerMayWait();
}

void ConversionQueue::convert(std::vector<std::string> addresses, Events events,
                              bool pauseAfterLast) {
    auto list = std::make_shared<std::vector<std::string>>(std::move(addresses));
    convert(
        [list, next = std::size_t{0}]() mutable -> std::optional<ListedAddress> {
            if (next == list->size()) return std::nullopt;
            return ListedAddress{std::move((*list)[next++]), {}};
        },
        std::move(events), pauseAfterLast);
}

void ConversionQueue::convert(AddressSource source, Events events, bool pauseAfterLast) {
    source_ = std::move(source);
    ahead_.reset();
    sourceEnded_ = false;
    events_ = std::move(events);
    pauseAfterLast_ = pauseAfterLast;
    rows_.clear();
    waiting_.clear();
    next_ = delivered_ = 0;
    busySlots_ = inFlight_ = resting_ = 0;
    running_ = true;
    // Between two lists of a run (two files) the slots rest as between two rows.
    for (; owedRests_ > 0 && busySlots_ < limit_; --owedRests_) {
        if (const long long pause = events_.pauseMs(); pause > 0) rest(pause);
    }
    owedRests_ = 0;
    pump();
}

bool ConversionQueue::hasMore() {
    if (!ahead_ && !sourceEnded_) {
        ahead_ = source_();
        sourceEnded_ = !ahead_;
    }
    return ahead_.has_value();
}

void ConversionQueue::stop() {
    stop_ = true;
    endRun();
}

void ConversionQueue::finishUnderWay() {
    if (draining_ || stop_) return;
    draining_ = true;
    endRun();
}

void ConversionQueue::endRun() {
    if (!running_) return;
    // Resting slots end their pause now; their timers will find a newer generation.
    busySlots_ -= resting_;
    resting_ = 0;
    ++generation_;
    const std::weak_ptr<char> alive = alive_;
    loop_.post([this, alive] {
        if (!alive.expired()) finishIfDone();
    });
}

void ConversionQueue::pump() {
    // Again after reading: a source that waits for its input lets a stop in meanwhile.
    while (running_ && !stopped() && busySlots_ < limit_ && hasMore() && !stopped()) {
        if (rows_.size() >= kMostRowsAhead) {
            // No request will be on its way to wait for: the record held back is written now.
            if (!stepPosted_) recordKeptBack();
            if (rows_.size() >= kMostRowsAhead && busySlots_ > 0) break;
        }
        const int row = next_++;
        Row& taken = rows_.emplace_back();
        taken.address = std::move(ahead_->address);
        std::string refusal = std::move(ahead_->refusal);
        ahead_.reset();
        events_.converting(row);
        const std::string& address = taken.address;
        if (!refusal.empty()) {
            taken.result = ConversionOutcome::failed(FailureKind::Refused, refusal);
        } else if (std::optional<ConversionOutcome> known = outcomes_.find(address)) {
            taken.result = std::move(known);
        } else if (const auto under = waiting_.find(address); under != waiting_.end()) {
            under->second.push_back(row);
        } else if (std::optional<ConversionOutcome> kept =
                       converter_.recall(address, plan_.get())) {
            if (converter_.verifies() && kept->skipped.empty() &&
                (!plan_ || plan_->rules.kind == RunKind::Shorten)) {
                // The service may have changed since: the kept address is asked on a slot.
                waiting_[address].push_back(row);
                ++busySlots_;
                ++inFlight_;
                submit(converter_.prepareVerification(address, std::move(*kept)));
            } else {
                outcomes_.insert(address, *kept);
                taken.result = std::move(kept);
            }
        } else {
            waiting_[address].push_back(row);
            ++busySlots_;
            ++inFlight_;
            submit(converter_.prepare(address, plan_));
        }
        deliver();
    }
    finishIfDone();
}

void ConversionQueue::deliver() {
    while (running_ && !rows_.empty() && rows_.front().result) {
        const int row = delivered_++;
        events_.finished(row, *rows_.front().result);
        rows_.pop_front();
    }
}

void ConversionQueue::finishIfDone() {
    if (!running_) return;
    // A posted conversion writes it while its request is under way.
    if (!stepPosted_) recordKeptBack();
    const bool allDelivered = rows_.empty() && sourceEnded_;
    if (!(allDelivered && busySlots_ == 0) && !(stopped() && inFlight_ == 0)) return;
    // After a stop the rows that did finish are kept, in order, behind the one it caught.
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].result) events_.finished(delivered_ + static_cast<int>(i), *rows_[i].result);
    rows_.clear();
    running_ = false;
    source_ = {};
    if (events_.done) events_.done();
}

void ConversionQueue::submit(ShortUrlConverter::Task task) {
    const std::weak_ptr<char> alive = alive_;
    if (convertsInline()) {
        // A step of its own, not a call from here: a long list must not nest ever deeper.
        stepPosted_ = true;
        loop_.post([this, alive, task = std::move(task)]() mutable {
            if (alive.expired()) return;
            stepPosted_ = false;
            bool throttled = false;
            // The last conversion's record is written while this one's request is under way.
            std::function<void()> meanwhile = [this] { recordKeptBack(); };
            task.whileWaiting = &meanwhile;
            const ConversionOutcome outcome = converter_.perform(task, &stop_, &throttled);
            recordKeptBack();  // when the conversion sent no request to wait for
            conversionEnded(task.longUrl, outcome, throttled);
        });
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        tasks_.emplace_back([this, alive, task = std::move(task)] {
            bool throttled = false;
            ConversionOutcome outcome = converter_.perform(task, &stop_, &throttled);
            loop_.post(
                [this, alive, address = task.longUrl, outcome = std::move(outcome), throttled] {
                    if (!alive.expired()) conversionEnded(address, outcome, throttled);
                });
        });
    }
    wake_.notify_one();
}

void ConversionQueue::conversionEnded(const std::string& address, const ConversionOutcome& outcome,
                                      bool throttled) {
    --inFlight_;
    const bool caught = outcome.failure == FailureKind::Stopped;  // by a stop, under way
    // A service that says "too many requests" gets half the slots; a long calm
    // stretch earns one back.
    if (throttled) {
        limit_ = std::max(1, limit_ / 2);
        calm_ = 0;
    } else if (outcome.ok() && limit_ < slots_ && ++calm_ >= 4 * limit_) {
        ++limit_;
        calm_ = 0;
    }
    const bool more = !stopped() && !caught && (pauseAfterLast_ || hasMore());
    // The last conversion of a list rests at the start of the next list, if any: none after the
    // run.
    if (!stopped() && !caught && !more) ++owedRests_;
    const long long pause = more ? events_.pauseMs() : 0;
    if (caught) {
        settle(address, outcome);
    } else {
        outcomes_.insert(address, outcome);
        // Straight on to the next request: its record is written while that one is under way.
        if (convertsInline() && !stopped() && pause <= 0 && hasMore()) {
            keptBack_ = KeptBack{address, outcome};
        } else {
            converter_.remember(address, outcome, plan_.get());
            settle(address, outcome);
        }
    }
    deliver();

    // A stop that came with the rows just delivered ends the rest too.
    if (pause <= 0 || stopped()) {
        --busySlots_;
        pump();
        return;
    }
    // The slot rests before it asks again; the other slots go on meanwhile.
    ++resting_;
    postRest(pause);
}

// A busy slot rests `pause` milliseconds.
void ConversionQueue::postRest(long long pause) {
    const std::weak_ptr<char> alive = alive_;
    loop_.postAfter(pause, [this, alive, generation = generation_] {
        if (!alive.expired()) slotRested(generation);
    });
}

void ConversionQueue::rest(long long pause) {
    ++busySlots_;
    ++resting_;
    postRest(pause);
}

// `address`'s rows have their outcome; the ones at the front can be delivered.
void ConversionQueue::settle(const std::string& address, const ConversionOutcome& outcome) {
    if (const auto rows = waiting_.find(address); rows != waiting_.end()) {
        for (const int row : rows->second)
            rows_[static_cast<std::size_t>(row - delivered_)].result = outcome;
        waiting_.erase(rows);
    }
}

// A row is shown as done only once the history holds it: a killed run keeps what it showed.
void ConversionQueue::recordKeptBack() {
    if (!keptBack_) return;
    const KeptBack kept = std::move(*keptBack_);
    keptBack_.reset();
    converter_.remember(kept.address, kept.outcome, plan_.get());
    settle(kept.address, kept.outcome);
    deliver();
}

void ConversionQueue::slotRested(unsigned generation) {
    if (generation != generation_ || resting_ == 0) return;
    --resting_;
    --busySlots_;
    pump();
}

void ConversionQueue::startWorkers(int count) {
    const std::lock_guard lock(mutex_);
    while (static_cast<int>(workers_.size()) < count)
        workers_.emplace_back([this] { workerLoop(); });
}

void ConversionQueue::workerLoop() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !tasks_.empty(); });
            if (quit_) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

}  // namespace lianshuo
