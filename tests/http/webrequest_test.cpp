#include "http/webrequest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/test_pages.h"
#include "support/test_server.h"

namespace lianshuo {
namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;

constexpr const char* kBrowserAgent =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/30.0.1599.101 Safari/537.36";

WebRequestParams params(std::string url) {
    WebRequestParams p;
    p.url = std::move(url);
    return p;
}

class WebRequestTest : public ::testing::Test {
protected:
    void SetUp() override { clearSharedCookies(); }

    test::TestServer server;
};

TEST(WebRequestUrl, PortAndPathFollowTheHost) {
    EXPECT_EQ(urlPathOf("http://x.test:8080/p?q=1"), "/p?q=1");
    EXPECT_EQ(urlPortOf("http://x.test:8080/p?q=1"), 8080);
    EXPECT_EQ(urlPathOf("http://x.test"), "/");
    EXPECT_EQ(urlPortOf("http://x.test"), 80);
    EXPECT_EQ(urlPortOf("HTTPS://x.test/a"), 443);
    EXPECT_EQ(urlPathOf("http://X.Test/A/b"), "/A/b");
    // The host is looked for from the start, so one that also occurs in the scheme moves the path.
    EXPECT_EQ(urlPathOf("http://h/a"), "//h/a");
}

TEST_F(WebRequestTest, GetSendsTheDefaultHeadersInOrder) {
    server.route("/page", test::reply(200, "hello"));
    const WebResponse response = webRequest(params(server.url("/page?x=1")));
    EXPECT_EQ(response.error, TransferError::None);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "hello");
    EXPECT_TRUE(response.headerBlock.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(response.headerBlock.ends_with("\r\n\r\n"));

    // Without a scheme "http://" goes in front; a scheme in capitals is kept as it is.
    EXPECT_EQ(webRequest(params(server.address() + "/page")).body, "hello");
    EXPECT_EQ(webRequest(params("HTTP://" + server.address() + "/page")).body, "hello");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    const test::RecordedRequest& get = requests[0];
    EXPECT_EQ(get.requestLine, "GET /page?x=1 HTTP/1.1");
    EXPECT_EQ(get.headerNames(),
              (Names{"Host", "User-Agent", "Accept", "Referer", "Accept-Language"}));
    EXPECT_EQ(get.header("User-Agent"), kBrowserAgent);
    EXPECT_EQ(get.header("Accept"),
              "image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
              "application/x-shockwave-flash, application/vnd.ms-excel, "
              "application/vnd.ms-powerpoint, application/msword, */*");
    EXPECT_EQ(get.header("Referer"), server.url("/page?x=1"));
    EXPECT_EQ(get.header("Accept-Language"), "zh-cn");
    EXPECT_EQ(requests[1].header("Referer"), "http://" + server.address() + "/page");
}

TEST_F(WebRequestTest, PostBodiesGetTypeAndLengthUnlessTheCallerSetsThem) {
    server.route("/post", test::reply(200, "ok"));
    WebRequestParams p = params(server.url("/post"));
    p.method = WebMethod::Post;
    p.body = "a=1&b=2";
    webRequest(p);
    p.headers = "Content-Type: text/plain\r\nUser-Agent: Agent X";
    webRequest(p);
    p.headers.clear();
    p.body.clear();
    webRequest(p);
    p.method = WebMethod::Get;
    p.body = "not sent with a GET";
    p.headers = "Accept-Language: en\r\nRefererNo";
    webRequest(p);
    p.method = WebMethod::Post;
    p.body.assign(std::size_t{2} << 20,
                  'b');  // past the size at which libcurl would ask to continue
    p.headers.clear();
    webRequest(p);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 5u);
    const test::RecordedRequest& form = requests[0];
    EXPECT_EQ(form.requestLine, "POST /post HTTP/1.1");
    EXPECT_EQ(form.body, "a=1&b=2");
    EXPECT_EQ(form.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(form.header("Content-Length"), "7");

    const test::RecordedRequest& typed = requests[1];
    EXPECT_EQ(typed.headerNames(), (Names{"Host", "Content-Type", "User-Agent", "Accept", "Referer",
                                          "Accept-Language", "Content-Length"}));
    EXPECT_EQ(typed.header("Content-Type"), "text/plain");
    EXPECT_EQ(typed.header("User-Agent"), "Agent X");
    EXPECT_EQ(typed.header("Content-Length"), "7");

    EXPECT_EQ(requests[2].method, "POST");
    EXPECT_EQ(requests[2].headerCount("Content-Type"), 0);

    // Any header holding "Accept" keeps the default Accept out; "RefererNo" keeps the Referer out.
    const test::RecordedRequest& bare = requests[3];
    EXPECT_EQ(bare.method, "GET");
    EXPECT_EQ(bare.body, "");
    EXPECT_EQ(bare.headerNames(), (Names{"Host", "User-Agent", "Accept-Language"}));
    EXPECT_EQ(bare.header("Accept-Language"), "en");

    EXPECT_EQ(requests[4].body.size(), std::size_t{2} << 20);
    EXPECT_EQ(requests[4].headerCount("Expect"), 0);
}

TEST_F(WebRequestTest, CookiesAreCollectedStoredAndSentBack) {
    server.route("/jar/set",
                 test::reply(200, "set", {"Set-Cookie: k=1; path=/", "Set-Cookie: t=2"}));
    server.route("/jar/echo", test::reply(200, "echo"));
    server.route("/jar/late", test::reply(200, "late", {"Set-Cookie: late=3; path=/"}));

    const WebResponse set = webRequest(params(server.url("/jar/set")));
    EXPECT_EQ(set.cookies, "k=1;;");
    EXPECT_NE(set.headerBlock.find("\r\nSet-Cookie: t=2\r\n"), std::string::npos);
    webRequest(params(server.url("/jar/echo")));
    WebRequestParams own = params(server.url("/jar/late"));
    own.cookies = "mine=9";
    webRequest(own);
    webRequest(params(server.url("/jar/echo")));
    clearSharedCookies();
    webRequest(params(server.url("/jar/echo")));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].headerCount("Cookie"), 0);
    const std::string sentBack = requests[1].header("Cookie");
    EXPECT_NE(sentBack.find("k=1"), std::string::npos);
    EXPECT_NE(sentBack.find("t=2"), std::string::npos);
    // The caller's cookies replace the stored ones, but what that reply sets is kept.
    EXPECT_EQ(requests[2].headerCount("Cookie"), 1);
    EXPECT_EQ(requests[2].header("Cookie"), "mine=9");
    EXPECT_NE(requests[3].header("Cookie").find("late=3"), std::string::npos);
    EXPECT_EQ(requests[4].headerCount("Cookie"), 0);
}

TEST_F(WebRequestTest, RedirectsAreFollowedUnlessAskedNotTo) {
    server.route("/from", test::redirectTo("/to"));
    server.route("/to", test::reply(200, "arrived"));
    server.route("/loop", test::redirectTo("/loop"));

    EXPECT_EQ(webRequest(params(server.url("/from"))).body, "arrived");
    WebRequestParams stay = params(server.url("/from"));
    stay.noRedirect = true;
    const WebResponse redirect = webRequest(stay);
    EXPECT_EQ(redirect.status, 302);
    EXPECT_EQ(redirect.body, "moved\n");

    const WebResponse loop = webRequest(params(server.url("/loop")));
    EXPECT_EQ(loop.error, TransferError::Transport);
    EXPECT_EQ(loop.body, "");
}

TEST_F(WebRequestTest, ErrorPagesComeBackAsReceived) {
    server.route("/500", test::reply(500, "boom"));
    server.route("/404", test::reply(404, "gone"));
    const std::string packed = test::gzipOf("packed");
    server.route("/gzip", test::reply(200, packed, {"Content-Encoding: gzip"}));

    const WebResponse failed = webRequest(params(server.url("/500")));
    EXPECT_EQ(failed.error, TransferError::None);
    EXPECT_EQ(failed.status, 500);
    EXPECT_EQ(failed.body, "boom");
    EXPECT_EQ(webRequest(params(server.url("/404"))).body, "gone");
    EXPECT_EQ(webRequest(params(server.url("/gzip"))).body, packed);  // decoding is the caller's
    EXPECT_EQ(server.requests().back().headerCount("Accept-Encoding"), 0);
}

TEST_F(WebRequestTest, BrokenTransfersGiveNothing) {
    server.route("/reset", test::resetMidBody(std::string(100000, 'r')));
    server.route("/big", test::oversized((std::uint64_t{70} << 20), true));
    server.route("/endless", test::oversized((std::uint64_t{70} << 20), false));

    const WebResponse reset = webRequest(params(server.url("/reset")));
    EXPECT_EQ(reset.error, TransferError::ConnectionReset);
    EXPECT_EQ(reset.body, "");
    for (const char* path : {"/big", "/endless"}) {
        const WebResponse big = webRequest(params(server.url(path)));
        EXPECT_EQ(big.error, TransferError::TooLarge) << path;
        EXPECT_EQ(big.body, "") << path;
    }
}

TEST_F(WebRequestTest, SilentAndSlowPagesTimeOutOnTheCallingThread) {
    server.route("/never", test::neverAnswer());
    server.route("/slow", test::trickle(std::string(50, 's'), 10, 400ms));
    server.route("/fine", test::delayedReply(300ms, 200, "fine"));

    WebRequestParams never = params(server.url("/never"));
    never.timeoutSeconds = 1;
    const auto start = std::chrono::steady_clock::now();
    const WebResponse silent = webRequest(never);
    const auto waited = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(silent.error, TransferError::Timeout);
    EXPECT_EQ(silent.body, "");
    EXPECT_GE(waited, 1s);
    EXPECT_LT(waited, 4s);

    WebRequestParams slow = params(server.url("/slow"));
    slow.timeoutSeconds = 1;
    EXPECT_EQ(webRequest(slow).error, TransferError::Timeout);
    // The server is free again, and a reply well within the time-out is not cut short.
    WebRequestParams late = params(server.url("/fine"));
    late.timeoutSeconds = 5;
    EXPECT_EQ(webRequest(late).body, "fine");
}

TEST_F(WebRequestTest, PlainRequestsGoThroughTheProxy) {
    server.route("/via", test::reply(200, "proxied"));
    // Port 9 on the loopback: should the proxy be skipped, the request fails instead of leaving.
    WebRequestParams p = params("http://127.0.0.1:9/via?x=1");
    p.proxy = server.address();
    EXPECT_EQ(webRequest(p).body, "proxied");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].requestLine, "GET http://127.0.0.1:9/via?x=1 HTTP/1.1");
}

}  // namespace
}  // namespace lianshuo
