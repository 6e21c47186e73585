#pragma once
// The worker-thread request engine: one request per call, run on a thread of its own while
// the calling (window) thread keeps its messages flowing, with the reply body returned as
// received (no decompression, no charset conversion).

#include <string>
#include <string_view>

namespace lianshuo {

// Every member has an initializer, so callers may name only the fields they set
// ({.url = u, .body = b}) without -Wmissing-field-initializers.
struct WebRequestParams {
    std::string url{};
    int method = 0;         // 1 = POST, anything else GET
    std::string proxy{};    // "host:port", used for plain HTTP only
    std::string headers{};  // extra lines separated by "\r\n"
    std::string body{};
    std::string cookies{};    // the Cookie value; the stored cookies are then not sent
    int timeoutSeconds = 60;  // the whole request, waiting included
    bool noRedirect = false;
};

enum class TransferError { None, BlankUrl, Timeout, Transport, TooLarge };

struct WebResponse {
    TransferError error = TransferError::None;
    long status = 0;
    std::string body{};
    std::string headerBlock{};  // status line, header lines and the empty line
    std::string cookies{};      // "name=value;" for each Set-Cookie line
};

/// One request on a worker thread; the calling thread waits in <=10 ms steps calling
/// processPendingMessages(). Body empty on any failure, a time-out or a body past 64 MiB.
WebResponse webRequest(const WebRequestParams& params);

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
