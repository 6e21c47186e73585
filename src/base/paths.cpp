#include "base/paths.h"

#include <system_error>

#include "base/charset.h"

namespace lianshuo {

std::filesystem::path nativePath(std::string_view gbkPath) {
    return std::filesystem::path(toUtf8(gbkPath));
}

std::string gbkPath(const std::filesystem::path& path) {
    return fromUtf8(path.string());
}

std::string programDirectory() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return gbkPath(std::filesystem::current_path(ec));
    return gbkPath(exe.parent_path());
}

}  // namespace lianshuo
