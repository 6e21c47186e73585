#include "store/lockedfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace lianshuo {
namespace {

bool readAll(int fd, std::string& out) {
    out.clear();
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Follows a symbolic link once bound, so that saving replaces the file the
// link points to and not the link itself.
std::string resolvedPath(const std::string& path) {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer)) return buffer;
    return path;
}

}  // namespace

LockedFile::~LockedFile() { close(); }

LockedFile::OpenResult LockedFile::open(const std::string& path, std::string& content) {
    close();
    content.clear();
    // Retry when the file was replaced between our open and our lock: a lock
    // on a file that is no longer at the path would guard nothing.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::string real = resolvedPath(path);
        const int fd = ::open(real.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int ro = ::open(real.c_str(), O_RDONLY | O_CLOEXEC);
            if (ro >= 0) {
                readAll(ro, content);
                ::close(ro);
            }
            return OpenResult::Failed;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            readAll(fd, content);
            ::close(fd);
            return OpenResult::Locked;
        }
        struct stat opened {};
        struct stat current {};
        if (fstat(fd, &opened) == 0 && stat(real.c_str(), &current) == 0 &&
            opened.st_ino == current.st_ino && opened.st_dev == current.st_dev) {
            if (!readAll(fd, content)) content.clear();
            fd_ = fd;
            path_ = real;
            return OpenResult::Opened;
        }
        ::close(fd);
    }
    return OpenResult::Failed;
}

bool LockedFile::save(std::string_view content) {
    if (fd_ < 0) return false;
    const std::string temp = path_ + ".saving";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat old {};
    if (fstat(fd_, &old) == 0) fchmod(fd, old.st_mode & 07777);
    // Lock the new file before it takes the name, so the lock never lapses.
    const bool ok = writeAll(fd, content) && fdatasync(fd) == 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                    rename(temp.c_str(), path_.c_str()) == 0;
    if (!ok) {
        ::close(fd);
        unlink(temp.c_str());
        return false;
    }
    ::close(fd_);
    fd_ = fd;
    return true;
}

void LockedFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
}

}  // namespace lianshuo
