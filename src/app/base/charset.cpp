#include "app/base/charset.h"

#include <iconv.h>

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
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        // Pages are mostly ASCII: eight bytes at a time while no high bit is set.
        for (std::uint64_t word = 0; i + 8 <= n; i += 8) {
            std::memcpy(&word, bytes.data() + i, 8);
            if ((word & 0x8080808080808080ULL) != 0) break;
        }
        if (i >= n) break;
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t len;
        char32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto d = static_cast<unsigned char>(bytes[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

}  // namespace lianshuo
