#pragma once
// The names in one folder, for the file converter: its files or its
// sub-folders, and the file-search wildcard that picks among them.

#include <string>
#include <string_view>
#include <vector>

namespace lianshuo {

/// Names (GBK, no path) of the files (or with wantFolders the sub-folders) of a folder, sorted
/// by byte order; empty when the path is not a folder. Calls processPendingMessages() after each
/// entry.
std::vector<std::string> listFolderItems(std::string_view folderGbk, bool wantFolders);

/// True when `name` matches the file-search wildcard `mask` ("*" any run, "?" one character;
/// ASCII letters case-blind; "*.*" matches every name, with or without a dot).
bool matchesFileMask(std::string_view name, std::string_view mask);

}  // namespace lianshuo
