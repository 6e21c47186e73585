// execute() of the file converter's URL pattern over 10 MB of GBK text, next
// to the engine called directly on the same text already in UTF-8 with the
// same options: the difference is what the conversions around the engine cost.

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "base/charset.h"
#include "script/regexobject.h"

namespace {

constexpr const char* kUrlPattern = "[a-zA-z]+://[^\\s\"'<>\\u4e00-\\u9fa5]+";

// Prose with a web address every few hundred bytes, in GBK.
const std::string& gbkText() {
    static const std::string text = [] {
        static const char* const kPieces[] = {
            "\xD6\xD0\xCE\xC4\xCE\xC4\xB1\xBE",  // four ideographs
            "\xA3\xAC",                          // full-width comma
            "the quick brown fox ",
            "\r\n",
            "<a href=\"https://www.example.com/path/page.html?id=42\">",
            "\xC1\xB4\xBD\xD3http://t.cn/Abc123\xA1\xA3",
            "\xB2\xE2\xCA\xD4 ",
        };
        std::mt19937 random(7);
        std::string out;
        while (out.size() < (10u << 20)) {
            const std::size_t roll = random() % 40;
            out += kPieces[roll < 20   ? 0
                           : roll < 28 ? 6
                           : roll < 33 ? 2
                           : roll < 36 ? 1
                           : roll < 38 ? 3
                           : roll < 39 ? 4
                                       : 5];
        }
        return out;
    }();
    return text;
}

// The engine alone: the URL pattern with RegexObject's options, over UTF-8.
class DirectEngine {
public:
    DirectEngine() {
        int error = 0;
        PCRE2_SIZE offset = 0;
        code_ = pcre2_compile(
            reinterpret_cast<PCRE2_SPTR>(kUrlPattern), PCRE2_ZERO_TERMINATED,
            PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_MATCH_INVALID_UTF | PCRE2_CASELESS | PCRE2_MULTILINE,
            &error, &offset, nullptr);
        pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE);
        data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    }
    ~DirectEngine() {
        pcre2_match_data_free(data_);
        pcre2_code_free(code_);
    }
    DirectEngine(const DirectEngine&) = delete;
    DirectEngine& operator=(const DirectEngine&) = delete;

    long count(const std::string& utf8) {
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data_);
        long matches = 0;
        PCRE2_SIZE start = 0;
        while (pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(utf8.data()), utf8.size(), start, 0,
                           data_, nullptr) > 0) {
            ++matches;
            start = ovector[1];
        }
        return matches;
    }

private:
    pcre2_code* code_ = nullptr;
    pcre2_match_data* data_ = nullptr;
};

double measuredRatio = 0;

// Both sides run in turn within each iteration, so a busy machine slows both alike.
void executeVersusDirect(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    lianshuo::RegexObject url;
    if (const lianshuo::Status compiled = url.create(kUrlPattern); !compiled) {
        state.SkipWithError(compiled.reason().c_str());
        return;
    }
    DirectEngine direct;
    const std::string utf8 = lianshuo::toUtf8(gbkText());
    Clock::duration ours{}, engine{};
    long ourCount = 0, engineCount = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        ourCount = url.execute(gbkText());
        const auto middle = Clock::now();
        engineCount = direct.count(utf8);
        ours += middle - start;
        engine += Clock::now() - middle;
    }
    if (ourCount != engineCount) state.SkipWithError("the match counts differ");
    const double iterations = static_cast<double>(state.iterations());
    state.counters["regexobject_ms"] =
        std::chrono::duration<double, std::milli>(ours).count() / iterations;
    state.counters["direct_ms"] =
        std::chrono::duration<double, std::milli>(engine).count() / iterations;
    state.counters["matches"] = static_cast<double>(ourCount);
    measuredRatio = std::chrono::duration<double>(ours) / std::chrono::duration<double>(engine);
}

}  // namespace

BENCHMARK(executeVersusDirect)->Unit(benchmark::kMillisecond);

// Prints "ratio <name> <RegexObject time / engine time>"; the goal is at most 3.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (measuredRatio > 0)
        std::printf("ratio regex_execute/pcre2_direct(max_3) %.2f\n", measuredRatio);
    benchmark::Shutdown();
    return 0;
}
