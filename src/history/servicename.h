#pragma once
// The name a person knows a history entry's service by.

#include <string>
#include <string_view>

namespace lianshuo {

/// GBK: "百度", "新浪" or "TinyURL" for a built-in service's key, a custom
/// interface's name for "custom:NAME"; any other key as it is.
std::string historyServiceName(std::string_view shownKey);

}  // namespace lianshuo
