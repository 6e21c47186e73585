#pragma once
// Replacing writes of whole files (the file converter's outputs, a history
// export), with the system's reason on failure. A write never goes through a
// symbolic link and never leaves a half-written file under the target's name.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/platform.h"

namespace lianshuo {

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

    /// Appends `bytes` (gathered in memory and written in large pieces); false
    /// once anything failed.
    bool write(std::string_view bytes);
    /// Gives the file `permissions` (when set) and puts it in place; the reason
    /// (GBK) on failure, else empty.
    std::string commit(std::optional<std::filesystem::perms> permissions = std::nullopt);
    /// Why the file failed, empty while it has not.
    const std::string& error() const { return error_; }

private:
    void fail(const Status& status);
    void writeGathered();

    std::filesystem::path target_, temporary_;
    platform::File file_;
    std::string gathered_;  // a rewrite hands over two small pieces per address, an export a line
    std::string error_;
};

}  // namespace lianshuo
