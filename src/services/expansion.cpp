#include "services/expansion.h"

#include <set>
#include <string>

namespace lianshuo {

namespace {

bool isRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

ConversionOutcome expandByRedirects(std::string_view shortUrl, const ShortAddressBook& known,
                                    const LinkHopOptions& options) {
    std::string ownHost, port;
    if (!splitAuthority(shortUrl, ownHost, port))
        return ConversionOutcome::failed(FailureKind::NotWebAddress, escapedExcerpt(shortUrl));
    std::string current(shortUrl);
    std::set<std::string> seen{current};
    for (int hop = 0; hop < kMostExpansionHops; ++hop) {
        LinkHop step = requestLinkHop(current, options);
        if (!step.replied()) return step.failure;
        // The reason shows the status itself ("HTTP 404：短网址无效").
        if (!isRedirect(step.status))
            return ConversionOutcome::failed(
                FailureKind::HttpStatus,
                step.status == 404 || step.status == 410 ? "短网址无效" : "没有重定向",
                step.status);
        if (!step.redirected())
            return ConversionOutcome::failed(FailureKind::HttpStatus, "重定向没有给出 Location",
                                             step.status);
        std::string host;
        if (!splitAuthority(step.location, host, port) || !isWebAddress(step.location))
            return ConversionOutcome::failed(FailureKind::NotWebAddress,
                                             escapedExcerpt(step.location));
        if (host != ownHost && !known.isKnown(step.location))
            return ConversionOutcome::success(std::move(step.location));
        if (!seen.insert(step.location).second)
            return ConversionOutcome::failed(FailureKind::Request,
                                             "重定向成环：" + escapedExcerpt(step.location));
        current = std::move(step.location);
    }
    return ConversionOutcome::failed(
        FailureKind::Request,
        "重定向超过 " + std::to_string(kMostExpansionHops) + " 次：" + escapedExcerpt(current));
}

}  // namespace lianshuo
