// The file converter run again over a folder whose addresses are all in the
// history, side by side with the same run whose conversions a stub answers
// at no cost: prints "seconds-with-history seconds-stubbed", each the median of
// ROUNDS runs (5 unless given) taken in turns, so that a slow moment of the disk
// falls on both alike.
// Usage: historyscan FOLDER [PATTERN [ROUNDS]]

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "history/conversionhistory.h"
#include "jobs/fileconverter.h"
#include "jobs/fileconvertersettings.h"
#include "services/shorturlconverter.h"
#include "stubconversions.h"

using namespace lianshuo;

namespace {

// The stub's answers, also written into the real history.
struct FillingMemory : StubMemory {
    explicit FillingMemory(ConversionHistory& history) : real(history) {}
    HistoryLookup lookup(std::string_view key, std::string_view longUrl) override {
        if (!real.lookup(key, longUrl).shortUrl)
            (void)real.record(key, longUrl, "http://s.test/x");  // a miss only costs a request
        return StubMemory::lookup(key, longUrl);
    }
    ConversionHistory& real;
};

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
    std::vector<double> withHistory, stubbed;
    // Alternating which goes first, so that neither always runs on a warmer cache.
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) stubbed.push_back(timedRun(converter, view, stub));
        withHistory.push_back(timedRun(converter, view, history));
        if (round % 2 == 1) stubbed.push_back(timedRun(converter, view, stub));
    }
    (void)history.close();  // a folder about to be removed
    std::filesystem::remove_all(work);
    std::printf("%.4f %.4f\n", median(withHistory), median(stubbed));
    return view.failed == 0 ? 0 : 1;
}
