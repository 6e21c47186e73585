#pragma once
// The CSV form of the history (UTF-8, comma-separated, CR LF line ends).

#include <string>
#include <string_view>

#include "history/conversionhistory.h"

namespace lianshuo {

/// One field: as it is, or in double quotes with each inner quote doubled
/// when it holds a comma, a double quote, a CR or an LF.
std::string csvField(std::string_view utf8);

/// The header line: service, long, short, created, last used, uses, state, target, checked.
std::string_view csvHeader();

/// One entry's line, UTF-8, with the times in local time.
std::string csvLine(const HistoryEntry& entry);

}  // namespace lianshuo
