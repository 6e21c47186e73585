#include "http/httprequestobject.h"

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "base/charset.h"
#include "base/gbk.h"
#include "http/cookies.h"
#include "http/transfer.h"

namespace lianshuo {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

long positiveOrZero(int ms) {
    return ms > 0 ? ms : 0;
}

std::string charsetOfContentType(std::string_view contentType) {
    constexpr std::string_view kKey = "charset=";
    const std::size_t at = findTextNoCase(contentType, kKey);
    if (at == npos) return "UTF-8";
    std::string value(contentType.substr(at + kKey.size()));
    value = trimSpaces(value.substr(0, value.find(';')));
    std::erase(value, '"');
    std::erase(value, '\'');
    return value.empty() ? "UTF-8" : value;
}

}  // namespace

struct HttpRequestObject::Session {
    std::string method = "GET";
    std::string url;
    bool async = false;
    bool followRedirects = true;
    std::vector<std::pair<std::string, std::string>> headers;
    RequestTimeouts timeouts;
    transfer::ProxyMode proxyMode = transfer::ProxyMode::Environment;
    std::string proxy, bypass, proxyUser, proxyPassword, user, password;
    std::string body;
    bool pending = false;                     // sent, not yet performed
    std::atomic<bool> performing{false};      // a transfer is under way
    std::atomic<bool> abortRequested{false};  // set by abort() from another thread meanwhile
    const std::atomic<bool>* cancel = nullptr;
    std::function<void()>* whileWaiting = nullptr;  // the fetch's caller's, for its request only
    transfer::Outcome reply;

    bool cancelled() const { return cancel != nullptr && cancel->load(); }

    transfer::Request transferRequest() const {
        transfer::Request out;
        out.url = transfer::escapeUrl(url);
        out.method = method;
        out.body = body;
        for (const auto& [name, value] : headers)
            out.headerLines.push_back(value.empty() ? name + ";" : name + ": " + value);
        // WinHttp adds no Content-Type of its own; libcurl would give any body the form type.
        if (!body.empty() && std::none_of(headers.begin(), headers.end(), [](const auto& header) {
                return toLowerAscii(header.first) == "content-type";
            }))
            out.headerLines.push_back("Content-Type:");
        out.followRedirects = followRedirects;
        out.proxyMode = proxyMode;
        out.proxy = proxy;
        out.bypass = bypass;
        out.proxyUser = proxyUser;
        out.proxyPassword = proxyPassword;
        out.user = user;
        out.password = password;
        out.trustedCertificates = transfer::trustedCertificatesFromEnvironment();
        // libcurl has one limit for resolving and connecting, and one for a stalled transfer.
        out.connectTimeoutMs = positiveOrZero(timeouts.resolve) + positiveOrZero(timeouts.connect);
        const long stallMs =
            std::max(positiveOrZero(timeouts.send), positiveOrZero(timeouts.receive));
        out.inactivitySeconds = (stallMs + 999) / 1000;
        return out;
    }

    // Performs the sent request, within `totalMs` when that is positive.
    void complete(long totalMs) {
        if (!pending) return;
        pending = false;
        transfer::Request request = transferRequest();
        request.totalTimeoutMs = totalMs;
        if (cancelled()) {
            reply = transfer::failedOutcome(TransferError::Aborted, "aborted by the caller");
        } else {
            performing = true;
            reply = transfer::perform(
                request, [this] { return abortRequested.load() || cancelled(); }, whileWaiting);
            performing = false;
            abortRequested = false;
        }
    }

    const transfer::Outcome& settled() {
        complete(0);
        return reply;
    }
};

HttpRequestObject::HttpRequestObject() : session_(std::make_shared<Session>()) {}

void HttpRequestObject::open(std::string_view method, std::string_view url, bool async) {
    Session& s = *session_;
    std::string normalised(url.substr(0, url.find('#')));
    if (!normalised.empty() && !transfer::hasHttpScheme(normalised))
        normalised.insert(0, "http://");
    s.method = method;
    s.url = std::move(normalised);
    s.async = async;
    s.followRedirects = true;
    s.headers.clear();
    s.body.clear();
    s.pending = false;
    s.reply = {};
}

void HttpRequestObject::setRedirectsEnabled(bool enabled) {
    session_->followRedirects = enabled;
}

void HttpRequestObject::setRequestHeader(std::string_view name, std::string_view value) {
    std::string v(value);
    if (toLowerAscii(name) == "referer" && !transfer::hasHttpScheme(v)) v.insert(0, "http://");
    auto& headers = session_->headers;
    for (auto& [existing, existingValue] : headers) {
        if (toLowerAscii(existing) == toLowerAscii(name)) {
            existingValue = std::move(v);
            return;
        }
    }
    headers.emplace_back(std::string(name), std::move(v));
}

void HttpRequestObject::setTimeouts(int resolve, int connect, int send, int receive) {
    auto orResolve = [&](int ms) { return ms > 0 ? ms : resolve; };
    session_->timeouts = {resolve, orResolve(connect), orResolve(send), orResolve(receive)};
}

void HttpRequestObject::setProxy(int setting, std::string_view proxy, std::string_view bypass) {
    Session& s = *session_;
    const std::vector<std::string> pieces = splitText(proxy, ",");
    s.proxyMode = setting == kProxyNamed    ? transfer::ProxyMode::Named
                  : setting == kProxyDirect ? transfer::ProxyMode::Direct
                                            : transfer::ProxyMode::Environment;
    s.proxy = pieces[0];
    // Bypass lists come ";"-separated; libcurl reads ","-separated ones.
    s.bypass = replaceAll(bypass, ";", ",");
    if (pieces.size() >= 3 && !pieces[1].empty() && !pieces[2].empty())
        setCredentials(pieces[1], pieces[2], kProxyCredentials);
}

void HttpRequestObject::setCredentials(std::string_view user, std::string_view password,
                                       int target) {
    Session& s = *session_;
    (target == kProxyCredentials ? s.proxyUser : s.user) = user;
    (target == kProxyCredentials ? s.proxyPassword : s.password) = password;
}

void HttpRequestObject::send(std::string_view textBody, std::string_view bytesBody) {
    Session& s = *session_;
    s.body = !bytesBody.empty() ? bytesBody : textBody;
    s.pending = true;
    if (!s.async) s.complete(0);
}

bool HttpRequestObject::waitForResponse(int seconds) {
    Session& s = *session_;
    s.complete(seconds > 0 ? static_cast<long>(seconds) * 1000 : 0);
    return s.reply.error != TransferError::Timeout;
}

void HttpRequestObject::abort() {
    Session& s = *session_;
    if (s.performing) {
        s.abortRequested = true;
    } else if (s.pending) {
        s.pending = false;
        s.reply = transfer::failedOutcome(TransferError::Aborted, "aborted by the caller");
    }
}

void HttpRequestObject::setWhileWaiting(std::function<void()>* work) {
    session_->whileWaiting = work;
}

void HttpRequestObject::setCancelFlag(const std::atomic<bool>* cancel) {
    session_->cancel = cancel;
}

const std::atomic<bool>* HttpRequestObject::cancelFlag() const {
    return session_->cancel;
}

TransferError HttpRequestObject::lastError() {
    return session_->settled().error;
}

std::string HttpRequestObject::lastErrorDetail() {
    return session_->settled().detail;
}

long HttpRequestObject::status() {
    return session_->settled().status;
}

std::string HttpRequestObject::statusText() {
    const std::string& block = session_->settled().headerBlock;
    const std::string statusLine = block.substr(0, block.find(kLineEnd));
    const std::size_t code = statusLine.find(' ');
    const std::size_t text = code == std::string::npos ? code : statusLine.find(' ', code + 1);
    return text == std::string::npos ? std::string() : statusLine.substr(text + 1);
}

std::string HttpRequestObject::responseBody() {
    return settledBody();
}

const std::string& HttpRequestObject::settledBody() {
    return session_->settled().body;
}

std::string HttpRequestObject::responseText() {
    const std::string& body = session_->settled().body;
    const std::string charset = charsetOfContentType(responseHeader("Content-Type"));
    std::string text = convertCharset(body, charset.c_str(), "GB18030");
    // A charset name the converter does not know reads as the default.
    if (text.empty()) text = convertCharset(body, "UTF-8", "GB18030");
    return text;
}

std::string HttpRequestObject::allResponseHeaders() {
    std::vector<std::string> lines = splitText(session_->settled().headerBlock, kLineEnd);
    std::string headers;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (!lines[i].empty()) headers += lines[i] + std::string(kLineEnd);
    }
    return headers;
}

std::string HttpRequestObject::responseHeader(std::string_view name) {
    for (const std::string& line : splitText(allResponseHeaders(), kLineEnd)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (toLowerAscii(trimSpaces(line.substr(0, colon))) == toLowerAscii(name))
            return trimSpaces(line.substr(colon + 1));
    }
    return {};
}

std::string HttpRequestObject::setCookieLines() {
    return setCookieLinesOf(allResponseHeaders());
}

std::string HttpRequestObject::responseCookieHeader() {
    return cookieHeaderOf(allResponseHeaders());
}

std::string HttpRequestObject::responseCookie(std::string_view name) {
    return responseCookieOf(allResponseHeaders(), name);
}

std::string HttpRequestObject::clearStoredCookies() {
    storedCookies_.clear();
    return {};
}

std::string HttpRequestObject::fakeClientAddressHeaders() {
    std::random_device seed;
    std::mt19937 generator(seed());
    std::uniform_int_distribution<int> part(0, 255);
    std::string address;
    for (int i = 0; i < 4; ++i) address += (i > 0 ? "." : "") + std::to_string(part(generator));
    return "X-Forward-For: " + address + "\r\nX-Forwarded-For: " + address +
           "\r\nREMOTE_ADDR: " + address;
}

void HttpRequestObject::reset() {
    session_ = std::make_shared<Session>();
}

const RequestTimeouts& HttpRequestObject::timeouts() const {
    return session_->timeouts;
}

}  // namespace lianshuo
