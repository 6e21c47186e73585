#include <gtest/gtest.h>
#include <sys/resource.h>

#include "../services/fakeservices.h"
#include "http/webrequest.h"
#include "jobs/batchjob.h"
#include "services/shorturlconverter.h"
#include "support/recording_views.h"
#include "support/test_pages.h"
#include "support/test_server.h"

using namespace lianshuo;

namespace {

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

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
    test::RecordingBatchView view;
    for (const char* path : {"hang", "reset", "huge", "ok", "trickle", "huge-announced", "ok"})
        view.add(path);
    const long before = peakKiB();
    BatchJob job(view, converter);
    job.generateClicked();
    setTimeoutScale(1);

    using S = ResultRowState;
    const std::vector<S> expected{S::Error, S::Error, S::Error, S::Done,
                                  S::Error, S::Error, S::Done};
    std::vector<S> states;
    for (const test::BatchRow& row : view.rows) states.push_back(row.state);
    EXPECT_EQ(states, expected);
    EXPECT_EQ(view.rows[0].text, "生成错误");
    EXPECT_EQ(view.rows[3].text, "https://s.test/ok");
    // Bodies are capped at 64 MiB; a gigabyte held anywhere would show here.
    // Sanitizers keep shadow memory several times the heap, which says
    // nothing about what the program holds, so only plain builds weigh it.
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(peakKiB() - before, 400 * 1024);
#else
    (void)before;
#endif
}
