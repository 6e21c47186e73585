#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fakeservices.h"
#include "services/conversionoutcome.h"
#include "services/shorturlconverter.h"
#include "support/test_pages.h"

using namespace lianshuo;
using test::Exchange;

TEST(WebAddress, AcceptsWhatServicesGiveAndRefusesErrorTextsAndPages) {
    for (const char* good :
         {"http://s.test/x", "HTTPS://S.TEST/x?a=1#f", "http://127.0.0.1:8080/x", "http://[::1]/x",
          "http://localhost/x", "https://t.cn", "http://user@s.test:81"}) {
        EXPECT_TRUE(isWebAddress(good)) << good;
    }
    for (const char* bad :
         {"", "ERROR", "http://ERROR", "http://Service Unavailable, try later",
          "http://<html>oops</html>", "ftp://s.test/x", "http://s.test/a b", "http://s.test/\"x",
          "http://s.test/x\n", "http://s.test/\x1b[31m", "http://999.1.1.1/x", "http://.test/",
          "http://s.test:/x", "http://s.test:123456/x", "http://s.test./x", "http://[zz]/x"}) {
        EXPECT_FALSE(isWebAddress(bad)) << bad;
    }
    EXPECT_TRUE(isWebAddress("http://s.test/" + std::string(2034, 'a')));
    EXPECT_FALSE(isWebAddress("http://s.test/" + std::string(2035, 'a')));
}

TEST(WebAddress, ServiceMessagesComeFromJsonMembersOrTheFirstLine) {
    EXPECT_EQ(serviceMessage("{\"message\":\"INVALID_ARG_LONG_URL\",\"description\":\"x\"}"),
              "INVALID_ARG_LONG_URL");
    EXPECT_EQ(serviceMessage("{\"error\":{\"code\":7,\"message\":\"quota\"}}"), "quota");
    EXPECT_EQ(serviceMessage("{\"errors\":[],\"detail\":\"Not allowed\"}"), "Not allowed");
    EXPECT_EQ(serviceMessage("{\"ok\":false}"), "");
    // The members of services that gave only "HTTP 4xx" before, at the top and one level down.
    for (const char* reply :
         {"{\"errcode\":40001,\"errmsg\":\"said\"}", "{\"ErrMsg\":\"said\"}",
          "{\"statusMessage\":\"said\"}", "{\"errors\":[\"said\",\"not this\"]}",
          "{\"errors\":[{\"code\":1,\"detail\":\"said\"}]}",
          "{\"data\":{\"errormessage\":\"said\"}}", "{\"result\":{\"error_msg\":\"said\"}}",
          "{\"error\":{\"message\":\"not this\"},\"description\":\"said\"}"})
        EXPECT_EQ(serviceMessage(reply), "said") << reply;
    EXPECT_EQ(serviceMessage("\r\n  Service Unavailable, try later\nsecond line"),
              "Service Unavailable, try later");
    EXPECT_EQ(serviceMessage("<html><body>503</body></html>"), "");
    EXPECT_EQ(serviceMessage(std::string(300, 'x')).size(), 200 + std::string("…").size());
    EXPECT_EQ(escapedExcerpt("a\r\nb\x1b\tc"), "a\\r\\nb\\x1B\\tc");
    EXPECT_EQ(escapedExcerpt("中文"), "中文");
}

TEST(WebAddress, RetryAfterInSecondsOrAsAnHttpDate) {
    // 1994-11-06 08:49:37 UTC
    const long long moment = 784111777;
    EXPECT_EQ(parseRetryAfter("120", moment), 120);
    EXPECT_EQ(parseRetryAfter(" 0 ", moment), 0);
    EXPECT_EQ(parseRetryAfter("Sun, 06 Nov 1994 08:50:07 GMT", moment), 30);
    EXPECT_EQ(parseRetryAfter("Sun, 06 Nov 1994 08:49:00 GMT", moment), 0);
    EXPECT_EQ(parseRetryAfter("", moment), -1);
    EXPECT_EQ(parseRetryAfter("soon", moment), -1);
    EXPECT_EQ(parseRetryAfter("-5", moment), -1);
}

namespace {

// A custom interface on the local fake, converted the way every run does.
class Outcomes : public ::testing::Test {
protected:
    ConversionOutcome convertAt(const std::string& path, int retries = 0) {
        source.panel.address = server.url(path + "?u=#长网址#");
        source.panel.utf8Encoding = true;
        ShortUrlConverter converter(source, defaultBuiltinHosts());
        converter.setRetryPolicy({.retries = retries, .firstDelayMs = 10});
        converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
        return converter.convert("http://a.test/long");
    }
    test::TestServer server;
    test::FakeSource source;
};

}  // namespace

TEST_F(Outcomes, ErrorStatusesAndPagesFailWithTheServicesOwnWords) {
    server.route("/503", test::reply(503, "Service Unavailable, try later"));
    server.route("/401", test::reply(401, "{\"message\":\"FORBIDDEN\"}",
                                     {"Content-Type: application/json"}));
    server.route("/html", test::reply(200, "<html><body>Error 42</body></html>"));
    server.route("/error", test::reply(200, "ERROR"));

    ConversionOutcome outcome = convertAt("/503");
    EXPECT_EQ(outcome.failure, FailureKind::HttpStatus);
    EXPECT_EQ(outcome.status, 503);
    EXPECT_EQ(outcome.reason(), "HTTP 503：Service Unavailable, try later");
    EXPECT_TRUE(outcome.retryable);

    outcome = convertAt("/401");
    EXPECT_EQ(outcome.status, 401);
    EXPECT_EQ(outcome.message, "FORBIDDEN");
    EXPECT_FALSE(outcome.retryable);

    EXPECT_EQ(convertAt("/html").failure, FailureKind::NotWebAddress);
    outcome = convertAt("/error");
    EXPECT_EQ(outcome.failure, FailureKind::NotWebAddress);
    EXPECT_EQ(outcome.message, "http://ERROR");
}

TEST_F(Outcomes, PlainRepliesAreTrimmedAndGetAScheme) {
    server.route("/nl", test::reply(200, "https://s.test/abc\n"));
    server.route("/bare", test::reply(200, "s.test/x"));
    server.route("/ip", test::reply(200, "http://127.0.0.1:8080/x"));
    server.route("/v6", test::reply(200, "http://[::1]/x"));
    server.route("/local", test::reply(200, "http://localhost/x"));
    server.route("/inner", test::reply(200, "https://s.test/a\nb"));
    EXPECT_EQ(convertAt("/nl").shortUrl, "https://s.test/abc");
    EXPECT_EQ(convertAt("/bare").shortUrl, "http://s.test/x");
    EXPECT_EQ(convertAt("/ip").shortUrl, "http://127.0.0.1:8080/x");
    EXPECT_EQ(convertAt("/v6").shortUrl, "http://[::1]/x");
    EXPECT_EQ(convertAt("/local").shortUrl, "http://localhost/x");
    // A line break inside the reply would become two lines of every output.
    const ConversionOutcome inner = convertAt("/inner");
    EXPECT_EQ(inner.failure, FailureKind::NotWebAddress);
    EXPECT_EQ(inner.message, "https://s.test/a\\nb");
}

// Raw bytes in a Location header reach the result as they came; they are no text at all.
TEST_F(Outcomes, AShortAddressThatIsNoTextIsNoWebAddress) {
    server.route("/made", test::reply(201, "", {"Location: http://s.test/\xFF\xFE"}));
    source.panel.extractKind = ExtractKind::Header;
    source.panel.extractExpression = "Location";
    const ConversionOutcome outcome = convertAt("/made");
    EXPECT_EQ(outcome.failure, FailureKind::NotWebAddress);
    EXPECT_EQ(outcome.reason(), "结果不是网址：http://s.test/\\xFF\\xFE");
    // UTF-8, as the interface says, is text.
    server.route("/named", test::reply(201, "", {"Location: http://s.test/\xE4\xB8\xAD"}));
    const ConversionOutcome named = convertAt("/named");
    EXPECT_EQ(named.shortUrl, "http://s.test/中") << named.reason();
}

TEST_F(Outcomes, AHugeReplyHeaderIsNamedAsSuch) {
    server.route("/head", [](Exchange& e) {
        e.send("HTTP/1.1 200 OK\r\nX-Big: " + std::string(10 << 20, 'b') +
               "\r\nContent-Length: 2\r\n\r\nok");
    });
    std::string lines;
    for (int i = 0; i < 200000; ++i)
        lines += "X-Line-" + std::to_string(i) + ": 1234567890abcdef\r\n";
    server.route("/lines", [lines](Exchange& e) {
        e.send("HTTP/1.1 200 OK\r\n" + lines + "Content-Length: 2\r\n\r\nok");
    });
    for (const char* path : {"/head", "/lines"}) {
        const std::string reason = convertAt(path).reason();
        EXPECT_TRUE(reason.starts_with("请求失败：回复头太大（")) << reason;
    }
}

TEST_F(Outcomes, RetriesFollowRetryAfterAndGiveUpAfterTheLastTry) {
    int asked = 0;
    server.route("/busy", [&asked](Exchange& e) {
        if (++asked == 1) return (void)e.answer(429, "slow down", {"Retry-After: 1"});
        e.answer(200, "https://s.test/ok");
    });
    const auto start = std::chrono::steady_clock::now();
    const ConversionOutcome outcome = convertAt("/busy", 2);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(outcome.ok());
    EXPECT_EQ(asked, 2);

    int failures = 0;
    server.route("/down", [&failures](Exchange& e) {
        ++failures;
        e.answer(503, "down");
    });
    EXPECT_EQ(convertAt("/down", 2).status, 503);
    EXPECT_EQ(failures, 3);
    failures = 0;
    EXPECT_EQ(convertAt("/down", 0).status, 503);
    EXPECT_EQ(failures, 1);
}

TEST_F(Outcomes, AStopEndsTheRetryWaitAtOnce) {
    server.route("/later", test::reply(503, "down", {"Retry-After: 60"}));
    source.panel.address = server.url("/later?u=#长网址#");
    ShortUrlConverter converter(source, defaultBuiltinHosts());
    std::atomic<bool> stop{false};
    converter.setStopFlag(&stop);
    converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    // A stop click while the conversion waits to try again.
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    const ConversionOutcome outcome = converter.convert("http://a.test/");
    stopper.join();
    EXPECT_EQ(outcome.failure, FailureKind::Stopped);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(Outcomes, OversizedAndInjectedTemplatesAreRefusedBeforeSending) {
    server.route("/x", test::reply(200, "https://s.test/x"));
    source.panel.address = server.url("/x?u=#长网址#");
    source.panel.postMode = true;
    std::string body;
    for (int i = 0; i < 100000; ++i) body += "#长网址#";
    source.panel.postTemplate = body;
    ShortUrlConverter converter(source, defaultBuiltinHosts());
    converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    EXPECT_EQ(converter.convert("http://a.test/long").failure, FailureKind::TooLarge);

    source.panel.postMode = false;
    source.panel.address = server.url("/x?u=#长网址#") + " HTTP/1.1\r\nX-Evil: 1\r\n";
    converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    EXPECT_EQ(converter.convert("http://a.test/long").failure, FailureKind::Request);
    EXPECT_TRUE(server.requests().empty());
}
