#include "script/regexobject.h"

#include "base/charset.h"
#include "script/gbkunits.h"
#include "script/regexengine.h"

#include <optional>

namespace lianshuo {
namespace regexdetail {

Compiled::Compiled(pcre2_code* compiled) : code(compiled) {
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &captureCount);
}

Compiled::~Compiled() {
    pcre2_code_free(code);
}

Scratch::Scratch(const Compiled& compiled)
    : data(pcre2_match_data_create_from_pattern(compiled.code, nullptr)),
      context(pcre2_match_context_create(nullptr)),
      // The default 32 KB JIT stack runs out on long alternations over big files.
      jitStack(pcre2_jit_stack_create(32 * 1024, 1024 * 1024, nullptr)) {
    if (context && jitStack) pcre2_jit_stack_assign(context, nullptr, jitStack);
}

Scratch::~Scratch() {
    pcre2_jit_stack_free(jitStack);
    pcre2_match_context_free(context);
    pcre2_match_data_free(data);
}

void ScratchDeleter::operator()(Scratch* scratch) const {
    delete scratch;
}

std::size_t nextCharacter(std::string_view text, std::size_t pos) {
    // CRLF is one line end: no empty match may fall between its two bytes.
    if (pos + 1 < text.size() && text[pos] == '\r' && text[pos + 1] == '\n') return pos + 2;
    ++pos;
    while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
    return pos;
}

}  // namespace regexdetail

using regexdetail::Compiled;
using regexdetail::LastRun;
using regexdetail::Scratch;

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(RegexObject&& other) noexcept = default;
RegexObject& RegexObject::operator=(RegexObject&& other) noexcept = default;

// Copies share the compiled code and the last run (both immutable) and make
// their own scratch on first use.
RegexObject::RegexObject(const RegexObject& other)
    : compiled_(other.compiled_),
      global_(other.global_),
      bounded_(other.bounded_),
      runTime_(other.runTime_),
      stop_(other.stop_),
      interruption_(other.interruption_),
      last_(other.last_),
      cursor_(other.cursor_) {}

RegexObject& RegexObject::operator=(const RegexObject& other) {
    if (this != &other) {
        compiled_ = other.compiled_;
        global_ = other.global_;
        bounded_ = other.bounded_;
        runTime_ = other.runTime_;
        stop_ = other.stop_;
        interruption_ = other.interruption_;
        last_ = other.last_;
        cursor_ = other.cursor_;
        scratch_.reset();
    }
    return *this;
}

void RegexObject::bound(std::chrono::steady_clock::duration perRun, const std::atomic<bool>* stop) {
    bounded_ = true;
    runTime_ = perRun;
    stop_ = stop;
}

Status RegexObject::create(std::string_view pattern, bool ignoreCase, bool multiline, bool global) {
    compiled_.reset();
    scratch_.reset();
    last_.reset();
    cursor_ = {0, 0};
    global_ = global;

    const std::string utf8 = gbkunits::toUtf8Units(pattern);
    std::uint32_t options =
        PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_MATCH_INVALID_UTF | PCRE2_DOLLAR_ENDONLY;
    if (ignoreCase) options |= PCRE2_CASELESS;
    if (multiline) options |= PCRE2_MULTILINE;
    // Automatic callouts slow a match by about three times: only watched runs pay for them.
    if (bounded_) options |= PCRE2_AUTO_CALLOUT;
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (context) pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8.data()), utf8.size(),
                                     options, &errorCode, &errorOffset, context);
    pcre2_compile_context_free(context);
    if (!code) {
        PCRE2_UCHAR buffer[256];
        if (pcre2_get_error_message(errorCode, buffer, sizeof buffer) < 0) buffer[0] = 0;
        const std::size_t offset = gbkunits::walkTo(pattern, {}, errorOffset).gbk;
        return Status::failed(std::string(reinterpret_cast<const char*>(buffer)) + " at offset " +
                              std::to_string(offset));
    }
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);  // without JIT the interpreter runs
    compiled_ = std::make_shared<const Compiled>(code);
    return {};
}

bool RegexObject::isValid() const {
    return compiled_ != nullptr;
}

long RegexObject::execute(std::string_view subject, Encoding encoding) {
    // The buffers of the last run are reused unless a copy still shares them:
    // fresh memory for a file of megabytes costs as much as converting it.
    std::shared_ptr<LastRun> run;
    if (last_ && last_.use_count() == 1) run = std::const_pointer_cast<LastRun>(last_);
    last_.reset();
    cursor_ = {0, 0};
    interruption_ = RegexInterruption::None;
    if (!compiled_) return 0;
    if (!scratch_) scratch_.reset(new Scratch(*compiled_));
    if (!run) run = std::make_shared<LastRun>();
    run->subject.assign(subject);  // may overlap the old subject: assign copes
    run->encoding = encoding;
    run->matches.clear();
    if (encoding == Encoding::Gbk) {
        const std::size_t capacity = run->subject.size() * gbkunits::kMaxGrowth;
        if (run->utf8Capacity < capacity) {
            run->utf8 = std::make_unique_for_overwrite<char[]>(capacity);
            run->utf8Capacity = capacity;
        }
        run->engineText = {run->utf8.get(), gbkunits::toUtf8Units(run->subject, run->utf8.get())};
    } else {
        run->engineText = run->subject;
    }
    // A match limit hit part way keeps the matches found before it.
    std::optional<regexdetail::Watch> watch;
    if (bounded_) watch.emplace(RegexBudget::lasting(runTime_, stop_), scratch_->context);
    if (!watch || watch->check())
        regexdetail::forEachMatch(
            *compiled_, *scratch_, run->engineText, global_,
            [&](const PCRE2_SIZE* ovector) { run->matches.emplace_back(ovector[0], ovector[1]); });
    interruption_ = watch ? watch->interruption() : RegexInterruption::None;
    last_ = std::move(run);
    return static_cast<long>(last_->matches.size());
}

std::pair<std::size_t, std::size_t> RegexObject::gbkSpan(std::size_t utf8Begin,
                                                         std::size_t utf8End) const {
    if (utf8Begin < cursor_.first) cursor_ = {0, 0};
    const gbkunits::Position begin =
        gbkunits::walkTo(last_->subject, {cursor_.second, cursor_.first}, utf8Begin);
    const gbkunits::Position end = gbkunits::walkTo(last_->subject, begin, utf8End);
    cursor_ = {end.utf8, end.gbk};
    return {begin.gbk, end.gbk};
}

std::string_view RegexObject::matchBytes(long n) const {
    if (!last_ || n < 1 || static_cast<std::size_t>(n) > last_->matches.size()) return {};
    const auto [begin, end] = last_->matches[static_cast<std::size_t>(n) - 1];
    if (last_->encoding == Encoding::Utf8) return last_->engineText.substr(begin, end - begin);
    const auto [gbkBegin, gbkEnd] = gbkSpan(begin, end);
    return std::string_view(last_->subject).substr(gbkBegin, gbkEnd - gbkBegin);
}

std::string RegexObject::matchValue(long n) const {
    const std::string_view bytes = matchBytes(n);
    if (last_ && last_->encoding == Encoding::Utf8) return fromUtf8(bytes);
    return std::string(bytes);
}

}  // namespace lianshuo
