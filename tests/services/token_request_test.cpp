// Interfaces that log in first and interfaces that send credentials: the
// token request against a service that expires tokens, on both request
// engines, and the rules its keys are saved by.

#include <gtest/gtest.h>

#include <thread>

#include "base/charset.h"
#include "fakeservices.h"
#include "services/interfacerules.h"
#include "services/shorturlconverter.h"
#include "services/tokenkeeper.h"
#include "support/token_service.h"

using namespace lianshuo;
using test::Exchange;
using test::TokenService;

namespace {

class TokenEngines : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { server = test::serverFor(GetParam()); }

    // BL.INK's way: log in with e-mail and password, then send the token as a bearer.
    ShortUrlInterface loggingIn() const {
        ShortUrlInterface d;
        d.address = server->url("/links");
        d.utf8Encoding = true;
        setRequestMethod(d, "POST");
        d.bodyFormat = BodyFormat::Json;
        d.postTemplate = R"({"url":"#长网址#"})";
        d.headers = "Authorization: Bearer #令牌#";
        d.extractKind = ExtractKind::Json;
        d.extractExpression = "short_link";
        d.username = "ann@a.test";
        d.password = "pa55";
        d.tokenUrl = server->url("/access_token");
        d.tokenBody = R"({"email":"#用户名#","password":"#密码#"})";
        d.tokenPath = "access_token";
        return d;
    }

    std::size_t loginRequests() const {
        std::size_t count = 0;
        for (const auto& request : server->requests()) count += request.target == "/access_token";
        return count;
    }

    std::unique_ptr<test::TestServer> server;
};

}  // namespace

TEST_P(TokenEngines, ATokenServesTheWholeRunAndAllItsSlotsAndIsRenewedOnceAfterA401) {
    TokenService service(*server, "ann@a.test", "pa55");
    service.setLoginDelay(std::chrono::milliseconds(150));
    test::FakeSource source;
    source.panel = loggingIn();
    ShortUrlConverter converter(source, {});
    converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    // Four slots start at once; one logs in while the others wait for its token.
    std::vector<std::thread> slots;
    std::vector<ConversionOutcome> outcomes(8);
    for (int slot = 0; slot < 4; ++slot)
        slots.emplace_back([&, slot] {
            for (int i = slot; i < 8; i += 4)
                outcomes[i] = converter.perform(
                    converter.prepare("http://a.test/" + std::to_string(i)), nullptr);
        });
    for (std::thread& slot : slots) slot.join();
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(outcomes[i].shortUrl, "https://bl.test/" + std::to_string(i))
            << outcomes[i].reason();
    EXPECT_EQ(service.tokensIssued(), 1);
    EXPECT_EQ(service.refusals(), 0);

    // The service dropped the token: one 401, one new token, and the conversion goes through.
    service.expireAll();
    EXPECT_TRUE(converter.perform(converter.prepare("http://a.test/8"), nullptr).ok());
    EXPECT_EQ(service.tokensIssued(), 2);
    EXPECT_EQ(service.refusals(), 1);

    // A 401 to a new token as well is the service's refusal.
    service.refuseAll();
    const ConversionOutcome refused =
        converter.perform(converter.prepare("http://a.test/9"), nullptr);
    EXPECT_EQ(refused.reason(), "HTTP 401：Token expired or invalid");
    EXPECT_EQ(service.tokensIssued(), 3);
    EXPECT_EQ(service.refusals(), 3);
    EXPECT_EQ(loginRequests(), 3u);
}

TEST_P(TokenEngines, ATokenOlderThanItsLifetimeIsObtainedAgainBeforeTheServiceRefusesIt) {
    TokenService service(*server, "ann@a.test", "pa55");
    service.setLifetime(std::chrono::milliseconds(1500));
    ShortUrlInterface d = loggingIn();
    d.tokenLifetimeSeconds = 1;
    TokenKeeper tokens;
    EXPECT_TRUE(convertWithInterface("http://a.test/1", d, nullptr, nullptr, &tokens).ok());
    EXPECT_TRUE(convertWithInterface("http://a.test/2", d, nullptr, nullptr, &tokens).ok());
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_TRUE(convertWithInterface("http://a.test/3", d, nullptr, nullptr, &tokens).ok());
    EXPECT_EQ(service.tokensIssued(), 2);
    EXPECT_EQ(service.refusals(), 0);
}

TEST_P(TokenEngines,
       AFailedTokenRequestFailsEachConversionWithItsReasonAndIsAskedOnlyAsRetriesAllow) {
    TokenService service(*server, "ann@a.test", "pa55");
    service.setDown(true);
    test::FakeSource source;
    source.panel = loggingIn();
    ShortUrlConverter converter(source, {});
    converter.setRetryPolicy({.retries = 1, .firstDelayMs = 10});
    converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    for (const char* address : {"http://a.test/1", "http://a.test/2", "http://a.test/3"}) {
        const ConversionOutcome outcome = converter.perform(converter.prepare(address), nullptr);
        EXPECT_EQ(outcome.failure, FailureKind::TokenRequest);
        EXPECT_EQ(outcome.reason(), "获取令牌失败：HTTP 503：maintenance");
    }
    // The first try and the one retry, for the whole run; no conversion request went out.
    EXPECT_EQ(server->requests().size(), 2u);

    // A refused log-in: the service's words, never the password.
    source.panel.password = "wrong-pa55";
    service.setDown(false);
    converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    EXPECT_EQ(converter.perform(converter.prepare("http://a.test/4"), nullptr).reason(),
              "获取令牌失败：HTTP 401：invalid credentials");
    source.panel.tokenPath = "token";
    source.panel.password = "pa55";
    converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    EXPECT_EQ(converter.perform(converter.prepare("http://a.test/5"), nullptr).reason(),
              "获取令牌失败：回复中没有令牌（token）");
}

TEST_P(TokenEngines, BasicAuthSendsTheCredentialsAndNoReasonQuotesThem) {
    // tiny.cc's way: the user name and API key as HTTP Basic on every request.
    server->route("/basic", [](Exchange& e) {
        if (e.request().header("Authorization") == "Basic YWxpY2U6czNjcjN0") {
            e.answer(200, R"({"short_url":"https://tiny.test/1"})");
            return;
        }
        e.answer(401, R"({"message":"user alice with password )" + e.request().header("X-Echo") +
                          R"( refused"})");
    });
    ShortUrlInterface d;
    d.address = server->url("/basic?u=#长网址#");
    d.utf8Encoding = true;
    d.headers = "Authorization: Basic #base64(#用户名#:#密码#)#\r\nX-Echo: #密码#";
    d.extractKind = ExtractKind::Json;
    d.extractExpression = "short_url";
    d.username = "alice";
    d.password = "s3cr3t";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).shortUrl, "https://tiny.test/1");
    d.password = "n0t-it";
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "HTTP 401：user ******** with password ******** refused");
    d.password.clear();
    EXPECT_EQ(convertWithInterface("http://a.test/", d).reason(),
              "请求失败：密码为空：接口用到了 #密码#");
}

INSTANTIATE_TEST_SUITE_P(Engines, TokenEngines, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "https" : "http";
                         });

TEST(TokenRequestRules, SavingRefusesWhatTheTokenRequestCouldNeverSendNamingTheKey) {
    ShortUrlInterface d;
    d.address = "https://a.test/?u=#长网址#&t=#令牌#";
    d.tokenPath = "access_token";
    EXPECT_EQ(checkInterfaceKeys(d).reason(), "令牌请求的各项要有令牌地址才能使用");
    d.tokenUrl = "https://a.test/token?u=#长网址#";
    d.tokenMethod = "PUT";
    d.password = "pw-secret";
    d.tokenHeaders = "no colon pw-secret";
    d.tokenBody = "#md5(#别名#)#";
    d.tokenBodyFormat = BodyFormat::Multipart;
    d.tokenPath = "a..b";
    d.tokenLifetimeSeconds = -1;
    EXPECT_EQ(checkInterfaceKeys(d).reason(),
              "令牌请求方法“PUT”不受支持（GET 或 POST）\n"
              "令牌请求头“no colon ********”不是“名称: 值”的形式\n"
              "令牌地址：令牌请求中不能用 #长网址#\n"
              "令牌请求正文：令牌请求中不能用 #别名#\n"
              "令牌请求格式 2 不受支持（0 表单或 1 JSON）\n"
              "令牌提取：JSON 路径“a..b”在第 3 个字符处无法识别\n"
              "令牌有效秒应在 0 到 31536000 之间");
    d.tokenPath.clear();
    EXPECT_NE(checkInterfaceKeys(d).reason().find("令牌提取为空"), std::string::npos);
}
