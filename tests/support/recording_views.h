#pragma once
// The batch's and the file converter's views as the job tests see them: each
// records what its job shows, and reads its inputs from plain fields.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jobs/batchjob.h"
#include "jobs/fileconverter.h"

namespace lianshuo::test {

struct BatchRow {
    std::string text;
    ResultRowState state = ResultRowState::Waiting;
    std::string longUrl;
};

/// The main window's results list and start button, recorded.
struct RecordingBatchView : BatchView {
    std::vector<BatchRow> rows;
    std::vector<std::string> reasons;  // per row, empty while it has none
    int fromHistory = 0;               // outcomes the history gave
    std::string caption = BatchJob::idleCaption();
    std::vector<std::string> captions;
    std::string interval = "0";
    bool save = false;
    std::string folder;
    std::string resultFile;
    bool pasteEnabled = true;
    std::optional<BatchSummary> summary;
    std::string added;  // "追加参数"

    void add(const std::string& url) { rows.push_back({"等待转换", ResultRowState::Waiting, url}); }
    void add(const std::vector<std::string>& urls) {
        for (const std::string& url : urls) add(url);
    }
    /// What each row shows.
    std::vector<std::string> texts() const {
        std::vector<std::string> shown;
        for (const BatchRow& row : rows) shown.push_back(row.text);
        return shown;
    }

    int rowCount() const override { return static_cast<int>(rows.size()); }
    std::string longUrl(int row) const override {
        return rows[static_cast<std::size_t>(row)].longUrl;
    }
    void setRow(int row, std::string_view text, ResultRowState state) override {
        rows[static_cast<std::size_t>(row)].text = text;
        rows[static_cast<std::size_t>(row)].state = state;
    }
    void showOutcome(int row, const ConversionOutcome& outcome) override {
        BatchView::showOutcome(row, outcome);
        reasons.resize(rows.size());
        reasons[static_cast<std::size_t>(row)] = outcome.reason();
        fromHistory += outcome.fromHistory ? 1 : 0;
    }
    void batchFinished(const BatchSummary& s) override { summary = s; }
    std::string addedQuery() const override { return added; }
    void setSentAddress(int row, std::string_view address) override {
        rows[static_cast<std::size_t>(row)].longUrl = address;
    }
    void setGenerateCaption(std::string_view c) override {
        caption = c;
        captions.emplace_back(c);
    }
    void setPasteCopyEnabled(bool enabled) override { pasteEnabled = enabled; }
    std::string intervalText() const override { return interval; }
    bool autoSave() const override { return save; }
    std::string saveFolder() const override { return folder; }
    void setResultFilePath(std::string_view path) override { resultFile = path; }
};

/// The file converter's window, recorded: the addresses of the file under
/// way, which of them converted or failed, and the files that failed.
struct RecordingFileView : FileConverterView {
    FileConverterSettings input;
    std::string caption = FileConverterEngine::idleCaption();
    std::vector<std::string> messages, progress, rows, converted, failedUrls, reasons, failedFiles;
    int fromHistory = 0;
    mutable int pausesAsked = 0;  // one per pause taken between two conversions
    FileRunSummary summary;
    std::function<void(const std::string&)> onProgress;
    std::function<void()> onConverted;

    std::string added;  // "追加参数"
    FileConverterSettings settings() const override { return input; }
    std::string addedQuery() const override { return added; }
    void setStartCaption(std::string_view c) override { caption = c; }
    std::string intervalText() const override {
        ++pausesAsked;
        return "0";
    }
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void setProgress(int, int, std::string_view c) override {
        progress.emplace_back(c);
        if (onProgress) onProgress(std::string(c));
    }
    void clearRows() override { rows.clear(); }
    void addRow(std::string_view, std::string_view url, ResultRowState) override {
        rows.emplace_back(url);
    }
    void showOutcome(int row, const ConversionOutcome& outcome) override {
        (outcome.ok() ? converted : failedUrls).push_back(rows[static_cast<std::size_t>(row)]);
        if (!outcome.ok()) reasons.push_back(outcome.reason());
        fromHistory += outcome.fromHistory ? 1 : 0;
        if (outcome.ok() && onConverted) onConverted();
    }
    void fileFailed(std::string_view name, std::string_view reason) override {
        failedFiles.push_back(std::string(name) + ": " + std::string(reason));
    }
    void finished(const FileRunSummary& s) override { summary = s; }
};

}  // namespace lianshuo::test
