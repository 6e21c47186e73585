#include "services/conversionoutcome.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/helpers.h"
#include "services/jsonpath.h"

namespace lianshuo {
namespace {

constexpr std::size_t kLongestAddress = 2048;
constexpr std::size_t kLongestMessage = 200;

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isIpv4(std::string_view host) {
    int parts = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = host.find('.', start);
        const std::string_view part = host.substr(start, dot == npos ? npos : dot - start);
        if (part.empty() || part.size() > 3) return false;
        for (const char c : part)
            if (!isAsciiDigit(c)) return false;
        if (std::stoi(std::string(part)) > 255) return false;
        ++parts;
        if (dot == npos) break;
        start = dot + 1;
    }
    return parts == 4;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isAsciiDigit(c) || c == '-' ||
           c == '.' || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool isAcceptableHost(std::string_view host) {
    if (host.empty()) return false;
    if (host.front() == '[') {
        if (host.size() < 4 || host.back() != ']') return false;
        for (const char c : host.substr(1, host.size() - 2))
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
        return true;
    }
    for (const char c : host)
        if (!isHostChar(c)) return false;
    if (toLowerAscii(host) == "localhost") return true;
    const bool allDigits = host.find_first_not_of("0123456789.") == npos;
    if (allDigits) return isIpv4(host);
    const std::size_t dot = host.find('.');
    return dot != npos && dot > 0 && host.back() != '.';
}

// The JSON members services put their error text in, most specific first.
constexpr std::array<std::string_view, 15> kMessageMembers = {
    "message",       "msg",       "err_msg",
    "errmsg",        "error_msg", "errormessage",
    "error_message", "ErrMsg",    "error_description",
    "description",   "detail",    "statusMessage",
    "error",         "errors[0]", "errors"};
// Where services wrap the reply one level down, besides the message members themselves.
constexpr std::array<std::string_view, 5> kEnvelopes = {"data", "result", "response", "meta",
                                                        "status"};

// The first of the members with a text at the top, else one level down: inside an object
// one of them (or an envelope) holds. "errors" stands for its first item.
std::string messageInJson(std::string_view replyText, bool& isJson) {
    std::vector<std::string> outers;
    for (const std::string_view member : kMessageMembers)
        if (member != "errors") outers.emplace_back(member);
    for (const std::string_view envelope : kEnvelopes) outers.emplace_back(envelope);
    std::vector<std::string> paths;
    for (const std::string& outer : outers) {
        paths.push_back(outer);
        for (const std::string_view inner : kMessageMembers)
            if (inner != "errors") paths.push_back(outer + "." + std::string(inner));
    }
    const auto found = findJsonValues(replyText, paths);
    isJson = found.ok();
    if (!found) return {};
    const std::size_t stride = kMessageMembers.size();  // the outer and its inner members
    auto text = [&](std::size_t at) {
        const std::optional<JsonFound>& value = (*found)[at];
        return value && value->kind == JsonKind::Text ? value->text : std::string();
    };
    for (std::size_t outer = 0; outer < outers.size(); ++outer)
        if (std::string words = text(outer * stride); !words.empty()) return words;
    for (std::size_t outer = 0; outer < outers.size(); ++outer) {
        const std::size_t at = outer * stride;
        if (!(*found)[at] || (*found)[at]->kind != JsonKind::Object) continue;
        for (std::size_t inner = 1; inner < stride; ++inner)
            if (std::string words = text(at + inner); !words.empty()) return words;
    }
    return {};
}

std::string cutToMessage(std::string_view text) {
    return escapedExcerpt(trimWhiteSpace(text), kLongestMessage);
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// "Sun, 06 Nov 1994 08:49:37 GMT", the one form HTTP senders must use.
long long parseHttpDate(std::string_view text) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::size_t comma = text.find(", ");
    if (comma == npos) return -1;
    const std::string_view rest = text.substr(comma + 2);
    if (rest.size() < 20 || rest[2] != ' ' || rest[6] != ' ' || rest[11] != ' ' ||
        rest[14] != ':' || rest[17] != ':')
        return -1;
    auto number = [&](std::size_t pos, std::size_t len) {
        int value = -1;
        const auto [end, ec] = std::from_chars(rest.data() + pos, rest.data() + pos + len, value);
        return ec == std::errc() && end == rest.data() + pos + len ? value : -1;
    };
    unsigned month = 0;
    for (unsigned i = 0; i < kMonths.size(); ++i)
        if (rest.substr(3, 3) == kMonths[i]) month = i + 1;
    const int day = number(0, 2), year = number(7, 4);
    const int hour = number(12, 2), minute = number(15, 2), second = number(18, 2);
    if (month == 0 || day < 1 || day > 31 || year < 1970 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60)
        return -1;
    return daysFromCivil(year, month, static_cast<unsigned>(day)) * 86400 + hour * 3600 +
           minute * 60 + second;
}

}  // namespace

ConversionOutcome ConversionOutcome::success(std::string shortUrl) {
    ConversionOutcome outcome;
    outcome.shortUrl = std::move(shortUrl);
    return outcome;
}

ConversionOutcome ConversionOutcome::failed(FailureKind kind, std::string message, long status) {
    ConversionOutcome outcome;
    outcome.failure = kind;
    outcome.message = std::move(message);
    outcome.status = status;
    return outcome;
}

std::string ConversionOutcome::reason() const {
    switch (failure) {
        case FailureKind::None:
            return {};
        case FailureKind::Request:
            return "请求失败：" + message;
        case FailureKind::HttpStatus: {
            std::string text = "HTTP " + std::to_string(status);
            if (!message.empty()) text += "：" + message;
            return text;
        }
        case FailureKind::NothingExtracted:
            return "回复中找不到短网址：" + message;
        case FailureKind::NotWebAddress:
            return "结果不是网址：" + message;
        case FailureKind::TooLarge:
            return "请求过大：" + message;
        case FailureKind::Stopped:
            return "已停止";
        case FailureKind::TokenRequest:
            return "获取令牌失败：" + message;
        case FailureKind::Refused:
        case FailureKind::PointsElsewhere:
        case FailureKind::DeadLink:
            return message;
    }
    return message;
}

std::string trimWhiteSpace(std::string_view text) {
    constexpr std::string_view kWhite = " \t\r\n\v\f";
    const std::size_t begin = text.find_first_not_of(kWhite);
    if (begin == npos) return {};
    return std::string(text.substr(begin, text.find_last_not_of(kWhite) - begin + 1));
}

std::string_view failureKindName(FailureKind kind) {
    switch (kind) {
        case FailureKind::None:
            return "none";
        case FailureKind::Request:
            return "request";
        case FailureKind::HttpStatus:
            return "status";
        case FailureKind::NothingExtracted:
            return "nothing-extracted";
        case FailureKind::NotWebAddress:
            return "not-a-web-address";
        case FailureKind::TooLarge:
            return "too-large";
        case FailureKind::Stopped:
            return "stopped";
        case FailureKind::TokenRequest:
            return "token";
        case FailureKind::Refused:
            return "refused";
        case FailureKind::PointsElsewhere:
            return "points-elsewhere";
        case FailureKind::DeadLink:
            return "dead-link";
    }
    return "unknown";
}

bool isWebAddress(std::string_view text) {
    if (text.size() > kLongestAddress) return false;
    std::size_t start = 0;
    if (startsWithNoCase(text, "http://"))
        start = 7;
    else if (startsWithNoCase(text, "https://"))
        start = 8;
    else
        return false;
    for (std::size_t i = start; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c <= 0x20 || c == 0x7F || c == '<' || c == '>' || c == '"') return false;
    }
    std::string_view authority = text.substr(start, authorityEnd(text, start) - start);
    if (const std::size_t at = authority.rfind('@'); at != npos) authority.remove_prefix(at + 1);
    std::string_view host = authority;
    const std::size_t colon = authority.rfind(':');
    const std::size_t bracket = authority.rfind(']');
    if (colon != npos && (bracket == npos || colon > bracket)) {
        const std::string_view port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != npos)
            return false;
        host = authority.substr(0, colon);
    }
    if (!isAcceptableHost(host)) return false;
    // Bytes that are no text (a raw "\xFF\xFE" in a Location header) would be written as they
    // came into one output and as "?" into another: such a reply names no address.
    return isAscii(text) || fromUtf8(toUtf8(text)) == text;
}

std::string escapedExcerpt(std::string_view text, std::size_t limit) {
    std::string out;
    std::size_t i = 0;
    for (; i < text.size() && out.size() < limit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // Only a whole GBK pair stays as it is; any other high byte is shown by its value.
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c >= 0x81 && c <= 0xFE && next >= 0x40 && next <= 0xFE && next != 0x7F) {
            out.append(text.substr(i, 2));
            ++i;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F || c >= 0x80) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (i < text.size()) out += "…";
    return out;
}

std::string serviceMessage(std::string_view replyText) {
    const std::string trimmed = trimWhiteSpace(replyText);
    if (trimmed.empty()) return {};
    if (trimmed.front() == '{') {
        bool isJson = false;
        const std::string text = messageInJson(trimmed, isJson);
        if (!text.empty()) return cutToMessage(text);
        if (isJson) return {};
    }
    // Markup is a page, not a message; its excerpt still goes into the reason elsewhere.
    if (trimmed.front() == '<') return {};
    const std::size_t lineEnd = trimmed.find_first_of("\r\n");
    return cutToMessage(std::string_view(trimmed).substr(0, lineEnd));
}

long parseRetryAfter(std::string_view value, long long now) {
    const std::string text = trimWhiteSpace(value);
    if (text.empty()) return -1;
    if (text.find_first_not_of("0123456789") == npos) {
        long seconds = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        if (ec == std::errc::result_out_of_range) return 86400;
        return ec == std::errc() && end == text.data() + text.size() ? seconds : -1;
    }
    const long long moment = parseHttpDate(text);
    if (moment < 0) return -1;
    return moment <= now ? 0 : static_cast<long>(std::min<long long>(moment - now, 86400));
}

}  // namespace lianshuo
