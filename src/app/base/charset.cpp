#include "app/base/charset.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace lianshuo {

std::string convertCharset(std::string_view bytes, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out;
    out.resize(bytes.size() * 2 + 16);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    std::size_t written = 0;
    auto grow = [&] { out.resize(out.size() * 2 + 16); };
    auto call = [&](char** src, std::size_t* srcLeft) {
        char* dst = out.data() + written;
        std::size_t dstLeft = out.size() - written;
        const std::size_t rc = iconv(cd, src, srcLeft, &dst, &dstLeft);
        written = out.size() - dstLeft;
        return rc;
    };
    while (inLeft > 0) {
        if (call(&in, &inLeft) != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            grow();
        } else if (errno == EILSEQ) {
            // An unconvertible character: mark it and resynchronise on the next byte.
            if (out.size() - written < 1) grow();
            out[written++] = '?';
            ++in;
            --inLeft;
        } else {
            break;  // EINVAL: a sequence cut off at the end.
        }
    }
    // The final flush: stateful charsets such as BIG5-HKSCS hold characters back
    // until told the input has ended.
    while (call(nullptr, nullptr) == static_cast<std::size_t>(-1) && errno == E2BIG) grow();
    iconv_close(cd);
    out.resize(written);
    return out;
}

namespace {

// Both charsets are ASCII where the text is: no converter needs to be opened for it.
bool isAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

std::string toUtf8(std::string_view gbk) {
    return isAscii(gbk) ? std::string(gbk) : convertCharset(gbk, "GB18030", "UTF-8");
}

std::string fromUtf8(std::string_view utf8) {
    return isAscii(utf8) ? std::string(utf8) : convertCharset(utf8, "UTF-8", "GB18030");
}

bool isValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    const auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            // Pages are mostly ASCII: sixteen bytes at a time, then straight to the first high bit.
            ++p;
            constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
            const auto firstHigh = [](std::uint64_t word) {
                return (std::endian::native == std::endian::little ? std::countr_zero(word)
                                                                   : std::countl_zero(word)) /
                       8;
            };
            for (std::uint64_t a = 0, b = 0; end - p >= 16; p += 16) {
                std::memcpy(&a, p, 8);
                std::memcpy(&b, p + 8, 8);
                if ((a & kHigh) != 0) {
                    p += firstHigh(a & kHigh);
                    break;
                }
                if ((b & kHigh) != 0) {
                    p += 8 + firstHigh(b & kHigh);
                    break;
                }
            }
            continue;
        }
        // The lead byte bounds the second byte: no overlong forms, no
        // surrogates, nothing above U+10FFFF.
        if (c < 0xC2) return false;
        if (c < 0xE0) {
            if (end - p < 2 || !continuation(p[1])) return false;
            p += 2;
        } else if (c < 0xF0) {
            const unsigned char low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
            if (end - p < 3 || p[1] < low || p[1] > high || !continuation(p[2])) return false;
            p += 3;
        } else if (c < 0xF5) {
            const unsigned char low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
            if (end - p < 4 || p[1] < low || p[1] > high || !continuation(p[2]) ||
                !continuation(p[3]))
                return false;
            p += 4;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace lianshuo
