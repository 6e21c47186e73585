// An interface's fallbacks: asked in order when its service is down, failing
// or over its limit, never for a refusal of the address; the outcome names the
// interface that made the address, and the whole chain's history is searched
// before anybody is asked.

#include <gtest/gtest.h>

#include <atomic>

#include "fakeservices.h"
#include "history/conversionmemory.h"
#include "services/fallbackchain.h"
#include "services/historykey.h"
#include "services/interfacestore.h"
#include "services/shorturlconverter.h"
#include "storefile.h"

using namespace lianshuo;
using test::Exchange;

namespace {

ShortUrlInterface named(const std::string& name, const std::string& address) {
    ShortUrlInterface d;
    d.name = name;
    d.address = address;
    return d;
}

struct MapMemory : ConversionMemory {
    HistoryLookup lookup(std::string_view key, std::string_view longUrl) override {
        HistoryLookup hit;
        if (const auto found = rows.find({std::string(key), std::string(longUrl)});
            found != rows.end())
            hit.shortUrl = found->second;
        return hit;
    }
    Status record(std::string_view key, std::string_view longUrl,
                  std::string_view shortUrl) override {
        rows[{std::string(key), std::string(longUrl)}] = shortUrl;
        return {};
    }
    std::map<std::pair<std::string, std::string>, std::string> rows;
};

class Fallbacks : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        server = test::serverFor(GetParam());
        auto backups = backupRequests;
        server->route("/down", [](Exchange& e) { e.answer(503, R"({"message":"maintenance"})"); });
        server->route("/busy", [](Exchange& e) { e.answer(429, "slow down"); });
        server->route("/vk", [](Exchange& e) { e.answer(200, R"({"error":{"error_code":6}})"); });
        server->route("/gone", [](Exchange& e) { e.answer(404, R"({"message":"no such page"})"); });
        server->route("/ok", [backups](Exchange& e) {
            ++*backups;
            e.answer(200, "http://s.test/fb");
        });
        source.saved["backup"] = named("backup", server->url("/ok?u=#长网址#"));
        converter.setRetryPolicy({.retries = 0});
    }
    ConversionOutcome run(ShortUrlInterface primary) {
        primary.name = "primary";
        primary.fallbacks = "backup";
        source.panel = primary;
        converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
        return converter.convert("http://a.test/long");
    }

    std::unique_ptr<test::TestServer> server;
    std::shared_ptr<std::atomic<int>> backupRequests = std::make_shared<std::atomic<int>>(0);
    test::FakeSource source;
    ShortUrlConverter converter{source, defaultBuiltinHosts()};
};

}  // namespace

TEST_P(Fallbacks, APrimaryThatIsDownFailingOrThrottledHandsTheAddressOn) {
    ShortUrlInterface throttledIn200 = named("", server->url("/vk?u=#长网址#"));
    throttledIn200.extractKind = ExtractKind::Json;
    throttledIn200.extractExpression = "short";
    throttledIn200.throttleRule = "error.error_code=6";
    for (const ShortUrlInterface& primary :
         {named("", "http://127.0.0.1:1/refused?u=#长网址#"), named("", server->url("/down")),
          named("", server->url("/busy")), throttledIn200}) {
        const ConversionOutcome outcome = run(primary);
        EXPECT_TRUE(outcome.ok()) << primary.address << ": " << outcome.reason();
        EXPECT_EQ(outcome.shortUrl, "http://s.test/fb");
        EXPECT_EQ(outcome.service, "backup");
    }
    EXPECT_EQ(*backupRequests, 4);
    // A primary that works names itself.
    EXPECT_EQ(run(named("", server->url("/ok?p=#长网址#"))).service, "primary");
}

TEST_P(Fallbacks, ARefusalOfTheAddressIsNotPassedOnAndEveryFailureIsReported) {
    ShortUrlInterface refusing = named("", server->url("/gone"));
    const ConversionOutcome refused = run(refusing);
    EXPECT_EQ(refused.reason(), "HTTP 404：no such page");
    ShortUrlInterface ruled = named("", server->url("/vk"));
    ruled.successRule = "^http";
    EXPECT_EQ(run(ruled).failure, FailureKind::NothingExtracted);
    EXPECT_EQ(*backupRequests, 0);

    // Down everywhere: the first failure, then what each fallback said.
    source.saved["backup"] = named("backup", server->url("/busy"));
    source.saved["backup"].fallbacks = "spare|missing";
    source.saved["spare"] = named("spare", server->url("/down"));
    const ConversionOutcome all = run(named("", server->url("/down")));
    EXPECT_EQ(all.reason(),
              "HTTP 503：maintenance；备用接口“backup”：HTTP 429：slow down；备用接口“spare”："
              "HTTP 503：maintenance；备用接口“missing”：没有名为“missing”的接口");
    EXPECT_TRUE(all.service.empty());
}

TEST_P(Fallbacks, TheChainHistoryIsSearchedFirstAndKeepsWhatEachInterfaceMade) {
    MapMemory memory;
    converter.setHistory(&memory);
    const ConversionOutcome made = run(named("", server->url("/down")));
    ASSERT_TRUE(made.ok()) << made.reason();
    // Kept under the interface that made it, where running that interface itself finds it.
    const std::string backupKey =
        historyServiceKey(kCustomService, defaultBuiltinHosts(), source.saved["backup"],
                          [](std::string_view) { return std::string(); });
    EXPECT_EQ(memory.rows.size(), 1u);
    EXPECT_EQ(memory.rows.begin()->first.first, backupKey);

    const std::size_t asked = server->requests().size();
    const ConversionOutcome again = run(named("", server->url("/down")));
    EXPECT_TRUE(again.fromHistory);
    EXPECT_EQ(again.shortUrl, "http://s.test/fb");
    EXPECT_EQ(again.service, "backup");
    EXPECT_EQ(server->requests().size(), asked);
}

INSTANTIATE_TEST_SUITE_P(HttpAndHttps, Fallbacks, ::testing::Bool());

TEST(FallbackRules, OnlyFailuresOnTheServiceSideArePassedOn) {
    using K = FailureKind;
    EXPECT_TRUE(passesToFallback(ConversionOutcome::failed(K::Request, "timed out")));
    EXPECT_TRUE(passesToFallback(ConversionOutcome::failed(K::HttpStatus, "", 502)));
    EXPECT_TRUE(passesToFallback(ConversionOutcome::failed(K::HttpStatus, "", 429)));
    EXPECT_TRUE(passesToFallback(ConversionOutcome::failed(K::TokenRequest, "HTTP 503：down")));
    // The kind tells, not words a service could send back.
    EXPECT_FALSE(
        passesToFallback(ConversionOutcome::failed(K::HttpStatus, "获取令牌失败：x", 401)));
    EXPECT_FALSE(passesToFallback(ConversionOutcome::failed(K::HttpStatus, "", 401)));
    EXPECT_FALSE(passesToFallback(ConversionOutcome::failed(K::NothingExtracted, "")));
    EXPECT_FALSE(passesToFallback(ConversionOutcome::failed(K::NotWebAddress, "")));
    EXPECT_FALSE(passesToFallback(ConversionOutcome::failed(K::Stopped, "")));
}

class FallbackSaving : public test::StoreFile {};

TEST_F(FallbackSaving, AnUnknownNameOrACycleIsRefusedNamingIt) {
    ShortUrlInterface a = named("a", "http://a.test/?u=#长网址#");
    ShortUrlInterface b = named("b", "http://b.test/?u=#长网址#");
    a.fallbacks = "b";
    EXPECT_EQ(saveInterface(a, store).reason(), "备用接口“b”不存在");
    ASSERT_TRUE(saveInterface(b, store));
    ASSERT_TRUE(saveInterface(a, store));
    b.fallbacks = " a | ";
    EXPECT_EQ(saveInterface(b, store).reason(), "备用接口形成循环：b → a → b");
    a.fallbacks = "a";
    EXPECT_EQ(saveInterface(a, store).reason(), "备用接口形成循环：a → a");
    EXPECT_EQ(loadInterface("a", store).fallbacks, "b");
}
