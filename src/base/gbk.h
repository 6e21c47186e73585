#pragma once
// The text layer: every text inside the program is a GBK (GB18030) byte string.
// A byte of 0x80 or above and the byte after it form one character, so every
// search here matches only on character boundaries and no case change touches
// the second byte of a pair. Positions are 0-based byte offsets; npos means
// not found.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lianshuo {

inline constexpr std::size_t npos = std::string_view::npos;

/// True when the byte starts a two-byte character.
inline bool isLeadByte(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

/// Length in bytes of the character starting at `pos` (1 or 2; 1 at the last byte).
inline std::size_t charLength(std::string_view text, std::size_t pos) {
    return isLeadByte(text[pos]) && pos + 1 < text.size() ? 2 : 1;
}

/// First occurrence of `needle` starting on a character boundary at or after `from`.
/// `from` must itself lie on a boundary. An empty needle is found at `from`.
std::size_t findText(std::string_view text, std::string_view needle, std::size_t from = 0);

/// As findText, ignoring the case of ASCII letters.
std::size_t findTextNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);

/// Last boundary-aligned occurrence of `needle` that ends at or before `end`.
std::size_t rfindText(std::string_view text, std::string_view needle, std::size_t end = npos,
                      bool ignoreCase = false);

/// True when `needle` occurs in `text` on a character boundary.
inline bool containsText(std::string_view text, std::string_view needle, bool ignoreCase = false) {
    return (ignoreCase ? findTextNoCase(text, needle) : findText(text, needle)) != npos;
}

/// Every boundary-aligned occurrence of `from` replaced by `to`, left to right.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to,
                       bool ignoreCase = false);

/// ASCII letters lowered; second bytes of double-byte characters untouched.
std::string toLowerAscii(std::string_view text);

/// True when `text` begins with `prefix`, ignoring the case of ASCII letters.
bool startsWithNoCase(std::string_view text, std::string_view prefix);

/// `text` without the spaces at both ends; with `fullWidth`, the ideographic
/// space (A1 A1) and tabs count as spaces too.
std::string trimSpaces(std::string_view text, bool fullWidth = false);

/// `text` split at every occurrence of `separator` (boundary-aligned); always
/// at least one item.
std::vector<std::string> splitText(std::string_view text, std::string_view separator);

/// The items joined with `separator` between them.
std::string joinText(const std::vector<std::string>& items, std::string_view separator);

}  // namespace lianshuo

namespace lianshuo {

/// The first character boundary at or after `pos` (walks from the start of the text).
std::size_t alignToBoundary(std::string_view text, std::size_t pos);

}  // namespace lianshuo
