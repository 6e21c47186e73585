// Every preset against a strict fake of its service, on both request engines:
// the exact request that went out, the short address that came back, and the
// service's own words as the reason of a refused request.

#include <gtest/gtest.h>

#include <functional>

#include "base/charset.h"
#include "base/gbk.h"
#include "fakeservices.h"
#include "services/encoding.h"
#include "services/interfacepresets.h"
#include "services/preset_cases.h"
#include "services/shorturlconverter.h"
#include "services/tokenkeeper.h"
#include "support/fake_apis.h"

using namespace lianshuo;
using namespace lianshuo::test::presets;

namespace {

class Presets : public ::testing::TestWithParam<std::tuple<std::size_t, bool>> {
protected:
    const PresetCase& preset() const { return cases()[std::get<0>(GetParam())]; }
    bool secure() const { return std::get<1>(GetParam()); }

    ShortUrlInterface fromPreset(const test::TestServer& server, const std::string& token) const {
        const InterfacePreset* found = findPreset(preset().preset);
        EXPECT_NE(found, nullptr) << preset().preset;
        if (!found) return {};
        const Result<ShortUrlInterface> made =
            instantiatePreset(*found, server.url(""), logsIn(*found) ? "" : token);
        EXPECT_EQ(made.reason(), "");
        if (!made) return {};
        ShortUrlInterface out = *made;
        if (logsIn(*found)) {
            out.username = test::kFakeUser;
            out.password = token;
        }
        return out;
    }
};

}  // namespace

TEST_P(Presets, ConvertWithTheExactRequestTheServiceDocuments) {
    const auto server = test::serverFor(secure());
    preset().serve(*server);
    const ConversionOutcome outcome =
        convertWithInterface(kLongUrl, fromPreset(*server, test::kFakeToken));
    EXPECT_TRUE(outcome.ok()) << outcome.reason();
    EXPECT_EQ(outcome.shortUrl, preset().shortUrl);

    const auto requests = server->requests();
    const std::size_t logins = preset().loginLine.empty() ? 0 : 1;
    ASSERT_EQ(requests.size(), 1u + logins);
    if (logins) {
        EXPECT_EQ(requests[0].requestLine, preset().loginLine);
        EXPECT_EQ(requests[0].body, preset().loginBody);
    }
    const test::RecordedRequest& request = requests[logins];
    EXPECT_EQ(request.requestLine, filled(preset().requestLine));
    for (const std::string& line : preset().headers) {
        const std::size_t colon = line.find(": ");
        EXPECT_EQ(request.header(line.substr(0, colon)), line.substr(colon + 2)) << line;
    }
    EXPECT_EQ(request.body, filled(preset().body));
}

TEST_P(Presets, AFailureShowsTheServiceOwnWordsAsTheReason) {
    const auto server = test::serverFor(secure());
    preset().serve(*server);
    const InterfacePreset& found = *findPreset(preset().preset);
    const bool tokenNeeded = needsSecret(found);
    const ConversionOutcome outcome = convertWithInterface(
        tokenNeeded ? kLongUrl : "ftp://a.test/x", fromPreset(*server, tokenNeeded ? "wrong" : ""));
    EXPECT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.reason(), preset().failureReason);
}

INSTANTIATE_TEST_SUITE_P(EveryPreset, Presets,
                         ::testing::Combine(::testing::Range<std::size_t>(0, cases().size()),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<Presets::ParamType>& param) {
                             std::string name = cases()[std::get<0>(param.param)].preset;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name + (std::get<1>(param.param) ? "_https" : "_http");
                         });

TEST(PresetCatalogue, HoldsEveryServiceOnceAndEachIsTested) {
    EXPECT_EQ(interfacePresetsLoaded().reason(), "");
    ASSERT_EQ(interfacePresets().size(), cases().size());
    for (std::size_t i = 0; i < cases().size(); ++i)
        EXPECT_EQ(interfacePresets()[i].name, cases()[i].preset);
    ASSERT_NE(findPreset("BITLY"), nullptr);
    EXPECT_EQ(findPreset("BITLY")->tokenLabel, "访问令牌");
    EXPECT_EQ(findPreset("no such service"), nullptr);
}

TEST(PresetCatalogue, HostsAreCompletedAndSelfHostedServicesNeedOne) {
    const InterfacePreset& yourls = *findPreset("yourls");
    EXPECT_EQ(instantiatePreset(yourls, "", "sig").reason(),
              "预设“yourls”是自建的服务，须指定其主机");
    Result<ShortUrlInterface> made = instantiatePreset(yourls, "s.example.test/yourls/", "sig");
    ASSERT_TRUE(made);
    EXPECT_EQ(made->address,
              "https://s.example.test/yourls/yourls-api.php?signature=#令牌#&action=shorturl&"
              "format=json&url=#长网址#");
    EXPECT_EQ(made->token, "sig");
    made = instantiatePreset(*findPreset("bitly"), "", "t");
    ASSERT_TRUE(made);
    EXPECT_EQ(made->address, "https://api-ssl.bitly.com/v4/shorten");
    EXPECT_FALSE(instantiatePreset(yourls, "http://a b", ""));
    EXPECT_FALSE(instantiatePreset(yourls, "https://", ""));
}

TEST(PresetCatalogue, BlinkLogsInOnceForARunAndSendsTheAliasOnlyWhenTheLineHasOne) {
    test::TestServer server;
    test::serveBlink(server);
    Result<ShortUrlInterface> made = instantiatePreset(*findPreset("bl.ink"), server.url(""), "");
    ASSERT_TRUE(made);
    EXPECT_EQ(made->tokenUrl, server.url("/api/v4/access_token"));
    made->username = test::kFakeUser;
    made->password = test::kFakeToken;
    TokenKeeper tokens;
    EXPECT_EQ(
        convertWithInterface("http://a.test/1\tmine", *made, nullptr, nullptr, &tokens).shortUrl,
        "https://bl.ink/mine");
    EXPECT_EQ(convertWithInterface("ftp://a.test/x", *made, nullptr, nullptr, &tokens).reason(),
              "HTTP 400：The url field must be a valid URL.");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].body, R"({"url":"http://a.test/1","alias":"mine"})");
    EXPECT_EQ(requests[2].body, R"({"url":"ftp://a.test/x"})");
}
