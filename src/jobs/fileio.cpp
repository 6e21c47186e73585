#include "jobs/fileio.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <system_error>
#include <utility>

#include "app/base/charset.h"
#include "app/base/platform.h"

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
    FilePtr file(platform::openFileStream(path, "rb"));
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

ReplacementFile::ReplacementFile(std::filesystem::path target) : target_(std::move(target)) {
    std::random_device seed;
    // "x" creates the file exclusively: a planted link of the same name makes
    // the open fail instead of writing where it points.
    for (int attempt = 0; attempt < 20 && file_ == nullptr; ++attempt) {
        temporary_ = target_;
        temporary_ += ".lianshuo-" + std::to_string(seed()) + ".tmp";
        errno = 0;
        file_ = platform::openFileStream(temporary_, "wbx");
        if (file_ == nullptr && errno != EEXIST) break;
    }
    if (file_ == nullptr) {
        error_ = systemReason(errno);
        temporary_.clear();
    }
}

ReplacementFile::~ReplacementFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (!temporary_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

void ReplacementFile::fail(int error) {
    if (error_.empty()) error_ = systemReason(error != 0 ? error : EIO);
}

bool ReplacementFile::write(std::string_view bytes) {
    if (!error_.empty()) return false;
    errno = 0;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        fail(errno != 0 ? errno : ENOSPC);
    return error_.empty();
}

std::string ReplacementFile::commit(std::filesystem::perms permissions) {
    if (!error_.empty()) return error_;
    errno = 0;
    const bool flushed = std::fflush(file_) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(std::exchange(file_, nullptr)) == 0;
    if (!flushed || !closed) {
        fail(flushed ? errno : flushError);
        return error_;
    }
    std::error_code ec;
    std::filesystem::permissions(temporary_, permissions, ec);
    std::filesystem::rename(temporary_, target_, ec);
    if (ec) {
        error_ = fromUtf8(ec.message());
        return error_;
    }
    temporary_.clear();
    return {};
}

}  // namespace lianshuo
