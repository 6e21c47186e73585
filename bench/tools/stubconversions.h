#pragma once
// What the file converter benchmarks share: a view that shows nothing, a
// source with one custom interface, and a history that answers every address
// at no cost, so that a run measures the converter's own work.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "history/conversionmemory.h"
#include "jobs/fileconverter.h"
#include "services/shorturlconverter.h"

namespace lianshuo {

struct QuietView : FileConverterView {
    FileConverterSettings input;
    FileConverterSettings settings() const override { return input; }
    void showMessage(std::string_view text) override {
        std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
    }
    void showOutcome(int, const ConversionOutcome& outcome) override {
        failed += outcome.ok() ? 0 : 1;
    }
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
    Status record(std::string_view, std::string_view, std::string_view) override { return {}; }
};

/// The median of `times` (not empty).
inline double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const std::size_t middle = times.size() / 2;
    return times.size() % 2 != 0 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
}

inline double timedRun(ShortUrlConverter& converter, QuietView& view, ConversionMemory& memory) {
    converter.setHistory(&memory);
    FileConverterEngine engine(view, converter);
    const auto start = std::chrono::steady_clock::now();
    engine.startOrStopConversion(false);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace lianshuo
