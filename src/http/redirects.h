#pragma once
// Which redirects a request may follow, and what the next request of a followed one sends.
// Only the http library includes this header.

#include <string>
#include <string_view>

#include "http/transfer.h"

namespace lianshuo::transfer {

/// The most redirects one request follows.
inline constexpr long kMostRedirects = 10;

/// Why a redirect is not followed.
enum class RedirectVerdict {
    Follow,
    OtherHost,  // another host name or port (or no http/https address at all)
    PlainHttp,  // from https down to http
};

/// Whether a request to `current` may follow a redirect to `target`, given the first address
/// of the chain; all three absolute http or https addresses.
RedirectVerdict judgeRedirect(std::string_view first, std::string_view current,
                              std::string_view target);

/// The host of `url` as a reason names it: the name, and ":port" when the port is not the
/// scheme's usual one.
std::string shownHost(std::string_view url);

/// The request that follows a `status` redirect of `request` to `target`: 303 (and 301 or 302
/// after a POST) asks with GET and no body; 307 and 308 repeat the method and body.
Request followingRequest(const Request& request, std::string target, long status);

}  // namespace lianshuo::transfer
