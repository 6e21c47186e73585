#pragma once
// Interfaces in the common custom-uploader format (.sxcu): a JSON object that
// many short-link services publish for their users. Only what the format can
// say and an interface can hold is read or written; anything else is refused
// with a message naming it, never silently dropped.

#include <string>
#include <string_view>

#include "services/shorturlinterface.h"

namespace lianshuo {

/// True when `path` ends in ".sxcu" (any letter case).
bool isSxcuPath(std::string_view path);

struct SxcuImport {
    ShortUrlInterface definition;
    std::string problem;  // GBK; empty when the file was read
};

/// The interface the .sxcu file text `fileText` (UTF-8 JSON) describes.
SxcuImport interfaceFromSxcu(std::string_view fileText);

struct SxcuExport {
    std::string text;     // UTF-8 JSON, ending in a line break
    std::string problem;  // GBK; empty when the interface could be written
};

/// `definition` as a .sxcu file. The token goes in where "#令牌#" stands only
/// `withToken`; otherwise "#令牌#" stays for the user to fill in.
SxcuExport sxcuFromInterface(const ShortUrlInterface& definition, bool withToken);

}  // namespace lianshuo
