// Every preset against a strict fake of its service, on both request engines:
// the exact request that went out, the short address that came back, and the
// service's own words as the reason of a refused request.

#include <gtest/gtest.h>

#include <functional>

#include "app/base/charset.h"
#include "app/base/gbk.h"
#include "fakeservices.h"
#include "services/encoding.h"
#include "services/interfacepresets.h"
#include "services/shorturlconverter.h"
#include "support/fake_apis.h"

using namespace lianshuo;

namespace {

// A long address with what each context must treat its own way: a quote, "&", non-ASCII.
const std::string kLongUrl = "https://a.test/路径?q=\"x\"&y=1";

std::string encodedLongUrl() {
    return percentEncodeLongUrl(kLongUrl, true);
}

// The long address inside a JSON string, as UTF-8.
std::string jsonLongUrl() {
    return replaceAll(toUtf8(kLongUrl), "\"", "\\\"");
}

struct PresetCase {
    std::string preset;
    std::function<void(test::TestServer&)> serve;
    std::string requestLine;           // "{url}": the encoded long address
    std::vector<std::string> headers;  // "Name: value" lines the request must hold
    std::string body;                  // "{json}": the long address in a JSON string
    std::string shortUrl;
    std::string failureReason;  // with a wrong token, or a long address the service refuses
};

std::string filled(std::string text) {
    text = replaceAll(text, "{url}", encodedLongUrl());
    return replaceAll(text, "{json}", jsonLongUrl());
}

const std::vector<PresetCase>& cases() {
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
    };
    return all;
}

class Presets : public ::testing::TestWithParam<std::tuple<std::size_t, bool>> {
protected:
    const PresetCase& preset() const { return cases()[std::get<0>(GetParam())]; }
    bool secure() const { return std::get<1>(GetParam()); }

    ShortUrlInterface fromPreset(const test::TestServer& server, const std::string& token) const {
        const InterfacePreset* found = findPreset(preset().preset);
        EXPECT_NE(found, nullptr) << preset().preset;
        if (!found) return {};
        const PresetInterface made = instantiatePreset(*found, server.url(""), token);
        EXPECT_EQ(made.problem, "");
        return made.definition;
    }
};

std::unique_ptr<test::TestServer> serverFor(bool secure) {
    if (secure) return std::make_unique<test::TrustedServer>();
    return std::make_unique<test::TestServer>();
}

}  // namespace

TEST_P(Presets, ConvertWithTheExactRequestTheServiceDocuments) {
    const auto server = serverFor(secure());
    preset().serve(*server);
    const ConversionOutcome outcome =
        convertWithInterface(kLongUrl, fromPreset(*server, test::kFakeToken));
    EXPECT_TRUE(outcome.ok()) << outcome.reason();
    EXPECT_EQ(outcome.shortUrl, preset().shortUrl);

    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, filled(preset().requestLine));
    for (const std::string& line : preset().headers) {
        const std::size_t colon = line.find(": ");
        EXPECT_EQ(requests[0].header(line.substr(0, colon)), line.substr(colon + 2)) << line;
    }
    EXPECT_EQ(requests[0].body, filled(preset().body));
}

TEST_P(Presets, AFailureShowsTheServiceOwnWordsAsTheReason) {
    const auto server = serverFor(secure());
    preset().serve(*server);
    const bool tokenNeeded = !findPreset(preset().preset)->tokenLabel.empty();
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
    EXPECT_EQ(interfacePresetsProblem(), "");
    ASSERT_EQ(interfacePresets().size(), cases().size());
    for (std::size_t i = 0; i < cases().size(); ++i)
        EXPECT_EQ(interfacePresets()[i].name, cases()[i].preset);
    ASSERT_NE(findPreset("BITLY"), nullptr);
    EXPECT_EQ(findPreset("BITLY")->tokenLabel, "访问令牌");
    EXPECT_EQ(findPreset("no such service"), nullptr);
}

TEST(PresetCatalogue, HostsAreCompletedAndSelfHostedServicesNeedOne) {
    const InterfacePreset& yourls = *findPreset("yourls");
    EXPECT_EQ(instantiatePreset(yourls, "", "sig").problem,
              "预设“yourls”是自建的服务，须指定其主机");
    PresetInterface made = instantiatePreset(yourls, "s.example.test/yourls/", "sig");
    EXPECT_EQ(made.definition.address,
              "https://s.example.test/yourls/yourls-api.php?signature=#令牌#&action=shorturl&"
              "format=json&url=#长网址#");
    EXPECT_EQ(made.definition.token, "sig");
    made = instantiatePreset(*findPreset("bitly"), "", "t");
    EXPECT_EQ(made.definition.address, "https://api-ssl.bitly.com/v4/shorten");
    EXPECT_NE(instantiatePreset(yourls, "http://a b", "").problem, "");
    EXPECT_NE(instantiatePreset(yourls, "https://", "").problem, "");
}
