#pragma once
// Regular expressions over GBK texts. The engine works on UTF-8: patterns and
// subjects are converted on the way in, and matches keep only their offsets so
// that a long subject costs one conversion, not one per match. Syntax is that
// of the engine with "\u4e00"-style escapes; "^" and "$" see CR, LF and CRLF
// as line ends.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "base/result.h"
#include "script/regexbudget.h"

namespace lianshuo {

namespace regexdetail {
struct Compiled;
struct Scratch;
struct LastRun;
struct ScratchDeleter {
    void operator()(Scratch* scratch) const;
};
}  // namespace regexdetail

class RegexObject {
public:
    enum class Encoding { Gbk, Utf8 };

    RegexObject();
    ~RegexObject();
    RegexObject(const RegexObject& other);
    RegexObject& operator=(const RegexObject& other);
    RegexObject(RegexObject&& other) noexcept;
    RegexObject& operator=(RegexObject&& other) noexcept;

    /// Cuts each later execute or replace short after `perRun`, or when `stop` is set;
    /// takes effect at the next create (a watched pattern is compiled for it).
    void bound(std::chrono::steady_clock::duration perRun, const std::atomic<bool>* stop);
    /// Compiles `pattern` (GBK), or says why it cannot: the engine's reason, e.g. "missing
    /// closing parenthesis at offset 3" (offset in bytes of the GBK pattern). Flags default
    /// to true, as the component did.
    Status create(std::string_view pattern, bool ignoreCase = true, bool multiline = true,
                  bool global = true);
    /// True when the last create compiled its pattern.
    bool isValid() const;
    /// Runs the pattern over `subject`; returns the number of matches (0 when invalid).
    long execute(std::string_view subject, Encoding encoding = Encoding::Gbk);
    /// Why the last execute or replace ended before the end of its subject; its
    /// matches are those found before (a replace gives the empty text).
    RegexInterruption interruption() const { return interruption_; }
    /// Text of match n (1-based) of the last execute, as GBK; empty outside 1..count.
    std::string matchValue(long n) const;
    /// Match n exactly as its bytes stand in the last subject (in the subject's own
    /// encoding); valid until the next execute or create. Cheapest in increasing n.
    std::string_view matchBytes(long n) const;
    /// `subject` with every match (only the first when global is off) replaced; "$1".."$99",
    /// "$&", "$`", "$'" and "$$" work, any other "$" is literal. Empty when invalid.
    std::string replace(std::string_view subject, std::string_view replacement);
    /// A user's wildcard mask as a pattern ("*" any run, "?" zero or one character, "|"
    /// alternation).
    static std::string wildcardToPattern(std::string_view mask);

private:
    std::pair<std::size_t, std::size_t> gbkSpan(std::size_t utf8Begin, std::size_t utf8End) const;

    std::shared_ptr<const regexdetail::Compiled> compiled_;
    bool global_ = true;
    bool bounded_ = false;
    std::chrono::steady_clock::duration runTime_{};
    const std::atomic<bool>* stop_ = nullptr;
    RegexInterruption interruption_ = RegexInterruption::None;
    std::shared_ptr<const regexdetail::LastRun> last_;
    // Where matchBytes last walked the GBK subject to, as (UTF-8, GBK) offsets.
    mutable std::pair<std::size_t, std::size_t> cursor_{0, 0};
    std::unique_ptr<regexdetail::Scratch, regexdetail::ScratchDeleter> scratch_;
};

}  // namespace lianshuo
