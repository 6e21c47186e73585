// The POSIX side of the platform seam.

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/charset.h"
#include "base/platform.h"

namespace lianshuo::platform {
namespace {

using faults::Call;
using faults::intercept;

// How long a writer waits for another program's write to finish.
constexpr auto kLockPatience = std::chrono::seconds(10);
constexpr auto kLockRetry = std::chrono::milliseconds(20);
// Files the program creates hold tokens or what the user converted: the owner's alone.
constexpr mode_t kPrivateMode = 0600;
// A save copy whose writer may still be at work is left alone for this long.
constexpr time_t kCopyPatience = 60;

Failure notRegular(FileKind kind) {
    if (kind == FileKind::Directory) return systemFailure(EISDIR);
    return {EINVAL, "not a regular file (a device, a pipe or a socket)"};
}

FileKind kindOf(const struct stat& info) {
    if (S_ISREG(info.st_mode)) return FileKind::Regular;
    if (S_ISDIR(info.st_mode)) return FileKind::Directory;
    return FileKind::Other;
}

FileStamp stampOf(const struct stat& info) {
    constexpr std::int64_t kNano = 1'000'000'000;
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * kNano + info.st_mtim.tv_nsec,
            static_cast<std::int64_t>(info.st_ctim.tv_sec) * kNano + info.st_ctim.tv_nsec};
}

// O_CLOEXEC everywhere: a browser or explorer started from the window must
// not inherit the settings file.
Result<int> openFile(const std::filesystem::path& path, int flags, mode_t mode = kPrivateMode) {
    if (const int error = intercept(Call::Open)) return systemFailure(error);
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
    if (fd < 0) return systemFailure(errno);
    return fd;
}

// Reads from `fd` at offset 0 to the end.
Result<std::string> readFrom(int fd) {
    if (const int error = intercept(Call::Read)) return systemFailure(error);
    std::string out;
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return systemFailure(errno);
        if (n == 0) return out;
        out.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
}

Status writeTo(int fd, std::string_view bytes) {
    if (const int error = intercept(Call::Write)) return systemFailure(error);
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return systemFailure(errno);
        if (n == 0) return systemFailure(EIO);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

Status syncData(int fd) {
    if (const int error = intercept(Call::Sync)) return systemFailure(error);
    if (fdatasync(fd) != 0) return systemFailure(errno);
    return {};
}

Status renameFile(const std::string& from, const std::filesystem::path& to) {
    if (const int error = intercept(Call::Rename)) return systemFailure(error);
    if (::rename(from.c_str(), to.c_str()) != 0) return systemFailure(errno);
    return {};
}

// The name of replaceFile's copy before its random end: the writer's process
// id in it tells a later save whether the copy belongs to a save under way.
std::string copyPrefix(const std::filesystem::path& path) {
    return path.native() + ".saving-" + std::to_string(getpid()) + "-";
}

// True when the process `pid` is still running (or may be: another user's).
bool processRuns(pid_t pid) {
    return pid == getpid() || ::kill(pid, 0) == 0 || errno == EPERM;
}

// Removes the copies that earlier saves of `path` left beside it: those whose
// writer is gone at once, any other (a running writer's, or one without a
// process id in its name) once it is older than any save takes.
void removeStaleCopies(const std::filesystem::path& path) {
    const std::string prefix = path.filename().native() + ".saving-";
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) return;
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
        struct stat info {};
        if (fstatat(dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode))
            continue;
        const std::string_view rest = name.substr(prefix.size());
        pid_t writer = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), writer);
        const bool named =
            error == std::errc() && writer > 0 && end != rest.data() + rest.size() && *end == '-';
        if ((named && !processRuns(writer)) || now - info.st_mtim.tv_sec > kCopyPatience)
            ::unlinkat(dirfd(listing), entry->d_name, 0);
    }
    ::closedir(listing);
}

Result<FileContent> readOpen(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return systemFailure(errno);
    if (kindOf(info) != FileKind::Regular) return notRegular(kindOf(info));
    Result<std::string> bytes = readFrom(fd);
    if (!bytes) return bytes.status();
    return FileContent{std::move(*bytes), stampOf(info)};
}

// The random source of kernels older than getrandom (Linux before 3.17).
Result<std::string> randomBytesFromDevice(std::size_t count) {
    Result<int> fd = openFile("/dev/urandom", O_RDONLY);
    if (!fd) return fd.status();
    std::string bytes(count, '\0');
    for (std::size_t filled = 0; filled < count;) {
        const ssize_t n = ::read(*fd, bytes.data() + filled, count - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::close(*fd);
            return systemFailure(error);
        }
        filled += static_cast<std::size_t>(n);
    }
    ::close(*fd);
    return bytes;
}

}  // namespace

std::string errorText(int code) {
    char buffer[256];
    const char* text = strerror_r(code, buffer, sizeof buffer);
    // Under a UTF-8 locale (the window sets the user's) the text may be translated.
    return isValidUtf8(text) ? fromUtf8(text) : std::string(text);
}

Failure systemFailure(int code) {
    return {code, errorText(code)};
}

Result<FileKind> fileKind(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return kindOf(info);
    if (errno == ENOENT || errno == ENOTDIR) return FileKind::Missing;
    return systemFailure(errno);
}

Result<FileContent> readWholeFile(const std::filesystem::path& path) {
    // Non-blocking, so that opening a pipe with no writer does not hang before the check.
    Result<int> fd = openFile(path, O_RDONLY | O_NONBLOCK);
    if (!fd) return fd.status();
    Result<FileContent> content = readOpen(*fd);
    ::close(*fd);
    return content;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        (void)close();  // the file being replaced; whoever cared closed it first
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

Status File::write(std::string_view bytes) {
    if (descriptor_ < 0) return systemFailure(EBADF);
    return writeTo(descriptor_, bytes);
}

Status File::close() {
    if (descriptor_ < 0) return {};
    // Not retried on EINTR: the descriptor is gone either way on Linux.
    if (::close(std::exchange(descriptor_, -1)) != 0) return systemFailure(errno);
    return {};
}

std::FILE* openFileStream(const std::filesystem::path& path, const char* mode) {
    if (const int error = intercept(Call::Open)) {
        errno = error;
        return nullptr;
    }
    // "e": O_CLOEXEC, as for every other file the program opens.
    return std::fopen(path.c_str(), (std::string(mode) + "e").c_str());
}

Result<std::FILE*> openRegularFile(const std::filesystem::path& path) {
    // Non-blocking, so that a pipe with no writer does not hang the open before the check.
    Result<int> fd = openFile(path, O_RDONLY | O_NONBLOCK);
    if (!fd) return fd.status();
    struct stat info {};
    Status status;
    if (fstat(*fd, &info) != 0)
        status = systemFailure(errno);
    else if (kindOf(info) != FileKind::Regular)
        status = notRegular(kindOf(info));
    else if (const int flags = fcntl(*fd, F_GETFL);
             flags < 0 || fcntl(*fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        status = systemFailure(errno);
    std::FILE* stream = status ? fdopen(*fd, "rb") : nullptr;
    if (status && stream == nullptr) status = systemFailure(errno);
    if (!status) {
        ::close(*fd);
        return Result<std::FILE*>(status);
    }
    return stream;
}

Result<std::size_t> readBlock(std::FILE* stream, char* buffer, std::size_t size) {
    if (const int error = intercept(Call::Read)) return systemFailure(error);
    errno = 0;
    const std::size_t got = std::fread(buffer, 1, size, stream);
    if (got < size && std::ferror(stream)) return systemFailure(errno != 0 ? errno : EIO);
    return got;
}

Result<SmallFile> readSmallFile(const std::filesystem::path& path, std::string& buffer,
                                std::uintmax_t below) {
    // O_NONBLOCK changes nothing for a regular file, and anything else is refused before a read.
    Result<int> fd = openFile(path, O_RDONLY | O_NONBLOCK);
    if (!fd) return fd.status();
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{*fd};
    struct stat info {};
    if (fstat(*fd, &info) != 0) return systemFailure(errno);
    if (kindOf(info) != FileKind::Regular) return notRegular(kindOf(info));
    const auto size = static_cast<std::uintmax_t>(info.st_size);
    if (size >= below) return SmallFile{};
    if (const int error = intercept(Call::Read)) return systemFailure(error);
    // One byte more than the size: a file that grew since is seen to have, and read on.
    const std::size_t want = static_cast<std::size_t>(size) + 1;
    if (buffer.size() < want) buffer.resize(want);
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(*fd, buffer.data() + got, want - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return systemFailure(errno);
        if (n == 0) return SmallFile{true, got};
        got += static_cast<std::size_t>(n);
        // A regular file's read comes short only at its end: no second call to hear so.
        if (got == size) return SmallFile{true, got};
    }
    return SmallFile{};
}

Status renameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    return renameFile(from.string(), to);
}

Result<File> createNewFile(const std::filesystem::path& path) {
    Result<int> fd = openFile(path, O_WRONLY | O_CREAT | O_EXCL);
    if (!fd) return fd.status();
    return File(*fd);
}

Result<FileStamp> replaceFile(const std::filesystem::path& path, std::string_view bytes) {
    struct stat old {};
    mode_t mode = kPrivateMode;
    if (::stat(path.c_str(), &old) == 0) {
        if (kindOf(old) != FileKind::Regular) return notRegular(kindOf(old));
        mode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        return systemFailure(errno);
    }
    // mkostemp creates the file exclusively under a name nobody can guess, so
    // a link planted beside the file cannot redirect the write.
    removeStaleCopies(path);
    std::string temp = copyPrefix(path) + "XXXXXX";
    if (const int error = intercept(Call::Open)) return systemFailure(error);
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return systemFailure(errno);
    Status done = fchmod(fd, mode) == 0 ? Status() : Status(systemFailure(errno));
    if (done) done = writeTo(fd, bytes);
    if (done) done = syncData(fd);
    if (done) done = renameFile(temp, path);
    struct stat now {};
    if (done && fstat(fd, &now) != 0) done = systemFailure(errno);
    ::close(fd);
    if (!done) {
        ::unlink(temp.c_str());
        return done;
    }
    return stampOf(now);
}

Result<FileLock> FileLock::acquire(const std::filesystem::path& path) {
    const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
    for (;;) {
        // Checked before opening: opening a device can have effects of its own.
        const Result<FileKind> kind = fileKind(path);
        if (!kind) return kind.status();
        if (*kind != FileKind::Missing && *kind != FileKind::Regular) return notRegular(*kind);
        Result<int> opened = openFile(path, O_RDWR | O_CREAT | O_NONBLOCK);
        if (!opened) return opened.status();
        FileLock lock(*opened);
        struct stat held {};
        if (fstat(lock.descriptor_, &held) != 0) return systemFailure(errno);
        if (kindOf(held) != FileKind::Regular) return notRegular(kindOf(held));
        if (const int error = intercept(Call::Lock)) return systemFailure(error);
        if (flock(lock.descriptor_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) return systemFailure(errno);
            if (std::chrono::steady_clock::now() >= deadline)
                return Failure{EWOULDBLOCK, "另一个程序锁住了这个文件"};
            std::this_thread::sleep_for(kLockRetry);
            continue;
        }
        // The holder before us may have replaced the file while we waited; a
        // lock on the old one would guard nothing.
        struct stat current {};
        if (::stat(path.c_str(), &current) == 0 && current.st_dev == held.st_dev &&
            current.st_ino == held.st_ino)
            return lock;
    }
}

FileStamp FileLock::stamp() const {
    struct stat info {};
    return fstat(descriptor_, &info) == 0 ? stampOf(info) : FileStamp{};
}

Result<FileContent> FileLock::read() const {
    return readOpen(descriptor_);
}

FileLock::~FileLock() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

bool readableByOthers(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

Result<std::string> randomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t filled = 0; filled < count;) {
        const ssize_t n = getrandom(bytes.data() + filled, count - filled, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == ENOSYS) return randomBytesFromDevice(count);
        if (n < 0) return systemFailure(errno);
        filled += static_cast<std::size_t>(n);
    }
    return bytes;
}

bool isWritable(const std::filesystem::path& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

std::tm localTime(std::time_t moment) {
    std::tm parts{};
    localtime_r(&moment, &parts);
    return parts;
}

Result<void*> loadLibrary(const char* name) {
    if (void* handle = dlopen(name, RTLD_LAZY | RTLD_LOCAL)) return handle;
    const char* reason = dlerror();
    return Status::failed(reason ? reason : "unknown error");
}

LibraryFunction findFunction(void* library, const char* name) {
    if (library == nullptr) return nullptr;
    return reinterpret_cast<LibraryFunction>(dlsym(library, name));
}

void ensureStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // Inheritable on purpose: started programs get valid standard streams too.
        const int null = ::open("/dev/null", O_RDWR);
        if (null < 0) return;
        if (null != fd) {
            dup2(null, fd);
            ::close(null);
        }
    }
}

bool isTerminal(StandardStream stream) {
    if (const int faked = faults::fakedTerminal(stream); faked >= 0) return faked == 1;
    return isatty(static_cast<int>(stream)) == 1;
}

}  // namespace lianshuo::platform
