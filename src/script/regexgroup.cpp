#include "script/regexgroup.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/charset.h"
#include "script/gbkunits.h"
#include "script/regexengine.h"

namespace lianshuo {
namespace {

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct DataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct ContextDeleter {
    void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
struct StackDeleter {
    void operator()(pcre2_jit_stack* stack) const { pcre2_jit_stack_free(stack); }
};
using Code = std::unique_ptr<pcre2_code, CodeDeleter>;

// What one search may take of memory besides its time: the interpreter's
// backtracking frames, and the compiled code's stack.
constexpr std::uint32_t kHeapLimitKiB = 64 * 1024;
constexpr std::size_t kJitStackBytes = 1024 * 1024;

// `extraOptions` PCRE2_AUTO_CALLOUT compiles the pattern for a watched search.
Code compile(std::string_view pattern, std::string& error, std::uint32_t extraOptions = 0) {
    const std::string utf8 = gbkunits::toUtf8Units(pattern);
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    Code code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8.data()), utf8.size(),
                            PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_MATCH_INVALID_UTF | extraOptions,
                            &errorCode, &errorOffset, nullptr));
    if (!code) {
        PCRE2_UCHAR buffer[256];
        if (pcre2_get_error_message(errorCode, buffer, sizeof buffer) < 0) buffer[0] = 0;
        error = std::string(reinterpret_cast<const char*>(buffer)) + " at offset " +
                std::to_string(gbkunits::walkTo(pattern, {}, errorOffset).gbk);
    }
    return code;
}

// The group the value comes from: "url" when named, else 1 when there is one, else 0.
std::uint32_t chosenGroup(pcre2_code* code) {
    const int named = pcre2_substring_number_from_name(code, reinterpret_cast<PCRE2_SPTR>("url"));
    if (named > 0) return static_cast<std::uint32_t>(named);
    std::uint32_t captures = 0;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &captures);
    return captures > 0 ? 1 : 0;
}

// A pattern compiled for a watched search, with what a search of it needs.
struct Watched {
    Code code;
    std::string error;
    std::unique_ptr<pcre2_match_data, DataDeleter> data;
};

// The replies of a run are read by the same few rules thousands of times, and compiling
// one (JIT included) costs more than reading a reply: each thread keeps the last patterns
// it compiled, the match context and the compiled code's stack. Nothing is shared between
// threads, so nothing is locked.
class PatternCache {
public:
    Watched* find(std::string_view pattern) {
        for (std::size_t at = 0; at < entries_.size(); ++at) {
            if (entries_[at].first != pattern) continue;
            // The most recent first: a run's rules stay at the front.
            std::rotate(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(at),
                        entries_.begin() + static_cast<std::ptrdiff_t>(at) + 1);
            return entries_.front().second.get();
        }
        auto made = std::make_unique<Watched>();
        made->code = compile(pattern, made->error, PCRE2_AUTO_CALLOUT);
        if (made->code) {
            pcre2_jit_compile(made->code.get(), PCRE2_JIT_COMPLETE);  // else the interpreter runs
            made->data.reset(pcre2_match_data_create_from_pattern(made->code.get(), nullptr));
        }
        if (entries_.size() == kKept) entries_.pop_back();
        entries_.emplace(entries_.begin(), std::string(pattern), std::move(made));
        return entries_.front().second.get();
    }
    pcre2_match_context* context() {
        if (!context_) {
            context_.reset(pcre2_match_context_create(nullptr));
            stack_.reset(pcre2_jit_stack_create(32 * 1024, kJitStackBytes, nullptr));
            if (!context_ || !stack_) return nullptr;
            pcre2_set_heap_limit(context_.get(), kHeapLimitKiB);
            pcre2_jit_stack_assign(context_.get(), nullptr, stack_.get());
        }
        return context_.get();
    }

private:
    static constexpr std::size_t kKept = 16;
    std::vector<std::pair<std::string, std::unique_ptr<Watched>>> entries_;
    std::unique_ptr<pcre2_match_context, ContextDeleter> context_;
    std::unique_ptr<pcre2_jit_stack, StackDeleter> stack_;
};

// The first match of `pattern` in `subject`, handed to `take` with the match data and the
// UTF-8 text the offsets point into; `take` is not called without a match.
template <typename Take>
void matchFirst(std::string_view pattern, std::string_view subject, const RegexBudget& budget,
                std::string& error, RegexInterruption& interruption, Take take) {
    thread_local PatternCache cache;
    Watched* const watched = cache.find(pattern);
    if (!watched->code) {
        error = watched->error;
        return;
    }
    pcre2_match_context* const context = cache.context();
    if (!watched->data || context == nullptr) return;
    regexdetail::Watch watch(budget, context);
    if (!watch.check()) {
        interruption = watch.interruption();
        return;
    }
    const std::string text = gbkunits::toUtf8Units(subject);
    auto run = [&](std::uint32_t options) {
        return pcre2_match(watched->code.get(), reinterpret_cast<PCRE2_SPTR>(text.data()),
                           text.size(), 0, options, watched->data.get(), context);
    };
    int rc = run(0);
    // The interpreter keeps its frames on the heap, where a pattern the compiled
    // code's stack is too small for still fits.
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT) rc = run(PCRE2_NO_JIT);
    interruption = watch.interruption();
    if (rc >= 0) take(watched->code.get(), watched->data.get(), text);
}

// Group `group` of a match; nullopt when it took no part (unset, not empty).
std::optional<std::string> groupText(pcre2_match_data* data, std::uint32_t group,
                                     const std::string& text) {
    if (group >= pcre2_get_ovector_count(data)) return std::nullopt;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
    const PCRE2_SIZE begin = ovector[2 * group];
    const PCRE2_SIZE end = ovector[2 * group + 1];
    if (begin == PCRE2_UNSET || end < begin) return std::nullopt;
    return fromUtf8(std::string_view(text).substr(begin, end - begin));
}

}  // namespace

RegexGroupMatch firstMatchGroup(std::string_view pattern, std::string_view subject,
                                const RegexBudget& budget) {
    RegexGroupMatch result;
    matchFirst(pattern, subject, budget, result.error, result.interruption,
               [&](pcre2_code* code, pcre2_match_data* data, const std::string& text) {
                   std::optional<std::string> value = groupText(data, chosenGroup(code), text);
                   result.matched = value.has_value();
                   if (value) result.value = std::move(*value);
               });
    return result;
}

RegexGroupsMatch firstMatchGroups(std::string_view pattern, std::string_view subject,
                                  const RegexBudget& budget) {
    RegexGroupsMatch result;
    matchFirst(pattern, subject, budget, result.error, result.interruption,
               [&](pcre2_code*, pcre2_match_data* data, const std::string& text) {
                   result.matched = true;
                   for (std::uint32_t group = 0; group < pcre2_get_ovector_count(data); ++group)
                       result.groups.push_back(groupText(data, group, text));
               });
    return result;
}

std::string chosenGroupName(std::string_view pattern) {
    std::string error;
    const Code code = compile(pattern, error);
    if (!code) return {};
    const std::uint32_t group = chosenGroup(code.get());
    if (group == 0) return "0";
    return pcre2_substring_number_from_name(code.get(), reinterpret_cast<PCRE2_SPTR>("url")) > 0
               ? "url"
               : "1";
}

Status checkRegex(std::string_view pattern) {
    std::string error;
    compile(pattern, error);
    return error.empty() ? Status() : Status::failed(error);
}

}  // namespace lianshuo
