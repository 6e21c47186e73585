#pragma once
// How the regular-expression engine sees a GBK text: GB18030 decoded unit by
// unit, each unit one Unicode character. A byte that starts no valid sequence
// is a unit of its own and reads as U+FFFD, so a stray byte in a pattern never
// turns into a metacharacter and every engine offset maps back to a byte
// offset of the GBK text. The tables come from iconv, so a valid text decodes
// exactly as toUtf8 does; only the treatment of invalid bytes differs.

#include <cstddef>
#include <string>
#include <string_view>

namespace lianshuo::gbkunits {

inline constexpr char32_t kReplacement = 0xFFFD;

struct Unit {
    char32_t codePoint;
    std::size_t length;  // bytes of GBK text
};

/// The unit starting at `pos` (< text.size()).
Unit decodeUnit(std::string_view text, std::size_t pos);

/// Bytes of the UTF-8 form of `cp`.
inline std::size_t utf8Length(char32_t cp) {
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

/// Most UTF-8 bytes one GBK byte can turn into; size conversion buffers by it.
inline constexpr std::size_t kMaxGrowth = 3;

/// Writes the UTF-8 form of `gbk` to `out` (room for kMaxGrowth * size bytes); returns its length.
std::size_t toUtf8Units(std::string_view gbk, char* out);

/// The UTF-8 form of `gbk`, unit by unit.
std::string toUtf8Units(std::string_view gbk);

/// A place in a GBK text and the matching place in its UTF-8 form.
struct Position {
    std::size_t gbk = 0;
    std::size_t utf8 = 0;
};

/// Walks units of `gbk` from `from` until the UTF-8 offset reaches `utf8Target`
/// (or the text ends); a target behind `from` returns `from`.
Position walkTo(std::string_view gbk, Position from, std::size_t utf8Target);

}  // namespace lianshuo::gbkunits
