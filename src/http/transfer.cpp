#include "http/transfer.h"

#include <algorithm>
#include <cstdlib>

#include "app/base/gbk.h"
#include "app/base/messages.h"
#include "http/charsets.h"

namespace lianshuo::transfer {
namespace {

// Header lines libcurl would otherwise add by itself: an empty "Name:" keeps it out.
constexpr const char* kSuppressedHeaders[] = {"Accept:", "Expect:", "Content-Type:"};
constexpr long kMaxRedirects = 10;

struct Sink {
    std::string body;
    std::string headerBlock;
    bool tooLarge = false;
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t n = size * count;
    if (n > kMaxResponseBytes - sink->body.size()) {
        sink->tooLarge = true;
        return 0;  // anything short of n makes libcurl stop with a write error
    }
    sink->body.append(data, n);
    return n;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::string_view line(data, size * count);
    // A new status line starts the block of the next reply (after a redirect or a 100).
    if (line.starts_with("HTTP/")) sink->headerBlock.clear();
    sink->headerBlock.append(line);
    return line.size();
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

struct HeaderList {
    curl_slist* head = nullptr;
    HeaderList(const HeaderList&) = delete;
    HeaderList& operator=(const HeaderList&) = delete;
    HeaderList() = default;
    ~HeaderList() { curl_slist_free_all(head); }
    void add(const char* line) {
        if (curl_slist* grown = curl_slist_append(head, line)) head = grown;
    }
};

void setMethodAndBody(CURL* h, const Request& request) {
    if (request.method == "GET" && request.body.empty()) {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    } else if (request.method == "HEAD" && request.body.empty()) {
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    } else if (request.method == "POST" || !request.body.empty()) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.data());
        if (request.method != "POST")
            curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    } else {
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
}

void setProxy(CURL* h, const Request& request) {
    switch (request.proxyMode) {
        case ProxyMode::Direct:
            // An empty proxy also keeps libcurl from reading http_proxy and friends.
            curl_easy_setopt(h, CURLOPT_PROXY, "");
            return;
        case ProxyMode::Named:
            curl_easy_setopt(h, CURLOPT_PROXY, request.proxy.c_str());
            curl_easy_setopt(h, CURLOPT_NOPROXY, request.bypass.c_str());
            break;
        case ProxyMode::Environment:
            break;
    }
    if (!request.proxyUser.empty()) {
        curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, request.proxyUser.c_str());
        curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, request.proxyPassword.c_str());
        curl_easy_setopt(h, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
    }
}

void setSecurity(CURL* h, const Request& request) {
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!request.trustedCertificates.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, request.trustedCertificates.c_str());
        curl_easy_setopt(h, CURLOPT_CAPATH, nullptr);
    }
    if (!request.user.empty()) {
        curl_easy_setopt(h, CURLOPT_USERNAME, request.user.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, request.password.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
    }
}

void setLimits(CURL* h, const Request& request) {
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, scaledMs(request.connectTimeoutMs));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, scaledMs(request.totalTimeoutMs));
    if (request.inactivitySeconds > 0) {
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        // libcurl counts this limit in whole seconds.
        const long seconds = (scaledMs(request.inactivitySeconds * 1000) + 999) / 1000;
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, std::max(1L, seconds));
    }
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxResponseBytes));
}

void setCookies(CURL* h, CookieUse use) {
    curl_easy_setopt(h, CURLOPT_SHARE,
                     use == CookieUse::Shared ? sharedCookieJar() : sharedSessions());
    if (use == CookieUse::None) return;
    // An empty file name turns the cookie engine on without reading any file.
    curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");
}

TransferError errorOf(CURLcode code, const Sink& sink) {
    switch (code) {
        case CURLE_OK:
            return TransferError::None;
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_ABORTED_BY_CALLBACK:
            return TransferError::Timeout;
        case CURLE_FILESIZE_EXCEEDED:
            return TransferError::TooLarge;
        default:
            return sink.tooLarge ? TransferError::TooLarge : TransferError::Transport;
    }
}

}  // namespace

namespace {
std::atomic<double> timeScale{1.0};
}  // namespace

void setTimeScale(double factor) {
    timeScale = factor > 0 ? factor : 1.0;
}

long scaledMs(long ms) {
    if (ms <= 0) return ms;
    return std::max(1L, static_cast<long>(static_cast<double>(ms) * timeScale.load()));
}

void ensureInitialised() {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_ALL);
    static_cast<void>(initialised);
}

// The transfer driven from the window thread: libcurl is polled in short steps and the window
// processes its messages between them, so a slow service never freezes it.
CURLcode performPumping(CURL* h) {
    CURLM* multi = curl_multi_init();
    if (multi == nullptr || curl_multi_add_handle(multi, h) != CURLM_OK) {
        if (multi != nullptr) curl_multi_cleanup(multi);
        return curl_easy_perform(h);
    }
    CURLcode result = CURLE_OK;
    for (int running = 1; running > 0;) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_OUT_OF_MEMORY;
            break;
        }
        if (running > 0) curl_multi_poll(multi, nullptr, 0, 10, nullptr);
        processPendingMessages();
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == h)
            result = message->data.result;
    }
    curl_multi_remove_handle(multi, h);
    curl_multi_cleanup(multi);
    return result;
}

Result perform(CURL* h, const Request& request, const std::atomic<bool>* abandon, Waiting waiting) {
    ensureInitialised();
    curl_easy_reset(h);
    Sink sink;
    HeaderList headers;
    for (const std::string& line : request.headerLines) headers.add(line.c_str());
    for (const char* line : kSuppressedHeaders) headers.add(line);

    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.head);
    if (!request.userAgent.empty())
        curl_easy_setopt(h, CURLOPT_USERAGENT, request.userAgent.c_str());
    setMethodAndBody(h, request);
    setProxy(h, request);
    setSecurity(h, request);
    setLimits(h, request);
    setCookies(h, request.cookies);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &sink);
    if (abandon != nullptr) {
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, abandon);
    }

    const CURLcode code =
        waiting == Waiting::PumpingMessages ? performPumping(h) : curl_easy_perform(h);
    Result result;
    result.error = errorOf(code, sink);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
    if (result.error == TransferError::None) result.body = std::move(sink.body);
    result.headerBlock = std::move(sink.headerBlock);
    if (request.cookies == CookieUse::StoreOnly) {
        // The reply's cookies went into this handle's own jar, where libcurl gave them the
        // request's host and path; copy them over from there.
        curl_slist* cookies = nullptr;
        if (curl_easy_getinfo(h, CURLINFO_COOKIELIST, &cookies) == CURLE_OK) {
            storeInSharedJar(cookies);
            curl_slist_free_all(cookies);
        }
    }
    // The header list dies with this call; leave no dangling pointer in the handle.
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
    return result;
}

std::string trustedCertificatesFromEnvironment() {
    for (const char* name : {"SSL_CERT_FILE", "CURL_CA_BUNDLE"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return {};
}

bool hasHttpScheme(std::string_view url) {
    return startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://");
}

std::string escapeUrl(std::string_view url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

}  // namespace lianshuo::transfer
