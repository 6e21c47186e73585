#pragma once
// What may cut a regular expression's run short: a moment after which it is
// abandoned, and a job's stop. A pattern that backtracks over a long text can
// otherwise hold its thread for hours, and the engine's own limits count per
// start position, so they never add up over the whole text.

#include <atomic>
#include <chrono>

namespace lianshuo {

struct RegexBudget {
    using Clock = std::chrono::steady_clock;

    Clock::time_point deadline = Clock::time_point::max();
    const std::atomic<bool>* stop = nullptr;  // set: the run ends within a millisecond or so

    /// A budget of `time` from now, ended early by a set `stop` (null: nothing stops it).
    static RegexBudget lasting(Clock::duration time, const std::atomic<bool>* stop = nullptr) {
        return {Clock::now() + time, stop};
    }
};

/// Why a run ended before it had looked at the whole text.
enum class RegexInterruption { None, TimedOut, Stopped };

/// How long the expressions one service reply is read with may take together.
inline constexpr std::chrono::seconds kReplyRegexTime{2};

}  // namespace lianshuo
