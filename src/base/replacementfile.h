#pragma once
// Replacing writes of whole files (the file converter's outputs, a history
// export), with the system's reason on failure. A write never goes through a
// symbolic link and never leaves a half-written file under the target's name.

#include <filesystem>
#include <optional>
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

    /// Appends `bytes` (gathered in memory and written in large pieces); a
    /// failure once anything failed.
    Status write(std::string_view bytes);
    /// Gives the file `permissions` (when set) and puts it in place.
    Status commit(std::optional<std::filesystem::perms> permissions = std::nullopt);
    /// The first failure of the file, success while there was none.
    const Status& status() const { return status_; }

private:
    void fail(const Status& status);
    void writeGathered();

    std::filesystem::path target_, temporary_;
    platform::File file_;
    std::string gathered_;  // a rewrite hands over two small pieces per address, an export a line
    Status status_;
};

}  // namespace lianshuo
