#include "history/historycsv.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "app/base/charset.h"
#include "history/historytime.h"

namespace lianshuo {
namespace {

constexpr std::size_t kWriteChunk = 1 << 20;

std::string systemReason(int error) {
    return fromUtf8(std::strerror(error));
}

}  // namespace

std::string csvField(std::string_view utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(utf8);
    std::string quoted = "\"";
    for (const char c : utf8) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string_view csvHeader() {
    return "service,long,short,created,last used,uses\r\n";
}

std::string csvLine(const HistoryEntry& entry) {
    return csvField(toUtf8(entry.service)) + ',' + csvField(toUtf8(entry.longUrl)) + ',' +
           csvField(toUtf8(entry.shortUrl)) + ',' + formatHistoryTime(entry.created) + ',' +
           formatHistoryTime(entry.lastUsed) + ',' + std::to_string(entry.uses) + "\r\n";
}

AtomicFile::~AtomicFile() {
    discard();
}

std::string AtomicFile::create(const std::string& target) {
    target_ = target;
    std::random_device seed;
    // O_EXCL: a link planted under the temporary name makes the open fail
    // instead of writing where it points.
    for (int attempt = 0; attempt < 20 && fd_ < 0; ++attempt) {
        temporary_ = target + ".lianshuo-" + std::to_string(seed()) + ".tmp";
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        error_ = systemReason(errno);
        temporary_.clear();
    }
    return error_;
}

bool AtomicFile::append(std::string_view bytes) {
    if (fd_ < 0) return false;
    buffer_.append(bytes);
    return buffer_.size() < kWriteChunk || flush();
}

bool AtomicFile::flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = systemReason(n < 0 ? errno : ENOSPC);
            discard();
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
}

std::string AtomicFile::commit() {
    if (fd_ < 0) return error_.empty() ? "文件没有创建" : error_;
    if (!flush()) return error_;
    if (::fsync(fd_) != 0) {
        error_ = systemReason(errno);
        discard();
        return error_;
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0 || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error_ = systemReason(errno);
        discard();
        return error_;
    }
    temporary_.clear();
    return {};
}

void AtomicFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace lianshuo
