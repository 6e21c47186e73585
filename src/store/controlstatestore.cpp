#include "store/controlstatestore.h"

#include <charconv>
#include <cstdio>
#include <iostream>

#include "app/base/charset.h"
#include "app/base/gbk.h"
#include "app/base/messages.h"
#include "store/inicontent.h"

namespace lianshuo {
namespace {

// Line breaks inside a text value are stored as this marker, keeping one entry per line.
constexpr std::string_view kLineBreakMarker = "┊*┊";
constexpr std::string_view kTrue = "真";
constexpr std::string_view kFalse = "假";

constexpr int kWritten = 0;
constexpr int kQueued = 3;
constexpr int kWriteFailed = -1;

ControlStateStore::WarningHandler& warningHandler() {
    static ControlStateStore::WarningHandler handler = [](std::string_view title,
                                                          std::string_view text) {
        std::cerr << toUtf8(title) << ' ' << toUtf8(text) << '\n';
    };
    return handler;
}

}  // namespace

void ControlStateStore::setWarningHandler(WarningHandler handler) {
    warningHandler() = std::move(handler);
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

bool ControlStateStore::bindFile(std::string_view path) {
    file_.close();
    content_.clear();
    path_ = path;
    return file_.open(toUtf8(path), content_) == LockedFile::OpenResult::Opened;
}

std::vector<std::string> ControlStateStore::listSections(std::string_view include,
                                                         std::string_view exclude) const {
    return ini::listSections(content_, include, exclude);
}

bool ControlStateStore::writeText(std::string_view key, std::string_view text) {
    return submit({false, section_, std::string(key), replaceAll(text, "\r\n", kLineBreakMarker)}) ==
           kWritten;
}

bool ControlStateStore::writeNumber(std::string_view key, double number) {
    return submit({false, section_, std::string(key), formatNumber(number)}) == kWritten;
}

bool ControlStateStore::writeBool(std::string_view key, bool flag) {
    return submit({false, section_, std::string(key), std::string(flag ? kTrue : kFalse)}) ==
           kWritten;
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
    const int code = submit({true, std::string(sectionName), std::string(key), {}});
    return code == kWriteFailed ? kWritten : code;
}

int ControlStateStore::submit(Request request) {
    pending_.push_back(std::move(request));
    // A write made from inside the message processing of a running write waits
    // its turn; the running work-off applies it in order.
    if (busy_) return kQueued;
    busy_ = true;
    const int result = apply(pending_.front());
    pending_.pop_front();
    processPendingMessages();
    while (!pending_.empty()) {
        const Request next = std::move(pending_.front());
        pending_.pop_front();
        apply(next);
        processPendingMessages();
    }
    busy_ = false;
    return result;
}

int ControlStateStore::apply(const Request& request) {
    std::string changed = content_;
    int code = kWritten;
    if (request.remove) {
        code = ini::deleteRaw(changed, request.section, request.key);
        if (code != kWritten) return code;
    } else {
        const auto result = ini::writeRaw(changed, request.section, request.key, request.value);
        if (result == ini::WriteResult::SectionNotFound) {
            warningHandler()("蓝棠：", "配置模块出现意外，可能导致无法正常保存！详情请咨询蓝棠。");
            warningHandler()("蓝棠：", changed);
        }
        if (result != ini::WriteResult::Written) return kWriteFailed;
    }
    content_ = std::move(changed);
    // The memory copy keeps the change even when the disk refused it.
    return file_.save(content_) ? code : kWriteFailed;
}

}  // namespace lianshuo
