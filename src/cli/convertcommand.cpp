#include <iostream>
#include <iterator>
#include <sstream>
#include <vector>

#include "app/base/charset.h"
#include "app/base/gbk.h"
#include "app/base/messages.h"
#include "app/base/paths.h"
#include "app/base/platform.h"
#include "cli/clipboard.h"
#include "cli/outcomejson.h"
#include "cli/progressline.h"
#include "cli/session.h"
#include "jobs/batchjob.h"
#include "jobs/pastedaddresses.h"
#include "services/encoding.h"
#include "services/servicerequest.h"

namespace lianshuo::cli {
namespace {

// Terminals and most files speak UTF-8; older files may still be GBK.
std::string fromInputText(const std::string& bytes) {
    return isValidUtf8(bytes) ? fromUtf8(bytes) : bytes;
}

class ConsoleBatchView : public BatchView {
public:
    ConsoleBatchView(Console& console, ProgressLine& progress, std::vector<std::string> rows,
                     std::string interval, bool autoSave, std::string folder, bool json)
        : console_(console),
          progress_(progress),
          rows_(std::move(rows)),
          interval_(std::move(interval)),
          autoSave_(autoSave),
          folder_(std::move(folder)),
          json_(json) {}

    int rowCount() const override { return static_cast<int>(rows_.size()); }
    std::string longUrl(int row) const override { return rows_[static_cast<std::size_t>(row)]; }
    void setRow(int row, std::string_view, ResultRowState state) override {
        if (state == ResultRowState::Converting)
            progress_.update(row, rowCount(), failed_, row == 0);
    }
    void showOutcome(int row, const ConversionOutcome& outcome) override {
        const std::string& longUrl = rows_[static_cast<std::size_t>(row)];
        if (outcome.ok()) shortUrls_.push_back(outcome.shortUrl);
        if (!outcome.ok()) {
            ++failed_;
            progress_.erase();
            console_.err << toUtf8("失败: " + longUrl + ": " + outcome.reason()) << '\n';
        }
        if (console_.outTerminal) progress_.erase();
        progress_.update(row + 1, rowCount(), failed_, row + 1 == rowCount());
        if (json_) {
            console_.out << outcomeJson(longUrl, outcome) << std::endl;
            return;
        }
        print(console_.out, outcome.ok() ? outcome.shortUrl : conversionErrorText());
        console_.out << '\t';
        print(console_.out, longUrl);
        console_.out << std::endl;
    }
    void batchFinished(const BatchSummary& summary) override { summary_ = summary; }
    std::string generateCaption() const override { return caption_; }
    void setGenerateCaption(std::string_view caption) override { caption_ = caption; }
    void setPasteCopyEnabled(bool) override {}
    std::string intervalText() const override { return interval_; }
    int parallelRequests() const override { return parallel_; }
    void setParallelRequests(int parallel) { parallel_ = parallel; }
    bool autoSave() const override { return autoSave_; }
    std::string saveFolder() const override { return folder_; }
    void setResultFilePath(std::string_view) override {}

    const BatchSummary& summary() const { return summary_; }
    const std::vector<std::string>& shortUrls() const { return shortUrls_; }

private:
    Console& console_;
    ProgressLine& progress_;
    int failed_ = 0;
    int parallel_ = 1;
    std::vector<std::string> shortUrls_;
    std::vector<std::string> rows_;
    std::string interval_;
    bool autoSave_;
    std::string folder_;
    bool json_;
    std::string caption_ = BatchJob::idleCaption();
    BatchSummary summary_;
};

}  // namespace

int runConvert(const Options& options, Console& console) {
    Session session;
    std::string error;
    if (!session.openSettings(options, false, error) || !session.resolveConversion(options, error))
        return fail(console, error);
    session.attachHistory(options, console);

    std::string text;
    if ((options.clipboard || options.copy) && clipboard() == nullptr)
        return fail(console,
                    "--clipboard and --copy need a desktop session, and no display was found");
    if (options.clipboard) {
        const std::optional<std::string> pasted = clipboard()->text();
        if (!pasted) return fail(console, "cannot read the clipboard");
        text = *pasted;
    } else if (options.input && *options.input != "-") {
        Result<platform::FileContent> file = platform::readWholeFile(nativePath(*options.input));
        if (!file)
            return fail(console, "cannot read the input file " + *options.input + ": " +
                                     file.status().reason());
        text = std::move(file->bytes);
    } else if (options.input || options.positional.empty()) {
        text.assign(std::istreambuf_iterator<char>(console.in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> addresses = pastedAddresses(fromInputText(text));
    for (const std::string& url : pastedAddresses(joinText(options.positional, "\n")))
        addresses.push_back(url);

    const AppSettings& app = session.appSettings();
    const bool autoSave = !options.noSave && (options.saveDir || app.autoSave);
    ProgressLine progress(console.err, console.progress);
    ConsoleBatchView view(console, progress, std::move(addresses), session.interval(), autoSave,
                          options.saveDir.value_or(app.saveDir), options.json);
    view.setParallelRequests(session.parallel());
    if (options.verbose) setRequestObserver(verboseObserver(console, progress));
    BatchJob job(view, session.converter());
    // Waiting after the last address only delays the prompt.
    job.setWaitAfterLastRow(false);
    const auto previous = setMessagePump([&job, &console] {
        // A reader that went away (`| head -1`) ends the run once the requests under way
        // have their answer: what the service converted is kept in the results file.
        if (interrupted)
            job.requestStop();
        else if (!console.out)
            job.finishUnderWay();
    });
    job.generateClicked();
    setMessagePump(previous);
    setRequestObserver({});
    progress.erase();

    const BatchSummary& summary = view.summary();
    if (options.copy && !clipboard()->setText(toUtf8(joinText(view.shortUrls(), "\n"))))
        return fail(console, "cannot write the clipboard", kConversionFailed);
    if (!summary.resultsFile.empty()) {
        console.err << "results: ";
        print(console.err, summary.resultsFile);
        console.err << '\n';
    }
    if (!summary.resultsFileError.empty()) {
        fail(console, summary.resultsFileError);
        return interrupted ? kInterrupted : kConversionFailed;
    }
    if (interrupted) return kInterrupted;
    return job.failed() > 0 ? kConversionFailed : kOk;
}

}  // namespace lianshuo::cli
