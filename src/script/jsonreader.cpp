#include "script/jsonreader.h"

#include <cstdlib>
#include <utility>

#include "script/jsonscan.h"

namespace lianshuo {
namespace {

using jsonscan::Pos;

// "\xA1\xA1" is the full-width space; the patterns strip it like a space.
constexpr const char* kQuoteTrimmer =
    "[\\s\xA1\xA1]+\"|\"[\\s\xA1\xA1]+|^[ \xA1\xA1\"\\t]+|[ \xA1\xA1\"\\t]+$";
constexpr const char* kSpaceTrimmer = "^[ \xA1\xA1\\t]+|[ \xA1\xA1\\t]+$";
constexpr const char* kOpenerCompactor = "[\\s\xA1\xA1]+(\\[|{|\")";
constexpr const char* kCloserCompactor = "(\\]|}|\")[\\s\xA1\xA1]+";

// An escaped quote is parked under this marker while strings are masked.
constexpr std::string_view kQuoteMarker = "#SYH#";

std::string_view stripRuns(std::string_view text, std::string_view bytes) {
    const std::size_t first = text.find_first_not_of(bytes);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(bytes) - first + 1);
}

// The 1-based item number a segment "[n]" selects, or 0 when it selects none:
// n must be written as a plain decimal number.
std::size_t itemNumber(std::string_view segment, bool zeroBased) {
    if (segment.size() < 3 || segment.size() > 20 || segment.front() != '[' ||
        segment.back() != ']')
        return 0;
    const std::string_view digits = segment.substr(1, segment.size() - 2);
    if (digits.size() > 1 && digits[0] == '0') return 0;
    std::size_t n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + static_cast<std::size_t>(c - '0');
    }
    return zeroBased ? n + 1 : n;
}

}  // namespace

JsonReader::JsonReader() {
    // Fixed patterns, compiled by every test of the reader: none of them can fail here.
    for (const auto& [object, pattern] :
         {std::pair{&quoteTrimmer_, kQuoteTrimmer}, std::pair{&spaceTrimmer_, kSpaceTrimmer},
          std::pair{&openerCompactor_, kOpenerCompactor},
          std::pair{&closerCompactor_, kCloserCompactor}})
        if (const Status compiled = object->create(pattern); !compiled) std::abort();
}

// Both trimmers run once per member name or value, so texts that the
// expensive alternatives cannot touch take a byte loop with the same result:
// without white space or a full-width space, only the runs at the ends go.
std::string JsonReader::trimQuotes(std::string_view text) {
    if (text.find_first_of("\t\n\v\f\r \xA1") == std::string_view::npos)
        return std::string(stripRuns(text, "\""));
    return quoteTrimmer_.replace(text, "");
}

std::string JsonReader::trimSpaces(std::string_view text) {
    if (text.find_first_of("\n\r\xA1") == std::string_view::npos)
        return std::string(stripRuns(text, " \t"));
    return spaceTrimmer_.replace(text, "");
}

std::string JsonReader::compact(std::string_view text) {
    return closerCompactor_.replace(openerCompactor_.replace(text, "$1"), "$1");
}

jsonscan::LoadedText JsonReader::load(std::string_view text) {
    // An escaped backslash must not hide the quote after it: pairs of
    // backslashes are set aside before escaped quotes are looked for.
    std::string protectedText = jsonscan::replaceBytes(text, "\\\\", "\\|\\|");
    protectedText = jsonscan::replaceBytes(protectedText, "\\\"", kQuoteMarker);
    protectedText = jsonscan::replaceBytes(protectedText, "\\|\\|", "\\\\");
    jsonscan::LoadedText loaded;
    loaded.plain = compact(protectedText);
    loaded.mask = jsonscan::maskStrings(loaded.plain);
    return loaded;
}

// Dots split the path except inside a quoted segment; a segment whose quote
// never closes is dropped.
std::vector<std::string> JsonReader::parsePath(std::string_view rawPath) {
    const std::string path = jsonscan::replaceBytes(rawPath, "''", "\"");
    const Pos length = static_cast<Pos>(path.size());
    auto find = [&](char c, Pos after) -> Pos {
        const std::size_t hit = path.find(c, static_cast<std::size_t>(after + 1));
        return hit == std::string::npos ? -1 : static_cast<Pos>(hit);
    };
    std::vector<std::string> segments;
    Pos s = -1;
    Pos d = -1;
    Pos firstQuote = find('"', s);
    Pos secondQuote = firstQuote == -1 ? -1 : find('"', firstQuote);
    for (;;) {
        d = find('.', d);
        const bool last = d == -1;
        if (last) d = length;
        const bool oneQuote =
            firstQuote != -1 && firstQuote < d && (secondQuote == -1 || secondQuote >= d);
        if (!oneQuote) {
            segments.push_back(trimQuotes(std::string_view(path).substr(
                static_cast<std::size_t>(s + 1), static_cast<std::size_t>(d - s - 1))));
            s = d;
            firstQuote = find('"', s);
            secondQuote = firstQuote == -1 ? -1 : find('"', firstQuote);
        }
        if (last) break;
    }
    return segments;
}

std::optional<std::string> JsonReader::findMember(const jsonscan::LoadedText& text,
                                                  std::string_view name) {
    jsonscan::MemberScanner members(text);
    while (const auto member = members.next()) {
        if (trimQuotes(member->name.of(text.plain)) == name)
            return trimSpaces(member->value.of(text.plain));
    }
    return std::nullopt;
}

std::optional<std::string> JsonReader::findItem(const jsonscan::LoadedText& text,
                                                std::string_view segment, bool zeroBased) {
    // A lone empty item ("[]") is no item; selecting it would give the same
    // empty text, so it needs no case of its own.
    const std::size_t wanted = itemNumber(segment, zeroBased);
    if (wanted == 0) return std::nullopt;
    jsonscan::ItemScanner items(text);
    std::size_t number = 0;
    while (const auto item = items.next()) {
        if (++number == wanted) return trimSpaces(item->of(text.plain));
    }
    return std::nullopt;
}

std::string JsonReader::getValue(std::string_view json, std::string_view path, bool zeroBased) {
    const std::vector<std::string> segments =
        path.empty() ? std::vector<std::string>{} : parsePath(path);
    if (segments.empty()) return compact(json);

    jsonscan::LoadedText text = load(json);
    const std::size_t brace = text.mask.find('{');
    const std::size_t bracket = text.mask.find('[');
    if (brace == std::string::npos && bracket == std::string::npos) return {};
    bool isArray = bracket < brace;

    // The first match at each level decides: a later member of the same name
    // is never reached, so the listing stops there.
    std::string result;
    for (std::size_t depth = 0;; ++depth) {
        std::optional<std::string> value = isArray ? findItem(text, segments[depth], zeroBased)
                                                   : findMember(text, segments[depth]);
        if (!value) break;
        if (depth + 1 == segments.size()) {
            result = std::move(*value);
            break;
        }
        if (value->empty() || (value->front() != '{' && value->front() != '[')) break;
        isArray = value->front() == '[';
        text = load(*value);
    }
    return jsonscan::replaceBytes(trimQuotes(result), kQuoteMarker, "\\\"");
}

}  // namespace lianshuo
