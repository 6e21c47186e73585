#pragma once
// The encodings the services put long addresses and replies through.

#include <string>
#include <string_view>

namespace lianshuo {

/// The UTF-8 form of a long address (or another value sent with it): GBK
/// characters as UTF-8, and every byte that starts none as "%XX" of the
/// byte, so that no address is cut short and distinct ones stay distinct.
std::string longUrlToUtf8(std::string_view gbk);

/// The long address for a custom interface's templates: every byte but ASCII
/// letters, digits, ".", "_" and "-" as %XX, over its UTF-8 (or GBK) bytes.
std::string percentEncodeLongUrl(std::string_view text, bool utf8);

/// The long address as a URL query component: letters, digits and !()-.*_ stay.
std::string percentEncodeComponent(std::string_view text, bool utf8);

/// A JSON string's contents with "\uXXXX", "\"" and "\/" decoded, as GBK.
std::string unescapeJsonText(std::string_view text);

/// `text` as the contents of a JSON string: backslash, quote and control characters escaped.
std::string escapeJsonString(std::string_view text);

/// The text a failed conversion shows in its row, results and command line.
const std::string& conversionErrorText();

}  // namespace lianshuo
