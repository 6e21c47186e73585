#include <gtest/gtest.h>

#include "base/charset.h"
#include "fakeservices.h"
#include "services/encoding.h"
#include "services/shorturlconverter.h"

using namespace lianshuo;
using test::Exchange;

namespace {

ShortUrlInterface custom(const std::string& address) {
    ShortUrlInterface d;
    d.address = address;
    d.utf8Encoding = true;
    return d;
}

ConversionOutcome outcomeOf(test::FakeSource& source, const std::string& longUrl,
                            BuiltinHosts hosts = defaultBuiltinHosts()) {
    ShortUrlConverter converter(source, hosts);
    converter.setRetryPolicy({.retries = 0});
    converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    return converter.convert(longUrl);
}

std::string convert(test::FakeSource& source, const std::string& longUrl,
                    BuiltinHosts hosts = defaultBuiltinHosts()) {
    const ConversionOutcome outcome = outcomeOf(source, longUrl, hosts);
    return outcome.ok() ? outcome.shortUrl : conversionErrorText();
}

}  // namespace

TEST(CustomInterface, GetSendsTheEncodedAddressAndNoBodyEvenWithATemplate) {
    test::TestServer server;
    server.route("/api", [](Exchange& e) { e.answer(200, "s.test/x"); });
    test::FakeSource source;
    source.panel = custom(server.url("/api?u=#长网址#&k=1"));
    source.panel.postTemplate = "ignored=#长网址#";
    EXPECT_EQ(convert(source, "http://a.test/?q=中"), "http://s.test/x");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine,
              "GET /api?u=http%3A%2F%2Fa.test%2F%3Fq%3D%E4%B8%AD&k=1 HTTP/1.1");
    EXPECT_EQ(requests[0].body, "");
}

TEST(CustomInterface, PostInGbkCutsReplacesAndAddsPrefixAndSuffix) {
    test::TestServer server;
    // A GBK reply: the interface decodes nothing in GBK mode.
    server.route("/make",
                 [](Exchange& e) { e.answer(200, "<p>说明</p><b class=\"x\">s.test\\/Ab</b>"); });
    test::FakeSource source;
    source.panel = custom(server.url("/make"));
    source.panel.utf8Encoding = false;
    source.panel.postMode = true;
    source.panel.postTemplate = "url=#长网址#&t=1";
    source.panel.cutEnabled = true;
    source.panel.leftMarker = "<b class=''x''>";
    source.panel.rightMarker = "</b>";
    source.panel.replaceEnabled = true;
    source.panel.findList = "\\/|ab";
    source.panel.replaceList = "/|cd";
    source.panel.insertEnabled = true;
    source.panel.prefix = "https://";
    source.panel.suffix = "?s";
    EXPECT_EQ(convert(source, "http://a.test/中"), "https://s.test/cd?s");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "url=http%3A%2F%2Fa.test%2F%D6%D0&t=1");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST(CustomInterface, SecondAttemptWithoutQuotesAndReverseCut) {
    test::TestServer server;
    server.route("/a", [](Exchange& e) { e.answer(200, "<b class=x>one.test/1</b>"); });
    server.route("/b", [](Exchange& e) { e.answer(200, "<i>x <i>http://s.test/2</i>"); });
    test::FakeSource source;
    source.panel = custom(server.url("/a?#长网址#"));
    source.panel.cutEnabled = true;
    source.panel.leftMarker = "<b class=''x''>";
    source.panel.rightMarker = "</b>";
    EXPECT_EQ(convert(source, "u"), "http://one.test/1");
    source.panel = custom(server.url("/b?#长网址#"));
    source.panel.cutEnabled = true;
    source.panel.reverseCut = true;
    source.panel.leftMarker = "<i>";
    source.panel.rightMarker = "</i>";
    EXPECT_EQ(convert(source, "u"), "http://s.test/2");
}

TEST(CustomInterface, MissingMarkersErrorPagesAndFailedRequestsGiveTheErrorText) {
    test::TestServer server;
    server.route("/a", [](Exchange& e) { e.answer(200, "<html>oops</html>"); });
    server.route("/500", [](Exchange& e) { e.answer(500, "<html>oops</html>"); });
    test::FakeSource source;
    source.panel = custom(server.url("/a"));
    source.panel.cutEnabled = true;
    source.panel.leftMarker = "<b>";
    source.panel.rightMarker = "</b>";
    ConversionOutcome outcome = outcomeOf(source, "u");
    EXPECT_EQ(outcome.failure, FailureKind::NothingExtracted);
    EXPECT_EQ(outcome.message, "<html>oops</html>");
    // Cutting off, an error page is never a short address, whatever scheme goes in front.
    source.panel.cutEnabled = false;
    outcome = outcomeOf(source, "u");
    EXPECT_EQ(outcome.failure, FailureKind::NotWebAddress);
    EXPECT_EQ(outcome.message, "http://<html>oops</html>");
    source.panel = custom(server.url("/500"));
    outcome = outcomeOf(source, "u");
    EXPECT_EQ(outcome.failure, FailureKind::HttpStatus);
    EXPECT_EQ(outcome.status, 500);
    source.panel = custom("http://127.0.0.1:1/nothing-listens-here");
    outcome = outcomeOf(source, "u");
    EXPECT_EQ(outcome.failure, FailureKind::Request);
    EXPECT_EQ(convert(source, "u"), conversionErrorText());
}

TEST(CustomInterface, PostWithAnEmptyTemplateSendsGetOverHttp) {
    test::TestServer server;
    server.route("/p", [](Exchange& e) { e.answer(200, "HTTPS://s.test/x"); });
    test::FakeSource source;
    source.panel = custom(server.url("/p"));
    source.panel.postMode = true;
    EXPECT_EQ(convert(source, "u"), "HTTPS://s.test/x");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].method, "GET");
}

TEST(CustomInterface, HttpsGoesThroughTheWorkerEngineAndDecodesUtf8) {
    test::TrustedServer server;
    server.route("/s", [](Exchange& e) {
        e.answer(200, "{\"k\":\"https:\\/\\/s.test\\/\xE4\xB8\xAD\"}",
                 {"Content-Type: application/json"});
    });
    test::FakeSource source;
    source.panel = custom(server.url("/s"));
    source.panel.postMode = true;
    source.panel.postTemplate = "{\"url\":\"#长网址#\"}";
    source.panel.cutEnabled = true;
    source.panel.leftMarker = "''k'':''";
    source.panel.rightMarker = "''}";
    source.panel.replaceEnabled = true;
    source.panel.findList = "\\/";
    source.panel.replaceList = "/";
    EXPECT_EQ(convert(source, "http://a.test/"), "https://s.test/中");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "{\"url\":\"http%3A%2F%2Fa.test%2F\"}");
}

TEST(BuiltinServices, BaiduPostsEscapedJsonWithTheTokenAndUnescapesTheReply) {
    test::TrustedServer server;
    server.route("/admin/v2/create", [](Exchange& e) {
        e.answer(200,
                 "{\"Code\":0,\"ShortUrl\":\"http:\\/\\/s.test\\/ab\\u0031\",\"LongUrl\":\"x\"}",
                 {"Content-Type: application/json; charset=UTF-8"});
    });
    test::FakeSource source;
    source.service = kBaiduService;
    source.token = "tok en";
    BuiltinHosts hosts = defaultBuiltinHosts();
    hosts.baidu = server.address();
    EXPECT_EQ(convert(source, "http://a.test/\"x\"", hosts), "http://s.test/ab1");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "POST /admin/v2/create HTTP/1.1");
    EXPECT_EQ(requests[0].body,
              "{\"Url\":\"http://a.test/\\\"x\\\"\",\"TermOfValidity\":\"long-term\"}");
    EXPECT_EQ(requests[0].header("Token"), "tok en");
}

TEST(BuiltinServices, BaiduErrorMessageBecomesTheReason) {
    test::TrustedServer server;
    server.route("/admin/v2/create", [](Exchange& e) {
        e.answer(200,
                 "{\"Code\":-1,\"err_msg\":\"\xE4\xBB\xA4\xE7\x89\x8C\xE6\x97\xA0\xE6\x95\x88\"}",
                 {"Content-Type: application/json; charset=utf-8"});
    });
    test::FakeSource source;
    source.service = kBaiduService;
    BuiltinHosts hosts = defaultBuiltinHosts();
    hosts.baidu = server.address();
    const ConversionOutcome outcome = outcomeOf(source, "http://a.test/", hosts);
    EXPECT_EQ(outcome.failure, FailureKind::NothingExtracted);
    EXPECT_EQ(outcome.message, "令牌无效");
    EXPECT_NE(outcome.reason().find("令牌无效"), std::string::npos);
}

TEST(BuiltinServices, BaiduTokenTheKeyringDidNotGiveFailsWithItsReasonAndSendsNothing) {
    test::TrustedServer server;
    server.route("/admin/v2/create", [](Exchange& e) { e.answer(200, "{\"Code\":0}"); });
    test::FakeSource source;
    source.service = kBaiduService;
    source.tokenFailure = "钥匙串中没有百度Token";
    BuiltinHosts hosts = defaultBuiltinHosts();
    hosts.baidu = server.address();
    const ConversionOutcome outcome = outcomeOf(source, "http://a.test/", hosts);
    EXPECT_FALSE(outcome.ok());
    EXPECT_NE(outcome.reason().find("钥匙串中没有百度Token"), std::string::npos);
    EXPECT_TRUE(server.requests().empty());
}

TEST(BuiltinServices, WeiboRelayAndTinyUrl) {
    test::TrustedServer relay;
    relay.route("/weibo_url.php", [](Exchange& e) { e.answer(200, "http://t.cn/abc"); });
    test::TestServer tiny;
    tiny.route("/create.php", [](Exchange& e) {
        e.answer(200, "<html><div class=\"indent\"><b>https://tinyurl.test/y</b></div></html>");
    });
    BuiltinHosts hosts = defaultBuiltinHosts();
    hosts.relay = relay.address();
    hosts.tinyurl = tiny.address();
    test::FakeSource source;
    source.service = kWeiboService;
    EXPECT_EQ(convert(source, "http://a.test/ b", hosts), "http://t.cn/abc");
    EXPECT_EQ(relay.requests().at(0).target, "/weibo_url.php?url=http%3A%2F%2Fa.test%2F%20b");
    source.service = kTinyUrlService;
    EXPECT_EQ(convert(source, "http://a.test/", hosts), "https://tinyurl.test/y");
    EXPECT_EQ(
        tiny.requests().at(0).target,
        "/create.php?source=indexpage&url=http%3A%2F%2Fa.test%2F?&submit=Make+TinyURL%21&alias=");
}

TEST(BuiltinServices, AFailingRelayGivesTheErrorTextNeverAnEmptyRow) {
    test::TrustedServer relay;
    relay.route("/weibo_url.php", [](Exchange& e) { e.answer(200, ""); });
    BuiltinHosts hosts = defaultBuiltinHosts();
    hosts.relay = relay.address();
    test::FakeSource source;
    source.service = kWeiboService;
    EXPECT_EQ(convert(source, "http://a.test/", hosts), conversionErrorText());
    EXPECT_EQ(outcomeOf(source, "http://a.test/", hosts).failure, FailureKind::NothingExtracted);
    // The placeholder relay host does not exist at all.
    EXPECT_EQ(convert(source, "http://a.test/", defaultBuiltinHosts()), conversionErrorText());
}

TEST(ConvertUrl, LabelsAndSnapshots) {
    test::FakeSource source;
    source.panel = custom("HTTPS://Api.Example.test:8443/s?u=#长网址#");
    ShortUrlConverter converter(source, defaultBuiltinHosts());
    EXPECT_EQ(converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel),
              "Api.Example.test:8443");
    source.service = kWeiboService;
    source.panel.address = "http://other.test/";
    EXPECT_EQ(converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel), "t.cn");
    EXPECT_EQ(converter.currentInterface().address, "http://other.test/");
    source.service = kBaiduService;
    EXPECT_EQ(converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel), "dwz.cn");
    source.service = kTinyUrlService;
    EXPECT_EQ(converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel), "tinyurl.com");
}
