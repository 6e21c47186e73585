#pragma once
// Charset conversion at the edges of the program (widgets, terminal, file
// system, HTTP bodies). Inside, texts are GB18030, a superset of GBK, so that
// characters outside GBK survive a round trip.

#include <string>
#include <string_view>

namespace lianshuo {

/// Converts `bytes` from charset `from` to charset `to` (iconv names). A byte
/// sequence that cannot be converted becomes "?" and conversion goes on; an
/// incomplete sequence at the end is dropped. Returns empty text when either
/// charset is unknown.
std::string convertCharset(std::string_view bytes, const char* from, const char* to);

/// Internal text to UTF-8.
std::string toUtf8(std::string_view gbk);

/// UTF-8 to internal text.
std::string fromUtf8(std::string_view utf8);

/// True when `bytes` are well-formed UTF-8 (any length of sequence, no overlongs).
bool isValidUtf8(std::string_view bytes);
/// The same, a byte or a word at a time: for processors without 256-bit vectors.
bool isValidUtf8WithoutVectors(std::string_view bytes);

}  // namespace lianshuo
