#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

#include "app/base/messages.h"
#include "app/base/paths.h"
#include "cli/session.h"
#include "jobs/fileconverter.h"
#include "jobs/fileconvertersettings.h"

namespace lianshuo::cli {
namespace {

class ConsoleFileView : public FileConverterView {
public:
    ConsoleFileView(Console& console, FileConverterSettings settings, std::string interval)
        : console_(console), settings_(std::move(settings)), interval_(std::move(interval)) {}

    std::string startCaption() const override { return caption_; }
    void setStartCaption(std::string_view caption) override { caption_ = caption; }
    FileConverterSettings settings() const override { return settings_; }
    std::string intervalText() const override { return interval_; }
    void showMessage(std::string_view text) override {
        print(console_.err, text);
        console_.err << '\n';
    }
    void showProgress(bool) override {}
    void setProgress(int, int, std::string_view caption) override {
        if (!console_.progress) return;
        console_.err << '\r';
        print(console_.err, caption);
        console_.err << std::flush;
    }
    void clearRows() override { rows_.clear(); }
    void addRow(std::string_view, std::string_view longUrl, ResultRowState) override {
        rows_.emplace_back(longUrl);
    }
    void setRow(int row, std::string_view text, ResultRowState state) override {
        if (state != ResultRowState::Done && state != ResultRowState::Error) return;
        if (console_.progress) console_.err << '\n';
        print(console_.out, text);
        console_.out << '\t';
        print(console_.out, rows_[static_cast<std::size_t>(row)]);
        console_.out << std::endl;
    }
    void finished(std::string_view outputFolder) override {
        if (console_.progress) console_.err << '\n';
        console_.err << "output: ";
        print(console_.err, outputFolder);
        console_.err << '\n';
    }

private:
    Console& console_;
    FileConverterSettings settings_;
    std::string interval_;
    std::string caption_ = FileConverterEngine::idleCaption();
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
    if (options.whiteRegex) s.whiteListMode = 1;
    if (options.black) {
        s.blackList = *options.black;
        s.blackListOn = true;
    }
    if (options.noBlack) s.blackListOn = false;
    if (options.blackRegex) s.blackListMode = 1;
    return s;
}

}  // namespace

int runFiles(const Options& options, Console& console) {
    if (options.positional.size() != 1) return fail(console, "files takes one FOLDER");
    std::error_code ec;
    if (!std::filesystem::is_directory(nativePath(options.positional.front()), ec))
        return fail(console, "no such folder: " + options.positional.front());
    Session session;
    std::string error;
    if (!session.openSettings(options, false, error) || !session.resolveConversion(options, error))
        return fail(console, error);

    ConsoleFileView view(console, settingsFor(options, session.store()), session.interval());
    FileConverterEngine engine(view, session.converter());
    const auto previous = setMessagePump([&engine] {
        if (interrupted) engine.requestStop();
    });
    engine.startOrStopConversion(options.search);
    setMessagePump(previous);

    if (engine.outcome() == FileConverterEngine::Outcome::InvalidList) return kUsage;
    if (interrupted) return kInterrupted;
    return engine.failed() > 0 ? kConversionFailed : kOk;
}

}  // namespace lianshuo::cli
