#pragma once
// The engine behind RegexObject. Only the files of this folder include it, so
// the rest of the program never sees the engine's headers.

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/regexbudget.h"
#include "script/regexobject.h"

namespace lianshuo::regexdetail {

// Compiled code is read-only once JIT-compiled, so copies of an object share it.
struct Compiled {
    pcre2_code* code = nullptr;
    std::uint32_t captureCount = 0;

    explicit Compiled(pcre2_code* compiled);
    ~Compiled();
    Compiled(const Compiled&) = delete;
    Compiled& operator=(const Compiled&) = delete;
};

// Match data and JIT stack are written by every match, so each object has its own.
struct Scratch {
    pcre2_match_data* data = nullptr;
    pcre2_match_context* context = nullptr;
    pcre2_jit_stack* jitStack = nullptr;

    explicit Scratch(const Compiled& compiled);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
};

struct LastRun {
    std::string subject;
    RegexObject::Encoding encoding = RegexObject::Encoding::Gbk;
    std::unique_ptr<char[]> utf8;  // the converted GBK subject
    std::size_t utf8Capacity = 0;
    std::string_view engineText;  // what the engine ran over: utf8 or subject
    std::vector<std::pair<std::size_t, std::size_t>> matches;  // offsets into engineText
};

// Keeps a run within its budget from the engine's automatic callouts (one
// before every pattern item). The clock is read only every few thousand
// calls, which costs nothing next to the match. A stop comes from another
// thread (a click handled by the window, a signal handler) through the flag
// the watch reads.
class Watch {
public:
    /// Reports the runs of `context` to this watch until it is destroyed.
    Watch(const RegexBudget& budget, pcre2_match_context* context);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    /// False, with interruption() saying why, once the time is up or the stop given.
    bool check();
    RegexInterruption interruption() const { return interruption_; }

private:
    static int callout(pcre2_callout_block* block, void* self);

    RegexBudget budget_;
    pcre2_match_context* context_;
    std::uint32_t calls_ = 0;
    RegexInterruption interruption_ = RegexInterruption::None;
};

/// Where the search resumes after an empty match at `pos`: one character on.
std::size_t nextCharacter(std::string_view text, std::size_t pos);

/// Calls onMatch(ovector) for every match of `text` (only the first unless `global`),
/// left to right, empty matches included but never twice at one place. False when
/// the engine gave up (a match or stack limit).
template <class OnMatch>
bool forEachMatch(const Compiled& compiled, Scratch& scratch, std::string_view text, bool global,
                  OnMatch&& onMatch) {
    if (!scratch.data) return false;
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    const PCRE2_SIZE length = text.size();
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(scratch.data);
    PCRE2_SIZE start = 0;
    std::uint32_t options = 0;
    while (start <= length) {
        const int rc = pcre2_match(compiled.code, subject, length, start, options, scratch.data,
                                   scratch.context);
        if (rc == PCRE2_ERROR_NOMATCH) {
            if (options == 0) return true;
            options = 0;
            start = nextCharacter(text, start);
            continue;
        }
        if (rc < 0 || ovector[0] > ovector[1]) return false;
        onMatch(ovector);
        if (!global) return true;
        options = 0;
        if (ovector[0] == ovector[1]) {
            if (ovector[1] == length) return true;
            options = PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED;
        }
        start = ovector[1];
    }
    return true;
}

}  // namespace lianshuo::regexdetail
