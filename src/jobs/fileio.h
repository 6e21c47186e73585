#pragma once
// Whole-file reads and replacing writes, with the system's reason on failure.
// A write never goes through a symbolic link and never leaves a half-written
// file under the target's name.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace lianshuo {

struct FileRead {
    std::string bytes;
    std::string error;  // GBK; empty when the whole file was read
};

/// Reads the whole regular file at `path`.
FileRead readWholeFile(const std::filesystem::path& path);

/// A new file beside `target`, written in pieces, that replaces `target` on
/// commit() (replacing a link there, never what it points to). Created
/// exclusively, so a planted link of its name cannot redirect it; discarded
/// when destroyed uncommitted or after a failure.
class ReplacementFile {
public:
    explicit ReplacementFile(std::filesystem::path target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    /// Appends `bytes`; false once anything failed.
    bool write(std::string_view bytes);
    /// Gives the file `permissions` and puts it in place; the reason (GBK) on failure, else empty.
    std::string commit(std::filesystem::perms permissions);
    /// Why the file failed, empty while it has not.
    const std::string& error() const { return error_; }

private:
    void fail(int error);

    std::filesystem::path target_, temporary_;
    std::FILE* file_ = nullptr;
    std::string error_;
};

}  // namespace lianshuo
