#pragma once
// The file converter: every web address in the files of a folder is kept or
// dropped by a white and a black list, converted once per run, and replaced
// in a copy of the file written to "处理结果/" inside the folder. The source
// files are never changed. Like the batch, its conversions run on the job
// loop it is given (or its own, inside the start call), and a second press
// stops it.

#include <memory>
#include <string>
#include <string_view>

#include "jobs/jobrun.h"
#include "jobs/resultrow.h"
#include "script/folderlisting.h"
#include "services/conversionoutcome.h"
#include "services/runplan.h"

namespace lianshuo {

class ShortUrlConverter;

/// How a white or black list is written; the numbers are what the settings file stores.
enum class ListMode : int { Wildcard = 0, RegularExpression = 1 };

/// The inputs, read from the window when a run starts.
struct FileConverterSettings {
    std::string folder;
    std::string pattern;
    bool whiteListOn = true;
    std::string whiteList;
    ListMode whiteListMode = ListMode::Wildcard;
    bool blackListOn = false;
    std::string blackList;
    ListMode blackListMode = ListMode::Wildcard;
    // Shorten (leaving short addresses as they are), expand short addresses, or migrate
    // those of retired hosts; addresses the mode does not take stay as they are.
    ShortAddressRules rules;
};

/// How a run ended, for the completion question and the command line.
struct FileRunSummary {
    std::string outputFolder;
    int filesWritten = 0;
    int filesUnchanged = 0;  // of those written, copies in which no address was replaced
    int filesFailed = 0;
    int converted = 0;  // addresses
    int failed = 0;     // addresses
    int leftOut = 0;    // addresses the white or black list kept from converting
    bool stopped = false;
};

/// What the engine reads and changes in its window (or the command line);
/// everything but the settings has a default, so a view overrides what it shows.
class FileConverterView {
public:
    virtual ~FileConverterView() = default;
    virtual FileConverterSettings settings() const = 0;
    /// Shows where the run is on the start button; never read back.
    virtual void setStartCaption(std::string_view) {}
    /// The main window's interval, read again after every conversion.
    virtual std::string intervalText() const { return "0"; }
    /// How many conversions may run at once, read when a run starts.
    virtual int parallelRequests() const { return 1; }
    /// "追加参数": added to the query of every address before it is converted; the
    /// file's text gets the short address in place of the address as it stood.
    virtual std::string addedQuery() const { return {}; }
    /// A message with an OK button (no files found, an invalid list).
    virtual void showMessage(std::string_view) {}
    virtual void showProgress(bool) {}
    virtual void setProgress(int, int, std::string_view) {}
    virtual void clearRows() {}
    virtual void addRow(std::string_view, std::string_view, ResultRowState) {}
    /// Changes a row and brings it into view.
    virtual void setRow(int, std::string_view, ResultRowState) {}
    /// Shows a converted row: its short address, or "生成错误" and why.
    virtual void showOutcome(int row, const ConversionOutcome& outcome) {
        setRow(row, outcome.ok() ? outcome.shortUrl : "生成错误",
               outcome.ok() ? ResultRowState::Done : ResultRowState::Error);
    }
    /// A file that could not be read or written; the run goes on with the next.
    virtual void fileFailed(std::string_view, std::string_view) {}
    /// The address on `row` of the file named `file` could not be converted;
    /// called after its row shows the outcome, before the rows are cleared.
    virtual void addressFailed(int, std::string_view, const ConversionOutcome&) {}
    /// The run has ended (also after a stop); the window asks whether to open the folder.
    virtual void finished(const FileRunSummary&) {}
};

class JobLoop;

class FileConverterEngine {
public:
    /// How the last run ended.
    enum class Outcome { None, Finished, NoFiles, InvalidList, FolderUnreadable };

    /// With a `loop`, a started run goes on in that loop after the start call
    /// returns; without, the start call returns when the run has ended.
    FileConverterEngine(FileConverterView& view, ShortUrlConverter& converter,
                        JobLoop* loop = nullptr);
    ~FileConverterEngine();

    /// The start button: starts a run (listing by search when `bySearch`, the
    /// right button) when none runs, else asks for a stop.
    void startOrStopConversion(bool bySearch);

    /// Stops at once: requests in flight are aborted, and the file under way
    /// is written with the addresses converted so far.
    void requestStop();
    RunState state() const { return job_.state(); }
    bool running() const { return job_.running(); }
    Outcome outcome() const { return outcome_; }
    int succeeded() const { return summary_.converted; }
    int failed() const { return summary_.failed; }
    const FileRunSummary& summary() const { return summary_; }

    static std::string idleCaption();
    /// "(" + count + ":" + position + ")" + the file's base name.
    static std::string progressCaption(int position, int count, std::string_view path);

private:
    struct Run;
    Outcome begin(bool bySearch);
    void nextFile();
    bool scanFile(const FolderEntry& file);
    void convertFile();
    void addressFinished(int row, const ConversionOutcome& outcome);
    void writeFile(const FolderEntry& file);
    void finishRun();
    bool keeps(std::string_view bytes, bool utf8);
    bool takes(std::string_view bytes) const;
    bool stopping() const;

    FileConverterView& view_;
    JobRun job_;
    std::unique_ptr<Run> run_;
    Outcome outcome_ = Outcome::None;
    FileRunSummary summary_;
};

}  // namespace lianshuo
