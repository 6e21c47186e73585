#pragma once
// One HTTP exchange through a libcurl easy handle, shared by both request engines.
// Only the http library includes this header.

#include <curl/curl.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "http/webrequest.h"

namespace lianshuo::transfer {

/// The user agent both engines send when the caller names none.
inline constexpr std::string_view kBrowserAgent =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/30.0.1599.101 Safari/537.36";

enum class ProxyMode { Direct, Named, Environment };

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
    bool followRedirects = true;
    long connectTimeoutMs = 0;   // resolve and connect; 0 = libcurl's default
    long inactivitySeconds = 0;  // no byte moving for this long ends the transfer; 0 = never
    long totalTimeoutMs = 0;     // 0 = no limit
    CookieUse cookies = CookieUse::None;
};

struct Result {
    TransferError error = TransferError::None;
    long status = 0;
    std::string body;         // empty unless the transfer completed
    std::string headerBlock;  // the final reply's status line and header lines, then "\r\n"
};

/// Sets the process-wide time-out scale (see setTimeoutScale).
void setTimeScale(double factor);

/// `ms` under the process-wide time-out scale (0 and less stay as they are).
long scaledMs(long ms);

/// Initialises libcurl for the process, once, from any thread.
void ensureInitialised();

/// How the calling thread spends the transfer.
enum class Waiting {
    Blocked,          // inside libcurl until the transfer ends (a worker thread)
    PumpingMessages,  // polling in 10 ms steps and processing window messages in between
};

/// Runs `request` on `handle` (reset first). A set `abandon` flag aborts the transfer.
Result perform(CURL* handle, const Request& request, const std::atomic<bool>* abandon = nullptr,
               Waiting waiting = Waiting::Blocked);

/// The certificate file the environment names (SSL_CERT_FILE, else CURL_CA_BUNDLE), or empty.
std::string trustedCertificatesFromEnvironment();

/// True when `url` starts with "http://" or "https://" in any letter case. Ignoring the case keeps
/// an address written in capitals from becoming "http://HTTP://...".
bool hasHttpScheme(std::string_view url);

/// The URL with spaces, control bytes and bytes above 0x7E percent-encoded.
std::string escapeUrl(std::string_view url);

/// The process-wide cookie jar, shared by every thread (with TLS sessions and look-ups).
CURLSH* sharedCookieJar();

/// TLS sessions and look-ups shared by the requests that keep out of the cookie jar.
CURLSH* sharedSessions();

/// Adds Netscape-format cookie lines to the shared jar.
void storeInSharedJar(const curl_slist* lines);

}  // namespace lianshuo::transfer
