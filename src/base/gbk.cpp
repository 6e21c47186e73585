#include "base/gbk.h"

#include <algorithm>

namespace lianshuo {
namespace {

char lowerByte(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Finds the first boundary-aligned match at or after `from`. `text` and
// `needle` are compared as given; the caller lowers both for a case-blind search.
std::size_t findAligned(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) return npos;
    if (needle.empty()) return from;
    std::size_t boundary = from;
    while (true) {
        const std::size_t candidate = text.find(needle, boundary);
        if (candidate == npos) return npos;
        while (boundary < candidate) boundary += charLength(text, boundary);
        if (boundary == candidate) return candidate;
        // The candidate began on the second byte of a pair; go on after it.
    }
}

}  // namespace

std::string toLowerAscii(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (isLeadByte(out[i]))
            ++i;
        else
            out[i] = lowerByte(out[i]);
    }
    return out;
}

std::size_t findText(std::string_view text, std::string_view needle, std::size_t from) {
    return findAligned(text, needle, from);
}

std::size_t findTextNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) return npos;
    // Lowering keeps every byte in place, so positions carry over unchanged.
    const std::string lowered = toLowerAscii(text.substr(from));
    const std::size_t pos = findAligned(lowered, toLowerAscii(needle), 0);
    return pos == npos ? npos : pos + from;
}

std::size_t rfindText(std::string_view text, std::string_view needle, std::size_t end,
                      bool ignoreCase) {
    end = std::min(end, text.size());
    std::string loweredText, loweredNeedle;
    if (ignoreCase) {
        loweredText = toLowerAscii(text);
        loweredNeedle = toLowerAscii(needle);
        text = loweredText;
        needle = loweredNeedle;
    }
    if (needle.size() > end) return npos;
    std::size_t last = npos;
    for (std::size_t pos = findAligned(text, needle, 0); pos != npos && pos + needle.size() <= end;
         pos = findAligned(text, needle, pos + charLength(text, pos))) {
        last = pos;
        if (needle.empty()) break;
    }
    if (needle.empty()) return end;
    return last;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to,
                       bool ignoreCase) {
    if (from.empty()) return std::string(text);
    std::string lowered;
    std::string_view haystack = text;
    std::string loweredFrom;
    if (ignoreCase) {
        lowered = toLowerAscii(text);
        loweredFrom = toLowerAscii(from);
        haystack = lowered;
        from = loweredFrom;
    }
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t pos = findAligned(haystack, from, 0); pos != npos;
         pos = findAligned(haystack, from, start)) {
        out.append(text.substr(start, pos - start));
        out.append(to);
        start = pos + from.size();
    }
    out.append(text.substr(start));
    return out;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    // As toLowerAscii() of both would compare them, without the copies: a lead byte is
    // matched as it is, and so is the byte after it.
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (isLeadByte(text[i])) {
            if (text[i] != prefix[i] || (i + 1 < prefix.size() && text[i + 1] != prefix[i + 1]))
                return false;
            ++i;
        } else if (lowerByte(text[i]) != lowerByte(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::string trimSpaces(std::string_view text, bool fullWidth) {
    // Length of the space character at `pos`, 0 when there is none there.
    auto spaceAt = [&](std::size_t pos) -> std::size_t {
        if (text[pos] == ' ' || (fullWidth && text[pos] == '\t')) return 1;
        if (fullWidth && pos + 1 < text.size() && static_cast<unsigned char>(text[pos]) == 0xA1 &&
            static_cast<unsigned char>(text[pos + 1]) == 0xA1)
            return 2;
        return 0;
    };
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t n = spaceAt(begin);
        if (n == 0) break;
        begin += n;
    }
    // Trailing spaces: walk the characters so a trail byte is never taken alone.
    std::size_t end = begin, lastKept = begin;
    while (end < text.size()) {
        const std::size_t n = spaceAt(end);
        const std::size_t len = n ? n : charLength(text, end);
        end += len;
        if (!n) lastKept = end;
    }
    return std::string(text.substr(begin, lastKept - begin));
}

std::vector<std::string> splitText(std::string_view text, std::string_view separator) {
    std::vector<std::string> items;
    if (separator.empty()) {
        items.emplace_back(text);
        return items;
    }
    std::size_t start = 0;
    for (std::size_t pos = findText(text, separator, 0); pos != npos;
         pos = findText(text, separator, start)) {
        items.emplace_back(text.substr(start, pos - start));
        start = pos + separator.size();
    }
    items.emplace_back(text.substr(start));
    return items;
}

std::string joinText(const std::vector<std::string>& items, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out.append(separator);
        out.append(items[i]);
    }
    return out;
}

}  // namespace lianshuo

namespace lianshuo {

std::size_t alignToBoundary(std::string_view text, std::size_t pos) {
    std::size_t boundary = 0;
    while (boundary < pos && boundary < text.size()) boundary += charLength(text, boundary);
    return boundary < pos ? pos : boundary;
}

}  // namespace lianshuo
