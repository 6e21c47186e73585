#pragma once
// Whole-file reads and replacing writes for the file converter, with the
// system's reason on failure. A write never goes through a symbolic link and
// never leaves a half-written file under the target's name.

#include <filesystem>
#include <string>

namespace lianshuo {

struct FileRead {
    std::string bytes;
    std::string error;  // GBK; empty when the whole file was read
};

/// Reads the whole regular file at `path`.
FileRead readWholeFile(const std::filesystem::path& path);

/// Writes `bytes` to a new file beside `target` and renames it over `target`
/// (replacing a link there, never what it points to), with the permission
/// bits `permissions`. The reason (GBK) on failure, else empty.
std::string replaceFileWith(const std::filesystem::path& target, const std::string& bytes,
                            std::filesystem::perms permissions);

}  // namespace lianshuo
