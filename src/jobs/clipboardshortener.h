#pragma once
// The clipboard's conversions: a copied long address goes through the
// window's converter (its service, history and retries) as a run of one on
// the job loop, and its short address takes its place on the clipboard.
// Copies made meanwhile wait their turn.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jobs/clipboardwatch.h"
#include "jobs/conversionqueue.h"
#include "services/conversionoutcome.h"

namespace lianshuo {

class Clipboard;

class ClipboardShortener {
public:
    /// Tells the user what became of a conversion (GBK): "已缩短：SHORT" or why it failed.
    using Notify = std::function<void(const std::string& message)>;

    /// `othersRunning` tells whether a batch or a file run is under way: then
    /// the clipboard converts with its snapshot of the panel, which it leaves as it is.
    ClipboardShortener(ShortUrlConverter& converter, JobLoop& loop, Clipboard& clipboard,
                       std::vector<std::string> shortHosts, Notify notify,
                       std::function<bool()> othersRunning);
    /// Stops a conversion under way and waits for its slot.
    ~ClipboardShortener();
    ClipboardShortener(const ClipboardShortener&) = delete;
    ClipboardShortener& operator=(const ClipboardShortener&) = delete;

    /// The clipboard changed: its address is converted in its turn; any other text is left alone.
    void clipboardChanged();
    /// Converts the clipboard's address now (in its turn), saying why not when it is none.
    void shortenClipboard();

    /// The program put `text` (GBK) on the clipboard itself: a copy of it is not converted.
    void ownCopy(const std::string& text) { watch_.ownCopy(text); }

    /// Whether a conversion is under way.
    bool busy() const { return watch_.converting(); }

private:
    std::optional<std::string> clipboardText();
    void startNext();
    void deliver(const std::string& address, const ConversionOutcome& outcome);

    Clipboard& clipboard_;
    ClipboardWatch watch_;
    Notify notify_;
    std::optional<ConversionOutcome> outcome_;  // of the conversion under way, once it came
    std::shared_ptr<char> alive_ = std::make_shared<char>();  // a step posted to a gone job drops
    std::function<bool()> othersRunning_;
    ShortUrlConverter& converter_;
    JobLoop& loop_;
    // Last, so its slot has stopped before the rest goes.
    ConversionQueue queue_;
};

/// The notification of a successful conversion.
std::string shortenedNotice(const std::string& shortUrl);
/// The notification of a failed one.
std::string failedNotice(const std::string& reason);

}  // namespace lianshuo
