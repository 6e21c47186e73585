#pragma once
// SHA-256 (FIPS 180-2) and HMAC-SHA-256 (RFC 2104), small and self-contained:
// the history keys secrets with them, and the core takes no crypto library for it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lianshuo {

/// A SHA-256 digest.
using Sha256Digest = std::array<std::uint8_t, 32>;

/// SHA-256 fed in pieces.
class Sha256 {
public:
    Sha256();
    void update(std::string_view bytes);
    /// The digest of everything fed; the object is spent afterwards.
    Sha256Digest finish();

private:
    void compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> block_{};
    std::size_t filled_ = 0;
    std::uint64_t length_ = 0;  // bytes fed so far
};

/// SHA-256 of `bytes`.
Sha256Digest sha256(std::string_view bytes);

/// HMAC-SHA-256 of `message` under `key`.
Sha256Digest hmacSha256(std::string_view key, std::string_view message);

/// Lower-case hex digits of `digest`.
std::string hexDigits(const Sha256Digest& digest);

}  // namespace lianshuo
