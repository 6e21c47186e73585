#include "jobs/batchjob.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>

#include "app/base/helpers.h"
#include "app/base/messages.h"
#include "app/base/paths.h"
#include "app/base/platform.h"
#include "jobs/interval.h"
#include "services/encoding.h"
#include "services/shorturlconverter.h"

namespace lianshuo {
namespace {

// The results file of one batch, created new: it never replaces the file of
// an earlier batch started in the same second.
class ResultsFile {
public:
    explicit ResultsFile(const std::string& path) {
        for (int attempt = 0; attempt < 100 && !file_.isOpen(); ++attempt) {
            path_ = unusedFilePath(path);
            Result<platform::File> created = platform::createNewFile(nativePath(path_));
            if (created) file_ = std::move(*created);
            if (!created && created.code() != EEXIST) break;
        }
    }
    ResultsFile(const ResultsFile&) = delete;
    ResultsFile& operator=(const ResultsFile&) = delete;

    bool isOpen() const { return file_.isOpen(); }
    const std::string& path() const { return path_; }

    void writeLine(const std::string& text) {
        if (!file_.isOpen()) return;
        // One write per line: a batch cut short keeps every line written so far.
        if (!file_.write(text + "\r\n")) file_.close();
    }

private:
    std::string path_;
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

std::string BatchJob::idleCaption() { return "生成短网址"; }

void BatchJob::generateClicked() {
    if (view_.generateCaption() == idleCaption() && !running_) {
        run();
        return;
    }
    view_.setGenerateCaption("正在停止..");
    requestStop();
}

void BatchJob::requestStop() { stopFlag_ = true; }

void BatchJob::run() {
    running_ = true;
    stopFlag_ = false;
    succeeded_ = failed_ = 0;
    const int rows = view_.rowCount();
    view_.setPasteCopyEnabled(false);
    const std::string label = converter_.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);

    std::unique_ptr<ResultsFile> file;
    if (view_.autoSave()) {
        const std::string path = resultsFilePath(view_.saveFolder(), label);
        createDirectoryPath(path);
        file = std::make_unique<ResultsFile>(path);
        view_.setResultFilePath(file->isOpen() ? file->path() : path);
    }

    std::mt19937 random(static_cast<unsigned>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    for (int i = 1; i <= rows && i <= view_.rowCount(); ++i) {
        const int row = i - 1;
        view_.setGenerateCaption("停止生成(" + std::to_string(rows) + ":" + std::to_string(i) + ")");
        view_.setRow(row, "正在转换..", ResultRowState::Converting);
        const std::string result = converter_.convertUrl(view_.longUrl(row), ShortUrlConverter::kConvert);
        const bool ok = isSuccessfulResult(result);
        view_.setRow(row, result, ok ? ResultRowState::Done : ResultRowState::Error);
        if (ok) {
            ++succeeded_;
            if (file) file->writeLine(result);
        } else {
            ++failed_;
        }
        processPendingMessagesNow();
        if (stopFlag_) break;
        waitInterruptibly(pauseMilliseconds(view_.intervalText(), random), stopFlag_);
        if (stopFlag_) break;
    }
    file.reset();
    view_.setPasteCopyEnabled(true);
    view_.setGenerateCaption(idleCaption());
    running_ = false;
}

}  // namespace lianshuo
