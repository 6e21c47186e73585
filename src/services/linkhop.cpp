#include "services/linkhop.h"

#include <algorithm>
#include <vector>

#include "base/gbk.h"
#include "base/helpers.h"
#include "http/webrequest.h"
#include "services/servicerequest.h"

namespace lianshuo {
namespace {

constexpr std::size_t kMostBodyBytes = 64 * 1024;

// The path with its "." and ".." segments taken out, as a reference is merged.
std::string withoutDotSegments(std::string_view path) {
    std::vector<std::string_view> kept;
    bool trailingSlash = false;
    std::size_t start = path.starts_with('/') ? 1 : 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view segment = path.substr(start, end - start);
        trailingSlash = end == path.size() && (segment == "." || segment == "..");
        if (segment == "..") {
            if (!kept.empty()) kept.pop_back();
        } else if (segment != ".") {
            kept.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string_view segment : kept) out += "/" + std::string(segment);
    if (trailingSlash || out.empty()) out += '/';
    return out;
}

std::size_t schemeEnd(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == 0 || colon == std::string_view::npos) return std::string_view::npos;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = text[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return std::string_view::npos;
    }
    return colon;
}

LinkHop hopOnce(std::string_view address, const LinkHopOptions& options,
                ConversionOutcome& judged) {
    BareRequestParams params{.url = std::string(address),
                             .head = true,
                             .bodyLimit = kMostBodyBytes,
                             .cancel = options.stop,
                             .whileWaiting = options.whileWaiting};
    WebResponse response = bareRequest(params);
    // Some servers refuse HEAD outright; the page itself is then read, but only its start.
    if (response.error == TransferError::None &&
        (response.status == 405 || response.status == 501)) {
        params.head = false;
        response = bareRequest(params);
    }
    ServiceReply reply;
    reply.error = response.error;
    reply.detail = response.detail;
    reply.status = response.status;
    reply.headerBlock = response.headerBlock;
    judged = replyFailure(reply);
    LinkHop hop;
    if (response.error != TransferError::None) {
        hop.failure = judged;
        return hop;
    }
    hop.status = response.status;
    const std::string location = headerValue(response.headerBlock, "Location");
    if (!location.empty()) hop.location = resolveReference(address, location);
    return hop;
}

}  // namespace

LinkHop requestLinkHop(std::string_view address, const LinkHopOptions& options) {
    static const std::atomic<bool> kNeverStopped{false};
    const std::atomic<bool>& stopped = options.stop != nullptr ? *options.stop : kNeverStopped;
    ConversionOutcome judged;
    LinkHop hop = hopOnce(address, options, judged);
    long delayMs = options.firstDelayMs;
    for (int retry = 0; retry < options.retries && judged.retryable && !stopped; ++retry) {
        const long waitMs = judged.retryAfterSeconds >= 0
                                ? std::min(judged.retryAfterSeconds, 60L) * 1000
                                : delayMs;
        waitInterruptibly(waitMs, stopped);
        if (stopped) break;
        hop = hopOnce(address, options, judged);
        delayMs *= 2;
    }
    if (stopped && (!hop.replied() || judged.retryable)) {
        hop = {};
        hop.failure = ConversionOutcome::failed(FailureKind::Stopped, {});
    }
    return hop;
}

std::string resolveReference(std::string_view base, std::string_view reference) {
    const std::string ref = trimSpaces(reference);
    if (schemeEnd(ref) != std::string_view::npos) return ref;
    const std::size_t baseScheme = schemeEnd(base);
    const std::string_view scheme =
        base.substr(0, baseScheme == std::string_view::npos ? 0 : baseScheme);
    if (ref.starts_with("//")) return std::string(scheme) + ":" + ref;
    // The base split into its authority, path and query (a fragment never counts).
    const std::size_t authorityAt = baseScheme == std::string_view::npos ? 0 : baseScheme + 3;
    std::string_view rest = base.substr(std::min(authorityAt, base.size()));
    rest = rest.substr(0, std::min(rest.find('#'), rest.size()));
    const std::size_t pathAt = std::min(rest.find_first_of("/?"), rest.size());
    const std::string origin =
        std::string(base.substr(0, authorityAt)) + std::string(rest.substr(0, pathAt));
    const std::string_view pathAndQuery = rest.substr(pathAt);
    const std::size_t queryAt = std::min(pathAndQuery.find('?'), pathAndQuery.size());
    std::string basePath(pathAndQuery.substr(0, queryAt));
    if (basePath.empty()) basePath = "/";
    if (ref.empty()) return origin + std::string(pathAndQuery);
    if (ref.starts_with('#')) return origin + std::string(pathAndQuery) + ref;
    if (ref.starts_with('?')) return origin + basePath + ref;
    const std::size_t tailAt = std::min(ref.find_first_of("?#"), ref.size());
    const std::string refPath = ref.substr(0, tailAt);
    const std::string tail = ref.substr(tailAt);
    if (ref.starts_with('/')) return origin + withoutDotSegments(refPath) + tail;
    const std::string merged = basePath.substr(0, basePath.rfind('/') + 1) + refPath;
    return origin + withoutDotSegments(merged) + tail;
}

}  // namespace lianshuo
