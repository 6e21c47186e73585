// The per-conversion cost of a JSON interface (a header, a JSON body and a
// JSON-path extraction) beside a plain GET interface whose whole reply is the
// short address, against the same local service that keeps connections alive,
// on both request engines.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "services/shorturlconverter.h"
#include "support/test_server.h"

namespace {

using lianshuo::BodyFormat;
using lianshuo::ExtractKind;
using lianshuo::ShortUrlInterface;
using lianshuo::test::Exchange;
using lianshuo::test::TestServer;

enum Kind { kPlainGet, kJson };

// The service answers a GET with the address alone, and a POST as a JSON API does: the short
// address among the other members such a reply carries.
struct Service {
    TestServer http{TestServer::Scheme::Http};
    TestServer https{TestServer::Scheme::Https};

    Service() {
        for (TestServer* server : {&http, &https}) {
            server->setKeepAlive(true);
            server->route("/short", [](Exchange& e) {
                static int count = 0;
                const std::string link = "https://s.test/" + std::to_string(++count);
                if (e.request().method == "GET") {
                    e.answer(200, link);
                    return;
                }
                e.answer(
                    201,
                    R"({"created_at":"2026-01-01T00:00:00+0000","id":"s.test/1","link":")" + link +
                        R"(","custom_bitlinks":[],"long_url":"http://a.test/","archived":false,"tags":[],"deeplinks":[]})",
                    {"Content-Type: application/json; charset=utf-8"});
            });
        }
        setenv("SSL_CERT_FILE", https.certificateFile().c_str(), 1);
    }
};

Service* service = nullptr;

ShortUrlInterface interfaceFor(int kind, bool secure) {
    const TestServer& server = secure ? service->https : service->http;
    ShortUrlInterface d;
    d.utf8Encoding = true;
    if (kind == kPlainGet) {
        d.address = server.url("/short?u=#长网址#");
        return d;
    }
    d.address = server.url("/short");
    d.postMode = true;
    d.headers = "Authorization: Bearer #令牌#";
    d.token = "0123456789abcdef0123456789abcdef";
    d.bodyFormat = BodyFormat::Json;
    d.postTemplate = R"({"long_url":"#长网址#","domain":"s.test"})";
    d.extractKind = ExtractKind::Json;
    d.extractExpression = "link";
    d.errorExpression = "description";
    return d;
}

void conversions(benchmark::State& state) {
    const ShortUrlInterface d = interfaceFor(static_cast<int>(state.range(0)), state.range(1) != 0);
    long i = 0;
    for (auto _ : state) {
        const std::string longUrl =
            "http://long.example/catalogue/item?id=" + std::to_string(++i) + "&ref=bench#top";
        if (!lianshuo::convertWithInterface(longUrl, d).ok())
            state.SkipWithError("conversion failed");
    }
}

BENCHMARK(conversions)
    ->ArgNames({"kind", "https"})
    ->ArgsProduct({{kPlainGet, kJson}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

// Keeps the median of each benchmark's repetitions.
class Medians : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                times[run.run_name.str()] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};

// Prints "ratio json_interface_vs_plain_get_<scheme>(max_1.2) <ratio>" for each engine: the
// medians of interleaved repetitions, as a machine shared with other work is noisy.
int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=9";
    std::string interleaving = "--benchmark_enable_random_interleaving=true";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + 1, {repetitions.data(), interleaving.data(), aggregates.data()});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    const auto owned = std::make_unique<Service>();
    service = owned.get();
    Medians medians;
    benchmark::RunSpecifiedBenchmarks(&medians);
    for (int secure : {0, 1}) {
        const std::string suffix = "/https:" + std::to_string(secure);
        const double plain = medians.times["conversions/kind:0" + suffix];
        const double json = medians.times["conversions/kind:1" + suffix];
        if (plain > 0 && json > 0)
            std::printf("ratio json_interface_vs_plain_get_%s(max_1.2) %.2f\n",
                        secure ? "https" : "http", json / plain);
    }
    benchmark::Shutdown();
    return 0;
}
