#pragma once
// Where a short address leads: its redirects followed while they stay on its own host, the first
// one that leaves it taken as its target and compared with the long address it stands for.

#include <string>
#include <string_view>

#include "services/linkhop.h"

namespace lianshuo {

/// What a check found, in the order the history stores it (0-3).
enum class LinkState : int {
    Unknown = 0,    // 未能验证: a page, an error status, no reply (the reason says which)
    Valid = 1,      // 有效: it leads to its long address
    Dead = 2,       // 失效: 404 or 410
    Elsewhere = 3,  // 指向别处: it leads to another address
};

struct LinkCheck {
    LinkState state = LinkState::Unknown;
    std::string target;  // the first Location off the short address's host; empty without one
    std::string reason;  // GBK, one line: why it is not Valid; empty when it is
    long status = 0;     // the last reply's status, 0 without one
    bool stopped = false;
};

/// The most redirects followed on the short address's own host.
inline constexpr int kMostOwnHostHops = 5;

/// Checks `shortUrl` against `longUrl` with bare requests (see requestLinkHop).
LinkCheck checkShortLink(std::string_view shortUrl, std::string_view longUrl,
                         const LinkHopOptions& options = {});

/// `url` as two addresses are compared: scheme and host in lower case, the default port dropped,
/// an empty path as "/", percent-encoded unreserved characters decoded and the other escapes'
/// hex digits in upper case; the query and the fragment as they are.
std::string normalisedAddress(std::string_view url);

/// "有效", "失效", "指向别处" or "未能验证".
std::string_view linkStateText(LinkState state);

}  // namespace lianshuo
