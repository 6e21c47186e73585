#include "store/controlstatestore.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <set>
#include <system_error>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/messages.h"
#include "base/paths.h"
#include "store/inicontent.h"

namespace lianshuo {
namespace {

// Line breaks inside a text value are stored as this marker, keeping one entry per line.
constexpr std::string_view kLineBreakMarker = "┊*┊";
constexpr std::string_view kTrue = "真";
constexpr std::string_view kFalse = "假";
constexpr std::string_view kWarningTitle = "蓝棠：";
// The failure code of a section that cannot be found right after adding its header.
constexpr int kSectionLost = -1;
// The keys whose values are secrets: an interface's token and the Baidu token.
constexpr std::string_view kSecretKeys[] = {"令牌", "百度Token"};

ControlStateStore::WarningHandler& warningHandler() {
    static ControlStateStore::WarningHandler handler = [](std::string_view title,
                                                          std::string_view text) {
        std::cerr << toUtf8(title) << ' ' << toUtf8(text) << '\n';
    };
    return handler;
}

void warn(std::string_view text) {
    // A copy: the handler's message box may run code that installs another one.
    const ControlStateStore::WarningHandler handler = warningHandler();
    if (handler) handler(kWarningTitle, text);
}

// Saving replaces the file a symbolic link points to, not the link.
std::filesystem::path resolved(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(path, ec);
    return ec ? path : real;
}

}  // namespace

void ControlStateStore::warnIfOthersCanRead() const {
    static std::mutex mutex;
    static std::set<std::string> warned;
    if (path_.empty()) return;
    const bool secret =
        std::any_of(std::begin(kSecretKeys), std::end(kSecretKeys),
                    [this](std::string_view key) { return ini::holdsValue(disk_, key); });
    if (!secret || !platform::readableByOthers(resolved(nativePath(path_)))) return;
    {
        const std::lock_guard<std::mutex> guard(mutex);
        if (!warned.insert(path_).second) return;
    }
    warn("配置文件里有令牌，但其他用户也能读取这个文件，请把它改为只有自己能读写：" + path_);
}

ControlStateStore::WarningHandler ControlStateStore::setWarningHandler(WarningHandler handler) {
    return std::exchange(warningHandler(), std::move(handler));
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
    return store_.submitNow({std::exchange(changes_, {}), onFailure});
}

Result<std::string> ControlStateStore::Batch::render() const {
    std::string content;
    for (const Request& request : changes_) {
        int code = kRemoved;
        if (Status applied = applyOne(content, request, code); !applied) return applied;
    }
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
    // The walk processes window messages, and a handler may write: it walks a
    // copy, never the content that a write replaces.
    const std::string snapshot = content_;
    return ini::listSections(snapshot, include, exclude);
}

bool ControlStateStore::writeText(std::string_view key, std::string_view text) {
    return submit({Changes{{false, section_, std::string(key), encodeText(text)}}}).code ==
           kRemoved;
}

bool ControlStateStore::writeNumber(std::string_view key, double number) {
    return submit({Changes{{false, section_, std::string(key), formatNumber(number)}}}).code ==
           kRemoved;
}

bool ControlStateStore::writeBool(std::string_view key, bool flag) {
    return submit(
               {Changes{{false, section_, std::string(key), std::string(flag ? kTrue : kFalse)}}})
               .code == kRemoved;
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

int ControlStateStore::deleteEntry(std::string_view sectionName, std::string_view key) {
    return submit({Changes{{true, std::string(sectionName), std::string(key), {}}}}).code;
}

ControlStateStore::Outcome ControlStateStore::submit(Submission submission) {
    pending_.push_back(std::move(submission));
    // A write made from inside the message processing of a running write waits
    // its turn; the running work-off applies it in order.
    if (busy_) return {kQueued, {}};
    busy_ = true;
    const Outcome result = applyNext();
    processPendingMessages();
    while (!pending_.empty()) {
        applyNext();
        processPendingMessages();
    }
    busy_ = false;
    return result;
}

Status ControlStateStore::submitNow(Submission submission) {
    if (!busy_) return submit(std::move(submission)).status;
    // Committed from inside the message processing of a running write: what
    // waits goes first, in order, and the caller still learns its own outcome.
    pending_.push_back(std::move(submission));
    Outcome last;
    while (!pending_.empty()) last = applyNext();
    return last.status;
}

ControlStateStore::Outcome ControlStateStore::applyNext() {
    // Taken off the queue first: applying may show a message box whose
    // message processing queues more.
    const Submission next = std::move(pending_.front());
    pending_.pop_front();
    return apply(next);
}

Status ControlStateStore::applyOne(std::string& content, const Request& request, int& code) {
    if (request.remove) {
        code = ini::deleteRaw(content, request.section, request.key);
        return {};
    }
    switch (ini::writeRaw(content, request.section, request.key, request.value)) {
        case ini::WriteResult::Written:
            return {};
        case ini::WriteResult::SectionNotFound:
            return Status::failed("[" + request.section + "] cannot be found after adding it",
                                  kSectionLost);
        case ini::WriteResult::KeyNotWritable:
            break;
    }
    return Status::failed("a name holding a line break, \"=\" or \"]\" cannot be stored: [" +
                          request.section + "] " + request.key);
}

ControlStateStore::Outcome ControlStateStore::apply(const Submission& submission) {
    const Changes& changes = submission.changes;
    std::string next = content_;
    Changes effective;
    int code = kRemoved;
    for (const Request& request : changes) {
        const std::string before = next;
        if (const Status applied = applyOne(next, request, code); !applied) {
            if (applied.code() == kSectionLost) {
                warn("配置模块出现意外，可能导致无法正常保存！详情请咨询蓝棠。");
                warn(next);
            } else {
                warn(applied.reason());
            }
            return {kNotSaved, Status::failed(applied.reason())};
        }
        // Only what this program changes goes to the file, so that a value it
        // merely writes back as it read it never undoes another program's change.
        if (next != before) effective.push_back(request);
    }
    if (effective.empty() && unsaved_.empty()) return {code, {}};
    const std::size_t keptBefore = unsaved_.size();
    content_ = std::move(next);
    unsaved_.insert(unsaved_.end(), effective.begin(), effective.end());
    Status saved = persist();
    if (!saved) {
        if (submission.onFailure == OnFailure::Drop) {
            unsaved_.resize(keptBefore);
            content_ = disk_;
            for (const Request& request : unsaved_) {
                int ignored = kRemoved;
                (void)applyOne(content_, request, ignored);  // each applied once already
            }
        }
        warn("无法保存配置文件：" + path_ + "\r\n" + saved.reason());
        return {kNotSaved, std::move(saved)};
    }
    // An existing file keeps its mode, which may let others read a token just saved.
    warnIfOthersCanRead();
    return {code, {}};
}

Status ControlStateStore::persist() {
    if (path_.empty()) return Status::failed("no settings file is bound");
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
    for (const Request& request : unsaved_) {
        int code = kRemoved;
        if (Status applied = applyOne(next, request, code); !applied) return applied;
    }
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
