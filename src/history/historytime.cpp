#include "history/historytime.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "base/platform.h"

namespace lianshuo {
namespace {

// The number written by exactly `width` digits at `pos`, or -1.
int digitsAt(std::string_view text, std::size_t pos, std::size_t width) {
    if (pos + width > text.size()) return -1;
    int value = 0;
    const char* begin = text.data() + pos;
    const auto [end, ec] = std::from_chars(begin, begin + width, value);
    return ec == std::errc() && end == begin + width ? value : -1;
}

}  // namespace

std::string formatHistoryTime(std::int64_t seconds) {
    const std::time_t moment = static_cast<std::time_t>(seconds);
    const std::tm parts = platform::localTime(moment);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::optional<std::int64_t> parseHistoryDate(std::string_view text) {
    if (text.size() != 10 && text.size() != 16 && text.size() != 19) return std::nullopt;
    if (text[4] != '-' || text[7] != '-') return std::nullopt;
    std::tm parts{};
    const int year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2), day = digitsAt(text, 8, 2);
    int hour = 0, minute = 0, second = 0;
    if (text.size() > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || text[13] != ':') return std::nullopt;
        hour = digitsAt(text, 11, 2);
        minute = digitsAt(text, 14, 2);
        if (text.size() == 19) {
            if (text[16] != ':') return std::nullopt;
            second = digitsAt(text, 17, 2);
        }
    }
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    const std::time_t moment = std::mktime(&parts);
    // mktime moves 2026-02-30 to March: such a day was never typed on purpose.
    if (moment == -1 || parts.tm_mday != day || parts.tm_mon != month - 1) return std::nullopt;
    return static_cast<std::int64_t>(moment);
}

}  // namespace lianshuo
