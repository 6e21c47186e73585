#pragma once
// A request object: ordered thin members over one request at a time (its connection comes from
// the process-wide pool, so it outlives the object), a stored cookie text, and the full request
// fetchPage built from them.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "http/webrequest.h"

namespace lianshuo {

/// What fetchPage returns of the reply.
enum class ReplyText {
    Decoded,       // the body as GBK text, by the options' charset mode
    RawBody,       // the body bytes as they came
    ResponseText,  // responseText(): the body as its header's charset says
};

/// What a fetch does with the object's proxy setting.
enum class FetchProxy {
    Keep,    // leaves it as it is
    System,  // the system's (the environment's)
    Named,   // FetchOptions::proxyServer; the system's when that is empty
};

// Every member has an initializer, so callers may name only the fields they set.
struct FetchOptions {
    std::string postText{};
    int charsetMode = 0;  // a CharsetMode, for ReplyText::Decoded
    ReplyText reply = ReplyText::Decoded;
    // Null: the object's own time-outs; below 1 the defaults; else every time-out.
    std::optional<float> timeoutSeconds = 0.0f;
    FetchProxy proxy = FetchProxy::Keep;
    std::string proxyServer{};  // "server[,user,password]", for FetchProxy::Named
    bool synchronous = false;
    std::string postBytes{};  // sent instead of postText when not empty
    std::string referer{};    // empty: the URL itself
    // Null: the stored cookies; else this Cookie line, sent even when empty.
    std::optional<std::string> cookies{};
    bool keepCookies = false;
    std::string contentType{}, userAgent{};
    std::string headers{};    // "Name: value" lines joined by "\r\n"
    std::string method{};     // "PUT", "PATCH": sent in place of POST or GET, with the body
    bool noRedirect = false;  // a redirect is the reply, its Location readable
    bool fakeClientAddress = false;
    const std::atomic<bool>* cancel = nullptr;      // once true, the request ends as Aborted
    std::function<void()>* whileWaiting = nullptr;  // run once while the reply is awaited
};

/// Resolve, connect, send and receive time-outs in milliseconds; 0 or less means no limit.
struct RequestTimeouts {
    int resolve = 0;
    int connect = 60000;
    int send = 30000;
    int receive = 30000;
    bool operator==(const RequestTimeouts&) const = default;
};

/// setProxy settings: 0 the system's proxy (the environment: http_proxy, https_proxy, no_proxy),
/// 1 direct, 2 the named proxy. An object starts with 0.
enum ProxySetting : int { kProxyDefault = 0, kProxyDirect = 1, kProxyNamed = 2 };

/// setCredentials targets.
enum CredentialsTarget : int { kServerCredentials = 0, kProxyCredentials = 1 };

/// The time-outs fetchPage sets for `timeoutSeconds`; nullopt for none (keep the object's own).
std::optional<RequestTimeouts> fetchTimeoutsFor(std::optional<float> timeoutSeconds);

/// The seconds fetchPage waits for the reply: 120 for none or below 1, else the whole seconds.
int fetchWaitSecondsFor(std::optional<float> timeoutSeconds);

class HttpRequestObject {
public:
    /// A new object; copies share its settings and the request in progress. No libcurl is
    /// loaded until the first request.
    HttpRequestObject();

    /// Starts a request: `url` gets "http://" unless it starts with "http://" or "https://"
    /// (exact case) and loses everything from the first "#".
    void open(std::string_view method, std::string_view url, bool async = false);
    /// Whether the request opened last follows redirects; open() turns it back on.
    void setRedirectsEnabled(bool enabled);
    /// Sets a request header, replacing one of the same name; a Referer without a scheme gets
    /// "http://", and an empty value sends the header empty.
    void setRequestHeader(std::string_view name, std::string_view value);
    /// Time-outs in ms; a connect, send or receive value of 0 or less takes the resolve value.
    void setTimeouts(int resolve, int connect, int send, int receive);
    /// For kProxyNamed, `proxy` is "server[,user,password]"; `bypass` lists hosts to reach
    /// directly.
    void setProxy(int setting = kProxyNamed, std::string_view proxy = {},
                  std::string_view bypass = {});
    /// Credentials for the server or (kProxyCredentials) the proxy, used when challenged.
    void setCredentials(std::string_view user, std::string_view password,
                        int target = kServerCredentials);
    /// Sends bytesBody, else textBody, else no body. A synchronous request completes here; an
    /// asynchronous one in waitForResponse, or at the first read of its reply.
    void send(std::string_view textBody = {}, std::string_view bytesBody = {});
    /// Completes an asynchronous request within `seconds` (0 or less: no limit); false when the
    /// reply did not come in time, which leaves the reply empty.
    bool waitForResponse(int seconds);
    /// Drops a request that has not completed yet; one under way (this call comes from another
    /// thread) ends within a fraction of a second. Either ends as Aborted.
    void abort();
    /// Once `*cancel` is true, the request under way and every later one ends as Aborted;
    /// nullptr: no flag. The flag must outlive the requests.
    void setCancelFlag(const std::atomic<bool>* cancel);
    const std::atomic<bool>* cancelFlag() const;

    /// The last request's failure: None when a reply came, whatever its status.
    TransferError lastError();
    /// One line on what failed in the last request (libcurl's message); empty when nothing did.
    std::string lastErrorDetail();
    /// The reply's status; 0 when none came. An error status still brings its body and headers.
    long status();
    std::string statusText();
    /// The reply body bytes; empty when the request failed.
    std::string responseBody();
    /// The reply body converted to GBK from the charset its Content-Type names (UTF-8 when none).
    std::string responseText();
    /// The reply's header lines, without the status line, each followed by "\r\n".
    std::string allResponseHeaders();
    /// The value of the first reply header named `name` (case-blind), or empty text.
    std::string responseHeader(std::string_view name);
    std::string setCookieLines();
    std::string responseCookieHeader();
    std::string responseCookie(std::string_view name);

    const std::string& storedCookies() const { return storedCookies_; }
    void setStoredCookies(std::string cookies) { storedCookies_ = std::move(cookies); }
    /// Empties the stored cookies; returns empty text.
    std::string clearStoredCookies();
    /// Header lines claiming one random client address under three names.
    static std::string fakeClientAddressHeaders();
    /// Fresh settings in place of the current ones (headers, time-outs, proxy, cancel flag);
    /// the stored cookies stay.
    void reset();
    /// The time-outs the next request uses.
    const RequestTimeouts& timeouts() const;

    /// The full request; GBK text, empty on failure (lastError() says which; an error status
    /// still gives its page). *charsetModeOut receives the mode written back (2 when 0 and the
    /// headers declare UTF-8).
    std::string fetchPage(std::string_view url, const FetchOptions& options = {},
                          int* charsetModeOut = nullptr);
    /// fetchPage's request, returning the body bytes (gunzipped when they are gzip).
    std::string fetchPageBytes(std::string_view url, const FetchOptions& options = {},
                               int* charsetModeOut = nullptr);

private:
    struct Session;

    void runFetch(std::string_view url, const FetchOptions& options);
    // The work the next transfers run once while they wait for a reply (null: none).
    void setWhileWaiting(std::function<void()>* work);
    int charsetModeAfterFetch(int mode);
    /// The reply body as the session holds it: read in place, a large reply is not copied.
    const std::string& settledBody();

    std::shared_ptr<Session> session_;
    std::string storedCookies_;
};

}  // namespace lianshuo
