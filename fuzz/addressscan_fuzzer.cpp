// The address finder read whole and read in pieces of random sizes must agree:
// the same addresses at the same offsets, the same rewritten bytes, and each
// address's UTF-8 form for the service complete and its own. Input: one flag
// byte (bit 0: UTF-8), one seed byte for the piece sizes, then a program
// whose bytes pick the pieces of the text: GBK pairs (any trail), lone and
// 0xFF bytes, UTF-8, CR LF, letters and parts of addresses.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/charset.h"
#include "jobs/addressscanner.h"
#include "services/encoding.h"

namespace {

using Found = std::vector<std::pair<std::size_t, std::string>>;

// What stands for an address in the rewritten text: its length, so that a
// wrong cut shows in the bytes too.
std::string replacementFor(std::string_view bytes) {
    return "[" + std::to_string(bytes.size()) + "]";
}

std::string textFrom(std::string_view program) {
    static constexpr std::string_view kPieces[] = {"http://",
                                                   "https://",
                                                   "h://",
                                                   "://",
                                                   ":/",
                                                   ":",
                                                   "/",
                                                   "a.test/",
                                                   " ",
                                                   "\"",
                                                   "<",
                                                   ">",
                                                   "\r\n",
                                                   "\r",
                                                   "\n",
                                                   "\xE4\xB8\xAD",
                                                   "\xE4\xB8",
                                                   "\xC3\xA9",
                                                   "\xF0\x9F\x98\x80",
                                                   "%81",
                                                   "\xD6\xD0",
                                                   "\x86\x68",
                                                   "\xA1\xA1",
                                                   "\x81\x81",
                                                   "\x81\x30\x81\x30",
                                                   "\x84\x31\xA4\x37"};
    std::string text;
    for (std::size_t i = 0; i < program.size(); ++i) {
        const auto op = static_cast<unsigned char>(program[i]);
        const auto next = [&]() -> unsigned {
            return i + 1 < program.size() ? static_cast<unsigned char>(program[++i]) : 0u;
        };
        switch (op % 8) {
            case 0: {  // a GBK pair, its trail in 0x40-0x7E or 0x80-0xFE
                const unsigned lead = 0x81 + next() % 126;
                const unsigned t = next() % 190;
                text += static_cast<char>(lead);
                text += static_cast<char>(t < 63 ? 0x40 + t : 0x80 + (t - 63));
                break;
            }
            case 1:  // a lone high byte
                text += static_cast<char>(0x80 | next());
                break;
            case 2:
                text += '\xFF';
                break;
            case 3:
            case 4:
                text += kPieces[(op >> 3) % std::size(kPieces)];
                break;
            case 5:  // letters
                text.append(1 + op / 32, static_cast<char>('a' + next() % 26));
                break;
            case 6:
                text += "http://";
                break;
            default:  // any byte
                text += static_cast<char>(next());
                break;
        }
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const bool utf8 = (input[0] & 1) != 0;
    std::mt19937 random(static_cast<unsigned char>(input[1]));
    const std::string text = textFrom(input.substr(2));

    Found whole;
    std::string wholeOut;
    std::size_t copied = 0;
    lianshuo::scanAddresses(text, utf8, true, [&](std::size_t offset, std::string_view bytes) {
        if (offset < copied || text.substr(offset, bytes.size()) != bytes) std::abort();
        whole.emplace_back(offset, bytes);
        wholeOut.append(text, copied, offset - copied);
        wholeOut += replacementFor(bytes);
        copied = offset + bytes.size();
    });
    wholeOut.append(text, copied);

    // The pieces: mostly a few bytes, sometimes more, at random.
    const std::size_t largest = 1 + random() % (random() % 4 == 0 ? 64 : 8);
    Found streamed;
    std::vector<std::string> replacements;
    std::string streamedOut;
    const lianshuo::AddressVisitor visit = [&](std::size_t offset, std::string_view bytes) {
        streamed.emplace_back(offset, bytes);
        return std::string_view(replacements.emplace_back(replacementFor(bytes)));
    };
    const lianshuo::OutputSink out = [&streamedOut](std::string_view chunk) {
        streamedOut += chunk;
        return true;
    };
    replacements.reserve(text.size());
    lianshuo::AddressStream stream(utf8, visit, out);
    for (std::size_t fed = 0;;) {
        const std::size_t take = std::min<std::size_t>(1 + random() % largest, text.size() - fed);
        stream.pending().append(text, fed, take);
        fed += take;
        stream.settle(fed == text.size());
        if (fed == text.size()) break;
    }
    if (streamed != whole || streamedOut != wholeOut) std::abort();

    // Each address goes to the service as UTF-8 of its own: cut short, two
    // would become one.
    std::map<std::string, std::string> sent;
    for (const auto& [offset, bytes] : whole) {
        const std::string utf8Text = utf8 ? bytes : lianshuo::longUrlToUtf8(bytes);
        if (!lianshuo::isValidUtf8(utf8Text) && !utf8) std::abort();
        const auto [at, added] = sent.emplace(utf8Text, bytes);
        if (!added && at->second != bytes && bytes.find('%') == std::string::npos &&
            at->second.find('%') == std::string::npos) {
            for (const std::string& b : {bytes, at->second}) {
                for (unsigned char c : b) fprintf(stderr, "%02x ", c);
                fprintf(stderr, "\n");
            }
            std::abort();
        }
    }
    return 0;
}
