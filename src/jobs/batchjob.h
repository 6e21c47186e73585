#pragma once
// The batch: every long address of the results list converted in order (on
// one request slot, or up to "并发数" at once), with a randomised pause
// between two conversions of a slot, optionally written to a results file.
// It runs on the job loop it is given, so the window stays free (a modal box
// never holds it up); without one it runs its own loop inside the start call.
// A second click only asks it to stop.

#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/addresssource.h"
#include "jobs/jobrun.h"
#include "jobs/resultrow.h"
#include "services/conversionoutcome.h"
#include "services/runplan.h"

namespace lianshuo {

class ShortUrlConverter;

/// How a batch ended.
struct BatchSummary {
    int succeeded = 0;
    int failed = 0;
    bool stopped = false;
    std::string resultsFile;       // the file written, empty when none was
    std::string resultsFileError;  // why the results file could not be created or written
};

/// What the batch reads and changes in the window (or the command line);
/// everything but the rows has a default, so a view overrides what it shows.
class BatchView {
public:
    virtual ~BatchView() = default;
    virtual int rowCount() const = 0;
    virtual std::string longUrl(int row) const = 0;
    /// The long addresses read as the batch goes, for a list too long to hold
    /// (the command line's input); empty: the rows rowCount() and longUrl() give.
    virtual AddressSource addressSource() { return {}; }
    /// Shows `text` and `state` in the row (and brings a converting row into view).
    virtual void setRow(int row, std::string_view text, ResultRowState state) = 0;
    /// Shows a finished row: its short address (an address left as it is shows
    /// itself), or "生成错误" and why.
    virtual void showOutcome(int row, const ConversionOutcome& outcome) {
        setRow(row, outcome.ok() ? outcome.shortUrl : "生成错误",
               outcome.ok() ? ResultRowState::Done : ResultRowState::Error);
    }
    /// A row a stop caught under way while a later row did finish; the window
    /// shows it waiting again, as it does the rows after the last finished one.
    virtual void showStopped(int row) { setRow(row, "等待转换", ResultRowState::Waiting); }
    /// How many rows have finished (done or failed) of `total`: once as the batch
    /// starts, then after each row; `total` is 0 while the list's length is unknown.
    virtual void batchProgress(int /*finished*/, int /*total*/) {}
    /// The batch has ended (also after a stop).
    virtual void batchFinished(const BatchSummary&) {}
    /// Shows where the batch is on the start button; never read back.
    virtual void setGenerateCaption(std::string_view) {}
    virtual void setPasteCopyEnabled(bool) {}
    virtual std::string intervalText() const { return "0"; }
    /// How many conversions may run at once ("并发数"), read when a batch starts.
    virtual int parallelRequests() const { return 1; }
    /// "追加参数": what is added to the query of every row's address, read when a batch starts.
    virtual std::string addedQuery() const { return {}; }
    /// Shows the address a row is converted as, once parameters were added to it.
    virtual void setSentAddress(int, std::string_view) {}
    /// What the batch does with short addresses, read when a batch starts.
    virtual ShortAddressRules shortAddressRules() const { return {}; }
    virtual bool autoSave() const { return false; }
    virtual std::string saveFolder() const { return {}; }
    /// Remembers the results file of this batch (the folder button opens it);
    /// called only once the file exists.
    virtual void setResultFilePath(std::string_view) {}
};

class JobLoop;
class ResultsFile;

class BatchJob {
public:
    /// With a `loop`, the start call returns at once and the batch goes on in
    /// that loop; without, the start call returns when the batch has ended.
    BatchJob(BatchView& view, ShortUrlConverter& converter, JobLoop* loop = nullptr);
    ~BatchJob();

    /// The start button: starts a batch when none runs, else asks it to stop.
    void generateClicked();

    /// Whether the pause also follows the last row, as the window's batch does.
    void setWaitAfterLastRow(bool wait) { waitAfterLastRow_ = wait; }

    /// Stops a running batch at once: requests in flight are aborted and
    /// their rows go back to waiting; finished rows stay.
    void requestStop();
    /// Stops a running batch once the requests in flight have their answer:
    /// for a reader that went away, so that no request asked of the service is wasted.
    void finishUnderWay();

    RunState state() const { return run_.state(); }
    bool running() const { return run_.running(); }
    int succeeded() const { return summary_.succeeded; }
    int failed() const { return summary_.failed; }
    const BatchSummary& summary() const { return summary_; }

    /// The idle caption of the start button.
    static std::string idleCaption();

private:
    void start();
    void rowFinished(int row, const ConversionOutcome& outcome);
    void finish();

    BatchView& view_;
    JobRun run_;
    std::unique_ptr<ResultsFile> file_;
    std::mt19937 random_;
    int rows_ = 0;
    bool waitAfterLastRow_ = true;
    BatchSummary summary_;
    std::vector<int> caught_;  // rows a stop caught, not followed by a finished row yet
};

/// The summary line shown after a batch: "完成 n 个，失败 m 个".
std::string summaryLine(const BatchSummary& summary);

/// A results file path that names no existing file: " (2)", " (3)", ... go
/// before ".txt" when `path` is taken.
std::string unusedFilePath(const std::string& path);

}  // namespace lianshuo
