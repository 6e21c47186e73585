#include "jobs/batchjob.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <unordered_map>
#include <utility>

#include "app/base/helpers.h"
#include "app/base/messages.h"
#include "app/base/paths.h"
#include "app/base/platform.h"
#include "jobs/interval.h"
#include "services/shorturlconverter.h"

namespace lianshuo {
namespace {

// The results file of one batch, created new: it never replaces the file of
// an earlier batch started in the same second. The first failure is kept
// with its reason; nothing more is written after it.
class ResultsFile {
public:
    explicit ResultsFile(const std::string& path) {
        Result<platform::File> created = Failure{};
        for (int attempt = 0; attempt < 100 && !created; ++attempt) {
            path_ = unusedFilePath(path);
            created = platform::createNewFile(nativePath(path_));
            if (!created && created.code() != EEXIST) break;
        }
        if (created)
            file_ = std::move(*created);
        else
            error_ = "无法创建结果文件 " + path_ + "：" + created.reason();
    }
    ~ResultsFile() { close(); }
    ResultsFile(const ResultsFile&) = delete;
    ResultsFile& operator=(const ResultsFile&) = delete;

    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    bool isOpen() const { return file_.isOpen(); }

    void writeLine(const std::string& text) {
        if (!file_.isOpen()) return;
        // One write per line: a batch cut short keeps every line written so far.
        if (const Status written = file_.write(text + "\r\n"); !written) fail(written.reason());
    }

    void close() {
        if (!file_.isOpen()) return;
        if (const Status closed = file_.close(); !closed) fail(closed.reason());
    }

private:
    void fail(const std::string& reason) {
        if (error_.empty()) error_ = "无法写入结果文件 " + path_ + "：" + reason;
        file_.close();
    }

    std::string path_;
    std::string error_;
    platform::File file_;
};

std::string resultsFilePath(const std::string& folder, const std::string& label) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    return path + label + "_" + formatDateTime(0, "-") + ".txt";
}

}  // namespace

std::string unusedFilePath(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(nativePath(path), ec)) return path;
    const bool hasTxt = path.size() >= 4 && path.compare(path.size() - 4, 4, ".txt") == 0;
    const std::string stem = hasTxt ? path.substr(0, path.size() - 4) : path;
    const std::string extension = hasTxt ? ".txt" : "";
    for (int n = 2;; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ")" + extension;
        if (!std::filesystem::exists(nativePath(candidate), ec)) return candidate;
    }
}

std::string BatchJob::idleCaption() {
    return "生成短网址";
}

void BatchJob::generateClicked() {
    if (view_.generateCaption() == idleCaption() && !running_) {
        run();
        return;
    }
    view_.setGenerateCaption("正在停止..");
    requestStop();
}

void BatchJob::requestStop() {
    stopFlag_ = true;
}

void BatchJob::run() {
    running_ = true;
    stopFlag_ = false;
    summary_ = {};
    const int rows = view_.rowCount();
    view_.setPasteCopyEnabled(false);
    const std::string label = converter_.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    converter_.setStopFlag(&stopFlag_);

    std::unique_ptr<ResultsFile> file;
    if (view_.autoSave() && view_.saveFolder().empty()) {
        summary_.resultsFileError = "没有设置保存目录，结果文件没有写入";
    } else if (view_.autoSave()) {
        const std::string path = resultsFilePath(view_.saveFolder(), label);
        createDirectoryPath(path);
        file = std::make_unique<ResultsFile>(path);
        if (file->isOpen()) view_.setResultFilePath(file->path());
    }

    // Each distinct address is converted once per run; its repeats share the outcome.
    std::unordered_map<std::string, ConversionOutcome> outcomes;
    std::mt19937 random(
        static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
    for (int i = 1; i <= rows && i <= view_.rowCount(); ++i) {
        const int row = i - 1;
        view_.setGenerateCaption("停止生成(" + std::to_string(rows) + ":" + std::to_string(i) +
                                 ")");
        view_.setRow(row, "正在转换..", ResultRowState::Converting);
        const std::string longUrl = view_.longUrl(row);
        const auto known = outcomes.find(longUrl);
        const bool reused = known != outcomes.end();
        const ConversionOutcome outcome = reused ? known->second : converter_.convert(longUrl);
        // A stop aborted this row's request: it is neither done nor failed, just not converted.
        if (outcome.failure == FailureKind::Stopped) {
            view_.setRow(row, "等待转换", ResultRowState::Waiting);
            break;
        }
        // The file first: a view that cannot print (a closed pipe) must not cost
        // a short address the service has already made.
        if (!reused) outcomes.emplace(longUrl, outcome);
        if (outcome.ok()) {
            ++summary_.succeeded;
            if (file) file->writeLine(outcome.shortUrl);
        } else {
            ++summary_.failed;
        }
        view_.showOutcome(row, outcome);
        processPendingMessagesNow();
        if (stopFlag_ || (i == rows && !waitAfterLastRow_)) break;
        // A repeat, or an address the history answered, asked no service: there is nothing to pace.
        if (reused || outcome.fromHistory) continue;
        waitInterruptibly(pauseMilliseconds(view_.intervalText(), random), stopFlag_);
        if (stopFlag_) break;
    }
    converter_.setStopFlag(nullptr);
    if (file) {
        file->close();
        summary_.resultsFileError = file->error();
        if (summary_.resultsFileError.empty()) summary_.resultsFile = file->path();
    }
    summary_.stopped = stopFlag_;
    view_.setPasteCopyEnabled(true);
    view_.setGenerateCaption(idleCaption());
    running_ = false;
    view_.batchFinished(summary_);
}

std::string summaryLine(const BatchSummary& summary) {
    return "完成 " + std::to_string(summary.succeeded) + " 个，失败 " +
           std::to_string(summary.failed) + " 个";
}

}  // namespace lianshuo
