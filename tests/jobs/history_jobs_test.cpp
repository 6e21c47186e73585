// Both runs with a history: a second run over the same addresses asks the
// service nothing, writes the same results, and does not pause for addresses
// the history answered.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "../services/fakeservices.h"
#include "base/paths.h"
#include "history/conversionhistory.h"
#include "jobs/batchjob.h"
#include "jobs/fileconverter.h"
#include "jobs/fileconvertersettings.h"
#include "jobs/jobloop.h"
#include "services/shorturlconverter.h"
#include "support/recording_views.h"
#include "support/tempdir.h"

using namespace lianshuo;

namespace {

class JobsWithHistory : public ::testing::Test {
protected:
    void SetUp() override {
        server.route("/short", [this](test::Exchange& e) {
            e.answer(200, "http://s.test/" + std::to_string(++served));
        });
        source.panel.address = server.url("/short?u=#长网址#");
        ASSERT_TRUE(history.open(gbkPath(dir / "h.sqlite")).ok());
        converter.setRetryPolicy({.retries = 0});
        converter.setHistory(&history);
    }

    std::string output(const std::string& name) const {
        return test::readFile(nativePath(gbkPath(dir.path()) + "/处理结果/" + name));
    }

    test::TempDir dir;
    test::TestServer server;
    test::FakeSource source;
    ConversionHistory history;
    ShortUrlConverter converter{source, defaultBuiltinHosts()};
    int served = 0;
};

}  // namespace

TEST_F(JobsWithHistory, ASecondBatchReusesEveryAddressWithoutPausing) {
    test::RecordingBatchView view;
    view.add({"http://a.test/1", "http://a.test/2", "http://a.test/3"});
    PlainJobLoop loop;
    BatchJob job(view, converter, &loop);
    job.setWaitAfterLastRow(false);
    job.generateClicked();
    loop.runUntil([&] { return !job.running(); });
    const std::vector<std::string> first = view.texts();
    ASSERT_EQ(served, 3);

    // A day between two conversions: only a batch that skips the pause ends.
    view.interval = "86400";
    int steps = 0;
    job.generateClicked();
    loop.runUntil([&] {
        if (++steps > 200) job.requestStop();
        return !job.running();
    });
    ASSERT_TRUE(view.summary);
    EXPECT_FALSE(view.summary->stopped);
    EXPECT_EQ(view.texts(), first);
    EXPECT_EQ(view.fromHistory, 3);
    EXPECT_EQ(served, 3);
}

TEST_F(JobsWithHistory, ASecondFileRunWritesTheSameFilesWithoutARequest) {
    test::writeFile(dir / "a.htm", "<a href=\"http://a.test/1\">1</a> http://a.test/2");
    test::writeFile(dir / "b.htm", "http://a.test/2 and http://a.test/3");
    test::RecordingFileView view;
    view.input = defaultFileConverterSettings();
    view.input.folder = gbkPath(dir.path());
    view.input.whiteListOn = false;
    FileConverterEngine engine(view, converter);
    engine.startOrStopConversion(false);
    ASSERT_EQ(served, 3);
    EXPECT_EQ(view.fromHistory, 0);
    const std::string a = output("a.htm");
    const std::string b = output("b.htm");
    EXPECT_EQ(b, "http://s.test/2 and http://s.test/3");

    engine.startOrStopConversion(false);
    EXPECT_EQ(served, 3);
    // Four addresses in the files, three distinct ones: all from the history.
    EXPECT_EQ(view.fromHistory, 4);
    EXPECT_EQ(output("a.htm"), a);
    EXPECT_EQ(output("b.htm"), b);
}

namespace {

// The history as a batch sees it, watched: when a record comes, how many
// requests had reached the service by then.
struct WatchedMemory : ConversionMemory {
    ConversionMemory& inner;
    const std::atomic<int>& served;
    std::vector<std::string> recorded;
    std::vector<int> servedWhenRecorded;
    int requests = 0;  // in the whole run

    WatchedMemory(ConversionMemory& memory, const std::atomic<int>& count)
        : inner(memory), served(count) {}
    HistoryLookup lookup(std::string_view key, std::string_view longUrl) override {
        return inner.lookup(key, longUrl);
    }
    Status record(std::string_view key, std::string_view longUrl,
                  std::string_view shortUrl) override {
        // Waits a while for the next request: one that is only sent after this
        // record never comes, and the count stays where it was.
        const int expected = std::min(static_cast<int>(recorded.size()) + 2, requests);
        for (int n = 0; n < 100 && served.load() < expected; ++n)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        recorded.emplace_back(longUrl);
        servedWhenRecorded.push_back(served.load());
        return inner.record(key, longUrl, shortUrl);
    }
};

}  // namespace

TEST_F(JobsWithHistory, EachRecordIsWrittenWhileTheNextRequestIsUnderWayAndBeforeItsRowShows) {
    std::atomic<int> reached{0};
    server.route("/slow", [&reached](test::Exchange& e) {
        ++reached;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        e.answer(200, "http://s.test/" + e.request().target.substr(e.request().target.size() - 1));
    });
    source.panel.address = server.url("/slow?u=#长网址#");
    WatchedMemory memory(history, reached);
    memory.requests = 3;
    converter.setHistory(&memory);

    struct ShownView : test::RecordingBatchView {
        WatchedMemory* memory = nullptr;
        std::vector<std::size_t> recordsWhenShown;
        void showOutcome(int row, const ConversionOutcome& outcome) override {
            RecordingBatchView::showOutcome(row, outcome);
            recordsWhenShown.push_back(memory->recorded.size());
        }
    } view;
    view.memory = &memory;
    const std::vector<std::string> urls = {"http://a.test/1", "http://a.test/2", "http://a.test/3"};
    view.add(urls);
    BatchJob job(view, converter);
    job.setWaitAfterLastRow(false);
    job.generateClicked();

    EXPECT_EQ(view.texts(),
              (std::vector<std::string>{"http://s.test/1", "http://s.test/2", "http://s.test/3"}));
    EXPECT_EQ(memory.recorded, urls);
    // The first two records wait for no request of their own; the last has none to wait for.
    EXPECT_EQ(memory.servedWhenRecorded, (std::vector<int>{2, 3, 3}));
    // A row shows once its record is written: a run killed after it keeps what it showed.
    EXPECT_EQ(view.recordsWhenShown, (std::vector<std::size_t>{1, 2, 3}));
    EXPECT_EQ(history.lookup(converter.historyKey(), "http://a.test/3").shortUrl,
              "http://s.test/3");
}

TEST_F(JobsWithHistory, ARecordThatFailsUnderWayIsOneWarningAndEveryRowStillShows) {
    // A history whose disk fills up after the first record.
    struct FillingMemory : ConversionMemory {
        int records = 0;
        HistoryLookup lookup(std::string_view, std::string_view) override { return {}; }
        Status record(std::string_view, std::string_view, std::string_view) override {
            if (++records == 1) return {};
            return historyFailure(HistoryFailure::Full, "磁盘已满，历史无法写入：h.sqlite");
        }
    } memory;
    converter.setHistory(&memory);
    std::vector<std::string> warnings;
    converter.setHistoryWarning(
        [&warnings](std::string_view text) { warnings.emplace_back(text); });

    test::RecordingBatchView view;
    view.add({"http://a.test/1", "http://a.test/2", "http://a.test/3", "http://a.test/4"});
    BatchJob job(view, converter);
    job.setWaitAfterLastRow(false);
    job.generateClicked();

    EXPECT_EQ(view.texts(), (std::vector<std::string>{"http://s.test/1", "http://s.test/2",
                                                      "http://s.test/3", "http://s.test/4"}));
    ASSERT_TRUE(view.summary);
    EXPECT_FALSE(view.summary->stopped);
    // The second record failed while the third request was under way: one warning with the
    // reason, and no more records tried.
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("磁盘已满"), std::string::npos);
    EXPECT_EQ(memory.records, 2);
}
