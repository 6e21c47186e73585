#pragma once
// One HTTP exchange on a pooled libcurl handle, shared by both request engines.
// Only the http library includes this header.

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "http/curlhandles.h"
#include "http/webrequest.h"

namespace lianshuo::transfer {

/// The user agent both engines send when the caller names none.
inline constexpr std::string_view kBrowserAgent =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/30.0.1599.101 Safari/537.36";

enum class ProxyMode {
    Direct,       // never through a proxy
    Named,        // through `proxy`, except for the hosts `bypass` lists
    Environment,  // as http_proxy, https_proxy, all_proxy and no_proxy (either case) say
};

/// Whether the process-wide cookie jar takes part.
enum class CookieUse {
    None,       // neither sends nor stores
    Shared,     // sends the jar's cookies for the host and stores what the reply sets
    StoreOnly,  // stores what the reply sets, sends only the caller's Cookie line
};

struct Request {
    std::string url;  // already escaped for the wire
    std::string method = "GET";
    std::string body;
    std::vector<std::string> headerLines;  // sent in this order; "Name;" sends an empty value
    std::string userAgent;                 // sent ahead of the header lines when not empty
    ProxyMode proxyMode = ProxyMode::Direct;
    std::string proxy, bypass, proxyUser, proxyPassword;
    std::string user, password;
    std::string trustedCertificates;  // empty: the system's trust store
    bool followRedirects = true;      // on the same host only, never down to http (redirects.h)
    long connectTimeoutMs = 0;        // resolve and connect; 0 = libcurl's default
    long inactivitySeconds = 0;       // no byte moving for this long ends the transfer; 0 = never
    long totalTimeoutMs = 0;          // 0 = no limit
    CookieUse cookies = CookieUse::None;
    // The most body bytes read (0: up to kMaxResponseBytes, past which the reply is refused);
    // past a set limit the rest is left unread, the connection closed and the cut body kept.
    std::size_t bodyLimit = 0;
};

/// How one exchange ended: the reply, or why there is none.
struct Outcome {
    TransferError error = TransferError::None;
    std::string detail;  // one line on what failed (libcurl's own words where it has them)
    long status = 0;
    std::string body;         // empty unless the transfer completed
    std::string headerBlock;  // the final reply's status line and header lines, then "\r\n"
};

/// The proxy the environment names for a URL, and the hosts it bypasses.
struct ProxyChoice {
    std::string proxy;   // empty: connect directly
    std::string bypass;  // no_proxy's list
};

/// <scheme>_proxy, else all_proxy, and no_proxy; each name in lower case, else in upper case.
ProxyChoice proxyFromEnvironment(std::string_view url);

/// Sets every option of `request` on a freshly reset handle. `request` and `headers` must
/// outlive the transfer.
void setOptions(const curl::Easy& handle, const Request& request, const curl::StringList& headers);

/// The kind of failure `code` stands for; the socket's errno and libcurl's message tell a reset
/// connection from other receive and send errors.
TransferError errorOf(CURLcode code, long osErrno, std::string_view message);

/// Sets the process-wide time-out scale (see setTimeoutScale).
void setTimeScale(double factor);

/// `ms` under the process-wide time-out scale (0 and less stay as they are).
long scaledMs(long ms);

/// Checked several times a second during a transfer; true ends it as TransferError::Aborted.
using StopCheck = std::function<bool()>;

/// Runs `request` on a pooled handle on the calling thread, which waits in libcurl's poll and
/// looks at `stop` between polls; the handle goes back to the pool before this returns. A body
/// that starts as gzip must be a whole gzip stream, or the transfer fails as Truncated.
/// `whileWaiting` (null: none) runs once, the first time the request is out and its reply not
/// yet here, and is then cleared.
Outcome perform(const Request& request, const StopCheck& stop = {},
                std::function<void()>* whileWaiting = nullptr);

/// The outcome of a request that never started.
Outcome failedOutcome(TransferError error, std::string detail);

/// The certificate file the environment names (SSL_CERT_FILE, else CURL_CA_BUNDLE), or empty.
std::string trustedCertificatesFromEnvironment();

/// True when `url` starts with "http://" or "https://" in any letter case. Ignoring the case keeps
/// an address written in capitals from becoming "http://HTTP://...".
bool hasHttpScheme(std::string_view url);

/// The URL with spaces, control bytes and bytes above 0x7E percent-encoded.
std::string escapeUrl(std::string_view url);

/// Adds Netscape-format cookie lines to the shared jar.
void storeInSharedJar(const curl_slist* lines);

}  // namespace lianshuo::transfer
