#pragma once
// Every preset with its fake, the exact request it must make and what comes
// back: shared by the engine's tests and the command line's.

#include <functional>
#include <string>
#include <vector>

#include "base/charset.h"
#include "base/gbk.h"
#include "services/encoding.h"
#include "services/interfacepresets.h"
#include "support/fake_apis.h"

namespace lianshuo::test::presets {

// A long address with what each context must treat its own way: a quote, "&", non-ASCII.
inline const std::string kLongUrl = "https://a.test/路径?q=\"x\"&y=1";

inline std::string encodedLongUrl() {
    return percentEncodeLongUrl(kLongUrl, true);
}

// The long address inside a JSON string, as UTF-8.
inline std::string jsonLongUrl() {
    return replaceAll(toUtf8(kLongUrl), "\"", "\\\"");
}

struct PresetCase {
    std::string preset;
    std::function<void(test::TestServer&)> serve;
    std::string requestLine;           // "{url}": the encoded long address
    std::vector<std::string> headers;  // "Name: value" lines the request must hold
    std::string body;                  // "{json}": the long address in a JSON string
    std::string shortUrl;
    std::string failureReason;  // with a wrong token or password, or a long address it refuses
    // A service that logs in first: the exact log-in, made once before the conversion.
    std::string loginLine = {};
    std::string loginBody = {};
};

// Whether the preset logs in with a user name and password (kFakeUser, and kFakeToken as the
// password) rather than taking a token.
inline bool logsIn(const InterfacePreset& preset) {
    return !preset.usernameLabel.empty() || !preset.passwordLabel.empty();
}

// Whether the preset takes a secret of some kind: a token, or a log-in.
inline bool needsSecret(const InterfacePreset& preset) {
    return !preset.tokenLabel.empty() || logsIn(preset);
}

inline std::string filled(std::string text) {
    text = replaceAll(text, "{url}", encodedLongUrl());
    return replaceAll(text, "{json}", jsonLongUrl());
}

inline const std::vector<PresetCase>& cases() {
    static const std::vector<PresetCase> all{
        {"is.gd",
         [](auto& s) { test::serveIsGd(s); },
         "GET /create.php?format=json&url={url} HTTP/1.1",
         {},
         "",
         "https://is.gd/fk1",
         "回复中找不到短网址：Please enter a valid URL to shorten"},
        {"v.gd",
         [](auto& s) { test::serveIsGd(s, "v.gd"); },
         "GET /create.php?format=json&url={url} HTTP/1.1",
         {},
         "",
         "https://v.gd/fk1",
         "回复中找不到短网址：Please enter a valid URL to shorten"},
        {"da.gd",
         [](auto& s) { test::serveDaGd(s); },
         "GET /s?url={url} HTTP/1.1",
         {},
         "",
         "https://da.gd/fk1",
         "HTTP 400：Long URL must have http:// or https:// scheme."},
        {"tinyurl",
         [](auto& s) { test::serveTinyUrlPlain(s); },
         "GET /api-create.php?url={url} HTTP/1.1",
         {},
         "",
         "https://tinyurl.com/fk1",
         "HTTP 400：Error"},
        {"tinyurl-api",
         [](auto& s) { test::serveTinyUrlApi(s); },
         "POST /create HTTP/1.1",
         {"Authorization: Bearer tok-123", "Content-Type: application/json; charset=utf-8"},
         R"({"url":"{json}","domain":"tinyurl.com"})",
         "https://tinyurl.com/fk1",
         "HTTP 401：Unauthorized"},
        {"bitly",
         [](auto& s) { test::serveBitly(s); },
         "POST /v4/shorten HTTP/1.1",
         {"Authorization: Bearer tok-123", "Content-Type: application/json; charset=utf-8"},
         R"({"long_url":"{json}","domain":"bit.ly"})",
         "https://bit.ly/fk1",
         "HTTP 403：You are currently forbidden to access this resource."},
        {"yourls",
         [](auto& s) { test::serveYourls(s); },
         "GET /yourls-api.php?signature=tok-123&action=shorturl&format=json&url={url} HTTP/1.1",
         {},
         "",
         "http://s.yourls.test/fk1",
         "HTTP 403：Please log in"},
        {"shlink",
         [](auto& s) { test::serveShlink(s); },
         "POST /rest/v3/short-urls HTTP/1.1",
         {"X-Api-Key: tok-123", "Content-Type: application/json; charset=utf-8"},
         R"({"longUrl":"{json}","findIfExists":true})",
         "https://s.shlink.test/fk1",
         "HTTP 401：Provided API key does not exist or is invalid."},
        {"kutt",
         [](auto& s) { test::serveKutt(s); },
         "POST /api/v2/links HTTP/1.1",
         {"X-API-KEY: tok-123", "Content-Type: application/json; charset=utf-8"},
         R"({"target":"{json}"})",
         "https://kutt.it/fk1",
         "HTTP 401：Unauthorized."},
        {"polr",
         [](auto& s) { test::servePolr(s); },
         "GET /api/v2/action/shorten?key=tok-123&url={url}&response_type=json HTTP/1.1",
         {},
         "",
         "https://s.polr.test/fk1",
         "HTTP 401：Authentication token required."},
        {"t.ly",
         [](auto& s) { test::serveTly(s); },
         "POST /api/v1/link/shorten HTTP/1.1",
         {"Authorization: Bearer tok-123", "Accept: application/json",
          "Content-Type: application/json; charset=utf-8"},
         R"({"long_url":"{json}","domain":"https://t.ly/"})",
         "https://t.ly/fk1",
         "HTTP 401：Unauthenticated."},
        {"dub",
         [](auto& s) { test::serveDub(s); },
         "POST /links HTTP/1.1",
         {"Authorization: Bearer tok-123", "Content-Type: application/json; charset=utf-8"},
         R"({"url":"{json}"})",
         "https://dub.sh/fk1",
         "HTTP 401：Unauthorized: Invalid API key."},
        {"sink",
         [](auto& s) { test::serveSink(s); },
         "POST /api/link/create HTTP/1.1",
         {"Authorization: Bearer tok-123", "Content-Type: application/json; charset=utf-8"},
         R"({"url":"{json}"})",
         "https://s.sink.test/fk1",
         "HTTP 401：Unauthorized"},
        {"cleanuri",
         [](auto& s) { test::serveCleanUri(s); },
         "POST /api/v1/shorten HTTP/1.1",
         {"Content-Type: application/x-www-form-urlencoded"},
         "url={url}",
         "https://cleanuri.com/fk1",
         "HTTP 400：API Error: URL is invalid (check #1)"},
        {"spoo.me",
         [](auto& s) { test::serveSpooMe(s); },
         "POST / HTTP/1.1",
         {"Accept: application/json", "Content-Type: application/x-www-form-urlencoded"},
         "url={url}",
         "https://spoo.me/fk1",
         "HTTP 400：Invalid URL, URL must have a valid protocol and must follow rfc_1034 & "
         "rfc_2728 patterns"},
        {"tiny.cc",
         [](auto& s) { test::serveTinyCc(s); },
         "POST /tiny/api/3/urls HTTP/1.1",
         {"Authorization: Basic dG9rLTEyMw==", "Content-Type: application/json; charset=utf-8"},
         R"({"urls":[{"long_url":"{json}"}]})",
         "https://tiny.cc/fk1",
         "HTTP 401：Unauthorized"},
        {"rebrandly",
         [](auto& s) { test::serveRebrandly(s); },
         "POST /v1/links HTTP/1.1",
         {"apikey: tok-123", "Content-Type: application/json; charset=utf-8"},
         R"({"destination":"{json}","domain":{"fullName":"rebrand.ly"}})",
         "https://rebrand.ly/fk1",
         "HTTP 401：Unauthorized"},
        {"short.io",
         [](auto& s) { test::serveShortIo(s); },
         "POST /links HTTP/1.1",
         {"authorization: tok-123", "Content-Type: application/json; charset=utf-8"},
         R"({"domain":"example.short.gy","originalURL":"{json}"})",
         "https://example.short.gy/fk1",
         "HTTP 401：Unauthorized"},
        {"cutt.ly",
         [](auto& s) { test::serveCuttly(s); },
         "GET /api/api.php?key=tok-123&short={url} HTTP/1.1",
         {},
         "",
         "https://cutt.ly/fk1",
         "回复中找不到短网址：4"},
        {"zipline",
         [](auto& s) { test::serveZipline(s); },
         "POST /api/user/urls HTTP/1.1",
         {"Authorization: tok-123", "Content-Type: application/json; charset=utf-8"},
         R"({"destination":"{json}"})",
         "https://s.zipline.test/go/fk1",
         "HTTP 401：Unauthorized"},
        {"switchy",
         [](auto& s) { test::serveSwitchy(s); },
         "POST /v1/links/create HTTP/1.1",
         {"Api-Authorization: tok-123", "Content-Type: application/json; charset=utf-8"},
         R"({"link":{"url":"{json}","domain":"hi.switchy.io"}})",
         "https://hi.switchy.io/fk1",
         "HTTP 401：Unauthorized"},
        {"lstu",
         [](auto& s) { test::serveLstu(s); },
         "POST /a HTTP/1.1",
         {"Content-Type: application/x-www-form-urlencoded"},
         "lsturl={url}&format=json",
         "https://lstu.fr/fk1",
         "回复中找不到短网址：ftp://a.test/x is not a valid URL."},
        {"1pt",
         [](auto& s) { test::serve1pt(s); },
         "GET /addURL?long={url} HTTP/1.1",
         {},
         "",
         "https://1pt.co/fk1",
         "HTTP 400：Bad request"},
        {"x.gd",
         [](auto& s) { test::serveXgd(s); },
         "GET /V1/shorten?url={url}&key=tok-123 HTTP/1.1",
         {},
         "",
         "https://x.gd/fk1",
         "回复中找不到短网址：Invalid API key."},
        {"bl.ink",
         [](auto& s) { test::serveBlink(s); },
         "POST /api/v4/12345/links HTTP/1.1",
         {"Authorization: Bearer at-1", "Content-Type: application/json; charset=utf-8"},
         R"({"url":"{json}"})",
         "https://bl.ink/fk1",
         "获取令牌失败：HTTP 401：The input auth data was invalid",
         "POST /api/v4/access_token HTTP/1.1",
         R"({"email":"ann@example.test","password":"tok-123"})"},
    };
    return all;
}

}  // namespace lianshuo::test::presets
