// A local short-link service for the benchmarks: answers every request to
// /short with a short address, at once or after DELAY milliseconds, keeping connections alive,
// and every request to /token with {"access_token": …}, as a log-in does.
// With JSON-BYTES, the address comes as "data.url" of a JSON reply of about that
// size, the rest of it records of the kind a listing API sends.
// With "redirect" after them, the short addresses lead somewhere as real ones do: the address
// given for LONG is http://127.0.0.1:PORT/s/HEX (HEX: LONG's bytes), and a request for it is
// answered, after the same DELAY, with a 302 to LONG.
// Prints "port certificate-file" and serves until its standard input closes (or ten minutes
// pass, or an hour with "redirect", whose checks of 100,000 stored links take minutes).
// Usage: fakeservice [http|https] [DELAY] [JSON-BYTES] [redirect]

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/test_server.h"

namespace {

std::string toHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        out += kDigits[static_cast<unsigned char>(c) >> 4];
        out += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return out;
}

std::string fromHex(std::string_view hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return out;
}

// The long address of a "/short?u=…" request, its escapes undone.
std::string longOf(std::string_view target) {
    const std::size_t at = target.find("u=");
    std::string out;
    for (std::size_t i = at == std::string_view::npos ? target.size() : at + 2; i < target.size();
         ++i) {
        if (target[i] == '%' && i + 2 < target.size()) {
            out += fromHex(target.substr(i + 1, 2));
            i += 2;
        } else {
            out += target[i];
        }
    }
    return out;
}

}  // namespace

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
    const bool redirect = argc > 4 && std::strcmp(argv[4], "redirect") == 0;
    const std::string own = server.url("/s/");
    if (redirect) {
        server.routeOthers([delay](lianshuo::test::Exchange& e) {
            if (delay.count() > 0 && !e.pause(delay)) return;
            const std::string& path = e.request().path;
            if (!path.starts_with("/s/")) {
                e.answer(404, "");
                return;
            }
            e.answer(302, "", {"Location: " + fromHex(path.substr(3))});
        });
    }
    std::atomic<long> count{0};
    server.route("/short", [&count, &records, delay, redirect, own](lianshuo::test::Exchange& e) {
        if (delay.count() > 0 && !e.pause(delay)) return;
        const std::string link = redirect ? own + toHex(longOf(e.request().target))
                                          : "http://s.test/" + std::to_string(++count);
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
    std::thread([redirect] {
        std::this_thread::sleep_for(std::chrono::minutes(redirect ? 60 : 10));
        std::_Exit(0);
    }).detach();
    char buffer[64];
    while (read(0, buffer, sizeof buffer) > 0) {
    }
    return 0;
}
