// A local short-link service for the benchmarks: answers every request to
// /short with a short address, at once or after DELAY milliseconds, keeping connections alive,
// and every request to /token with {"access_token": …}, as a log-in does.
// With JSON-BYTES, the address comes as "data.url" of a JSON reply of about that
// size, the rest of it records of the kind a listing API sends.
// Prints "port certificate-file" and serves until its standard input closes (or ten minutes
// pass).
// Usage: fakeservice [http|https] [DELAY] [JSON-BYTES]

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/test_server.h"

int main(int argc, char** argv) {
    using lianshuo::test::TestServer;
    const bool https = argc > 1 && std::strcmp(argv[1], "https") == 0;
    TestServer server(https ? TestServer::Scheme::Https : TestServer::Scheme::Http);
    server.setKeepAlive(true);  // as real services do: a client that reuses connections gains
    const auto delay = std::chrono::milliseconds(argc > 2 ? std::atol(argv[2]) : 0);
    const std::size_t jsonBytes = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 0;
    std::string records;
    if (jsonBytes > 0) {
        records = "{\"items\":[";
        for (long i = 0; records.size() < jsonBytes; ++i)
            records += (i > 0 ? "," : "") + std::string("{\"id\":") + std::to_string(i) +
                       ",\"name\":\"item\",\"ok\":true,\"tags\":[1,2]}";
        records += "],\"data\":{\"url\":\"";
    }
    std::atomic<long> count{0};
    server.route("/short", [&count, &records, delay](lianshuo::test::Exchange& e) {
        if (delay.count() > 0 && !e.pause(delay)) return;
        const std::string link = "http://s.test/" + std::to_string(++count);
        e.answer(200, records.empty() ? link : records + link + "\"}}",
                 records.empty() ? std::vector<std::string>{}
                                 : std::vector<std::string>{"Content-Type: application/json"});
    });
    server.route("/token", [](lianshuo::test::Exchange& e) {
        e.answer(200, R"({"access_token":"bench-token","expires_in":3600})",
                 {"Content-Type: application/json"});
    });
    std::printf("%d %s\n", server.port(),
                server.certificateFile().empty() ? "-" : server.certificateFile().c_str());
    std::fflush(stdout);
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::minutes(10));
        std::_Exit(0);
    }).detach();
    char buffer[64];
    while (read(0, buffer, sizeof buffer) > 0) {
    }
    return 0;
}
