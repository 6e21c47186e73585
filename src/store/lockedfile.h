#pragma once
// A settings file held for one writer. Every save writes the whole content to
// a temporary file beside it, flushes it to disk and renames it over the old
// one, so a crash at any moment leaves either the old or the new file, whole.
// An advisory lock (flock) on the current file keeps a second writer out.

#include <string>
#include <string_view>

namespace lianshuo {

class LockedFile {
public:
    LockedFile() = default;
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    enum class OpenResult { Opened, Locked, Failed };

    /// Opens (creating when missing, never truncating) and locks the file at the
    /// native `path`; `content` receives what it holds, also when it is locked.
    OpenResult open(const std::string& path, std::string& content);

    /// Replaces the file's content whole; false when the bytes did not reach the disk.
    bool save(std::string_view content);

    /// Releases the lock and the file.
    void close();

    bool isOpen() const { return fd_ >= 0; }

private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace lianshuo
