#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>

#include "../services/fakeservices.h"
#include "base/paths.h"
#include "jobs/batchjob.h"
#include "jobs/jobloop.h"
#include "jobs/pastedaddresses.h"
#include "services/shorturlconverter.h"
#include "support/recording_views.h"
#include "support/tempdir.h"
#include "support/test_server.h"

using namespace lianshuo;

namespace {

// A service that returns a short address for "ok" addresses and nothing otherwise.
void routeEcho(test::TestServer& server) {
    server.route("/short", [](test::Exchange& e) {
        const std::string& target = e.request().target;
        e.answer(200, target.find("ok") != std::string::npos
                          ? "https://s.test/" + std::to_string(target.size())
                          : "");
    });
}

// A batch through the echo service whose results file goes into a temporary folder.
class SavingBatch : public ::testing::Test {
protected:
    void SetUp() override {
        routeEcho(server);
        source.panel.address = server.url("/short?u=#长网址#");
        view.save = true;
    }
    test::TestServer server;
    test::TempDir dir;
    test::FakeSource source;
    ShortUrlConverter converter{source, defaultBuiltinHosts()};
    test::RecordingBatchView view;
};

}  // namespace

TEST_F(SavingBatch, ConvertsEveryRowWritesSuccessesAndNamesTheFileAfterTheService) {
    view.folder = gbkPath(dir.path()) + "/结果";
    view.add("http://a.test/ok1");
    view.add("http://a.test/bad");
    view.add("http://a.test/ok2");
    BatchJob job(view, converter);
    job.generateClicked();

    EXPECT_EQ(view.rows[0].state, ResultRowState::Done);
    EXPECT_EQ(view.rows[1].state, ResultRowState::Error);
    EXPECT_EQ(view.rows[1].text, "生成错误");
    EXPECT_EQ(view.rows[2].state, ResultRowState::Done);
    EXPECT_EQ(view.captions.front(), "停止生成(3:1)");
    EXPECT_EQ(view.caption, "生成短网址");
    EXPECT_TRUE(view.pasteEnabled);
    EXPECT_EQ(job.failed(), 1);

    const std::string prefix = view.folder + "/127.0.0.1:" + std::to_string(server.port()) + "_";
    ASSERT_EQ(view.resultFile.substr(0, prefix.size()), prefix);
    EXPECT_EQ(test::readFile(nativePath(view.resultFile)),
              view.rows[0].text + "\r\n" + view.rows[2].text + "\r\n");
}

TEST_F(SavingBatch, RowsShowTheAddressAsSentWithTheAddedParameters) {
    view.save = false;
    view.added = "utm_source=news";
    view.add("http://a.test/ok1#f");
    view.add("http://a.test/ok2?utm_source=own");
    BatchJob job(view, converter);
    job.generateClicked();
    EXPECT_EQ(view.rows[0].longUrl, "http://a.test/ok1?utm_source=news#f");
    EXPECT_EQ(view.rows[1].longUrl, "http://a.test/ok2?utm_source=own");
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_NE(server.requests()[0].target.find("utm_source%3Dnews"), std::string::npos);
}

TEST_F(SavingBatch, ASecondBatchInTheSameSecondNeverReplacesTheFirstFile) {
    view.folder = gbkPath(dir.path()) + "/";
    view.add("http://a.test/ok");
    BatchJob job(view, converter);
    job.generateClicked();
    const std::string first = view.resultFile;
    job.generateClicked();
    EXPECT_NE(view.resultFile, first);
    // On a loaded machine the second batch may start in the next second, under a name of its own.
    if (view.resultFile.substr(0, first.size() - 4) == first.substr(0, first.size() - 4)) {
        EXPECT_NE(view.resultFile.find(" (2).txt"), std::string::npos);
    }
    EXPECT_EQ(first.find("//"), std::string::npos);  // a folder ending in "/" gets no second one
    EXPECT_TRUE(std::filesystem::exists(nativePath(first)));
}

// What a click does follows the job's run, not the button: a click that lands
// as the batch ends only stops it, and the next click starts a new batch.
TEST_F(SavingBatch, AClickAsTheBatchEndsLeavesTheNextClickStarting) {
    struct ClickingView : test::RecordingBatchView {
        BatchJob* job = nullptr;
        bool clicked = false;
        void setGenerateCaption(std::string_view c) override {
            RecordingBatchView::setGenerateCaption(c);
            if (c == BatchJob::idleCaption() && !std::exchange(clicked, true))
                job->generateClicked();
        }
    } clicking;
    clicking.save = false;
    clicking.add("http://a.test/ok");
    BatchJob job(clicking, converter);
    clicking.job = &job;
    job.generateClicked();
    EXPECT_EQ(job.state(), RunState::Idle);
    clicking.rows[0].state = ResultRowState::Waiting;
    job.generateClicked();
    EXPECT_EQ(clicking.rows[0].state, ResultRowState::Done);
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST(Batch, AStopDuringThePauseAfterRowTwoLeavesTheRestWaiting) {
    test::TestServer server;
    routeEcho(server);
    test::FakeSource source;
    source.panel.address = server.url("/short?u=#长网址#");
    ShortUrlConverter converter(source, defaultBuiltinHosts());
    // No pause after row 1; a long one after row 2, which the stop must cut short.
    // The interval is read once after each conversion.
    struct PausingView : test::RecordingBatchView {
        mutable int reads = 0;
        std::string intervalText() const override { return ++reads >= 2 ? "30" : "0"; }
    } view;
    for (int i = 0; i < 5; ++i) view.add("http://a.test/ok" + std::to_string(i));
    PlainJobLoop loop;
    BatchJob job(view, converter, &loop);
    // The second click, handled by the loop inside the pause after row 2.
    bool clicked = false;
    job.generateClicked();
    loop.runUntil([&] {
        if (view.rows[1].state == ResultRowState::Done && !clicked) {
            clicked = true;
            job.generateClicked();
        }
        return !job.running();
    });
    EXPECT_EQ(view.rows[0].state, ResultRowState::Done);
    EXPECT_EQ(view.rows[1].state, ResultRowState::Done);
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(view.rows[static_cast<std::size_t>(i)].state, ResultRowState::Waiting);
        EXPECT_EQ(view.rows[static_cast<std::size_t>(i)].text, "等待转换");
    }
    EXPECT_EQ(view.caption, "生成短网址");
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST(Batch, AnEmptyListStillCreatesTheEmptyFile) {
    test::TempDir dir;
    test::FakeSource source;
    ShortUrlConverter converter(source, defaultBuiltinHosts());
    test::RecordingBatchView view;
    view.save = true;
    view.folder = gbkPath(dir.path());
    BatchJob job(view, converter);
    job.generateClicked();
    EXPECT_EQ(test::readFile(nativePath(view.resultFile)), "");
    EXPECT_EQ(view.caption, "生成短网址");
}

TEST(PastedAddresses, TrimSkipEmptyLinesAndAddAScheme) {
    EXPECT_EQ(pastedAddresses("a.test/x\r\n\r\n \xA1\xA1https://b.test/ \t\nftp://c.test\n   \n"),
              (std::vector<std::string>{"http://a.test/x", "https://b.test/", "ftp://c.test"}));
    EXPECT_TRUE(pastedAddresses("").empty());
}

TEST(PastedAddresses, ALineThatCanBeNoWebAddressIsToldApart) {
    for (const char* web :
         {"http://a.test/x", "https://127.0.0.1:8080/", "http://localhost:80/p", "http://[::1]/",
          "http://u:p@a.test/", "ftp://c.test", "http://a.test/1\tmine words"})
        EXPECT_TRUE(looksLikeWebAddress(web)) << web;
    for (const char* none :
         {"http://abc", "http://a.test/x y", "http://a.\xA1\xA1test", "http://javascript:alert(1)",
          "http://.test", "http://a.", "http://[]/"})
        EXPECT_FALSE(looksLikeWebAddress(none)) << none;
    const std::vector<PastedLine> lines = pastedLines("abc\r\na.test/x\r\nhello world\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_FALSE(lines[0].webAddress);
    EXPECT_EQ(lines[1].address, "http://a.test/x");
    EXPECT_TRUE(lines[1].webAddress);
    EXPECT_FALSE(lines[2].webAddress);
}

TEST(PastedAddresses, AListFileIsOneAddressALineInEitherEncoding) {
    const std::string list = "a.test/1\tmine\r\nhttp://b.test/\xE4\xB8\xAD\r\n\r\nabc\r\n";
    EXPECT_TRUE(readsAsAddressList(list));
    const std::vector<PastedLine> lines = listedLines(list);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].address, "http://a.test/1\tmine");
    EXPECT_EQ(lines[1].address, "http://b.test/\xD6\xD0");  // UTF-8 read, GBK kept
    EXPECT_FALSE(lines[2].webAddress);
    EXPECT_FALSE(readsAsAddressList("<p>see http://a.test/ here</p>\n"));
}

TEST_F(SavingBatch, EachDistinctAddressIsAskedOncePerRun) {
    view.folder = gbkPath(dir.path());
    for (const char* url : {"http://a.test/ok1", "http://a.test/ok1", "http://a.test/bad",
                            "http://a.test/ok1", "http://a.test/bad"})
        view.add(url);
    BatchJob job(view, converter);
    job.generateClicked();
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(view.rows[3].text, view.rows[0].text);
    EXPECT_EQ(view.rows[3].state, ResultRowState::Done);
    EXPECT_EQ(view.rows[4].state, ResultRowState::Error);
    EXPECT_EQ(view.reasons[4], view.reasons[2]);
    EXPECT_EQ(job.succeeded(), 3);
    EXPECT_EQ(job.failed(), 2);
    ASSERT_TRUE(view.summary);
    EXPECT_EQ(summaryLine(*view.summary), "完成 3 个，失败 2 个");
}

TEST(Batch, FinishingWhatIsUnderWayKeepsTheAnswerOfTheRequestInFlightAndSendsNoMore) {
    test::TestServer server;
    server.route("/short", [](test::Exchange& e) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        e.answer(200, "https://s.test/" + e.request().target.substr(e.request().target.size() - 1));
    });
    test::FakeSource source;
    source.panel.address = server.url("/short?u=#长网址#");
    ShortUrlConverter converter(source, defaultBuiltinHosts());
    struct EndingView : test::RecordingBatchView {
        BatchJob* job = nullptr;
        void showOutcome(int row, const ConversionOutcome& outcome) override {
            test::RecordingBatchView::showOutcome(row, outcome);
            // The reader goes away after the first row, with the second request already out.
            if (row == 0) job->finishUnderWay();
        }
    } view;
    for (int i = 1; i <= 4; ++i) view.add("http://a.test/ok" + std::to_string(i));
    BatchJob job(view, converter);
    view.job = &job;
    job.generateClicked();
    ASSERT_TRUE(view.summary);
    EXPECT_TRUE(view.summary->stopped);
    EXPECT_EQ(view.rows[0].text, "https://s.test/1");
    // Its answer came after the finish was asked for, and counts all the same.
    EXPECT_EQ(view.rows[1].text, "https://s.test/2");
    EXPECT_EQ(view.rows[2].state, ResultRowState::Waiting);
    EXPECT_EQ(view.rows[3].state, ResultRowState::Waiting);
    EXPECT_EQ(server.requests().size(), 2u);
}
