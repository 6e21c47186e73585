#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

#include "base/charset.h"
#include "base/paths.h"
#include "cli/progressline.h"
#include "cli/session.h"
#include "jobs/fileconverter.h"
#include "jobs/fileconvertersettings.h"
#include "jobs/jobloop.h"
#include "services/encoding.h"

namespace lianshuo::cli {
namespace {

class ConsoleFileView : public FileConverterView {
public:
    ConsoleFileView(Console& console, ProgressLine& progress, FileConverterSettings settings,
                    std::string interval, int parallel, std::string addedQuery)
        : console_(console),
          progress_(progress),
          settings_(std::move(settings)),
          interval_(std::move(interval)),
          parallel_(parallel),
          addedQuery_(std::move(addedQuery)) {}

    FileConverterSettings settings() const override { return settings_; }
    std::string intervalText() const override { return interval_; }
    int parallelRequests() const override { return parallel_; }
    std::string addedQuery() const override { return addedQuery_; }
    void showMessage(std::string_view text) override {
        print(console_.err, text);
        console_.err << '\n';
    }
    void setProgress(int position, int count, std::string_view) override {
        filesDone_ = position - 1;
        filesTotal_ = count;
        progress_.update(filesDone_, filesTotal_, failed_, position == 1);
    }
    void clearRows() override { rows_.clear(); }
    void addRow(std::string_view, std::string_view longUrl, ResultRowState) override {
        rows_.emplace_back(longUrl);
    }
    void showOutcome(int row, const ConversionOutcome& outcome) override {
        const std::string& longUrl = rows_[static_cast<std::size_t>(row)];
        if (!outcome.ok()) {
            ++failed_;
            progress_.erase();
            console_.err << toUtf8("失败: " + longUrl + ": " + outcome.reason()) << '\n';
        }
        if (outcome.verification == Verification::Unverifiable) {
            progress_.erase();
            console_.err << toUtf8("未能验证: " + longUrl + ": " + outcome.unverifiedReason)
                         << '\n';
        }
        if (console_.outTerminal) progress_.erase();
        print(console_.out, outcome.ok() ? outcome.shortUrl : conversionErrorText());
        console_.out << '\t';
        print(console_.out, longUrl);
        console_.out << std::endl;
        progress_.update(filesDone_, filesTotal_, failed_);
    }
    void fileFailed(std::string_view name, std::string_view reason) override {
        progress_.erase();
        console_.err << toUtf8("文件失败: " + std::string(name) + ": " + std::string(reason))
                     << '\n';
    }
    void finished(const FileRunSummary& summary) override {
        progress_.erase();
        print(console_.err, "输出文件夹：" + summary.outputFolder + "\n");
        print(console_.err, "写入文件 " + std::to_string(summary.filesWritten) + " 个，转换网址 " +
                                std::to_string(summary.converted) + " 个，失败网址 " +
                                std::to_string(summary.failed) + " 个，失败文件 " +
                                std::to_string(summary.filesFailed) + " 个\n");
    }

private:
    Console& console_;
    ProgressLine& progress_;
    int filesDone_ = 0, filesTotal_ = 0, failed_ = 0;
    FileConverterSettings settings_;
    std::string interval_;
    int parallel_;
    std::string addedQuery_;
    std::vector<std::string> rows_;
};

// The window's settings, with the options laid over them.
FileConverterSettings settingsFor(const Options& options, ControlStateStore& store) {
    FileConverterSettings s = defaultFileConverterSettings();
    loadFileConverterSettings(store, s);
    s.folder = options.positional.front();
    if (options.pattern) s.pattern = *options.pattern;
    if (options.white) {
        s.whiteList = *options.white;
        s.whiteListOn = true;
    }
    if (options.noWhite) s.whiteListOn = false;
    if (options.whiteRegex) s.whiteListMode = ListMode::RegularExpression;
    if (options.black) {
        s.blackList = *options.black;
        s.blackListOn = true;
    }
    if (options.noBlack) s.blackListOn = false;
    if (options.blackRegex) s.blackListMode = ListMode::RegularExpression;
    return s;
}

}  // namespace

int runFiles(const Options& options, Console& console) {
    if (options.positional.size() != 1) return fail(console, "files 需要一个文件夹 FOLDER");
    std::error_code ec;
    if (!std::filesystem::is_directory(nativePath(options.positional.front()), ec))
        return fail(console, "没有这个文件夹：" + options.positional.front());
    Session session;
    std::string error;
    if (!session.openSettings(options, false, error)) return fail(console, error);
    session.sayTokenPrivacy(console);
    FileConverterSettings settings = settingsFor(options, session.store());
    if (!session.readShortAddressRules(options, settings.rules, error)) return fail(console, error);
    // Expanding asks no service: its token is not needed.
    if (!session.resolveConversion(options, error, settings.rules.kind != RunKind::Expand))
        return fail(console, error);
    session.attachHistory(options, console);

    ProgressLine progress(console.err, console.progress);
    ConsoleFileView view(console, progress, std::move(settings), session.interval(),
                         session.parallel(), session.addedQuery());
    if (options.verbose) setRequestObserver(verboseObserver(console, progress));
    PlainJobLoop loop;
    const StopOnInterrupt stopOnInterrupt(*loop.stopSignal());
    FileConverterEngine engine(view, session.converter(), &loop);
    engine.startOrStopConversion(options.search);
    loop.runUntil([&engine] {
        if (interrupted) engine.requestStop();
        return !engine.running();
    });
    setRequestObserver({});

    switch (engine.outcome()) {
        case FileConverterEngine::Outcome::InvalidList:
        case FileConverterEngine::Outcome::FolderUnreadable:
            return kUsage;
        default:
            break;
    }
    if (interrupted) return kInterrupted;
    const FileRunSummary& summary = engine.summary();
    return summary.failed > 0 || summary.filesFailed > 0 ? kConversionFailed : kOk;
}

}  // namespace lianshuo::cli
