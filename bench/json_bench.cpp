// getValue on replies of 10 KB, 100 KB and 1 MB in three shapes, each time for
// the member at the very end so the whole reply is scanned. Time should grow
// about linearly: compare each 1 MB case with its 100 KB case.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "script/jsonreader.h"
#include "timekeeper.h"

namespace {

enum Shape { kFlat, kNestedArrays, kLongStrings };

constexpr const char* kTail = "\"ShortUrl\":\"https:\\/\\/dwz.cn\\/abc\"}";

std::string reply(Shape shape, std::size_t size) {
    std::string text = "{";
    for (int i = 0; text.size() < size; ++i) {
        const std::string n = std::to_string(i);
        switch (shape) {
            case kFlat:
                text += "\"key" + n + "\" : \"value " + n + "\", \"n" + n + "\":" + n + ",";
                break;
            case kNestedArrays:
                text += "\"rows" + n + "\":[[" + n + ",2,3],[4,[5,6],\"x,]\"],{\"k\":[7]}],";
                break;
            case kLongStrings:
                // "\xD6\xD0\xCE\xC4" is two ideographs; structure inside strings must be skipped.
                text += "\"text" + n + "\":\"";
                for (int k = 0; k < 400; ++k) text += "a{b}[c],d:\\\"\xD6\xD0\xCE\xC4 ";
                text += "\",";
                break;
        }
    }
    return text + kTail;
}

void getValueAtEnd(benchmark::State& state) {
    const std::string json =
        reply(static_cast<Shape>(state.range(0)), static_cast<std::size_t>(state.range(1)));
    lianshuo::JsonReader reader;
    for (auto _ : state) {
        std::string value = reader.getValue(json, "ShortUrl");
        benchmark::DoNotOptimize(value);
        if (value.empty()) state.SkipWithError("value not found");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * json.size()));
}

}  // namespace

BENCHMARK(getValueAtEnd)
    ->ArgNames({"shape", "bytes"})
    ->ArgsProduct({{kFlat, kNestedArrays, kLongStrings}, {10 << 10, 100 << 10, 1 << 20}})
    ->Unit(benchmark::kMicrosecond);

// Prints "ratio <name> <1 MB time / 100 KB time>" per shape; the goal is at most 15.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TimeKeeper keeper;
    benchmark::RunSpecifiedBenchmarks(&keeper);
    static const char* const kShapeNames[] = {"flat_object", "nested_arrays", "long_strings"};
    for (int shape = kFlat; shape <= kLongStrings; ++shape) {
        const std::string base = "getValueAtEnd/shape:" + std::to_string(shape) + "/bytes:";
        const double big = keeper.times[base + "1048576"];
        const double small = keeper.times[base + "102400"];
        if (big > 0 && small > 0)
            std::printf("ratio json_%s_1MB/100KB(max_15) %.2f\n", kShapeNames[shape], big / small);
    }
    benchmark::Shutdown();
    return 0;
}
