// The options of one transfer, set on a pooled handle that was reset for it.

#include <algorithm>
#include <cstdlib>

#include "base/gbk.h"
#include "base/platform.h"
#include "http/charsets.h"
#include "http/handlepool.h"
#include "http/transfer.h"

namespace lianshuo::transfer {
namespace {

std::string environmentValue(const std::string& lowerName) {
    std::string upperName = lowerName;
    for (char& c : upperName) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    for (const std::string& name : {lowerName, upperName}) {
        const char* value = std::getenv(name.c_str());
        if (value != nullptr && *value != '\0') return value;
    }
    return {};
}

void setMethodAndBody(const curl::Easy& h, const Request& request) {
    if (request.method == "GET" && request.body.empty()) {
        h.set(CURLOPT_HTTPGET, 1L);
    } else if (request.method == "HEAD" && request.body.empty()) {
        h.set(CURLOPT_NOBODY, 1L);
    } else if (request.method == "POST" || !request.body.empty()) {
        h.set(CURLOPT_POST, 1L);
        h.set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        h.set(CURLOPT_POSTFIELDS, request.body.data());
        if (request.method != "POST") h.set(CURLOPT_CUSTOMREQUEST, request.method.c_str());
    } else {
        h.set(CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
}

void setProxy(const curl::Easy& h, const Request& request) {
    // The proxy and its bypass list are always set explicitly: an unset one would make libcurl
    // read the environment itself, which it does only in part (never HTTP_PROXY in capitals).
    switch (request.proxyMode) {
        case ProxyMode::Direct:
            h.set(CURLOPT_PROXY, "");
            return;
        case ProxyMode::Named:
            h.set(CURLOPT_PROXY, request.proxy.c_str());
            h.set(CURLOPT_NOPROXY, request.bypass.c_str());
            break;
        case ProxyMode::Environment: {
            // The handle copies option texts, so these may go at the end of the block.
            const ProxyChoice choice = proxyFromEnvironment(request.url);
            h.set(CURLOPT_PROXY, choice.proxy.c_str());
            h.set(CURLOPT_NOPROXY, choice.bypass.c_str());
            break;
        }
    }
    if (!request.proxyUser.empty()) {
        h.set(CURLOPT_PROXYUSERNAME, request.proxyUser.c_str());
        h.set(CURLOPT_PROXYPASSWORD, request.proxyPassword.c_str());
        h.set(CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
    }
}

// libcurl's built-in CA bundle when it is a file that exists, else nullptr.
const char* systemBundle() {
    static const char* const bundle = []() -> const char* {
        const curl_version_info_data* info = curl::api()->versionInfo(CURLVERSION_NOW);
        if (info == nullptr || info->cainfo == nullptr) return nullptr;
        const auto kind = platform::fileKind(info->cainfo);
        return kind && *kind == platform::FileKind::Regular ? info->cainfo : nullptr;
    }();
    return bundle;
}

void setSecurity(const curl::Easy& h, const Request& request) {
    h.set(CURLOPT_SSL_VERIFYPEER, 1L);
    h.set(CURLOPT_SSL_VERIFYHOST, 2L);
    if (!request.trustedCertificates.empty()) {
        h.set(CURLOPT_CAINFO, request.trustedCertificates.c_str());
        h.set(CURLOPT_CAPATH, nullptr);
    } else if (systemBundle() != nullptr) {
        // The bundle holds what the certificate folder holds; without the folder libcurl may
        // keep the parsed bundle between requests instead of reading it for each one.
        h.set(CURLOPT_CAPATH, nullptr);
    }
    if (!request.user.empty()) {
        h.set(CURLOPT_USERNAME, request.user.c_str());
        h.set(CURLOPT_PASSWORD, request.password.c_str());
        h.set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
    }
}

void setLimits(const curl::Easy& h, const Request& request) {
    h.set(CURLOPT_CONNECTTIMEOUT_MS, scaledMs(request.connectTimeoutMs));
    h.set(CURLOPT_TIMEOUT_MS, scaledMs(request.totalTimeoutMs));
    if (request.inactivitySeconds > 0) {
        h.set(CURLOPT_LOW_SPEED_LIMIT, 1L);
        // libcurl counts this limit in whole seconds.
        const long seconds = (scaledMs(request.inactivitySeconds * 1000) + 999) / 1000;
        h.set(CURLOPT_LOW_SPEED_TIME, std::max(1L, seconds));
    }
    // A reader of only the start of a body does not mind how long the whole one would be.
    if (request.bodyLimit == 0)
        h.set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxResponseBytes));
}

void setCookies(const curl::Easy& h, CookieUse use) {
    h.set(CURLOPT_SHARE, use == CookieUse::Shared ? sharedCookieJar() : sharedSessions());
    if (use == CookieUse::None) return;
    // An empty file name turns the cookie engine on without reading any file.
    h.set(CURLOPT_COOKIEFILE, "");
}

}  // namespace

ProxyChoice proxyFromEnvironment(std::string_view url) {
    const std::size_t colon = url.find("://");
    const std::string scheme = toLowerAscii(url.substr(0, colon == npos ? 0 : colon));
    ProxyChoice choice;
    if (!scheme.empty()) choice.proxy = environmentValue(scheme + "_proxy");
    if (choice.proxy.empty()) choice.proxy = environmentValue("all_proxy");
    choice.bypass = environmentValue("no_proxy");
    return choice;
}

void setOptions(const curl::Easy& h, const Request& request, const curl::StringList& headers) {
    h.set(CURLOPT_URL, request.url.c_str());
    h.set(CURLOPT_NOSIGNAL, 1L);
    h.set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    h.set(CURLOPT_PROTOCOLS_STR, "http,https");
    h.set(CURLOPT_PATH_AS_IS, 1L);
    h.set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // perform() follows redirects itself, each one judged before it goes out.
    h.set(CURLOPT_FOLLOWLOCATION, 0L);
    h.set(CURLOPT_HTTPHEADER, headers.get());
    if (!request.userAgent.empty()) h.set(CURLOPT_USERAGENT, request.userAgent.c_str());
    setMethodAndBody(h, request);
    setProxy(h, request);
    setSecurity(h, request);
    setLimits(h, request);
    setCookies(h, request.cookies);
}

}  // namespace lianshuo::transfer
