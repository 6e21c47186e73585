#include "jobs/urlreplace.h"

#include "app/base/charset.h"
#include "app/base/gbk.h"

namespace lianshuo {
namespace {

// The letters the address finder takes for a scheme: "A" to "z", which also
// holds "[", "\", "]", "^", "_" and the back quote.
bool isSchemeByte(unsigned char c) { return c >= 'A' && c <= 'z'; }

char32_t decodeUtf8At(std::string_view bytes, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (pos + static_cast<std::size_t>(length) > bytes.size()) return 0xFFFD;
    char32_t cp = length == 1 ? lead : (lead & (0x7F >> length));
    for (int k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(bytes[pos + k]) & 0x3F);
    return cp;
}

bool endsAddress(std::string_view bytes, std::size_t pos, bool utf8) {
    if (pos >= bytes.size()) return true;
    const auto c = static_cast<unsigned char>(bytes[pos]);
    if (c < 0x80) return std::string_view(" \t\r\n\f\v\"'<>").find(static_cast<char>(c)) != std::string_view::npos;
    char32_t cp;
    if (utf8) {
        cp = decodeUtf8At(bytes, pos);
    } else {
        const std::string u = toUtf8(bytes.substr(pos, charLength(bytes, pos)));
        cp = u.empty() ? 0 : decodeUtf8At(u, 0);
    }
    return cp >= 0x4E00 && cp <= 0x9FA5;
}

}  // namespace

std::string replaceWholeUrl(std::string_view bytes, std::string_view longUrl,
                            std::string_view shortUrl, bool utf8) {
    if (longUrl.empty()) return std::string(bytes);
    std::string out;
    std::size_t copied = 0;
    std::size_t boundary = 0;      // a character start at or before the search position
    std::size_t previous = npos;  // start of the character before `boundary`
    auto step = [&](std::size_t pos) { return utf8 ? std::size_t{1} : charLength(bytes, pos); };
    while (true) {
        const std::size_t found = bytes.find(longUrl, boundary);
        if (found == std::string_view::npos) break;
        while (boundary < found) {
            previous = boundary;
            boundary += step(boundary);
        }
        if (boundary != found) continue;  // inside a double-byte character
        const bool singleBytePrevious = previous != npos && found - previous == 1;
        const bool afterSchemeLetter =
            singleBytePrevious && isSchemeByte(static_cast<unsigned char>(bytes[previous]));
        const std::size_t end = found + longUrl.size();
        if (!afterSchemeLetter && endsAddress(bytes, end, utf8)) {
            out.append(bytes.substr(copied, found - copied)).append(shortUrl);
            copied = end;
            // The replaced address ends in an ASCII byte, so `end` starts a character.
            previous = end - 1;
            boundary = end;
        } else {
            previous = boundary;
            boundary += step(boundary);
        }
    }
    out.append(bytes.substr(copied));
    return out;
}

}  // namespace lianshuo
