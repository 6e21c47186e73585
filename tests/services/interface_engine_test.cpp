// The interface keys beyond the first fourteen, end to end against a local
// service: methods, headers, body formats, placeholders by context, the
// extraction kinds, the error expression, the success statuses and the pause.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/charset.h"
#include "base/digests.h"
#include "fakeservices.h"
#include "services/encoding.h"
#include "services/interfacerules.h"
#include "services/jsonpath.h"
#include "services/requestpacer.h"
#include "services/shorturlconverter.h"
#include "services/sxcufile.h"
#include "services/sxcusyntax.h"
#include "support/fake_apis.h"

using namespace lianshuo;
using test::Exchange;
constexpr auto npos = std::string::npos;

namespace {

ShortUrlInterface posting(const test::TestServer& server, const std::string& path,
                          BodyFormat format, const std::string& body) {
    ShortUrlInterface d;
    d.address = server.url(path);
    d.utf8Encoding = true;
    d.postMode = true;
    d.bodyFormat = format;
    d.postTemplate = body;
    return d;
}

// Answers every request with `body` and records it; the test then reads requests().
void answerWith(test::TestServer& server, const std::string& path, int status,
                const std::string& body, std::vector<std::string> headers = {}) {
    server.route(path, [=](Exchange& e) { e.answer(status, body, headers); });
}

class BothEngines : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { server = test::serverFor(GetParam()); }
    std::unique_ptr<test::TestServer> server;
};

}  // namespace

TEST_P(BothEngines, PlaceholdersFollowTheirContextAndTheAliasComesAfterATab) {
    answerWith(*server, "/api", 200, R"({"short":"https://s.test/1"})");
    ShortUrlInterface d = posting(*server, "/api?key=#令牌#&u=#长网址#", BodyFormat::Json,
                                  R"({"url":"#长网址#","alias":"#别名#","t":"#令牌#"})");
    d.token = "a&b\"c";
    d.headers = "X-Key: #令牌#\r\nX-Alias: #别名#";
    d.extractKind = ExtractKind::Json;
    d.extractExpression = "short";
    const ConversionOutcome outcome = convertWithInterface("http://a.test/\"中\"\t别名1", d);
    EXPECT_TRUE(outcome.ok()) << outcome.reason();

    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/api?key=a%26b%22c&u=http%3A%2F%2Fa.test%2F%22%E4%B8%AD%22");
    EXPECT_EQ(requests[0].body,
              toUtf8(R"({"url":"http://a.test/\"中\"","alias":"别名1","t":"a&b\"c"})"));
    EXPECT_EQ(requests[0].header("X-Key"), "a&b\"c");
    EXPECT_EQ(requests[0].header("X-Alias"), toUtf8("别名1"));
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json; charset=utf-8");
}

TEST_P(BothEngines, FunctionsSignEncodeAndHashWhatTheirArgumentsHold) {
    // A YOURLS-style service: the signature is md5(timestamp + secret), the timestamp
    // within a minute of its own clock; a Basic header; a base64 body member.
    server->route("/sign", [](Exchange& e) {
        const std::string& t = e.request().target;
        const std::size_t ts = t.find("timestamp=") + 10;
        const std::string stamp = t.substr(ts, t.find('&', ts) - ts);
        const long long skew = std::stoll(stamp) - std::time(nullptr);
        const bool signedRight = t.find("signature=" + md5Hex(stamp + "s3cret")) != npos;
        e.answer(signedRight && skew > -60 && skew < 60 ? 200 : 403, "https://s.test/signed");
    });
    ShortUrlInterface d = posting(
        *server, "/sign?timestamp=#时间戳#&signature=#md5(#时间戳##令牌#)#&u=#base64(#长网址#)#",
        BodyFormat::Json,
        R"({"b":"#base64url(#长网址原文#)#","h":"#sha1(#md5(#令牌#)#)#","t":"#时间戳毫秒#"})");
    d.token = "s3cret";
    d.headers = "Authorization: Basic #base64(me:#令牌#)#\r\nX-U: #urlencode(#长网址原文# ~)#";
    const std::string longUrl = "http://a.test/?q=中文&x=1";
    const ConversionOutcome outcome = convertWithInterface(longUrl, d);
    EXPECT_TRUE(outcome.ok()) << outcome.reason();
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string utf8 = toUtf8(longUrl);
    // base64 in the address is percent-encoded like any value there.
    EXPECT_NE(requests[0].target.find("&u=" + percentEncodeLongUrl(sxcu::base64(utf8), false)),
              npos);
    EXPECT_EQ(requests[0].header("Authorization"), "Basic " + sxcu::base64("me:s3cret"));
    EXPECT_EQ(requests[0].header("X-U"),
              "http%3A%2F%2Fa.test%2F%3Fq%3D%E4%B8%AD%E6%96%87%26x%3D1%20~");
    const std::string body = requests[0].body;
    EXPECT_NE(body.find(R"("h":")" + sha1Hex(md5Hex("s3cret")) + "\""), npos) << body;
    std::string url64 = sxcu::base64(utf8);
    for (char& c : url64) c = c == '+' ? '-' : c == '/' ? '_' : c;
    EXPECT_NE(body.find(R"("b":")" + url64.substr(0, url64.find('=')) + "\""), npos) << body;
}

TEST_P(BothEngines, AnOptionalAliasLeavesItsMemberAndPairsOutWhenThereIsNone) {
    answerWith(*server, "/a", 200, "https://s.test/a");
    ShortUrlInterface json = posting(*server, "/a?u=#长网址#&alias=#别名?#&k=1", BodyFormat::Json,
                                     R"({"url":"#长网址#", "vanity":"#别名?#", "old":"#别名#"})");
    ShortUrlInterface form =
        posting(*server, "/a", BodyFormat::Form, "alias=#别名?#&url=#长网址#&custom=#别名#");
    for (const char* line : {"http://a.test/", "http://a.test/\tmine"})
        for (const ShortUrlInterface* d : {&json, &form})
            EXPECT_TRUE(convertWithInterface(line, *d).ok()) << line;
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].target, "/a?u=http%3A%2F%2Fa.test%2F&k=1");
    EXPECT_EQ(requests[0].body, R"({"url":"http://a.test/","old":""})");
    EXPECT_EQ(requests[1].body, "url=http%3A%2F%2Fa.test%2F&custom=");
    EXPECT_EQ(requests[2].target, "/a?u=http%3A%2F%2Fa.test%2F&alias=mine&k=1");
    EXPECT_EQ(requests[2].body, R"({"url":"http://a.test/", "vanity":"mine", "old":"mine"})");
    EXPECT_EQ(requests[3].body, "alias=mine&url=http%3A%2F%2Fa.test%2F&custom=mine");
}

TEST_P(BothEngines, ReplyRulesTellThrottlingAndRefusalsInASuccessfulReply) {
    // Each a service's 200 that is no success: vk.cc's error 6, Bitly v3's status_txt,
    // "Premium URL Shortener"'s error 1, a JSON member that is empty, urly.it's "_" reply.
    const std::vector<std::string> replies = {
        R"({"error":{"error_code":6,"error_msg":"Too many requests per second."}})",
        R"({"status_code":500,"status_txt":"INVALID_URI","data":[]})",
        R"({"error":1,"msg":"Invalid URL"})", R"({"data":{"url":""}})", "_invalid link"};
    // The route owns its replies: the server's thread may still be in a send as the test ends.
    auto next = std::make_shared<std::atomic<std::size_t>>(0);
    server->route(
        "/r", [replies, next](Exchange& e) { e.answer(200, replies[(*next)++ % replies.size()]); });
    ShortUrlInterface d;
    d.address = server->url("/r?u=#长网址#");
    d.extractKind = ExtractKind::Json;
    d.extractExpression = "response.short_url";
    d.throttleRule = "error.error_code=6";
    d.successRule = "status_txt!=INVALID_URI";
    const ConversionOutcome throttled = convertWithInterface("http://a.test/", d);
    EXPECT_EQ(throttled.status, 429);
    EXPECT_TRUE(throttled.retryable);
    d.errorExpression = "status_txt";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).message, "INVALID_URI");
    d.errorExpression.clear();
    d.successRule = "error=0";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).message, "Invalid URL");
    d.successRule = "data.url";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).message, R"({"data":{"url":""}})");
    d.extractKind = ExtractKind::Cut;
    d.throttleRule.clear();
    d.successRule = "^[^_]";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).message, "_invalid link");
    EXPECT_EQ(server->requests().size(), 5u);
}

TEST_P(BothEngines, AResultTemplatePutsTwoReplyFieldsTogether) {
    // Switchy's reply names the domain and the code apart; a missing part makes no address.
    auto next = std::make_shared<std::atomic<int>>(0);
    server->route("/t", [next](Exchange& e) {
        e.answer(200, (*next)++ < 2 ? R"({"domain":"hi.switchy.io","id":"Ab1"})"
                                    : R"({"domain":"hi.switchy.io"})");
    });
    ShortUrlInterface d;
    d.address = server->url("/t?u=#长网址#");
    d.extractKind = ExtractKind::Json;
    d.resultTemplate = "https://#值(domain)#/#值(id)#";
    d.insertEnabled = true;
    d.suffix = "?s=1";
    ASSERT_TRUE(checkInterfaceKeys(d));
    EXPECT_EQ(convertWithInterface("http://a.test/", d).shortUrl, "https://hi.switchy.io/Ab1?s=1");
    d.extractKind = ExtractKind::Regex;
    d.extractExpression = R"re("domain":"([^"]+)","id":"(\w+)")re";
    d.resultTemplate = "#组(1)#/x/#组(2)#";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).shortUrl, "http://hi.switchy.io/x/Ab1?s=1");
    d.extractKind = ExtractKind::Json;
    d.extractExpression.clear();
    d.resultTemplate = "https://#值(domain)#/#值(id)#";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).failure, FailureKind::NothingExtracted);

    d.resultTemplate = "https://#组(1)#";
    EXPECT_EQ(checkInterfaceKeys(d).reason(),
              "结果模板的“#组(…)#”须用正则表达式提取（提取方式 2）");
    d.resultTemplate = "https://#值(domain";
    EXPECT_EQ(checkInterfaceKeys(d).reason(), "结果模板：“#值(”没有以“)#”结束");
}

TEST_P(BothEngines, MultipartFieldsAreThePostTemplateLines) {
    test::serveMultipartShortener(*server);
    ShortUrlInterface d = posting(*server, "/", BodyFormat::Multipart,
                                  "shorten=#长网址#\r\nnote=#长网址原文# 说明\r\n\r\nempty=");
    const ConversionOutcome outcome = convertWithInterface("http://a.test/?q=中", d);
    EXPECT_EQ(outcome.shortUrl, "https://0x0.test/fk1") << outcome.reason();
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    using Fields = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(test::multipartFields(requests[0].header("Content-Type"), requests[0].body),
              (Fields{{"shorten", toUtf8("http://a.test/?q=中")},
                      {"note", toUtf8("http://a.test/?q=中 说明")},
                      {"empty", ""}}));

    d.postTemplate = "shorten=#长网址#\r\nno equals sign";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "请求失败：multipart 字段“no equals sign”不是“名称=值”的形式");
    EXPECT_EQ(server->requests().size(), 1u);
}

TEST_P(BothEngines, ARawBodyHasNoContentTypeUnlessAHeaderGivesOne) {
    answerWith(*server, "/raw", 200, "https://s.test/r");
    ShortUrlInterface d = posting(*server, "/raw", BodyFormat::Raw, "<u>#长网址#</u>");
    d.utf8Encoding = false;  // GBK: the address goes out in GBK bytes
    EXPECT_TRUE(convertWithInterface("http://a.test/中", d).ok());
    d.headers = "Content-Type: application/xml";
    EXPECT_TRUE(convertWithInterface("http://a.test/1", d).ok());
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].body, "<u>http://a.test/\xD6\xD0</u>");
    EXPECT_EQ(requests[0].headerCount("Content-Type"), 0);
    EXPECT_EQ(requests[1].header("Content-Type"), "application/xml");
    EXPECT_EQ(requests[1].headerCount("Content-Type"), 1);
}

TEST_P(BothEngines, PutAndPatchSendTheBodyAndGetSendsNone) {
    answerWith(*server, "/m", 200, "https://s.test/m");
    ShortUrlInterface d = posting(*server, "/m", BodyFormat::Form, "url=#长网址#");
    for (const char* method : {"PUT", "PATCH", "GET"}) {
        ASSERT_TRUE(setRequestMethod(d, method));
        EXPECT_TRUE(convertWithInterface("http://a.test/", d).ok()) << method;
    }
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].method, "PUT");
    EXPECT_EQ(requests[0].body, "url=http%3A%2F%2Fa.test%2F");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[1].method, "PATCH");
    EXPECT_EQ(requests[1].body, "url=http%3A%2F%2Fa.test%2F");
    EXPECT_EQ(requests[2].method, "GET");
    EXPECT_EQ(requests[2].body, "");
}

TEST_P(BothEngines, AReplyHeaderIsReadFromTheReplyItselfNotWhereItRedirects) {
    answerWith(*server, "/made", 201, "", {"Location: https://s.test/h1"});
    answerWith(*server, "/moved", 302, "", {"Location: https://s.test/h2"});
    ShortUrlInterface d = posting(*server, "/made", BodyFormat::Form, "u=#长网址#");
    d.extractKind = ExtractKind::Header;
    d.extractExpression = "location";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).shortUrl, "https://s.test/h1");
    d.address = server->url("/moved");
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(), "HTTP 302");
    d.successStatuses = "200-299,302";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).shortUrl, "https://s.test/h2");
    EXPECT_EQ(server->requests().size(), 3u);  // no redirect was followed
}

// The interface's keys stay with the host that was asked: a redirect to another host, or from
// https down to http, is refused; one to the same host gets neither the keys nor a Referer.
TEST_P(BothEngines, RedirectsStayOnTheHostAskedAndCarryNoKeysOn) {
    test::TestServer elsewhere;
    answerWith(*server, "/away", 307, "", {"Location: " + elsewhere.url("/steal")});
    answerWith(*server, "/moved", 302, "", {"Location: /final"});
    answerWith(*server, "/final", 200, "https://s.test/r");
    ShortUrlInterface d =
        posting(*server, "/away?signature=#令牌#", BodyFormat::Form, "u=#长网址#");
    d.token = "sekrit";
    d.headers = "X-Api-Key: #令牌#";
    const std::string port = std::to_string(elsewhere.port());
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "请求失败：服务把请求转到了别的主机：127.0.0.1:" + port);
    EXPECT_TRUE(elsewhere.requests().empty());

    d.address = server->url("/moved?signature=#令牌#");
    EXPECT_EQ(convertWithInterface("http://a.test/", d).shortUrl, "https://s.test/r");
    auto requests = server->requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].header("X-Api-Key"), "sekrit");
    EXPECT_NE(requests[1].header("Referer"), "");
    EXPECT_EQ(requests[2].requestLine, "GET /final HTTP/1.1");
    EXPECT_EQ(requests[2].headerCount("X-Api-Key") + requests[2].headerCount("Referer"), 0);

    if (!GetParam()) return;
    const std::string plain = "http://127.0.0.1:" + std::to_string(server->port());
    answerWith(*server, "/down", 302, "", {"Location: " + plain + "/final"});
    d.address = server->url("/down?signature=#令牌#");
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "请求失败：服务把请求转到了不加密的 http 地址：127.0.0.1:" +
                  std::to_string(server->port()));
    EXPECT_EQ(server->requests().size(), 4u);
}

TEST_P(BothEngines, TheErrorExpressionGivesTheReasonForAnyStatus) {
    answerWith(*server, "/bad", 422,
               R"({"data":[],"code":5,"errors":["Alias is not available."]})");
    answerWith(*server, "/ok-but", 200, R"({"errorcode":2,"errormessage":"Short URL taken"})");
    ShortUrlInterface d = posting(*server, "/bad", BodyFormat::Json, R"({"u":"#长网址#"})");
    d.extractKind = ExtractKind::Json;
    d.extractExpression = "data.tiny_url";
    d.errorExpression = "errors[0]";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "HTTP 422：Alias is not available.");
    d.address = server->url("/ok-but");
    d.errorExpression = "errormessage";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "回复中找不到短网址：Short URL taken");
    d.errorExpression.clear();
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              R"(回复中找不到短网址：{"errorcode":2,"errormessage":"Short URL taken"})");
}

INSTANTIATE_TEST_SUITE_P(Engines, BothEngines, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "https" : "http";
                         });

TEST(InterfaceExtraction, RegexTakesGroupUrlThenGroupOneThenTheWholeMatch) {
    test::TestServer server;
    answerWith(server, "/r", 200, "id=7 link: https://s.test/a7 end");
    ShortUrlInterface d;
    d.address = server.url("/r");
    d.extractKind = ExtractKind::Regex;
    for (const auto& [pattern, expected] : std::vector<std::pair<std::string, std::string>>{
             {R"((\d) link: (?<url>\S+))", "https://s.test/a7"},
             {R"(link: (\S+))", "https://s.test/a7"},
             {R"(https://\S+)", "https://s.test/a7"},
             {R"(id=(\d))", "结果不是网址：http://7"}}) {
        d.extractExpression = pattern;
        const ConversionOutcome outcome = convertWithInterface("http://a.test/", d);
        EXPECT_EQ(outcome.ok() ? outcome.shortUrl : outcome.reason(), expected) << pattern;
    }
    d.extractExpression = "(unclosed";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "请求失败：提取表达式不是有效的正则表达式：missing closing parenthesis at offset 9");
    EXPECT_EQ(server.requests().size(), 4u);  // the broken pattern sent nothing
}

// Backtracks at every start position: minutes for this reply, a day for the largest one.
constexpr const char* kBacktracking = "a{0,2000}a{0,2000}[^a]";

TEST(InterfaceExtraction, ABacktrackingExpressionEndsAtItsTimeBudget) {
    test::TestServer server;
    answerWith(server, "/slow", 200, std::string(256 * 1024, 'a'));
    ShortUrlInterface d;
    d.address = server.url("/slow");
    d.extractKind = ExtractKind::Regex;
    d.extractExpression = kBacktracking;
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "回复中找不到短网址：正则表达式匹配超时");
    d.extractKind = ExtractKind::Cut;  // finds nothing, so the error expression is asked
    d.cutEnabled = true;
    d.leftMarker = "<b>";
    d.errorExpression = kBacktracking;
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "回复中找不到短网址：正则表达式匹配超时");
}

TEST(InterfaceExtraction, AStopGivenWhileAnExpressionRunsEndsIt) {
    test::TestServer server;
    std::atomic<bool> answered{false};
    server.route("/slow", [&](Exchange& e) {
        answered = true;
        e.answer(200, std::string(256 * 1024, 'a'));
    });
    ShortUrlInterface d;
    d.address = server.url("/slow");
    d.extractKind = ExtractKind::Regex;
    d.extractExpression = kBacktracking;
    // The stop comes as the command line's does: from elsewhere (a signal handler), while the
    // reply is being read.
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        while (!answered) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    const ConversionOutcome outcome = convertWithInterface("http://a.test/", d, &stop);
    stopper.join();
    EXPECT_EQ(outcome.failure, FailureKind::Stopped) << outcome.reason();
}

TEST(InterfaceExtraction, JsonPathThenReplacePrefixAndSuffixStillApply) {
    test::TestServer server;
    answerWith(server, "/j", 200, toUtf8(R"([{"url_short":"s.test\/x","名":"\u4e2d"}])"),
               {"Content-Type: application/json"});
    ShortUrlInterface d;
    d.address = server.url("/j");
    d.utf8Encoding = true;
    d.extractKind = ExtractKind::Json;
    d.extractExpression = "[0].url_short";
    d.replaceEnabled = true;
    d.findList = "x";
    d.replaceList = "y";
    d.insertEnabled = true;
    d.suffix = "?from=j";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).shortUrl, "http://s.test/y?from=j");
    d.extractExpression = "[0].名";  // a GBK key reads the UTF-8 reply's key
    d.insertEnabled = false;
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(), "结果不是网址：http://中");
}

TEST(InterfaceExtraction, DeepJsonIsRefusedWithItsReasonNotFollowedDown) {
    auto nested = [](std::size_t depth, const std::string& inner) {
        return std::string(depth, '[') + inner + std::string(depth, ']');
    };
    test::TestServer server;
    const std::string deep = R"({"a":)" + nested(100'000, "1") + "}";
    answerWith(server, "/ok", 200, deep);
    answerWith(server, "/bad", 400, deep);
    ShortUrlInterface d;
    d.address = server.url("/ok");
    d.extractKind = ExtractKind::Json;
    d.extractExpression = "a";
    d.errorExpression = "a[0][0]";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "回复中找不到短网址：回复的 JSON 嵌套超过 512 层");
    d.address = server.url("/bad");
    EXPECT_TRUE(
        convertWithInterface("http://a.test/", d).reason().starts_with("HTTP 400：{\"a\":[[["));

    const std::string head = R"({"DestinationType": "URLShortener", "RequestURL": "https://s.test/",
                                 "URL": "{json:u}", )";
    for (const std::string member : {"Headers", "Arguments", "Parameters"})
        EXPECT_EQ(
            interfaceFromSxcu(head + "\"" + member + R"(": {"x": )" + nested(200'000, "") + "}}")
                .reason(),
            jsonDepthReason())
            << member;
}

TEST(InterfaceRequests, HeadersThatWouldInjectOrGoEmptyAreRefusedBeforeSending) {
    test::TestServer server;
    answerWith(server, "/h", 200, "https://s.test/h");
    ShortUrlInterface d;
    d.address = server.url("/h");
    d.headers = "Authorization: Bearer #令牌#";
    d.token = "abc\r\nX-Evil: 1";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "请求失败：请求头“Authorization”填入后含有控制字符");
    d.token.clear();
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "请求失败：令牌为空：接口用到了 #令牌#");
    d.headers = "X-Alias: #别名#";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "请求失败：请求头“X-Alias”填入后值为空");
    d.headers = "Not a header";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "请求失败：请求头“Not a header”不是“名称: 值”的形式");
    d.headers.clear();
    d.method = "DELETE";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "请求失败：请求方法“DELETE”不受支持（GET、POST、PUT 或 PATCH）");
    d.method.clear();
    d.postMode = true;
    d.bodyFormat = BodyFormat::Json;
    d.postTemplate = R"({"u":"#长网址原文#"})";
    EXPECT_EQ(convertWithInterface("http://a.test/\"", d).failure, FailureKind::Request);
    EXPECT_TRUE(server.requests().empty());
}

TEST(InterfaceRules, StatusListsMethodsAndHeaderLines) {
    EXPECT_TRUE(statusAccepted(204, ""));
    EXPECT_FALSE(statusAccepted(302, ""));
    EXPECT_TRUE(statusAccepted(201, "200, 201"));
    EXPECT_FALSE(statusAccepted(202, "200,201"));
    EXPECT_TRUE(statusAccepted(404, "200-204,400-404"));
    for (const char* bad : {"200-", "abc", "99", "300-200", "200,,201", "600"})
        EXPECT_FALSE(checkStatusList(bad)) << bad;
    EXPECT_TRUE(checkStatusList("200-299, 302"));

    ShortUrlInterface d;
    EXPECT_EQ(requestMethod(d), "GET");
    EXPECT_TRUE(setRequestMethod(d, "patch"));
    EXPECT_EQ(requestMethod(d), "PATCH");
    EXPECT_TRUE(d.postMode);
    EXPECT_TRUE(setRequestMethod(d, "post"));
    EXPECT_EQ(d.method, "");
    EXPECT_FALSE(setRequestMethod(d, "TRACE"));
    EXPECT_EQ(requestMethod(d), "POST");

    EXPECT_TRUE(checkHeaderLine("X-Api-Key: #令牌#"));
    EXPECT_FALSE(checkHeaderLine("X Api: 1"));
    EXPECT_FALSE(checkHeaderLine("X-Api:"));
    EXPECT_FALSE(checkHeaderLine("X-Api: a\tb"));

    // Calls are checked when an interface is saved, added or imported, naming what is wrong.
    d.address = "http://s.test/?s=#md5(#令牌#)#&old=#frag(ment";
    EXPECT_TRUE(checkInterfaceKeys(d));
    d.address = "http://s.test/?s=#crc32(#令牌#)#";
    EXPECT_EQ(checkInterfaceKeys(d).reason(), "接口地址：未知的函数“crc32”");
    d.address = "http://s.test/";
    d.headers = "X-Sig: #sha1(#令牌#";
    EXPECT_EQ(checkInterfaceKeys(d).reason(), "请求头：函数调用“#sha1(”没有以“)#”结束");
    d.headers.clear();
    d.postTemplate = "a=#md5(#md5(#md5(#md5(#md5(x)#)#)#)#)#";
    EXPECT_EQ(checkInterfaceKeys(d).reason(), "POST 数据：函数调用嵌套超过 4 层");
    d.postTemplate.clear();
    d.successRule = "(unclosed";
    EXPECT_NE(checkInterfaceKeys(d).reason().find("成功表达式"), std::string::npos);
}

TEST(JsonPaths, TheFormsInterfacesWriteReadInOnePassOfALargeReply) {
    // Megabytes around the values: the reply is read as it passes, never built as a tree.
    const std::string bulk = "[" + std::string(1'000'000, '1').insert(0, "\"") + "\"," +
                             R"({"d":"decoy","a":{"b.c":[0,{"d":"no"}]}}])";
    const std::string reply = R"({"bulk":)" + bulk + R"(,"a":{"b.c":[10,{"d":"x"}]},"n":null,)" +
                              R"("t":true,"f":1.5,"s":"\u4e2d","files":[{"url":"u"}],)" +
                              R"("k":"first","k":{"later":["wins",{}]},"tail":)" + bulk + "}";
    const std::vector<std::string> paths{"$.a['b.c'][1].d",
                                         "a[\"b.c\"][0]",
                                         "files[0].url",
                                         "t",
                                         "f",
                                         "s",
                                         "a",
                                         "n",
                                         "files[1].url",
                                         "a.b",
                                         "k",
                                         "k.later[0]",
                                         "x..y"};
    const auto found = findJsonValues(reply, paths);
    ASSERT_TRUE(found) << found.reason();
    std::vector<std::string> texts;
    for (const auto& value : *found) texts.push_back(value ? value->text : "(none)");
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "x", "10", "u", "true", "1.5", "中", R"({"b.c":[10,{"d":"x"}]})", "(none)",
                         "(none)", "(none)", R"({"later":["wins",{}]})", "wins", "(none)"}));
    EXPECT_EQ((*found)[6]->kind, JsonKind::Object);
    for (const char* bad : {"", "a..b", "a[x]", "a['b]", "[0]x", "a."})
        EXPECT_FALSE(checkJsonPath(bad)) << bad;
    EXPECT_FALSE(findJsonValues("not json", {"a"}));
    EXPECT_FALSE(findJsonValues(R"({"a":1} x)", {"a"}));
}

TEST(RequestPacing, WaitsOnlyWhatIsLeftOfThePauseOfTheSameInterface) {
    long long now = 1000;
    std::vector<long long> waits;
    RequestPacer pacer([&] { return now; },
                       [&](long long ms, const std::atomic<bool>*) {
                           waits.push_back(ms);
                           now += ms;
                       });
    pacer.waitTurn("a", 500, nullptr);  // nothing sent yet
    pacer.finished("a");
    now += 200;
    pacer.waitTurn("a", 500, nullptr);
    pacer.waitTurn("b", 500, nullptr);  // another interface
    pacer.finished("a");
    now += 900;
    pacer.waitTurn("a", 500, nullptr);  // already long enough
    pacer.waitTurn("a", 0, nullptr);
    EXPECT_EQ(waits, (std::vector<long long>{300}));
}
