#include <cmath>

#include "base/gbk.h"
#include "http/charsets.h"
#include "http/gzip.h"
#include "http/httprequestobject.h"
#include "http/transfer.h"

namespace lianshuo {
namespace {

constexpr double kTolerance = 0.0000001;
constexpr double kLongestSeconds = 2'000'000;  // keeps the millisecond values inside an int
constexpr int kDefaultWaitSeconds = 120;

// True below 1 second, and for values that are no number at all.
bool belowOneSecond(float seconds) {
    return !(static_cast<double>(seconds) - 1 >= -kTolerance);
}

}  // namespace

std::optional<RequestTimeouts> fetchTimeoutsFor(std::optional<float> timeoutSeconds) {
    if (!timeoutSeconds) return std::nullopt;
    if (belowOneSecond(*timeoutSeconds)) return RequestTimeouts{10000, 10000, 60000, 120000};
    const int ms = static_cast<int>(std::min<double>(*timeoutSeconds, kLongestSeconds) * 1000);
    return RequestTimeouts{ms, ms, ms, ms};
}

int fetchWaitSecondsFor(std::optional<float> timeoutSeconds) {
    if (!timeoutSeconds || belowOneSecond(*timeoutSeconds)) return kDefaultWaitSeconds;
    return static_cast<int>(std::min<double>(*timeoutSeconds, kLongestSeconds));
}

void HttpRequestObject::runFetch(std::string_view url, const FetchOptions& o) {
    // The options' flag counts for this request only; one set on the object stays for later.
    struct CancelScope {
        HttpRequestObject& object;
        const std::atomic<bool>* previous;
        ~CancelScope() {
            object.setCancelFlag(previous);
            object.setWhileWaiting(nullptr);
        }
    } scope{*this, cancelFlag()};
    if (o.cancel != nullptr) setCancelFlag(o.cancel);
    setWhileWaiting(o.whileWaiting);

    const bool post = !o.postText.empty() || !o.postBytes.empty();
    const std::string trimmedUrl = trimSpaces(url);
    open(!o.method.empty() ? o.method : post ? "POST" : "GET", trimmedUrl, !o.synchronous);
    if (o.noRedirect) setRedirectsEnabled(false);
    setRequestHeader("Referer", o.referer.empty() ? trimmedUrl : o.referer);
    // The form type goes out with GET requests too.
    if (!containsText(o.headers, "Content-Type:"))
        setRequestHeader("Content-Type", o.contentType.empty() ? "application/x-www-form-urlencoded"
                                                               : o.contentType);
    if (!containsText(o.headers, "User-Agent:"))
        setRequestHeader("User-Agent", o.userAgent.empty() ? transfer::kBrowserAgent : o.userAgent);

    std::string extra = o.headers;
    if (o.fakeClientAddress) {
        if (!extra.empty()) extra += "\r\n";
        extra += fakeClientAddressHeaders();
    }
    if (!extra.empty()) {
        for (const std::string& line : splitText(extra, "\r\n")) {
            // A value holding ": " keeps only its part before it.
            const std::vector<std::string> pieces = splitText(line, ": ");
            if (pieces.size() >= 2 && !pieces[0].empty() && !pieces[1].empty())
                setRequestHeader(pieces[0], pieces[1]);
        }
    }

    if (o.cookies) {
        setRequestHeader("Cookie", *o.cookies);
    } else if (!storedCookies_.empty()) {
        setRequestHeader("Cookie", storedCookies_);
    }

    if (const std::optional<RequestTimeouts> t = fetchTimeoutsFor(o.timeoutSeconds))
        setTimeouts(t->resolve, t->connect, t->send, t->receive);
    // The system proxy lives in the environment (http_proxy, https_proxy, no_proxy), which the
    // default setting reads.
    if (o.proxy == FetchProxy::System || (o.proxy == FetchProxy::Named && o.proxyServer.empty()))
        setProxy(kProxyDefault);
    else if (o.proxy == FetchProxy::Named)
        setProxy(kProxyNamed, o.proxyServer);

    send(o.postText, o.postBytes);
    if (!o.synchronous) waitForResponse(fetchWaitSecondsFor(o.timeoutSeconds));
    if (o.keepCookies) storedCookies_ = responseCookieHeader();
}

int HttpRequestObject::charsetModeAfterFetch(int mode) {
    return mode == kDetect && declaresCharset(allResponseHeaders(), "utf-8") ? kUtf8 : mode;
}

std::string HttpRequestObject::fetchPage(std::string_view url, const FetchOptions& options,
                                         int* charsetModeOut) {
    runFetch(url, options);
    int mode = options.charsetMode;
    std::string text;
    if (options.reply == ReplyText::ResponseText) {
        text = responseText();
    } else if (options.reply == ReplyText::RawBody) {
        text = responseBody();
    } else {
        mode = charsetModeAfterFetch(mode);
        text = decodeResponseText(settledBody(), mode);
    }
    if (charsetModeOut != nullptr) *charsetModeOut = mode;
    return text;
}

std::string HttpRequestObject::fetchPageBytes(std::string_view url, const FetchOptions& options,
                                              int* charsetModeOut) {
    runFetch(url, options);
    const int mode = charsetModeAfterFetch(options.charsetMode);
    if (charsetModeOut != nullptr) *charsetModeOut = mode;
    return expandedBody(settledBody()).value_or(std::string());
}

}  // namespace lianshuo
