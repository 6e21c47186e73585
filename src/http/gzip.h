#pragma once
// Inflating gzip reply bodies without trusting their size.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lianshuo {

inline constexpr std::string_view kGzipSignature = "\x1F\x8B";

enum class GunzipStatus { Complete, TooLarge, Broken };

struct GunzipResult {
    GunzipStatus status = GunzipStatus::Broken;
    std::string bytes;  // what came out; partial when Broken, empty when TooLarge
};

/// Inflates every gzip member in `bytes`, stopping once the output would pass `limit`.
GunzipResult gunzip(std::string_view bytes, std::size_t limit);

/// The body to read: gunzipped when it starts with the gzip signature, else as it is; nullopt
/// when the gzip stream is cut off or damaged, or expands past kMaxResponseBytes.
std::optional<std::string> expandedBody(std::string_view body);

}  // namespace lianshuo
