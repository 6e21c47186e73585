#pragma once
// The rules of an interface's request and reply keys: which methods, header
// lines, success statuses and expressions it may hold.

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

/// The method sent: "请求方法" upper-cased when set, else POST or GET as "调用模式" says.
std::string requestMethod(const ShortUrlInterface& definition);

/// True for POST, PUT and PATCH, the methods that send the filled-in template.
bool methodSendsBody(std::string_view method);

/// Sets the method (any letter case): GET and POST go into postMode alone,
/// PUT and PATCH into both fields. False, changing nothing, for any other.
bool setRequestMethod(ShortUrlInterface& definition, std::string_view method);

/// The lines of a "请求头" text (CR LF or LF), empty lines left out.
std::vector<std::string> headerLinesOf(std::string_view headers);

/// Fails, saying why, when `line` is no "Name: Value" header line.
Status checkHeaderLine(std::string_view line);

/// True when `status` is in `list` ("200-299", "200,201", "200-204,302");
/// an empty list means 200-299.
bool statusAccepted(long status, std::string_view list);

/// Fails, saying why, when `list` is no list of statuses.
Status checkStatusList(std::string_view list);

/// The longest pause "间隔毫秒" may ask for.
inline constexpr long kLongestPauseMs = 600000;

/// Fails when the interface cannot send or read anything, one reason per line
/// ("；" between them with `separator`). Says nothing of the address or the name.
Status checkInterfaceKeys(const ShortUrlInterface& definition, std::string_view separator = "\n");

}  // namespace lianshuo
