// The marker cuts and paired replacement over any text and markers. Input:
// one flag byte, then four texts separated by 0xFF bytes (text, left, right,
// and a replacement list).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/helpers.h"

namespace {

std::vector<std::string_view> fields(std::string_view input, std::size_t count) {
    std::vector<std::string_view> out;
    while (out.size() + 1 < count) {
        const std::size_t cut = input.find('\xFF');
        if (cut == std::string_view::npos) break;
        out.push_back(input.substr(0, cut));
        input.remove_prefix(cut + 1);
    }
    out.push_back(input);
    out.resize(count);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const unsigned flags = static_cast<unsigned char>(input[0]);
    const auto f = fields(input.substr(1), 4);

    long start = static_cast<long>(flags >> 3) - 2;  // -2 .. 29
    long last = static_cast<long>(flags & 3);
    for (int step = 0; step < 4; ++step) {
        const std::string cut = lianshuo::cutBetweenMarkers(f[0], f[1], f[2], flags & 4, start,
                                                            flags & 1, flags & 2, flags & 8, last);
        // A cut comes out of the text (with at most the two sentinels' worth around it).
        if (cut.size() > f[0].size() + 16) std::abort();
    }
    const std::string between = lianshuo::textBetween(f[0], f[1], f[2], flags % 7, flags & 16);
    if (between.size() > f[0].size()) std::abort();
    lianshuo::replaceEach(f[0], f[1], f[3]);
    lianshuo::hostOfUrl(f[0], flags & 32);
    return 0;
}
