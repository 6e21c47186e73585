#pragma once
// What a command reads from the settings file and its options: the service,
// the token, the custom interface and the interval, standing in for the
// window's controls.

#include <atomic>
#include <iosfwd>
#include <memory>
#include <string>

#include "cli/options.h"
#include "history/conversionhistory.h"
#include "services/conversionsource.h"
#include "services/servicerequest.h"
#include "services/shorturlconverter.h"
#include "store/controlstatestore.h"
#include "store/settings.h"

namespace lianshuo::cli {

/// Set by SIGINT.
extern std::atomic<bool> interrupted;

/// While one lives, SIGINT also sets `flag` (a job's stop flag), so that a request in flight, a
/// pause and a regular expression's match end at once; set at once if SIGINT already came.
class StopOnInterrupt {
public:
    explicit StopOnInterrupt(std::atomic<bool>& flag);
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;
};

/// What SIGINT does: sets `interrupted` and the flag of the StopOnInterrupt that lives.
void interrupt();

/// The streams a command prints to.
struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool progress;             // standard error is a terminal and no --quiet
    bool outTerminal = false;  // standard output is the same kind of terminal
    bool inTerminal = false;   // standard input is a terminal: someone types the list
};

/// Exit statuses.
enum ExitStatus : int {
    kOk = 0,
    kConversionFailed = 1,
    kUsage = 2,
    kInterrupted = 130,
    kReaderGone = 141,  // standard output closed before every row was printed
};

class Session : public ConversionSource {
public:
    /// Opens the settings file; `forWriting` binds it (creating it when missing).
    bool openSettings(const Options& options, bool forWriting, std::string& error);
    /// Says on standard error, once per file and run, that the settings file
    /// just opened holds a token others may read.
    void sayTokenPrivacy(Console& console) const;

    /// Resolves the service, token, interface and interval; false with `error` when one is bad.
    /// Without `converting` (a run that only expands) no token is fetched.
    bool resolveConversion(const Options& options, std::string& error, bool converting = true);
    /// What the run does with short addresses: --shorten-short (or "转换短网址"),
    /// --hosts, --expand and --migrate-from; false with `error` for a bad host list.
    bool readShortAddressRules(const Options& options, ShortAddressRules& rules,
                               std::string& error) const;

    /// Opens the history for the converter, with reuse as the settings and
    /// the options say. A history that cannot be used is one warning on
    /// standard error, and the run goes on without it.
    void attachHistory(const Options& options, Console& console);

    int selectedService() const override { return service_; }
    std::string baiduToken() const override { return token_; }
    ShortUrlInterface readInterfaceFromPanel() const override { return interface_; }
    Result<ShortUrlInterface> savedInterface(std::string_view name) const override;

    ControlStateStore& store() { return store_; }
    const AppSettings& appSettings() const { return app_; }
    const std::string& interval() const { return interval_; }
    /// Conversions under way at once: --jobs, else the setting "并发数".
    int parallel() const { return parallel_; }
    /// --add-query, else the setting "追加参数".
    const std::string& addedQuery() const { return addedQuery_; }
    ShortUrlConverter& converter() { return *converter_; }

private:
    // Reading an interface selects its section; fallbacks are read while converting.
    mutable ControlStateStore store_;
    Status tokenPrivacy_;
    AppSettings app_;
    int service_ = 1;
    std::string token_;
    ShortUrlInterface interface_;
    std::string interval_ = "0";
    int parallel_ = 1;
    std::string addedQuery_;
    // Declared before the converter, which points at it, so it outlives the converter.
    ConversionHistory history_;
    std::unique_ptr<ShortUrlConverter> converter_;
};

class ProgressLine;

/// Prints each request's method, address and status (or failure) on standard error.
RequestObserver verboseObserver(Console& console, ProgressLine& progress);

/// The command's one-line error, printed as the terminal expects.
int fail(Console& console, const std::string& messageGbk, int status = kUsage);

/// A whole number from `least` to `most`, written as plain digits; false with `error` when not.
bool readWholeNumber(std::string_view option, const std::string& text, int least, int most,
                     int& value, std::string& error);

/// Prints a GBK text as UTF-8.
void print(std::ostream& stream, std::string_view gbk);

int runConvert(const Options& options, Console& console);
/// expand: the long address of each short one.
int runExpand(const Options& options, Console& console);
int runFiles(const Options& options, Console& console);
int runInterfaces(const Options& options, Console& console);
int runHistory(const Options& options, Console& console);
int runQr(const Options& options, Console& console);

/// The history file of the settings file that `options` name (or the usual one).
std::string historyPathFor(const Options& options);

/// interfaces add: saves the interface the options (and --preset) describe into the open settings.
int runInterfaceAdd(Session& session, const Options& options, Console& console);
/// interfaces test NAME [URL]: converts one address with a saved interface and prints the outcome.
int runInterfaceTest(const Options& options, Console& console);
/// interfaces presets: one line per preset: name, host, token, description.
int printPresets(Console& console);

}  // namespace lianshuo::cli
