#include "history/historycsv.h"

#include <cerrno>
#include <random>

#include "app/base/charset.h"
#include "history/historytime.h"

namespace lianshuo {
namespace {

constexpr std::size_t kWriteChunk = 1 << 20;

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

std::string AtomicFile::create(const std::filesystem::path& target) {
    target_ = target;
    std::random_device seed;
    // Created exclusively: a link planted under the temporary name makes the
    // creation fail instead of writing where it points.
    for (int attempt = 0; attempt < 20 && !file_.isOpen(); ++attempt) {
        temporary_ = target;
        temporary_ += ".lianshuo-" + std::to_string(seed()) + ".tmp";
        Result<platform::File> created = platform::createNewFile(temporary_);
        if (created) {
            file_ = std::move(*created);
        } else if (created.code() != EEXIST) {
            error_ = created.reason();
            break;
        }
    }
    if (!file_.isOpen()) {
        if (error_.empty()) error_ = platform::errorText(EEXIST);
        temporary_.clear();
    }
    return error_;
}

bool AtomicFile::append(std::string_view bytes) {
    if (!file_.isOpen()) return false;
    buffer_.append(bytes);
    return buffer_.size() < kWriteChunk || flush();
}

bool AtomicFile::flush() {
    if (const Status written = file_.write(buffer_); !written) {
        error_ = written.reason();
        discard();
        return false;
    }
    buffer_.clear();
    return true;
}

std::string AtomicFile::commit() {
    if (!file_.isOpen()) return error_.empty() ? "文件没有创建" : error_;
    if (!flush()) return error_;
    Status done = file_.close();
    if (done) done = platform::renameOver(temporary_, target_);
    if (!done) {
        error_ = done.reason();
        discard();
        return error_;
    }
    temporary_.clear();
    return {};
}

void AtomicFile::discard() {
    file_.close();
    if (!temporary_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
    temporary_.clear();
}

}  // namespace lianshuo
