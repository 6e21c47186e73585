#include "http/transfer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <utility>

#include "base/gbk.h"
#include "http/charsets.h"
#include "http/gzip.h"
#include "http/handlepool.h"
#include "http/redirects.h"

namespace lianshuo::transfer {
namespace {

// Header lines libcurl would otherwise add by itself: an empty "Name:" keeps it out.
constexpr const char* kSuppressedHeaders[] = {"Accept:", "Expect:", "Content-Type:"};
// How often a waiting transfer looks at its stop check: a stop ends a transfer within this.
constexpr int kStopStepMs = 10;

std::atomic<double> timeScale{1.0};

struct Sink {
    std::string body;
    std::string headerBlock;
    std::size_t bodyLimit = 0;  // 0: kMaxResponseBytes, a refusal past it
    bool tooLarge = false;
    bool capped = false;  // the caller's limit was reached: the rest stays unread
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t n = size * count;
    if (sink->bodyLimit > 0 && n >= sink->bodyLimit - sink->body.size()) {
        sink->body.append(data, sink->bodyLimit - sink->body.size());
        sink->capped = true;
        return 0;
    }
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

// Runs the handle's transfer in its own multi handle, where the connection stays when it ends.
// `stopped` tells a transfer ended by `stop` from one that ended by itself.
CURLcode drive(const PooledHandle& handle, const StopCheck& stop,
               std::function<void()>* whileWaiting, bool& stopped) {
    const curl::Api& api = *curl::api();
    CURLM* multi = handle.multi.get();
    CURL* easy = handle.easy.get();
    if (api.multiAddHandle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_FAILED_INIT;
    for (int running = 1; running > 0;) {
        if (api.multiPerform(multi, &running) != CURLM_OK) {
            result = CURLE_OUT_OF_MEMORY;
            break;
        }
        if (running > 0) {
            // Once the request is out, the reply is at least a round trip away.
            long sent = 0;
            if (whileWaiting != nullptr && *whileWaiting &&
                api.easyGetinfo(easy, CURLINFO_REQUEST_SIZE, &sent) == CURLE_OK && sent > 0) {
                // The request is on its way and the reply not yet here: the moment for the
                // work the caller kept back.
                const std::function<void()> work = std::exchange(*whileWaiting, nullptr);
                work();
            }
            api.multiPoll(multi, nullptr, 0, kStopStepMs, nullptr);
        }
        if (running > 0 && stop && stop()) {
            stopped = true;
            break;
        }
    }
    int left = 0;
    while (CURLMsg* message = api.multiInfoRead(multi, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
            result = message->data.result;
    }
    // Removed mid-transfer, the connection is closed; otherwise it stays for the next one.
    api.multiRemoveHandle(multi, easy);
    return result;
}

// What a completed transfer's body says about the transfer: a gzip body must end properly,
// or the text read from it would be a cut-off part that looks whole.
void checkBody(Outcome& result, Sink& sink) {
    if (!std::string_view(sink.body).starts_with(kGzipSignature)) {
        result.body = std::move(sink.body);
        return;
    }
    switch (gunzip(sink.body, kMaxResponseBytes).status) {
        case GunzipStatus::Complete:
            result.body = std::move(sink.body);
            break;
        case GunzipStatus::TooLarge:
            result.error = TransferError::TooLarge;
            result.detail = "gzip body expands past the largest reply read";
            break;
        case GunzipStatus::Broken:
            result.error = TransferError::Truncated;
            result.detail = "gzip body is cut off or damaged";
            break;
    }
}

// libcurl keeps a reply's header in memory up to a limit of its own; past it the transfer ends
// as "out of memory" (older versions) or "too large", before any body byte came.
bool headerTooLarge(CURLcode code, const Sink& sink, std::string_view message) {
    constexpr int kTooLarge = 100;  // CURLE_TOO_LARGE, in libcurl 8.6 and later
    if (!sink.body.empty()) return false;
    return code == CURLE_OUT_OF_MEMORY || static_cast<int>(code) == kTooLarge ||
           containsText(message, "Too large response headers", true);
}

std::string detailOf(TransferError error, CURLcode code, const char* message) {
    if (error == TransferError::None) return {};
    if (error == TransferError::Aborted) return "aborted by the caller";
    if (error == TransferError::TooLarge) return "reply larger than the largest reply read";
    if (error == TransferError::HeaderTooLarge) return "reply header larger than libcurl reads";
    std::string text = *message != '\0' ? message : curl::api()->easyStrerror(code);
    // One line, whatever the TLS library put into the message.
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    return trimSpaces(text);
}

// One request of a redirect chain on `handle`; `redirect` receives the address a 301, 302,
// 303, 307 or 308 reply points to.
Outcome performOne(const PooledHandle& handle, const Request& request, const StopCheck& stop,
                   std::function<void()>* whileWaiting, std::string& redirect) {
    const curl::Easy& h = handle.easy;
    h.reset();
    Sink sink;
    sink.bodyLimit = request.bodyLimit;
    curl::StringList headers;
    for (const std::string& line : request.headerLines) headers.add(line.c_str());
    for (const char* line : kSuppressedHeaders) headers.add(line);
    char message[CURL_ERROR_SIZE] = {};

    setOptions(h, request, headers);
    h.set(CURLOPT_ERRORBUFFER, static_cast<char*>(message));
    h.set(CURLOPT_WRITEFUNCTION, &onBody);
    h.set(CURLOPT_WRITEDATA, static_cast<void*>(&sink));
    h.set(CURLOPT_HEADERFUNCTION, &onHeader);
    h.set(CURLOPT_HEADERDATA, static_cast<void*>(&sink));

    bool stopped = false;
    const CURLcode code = drive(handle, stop, whileWaiting, stopped);
    long osErrno = 0;
    h.info(CURLINFO_OS_ERRNO, &osErrno);
    Outcome result;
    h.info(CURLINFO_RESPONSE_CODE, &result.status);
    result.error = stopped                             ? TransferError::Aborted
                   : sink.capped                       ? TransferError::None
                   : code != CURLE_OK && sink.tooLarge ? TransferError::TooLarge
                   : code != CURLE_OK && headerTooLarge(code, sink, message)
                       ? TransferError::HeaderTooLarge
                       : errorOf(code, osErrno, message);
    result.detail = detailOf(result.error, code, message);
    if (sink.capped)
        result.body = std::move(sink.body);
    else if (result.error == TransferError::None)
        checkBody(result, sink);
    result.headerBlock = std::move(sink.headerBlock);
    const long s = result.status;
    char* location = nullptr;
    if ((s == 301 || s == 302 || s == 303 || s == 307 || s == 308) &&
        h.info(CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location != nullptr)
        redirect = location;
    if (request.cookies == CookieUse::StoreOnly) {
        // The reply's cookies went into this handle's own jar, where libcurl gave them the
        // request's host and path; copy them over from there.
        curl_slist* cookies = nullptr;
        if (h.info(CURLINFO_COOKIELIST, &cookies) == CURLE_OK) {
            const curl::StringList owned(cookies);
            storeInSharedJar(owned.get());
        }
    }
    // The handle goes back to the pool: nothing of this request may stay in it, neither the
    // cookies of its own jar and its list of cookie files (a reset keeps both, and drops the
    // list without freeing it) nor pointers to this call's buffers. The shared jar keeps its
    // cookies.
    h.set(CURLOPT_COOKIEFILE, nullptr);
    h.reset();
    return result;
}

}  // namespace

void setTimeScale(double factor) {
    timeScale = factor > 0 ? factor : 1.0;
}

long scaledMs(long ms) {
    if (ms <= 0) return ms;
    return std::max(1L, static_cast<long>(static_cast<double>(ms) * timeScale.load()));
}

Outcome perform(const Request& request, const StopCheck& stop,
                std::function<void()>* whileWaiting) {
    HandleLease lease = leaseHandle();
    if (!lease) return failedOutcome(TransferError::Transport, "libcurl is not available");
    // Redirects are followed here, one request each, so that every one is judged before it
    // goes out and sends only what its target may see (libcurl would pass the caller's header
    // lines, the Referer among them, to any host).
    const auto started = std::chrono::steady_clock::now();
    const Request* current = &request;
    std::optional<Request> following;
    for (long redirects = 0;; ++redirects) {
        std::string target;
        Outcome result = performOne(*lease, *current, stop, whileWaiting, target);
        if (target.empty() || !current->followRedirects || result.error != TransferError::None)
            return result;
        if (redirects == kMostRedirects) {
            return failedOutcome(
                TransferError::Transport,
                "Maximum (" + std::to_string(kMostRedirects) + ") redirects followed");
        }
        const RedirectVerdict verdict = judgeRedirect(request.url, current->url, target);
        if (verdict != RedirectVerdict::Follow) {
            result.error = verdict == RedirectVerdict::PlainHttp ? TransferError::RedirectToHttp
                                                                 : TransferError::RedirectElsewhere;
            result.detail = shownHost(target);
            result.body.clear();
            return result;
        }
        Request next = followingRequest(*current, std::move(target), result.status);
        if (request.totalTimeoutMs > 0) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - started);
            const auto unscaled =
                static_cast<long>(static_cast<double>(spent.count()) / timeScale.load());
            next.totalTimeoutMs = std::max(1L, request.totalTimeoutMs - unscaled);
        }
        following = std::move(next);
        current = &*following;
    }
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
