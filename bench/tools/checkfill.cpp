// A history of N stored links for the check benchmark, each short address one that the local
// service started with "redirect" sends on to its long address.
// Usage: checkfill HISTORY-FILE ROWS PORT

#include <cstdio>
#include <cstdlib>
#include <string>

#include "historyfill.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: checkfill HISTORY-FILE ROWS PORT\n");
        return 2;
    }
    const std::string base = "http://127.0.0.1:" + std::string(argv[3]) + "/s/";
    const auto hex = [](const std::string& bytes) {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string out;
        for (const char c : bytes) {
            out += kDigits[static_cast<unsigned char>(c) >> 4];
            out += kDigits[static_cast<unsigned char>(c) & 15];
        }
        return out;
    };
    const bool filled = lianshuo::bench::fillHistory(
        argv[1], std::atoll(argv[2]),
        [&](std::int64_t, const std::string& longUrl) { return base + hex(longUrl); });
    return filled ? 0 : 1;
}
