#pragma once
// Small text, URL and run helpers shared by the services, the jobs and the
// HTTP client. Unlike the text layer, positions here are 1-based, and -1
// means not found, because users type and store them that way.

#include <atomic>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace lianshuo {

/// Where the authority of a URL that runs on from `from` ends (0-based, as in
/// the text layer): at the first "/", "?" or "#", else at the end. A loop of
/// its own, for it runs on every address of a run, where find_first_of() asks
/// memchr once per character.
inline std::size_t authorityEnd(std::string_view url, std::size_t from) {
    for (std::size_t i = from; i < url.size(); ++i)
        if (url[i] == '/' || url[i] == '?' || url[i] == '#') return i;
    return url.size();
}

/// The host of a URL, lower-cased, without scheme, path and (unless keepPort) port.
std::string hostOfUrl(std::string_view url, bool keepPort = false);

/// The text strictly between the first `left` at or after startPos and the next
/// `right`; "#引号" in a marker stands for a double quote. Empty when not found.
std::string textBetween(std::string_view text, std::string_view left, std::string_view right,
                        long startPos = 1, bool ignoreCase = false);

/// A date-time text: kind 0 "Y-M-D h:m:s", 1 "Y-M-D", 2 "h:m:s", -1 the pattern
/// `text` with #1..#6. For kinds 0-2 a non-empty `text` replaces every ":".
std::string formatDateTime(int kind = 0, std::string_view text = {}, std::time_t moment = -1);

/// UTF-8 bytes of the text followed by a zero byte, unless dropTerminator.
std::string gbkToUtf8(std::string_view text, bool dropTerminator);

/// The number written by `digits` in `base`; letters count 10 and up, anything else 0.
long long numberFromDigits(std::string_view digits, int base);

/// The digits of a non-negative number in `base`, upper-case letters above 9.
std::string digitsOfNumber(unsigned long long number, int base);

/// The text between two markers, searched case-blind. An empty marker means the
/// start or the end of the text; '' in a marker means a double quote, and a
/// second attempt drops every double quote from the markers. `startPos` is
/// 1-based and moves past the right marker; it becomes -2 when nothing more is
/// found. With `reverse`, the right marker is found first and the last left
/// marker before it is taken, and `lastPos` keeps the previous match.
std::string cutBetweenMarkers(std::string_view text, std::string_view left, std::string_view right,
                              bool reverse, long& startPos, long leftShift, long rightShift,
                              bool keepApostrophes, long& lastPos);

/// cutBetweenMarkers from the start, without shifts and reverse bookkeeping.
std::string cutBetweenMarkers(std::string_view text, std::string_view left, std::string_view right,
                              bool reverse = false);

/// Each "|"-separated find text replaced, case-blind, by its partner in
/// `replaceList` (missing partners are empty), one list item after the other.
std::string replaceEach(std::string_view text, std::string_view findList,
                        std::string_view replaceList);

/// Creates every missing folder along `path` ("/"-separated; the part after the
/// last "/" is a file name and is not created); a failure gives the system's reason.
Status createDirectoryPath(std::string_view path);

/// Keeps the first occurrence of each text, in order.
void removeDuplicates(std::vector<std::string>& list);

/// Waits `milliseconds` on the calling thread, and ends early once `stopFlag` is set.
void waitInterruptibly(long long milliseconds, const std::atomic<bool>& stopFlag);

}  // namespace lianshuo
