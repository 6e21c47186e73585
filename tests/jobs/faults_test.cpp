#include <gtest/gtest.h>
#include <sys/resource.h>

#include "../services/fakeservices.h"
#include "http/webrequest.h"
#include "jobs/batchjob.h"
#include "services/shorturlconverter.h"
#include "support/test_pages.h"
#include "support/test_server.h"

using namespace lianshuo;

namespace {

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct ListView : BatchView {
    std::vector<std::string> urls, texts;
    std::vector<ResultRowState> states;
    std::string caption = BatchJob::idleCaption();
    int rowCount() const override { return static_cast<int>(urls.size()); }
    std::string longUrl(int row) const override { return urls[static_cast<std::size_t>(row)]; }
    void setRow(int row, std::string_view text, ResultRowState state) override {
        texts[static_cast<std::size_t>(row)] = text;
        states[static_cast<std::size_t>(row)] = state;
    }
    void showOutcome(int row, const ConversionOutcome& outcome) override {
        setRow(row, outcome.ok() ? outcome.shortUrl : "生成错误",
               outcome.ok() ? ResultRowState::Done : ResultRowState::Error);
    }
    void batchFinished(const BatchSummary&) override {}
    std::string generateCaption() const override { return caption; }
    void setGenerateCaption(std::string_view c) override { caption = c; }
    void setPasteCopyEnabled(bool) override {}
    std::string intervalText() const override { return "0"; }
    bool autoSave() const override { return false; }
    std::string saveFolder() const override { return {}; }
    void setResultFilePath(std::string_view) override {}
};

}  // namespace

// Services that break in the middle of a batch: each of those rows shows the
// error text, the batch goes on, the window keeps being served, and a reply of
// a gigabyte never reaches memory.
TEST(BatchFaults, HangsTricklesResetsAndHugeRepliesFailOnlyTheirRow) {
    using namespace std::chrono_literals;
    // Two minutes of waiting for a dead service become a little over one second.
    setTimeoutScale(0.01);
    test::TestServer server;
    server.route("/hang", test::neverAnswer());
    server.route("/trickle", test::trickle(std::string(100, 't'), 100, 100ms));
    server.route("/reset", test::resetMidBody(std::string(200000, 'r')));
    server.route("/huge", test::oversized(std::uint64_t{1} << 30, false));
    server.route("/huge-announced", test::oversized(std::uint64_t{1} << 30, true));
    server.route("/ok", test::reply(200, "https://s.test/ok"));
    test::FakeSource source;
    source.panel.address = server.url("/#长网址#");
    source.panel.utf8Encoding = true;
    // The long address is the path the fake service answers on.
    ShortUrlConverter converter(source, defaultBuiltinHosts());
    // Retries would only repeat the same faults; they are tested on their own.
    converter.setRetryPolicy({.retries = 0});
    ListView view;
    for (const char* path : {"hang", "reset", "huge", "ok", "trickle", "huge-announced", "ok"}) {
        view.urls.emplace_back(path);
        view.texts.emplace_back();
        view.states.push_back(ResultRowState::Waiting);
    }
    const long before = peakKiB();
    BatchJob job(view, converter);
    job.generateClicked();
    setTimeoutScale(1);

    using S = ResultRowState;
    const std::vector<S> expected{S::Error, S::Error, S::Error, S::Done,
                                  S::Error, S::Error, S::Done};
    EXPECT_EQ(view.states, expected);
    EXPECT_EQ(view.texts[0], "生成错误");
    EXPECT_EQ(view.texts[3], "https://s.test/ok");
    // Bodies are capped at 64 MiB; a gigabyte held anywhere would show here.
    EXPECT_LT(peakKiB() - before, 400 * 1024);
}
