#pragma once
// Reply bodies become internal (GB18030) text here: gzip is undone, then the
// charset is taken from the caller, a byte-order mark, a meta tag or the UTF-8
// byte pattern, in that order.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lianshuo {

/// How a reply body becomes text.
enum CharsetMode : int {
    kDetect = 0,
    kNoConversion = 1,
    kUtf8 = 2,
    kUtf16Le = 3,
    kUtf16Be = 4,
    kBig5 = 5,
    kBig5Hkscs = 6
};

/// The largest reply body, before or after gzip, that is read at all.
inline constexpr std::size_t kMaxResponseBytes = std::size_t{64} << 20;

/// Body bytes (gunzipped first when they start with 1F 8B) to GBK text; usedMode gets the mode
/// used (1 = unconverted). Empty when the gzip body is cut off, damaged or expands past
/// kMaxResponseBytes.
std::string decodeResponseText(std::string_view bytes, int mode, int* usedMode = nullptr);

/// decodeResponseText over the content of the file at `pathGbk`; empty when it cannot be read.
std::string decodeResponseFile(std::string_view pathGbk, int mode, int* usedMode = nullptr);

/// True when every byte belongs to ASCII or a 2- or 3-byte UTF-8 sequence and at least one
/// such sequence occurs.
bool looksLikeUtf8(std::string_view bytes);

/// The charset the first telling meta tag of the page's head declares: 0 none, 1 UTF-8,
/// 2 Big5, 3 Big5-HKSCS.
int metaCharsetOf(std::string_view html);

/// True when `text` holds, case-blind, charset=NAME bare, in double quotes or in apostrophes.
bool declaresCharset(std::string_view text, std::string_view name);

/// The gunzipped bytes; nullopt when they expand past `limit` or are not a complete gzip stream.
std::optional<std::string> gunzipBytes(std::string_view bytes,
                                       std::size_t limit = kMaxResponseBytes);

}  // namespace lianshuo
