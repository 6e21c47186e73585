#include "jobs/batchjob.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "base/helpers.h"
#include "base/paths.h"
#include "base/platform.h"
#include "jobs/conversionqueue.h"
#include "jobs/interval.h"
#include "services/addedquery.h"
#include "services/shorturlconverter.h"

namespace lianshuo {

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
        (void)file_.close();  // the first failure is the one reported
    }

    std::string path_;
    std::string error_;
    platform::File file_;
};

namespace {

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

BatchJob::BatchJob(BatchView& view, ShortUrlConverter& converter, JobLoop* loop)
    : view_(view),
      run_(converter, loop),
      random_(static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count())) {}

BatchJob::~BatchJob() = default;

std::string BatchJob::idleCaption() {
    return "生成短网址";
}

void BatchJob::generateClicked() {
    if (run_.state() == RunState::Idle) {
        start();
        run_.wait();
        return;
    }
    view_.setGenerateCaption("正在停止..");
    requestStop();
}

void BatchJob::requestStop() {
    run_.stop();
}

void BatchJob::finishUnderWay() {
    run_.finishUnderWay();
}

void BatchJob::start() {
    summary_ = {};
    rows_ = view_.rowCount();
    view_.setPasteCopyEnabled(false);
    const std::string label = run_.begin(view_.parallelRequests(), view_.shortAddressRules());

    file_.reset();
    if (view_.autoSave() && view_.saveFolder().empty()) {
        summary_.resultsFileError = "没有设置保存目录，结果文件没有写入";
    } else if (view_.autoSave()) {
        const std::string path = resultsFilePath(view_.saveFolder(), label);
        if (const Status folder = createDirectoryPath(path); !folder) {
            summary_.resultsFileError = "无法创建结果文件 " + path + "：" + folder.reason();
        } else {
            file_ = std::make_unique<ResultsFile>(path);
            if (file_->isOpen()) view_.setResultFilePath(file_->path());
        }
    }

    caught_.clear();
    view_.batchProgress(0, rows_);
    ConversionQueue::Events events;
    events.converting = [this](int row) {
        view_.setGenerateCaption("停止生成(" + std::to_string(rows_) + ":" +
                                 std::to_string(row + 1) + ")");
        view_.setRow(row, "正在转换..", ResultRowState::Converting);
    };
    events.finished = [this](int row, const ConversionOutcome& outcome) {
        rowFinished(row, outcome);
    };
    events.pauseMs = [this] { return pauseMilliseconds(view_.intervalText(), random_); };
    events.done = [this] { finish(); };
    if (AddressSource source = view_.addressSource()) {
        run_.queue().convert(std::move(source), std::move(events), waitAfterLastRow_);
        return;
    }
    std::vector<std::string> addresses;
    addresses.reserve(static_cast<std::size_t>(rows_));
    const std::string added = view_.addedQuery();
    for (int row = 0; row < rows_; ++row) {
        std::string address = view_.longUrl(row);
        // The row shows what is sent, looked up and kept in the history.
        if (std::string sent = withAddedQuery(address, added); sent != address) {
            view_.setSentAddress(row, sent);
            address = std::move(sent);
        }
        addresses.push_back(std::move(address));
    }
    run_.queue().convert(std::move(addresses), std::move(events), waitAfterLastRow_);
}

void BatchJob::rowFinished(int row, const ConversionOutcome& outcome) {
    // A stop aborted this row's request: it is neither done nor failed, just not converted.
    if (outcome.failure == FailureKind::Stopped) {
        caught_.push_back(row);
        return;
    }
    // A finished row after caught ones: they are shown as stopped, so no row before it is a gap.
    for (const int earlier : caught_) view_.showStopped(earlier);
    caught_.clear();
    // The file first: a view that cannot print (a closed pipe) must not cost
    // a short address the service has already made.
    if (outcome.ok()) {
        ++summary_.succeeded;
        if (file_) file_->writeLine(outcome.shortUrl);
    } else {
        ++summary_.failed;
    }
    view_.showOutcome(row, outcome);
    view_.batchProgress(summary_.succeeded + summary_.failed, rows_);
}

void BatchJob::finish() {
    for (const int row : caught_) view_.setRow(row, "等待转换", ResultRowState::Waiting);
    caught_.clear();
    if (file_) {
        file_->close();
        summary_.resultsFileError = file_->error();
        if (summary_.resultsFileError.empty()) summary_.resultsFile = file_->path();
        file_.reset();
    }
    summary_.stopped = run_.stopped();
    view_.setPasteCopyEnabled(true);
    view_.setGenerateCaption(idleCaption());
    run_.end();
    view_.batchFinished(summary_);
}

std::string summaryLine(const BatchSummary& summary) {
    return "完成 " + std::to_string(summary.succeeded) + " 个，失败 " +
           std::to_string(summary.failed) + " 个";
}

}  // namespace lianshuo
