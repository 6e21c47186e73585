#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <vector>

#include "app/base/charset.h"
#include "app/base/gbk.h"
#include "app/base/messages.h"
#include "app/base/paths.h"
#include "cli/session.h"
#include "jobs/batchjob.h"
#include "jobs/pastedaddresses.h"

namespace lianshuo::cli {
namespace {

// Terminals and most files speak UTF-8; older files may still be GBK.
std::string fromInputText(const std::string& bytes) {
    return isValidUtf8(bytes) ? fromUtf8(bytes) : bytes;
}

class ConsoleBatchView : public BatchView {
public:
    ConsoleBatchView(Console& console, std::vector<std::string> rows, std::string interval,
                     bool autoSave, std::string folder)
        : console_(console),
          rows_(std::move(rows)),
          interval_(std::move(interval)),
          autoSave_(autoSave),
          folder_(std::move(folder)) {}

    int rowCount() const override { return static_cast<int>(rows_.size()); }
    std::string longUrl(int row) const override { return rows_[static_cast<std::size_t>(row)]; }
    void setRow(int row, std::string_view text, ResultRowState state) override {
        if (state == ResultRowState::Converting) {
            if (console_.progress)
                console_.err << "\r[" << row + 1 << "/" << rows_.size() << "] " << std::flush;
            return;
        }
        print(console_.out, text);
        console_.out << '\t';
        print(console_.out, rows_[static_cast<std::size_t>(row)]);
        console_.out << std::endl;
    }
    std::string generateCaption() const override { return caption_; }
    void setGenerateCaption(std::string_view caption) override { caption_ = caption; }
    void setPasteCopyEnabled(bool) override {}
    std::string intervalText() const override { return interval_; }
    bool autoSave() const override { return autoSave_; }
    std::string saveFolder() const override { return folder_; }
    void setResultFilePath(std::string_view path) override { resultFile_ = path; }

    const std::string& resultFile() const { return resultFile_; }

private:
    Console& console_;
    std::vector<std::string> rows_;
    std::string interval_;
    bool autoSave_;
    std::string folder_;
    std::string caption_ = BatchJob::idleCaption();
    std::string resultFile_;
};

}  // namespace

int runConvert(const Options& options, Console& console) {
    Session session;
    std::string error;
    if (!session.openSettings(options, false, error) || !session.resolveConversion(options, error))
        return fail(console, error);

    std::string text;
    if (options.input && *options.input != "-") {
        std::ifstream file(nativePath(*options.input), std::ios::binary);
        if (!file) return fail(console, "cannot read the input file: " + *options.input);
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    } else if (options.input || options.positional.empty()) {
        text.assign(std::istreambuf_iterator<char>(console.in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> addresses = pastedAddresses(fromInputText(text));
    for (const std::string& url : pastedAddresses(joinText(options.positional, "\n")))
        addresses.push_back(url);

    const AppSettings& app = session.appSettings();
    const bool autoSave = !options.noSave && (options.saveDir || app.autoSave);
    ConsoleBatchView view(console, std::move(addresses), session.interval(), autoSave,
                          options.saveDir.value_or(app.saveDir));
    BatchJob job(view, session.converter());
    const auto previous = setMessagePump([&job] {
        if (interrupted) job.requestStop();
    });
    job.generateClicked();
    setMessagePump(previous);

    if (console.progress) console.err << '\n';
    if (!view.resultFile().empty()) {
        console.err << "results: ";
        print(console.err, view.resultFile());
        console.err << '\n';
    }
    if (interrupted) return kInterrupted;
    return job.failed() > 0 ? kConversionFailed : kOk;
}

}  // namespace lianshuo::cli
