#include "base/charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace lianshuo {

std::string convertCharset(std::string_view bytes, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out;
    // Room for the same length and a quarter more; a text that grows further asks for more.
    out.resize(bytes.size() + bytes.size() / 4 + 16);
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

}  // namespace lianshuo
