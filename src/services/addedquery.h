#pragma once
// "追加参数": query parameters (campaign tags such as utm_source=a) added to
// every long address of a run before it is looked up and converted.

#include <string>
#include <string_view>

#include "base/result.h"

namespace lianshuo {

/// `line` with `parameters` ("a=1&b=2") added to its address: before a "#"
/// fragment, after the query with "&" (or "?" when there is none). A parameter
/// the address already has keeps its own value; an alias after a tab stays as
/// it is. `line` itself when nothing is added.
std::string withAddedQuery(std::string_view line, std::string_view parameters);

/// Fails, saying why, when `parameters` holds white space, a control
/// character, "#" or "?", or a pair without a name.
Status checkAddedQuery(std::string_view parameters);

}  // namespace lianshuo
