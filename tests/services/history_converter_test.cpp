// The converter with a history: a hit sends no request, a success is kept,
// a failure never is, and a history that fails is dropped for the run with
// one warning. The history keys that decide what may be reused.

#include <gtest/gtest.h>

#include <map>

#include "base/paths.h"
#include "base/sha256.h"
#include "fakeservices.h"
#include "history/conversionhistory.h"
#include "history/conversionmemory.h"
#include "services/historykey.h"
#include "services/shorturlconverter.h"
#include "support/tempdir.h"

using namespace lianshuo;
using test::Exchange;

namespace {

// A stand-in for the history's tag: any fixed function of the secret.
const SecretTagger kTag = [](std::string_view secret) {
    return hexDigits(sha256(secret)).substr(0, 16);
};

// A history in memory that counts its calls and fails on request.
struct FakeMemory : ConversionMemory {
    HistoryLookup lookup(std::string_view key, std::string_view longUrl) override {
        ++lookups;
        HistoryLookup hit;
        if (failLookups) hit.status = historyFailure(HistoryFailure::Corrupt, "damaged");
        const auto found = rows.find({std::string(key), std::string(longUrl)});
        if (!failLookups && found != rows.end()) hit.shortUrl = found->second;
        return hit;
    }
    Status record(std::string_view key, std::string_view longUrl,
                  std::string_view shortUrl) override {
        ++records;
        if (failRecords) return historyFailure(HistoryFailure::Busy, "locked");
        rows[{std::string(key), std::string(longUrl)}] = shortUrl;
        return {};
    }
    std::map<std::pair<std::string, std::string>, std::string> rows;
    int lookups = 0, records = 0;
    bool failLookups = false, failRecords = false;
};

class ConverterHistory : public ::testing::Test {
protected:
    void SetUp() override {
        server.route("/short", [this](Exchange& e) {
            const std::string& target = e.request().target;
            ++served;
            e.answer(200, target.find("bad") != std::string::npos
                              ? ""
                              : "http://s.test/" + std::to_string(served));
        });
        source.panel.address = server.url("/short?u=#长网址#");
        converter.setRetryPolicy({.retries = 0});
        converter.setHistory(&memory);
        converter.setHistoryWarning([this](std::string_view text) { warnings.emplace_back(text); });
        startRun();
    }
    void startRun() { converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel); }
    std::string key() const { return converter.historyKey(); }

    test::TestServer server;
    test::FakeSource source;
    FakeMemory memory;
    ShortUrlConverter converter{source, defaultBuiltinHosts()};
    std::vector<std::string> warnings;
    int served = 0;
};

}  // namespace

TEST_F(ConverterHistory, AKeptAddressIsReusedWithoutARequestAndAFailureIsNeverKept) {
    ConversionOutcome first = converter.convert("http://a.test/1");
    ASSERT_TRUE(first.ok());
    EXPECT_FALSE(first.fromHistory);
    EXPECT_EQ(memory.rows.at({key(), "http://a.test/1"}), first.shortUrl);

    const ConversionOutcome again = converter.convert("http://a.test/1");
    EXPECT_TRUE(again.fromHistory);
    EXPECT_EQ(again.shortUrl, first.shortUrl);
    EXPECT_EQ(served, 1);

    EXPECT_FALSE(converter.convert("http://a.test/bad").ok());
    EXPECT_EQ(memory.rows.size(), 1u);
    EXPECT_FALSE(converter.convert("http://a.test/bad").fromHistory);
    EXPECT_EQ(served, 3);
    EXPECT_TRUE(warnings.empty());
}

TEST_F(ConverterHistory, WithoutReuseOrWithRefreshTheServiceIsAskedAndTheNewAddressKept) {
    memory.rows[{key(), "http://a.test/1"}] = "http://s.test/old";
    converter.setHistory(&memory, /*reuse=*/false);
    EXPECT_EQ(converter.convert("http://a.test/1").shortUrl, "http://s.test/1");
    EXPECT_EQ(memory.lookups, 0);
    EXPECT_EQ(memory.rows.at({key(), "http://a.test/1"}), "http://s.test/1");

    converter.setHistory(&memory, /*reuse=*/true, /*refresh=*/true);
    EXPECT_EQ(converter.convert("http://a.test/1").shortUrl, "http://s.test/2");
    EXPECT_EQ(memory.rows.at({key(), "http://a.test/1"}), "http://s.test/2");

    converter.setHistory(&memory);
    EXPECT_TRUE(converter.convert("http://a.test/1").fromHistory);
    EXPECT_EQ(served, 2);
}

TEST_F(ConverterHistory, TheInterfaceTestAlwaysAsksTheService) {
    memory.rows[{key(), "http://a.test/1"}] = "http://s.test/old";
    const ConversionOutcome tested =
        converter.convert("http://a.test/1", ShortUrlConverter::kSnapshotAndConvert);
    EXPECT_FALSE(tested.fromHistory);
    EXPECT_EQ(served, 1);
    EXPECT_EQ(memory.lookups + memory.records, 0);
}

TEST_F(ConverterHistory, AKeptTextThatIsNoAddressIsConvertedAgainAndReplaced) {
    memory.rows[{key(), "http://a.test/1"}] = "<html>oops";
    const ConversionOutcome outcome = converter.convert("http://a.test/1");
    EXPECT_FALSE(outcome.fromHistory);
    EXPECT_EQ(outcome.shortUrl, "http://s.test/1");
    EXPECT_EQ(memory.rows.at({key(), "http://a.test/1"}), "http://s.test/1");
}

TEST_F(ConverterHistory, AFailingHistoryWarnsOnceAndTheRunGoesOnWithoutIt) {
    memory.failLookups = true;
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(converter.convert("http://a.test/" + std::to_string(i)).ok());
    EXPECT_EQ(served, 3);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("damaged"), std::string::npos);
    EXPECT_EQ(memory.lookups, 1);
    EXPECT_EQ(memory.records, 0);

    // The next run tries again.
    memory.failLookups = false;
    memory.failRecords = true;
    startRun();
    EXPECT_TRUE(converter.convert("http://a.test/4").ok());
    EXPECT_TRUE(converter.convert("http://a.test/5").ok());
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[1].find("locked"), std::string::npos);
    EXPECT_EQ(memory.records, 1);
}

TEST_F(ConverterHistory, NoFunctionOfTheTokenLeavesTheHistoryAndFormerKeysAreStillReused) {
    test::TempDir dir;
    ConversionHistory history, other;
    ASSERT_TRUE(history.open(gbkPath(dir / "h.sqlite")).ok());
    ASSERT_TRUE(other.open(gbkPath(dir / "other.sqlite")).ok());
    source.panel.token = "0123456789";
    // What an earlier version kept, under a fingerprint that took the token as it is.
    const std::string former = formerHistoryServiceKey(kCustomService, source.panel);
    ASSERT_TRUE(history.record(former, "http://a.test/old", "http://s.test/old").ok());
    converter.setHistory(&history);
    startRun();
    const ConversionOutcome reused = converter.convert("http://a.test/old");
    EXPECT_TRUE(reused.fromHistory);
    EXPECT_EQ(reused.shortUrl, "http://s.test/old");
    ASSERT_TRUE(converter.convert("http://a.test/new").ok());
    EXPECT_EQ(served, 1);

    // The kept row moved to today's key, which takes the token only through
    // the history's own key: the same token tags differently in another file.
    const std::string today = key();
    std::vector<HistoryEntry> rows;
    ASSERT_TRUE(history.list({.service = former}, rows).ok());
    EXPECT_TRUE(rows.empty());
    ASSERT_TRUE(history.list({.service = today}, rows).ok());
    EXPECT_EQ(rows.size(), 2u);
    const std::string tag = history.secretTag("0123456789").text;
    EXPECT_EQ(today.substr(today.size() - tag.size()), tag);
    EXPECT_NE(other.secretTag("0123456789").text, tag);
    // What leaves the file names the interface, not its key: even the plain form, which keeps
    // the key's start.
    ASSERT_TRUE(history.exportCsv(gbkPath(dir / "h.csv"), {}, nullptr, CsvForm::Plain).ok());
    const std::string csv = test::readFile(dir / "h.csv");
    EXPECT_NE(csv.find("\r\ncustom:127.0.0.1,http://a.test/old,"), std::string::npos) << csv;
    EXPECT_EQ(csv.find(today.substr(today.rfind(':'))), std::string::npos);
    EXPECT_EQ(csv.find(former.substr(former.rfind(':'))), std::string::npos);
}

TEST(HistoryKey, BuiltInServicesAreNamedWithTheHostThatAnswers) {
    BuiltinHosts hosts = defaultBuiltinHosts();
    hosts.baidu = "b.test";
    hosts.relay = "relay.test";
    hosts.tinyurl = "t.test";
    const ShortUrlInterface none;
    EXPECT_EQ(historyServiceKey(kBaiduService, hosts, none, kTag), "baidu:b.test");
    EXPECT_EQ(historyServiceKey(kWeiboService, hosts, none, kTag), "weibo:relay.test");
    EXPECT_EQ(historyServiceKey(kTinyUrlService, hosts, none, kTag), "tinyurl:t.test");
}

TEST(HistoryKey, EditingWhatShapesTheRequestMakesANewKeyAndNothingElseDoes) {
    const BuiltinHosts hosts = defaultBuiltinHosts();
    ShortUrlInterface d;
    d.address = "http://api.test/short?u=#长网址#";
    const std::string base = historyServiceKey(kCustomService, hosts, d, kTag);
    EXPECT_EQ(base.rfind("custom:api.test:", 0), 0u) << base;
    EXPECT_EQ(base.size(), std::string("custom:api.test:").size() + 16);

    const auto keyAfter = [&](auto edit) {
        ShortUrlInterface changed = d;
        edit(changed);
        return historyServiceKey(kCustomService, hosts, changed, kTag);
    };
    EXPECT_NE(keyAfter([](auto& x) { x.address = "http://api.test/short?v=#长网址#"; }), base);
    EXPECT_NE(keyAfter([](auto& x) { x.utf8Encoding = true; }), base);
    EXPECT_NE(keyAfter([](auto& x) { x.postMode = true; }), base);
    // The template is only sent by a POST.
    EXPECT_EQ(keyAfter([](auto& x) { x.postTemplate = "u=#长网址#"; }), base);
    EXPECT_NE(keyAfter([](auto& x) {
                  x.postMode = true;
                  x.postTemplate = "u=#长网址#";
              }),
              keyAfter([](auto& x) {
                  x.postMode = true;
                  x.postTemplate = "v=#长网址#";
              }));
    // Reading the reply differently asks the same service the same question.
    EXPECT_EQ(keyAfter([](auto& x) {
                  x.cutEnabled = true;
                  x.leftMarker = "<b>";
              }),
              base);
    EXPECT_EQ(keyAfter([](auto& x) {
                  x.insertEnabled = true;
                  x.prefix = "http://";
              }),
              base);
    // Bytes moved from one field to the next are still another request.
    ShortUrlInterface a, b;
    a.postMode = b.postMode = true;
    a.address = "http://x.test/ab";
    a.postTemplate = "c";
    b.address = "http://x.test/a";
    b.postTemplate = "bc";
    EXPECT_NE(interfaceFingerprint(a, kTag), interfaceFingerprint(b, kTag));
    EXPECT_EQ(keyAfter([](auto& x) { x.name = "我的接口"; }).rfind("custom:我的接口:", 0), 0u);
}

TEST(HistoryKey, TheConverterKeysTheSnapshotNotThePanelAsEdited) {
    test::FakeSource source;
    source.panel.address = "http://one.test/?u=#长网址#";
    ShortUrlConverter converter(source, defaultBuiltinHosts());
    converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    const std::string before = converter.historyKey();
    source.panel.address = "http://two.test/?u=#长网址#";
    EXPECT_EQ(converter.historyKey(), before);
    converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    EXPECT_NE(converter.historyKey(), before);
    source.service = kBaiduService;
    EXPECT_EQ(converter.historyKey().rfind("baidu:", 0), 0u);
}
