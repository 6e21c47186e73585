#include "services/encoding.h"

#include "base/charset.h"
#include "base/gbk.h"
#include "base/helpers.h"
#include "script/gbkunits.h"

namespace lianshuo {
namespace {

bool isAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void appendEscape(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

}  // namespace

std::string longUrlToUtf8(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size() + gbk.size() / 2);
    std::size_t run = 0;  // start of the characters not yet converted
    for (std::size_t pos = 0; pos < gbk.size();) {
        const auto byte = static_cast<unsigned char>(gbk[pos]);
        if (byte < 0x80) {
            ++pos;
            continue;
        }
        const gbkunits::Unit unit = gbkunits::decodeUnit(gbk, pos);
        if (unit.codePoint != gbkunits::kReplacement || unit.length != 1) {
            pos += unit.length;
            continue;
        }
        out += gbkunits::toUtf8Units(gbk.substr(run, pos - run));
        appendEscape(out, byte);
        run = ++pos;
    }
    out += gbkunits::toUtf8Units(gbk.substr(run));
    return out;
}

const std::string& conversionErrorText() {
    static const std::string text = "生成错误";
    return text;
}

std::string percentEncodeLongUrl(std::string_view text, bool utf8) {
    const std::string bytes = utf8 ? longUrlToUtf8(text) : std::string(text);
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (isAsciiAlnum(c))
            out += c;
        else if (c == '.' || c == '_' || c == '-')
            out += c;  // the "%2E|%5F|%2D" turned back
        else
            appendEscape(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::string percentEncodeComponent(std::string_view text, bool utf8) {
    const std::string bytes = utf8 ? longUrlToUtf8(text) : std::string(text);
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (isAsciiAlnum(c) || std::string_view("!()-.*_").find(c) != std::string_view::npos)
            out += c;
        else
            appendEscape(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::string unescapeJsonText(std::string_view text) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t slash = findText(text, "\\"); slash != npos;
         slash = findText(text, "\\", start)) {
        // There is no room for a full "\uXXXX" in the last five bytes.
        if (slash + 5 >= text.size()) break;
        if (text[slash + 1] == 'u') {
            const long long unit = numberFromDigits(text.substr(slash + 2, 4), 16);
            if (unit >= 1) {
                out.append(text.substr(start, slash - start));
                const char16_t code = static_cast<char16_t>(unit & 0xFFFF);
                std::string utf16le{static_cast<char>(code & 0xFF), static_cast<char>(code >> 8)};
                std::string gbk = convertCharset(utf16le, "UTF-16LE", "GB18030");
                out.append(gbk.empty() ? "?" : gbk);
                start = slash + 6;
                continue;
            }
        }
        out.append(text.substr(start, slash + 1 - start));
        start = slash + 1;
    }
    out.append(text.substr(start));
    out = replaceAll(out, "\\\"", "\"");
    return replaceAll(out, "\\/", "/");
}

std::string escapeJsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        // The second byte of a pair may be a backslash; a control byte never is one.
        if (isLeadByte(c) && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) >= 0x40) {
            out.append(text.substr(i, 2));
            ++i;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[(c >> 4) & 0x0F];
            out += kHex[c & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace lianshuo
