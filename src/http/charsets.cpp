#include "http/charsets.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/paths.h"
#include "http/gzip.h"

namespace lianshuo {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

const char* converterNameOf(int mode) {
    switch (mode) {
        case kUtf8:
            return "UTF-8";
        case kUtf16Le:
            return "UTF-16LE";
        case kUtf16Be:
            return "UTF-16BE";
        case kBig5:
            return "BIG5";
        case kBig5Hkscs:
            return "BIG5-HKSCS";
        default:
            return nullptr;  // 0, 1 and unknown modes leave the bytes as they are
    }
}

// Settles the mode from the caller, a byte-order mark or a meta tag; returns where the body
// starts. The UTF-16 modes always drop two bytes, mark or not.
std::size_t bodyStartFor(std::string_view content, int& mode) {
    switch (mode) {
        case kUtf16Le:
        case kUtf16Be:
            return std::min<std::size_t>(2, content.size());
        case kUtf8:
            return content.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
        case kDetect:
            break;
        default:
            return 0;
    }
    if (content.starts_with(kUtf8Mark)) {
        mode = kUtf8;
        return kUtf8Mark.size();
    }
    if (content.starts_with(kUtf16LeMark)) {
        mode = kUtf16Le;
        return 2;
    }
    if (content.starts_with(kUtf16BeMark)) {
        mode = kUtf16Be;
        return 2;
    }
    static constexpr int kModeOfMeta[] = {kDetect, kUtf8, kBig5, kBig5Hkscs};
    mode = kModeOfMeta[metaCharsetOf(content)];
    return 0;
}

std::string decodeContent(std::string_view content, int mode, int* usedMode) {
    const std::string_view body = content.substr(bodyStartFor(content, mode));
    if (mode == kDetect && looksLikeUtf8(body)) mode = kUtf8;
    std::string text;
    const char* from = converterNameOf(mode);
    // Short-link replies are mostly ASCII, which every charset here but UTF-16 writes as GBK
    // does: no converter needs to be loaded for them.
    const bool asciiAsItIs =
        mode != kUtf16Le && mode != kUtf16Be && std::all_of(body.begin(), body.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x80;
        });
    if (from != nullptr && !body.empty())
        text = asciiAsItIs ? std::string(body) : convertCharset(body, from, "GB18030");
    if (text.empty()) {
        // Nothing converted: the whole content, mark included, is taken as it is.
        text.assign(content);
        mode = kNoConversion;
    }
    if (usedMode != nullptr) *usedMode = mode;
    return text;
}

// The head of the page, or the whole page when it has no (or an empty) head.
std::string_view headSectionOf(std::string_view html) {
    constexpr std::string_view kOpen = "<head>";
    const std::size_t open = findTextNoCase(html, kOpen);
    if (open == npos) return html;
    const std::size_t begin = open + kOpen.size();
    const std::size_t close = findTextNoCase(html, "</head>", begin);
    if (close == npos || close == begin) return html;
    return html.substr(begin, close - begin);
}

}  // namespace

std::string decodeResponseText(std::string_view bytes, int mode, int* usedMode) {
    // Only a compressed body needs a copy of its own: a large reply is held once, not twice.
    if (!bytes.starts_with(kGzipSignature)) return decodeContent(bytes, mode, usedMode);
    const std::optional<std::string> content = expandedBody(bytes);
    if (!content) {
        if (usedMode != nullptr) *usedMode = kNoConversion;
        return {};
    }
    return decodeContent(*content, mode, usedMode);
}

std::string decodeResponseFile(std::string_view pathGbk, int mode, int* usedMode) {
    std::ifstream file(nativePath(pathGbk), std::ios::binary);
    if (!file) {
        if (usedMode != nullptr) *usedMode = kNoConversion;
        return {};
    }
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return decodeResponseText(bytes, mode, usedMode);
}

bool looksLikeUtf8(std::string_view bytes) {
    auto continues = [&](std::size_t i) {
        return (static_cast<unsigned char>(bytes[i]) & 0xC0) == 0x80;
    };
    bool sawSequence = false;
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
        } else if (i + 1 < n && (c & 0xE0) == 0xC0 && continues(i + 1)) {
            i += 2;
            sawSequence = true;
        } else if (i + 2 < n && (c & 0xF0) == 0xE0 && continues(i + 1) && continues(i + 2)) {
            i += 3;
            sawSequence = true;
        } else {
            // Four-byte sequences fail too: such bodies are rare enough to be taken as GBK.
            return false;
        }
    }
    return sawSequence;
}

int metaCharsetOf(std::string_view html) {
    // Big5 is tested before Big5-HKSCS, so an unquoted Big5-HKSCS declaration reads as Big5.
    static constexpr std::string_view kNames[] = {"UTF-8", "Big5", "Big5-HKSCS"};
    constexpr std::string_view kOpen = "<meta";
    const std::string_view head = headSectionOf(html);
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = findTextNoCase(head, kOpen, from);
        if (open == npos) return 0;
        const std::size_t begin = open + kOpen.size();
        const std::size_t close = findTextNoCase(head, ">", begin);
        if (close == npos || close == begin) return 0;  // an empty tag ends the walk as well
        const std::string_view tag = head.substr(begin, close - begin);
        for (int index = 0; index < 3; ++index) {
            if (declaresCharset(tag, kNames[index])) return index + 1;
        }
        from = close + 1;
    }
}

bool declaresCharset(std::string_view text, std::string_view name) {
    const std::string value(name);
    for (const std::string& form : {value, "\"" + value + "\"", "'" + value + "'"}) {
        if (containsText(text, "charset=" + form, true)) return true;
    }
    return false;
}

}  // namespace lianshuo
