#pragma once
// The one place where the core calls the operating system in ways that differ
// between POSIX and Windows: files opened without inheritance, whole-file
// reads, advisory locks, durable replacement, local time, libraries loaded at
// run time and the standard streams. Everything else in the core is portable
// C++ and includes no system header; paths cross as std::filesystem::path.
// platform_posix.cpp is the POSIX side; the Windows side is not written yet.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "base/result.h"

namespace lianshuo::platform {

/// The system's text for the error number `code`, as GBK.
std::string errorText(int code);

/// A failure carrying `code` and its text.
Failure systemFailure(int code);

/// What a path names, following symbolic links.
enum class FileKind { Missing, Regular, Directory, Other };
Result<FileKind> fileKind(const std::filesystem::path& path);

/// The identity and version of a file: equal stamps mean unchanged content.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds
    std::int64_t changed = 0;   // nanoseconds
    bool operator==(const FileStamp&) const = default;
};

/// A file's bytes and the stamp of the version they were read from.
struct FileContent {
    std::string bytes;
    FileStamp stamp;
};

/// Reads the whole regular file at `path`. Fails with ENOENT when it is
/// missing, and without reading when it is a directory, device or pipe.
Result<FileContent> readWholeFile(const std::filesystem::path& path);

/// An open file that started programs do not inherit; closed when destroyed.
class File {
public:
    File() = default;
    explicit File(int descriptor) : descriptor_(descriptor) {}
    // A destructor has nobody to tell; writers that care close() first and check.
    ~File() { (void)close(); }
    File(File&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }
    /// Writes all of `bytes`; a failure says why the rest was not written.
    Status write(std::string_view bytes);
    /// Closes the file; a failure says that what was written may not have reached the disk.
    Status close();

private:
    int descriptor_ = -1;
};

/// Opens the file at `path` as a C stream with fopen's `mode` ("rb", "wbx"...),
/// not inherited by started programs; null with errno set when it cannot.
std::FILE* openFileStream(const std::filesystem::path& path, const char* mode);

/// Opens the regular file at `path` for reading as a C stream, not inherited
/// by started programs. Never waits on the way: a pipe, device or folder put
/// in its place is refused with a reason, unread.
Result<std::FILE*> openRegularFile(const std::filesystem::path& path);

/// Reads up to `size` bytes of `stream` into `buffer`: how many (fewer only at
/// the end of the file), or why the read failed.
Result<std::size_t> readBlock(std::FILE* stream, char* buffer, std::size_t size);

/// A whole small file read into memory; `whole` is false (and nothing read)
/// when the file holds `below` bytes or more, for the caller to stream it.
struct SmallFile {
    bool whole = false;
    std::size_t size = 0;
};

/// Reads the regular file at `path` into `buffer` (grown, never shrunk) when it
/// is smaller than `below` bytes: one open, one status and one read where the
/// stream path takes a dozen calls, which shows on a site of small pages.
/// Refuses what openRegularFile refuses, unread.
Result<SmallFile> readSmallFile(const std::filesystem::path& path, std::string& buffer,
                                std::uintmax_t below);

/// Renames `from` over `to`, replacing a link there, never what it points to.
Status renameOver(const std::filesystem::path& from, const std::filesystem::path& to);

/// Creates a new file at `path` for writing, readable by its owner alone;
/// fails (EEXIST) when anything is there already, a symbolic link included,
/// so it never writes through one.
Result<File> createNewFile(const std::filesystem::path& path);

/// Replaces the file at `path` whole: writes a new file beside it (created
/// exclusively), flushes it to disk and renames it over `path`, keeping the old
/// permission bits (a new file is its owner's alone). A crash leaves the old
/// file or the new one, never a mix, and the copy that the next replacement
/// of the same `path` removes: at once when its writer is gone, else once it
/// is a minute old. Refuses, untouched, a `path` that names a directory,
/// device or pipe. Returns the new file's stamp.
Result<FileStamp> replaceFile(const std::filesystem::path& path, std::string_view bytes);

/// True when others than the file's owner may read the file at `path`.
bool readableByOthers(const std::filesystem::path& path);

/// `count` bytes from the system's random source.
Result<std::string> randomBytes(std::size_t count);

/// An exclusive advisory lock on a regular file, held until destroyed. It keeps
/// other programs' writers out while one program reads, changes and replaces it.
class FileLock {
public:
    /// Locks the file at `path`, creating it empty (its owner's alone) when missing, and waits a
    /// while for another program that holds it. Refuses what is not a regular file.
    static Result<FileLock> acquire(const std::filesystem::path& path);

    /// The stamp of the locked file as it is now.
    FileStamp stamp() const;
    /// The locked file's whole content.
    Result<FileContent> read() const;

    FileLock(FileLock&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    FileLock& operator=(FileLock&&) = delete;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

private:
    explicit FileLock(int descriptor) : descriptor_(descriptor) {}
    int descriptor_ = -1;
};

/// True when this program may create or change files in (or at) `path`.
bool isWritable(const std::filesystem::path& path);

/// The local calendar time of `moment`.
std::tm localTime(std::time_t moment);

/// A function of a library loaded at run time; cast it to its real type.
using LibraryFunction = void (*)();
/// Loads the shared library called `name` for the rest of the run; the failure
/// gives the loader's reason.
Result<void*> loadLibrary(const char* name);
/// The function `name` of a loaded library, or null.
LibraryFunction findFunction(void* library, const char* name);

/// Makes sure standard input, output and error are open (on the null device
/// when closed), so that no file opened later takes their place.
void ensureStandardStreams();

/// The standard streams.
enum class StandardStream { Input, Output, Error };
/// True when the standard stream is a terminal.
bool isTerminal(StandardStream stream);

}  // namespace lianshuo::platform

#ifndef LIANSHUO_FAULT_SEAM
#define LIANSHUO_FAULT_SEAM 1
#endif

namespace lianshuo::platform::faults {

/// The calls that tests can make fail, and count.
enum class Call { Open, Read, Write, Sync, Rename, Lock };

/// Makes the next `call` fail with the error number `error` without making it.
void failNext(Call call, int error);
/// How often `call` was made (failures included) since the last reset().
int count(Call call);
/// Forgets the counts, every failure still waiting and every faked terminal.
void reset();
/// Makes isTerminal(`stream`) answer `terminal` until reset(), whatever the stream is.
void fakeTerminal(StandardStream stream, bool terminal);
#if LIANSHUO_FAULT_SEAM
/// Counts `call` and returns the error to fail it with, 0 for none; for the seam's side.
int intercept(Call call);
/// What fakeTerminal() said of `stream`: 1 a terminal, 0 none, -1 nothing; for the seam's side.
int fakedTerminal(StandardStream stream);
#else
// A packaged build has no tests to fail calls for.
constexpr int intercept(Call) {
    return 0;
}
constexpr int fakedTerminal(StandardStream) {
    return -1;
}
#endif

}  // namespace lianshuo::platform::faults
