#pragma once
// The names in one folder, for the file converter: its files or its
// sub-folders, and the file-search wildcard that picks among them.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace lianshuo {

/// One listed file: its native path, and its name as GBK text for matching and
/// showing. A name that is not UTF-8 on disk is taken as the GBK it most
/// likely is, while the path keeps its own bytes.
struct FolderEntry {
    std::filesystem::path path;
    std::string name;
};

/// The files (or with wantFolders the sub-folders) of `folder`, sorted by name;
/// fails with the system's reason when the folder cannot be read.
Result<std::vector<FolderEntry>> listFolderEntries(const std::filesystem::path& folder,
                                                   bool wantFolders);

/// Names (GBK, no path) of the files (or with wantFolders the sub-folders) of a folder, sorted
/// by byte order; empty when the path is not a folder or cannot be read.
std::vector<std::string> listFolderItems(std::string_view folderGbk, bool wantFolders);

/// True when `name` matches the file-search wildcard `mask` ("*" any run, "?" one character;
/// ASCII letters case-blind; "*.*" matches every name, with or without a dot).
bool matchesFileMask(std::string_view name, std::string_view mask);

}  // namespace lianshuo
