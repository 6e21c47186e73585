#include "services/linkcheck.h"

#include <algorithm>
#include <set>

#include "base/gbk.h"
#include "history/conversionhistory.h"

namespace lianshuo {
namespace {

constexpr std::size_t npos = std::string_view::npos;

struct UrlParts {
    std::string scheme;    // lower case
    std::string userInfo;  // with its "@", as written
    std::string host;      // lower case
    std::string port;      // digits, empty for the scheme's default
    std::string path;      // "/" when empty
    std::string rest;      // "?query#fragment" as written
};

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return (c | 0x20) - 'a' + 10;
}

bool isUnreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

UrlParts partsOf(std::string_view url) {
    UrlParts parts;
    std::size_t at = url.find("://");
    if (at == npos) {
        parts.scheme = "http";
        at = 0;
    } else {
        parts.scheme = toLowerAscii(url.substr(0, at));
        at += 3;
    }
    const std::size_t authorityEnd = std::min(url.find_first_of("/?#", at), url.size());
    std::string_view authority = url.substr(at, authorityEnd - at);
    if (const std::size_t user = authority.rfind('@'); user != npos) {
        parts.userInfo = std::string(authority.substr(0, user + 1));
        authority.remove_prefix(user + 1);
    }
    // A bracketed IPv6 literal holds colons of its own.
    const std::size_t bracket = authority.rfind(']');
    const std::size_t colon = authority.rfind(':');
    if (colon != npos && (bracket == npos || colon > bracket)) {
        parts.port = std::string(authority.substr(colon + 1));
        authority = authority.substr(0, colon);
    }
    parts.host = toLowerAscii(authority);
    const std::string defaultPort = parts.scheme == "https" ? "443" : "80";
    parts.port.erase(0, std::min(parts.port.find_first_not_of('0'), parts.port.size()));
    if (parts.port == defaultPort || parts.port.empty()) parts.port.clear();
    const std::size_t restAt = std::min(url.find_first_of("?#", authorityEnd), url.size());
    parts.path = std::string(url.substr(authorityEnd, restAt - authorityEnd));
    if (parts.path.empty()) parts.path = "/";
    parts.rest = std::string(url.substr(restAt));
    return parts;
}

std::string effectivePort(const UrlParts& parts) {
    if (!parts.port.empty()) return parts.port;
    return parts.scheme == "https" ? "443" : "80";
}

// Whether a redirect from `from` to `to` stays on the short address's own host: the same name
// and port, or the same name moving from http up to https on the usual ports.
bool staysOnHost(const UrlParts& from, const UrlParts& to) {
    if (from.host != to.host || (to.scheme != "http" && to.scheme != "https")) return false;
    if (from.scheme == to.scheme) return effectivePort(from) == effectivePort(to);
    return from.scheme == "http" && to.scheme == "https" && from.port.empty() && to.port.empty();
}

LinkCheck unknown(std::string reason) {
    return {LinkState::Unknown, {}, std::move(reason), 0, false};
}

LinkCheck judgeTarget(std::string target, std::string_view longUrl) {
    if (normalisedAddress(target) == normalisedAddress(longUrl))
        return {LinkState::Valid, std::move(target), {}, 0, false};
    std::string reason = "短网址指向了别处：" + target;
    return {LinkState::Elsewhere, std::move(target), std::move(reason), 0, false};
}

}  // namespace

std::string normalisedAddress(std::string_view url) {
    const UrlParts parts = partsOf(trimSpaces(url));
    std::string out = parts.scheme + "://" + parts.userInfo + parts.host;
    if (!parts.port.empty()) out += ":" + parts.port;
    const std::string& path = parts.path;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && isHexDigit(path[i + 1]) &&
            isHexDigit(path[i + 2])) {
            const char decoded =
                static_cast<char>(hexValue(path[i + 1]) * 16 + hexValue(path[i + 2]));
            if (isUnreserved(decoded)) {
                out += decoded;
            } else {
                out += '%';
                out += static_cast<char>(path[i + 1] >= 'a' ? path[i + 1] - 32 : path[i + 1]);
                out += static_cast<char>(path[i + 2] >= 'a' ? path[i + 2] - 32 : path[i + 2]);
            }
            i += 2;
        } else {
            out += path[i];
        }
    }
    return out + parts.rest;
}

LinkCheck checkShortLink(std::string_view shortUrl, std::string_view longUrl,
                         const LinkHopOptions& options) {
    std::string current = trimSpaces(shortUrl);
    UrlParts currentParts = partsOf(current);
    std::set<std::string> seen{normalisedAddress(current)};
    for (int hops = 0;; ++hops) {
        LinkHopOptions step = options;
        if (hops > 0) step.whileWaiting = nullptr;
        const LinkHop hop = requestLinkHop(current, step);
        if (!hop.replied()) {
            LinkCheck check = unknown(hop.failure.reason());
            check.stopped = hop.failure.failure == FailureKind::Stopped;
            return check;
        }
        if (hop.status == 404 || hop.status == 410)
            return {LinkState::Dead,
                    {},
                    "短网址无效（HTTP " + std::to_string(hop.status) + "）",
                    hop.status,
                    false};
        if (!hop.redirected()) {
            const std::string status = std::to_string(hop.status);
            LinkCheck check =
                unknown(hop.status >= 400   ? "HTTP " + status
                        : hop.status >= 300 ? "跳转没有目标（HTTP " + status + "）"
                                            : "短网址没有跳转（HTTP " + status + "）");
            check.status = hop.status;
            return check;
        }
        const UrlParts next = partsOf(hop.location);
        // A self-hosted service may send its own pages' addresses to its own host.
        if (!staysOnHost(currentParts, next) ||
            normalisedAddress(hop.location) == normalisedAddress(longUrl))
            return judgeTarget(hop.location, longUrl);
        if (!seen.insert(normalisedAddress(hop.location)).second)
            return unknown("短网址的跳转绕回了自己：" + hop.location);
        if (hops + 1 > kMostOwnHostHops)
            return unknown("短网址在本站跳转超过 " + std::to_string(kMostOwnHostHops) + " 次");
        current = hop.location;
        currentParts = next;
    }
}

std::string_view linkStateText(LinkState state) {
    return linkStateName(static_cast<int>(state));
}

}  // namespace lianshuo
