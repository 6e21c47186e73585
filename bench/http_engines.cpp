// Sequential requests to a local service: both request engines against one reused libcurl
// handle (what `curl -K` does), over HTTP and HTTPS to a service that keeps connections alive,
// and over HTTPS to one that closes each (a new handshake, and the trust store, each time).
// HTTPS trusts the system's CA bundle plus the services' certificates, so that every cost
// users pay is in.

#include <benchmark/benchmark.h>

#include <curl/curl.h>
#include <chrono>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "http/httprequestobject.h"
#include "http/webrequest.h"
#include "support/test_server.h"

namespace {

using lianshuo::test::TestServer;

enum Scheme { kHttp, kHttps, kHttpsClosing };
enum Client { kWebRequest, kFetchPage, kLibcurl };
constexpr const char* kClients[] = {"webRequest_us", "fetchPage_us", "libcurl_us"};

constexpr const char* kSystemBundle = "/etc/ssl/certs/ca-certificates.crt";

struct Services {
    TestServer http{TestServer::Scheme::Http};
    TestServer https{TestServer::Scheme::Https};
    TestServer closing{TestServer::Scheme::Https};
    std::filesystem::path bundle;

    Services() {
        for (TestServer* server : {&http, &https, &closing}) {
            server->setKeepAlive(server != &closing);
            server->route("/short", [](lianshuo::test::Exchange& exchange) {
                exchange.answer(200, "http://s.test/" + exchange.request().target.substr(9));
            });
        }
        // The system's bundle with the service's certificate appended: trusting the service
        // costs what trusting a real one does.
        bundle = std::filesystem::temp_directory_path() / "lianshuo-bench-bundle.pem";
        std::ofstream out(bundle);
        out << std::ifstream(kSystemBundle).rdbuf();
        out << std::ifstream(https.certificateFile()).rdbuf();
        out << std::ifstream(closing.certificateFile()).rdbuf();
        setenv("SSL_CERT_FILE", bundle.string().c_str(), 1);
    }
    ~Services() { std::filesystem::remove(bundle); }

    std::string url(int scheme, long i) const {
        const TestServer& server = scheme == kHttp ? http : scheme == kHttps ? https : closing;
        return server.url("/short?u=" + std::to_string(i));
    }
};

Services* services = nullptr;

std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

// One request of each client in turn within each iteration, so that a slow moment of a
// shared machine falls on all three alike; each client's time is kept apart.
double ratios[3][2] = {};  // by scheme, by engine: the engine's time over the handle's

void requestsInTurn(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const auto scheme = static_cast<int>(state.range(0));
    lianshuo::HttpRequestObject object;
    CURL* reference = curl_easy_init();
    curl_easy_setopt(reference, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(reference, CURLOPT_CAINFO, services->bundle.c_str());
    Clock::duration spent[3] = {};
    long i = 0;
    int first = 0;
    for (auto _ : state) {
        // Each client goes first in its turn: none always follows the same one.
        first = (first + 1) % 3;
        for (int step = 0; step < 3; ++step) {
            const int client = (first + step) % 3;
            const std::string url = services->url(scheme, ++i);
            const auto start = Clock::now();
            bool ok = false;
            if (client == kWebRequest) {
                ok = !lianshuo::webRequest({.url = url}).body.empty();
            } else if (client == kFetchPage) {
                ok = !object.fetchPage(url).empty();
            } else {
                curl_easy_setopt(reference, CURLOPT_URL, url.c_str());
                ok = curl_easy_perform(reference) == CURLE_OK;
            }
            spent[client] += Clock::now() - start;
            if (!ok) state.SkipWithError("request failed");
        }
    }
    curl_easy_cleanup(reference);
    const double iterations = static_cast<double>(state.iterations());
    for (int client : {kWebRequest, kFetchPage, kLibcurl})
        state.counters[kClients[client]] =
            std::chrono::duration<double, std::micro>(spent[client]).count() / iterations;
    for (int engine : {kWebRequest, kFetchPage})
        ratios[scheme][engine] = std::chrono::duration<double>(spent[engine]) /
                                 std::chrono::duration<double>(spent[kLibcurl]);
}

BENCHMARK(requestsInTurn)
    ->ArgNames({"scheme"})
    ->Args({kHttp})
    ->Args({kHttps})
    ->Args({kHttpsClosing})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

// Prints "ratio <engine>_<scheme>_vs_one_libcurl_handle(max_1.3) <ratio>" for each engine.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const auto owned = std::make_unique<Services>();
    services = owned.get();
    benchmark::RunSpecifiedBenchmarks();
    static const char* const kSchemes[] = {"http", "https", "https_new_connections"};
    static const char* const kEngines[] = {"webRequest", "fetchPage"};
    for (int scheme : {kHttp, kHttps, kHttpsClosing})
        for (int engine : {kWebRequest, kFetchPage})
            if (ratios[scheme][engine] > 0)
                std::printf("ratio %s_%s_vs_one_libcurl_handle(max_1.3) %.2f\n", kEngines[engine],
                            kSchemes[scheme], ratios[scheme][engine]);
    benchmark::Shutdown();
    return 0;
}
