#include "http/cookies.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "base/gbk.h"
#include "base/helpers.h"

namespace lianshuo {
namespace {

constexpr std::string_view kSetCookie = "Set-Cookie:";
constexpr std::string_view kLineEnd = "\r\n";

// The items of a cookie text; empty items (a trailing ";") are no items.
std::vector<std::string> cookieItemsOf(std::string_view text) {
    std::vector<std::string> items = splitText(replaceAll(text, " ", ""), ";");
    std::erase_if(items, [](const std::string& item) { return item.empty(); });
    return items;
}

std::string cookieNameOf(std::string_view item) {
    const std::size_t equals = findText(item, "=");
    return trimSpaces(item.substr(0, equals));
}

}  // namespace

std::string mergeCookies(std::string& old, std::string_view add) {
    std::vector<std::string> merged = cookieItemsOf(add);
    const std::size_t addCount = merged.size();
    for (std::string& item : cookieItemsOf(old)) {
        const std::string name = cookieNameOf(item);
        const bool replaced =
            std::any_of(merged.begin(), merged.begin() + addCount,
                        [&](const std::string& n) { return cookieNameOf(n) == name; });
        if (!replaced) merged.push_back(std::move(item));
    }
    std::erase_if(merged, [](const std::string& item) { return item.ends_with("=deleted"); });
    old = removeDuplicateItems(joinText(merged, "; "), "; ");
    return old;
}

std::string removeDuplicateItems(std::string_view text, std::string_view separator) {
    std::vector<std::string> items = splitText(text, separator);
    std::unordered_set<std::string> seen;
    std::erase_if(
        items, [&](const std::string& item) { return item.empty() || !seen.insert(item).second; });
    return joinText(items, separator);
}

std::string setCookieLinesOf(std::string_view headerBlock) {
    std::string lines;
    for (const std::string& line : splitText(headerBlock, kLineEnd)) {
        if (line.starts_with(kSetCookie)) lines += line + std::string(kLineEnd);
    }
    return lines;
}

std::string cookieHeaderOf(std::string_view headerBlock) {
    const std::string values = replaceAll(setCookieLinesOf(headerBlock), "Set-Cookie: ", "");
    return replaceAll(values, kLineEnd, "; ");
}

std::string responseCookieOf(std::string_view headerBlock, std::string_view name) {
    const std::string key = std::string(name) + "=";
    std::string value = textBetween(headerBlock, "Set-Cookie: " + key, ";");
    if (value.empty()) value = textBetween(headerBlock, "Set-Cookie:" + key, ";");
    return value;
}

std::string collectedCookiesOf(std::string_view headerBlock) {
    constexpr std::string_view kPrefix = "Set-Cookie: ";
    std::string cookies;
    for (const std::string& line : splitText(headerBlock, kLineEnd)) {
        if (!containsText(line, kPrefix, true)) continue;
        // The prefix is assumed to start the line, as it does in any sane reply.
        const std::string rest = line.substr(std::min(line.size(), kPrefix.size()));
        const std::size_t semicolon = findText(rest, ";");
        if (semicolon != npos) cookies += rest.substr(0, semicolon);
        cookies += ';';
    }
    return cookies;
}

}  // namespace lianshuo
