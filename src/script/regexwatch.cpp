#include "script/regexengine.h"

namespace lianshuo::regexdetail {
namespace {

// About a tenth of a millisecond of matching between two looks at the clock.
constexpr std::uint32_t kCallsPerCheck = 4096;

}  // namespace

Watch::Watch(const RegexBudget& budget, pcre2_match_context* context)
    : budget_(budget), context_(context) {
    if (context_) pcre2_set_callout(context_, &Watch::callout, this);
}

Watch::~Watch() {
    if (context_) pcre2_set_callout(context_, nullptr, nullptr);
}

bool Watch::check() {
    if (interruption_ != RegexInterruption::None) return false;
    if (budget_.stop && budget_.stop->load(std::memory_order_relaxed))
        interruption_ = RegexInterruption::Stopped;
    else if (RegexBudget::Clock::now() >= budget_.deadline)
        interruption_ = RegexInterruption::TimedOut;
    return interruption_ == RegexInterruption::None;
}

int Watch::callout(pcre2_callout_block*, void* self) {
    Watch& watch = *static_cast<Watch*>(self);
    if (++watch.calls_ % kCallsPerCheck != 0) return 0;
    return watch.check() ? 0 : PCRE2_ERROR_CALLOUT;
}

}  // namespace lianshuo::regexdetail
