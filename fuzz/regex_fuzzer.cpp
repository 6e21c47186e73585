// A pattern (a raw one or a wildcard mask) run over a subject: create, execute,
// every match, replace, copies. Input: a flag byte, a byte giving the pattern
// length, the pattern, a byte giving the replacement length, the replacement,
// then the subject.
//   flag bits: 0 ignore case, 1 multi-line, 2 global, 3 raw pattern, 4 UTF-8 subject

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "script/regexobject.h"

namespace {

std::string_view take(std::string_view& input) {
    if (input.empty()) return {};
    const std::size_t length =
        std::min<std::size_t>(static_cast<unsigned char>(input[0]), input.size() - 1);
    const std::string_view piece = input.substr(1, length);
    input.remove_prefix(1 + length);
    return piece;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const unsigned flags = static_cast<unsigned char>(input[0]);
    input.remove_prefix(1);
    const std::string_view mask = take(input);
    const std::string_view replacement = take(input);
    const std::string_view subject = input;
    const bool raw = flags & 8;
    const auto encoding =
        flags & 16 ? lianshuo::RegexObject::Encoding::Utf8 : lianshuo::RegexObject::Encoding::Gbk;

    const std::string pattern =
        raw ? std::string(mask) : lianshuo::RegexObject::wildcardToPattern(mask);
    lianshuo::RegexObject regex;
    const lianshuo::Status compiled = regex.create(pattern, flags & 1, flags & 2, flags & 4);
    // A mask escapes everything but its wildcards, so it always compiles.
    if (!raw && !compiled) std::abort();
    if (regex.isValid() != static_cast<bool>(compiled) || compiled.reason().empty() == !compiled)
        std::abort();

    const long count = regex.execute(subject, encoding);
    for (long n = 0; n <= count + 1 && n < 2000; ++n) {
        const std::string_view bytes = regex.matchBytes(n);
        if (bytes.size() > subject.size()) std::abort();
        (void)regex.matchValue(n);
    }
    const lianshuo::RegexObject copy = regex;
    if (count > 0 && copy.matchBytes(count) != regex.matchBytes(count)) std::abort();

    (void)regex.replace(subject, replacement);
    // Putting every match back where it was must give the subject again
    // (empty when the engine gave up part way).
    const std::string same = regex.replace(subject, "$&");
    if (regex.isValid() && same != subject && !same.empty()) std::abort();
    return 0;
}
