// A service's API has no reason to send a create call to another host, and the request carries
// the interface's keys (in its address, its headers, its body): a redirect is followed only to
// the host that was asked, and never from https down to http.

#include "http/redirects.h"

#include <algorithm>
#include <array>

#include "base/gbk.h"

namespace lianshuo::transfer {
namespace {

struct Origin {
    std::string scheme;  // "http" or "https"; empty for any other address
    std::string host;    // lower case, brackets kept around an IPv6 literal
    int port = 0;
};

int defaultPort(std::string_view scheme) {
    return scheme == "https" ? 443 : 80;
}

Origin originOf(std::string_view url) {
    Origin origin;
    const std::size_t colon = url.find("://");
    if (colon == std::string_view::npos) return origin;
    const std::string scheme = toLowerAscii(url.substr(0, colon));
    if (scheme != "http" && scheme != "https") return origin;
    std::string_view authority = url.substr(colon + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    const std::size_t bracket = authority.rfind(']');
    const std::size_t portColon = authority.rfind(':');
    origin.port = defaultPort(scheme);
    if (portColon != std::string_view::npos &&
        (bracket == std::string_view::npos || portColon > bracket)) {
        const std::string_view digits = authority.substr(portColon + 1);
        if (!digits.empty()) {
            if (digits.size() > 5 || digits.find_first_not_of("0123456789") != npos) return {};
            origin.port = std::stoi(std::string(digits));
        }
        authority = authority.substr(0, portColon);
    }
    // "Host." names the same host as "host".
    if (authority.ends_with('.')) authority.remove_suffix(1);
    if (authority.empty()) return {};
    origin.scheme = scheme;
    origin.host = toLowerAscii(authority);
    return origin;
}

// Header lines that carry nothing of the first request's address or keys: only these go on
// to a redirect's target. Everything else the caller set (a Referer, an API key, a token,
// cookies) stays with the first request.
bool passesOn(std::string_view line) {
    static constexpr std::array<std::string_view, 4> kNames = {"accept", "accept-language",
                                                               "content-type", "user-agent"};
    const std::size_t end = line.find_first_of(":;");
    if (end == std::string_view::npos) return false;
    const std::string name = toLowerAscii(trimSpaces(line.substr(0, end)));
    return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

}  // namespace

// Same host: the same name (any letter case) and the same port, or the usual port of each
// scheme when the scheme changes; of the changes of scheme only http to https is followed.
RedirectVerdict judgeRedirect(std::string_view first, std::string_view current,
                              std::string_view target) {
    const Origin from = originOf(first);
    const Origin to = originOf(target);
    if (to.scheme.empty() || to.host != from.host) return RedirectVerdict::OtherHost;
    const bool usualPorts =
        from.port == defaultPort(from.scheme) && to.port == defaultPort(to.scheme);
    if (to.port != from.port && !usualPorts) return RedirectVerdict::OtherHost;
    const bool down = originOf(current).scheme == "https" && to.scheme == "http";
    return down ? RedirectVerdict::PlainHttp : RedirectVerdict::Follow;
}

std::string shownHost(std::string_view url) {
    const Origin origin = originOf(url);
    if (origin.scheme.empty()) return std::string(url.substr(0, 200));
    if (origin.port == defaultPort(origin.scheme)) return origin.host;
    return origin.host + ":" + std::to_string(origin.port);
}

Request followingRequest(const Request& request, std::string target, long status) {
    Request next = request;
    next.url = std::move(target);
    const bool repeat = status == 307 || status == 308;
    const bool asGet =
        status == 303 ? request.method != "HEAD" : !repeat && request.method == "POST";
    if (asGet) {
        next.method = "GET";
        next.body.clear();
    }
    std::erase_if(next.headerLines, [&](const std::string& line) {
        const bool contentType = startsWithNoCase(trimSpaces(line), "content-type");
        return !passesOn(line) || (contentType && next.body.empty() && !request.body.empty());
    });
    // The server's own credentials were for the first request.
    next.user.clear();
    next.password.clear();
    return next;
}

}  // namespace lianshuo::transfer
