#pragma once
// The CSV form of the history (UTF-8, comma-separated, CR LF line ends).

#include <string>
#include <string_view>
#include <vector>

#include "history/conversionhistory.h"

namespace lianshuo {

/// One field: as it is, or in double quotes with each inner quote doubled
/// when it holds a comma, a double quote, a CR or an LF.
std::string csvField(std::string_view utf8);

/// The history's columns as the window's model has them, GBK: 短网址, 长网址, 服务,
/// 生成时间, 最后使用, 次数, 状态; then 指向 and 检查时间, which only the export has.
const std::vector<std::string>& historyColumnTitles();

/// The first bytes of a file of `form`: the spreadsheet's byte-order mark and
/// the titles above, or the plain English header "service,long,short,created,
/// last used,uses,state,target,checked".
std::string csvHeader(CsvForm form);

/// One entry's line, UTF-8, with the times in local time.
std::string csvLine(const HistoryEntry& entry, CsvForm form);

}  // namespace lianshuo
