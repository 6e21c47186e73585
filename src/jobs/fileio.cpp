#include "jobs/fileio.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <system_error>

#include "app/base/charset.h"

namespace lianshuo {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string systemReason(int error) {
    return fromUtf8(std::strerror(error));
}

}  // namespace

FileRead readWholeFile(const std::filesystem::path& path) {
    FileRead result;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        result.error = ec ? fromUtf8(ec.message()) : "不是普通文件";
        return result;
    }
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        result.error = systemReason(errno);
        return result;
    }
    char buffer[1 << 16];
    while (true) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        result.bytes.append(buffer, got);
        if (got == sizeof buffer) continue;
        // A read error midway leaves no partial text behind: the file is skipped whole.
        if (std::ferror(file.get())) {
            result.error = systemReason(errno != 0 ? errno : EIO);
            result.bytes.clear();
        }
        break;
    }
    return result;
}

std::string replaceFileWith(const std::filesystem::path& target, const std::string& bytes,
                            std::filesystem::perms permissions) {
    std::random_device seed;
    std::filesystem::path temporary;
    FilePtr file;
    // "x" creates the file exclusively: a planted link of the same name makes
    // the open fail instead of writing where it points.
    for (int attempt = 0; attempt < 20 && !file; ++attempt) {
        temporary = target;
        temporary += ".lianshuo-" + std::to_string(seed()) + ".tmp";
        errno = 0;
        file.reset(std::fopen(temporary.c_str(), "wbx"));
        if (!file && errno != EEXIST) break;
    }
    if (!file) return systemReason(errno);
    auto discard = [&](int error) {
        file.reset();
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return systemReason(error);
    };
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return discard(errno != 0 ? errno : ENOSPC);
    if (std::fflush(file.get()) != 0) return discard(errno);
    if (std::fclose(file.release()) != 0) return discard(errno);
    std::error_code ec;
    std::filesystem::permissions(temporary, permissions, ec);
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return fromUtf8(ec.message());
    }
    return {};
}

}  // namespace lianshuo
