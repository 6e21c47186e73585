#pragma once
// Paths are GBK texts inside the program (they are stored in the settings
// file) and native (UTF-8) names at the file-system call.

#include <filesystem>
#include <string>
#include <string_view>

namespace lianshuo {

/// The native path of a GBK path text.
std::filesystem::path nativePath(std::string_view gbkPath);

/// The GBK text of a native path.
std::string gbkPath(const std::filesystem::path& path);

/// The folder of the running program, as GBK text without a trailing "/".
std::string programDirectory();

}  // namespace lianshuo
