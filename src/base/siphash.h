#pragma once
// SipHash-2-4 (Aumasson and Bernstein, 2012): a keyed hash for short texts.
// Under a secret key nobody can build texts that collide, so a table keyed by
// its 128-bit form needs no other proof that two texts are the same, and it
// costs a small part of a cryptographic digest.

#include <array>
#include <cstdint>
#include <string_view>

namespace lianshuo {

struct SipKey {
    std::uint64_t k0 = 0, k1 = 0;
};

/// The 64-bit tag of `bytes` under `key`.
std::uint64_t sipHash64(const SipKey& key, std::string_view bytes);

/// The 128-bit tag of `bytes` under `key`, as two words (the first eight bytes
/// of the reference's output, read little-endian, then the next eight).
std::array<std::uint64_t, 2> sipHash128(const SipKey& key, std::string_view bytes);

}  // namespace lianshuo
