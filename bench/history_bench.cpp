// Look-ups in a history of 1,000,000 conversions: hits at random and misses.
// The goal is at most 0.1 ms (100 us) a look-up on average.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "history/conversionhistory.h"
#include "timekeeper.h"
#include "tools/historyfill.h"

using namespace lianshuo;

namespace {

constexpr std::int64_t kRows = 1000000;

std::filesystem::path benchFolder() {
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("lianshuo-history-bench-" + std::to_string(getpid()));
    return folder;
}

// The one history every case reads, filled at its first use.
ConversionHistory& sharedHistory() {
    static ConversionHistory history;
    if (!history.isOpen()) {
        std::filesystem::create_directories(benchFolder());
        const std::string path = (benchFolder() / "h.sqlite").string();
        if (!bench::fillHistory(path, kRows) || !history.open(path).ok()) std::abort();
    }
    return history;
}

void lookupHit(benchmark::State& state) {
    ConversionHistory& history = sharedHistory();
    std::mt19937_64 random(7);
    std::uniform_int_distribution<std::int64_t> row(0, kRows - 1);
    for (auto _ : state) {
        const HistoryLookup hit =
            history.lookup(bench::kBenchServiceKey, bench::benchLongUrl(row(random)));
        if (!hit.shortUrl) state.SkipWithError("a stored address was not found");
        benchmark::DoNotOptimize(hit);
    }
}

void lookupMiss(benchmark::State& state) {
    ConversionHistory& history = sharedHistory();
    std::int64_t n = kRows;
    for (auto _ : state) {
        const HistoryLookup miss =
            history.lookup(bench::kBenchServiceKey, bench::benchLongUrl(n++));
        if (miss.shortUrl) state.SkipWithError("an address never stored was found");
        benchmark::DoNotOptimize(miss);
    }
}

// The same thousand addresses again and again, as a re-run over a site looks them up.
void lookupAgain(benchmark::State& state) {
    ConversionHistory& history = sharedHistory();
    std::int64_t n = 0;
    for (auto _ : state) {
        const HistoryLookup hit =
            history.lookup(bench::kBenchServiceKey, bench::benchLongUrl(n++ % 1000));
        if (!hit.shortUrl) state.SkipWithError("a stored address was not found");
        benchmark::DoNotOptimize(hit);
    }
}

// Each conversion a batch finishes is one committed upsert, in a history of its own.
void recordNew(benchmark::State& state) {
    ConversionHistory history;
    const std::string path = (benchFolder() / "record.sqlite").string();
    if (!history.open(path).ok()) std::abort();
    std::int64_t n = 0;
    for (auto _ : state) {
        const std::string longUrl = bench::benchLongUrl(n++);
        if (!history.record(bench::kBenchServiceKey, longUrl, "https://s.example/x").ok())
            state.SkipWithError("a record failed");
    }
    if (!history.close().ok()) state.SkipWithError("the history could not be closed");
}

BENCHMARK(recordNew)->Unit(benchmark::kMicrosecond);
BENCHMARK(lookupHit)->Unit(benchmark::kMicrosecond);
BENCHMARK(lookupAgain)->Unit(benchmark::kMicrosecond);
BENCHMARK(lookupMiss)->Unit(benchmark::kMicrosecond);

}  // namespace

// Prints "ratio <name> <average microseconds>"; the goal is at most 100.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TimeKeeper keeper;
    benchmark::RunSpecifiedBenchmarks(&keeper);
    // The reporter's colour reset starts the next line: give it one of its own.
    std::printf("\n");
    // Names carry the run's options ("lookupHit/min_time:0.200"): match their start.
    for (const std::string name : {"lookupHit", "lookupAgain", "lookupMiss"})
        for (const auto& [run, micros] : keeper.times)
            if (run == name || run.rfind(name + "/", 0) == 0)
                std::printf("ratio history_%s_1M_rows_us(max_100) %.2f\n", name.c_str(), micros);
    (void)sharedHistory().close();  // a folder about to be removed
    std::filesystem::remove_all(benchFolder());
    benchmark::Shutdown();
    return 0;
}
