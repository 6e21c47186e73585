#pragma once
// Which files of a folder the file converter processes.

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "script/folderlisting.h"

namespace lianshuo {

/// The left button: "*" and "*.*" take every file, "*.ext" compares the
/// extension, any other pattern is a wildcard mask found anywhere in the name
/// (so "*.htm" also takes "a.html"). In folder order; fails when the folder
/// cannot be read.
Result<std::vector<FolderEntry>> listFilesByPattern(std::string_view folder,
                                                    std::string_view pattern);

/// The right button: each "|" part searched as a file-name wildcard, one part
/// after the other; a file matching two parts is listed twice.
Result<std::vector<FolderEntry>> listFilesBySearch(std::string_view folder,
                                                   std::string_view pattern);

}  // namespace lianshuo
