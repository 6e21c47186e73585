#pragma once
// The batch: every long address of the results list converted one after the
// other, with a randomised pause between two, optionally written to a
// results file. It runs inside the start click; a second click, handled
// while the batch keeps the window alive, only asks it to stop.

#include <atomic>
#include <string>
#include <string_view>

#include "jobs/resultrow.h"

namespace lianshuo {

class ShortUrlConverter;

/// What the batch reads and changes in the window (or the command line).
class BatchView {
public:
    virtual ~BatchView() = default;
    virtual int rowCount() const = 0;
    virtual std::string longUrl(int row) const = 0;
    /// Shows `text` and `state` in the row (and brings a converting row into view).
    virtual void setRow(int row, std::string_view text, ResultRowState state) = 0;
    virtual std::string generateCaption() const = 0;
    virtual void setGenerateCaption(std::string_view caption) = 0;
    virtual void setPasteCopyEnabled(bool enabled) = 0;
    virtual std::string intervalText() const = 0;
    virtual bool autoSave() const = 0;
    virtual std::string saveFolder() const = 0;
    /// Remembers the results file of this batch (the folder button opens it).
    virtual void setResultFilePath(std::string_view path) = 0;
};

class BatchJob {
public:
    BatchJob(BatchView& view, ShortUrlConverter& converter) : view_(view), converter_(converter) {}

    /// The start button: starts a batch when its caption is "生成短网址", else asks it to stop.
    void generateClicked();

    /// Asks a running batch to stop after the current conversion or at once during a pause.
    void requestStop();

    bool running() const { return running_; }
    int succeeded() const { return succeeded_; }
    int failed() const { return failed_; }

    /// The idle caption of the start button.
    static std::string idleCaption();

private:
    void run();

    BatchView& view_;
    ShortUrlConverter& converter_;
    std::atomic<bool> stopFlag_{false};
    bool running_ = false;
    int succeeded_ = 0;
    int failed_ = 0;
};

/// A results file path that names no existing file: " (2)", " (3)", ... go
/// before ".txt" when `path` is taken.
std::string unusedFilePath(const std::string& path);

}  // namespace lianshuo
