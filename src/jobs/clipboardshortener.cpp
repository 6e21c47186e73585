#include "jobs/clipboardshortener.h"

#include <memory>
#include <utility>

#include "base/charset.h"
#include "jobs/clipboard.h"
#include "services/shorturlconverter.h"

namespace lianshuo {

std::string shortenedNotice(const std::string& shortUrl) {
    return "已缩短：" + shortUrl;
}

std::string failedNotice(const std::string& reason) {
    return "缩短失败：" + reason;
}

ClipboardShortener::ClipboardShortener(ShortUrlConverter& converter, JobLoop& loop,
                                       Clipboard& clipboard, std::vector<std::string> shortHosts,
                                       Notify notify, std::function<bool()> othersRunning)
    : clipboard_(clipboard),
      watch_(std::move(shortHosts)),
      notify_(std::move(notify)),
      othersRunning_(std::move(othersRunning)),
      converter_(converter),
      loop_(loop),
      queue_(loop, converter) {}

ClipboardShortener::~ClipboardShortener() = default;

std::optional<std::string> ClipboardShortener::clipboardText() {
    // No address is this long: a page of text copied is not converted to the
    // internal charset at every copy only to be refused.
    constexpr std::size_t kLongestCopy = 64 * 1024;
    std::optional<std::string> text = clipboard_.text();
    if (text) text = text->size() > kLongestCopy ? std::string() : fromUtf8(*text);
    return text;
}

void ClipboardShortener::clipboardChanged() {
    const std::optional<std::string> text = clipboardText();
    if (!text) return;
    if (watch_.offer(*text) == ClipboardWatch::Verdict::Convert) startNext();
}

void ClipboardShortener::shortenClipboard() {
    const std::optional<std::string> text = clipboardText();
    if (!text) {
        notify_(failedNotice("无法读取剪贴板"));
        return;
    }
    const ClipboardWatch::Verdict verdict = watch_.offer(*text);
    if (verdict != ClipboardWatch::Verdict::Convert) {
        notify_(failedNotice(ClipboardWatch::refusal(verdict)));
        return;
    }
    startNext();
}

void ClipboardShortener::startNext() {
    const std::optional<std::string> address = watch_.next();
    if (!address) return;
    // A run of one on a slot of its own. The chosen service and panel are
    // snapshot as a batch's start does, unless that would change a run under way.
    if (!othersRunning_ || !othersRunning_())
        converter_.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    queue_.beginRun(1);
    outcome_.reset();
    ConversionQueue::Events events;
    events.converting = [](int) {};
    events.finished = [this](int, const ConversionOutcome& outcome) { outcome_ = outcome; };
    events.pauseMs = [] { return 0LL; };
    events.done = [this, address = *address] {
        // Delivered after the queue has left this step: the clipboard's own
        // signal may start the next run, whose list replaces this one.
        loop_.post(
            [this, alive = std::weak_ptr<char>(alive_), address,
             outcome = outcome_.value_or(ConversionOutcome::failed(FailureKind::Stopped, {}))] {
                if (alive.expired()) return;
                deliver(address, outcome);
                startNext();
            });
    };
    queue_.convert(std::vector<std::string>{*address}, std::move(events));
}

void ClipboardShortener::deliver(const std::string& address, const ConversionOutcome& outcome) {
    if (!outcome.ok()) {
        watch_.finished(std::nullopt);
        notify_(failedNotice(outcome.reason()));
        return;
    }
    watch_.finished(outcome.shortUrl);
    // Only the address itself is replaced: a text copied since stays where the user put it.
    const std::optional<std::string> now = clipboardText();
    if (now && trimmedCopy(*now) == address && !clipboard_.setText(toUtf8(outcome.shortUrl))) {
        notify_(failedNotice("无法写入剪贴板"));
        return;
    }
    notify_(shortenedNotice(outcome.shortUrl));
}

}  // namespace lianshuo
