#include "http/webrequest.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "base/gbk.h"
#include "base/helpers.h"
#include "http/cookies.h"
#include "http/transfer.h"

namespace lianshuo {
namespace {

using Clock = std::chrono::steady_clock;
constexpr long kLibcurlGraceMs = 1000;
constexpr std::string_view kDefaultAccept =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";

// The caller's header text with the defaults it lacks. Each test is case-blind over the text as
// it stands, so any name holding "Accept" (Accept-Language too) counts as an Accept line.
std::vector<std::string> headerLinesFor(const WebRequestParams& params, std::string_view url,
                                        bool post) {
    std::string text = params.headers;
    if (!text.empty()) text += "\r\n";
    if (!containsText(text, "Accept", true)) text += kDefaultAccept;
    if (containsText(text, "RefererNo", true)) {
        // The caller's way of asking for no Referer at all.
        const std::size_t at = findText(text, "RefererNo");
        if (at != npos) text.erase(at, 9);
    } else if (!containsText(text, "Referer", true)) {
        text += "Referer: " + std::string(url) + "\r\n";
    }
    if (!containsText(text, "Accept-Language", true)) text += "Accept-Language: zh-cn\r\n";
    if (post && !params.body.empty() && !containsText(text, "Content-Type", true))
        text += "Content-Type: application/x-www-form-urlencoded\r\n";
    // Content-Length is left to libcurl, which counts the body it actually sends.
    if (!params.cookies.empty()) text += "Cookie: " + params.cookies + "\r\n";
    std::vector<std::string> lines = splitText(text, "\r\n");
    std::erase_if(lines, [](const std::string& line) { return line.empty(); });
    return lines;
}

// The request as it goes out: the address rebuilt from host, port and path. Any
// "https://" in the address (even in its query) makes the request secure, and a secure request
// without a port of its own goes to 443. A port the address names is kept, so that services
// (and test servers) on other ports can be reached over TLS too.
transfer::Request transferFor(const WebRequestParams& params, std::string_view url,
                              long timeoutMs) {
    const bool secure = containsText(toLowerAscii(url), "https://");
    const bool post =
        params.method == WebMethod::Post || (!params.verb.empty() && params.verb != "GET");
    const bool portGiven = containsText(hostOfUrl(url, true), ":");
    const int port = secure && !portGiven ? 443 : urlPortOf(url);
    transfer::Request request;
    request.url = transfer::escapeUrl((secure ? "https://" : "http://") + hostOfUrl(url) + ":" +
                                      std::to_string(port) + urlPathOf(url));
    request.method = !params.verb.empty() ? params.verb : post ? "POST" : "GET";
    if (post) request.body = params.body;
    request.headerLines = headerLinesFor(params, url, post);
    if (!containsText(params.headers, "User-Agent:", true))
        request.userAgent = transfer::kBrowserAgent;
    // The caller's proxy serves plain HTTP only; everything else goes as the environment says.
    if (!secure && !params.proxy.empty()) {
        request.proxyMode = transfer::ProxyMode::Named;
        request.proxy = params.proxy;
    } else {
        request.proxyMode = transfer::ProxyMode::Environment;
    }
    request.trustedCertificates = transfer::trustedCertificatesFromEnvironment();
    request.followRedirects = !params.noRedirect;
    // The caller's deadline decides; libcurl's own limit only backs it up (it rounds elapsed
    // time up, and would otherwise end a transfer just before the deadline).
    request.totalTimeoutMs = timeoutMs + kLibcurlGraceMs;
    // Caller cookies replace the stored ones on the wire; what the reply sets is kept either way.
    request.cookies = trimSpaces(params.cookies).empty() ? transfer::CookieUse::Shared
                                                         : transfer::CookieUse::StoreOnly;
    return request;
}

WebResponse failure(TransferError error, std::string detail) {
    WebResponse response;
    response.error = error;
    response.detail = std::move(detail);
    return response;
}

bool cancelled(const WebRequestParams& params) {
    return params.cancel != nullptr && params.cancel->load();
}

WebResponse responseOf(transfer::Outcome result) {
    WebResponse response;
    response.error = result.error;
    response.status = result.status;
    response.body = std::move(result.body);
    response.cookies = collectedCookiesOf(result.headerBlock);
    response.headerBlock = std::move(result.headerBlock);
    response.detail = std::move(result.detail);
    return response;
}

}  // namespace

WebResponse webRequest(const WebRequestParams& params) {
    if (trimSpaces(params.url).empty()) return failure(TransferError::BlankUrl, "blank address");
    const long timeoutMs = static_cast<long>(params.timeoutSeconds) * 1000;
    const std::string tooLate = std::to_string(params.timeoutSeconds) + " 秒内没有回复";
    if (timeoutMs <= 0) return failure(TransferError::Timeout, tooLate);
    if (cancelled(params)) return failure(TransferError::Aborted, "aborted by the caller");
    std::string url = params.url;
    if (!transfer::hasHttpScheme(url)) url.insert(0, "http://");

    const auto deadline = Clock::now() + std::chrono::milliseconds(transfer::scaledMs(timeoutMs));
    bool late = false;
    transfer::Outcome result = transfer::perform(
        transferFor(params, url, timeoutMs),
        [&] { return cancelled(params) || (late = Clock::now() >= deadline); },
        params.whileWaiting);
    if (result.error == TransferError::Aborted && cancelled(params))
        return failure(TransferError::Aborted, "aborted by the caller");
    if (late) return failure(TransferError::Timeout, tooLate);
    return responseOf(std::move(result));
}

WebResponse bareRequest(const BareRequestParams& params) {
    if (trimSpaces(params.url).empty()) return failure(TransferError::BlankUrl, "blank address");
    const long timeoutMs = static_cast<long>(params.timeoutSeconds) * 1000;
    const std::string tooLate = std::to_string(params.timeoutSeconds) + " 秒内没有回复";
    if (timeoutMs <= 0) return failure(TransferError::Timeout, tooLate);
    if (params.cancel != nullptr && *params.cancel)
        return failure(TransferError::Aborted, "aborted by the caller");
    std::string url = params.url;
    if (!transfer::hasHttpScheme(url)) url.insert(0, "http://");
    transfer::Request request;
    request.url = transfer::escapeUrl(url);
    request.method = params.head ? "HEAD" : "GET";
    request.userAgent = transfer::kBrowserAgent;
    request.proxyMode = transfer::ProxyMode::Environment;
    request.trustedCertificates = transfer::trustedCertificatesFromEnvironment();
    request.followRedirects = false;
    request.totalTimeoutMs = timeoutMs + kLibcurlGraceMs;
    request.cookies = transfer::CookieUse::None;
    request.bodyLimit = params.head ? 0 : params.bodyLimit;

    const auto deadline = Clock::now() + std::chrono::milliseconds(transfer::scaledMs(timeoutMs));
    bool late = false;
    const auto stop = [&] {
        return (params.cancel != nullptr && *params.cancel) || (late = Clock::now() >= deadline);
    };
    transfer::Outcome result = transfer::perform(request, stop, params.whileWaiting);
    if (result.error == TransferError::Aborted && params.cancel != nullptr && *params.cancel)
        return failure(TransferError::Aborted, "aborted by the caller");
    if (late) return failure(TransferError::Timeout, tooLate);
    WebResponse response = responseOf(std::move(result));
    response.cookies.clear();
    return response;
}

void setTimeoutScale(double factor) {
    transfer::setTimeScale(factor);
}

std::string urlPathOf(std::string_view url) {
    const std::size_t hostAt = findTextNoCase(url, hostOfUrl(url));
    const std::size_t slash = hostAt == npos ? npos : findText(url, "/", hostAt);
    return slash == npos ? "/" : std::string(url.substr(slash));
}

int urlPortOf(std::string_view url) {
    const std::string host = hostOfUrl(url, true);
    const std::size_t colon = rfindText(host, ":");
    if (colon == npos) return startsWithNoCase(url, "https") ? 443 : 80;
    int port = 0;
    for (std::size_t i = colon + 1; i < host.size() && host[i] >= '0' && host[i] <= '9'; ++i)
        port = std::min(port * 10 + (host[i] - '0'), 1 << 20);  // absurd ports fail, not overflow
    return port;
}

}  // namespace lianshuo
