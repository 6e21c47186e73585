#include "base/digests.h"

#include <array>
#include <cstdint>

namespace lianshuo {
namespace {

constexpr std::uint32_t rotateLeft(std::uint32_t value, unsigned bits) {
    return (value << bits) | (value >> (32 - bits));
}

// The message padded to whole 64-byte blocks, its bit length at the end in the given order.
std::string padded(std::string_view bytes, bool bigEndianLength) {
    std::string out(bytes);
    out += '\x80';
    while (out.size() % 64 != 56) out += '\0';
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (unsigned i = 0; i < 8; ++i)
        out += static_cast<char>(bits >> (bigEndianLength ? 56 - 8 * i : 8 * i));
    return out;
}

std::uint32_t byteAt(const std::string& text, std::size_t at) {
    return static_cast<unsigned char>(text[at]);
}

std::string hex(const std::uint32_t* words, std::size_t count, bool bigEndian) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t w = 0; w < count; ++w)
        for (unsigned i = 0; i < 4; ++i) {
            const auto byte =
                static_cast<unsigned>(words[w] >> (bigEndian ? 24 - 8 * i : 8 * i)) & 0xFF;
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    return out;
}

}  // namespace

std::string md5Hex(std::string_view bytes) {
    static constexpr std::array<unsigned, 64> kShifts = {
        7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 5,  9,  14, 20, 5,  9,
        14, 20, 5,  9,  14, 20, 5,  9,  14, 20, 4,  11, 16, 23, 4,  11, 16, 23, 4,  11, 16, 23,
        4,  11, 16, 23, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21};
    // floor(abs(sin(i + 1)) * 2^32), as the RFC defines them.
    static constexpr std::array<std::uint32_t, 64> kSines = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
        0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
        0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
        0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
        0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
        0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
        0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
        0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
        0xeb86d391};
    std::uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    const std::string message = padded(bytes, false);
    for (std::size_t block = 0; block < message.size(); block += 64) {
        std::uint32_t m[16];
        for (std::size_t i = 0; i < 16; ++i) {
            const std::size_t at = block + 4 * i;
            m[i] = byteAt(message, at) | byteAt(message, at + 1) << 8 |
                   byteAt(message, at + 2) << 16 | byteAt(message, at + 3) << 24;
        }
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
        for (std::size_t i = 0; i < 64; ++i) {
            std::uint32_t f = 0;
            std::size_t g = 0;
            if (i < 16) {
                f = (b & c) | (~b & d);
                g = i;
            } else if (i < 32) {
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = 7 * i % 16;
            }
            const std::uint32_t next = d;
            d = c;
            c = b;
            b = b + rotateLeft(a + f + kSines[i] + m[g], kShifts[i]);
            a = next;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }
    return hex(h, 4, false);
}

std::string sha1Hex(std::string_view bytes) {
    std::uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    const std::string message = padded(bytes, true);
    for (std::size_t block = 0; block < message.size(); block += 64) {
        std::uint32_t w[80];
        for (std::size_t i = 0; i < 16; ++i) {
            const std::size_t at = block + 4 * i;
            w[i] = byteAt(message, at) << 24 | byteAt(message, at + 1) << 16 |
                   byteAt(message, at + 2) << 8 | byteAt(message, at + 3);
        }
        for (std::size_t i = 16; i < 80; ++i)
            w[i] = rotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (std::size_t i = 0; i < 80; ++i) {
            std::uint32_t f = 0, k = 0;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6;
            }
            const std::uint32_t next = rotateLeft(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = rotateLeft(b, 30);
            b = a;
            a = next;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
    return hex(h, 5, true);
}

}  // namespace lianshuo
