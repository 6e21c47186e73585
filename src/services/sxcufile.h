#pragma once
// Interfaces in the common custom-uploader format (.sxcu): a JSON object that
// many short-link services publish for their users. Only what the format can
// say and an interface can hold is read or written; anything else is refused
// with a message naming it, never silently dropped.

#include <string>
#include <string_view>

#include "base/result.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

/// True when `path` ends in ".sxcu" (any letter case).
bool isSxcuPath(std::string_view path);

/// The interface the .sxcu file text `fileText` (UTF-8 JSON) describes; a
/// refusal names (in GBK) what the file holds that an interface cannot.
Result<ShortUrlInterface> interfaceFromSxcu(std::string_view fileText);

/// `definition` as a .sxcu file (UTF-8 JSON ending in a line break). The token
/// goes in where "#令牌#" stands only `withToken`; otherwise "#令牌#" stays for
/// the user to fill in. A refusal names what the format cannot say.
Result<std::string> sxcuFromInterface(const ShortUrlInterface& definition, bool withToken);

}  // namespace lianshuo
