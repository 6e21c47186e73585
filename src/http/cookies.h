#pragma once
// Cookie texts: "name=value" items joined by "; ", compared by exact case, and the
// Set-Cookie lines of a reply's header block (lines separated by "\r\n").

#include <string>
#include <string_view>

namespace lianshuo {

/// The items of `add`, then the items of `old` whose names `add` lacks, without items ending in
/// "=deleted", spaces removed and joined by "; ". `old` receives the result too.
std::string mergeCookies(std::string& old, std::string_view add);

/// `text` split at `separator`, with empty and repeated items dropped, joined again.
std::string removeDuplicateItems(std::string_view text, std::string_view separator);

/// Every line of the block that begins with "Set-Cookie:" (exact case), each followed by "\r\n".
std::string setCookieLinesOf(std::string_view headerBlock);

/// The Set-Cookie lines without their "Set-Cookie: " prefixes, each ended by "; ", attributes kept:
/// the text a later request sends back as its Cookie header.
std::string cookieHeaderOf(std::string_view headerBlock);

/// The value of cookie `name` in the block: the text after "Set-Cookie: name=" up to the next ";".
std::string responseCookieOf(std::string_view headerBlock, std::string_view name);

/// "name=value;" for each Set-Cookie line (case-blind), attributes dropped: "k=1;;" for the lines
/// "Set-Cookie: k=1; path=/" and "Set-Cookie: t=2".
std::string collectedCookiesOf(std::string_view headerBlock);

}  // namespace lianshuo
