// The file converter run again over a folder whose addresses are all in the
// history, side by side with the same run whose conversions a stub answers
// at no cost: prints "seconds-with-history seconds-stubbed", each the best of
// ROUNDS runs (3 unless given).
// Usage: historyscan FOLDER [PATTERN [ROUNDS]]

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "history/conversionhistory.h"
#include "jobs/fileconverter.h"
#include "jobs/fileconvertersettings.h"
#include "services/shorturlconverter.h"

using namespace lianshuo;

namespace {

struct QuietView : FileConverterView {
    FileConverterSettings input;
    std::string caption = FileConverterEngine::idleCaption();
    std::string startCaption() const override { return caption; }
    void setStartCaption(std::string_view c) override { caption = c; }
    FileConverterSettings settings() const override { return input; }
    std::string intervalText() const override { return "0"; }
    void showMessage(std::string_view text) override {
        std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
    }
    void showProgress(bool) override {}
    void setProgress(int, int, std::string_view) override {}
    void clearRows() override {}
    void addRow(std::string_view, std::string_view, ResultRowState) override {}
    void setRow(int, std::string_view, ResultRowState) override {}
    void showOutcome(int, const ConversionOutcome& outcome) override {
        failed += outcome.ok() ? 0 : 1;
    }
    void fileFailed(std::string_view, std::string_view) override {}
    void finished(const FileRunSummary&) override {}
    int failed = 0;
};

struct StubSource : ConversionSource {
    int selectedService() const override { return kCustomService; }
    std::string baiduToken() const override { return {}; }
    ShortUrlInterface readInterfaceFromPanel() const override {
        ShortUrlInterface d;
        d.address = "http://stub.invalid/?u=#长网址#";
        return d;
    }
};

// Every address converted at no cost.
struct StubMemory : ConversionMemory {
    HistoryLookup lookup(std::string_view, std::string_view) override {
        return {std::string("http://s.test/x"), {}};
    }
    HistoryStatus record(std::string_view, std::string_view, std::string_view) override {
        return {};
    }
};

// The stub's answers, also written into the real history.
struct FillingMemory : StubMemory {
    explicit FillingMemory(ConversionHistory& history) : real(history) {}
    HistoryLookup lookup(std::string_view key, std::string_view longUrl) override {
        if (!real.lookup(key, longUrl).shortUrl) real.record(key, longUrl, "http://s.test/x");
        return StubMemory::lookup(key, longUrl);
    }
    ConversionHistory& real;
};

double timedRun(ShortUrlConverter& converter, QuietView& view, ConversionMemory& memory) {
    converter.setHistory(&memory);
    FileConverterEngine engine(view, converter);
    const auto start = std::chrono::steady_clock::now();
    engine.startOrStopConversion(false);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: historyscan FOLDER [PATTERN [ROUNDS]]\n");
        return 2;
    }
    const std::filesystem::path work = std::filesystem::temp_directory_path() /
                                       ("lianshuo-historyscan-" + std::to_string(getpid()));
    std::filesystem::create_directories(work);
    ConversionHistory history;
    if (!history.open((work / "h.sqlite").string()).ok()) return 1;
    QuietView view;
    view.input = defaultFileConverterSettings();
    view.input.folder = argv[1];
    view.input.pattern = argc > 2 ? argv[2] : "*.html";
    view.input.whiteListOn = false;
    view.input.blackListOn = false;
    StubSource source;
    ShortUrlConverter converter(source, defaultBuiltinHosts());
    FillingMemory filling(history);
    StubMemory stub;
    timedRun(converter, view, filling);
    double withHistory = 1e9, stubbed = 1e9;
    // Alternating which goes first, so that neither always runs on a warmer cache.
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) stubbed = std::min(stubbed, timedRun(converter, view, stub));
        withHistory = std::min(withHistory, timedRun(converter, view, history));
        if (round % 2 == 1) stubbed = std::min(stubbed, timedRun(converter, view, stub));
    }
    history.close();
    std::filesystem::remove_all(work);
    std::printf("%.4f %.4f\n", withHistory, stubbed);
    return view.failed == 0 ? 0 : 1;
}
