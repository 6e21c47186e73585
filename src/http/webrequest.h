#pragma once
// The plain request engine: one request per call, run on the calling thread, with the reply
// body returned as received (no decompression, no charset conversion).

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace lianshuo {

/// GET, or POST with the body; the numbers are the engine's historical codes.
enum class WebMethod : int { Get = 0, Post = 1 };

// Every member has an initializer, so callers may name only the fields they set
// ({.url = u, .body = b}) without -Wmissing-field-initializers.
struct WebRequestParams {
    std::string url{};
    WebMethod method = WebMethod::Get;
    std::string verb{};     // "PUT", "PATCH": sent in place of `method`, with the body
    std::string proxy{};    // "host:port", used for plain HTTP only
    std::string headers{};  // extra lines separated by "\r\n"
    std::string body{};
    std::string cookies{};    // the Cookie value; the stored cookies are then not sent
    int timeoutSeconds = 60;  // the whole request, waiting included
    bool noRedirect = false;
    const std::atomic<bool>* cancel = nullptr;  // once true, the request ends as Aborted
    // Run once, the first time the request is out and its reply not yet here (null: nothing).
    std::function<void()>* whileWaiting = nullptr;
};

/// Why a request gave no reply. A reply with any status (404, 503) is not a failure here.
enum class TransferError {
    None,
    BlankUrl,           // nothing to request
    Timeout,            // no whole reply within the time allowed
    Transport,          // any failure not named below
    TooLarge,           // the reply (or its gzip content) is larger than kMaxResponseBytes
    NameNotResolved,    // the host (or the proxy) has no address
    ConnectionRefused,  // nothing accepted the connection at the address
    ConnectionReset,    // the peer reset or closed the connection before the whole reply
    TlsFailed,          // the TLS handshake failed: a refused certificate, no common protocol
    Aborted,            // the caller's cancel flag (or abort) ended the request
    Truncated,          // the body ended early: short of its length, or a gzip stream cut off
    RedirectElsewhere,  // a redirect to another host (detail: that host), not followed
    RedirectToHttp,     // a redirect from https down to http (detail: its host), not followed
    HeaderTooLarge,     // the reply's header is larger than libcurl reads
};

/// A stable ASCII name for `error` ("timeout", "connection-reset", ...), for logs and JSON.
std::string_view transferErrorName(TransferError error);

struct WebResponse {
    TransferError error = TransferError::None;
    long status = 0;
    std::string body{};
    std::string headerBlock{};  // status line, header lines and the empty line
    std::string cookies{};      // "name=value;" for each Set-Cookie line
    std::string detail{};       // one line on what failed; empty when nothing did
};

/// One request on the calling thread, which waits for it and looks at the cancel flag every few
/// milliseconds. Body empty on any failure, a time-out, a body past 64 MiB or a gzip body that
/// does not end properly; a reply with an error status keeps its body. The proxy is
/// params.proxy for plain HTTP when given, else what the environment names.
WebResponse webRequest(const WebRequestParams& params);

/// A request that carries nothing of the caller's: no cookies (none sent, none kept), no header
/// line but the user agent, no body, no credentials; a redirect is the reply, never followed.
struct BareRequestParams {
    std::string url{};
    bool head = true;                   // HEAD; false: GET, reading at most bodyLimit bytes
    std::size_t bodyLimit = 64 * 1024;  // past it the rest is left unread, the body kept cut
    int timeoutSeconds = 60;            // the whole request, waiting included
    const std::atomic<bool>* cancel = nullptr;  // once true, the request ends as Aborted
    std::function<void()>* whileWaiting = nullptr;
};

/// One bare request on the calling thread, on the same pooled connections as webRequest.
WebResponse bareRequest(const BareRequestParams& params);

/// Stretches or shortens every time-out of both request engines by `factor` (1: as set).
/// Tests use it to watch a service that never answers fail in a fraction of a second.
void setTimeoutScale(double factor);

/// Forgets every cookie that replies have left in the process-wide cookie jar.
void clearSharedCookies();

/// The path and query of `url`, taken from the first "/" at or after the first (case-blind)
/// occurrence of its host; "/" when there is none.
std::string urlPathOf(std::string_view url);

/// The number after the last ":" of the URL's host, else 443 for "https" URLs and 80 for others.
int urlPortOf(std::string_view url);

}  // namespace lianshuo
