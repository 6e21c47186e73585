// decodeResponseText over arbitrary bodies in every mode. The first byte chooses the mode and
// how the rest is packed: as it is, behind a bare gzip signature, or as a real gzip member.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "http/charsets.h"

namespace {

std::uint32_t crc32Of(std::string_view bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes)
        crc = table[(crc ^ static_cast<std::uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void appendLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// One gzip member holding `plain` in stored (uncompressed) deflate blocks.
std::string storedGzipOf(std::string_view plain) {
    std::string out("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\xFF", 10);
    std::size_t at = 0;
    do {
        const std::size_t size = std::min<std::size_t>(plain.size() - at, 65535);
        const bool last = at + size == plain.size();
        out += static_cast<char>(last ? 1 : 0);
        appendLittleEndian(out, static_cast<std::uint32_t>(size), 2);
        appendLittleEndian(out, static_cast<std::uint32_t>(~size & 0xFFFF), 2);
        out.append(plain.substr(at, size));
        at += size;
    } while (at < plain.size());
    appendLittleEndian(out, crc32Of(plain), 4);
    appendLittleEndian(out, static_cast<std::uint32_t>(plain.size()), 4);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t choice = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    // Modes -2..8 cover the known ones and a few the decoder must treat as "no conversion".
    const int mode = static_cast<int>(choice % 11) - 2;
    std::string body;
    switch ((choice / 11) % 3) {
        case 0:
            body.assign(rest);
            break;
        case 1:
            body = "\x1F\x8B" + std::string(rest);
            break;
        default:
            body = storedGzipOf(rest);
            break;
    }
    int used = -1;
    const std::string text = lianshuo::decodeResponseText(body, mode, &used);
    if (used < lianshuo::kNoConversion || used > lianshuo::kBig5Hkscs) __builtin_trap();
    return 0;
}
