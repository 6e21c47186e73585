#include "store/controlstatestore.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <mutex>
#include <set>
#include <system_error>
#include <utility>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/paths.h"
#include "store/inicontent.h"

namespace lianshuo {
namespace {

// Line breaks inside a text value are stored as this marker, keeping one entry per line.
constexpr std::string_view kLineBreakMarker = "┊*┊";
constexpr std::string_view kTrue = "真";
constexpr std::string_view kFalse = "假";
// The failure code of a section that cannot be found right after adding its header.
constexpr int kSectionLost = -1;
// The keys whose values are secrets: an interface's token and credentials, the Baidu token.
constexpr std::string_view kSecretKeys[] = {"令牌", "用户名", "密码", "百度Token"};

// Saving replaces the file a symbolic link points to, not the link.
std::filesystem::path resolved(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(path, ec);
    return ec ? path : real;
}

}  // namespace

Status ControlStateStore::checkTokenPrivacy() const {
    static std::mutex mutex;
    static std::set<std::string> warned;
    if (path_.empty()) return {};
    const bool secret =
        std::any_of(std::begin(kSecretKeys), std::end(kSecretKeys),
                    [this](std::string_view key) { return ini::holdsValue(disk_, key); });
    if (!secret || !platform::readableByOthers(resolved(nativePath(path_)))) return {};
    {
        const std::lock_guard<std::mutex> guard(mutex);
        if (!warned.insert(path_).second) return {};
    }
    return Status::failed(
        "配置文件里有令牌，但其他用户也能读取这个文件，请把它改为只有自己能读写：" + path_);
}

std::string ControlStateStore::formatNumber(double number) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", number);
    return buffer;
}

double ControlStateStore::parseNumber(std::string_view text) {
    const std::string trimmed = trimSpaces(text);
    std::string_view digits = trimmed;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    (void)end;
    return ec == std::errc() ? value : 0;
}

std::string ControlStateStore::encodeText(std::string_view text) {
    // Byte by byte, not by character: a CR or LF after a stray lead byte still ends
    // a line in the file, so it must not survive as itself.
    std::string stored;
    stored.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            stored.append(kLineBreakMarker);
        } else {
            stored.push_back(text[i]);
        }
    }
    return stored;
}

void ControlStateStore::Batch::writeText(std::string_view key, std::string_view text) {
    changes_.push_back({false, section_, std::string(key), encodeText(text)});
}

void ControlStateStore::Batch::writeNumber(std::string_view key, double number) {
    changes_.push_back({false, section_, std::string(key), formatNumber(number)});
}

void ControlStateStore::Batch::writeBool(std::string_view key, bool flag) {
    changes_.push_back({false, section_, std::string(key), std::string(flag ? kTrue : kFalse)});
}

void ControlStateStore::Batch::deleteEntry(std::string_view sectionName, std::string_view key) {
    changes_.push_back({true, std::string(sectionName), std::string(key), {}});
}

Status ControlStateStore::Batch::commit(OnFailure onFailure) {
    return store_.apply(std::exchange(changes_, {}), onFailure);
}

Result<std::string> ControlStateStore::Batch::render() const {
    std::string content;
    for (const Request& request : changes_)
        if (Status applied = applyOne(content, request); !applied) return applied;
    return content;
}

Status ControlStateStore::bindFile(std::string_view path) {
    path_ = path;
    disk_.clear();
    content_.clear();
    unsaved_.clear();
    stamp_.reset();
    Result<platform::FileContent> loaded = platform::readWholeFile(nativePath(path));
    // A missing file reads as empty; the first write creates it.
    if (!loaded) return loaded.code() == ENOENT ? Status() : loaded.status();
    disk_ = std::move(loaded->bytes);
    content_ = disk_;
    stamp_ = loaded->stamp;
    return {};
}

std::vector<std::string> ControlStateStore::listSections(std::string_view include,
                                                         std::string_view exclude) const {
    return ini::listSections(content_, include, exclude);
}

Status ControlStateStore::writeText(std::string_view key, std::string_view text) {
    return apply({{false, section_, std::string(key), encodeText(text)}});
}

Status ControlStateStore::writeNumber(std::string_view key, double number) {
    return apply({{false, section_, std::string(key), formatNumber(number)}});
}

Status ControlStateStore::writeBool(std::string_view key, bool flag) {
    return apply({{false, section_, std::string(key), std::string(flag ? kTrue : kFalse)}});
}

std::string ControlStateStore::readText(std::string_view key, std::string_view fallback) const {
    const auto raw = ini::readRaw(content_, section_, key);
    if (!raw || raw->empty()) return std::string(fallback);
    return replaceAll(*raw, kLineBreakMarker, "\r\n");
}

double ControlStateStore::readNumber(std::string_view key, double fallback) const {
    const auto raw = ini::readRaw(content_, section_, key);
    if (!raw || raw->empty()) return fallback;
    return parseNumber(*raw);
}

bool ControlStateStore::readBool(std::string_view key, bool fallback) const {
    const auto raw = ini::readRaw(content_, section_, key);
    if (!raw || raw->empty()) return fallback;
    return *raw == kTrue;
}

Status ControlStateStore::deleteEntry(std::string_view sectionName, std::string_view key) {
    return apply({{true, std::string(sectionName), std::string(key), {}}});
}

Status ControlStateStore::applyOne(std::string& content, const Request& request) {
    if (request.remove) {
        (void)ini::deleteRaw(content, request.section, request.key);  // a missing one is gone too
        return {};
    }
    switch (ini::writeRaw(content, request.section, request.key, request.value)) {
        case ini::WriteResult::Written:
            return {};
        case ini::WriteResult::SectionNotFound:
            return Status::failed("配置模块出现意外，可能导致无法正常保存！详情请咨询蓝棠。",
                                  kSectionLost);
        case ini::WriteResult::KeyNotWritable:
            break;
    }
    return Status::failed("含有换行、“=”或“]”的名称无法保存：[" + request.section + "] " +
                          request.key);
}

Status ControlStateStore::apply(const Changes& changes, OnFailure onFailure) {
    std::string next = content_;
    Changes effective;
    for (const Request& request : changes) {
        const std::string before = next;
        if (Status applied = applyOne(next, request); !applied) return applied;
        // Only what this program changes goes to the file, so that a value it
        // merely writes back as it read it never undoes another program's change.
        if (next != before) effective.push_back(request);
    }
    if (effective.empty() && unsaved_.empty()) return {};
    const std::size_t keptBefore = unsaved_.size();
    content_ = std::move(next);
    unsaved_.insert(unsaved_.end(), effective.begin(), effective.end());
    Status saved = persist();
    if (!saved && onFailure == OnFailure::Drop) {
        unsaved_.resize(keptBefore);
        content_ = disk_;
        for (const Request& request : unsaved_)
            (void)applyOne(content_, request);  // each applied once already
    }
    return saved;
}

Status ControlStateStore::persist() {
    if (path_.empty()) return Status::failed("没有绑定设置文件");
    const std::filesystem::path target = resolved(nativePath(path_));
    Result<platform::FileLock> lock = platform::FileLock::acquire(target);
    if (!lock) return lock.status();
    // Another program (or an editor) changed the file since we last read it:
    // this program's changes go onto its content, key by key.
    if (!stamp_ || lock->stamp() != *stamp_) {
        Result<platform::FileContent> fresh = lock->read();
        if (!fresh) return fresh.status();
        disk_ = std::move(fresh->bytes);
        stamp_ = fresh->stamp;
    }
    std::string next = disk_;
    for (const Request& request : unsaved_)
        if (Status applied = applyOne(next, request); !applied) return applied;
    content_ = next;
    if (next == disk_) {
        unsaved_.clear();
        return {};
    }
    Result<platform::FileStamp> written = platform::replaceFile(target, next);
    if (!written) return written.status();
    disk_ = std::move(next);
    stamp_ = *written;
    unsaved_.clear();
    return {};
}

}  // namespace lianshuo
