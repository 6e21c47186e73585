#include "base/helpers.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/paths.h"
#include "base/platform.h"

namespace lianshuo {
namespace {

constexpr std::string_view kHeadSentinel = "#蓝棠头#";
constexpr std::string_view kTailSentinel = "#蓝棠尾#";

// 1-based start position to a 0-based boundary offset.
std::size_t startOffset(std::string_view text, long startPos) {
    const std::size_t from = startPos > 1 ? static_cast<std::size_t>(startPos - 1) : 0;
    return alignToBoundary(text, from);
}

std::string twoDigits(int value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", value);
    return digits;
}

}  // namespace

std::string hostOfUrl(std::string_view url, bool keepPort) {
    std::string u = toLowerAscii(url);
    if (u.empty() || u.back() != '/') u += '/';
    std::string host;
    if (u.compare(0, 8, "https://") == 0) {
        host = textBetween(u, "https://", "/");
    } else {
        if (!containsText(u, "http://")) u.insert(0, "http://");
        host = textBetween(u, "http://", "/");
    }
    if (!keepPort) {
        const std::size_t colon = findText(host, ":");
        if (colon != npos) host.resize(colon);
    }
    return host;
}

std::string textBetween(std::string_view text, std::string_view left, std::string_view right,
                        long startPos, bool ignoreCase) {
    const std::string l = replaceAll(left, "#引号", "\"");
    const std::string r = replaceAll(right, "#引号", "\"");
    auto find = [&](std::string_view needle, std::size_t from) {
        return ignoreCase ? findTextNoCase(text, needle, from) : findText(text, needle, from);
    };
    const std::size_t a = find(l, startOffset(text, startPos));
    if (a == npos) return {};
    const std::size_t b = find(r, a + l.size());
    if (b == npos) return {};
    return std::string(text.substr(a + l.size(), b - (a + l.size())));
}

std::string formatDateTime(int kind, std::string_view text, std::time_t moment) {
    if (moment == -1) moment = std::time(nullptr);
    const std::tm parts = platform::localTime(moment);
    std::string pattern;
    if (kind == -1) {
        pattern = text;
    } else {
        pattern = kind == 1 ? "#1-#2-#3" : kind == 2 ? "#4:#5:#6" : "#1-#2-#3 #4:#5:#6";
        if (!text.empty()) pattern = replaceAll(pattern, ":", text);
    }
    const std::string values[] = {twoDigits(parts.tm_year + 1900), twoDigits(parts.tm_mon + 1),
                                  twoDigits(parts.tm_mday),        twoDigits(parts.tm_hour),
                                  twoDigits(parts.tm_min),         twoDigits(parts.tm_sec)};
    for (int i = 0; i < 6; ++i)
        pattern = replaceAll(pattern, "#" + std::to_string(i + 1), values[i]);
    return pattern;
}

std::string gbkToUtf8(std::string_view text, bool dropTerminator) {
    std::string out = toUtf8(text);
    if (!dropTerminator) out.push_back('\0');
    return out;
}

long long numberFromDigits(std::string_view digits, int base) {
    // Unsigned arithmetic: an absurdly long digit text wraps instead of overflowing.
    unsigned long long value = 0;
    for (std::size_t i = 0; i < digits.size(); i += charLength(digits, i)) {
        const char c = digits[i];
        unsigned digit = 0;
        if (c >= 'A' && c <= 'Z')
            digit = static_cast<unsigned>(c - 'A') + 10;
        else if (c >= 'a' && c <= 'z')
            digit = static_cast<unsigned>(c - 'a') + 10;
        else if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        value = value * static_cast<unsigned long long>(base) + digit;
    }
    return static_cast<long long>(value);
}

std::string digitsOfNumber(unsigned long long number, int base) {
    if (base < 2 || base > 36) return {};
    if (number == 0) return "0";
    std::string out;
    while (number > 0) {
        const auto digit = static_cast<int>(number % static_cast<unsigned>(base));
        out.insert(out.begin(), static_cast<char>(digit < 10 ? '0' + digit : 'A' + digit - 10));
        number /= static_cast<unsigned>(base);
    }
    return out;
}

std::string cutBetweenMarkers(std::string_view text, std::string_view left, std::string_view right,
                              bool reverse, long& startPos, long leftShift, long rightShift,
                              bool keepApostrophes, long& lastPos) {
    if (startPos == -2) return {};
    std::string l(left), r(right), t(text);
    // Users type two apostrophes where a marker holds a double quote.
    if (!keepApostrophes) {
        l = replaceAll(l, "''", "\"");
        r = replaceAll(r, "''", "\"");
    }
    if (l.empty()) {
        l = kHeadSentinel;
        t.insert(0, kHeadSentinel);
    }
    if (r.empty()) {
        r = kTailSentinel;
        t.append(kTailSentinel);
    }
    const long savedStart = startPos;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1) {
            // A page may write an attribute with or without quotes.
            startPos = savedStart;
            l = replaceAll(l, "\"", "");
            r = replaceAll(r, "\"", "");
        }
        const std::size_t from = startOffset(t, startPos);
        std::size_t L, R;
        if (!reverse) {
            L = findTextNoCase(t, l, from);
            if (L == npos) continue;
            R = findTextNoCase(t, r, L + l.size());
            if (R == npos) continue;
        } else {
            R = findTextNoCase(t, r, from);
            if (R == npos) continue;
            L = rfindText(t, l, R, true);
            if (L == npos) continue;
            const bool taken = static_cast<long>(L + 1) <= lastPos;
            lastPos = static_cast<long>(R + 1);
            if (taken) continue;
        }
        startPos = static_cast<long>(R + r.size() + 1);
        const long begin = static_cast<long>(L + l.size()) + leftShift;
        const long length = static_cast<long>(R) - begin - rightShift;
        if (begin < 0 || length <= 0 || static_cast<std::size_t>(begin) >= t.size()) return {};
        return t.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(length));
    }
    if (startPos == savedStart) startPos = -2;
    return {};
}

std::string cutBetweenMarkers(std::string_view text, std::string_view left, std::string_view right,
                              bool reverse) {
    long startPos = 0, lastPos = 0;
    return cutBetweenMarkers(text, left, right, reverse, startPos, 0, 0, false, lastPos);
}

std::string replaceEach(std::string_view text, std::string_view findList,
                        std::string_view replaceList) {
    const std::vector<std::string> finds = splitText(findList, "|");
    std::vector<std::string> replacements = splitText(replaceList, "|");
    replacements.resize(finds.size());
    std::string out(text);
    for (std::size_t i = 0; i < finds.size(); ++i) {
        if (!finds[i].empty()) out = replaceAll(out, finds[i], replacements[i], true);
    }
    return out;
}

Status createDirectoryPath(std::string_view path) {
    for (std::size_t slash = findText(path, "/"); slash != npos;
         slash = findText(path, "/", slash + 1)) {
        if (slash == 0) continue;  // the root of an absolute path
        const std::filesystem::path prefix = nativePath(path.substr(0, slash));
        std::error_code ec;
        if (std::filesystem::is_directory(prefix, ec)) continue;
        // False without an error: a file of that name stands in the way.
        if (!std::filesystem::create_directory(prefix, ec) || ec) {
            const int code = ec ? ec.value() : EEXIST;
            return Status::failed(platform::errorText(code), code);
        }
    }
    return {};
}

void removeDuplicates(std::vector<std::string>& list) {
    std::unordered_set<std::string> seen;
    std::erase_if(list, [&](const std::string& item) { return !seen.insert(item).second; });
}

void waitInterruptibly(long long milliseconds, const std::atomic<bool>& stopFlag) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!stopFlag.load() && Clock::now() < deadline) {
        const auto left = deadline - Clock::now();
        std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(10)));
    }
}

}  // namespace lianshuo
