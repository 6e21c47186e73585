#pragma once
// Replacing a long address inside a file's own bytes (UTF-8 or GBK).

#include <string>
#include <string_view>

namespace lianshuo {

/// `bytes` with every whole occurrence of `longUrl` replaced by `shortUrl`.
/// An occurrence counts only when what follows cannot continue an address
/// (end, white space, a quote, "<", ">" or a CJK ideograph) and what precedes
/// it is not a scheme letter, so "http://a.test/x" never rewrites the start of
/// "http://a.test/xyz". All three texts are in the file's encoding.
std::string replaceWholeUrl(std::string_view bytes, std::string_view longUrl,
                            std::string_view shortUrl, bool utf8);

}  // namespace lianshuo
