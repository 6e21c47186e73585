// A local short-link service for the benchmarks: answers every request to
// /short with a short address, at once or after DELAY milliseconds, keeping connections alive.
// Prints "port certificate-file" and serves until its standard input closes (or ten minutes
// pass).
// Usage: fakeservice [http|https] [DELAY]

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "support/test_server.h"

int main(int argc, char** argv) {
    using lianshuo::test::TestServer;
    const bool https = argc > 1 && std::strcmp(argv[1], "https") == 0;
    TestServer server(https ? TestServer::Scheme::Https : TestServer::Scheme::Http);
    server.setKeepAlive(true);  // as real services do: a client that reuses connections gains
    const auto delay = std::chrono::milliseconds(argc > 2 ? std::atol(argv[2]) : 0);
    std::atomic<long> count{0};
    server.route("/short", [&count, delay](lianshuo::test::Exchange& e) {
        if (delay.count() > 0 && !e.pause(delay)) return;
        e.answer(200, "http://s.test/" + std::to_string(++count));
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
