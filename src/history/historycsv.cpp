#include "history/historycsv.h"

#include "base/charset.h"
#include "history/historytime.h"

namespace lianshuo {

std::string csvField(std::string_view utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(utf8);
    std::string quoted = "\"";
    for (const char c : utf8) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string_view csvHeader() {
    return "service,long,short,created,last used,uses,state,target,checked\r\n";
}

std::string csvLine(const HistoryEntry& entry) {
    return csvField(toUtf8(entry.service)) + ',' + csvField(toUtf8(entry.longUrl)) + ',' +
           csvField(toUtf8(entry.shortUrl)) + ',' + formatHistoryTime(entry.created) + ',' +
           formatHistoryTime(entry.lastUsed) + ',' + std::to_string(entry.uses) + ',' +
           toUtf8(linkStateName(entry.linkState)) + ',' + csvField(toUtf8(entry.linkTarget)) + ',' +
           (entry.checked != 0 ? formatHistoryTime(entry.checked) : std::string()) + "\r\n";
}

}  // namespace lianshuo
