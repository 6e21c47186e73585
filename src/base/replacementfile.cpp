#include "base/replacementfile.h"

#include <cerrno>
#include <random>
#include <system_error>
#include <utility>

namespace lianshuo {
ReplacementFile::ReplacementFile(std::filesystem::path target) : target_(std::move(target)) {
    // Seeded once per thread: reading the system's entropy for every file costs more than the name.
    thread_local std::mt19937 seed{std::random_device{}()};
    // Created exclusively: a planted link of the same name makes the creation
    // fail instead of writing where it points.
    for (int attempt = 0; attempt < 20 && !file_.isOpen(); ++attempt) {
        temporary_ = target_;
        temporary_ += ".lianshuo-" + std::to_string(seed()) + ".tmp";
        Result<platform::File> created = platform::createNewFile(temporary_);
        if (created) {
            file_ = std::move(*created);
        } else if (created.status().code() != EEXIST) {
            fail(created.status());
            break;
        }
    }
    if (!file_.isOpen()) {
        if (status_) status_ = platform::systemFailure(EEXIST);
        temporary_.clear();
    }
}

ReplacementFile::~ReplacementFile() {
    (void)file_.close();  // uncommitted: the file is discarded anyway
    if (!temporary_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

void ReplacementFile::fail(const Status& status) {
    if (status_) status_ = status;
}

namespace {

constexpr std::size_t kWriteSize = std::size_t{1} << 16;

}  // namespace

Status ReplacementFile::write(std::string_view bytes) {
    if (!status_) return status_;
    if (gathered_.size() + bytes.size() > kWriteSize) writeGathered();
    // A large piece goes out as it is, not copied first.
    if (bytes.size() >= kWriteSize) {
        if (status_) fail(file_.write(bytes));
    } else {
        gathered_.append(bytes);
    }
    return status_;
}

void ReplacementFile::writeGathered() {
    if (!gathered_.empty() && status_) fail(file_.write(gathered_));
    gathered_.clear();
}

Status ReplacementFile::commit(std::optional<std::filesystem::perms> permissions) {
    writeGathered();
    if (!status_) return status_;
    fail(file_.close());
    if (!status_) return status_;
    if (permissions) {
        std::error_code ec;
        std::filesystem::permissions(temporary_, *permissions, ec);
    }
    fail(platform::renameOver(temporary_, target_));
    if (!status_) return status_;
    temporary_.clear();
    return {};
}

}  // namespace lianshuo
