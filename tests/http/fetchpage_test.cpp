#include <gtest/gtest.h>

#include <regex>

#include "http/httprequestobject.h"
#include "support/scoped_env.h"
#include "support/test_pages.h"
#include "support/test_server.h"

namespace lianshuo {
namespace {

using Names = std::vector<std::string>;
using test::ScopedEnv;

std::string utf8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

class FetchPageTest : public ::testing::Test {
protected:
    test::TestServer server;
    HttpRequestObject object;
};

TEST(FetchPageTimeouts, FollowTheSecondsGiven) {
    const RequestTimeouts defaults{10000, 10000, 60000, 120000};
    EXPECT_EQ(fetchTimeoutsFor(std::nullopt), std::nullopt);
    EXPECT_EQ(fetchTimeoutsFor(0), defaults);
    EXPECT_EQ(fetchTimeoutsFor(0.5f), defaults);
    EXPECT_EQ(fetchTimeoutsFor(5), (RequestTimeouts{5000, 5000, 5000, 5000}));
    EXPECT_EQ(fetchTimeoutsFor(1.5f), (RequestTimeouts{1500, 1500, 1500, 1500}));
    EXPECT_EQ(fetchWaitSecondsFor(0), 120);
    EXPECT_EQ(fetchWaitSecondsFor(0.5f), 120);
    EXPECT_EQ(fetchWaitSecondsFor(5), 5);
    EXPECT_EQ(fetchWaitSecondsFor(1.9f), 1);

    HttpRequestObject object;
    object.setTimeouts(3000, 0, -1, 7000);
    EXPECT_EQ(object.timeouts(), (RequestTimeouts{3000, 3000, 3000, 7000}));
}

TEST_F(FetchPageTest, DefaultGetSendsRefererFormTypeAndBrowserAgent) {
    server.route("/p", test::reply(200, "page"));
    EXPECT_EQ(object.fetchPage(server.url("/p?q=1")), "page");
    EXPECT_EQ(object.timeouts(), (RequestTimeouts{10000, 10000, 60000, 120000}));
    // Opened as "http://..." without the fragment; the Referer keeps the fragment.
    EXPECT_EQ(object.fetchPage("  " + server.address() + "/p#frag"), "page");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    const test::RecordedRequest& get = requests[0];
    EXPECT_EQ(get.requestLine, "GET /p?q=1 HTTP/1.1");
    EXPECT_EQ(get.headerNames(), (Names{"Host", "Referer", "Content-Type", "User-Agent"}));
    EXPECT_EQ(get.header("Referer"), server.url("/p?q=1"));
    EXPECT_EQ(get.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(get.header("User-Agent"),
              "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
              "Chrome/30.0.1599.101 Safari/537.36");
    EXPECT_EQ(requests[1].requestLine, "GET /p HTTP/1.1");
    EXPECT_EQ(requests[1].header("Referer"), "http://" + server.address() + "/p#frag");
}

TEST_F(FetchPageTest, CallerHeadersAndPostBodies) {
    server.route("/api", test::reply(200, "{}"));
    FetchOptions api;
    api.postText = "{\"a\":1}";
    api.headers =
        "Token: abc\r\nContent-Type: application/json\r\nno colon\r\nX-Pair: a: b\r\nEmpty: ";
    api.timeoutSeconds = 5;
    object.fetchPage(server.url("/api"), api);
    EXPECT_EQ(object.timeouts(), (RequestTimeouts{5000, 5000, 5000, 5000}));

    FetchOptions custom;
    custom.referer = "ref.test/r";
    custom.userAgent = "UA/1";
    custom.contentType = "text/plain";
    custom.postText = "text";
    custom.postBytes = "bytes";
    custom.fakeClientAddress = true;
    object.fetchPage(server.url("/api"), custom);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    const test::RecordedRequest& post = requests[0];
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.body, "{\"a\":1}");
    EXPECT_EQ(post.headerNames(), (Names{"Host", "Referer", "User-Agent", "Token", "Content-Type",
                                         "X-Pair", "Content-Length"}));
    EXPECT_EQ(post.header("Token"), "abc");
    EXPECT_EQ(post.header("Content-Type"), "application/json");
    EXPECT_EQ(post.header("X-Pair"), "a");
    EXPECT_EQ(post.header("Content-Length"), "7");

    const test::RecordedRequest& other = requests[1];
    EXPECT_EQ(other.body, "bytes");
    EXPECT_EQ(other.header("Referer"), "http://ref.test/r");
    EXPECT_EQ(other.header("User-Agent"), "UA/1");
    EXPECT_EQ(other.header("Content-Type"), "text/plain");
    const std::string address = other.header("X-Forward-For");
    EXPECT_TRUE(std::regex_match(address, std::regex(R"(\d{1,3}(\.\d{1,3}){3})"))) << address;
    EXPECT_EQ(other.header("X-Forwarded-For"), address);
    EXPECT_EQ(other.header("REMOTE_ADDR"), address);
}

TEST_F(FetchPageTest, StoredCookiesAndTheCookiesOption) {
    server.route("/login", test::reply(200, "in", {"Set-Cookie: a=1; path=/", "Set-Cookie: b=2"}));
    server.route("/next", test::reply(200, "next"));
    FetchOptions keep;
    keep.keepCookies = true;
    object.fetchPage(server.url("/login"), keep);
    EXPECT_EQ(object.storedCookies(), "a=1; path=/; b=2; ");
    EXPECT_EQ(object.responseCookie("a"), "1");
    object.fetchPage(server.url("/next"));
    FetchOptions empty;
    empty.cookies = "";
    object.fetchPage(server.url("/next"), empty);
    FetchOptions own;
    own.cookies = "x=1";
    object.fetchPage(server.url("/next"), own);
    object.clearStoredCookies();
    object.fetchPage(server.url("/next"));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].headerCount("Cookie"), 0);
    EXPECT_EQ(requests[1].headerLines.back(), "Cookie: a=1; path=/; b=2; ");
    EXPECT_EQ(requests[2].headerCount("Cookie"), 1);
    EXPECT_EQ(requests[2].header("Cookie"), "");
    EXPECT_EQ(requests[3].header("Cookie"), "x=1");
    EXPECT_EQ(requests[4].headerCount("Cookie"), 0);
}

TEST_F(FetchPageTest, RepliesAreDecodedByMode) {
    const std::string chinese = utf8(u8"中文");
    server.route("/utf8", test::reply(200, chinese, {"Content-Type: text/html; charset=UTF-8"}));
    server.route("/gbk", test::reply(200, "中文"));
    server.route("/big5",
                 test::reply(200, "\xA4\xA4\xA4\xE5", {"Content-Type: text/plain; charset=big5"}));
    server.route("/gzip",
                 test::reply(200, test::gzipOf(utf8(u8"压缩")), {"Content-Encoding: gzip"}));
    server.route("/bomb", test::reply(200, test::gzipOfZeros(std::uint64_t{70} << 20)));

    int mode = -9;
    EXPECT_EQ(object.fetchPage(server.url("/utf8"), {}, &mode), "中文");
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(object.fetchPage(server.url("/gbk"), {}, &mode), "中文");
    EXPECT_EQ(mode, 0);
    FetchOptions as;
    as.charsetMode = 1;
    EXPECT_EQ(object.fetchPage(server.url("/utf8"), as, &mode), chinese);
    EXPECT_EQ(mode, 1);
    as.reply = ReplyText::RawBody;
    EXPECT_EQ(object.fetchPage(server.url("/utf8"), as), chinese);
    as.reply = ReplyText::ResponseText;
    EXPECT_EQ(object.fetchPage(server.url("/big5"), as), "中文");
    EXPECT_EQ(object.fetchPage(server.url("/gzip")), "压缩");
    EXPECT_EQ(object.fetchPage(server.url("/bomb")), "");

    EXPECT_EQ(object.fetchPageBytes(server.url("/gzip")), utf8(u8"压缩"));
    EXPECT_EQ(object.fetchPageBytes(server.url("/utf8"), {}, &mode), chinese);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(object.fetchPageBytes(server.url("/bomb")), "");
    for (const auto& request : server.requests())
        EXPECT_EQ(request.headerCount("Accept-Encoding"), 0);
}

TEST_F(FetchPageTest, FailedRequestsGiveEmptyText) {
    using namespace std::chrono_literals;
    server.route("/never", test::neverAnswer());
    server.route("/slow", test::trickle(std::string(50, 's'), 10, 400ms));
    server.route("/reset", test::resetMidBody(std::string(100000, 'r')));
    server.route("/loop", test::redirectTo("/loop"));
    server.route("/endless", test::oversized(std::uint64_t{70} << 20, false));
    server.route("/500", test::reply(500, "error page"));
    server.route("/late", test::delayedReply(300ms, 200, "late but in time"));

    FetchOptions quick;
    quick.timeoutSeconds = 2;
    EXPECT_EQ(object.fetchPage(server.url("/late"), quick), "late but in time");
    quick.timeoutSeconds = 1;
    EXPECT_EQ(object.fetchPage(server.url("/never"), quick), "");
    EXPECT_EQ(object.fetchPage(server.url("/slow"), quick), "");
    // Synchronous requests skip the wait; the receive time-out ends them.
    quick.synchronous = true;
    EXPECT_EQ(object.fetchPage(server.url("/never"), quick), "");
    EXPECT_EQ(object.fetchPage(server.url("/reset")), "");
    EXPECT_EQ(object.fetchPage(server.url("/loop")), "");
    EXPECT_EQ(object.fetchPage(server.url("/endless")), "");
    EXPECT_EQ(object.fetchPage(server.url("/500")), "error page");
    EXPECT_EQ(object.status(), 500);
    EXPECT_EQ(object.statusText(), "Internal Server Error");
}

TEST_F(FetchPageTest, ProxySettingsAndCredentials) {
    test::TestServer target;
    target.route("/t", test::reply(200, "direct"));
    // The server stands in for the proxy; it wants credentials for "/auth" only.
    server.route("/t", test::reply(200, "proxied"));
    server.route("/auth", [](test::Exchange& exchange) {
        if (exchange.request().header("Proxy-Authorization").empty()) {
            exchange.answer(407, "who?", {"Proxy-Authenticate: Basic realm=\"test\""});
        } else {
            exchange.answer(200, "proxied with credentials");
        }
    });
    ScopedEnv httpProxy("http_proxy", "http://" + server.address());
    ScopedEnv noProxy("no_proxy", std::nullopt);
    ScopedEnv noProxyUpper("NO_PROXY", std::nullopt);

    // The environment's proxy is the object's own setting; only a direct setting avoids it.
    EXPECT_EQ(object.fetchPage(target.url("/t")), "proxied");
    FetchOptions options;
    options.proxy = FetchProxy::Keep;
    EXPECT_EQ(object.fetchPage(target.url("/t"), options), "proxied");
    options.proxy = FetchProxy::System;
    EXPECT_EQ(object.fetchPage(target.url("/t"), options), "proxied");
    HttpRequestObject direct;
    direct.open("GET", target.url("/t"));
    direct.setProxy(kProxyDirect);
    direct.send();
    EXPECT_EQ(direct.responseBody(), "direct");
    options.proxy = FetchProxy::Named;
    options.proxyServer = server.address() + ",user,secret";
    EXPECT_EQ(object.fetchPage(target.url("/auth"), options), "proxied with credentials");

    const auto requests = server.requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine, "GET " + target.url("/t") + " HTTP/1.1");
    EXPECT_EQ(requests.back().requestLine, "GET " + target.url("/auth") + " HTTP/1.1");
    EXPECT_EQ(requests.back().header("Proxy-Authorization"), "Basic dXNlcjpzZWNyZXQ=");
}

}  // namespace
}  // namespace lianshuo
