#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <vector>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/paths.h"
#include "base/platform.h"
#include "cli/inputlines.h"
#include "cli/outcomejson.h"
#include "cli/progressline.h"
#include "cli/session.h"
#include "jobs/batchjob.h"
#include "jobs/clipboard.h"
#include "jobs/jobloop.h"
#include "jobs/pastedaddresses.h"
#include "services/addedquery.h"
#include "services/encoding.h"
#include "services/servicerequest.h"

namespace lianshuo::cli {
namespace {

// Terminals and most files speak UTF-8; older files may still be GBK. Each
// line is read as its own bytes say.
std::string fromInputText(const std::string& bytes) {
    return isValidUtf8(bytes) ? fromUtf8(bytes) : bytes;
}

// The start a refused line is shown by, never cutting a UTF-8 character.
std::string refusedLineText(std::string start) {
    for (int cut = 0; cut < 3 && !start.empty() && !isValidUtf8(start); ++cut) start.pop_back();
    return fromInputText(start) + "...";
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The addresses of the input lines, then of the command's arguments, read as the batch takes them.
class ConvertInput {
public:
    ConvertInput(std::unique_ptr<InputLines> lines, std::vector<std::string> arguments)
        : lines_(std::move(lines)), arguments_(std::move(arguments)) {}

    /// Asked before each line is read: reading may wait for a writer, and a reader gone must
    /// still be seen first.
    void checkBeforeReading(std::function<void()> check) { check_ = std::move(check); }

    std::optional<ListedAddress> next() {
        if (check_) check_();
        while (lines_) {
            std::optional<InputLines::Line> line = lines_->next();
            if (!line) {
                error_ = lines_->error();
                lines_.reset();
                break;
            }
            if (line->tooLong)
                return ListedAddress{refusedLineText(std::move(line->text)),
                                     "这一行超过 64 KiB，不是网址"};
            if (std::optional<std::string> address = pastedAddress(fromInputText(line->text)))
                return ListedAddress{std::move(*address), {}};
        }
        if (argument_ < arguments_.size()) return ListedAddress{arguments_[argument_++], {}};
        return std::nullopt;
    }
    /// Why the input could not be read to its end; empty when it was.
    const std::string& error() const { return error_; }
    /// How many addresses the list holds, once its lines are all read; 0 before.
    int total() const {
        return lines_ ? 0 : given_ + static_cast<int>(arguments_.size() - argument_);
    }
    /// Counts an entry handed to the batch.
    void given() { ++given_; }

private:
    std::unique_ptr<InputLines> lines_;
    std::vector<std::string> arguments_;
    std::size_t argument_ = 0;
    int given_ = 0;
    std::string error_;
    std::function<void()> check_;
};

class ConsoleBatchView : public BatchView {
public:
    ConsoleBatchView(Console& console, ProgressLine& progress, ConvertInput& input,
                     std::string interval, bool autoSave, std::string folder, bool json,
                     ShortAddressRules rules)
        : console_(console),
          progress_(progress),
          input_(input),
          interval_(std::move(interval)),
          autoSave_(autoSave),
          folder_(std::move(folder)),
          json_(json),
          rules_(std::move(rules)) {}

    // The list is read as the batch goes: its length is known at its end only.
    int rowCount() const override { return input_.total(); }
    std::string longUrl(int) const override { return {}; }
    AddressSource addressSource() override {
        return [this]() -> std::optional<ListedAddress> {
            std::optional<ListedAddress> listed = input_.next();
            if (!listed) return listed;
            input_.given();
            // Printed, converted and kept as it is sent.
            if (listed->refusal.empty())
                listed->address = withAddedQuery(listed->address, addedQuery_);
            rows_.push_back(listed->address);
            return listed;
        };
    }
    void setRow(int row, std::string_view, ResultRowState state) override {
        if (state == ResultRowState::Converting)
            progress_.update(row, input_.total(), failed_, row == 0);
    }
    void showOutcome(int row, const ConversionOutcome& outcome) override {
        const std::string longUrl = takeRow(row);
        // Only --copy needs them all at the end; a long run without it keeps none.
        if (outcome.ok() && keepShortUrls_) shortUrls_.push_back(outcome.shortUrl);
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
        // On one terminal the row goes where the line was, and the line is drawn again after it.
        if (console_.outTerminal) progress_.erase();
        if (json_) {
            console_.out << outcomeJson(longUrl, outcome, rules_.kind == RunKind::Expand)
                         << std::endl;
        } else {
            print(console_.out, outcome.ok() ? outcome.shortUrl : conversionErrorText());
            console_.out << '\t';
            print(console_.out, longUrl);
            console_.out << std::endl;
        }
        progress_.update(row + 1, input_.total(), failed_, row + 1 == input_.total());
    }
    // Printed as a failure, so standard output has a row for every address up to the last one.
    void showStopped(int row) override {
        showOutcome(row, ConversionOutcome::failed(FailureKind::Stopped, {}));
    }
    void batchFinished(const BatchSummary& summary) override { summary_ = summary; }
    std::string intervalText() const override { return interval_; }
    int parallelRequests() const override { return parallel_; }
    void setParallelRequests(int parallel) { parallel_ = parallel; }
    bool autoSave() const override { return autoSave_; }
    std::string saveFolder() const override { return folder_; }
    ShortAddressRules shortAddressRules() const override { return rules_; }

    const BatchSummary& summary() const { return summary_; }
    const std::vector<std::string>& shortUrls() const { return shortUrls_; }
    void keepShortUrls() { keepShortUrls_ = true; }
    void setAddedQuery(std::string added) { addedQuery_ = std::move(added); }

private:
    Console& console_;
    ProgressLine& progress_;
    int failed_ = 0;
    int parallel_ = 1;
    // The address of a row, once the rows before it are shown.
    std::string takeRow(int row) {
        while (firstRow_ < row && !rows_.empty()) {
            rows_.pop_front();
            ++firstRow_;
        }
        return rows_.empty() ? std::string() : rows_.front();
    }

    std::vector<std::string> shortUrls_;
    bool keepShortUrls_ = false;
    ConvertInput& input_;
    std::deque<std::string> rows_;  // the rows read and not shown yet, from firstRow_ on
    std::string addedQuery_;
    int firstRow_ = 0;
    std::string interval_;
    bool autoSave_;
    std::string folder_;
    bool json_;
    ShortAddressRules rules_;
    BatchSummary summary_;
};

}  // namespace

namespace {

// convert, and expand (`expanding`), which takes the same input and slots and prints its rows
// the same way, the result first.
int runBatch(const Options& options, Console& console, bool expanding) {
    Session session;
    std::string error;
    if (!session.openSettings(options, false, error)) return fail(console, error);
    session.sayTokenPrivacy(console);
    if (!session.resolveConversion(options, error, !expanding)) return fail(console, error);
    ShortAddressRules rules;
    if (!session.readShortAddressRules(options, rules, error)) return fail(console, error);
    if (rules.kind != RunKind::Shorten)
        return fail(console, "--expand and --migrate-from belong to files (see lianshuo expand)");
    if (expanding) rules.kind = RunKind::Expand;
    session.attachHistory(options, console);

    if ((options.clipboard || options.copy) && clipboard() == nullptr)
        return fail(console, "--clipboard 和 --copy 需要桌面会话，但是没有找到显示器");
    std::unique_ptr<InputLines> lines;
    if (options.clipboard) {
        std::optional<std::string> pasted = clipboard()->text();
        if (!pasted) return fail(console, "无法读取剪贴板");
        auto text = std::make_shared<std::string>(std::move(*pasted));
        lines = std::make_unique<InputLines>(
            [text, at = std::size_t{0}](char* buffer, std::size_t size) mutable {
                const std::size_t n = text->copy(buffer, size, at);
                at += n;
                return Result<std::size_t>(n);
            });
    } else if (options.input && *options.input != "-") {
        const std::filesystem::path path = nativePath(*options.input);
        // A pipe or a device named here would hold the run before it starts.
        Result<platform::FileKind> kind = platform::fileKind(path);
        std::shared_ptr<std::FILE> file;
        std::string why;
        if (!kind)
            why = kind.reason();
        else if (*kind == platform::FileKind::Missing)
            why = platform::systemFailure(ENOENT).reason;
        else if (*kind != platform::FileKind::Regular)
            why = "不是普通文件";
        else if (file.reset(platform::openFileStream(path, "rb"), FileCloser{}); !file)
            why = platform::systemFailure(errno).reason;
        if (!why.empty()) return fail(console, "无法读取输入文件 " + *options.input + "：" + why);
        lines = std::make_unique<InputLines>([file](char* buffer, std::size_t size) {
            return platform::readBlock(file.get(), buffer, size);
        });
    } else if (options.input || options.positional.empty()) {
        // Someone at a terminal would otherwise see a program that seems to hang.
        if (console.inTerminal) print(console.err, "从标准输入读取网址，每行一个（Ctrl+D 结束）\n");
        lines = std::make_unique<InputLines>([&console](char* buffer, std::size_t size) {
            const std::streamsize got =
                console.in.rdbuf()->sgetn(buffer, static_cast<std::streamsize>(size));
            return Result<std::size_t>(static_cast<std::size_t>(std::max<std::streamsize>(got, 0)));
        });
    }
    ConvertInput input(std::move(lines), pastedAddresses(joinText(options.positional, "\n")));

    const AppSettings& app = session.appSettings();
    // An expansion makes nothing new to keep in a results file.
    const bool autoSave = !expanding && !options.noSave && (options.saveDir || app.autoSave);
    ProgressLine progress(console.err, console.progress);
    ConsoleBatchView view(console, progress, input, session.interval(), autoSave,
                          options.saveDir.value_or(app.saveDir), options.json, std::move(rules));
    view.setParallelRequests(session.parallel());
    view.setAddedQuery(session.addedQuery());
    if (options.copy) view.keepShortUrls();
    if (options.verbose) setRequestObserver(verboseObserver(console, progress));
    PlainJobLoop loop;
    const StopOnInterrupt stopOnInterrupt(*loop.stopSignal());
    BatchJob job(view, session.converter(), &loop);
    // Waiting after the last address only delays the prompt.
    job.setWaitAfterLastRow(false);
    bool stopAsked = false;
    const auto check = [&job, &console, &stopAsked] {
        // A reader that went away (`| head -1`) ends the run once the requests under way
        // have their answer: what the service converted is kept in the results file.
        if (stopAsked) return;
        if (interrupted) {
            stopAsked = true;
            job.requestStop();
        } else if (!console.out) {
            job.finishUnderWay();
        }
    };
    input.checkBeforeReading(check);
    job.generateClicked();
    loop.runUntil([&job, &check] {
        check();
        return !job.running();
    });
    setRequestObserver({});
    progress.erase();

    const BatchSummary& summary = view.summary();
    if (options.copy && !clipboard()->setText(toUtf8(joinText(view.shortUrls(), "\n"))))
        return fail(console, "无法写入剪贴板", kConversionFailed);
    if (!summary.resultsFile.empty()) {
        print(console.err, "结果文件：");
        print(console.err, summary.resultsFile);
        console.err << '\n';
    }
    // Like a process that a closed pipe killed: whoever reads the status sees the run cut short.
    const int cutShort = interrupted ? kInterrupted : !console.out ? kReaderGone : kOk;
    if (!summary.resultsFileError.empty()) {
        fail(console, summary.resultsFileError);
        return cutShort != kOk ? cutShort : kConversionFailed;
    }
    if (!input.error().empty()) {
        fail(console, "无法读完输入：" + input.error());
        return cutShort != kOk ? cutShort : kConversionFailed;
    }
    if (cutShort != kOk) return cutShort;
    return job.failed() > 0 ? kConversionFailed : kOk;
}

}  // namespace

int runConvert(const Options& options, Console& console) {
    return runBatch(options, console, false);
}

int runExpand(const Options& options, Console& console) {
    return runBatch(options, console, true);
}

}  // namespace lianshuo::cli
