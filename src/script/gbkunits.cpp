#include "script/gbkunits.h"

#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace lianshuo::gbkunits {
namespace {

constexpr std::size_t kTrailCount = 0xFE - 0x40 + 1;               // 0x7F among them, never valid
constexpr std::size_t kFourBmpCount = 39420;                       // 81 30 81 30 .. 84 31 A4 39
constexpr std::size_t kSupplementaryBase = (0x90 - 0x81) * 12600;  // linear index of 90 30 81 30

inline char* putUtf8(char32_t cp, char* o) {
    if (cp < 0x80) {
        *o++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *o++ = static_cast<char>(0xC0 | cp >> 6);
        *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *o++ = static_cast<char>(0xE0 | cp >> 12);
        *o++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *o++ = static_cast<char>(0xF0 | cp >> 18);
        *o++ = static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        *o++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return o;
}

// Code points of every two-byte pair and of the four-byte sequences of the
// basic plane, read once from iconv; 0 marks a sequence iconv refuses.
struct Tables {
    char32_t two[126 * kTrailCount] = {};
    // Every two bytes (first byte high) as the UTF-8 of the pair they form,
    // ready to store: bytes in the low three bytes (first byte lowest), length
    // in the top one; 0 where the two bytes form no pair.
    std::uint32_t pairUtf8[0x10000] = {};
    char32_t fourBmp[kFourBmpCount] = {};
    Tables();
};

Tables::Tables() {
    iconv_t cd = iconv_open("UTF-32LE", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1)) return;  // every non-ASCII byte reads as U+FFFD
    auto decode = [cd](const unsigned char* bytes, std::size_t length) -> char32_t {
        char in[4];
        std::memcpy(in, bytes, length);
        unsigned char out[8];
        char* inPtr = in;
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t inLeft = length;
        std::size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
            inLeft != 0 || outLeft != sizeof out - 4)
            return 0;
        return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 |
                                     static_cast<std::uint32_t>(out[3]) << 24);
    };
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                           static_cast<unsigned char>(trail)};
            const std::size_t index = (lead - 0x81) * kTrailCount + (trail - 0x40);
            two[index] = decode(pair, 2);
            if (two[index] == 0 || two[index] >= 0x10000) continue;  // left to decodeAt
            unsigned char bytes[4] = {};
            const std::size_t length =
                static_cast<std::size_t>(putUtf8(two[index], reinterpret_cast<char*>(bytes)) -
                                         reinterpret_cast<char*>(bytes));
            pairUtf8[lead << 8 | trail] = static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 |
                                                                     bytes[2] << 16 | length << 24);
        }
    }
    for (std::size_t linear = 0; linear < kFourBmpCount; ++linear) {
        const unsigned char seq[4] = {static_cast<unsigned char>(0x81 + linear / 12600),
                                      static_cast<unsigned char>(0x30 + linear / 1260 % 10),
                                      static_cast<unsigned char>(0x81 + linear / 10 % 126),
                                      static_cast<unsigned char>(0x30 + linear % 10)};
        fourBmp[linear] = decode(seq, 4);
    }
    iconv_close(cd);
}

const Tables& tables() {
    static const auto instance = std::make_unique<const Tables>();
    return *instance;
}

inline Unit decodeAt(const unsigned char* p, std::size_t left, const Tables& t) {
    const unsigned c = p[0];
    if (c < 0x80) return {c, 1};
    if (c == 0x80 || c == 0xFF || left < 2) return {kReplacement, 1};
    const unsigned c2 = p[1];
    if (c2 >= 0x40 && c2 <= 0xFE && c2 != 0x7F) {
        const char32_t cp = t.two[(c - 0x81) * kTrailCount + (c2 - 0x40)];
        return cp ? Unit{cp, 2} : Unit{kReplacement, 1};
    }
    if (c2 >= 0x30 && c2 <= 0x39 && left >= 4 && p[2] >= 0x81 && p[2] <= 0xFE && p[3] >= 0x30 &&
        p[3] <= 0x39) {
        const std::size_t linear =
            (((c - 0x81) * 10 + (c2 - 0x30)) * 126 + (p[2] - 0x81)) * 10 + (p[3] - 0x30);
        char32_t cp = 0;
        if (linear < kFourBmpCount) {
            cp = t.fourBmp[linear];
        } else if (linear >= kSupplementaryBase && linear - kSupplementaryBase <= 0xFFFFF) {
            cp = static_cast<char32_t>(0x10000 + (linear - kSupplementaryBase));
        }
        if (cp) return {cp, 4};
    }
    return {kReplacement, 1};
}

}  // namespace

Unit decodeUnit(std::string_view text, std::size_t pos) {
    // ASCII needs no table: a run that meets only ASCII never builds them.
    if (static_cast<unsigned char>(text[pos]) < 0x80)
        return {static_cast<unsigned char>(text[pos]), 1};
    return decodeAt(reinterpret_cast<const unsigned char*>(text.data()) + pos, text.size() - pos,
                    tables());
}

std::size_t toUtf8Units(std::string_view gbk, char* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(gbk.data());
    const auto* const end = p + gbk.size();
    // Building the tables costs milliseconds; text that is all ASCII, as most
    // addresses are, is copied without them.
    const auto* high = std::find_if(p, end, [](unsigned char c) { return c >= 0x80; });
    if (high != p) std::memcpy(out, p, static_cast<std::size_t>(high - p));
    char* o = out + (high - p);
    p = high;
    if (p == end) return gbk.size();
    const Tables& t = tables();
    while (p < end) {
        if (*p < 0x80) {
            *o++ = static_cast<char>(*p++);
            // ASCII comes in runs: copy the rest of one eight bytes at a time.
            while (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, 8);
                if (word & 0x8080808080808080ULL) break;
                std::memcpy(o, p, 8);
                p += 8;
                o += 8;
            }
            continue;
        }
        if (end - p >= 2) {
            // Three bytes are always free here, even for a two-byte result:
            // the output never outgrows kMaxGrowth times the input.
            const std::uint32_t packed = t.pairUtf8[static_cast<unsigned>(*p) << 8 | p[1]];
            if (packed) {
                o[0] = static_cast<char>(packed);
                o[1] = static_cast<char>(packed >> 8);
                o[2] = static_cast<char>(packed >> 16);
                o += packed >> 24;
                p += 2;
                continue;
            }
        }
        const Unit unit = decodeAt(p, static_cast<std::size_t>(end - p), t);
        o = putUtf8(unit.codePoint, o);
        p += unit.length;
    }
    return static_cast<std::size_t>(o - out);
}

std::string toUtf8Units(std::string_view gbk) {
    std::string out(gbk.size() * kMaxGrowth, '\0');
    out.resize(toUtf8Units(gbk, out.data()));
    return out;
}

Position walkTo(std::string_view gbk, Position from, std::size_t utf8Target) {
    const Tables& t = tables();
    const auto* base = reinterpret_cast<const unsigned char*>(gbk.data());
    while (from.utf8 < utf8Target && from.gbk < gbk.size()) {
        const Unit unit = decodeAt(base + from.gbk, gbk.size() - from.gbk, t);
        from.utf8 += utf8Length(unit.codePoint);
        from.gbk += unit.length;
    }
    return from;
}

}  // namespace lianshuo::gbkunits
