// Sequential requests to a local service: both request engines against one reused libcurl
// handle (what `curl -K` does), over HTTP and HTTPS to a service that keeps connections alive,
// and over HTTPS to one that closes each (a new handshake, and the trust store, each time).
// HTTPS trusts the system's CA bundle plus the services' certificates, so that every cost
// users pay is in.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "http/httprequestobject.h"
#include "http/webrequest.h"
#include "support/test_server.h"
#include "timekeeper.h"

namespace {

using lianshuo::test::TestServer;

enum Scheme { kHttp, kHttps, kHttpsClosing };
enum Client { kWebRequest, kFetchPage, kLibcurl };

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

void sequentialRequests(benchmark::State& state) {
    const auto scheme = static_cast<int>(state.range(0));
    const auto client = static_cast<int>(state.range(1));
    lianshuo::HttpRequestObject object;
    CURL* reference = client == kLibcurl ? curl_easy_init() : nullptr;
    if (reference != nullptr) {
        curl_easy_setopt(reference, CURLOPT_WRITEFUNCTION, discard);
        curl_easy_setopt(reference, CURLOPT_CAINFO, services->bundle.c_str());
    }
    long i = 0;
    for (auto _ : state) {
        const std::string url = services->url(scheme, ++i);
        bool ok = false;
        if (client == kWebRequest) {
            ok = !lianshuo::webRequest({.url = url}).body.empty();
        } else if (client == kFetchPage) {
            ok = !object.fetchPage(url).empty();
        } else {
            curl_easy_setopt(reference, CURLOPT_URL, url.c_str());
            ok = curl_easy_perform(reference) == CURLE_OK;
        }
        if (!ok) state.SkipWithError("request failed");
    }
    if (reference != nullptr) curl_easy_cleanup(reference);
}

BENCHMARK(sequentialRequests)
    ->ArgNames({"scheme", "client"})
    ->ArgsProduct({{kHttp, kHttps, kHttpsClosing}, {kWebRequest, kFetchPage, kLibcurl}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

// Prints "ratio <engine>_<scheme>_vs_one_libcurl_handle(max_1.3) <ratio>" for each engine.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const auto owned = std::make_unique<Services>();
    services = owned.get();
    TimeKeeper keeper;
    benchmark::RunSpecifiedBenchmarks(&keeper);
    static const char* const kSchemes[] = {"http", "https", "https_new_connections"};
    static const char* const kEngines[] = {"webRequest", "fetchPage"};
    for (int scheme : {kHttp, kHttps, kHttpsClosing}) {
        const std::string base = "sequentialRequests/scheme:" + std::to_string(scheme) + "/client:";
        const double reference = keeper.times[base + std::to_string(kLibcurl)];
        for (int engine : {kWebRequest, kFetchPage}) {
            const double time = keeper.times[base + std::to_string(engine)];
            if (time > 0 && reference > 0)
                std::printf("ratio %s_%s_vs_one_libcurl_handle(max_1.3) %.2f\n", kEngines[engine],
                            kSchemes[scheme], time / reference);
        }
    }
    benchmark::Shutdown();
    return 0;
}
