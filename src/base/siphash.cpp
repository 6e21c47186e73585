#include "base/siphash.h"

#include <bit>
#include <cstring>

namespace lianshuo {
namespace {

std::uint64_t readLittle(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}

struct SipState {
    std::uint64_t v0, v1, v2, v3;

    void round() {
        v0 += v1;
        v1 = std::rotl(v1, 13);
        v1 ^= v0;
        v0 = std::rotl(v0, 32);
        v2 += v3;
        v3 = std::rotl(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = std::rotl(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = std::rotl(v1, 17);
        v1 ^= v2;
        v2 = std::rotl(v2, 32);
    }
    void absorb(std::uint64_t word) {
        v3 ^= word;
        round();
        round();
        v0 ^= word;
    }
    std::uint64_t squeeze(std::uint64_t mark) {
        v2 ^= mark;
        for (int n = 0; n < 4; ++n) round();
        return v0 ^ v1 ^ v2 ^ v3;
    }
};

SipState absorbAll(const SipKey& key, std::string_view bytes, bool wide) {
    SipState s{key.k0 ^ 0x736f6d6570736575ULL, key.k1 ^ 0x646f72616e646f6dULL,
               key.k0 ^ 0x6c7967656e657261ULL, key.k1 ^ 0x7465646279746573ULL};
    if (wide) s.v1 ^= 0xee;
    const char* at = bytes.data();
    std::size_t left = bytes.size();
    for (; left >= 8; at += 8, left -= 8) s.absorb(readLittle(at));
    char last[8] = {};
    std::memcpy(last, at, left);
    s.absorb(readLittle(last) | (static_cast<std::uint64_t>(bytes.size() & 0xFF) << 56));
    return s;
}

}  // namespace

std::uint64_t sipHash64(const SipKey& key, std::string_view bytes) {
    return absorbAll(key, bytes, false).squeeze(0xff);
}

std::array<std::uint64_t, 2> sipHash128(const SipKey& key, std::string_view bytes) {
    SipState s = absorbAll(key, bytes, true);
    const std::uint64_t first = s.squeeze(0xee);
    s.v1 ^= 0xdd;
    for (int n = 0; n < 4; ++n) s.round();
    return {first, s.v0 ^ s.v1 ^ s.v2 ^ s.v3};
}

}  // namespace lianshuo
