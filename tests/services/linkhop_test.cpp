#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "services/linkhop.h"
#include "support/test_server.h"

using namespace lianshuo;
using test::Exchange;

TEST(LinkHop, HeadSendsNothingOfTheCallerAndReadsTheRedirectWithoutFollowingIt) {
    test::TestServer server;
    server.route("/s/1", [](Exchange& e) { e.answer(302, "", {"Location: ../t/x?a=1"}); });
    const LinkHop hop = requestLinkHop(server.url("/s/1"));
    ASSERT_TRUE(hop.replied()) << hop.failure.reason();
    EXPECT_EQ(hop.status, 302);
    EXPECT_TRUE(hop.redirected());
    EXPECT_EQ(hop.location, server.url("/t/x?a=1"));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);  // the target was not asked
    EXPECT_EQ(requests[0].method, "HEAD");
    EXPECT_EQ(requests[0].headerNames(), (std::vector<std::string>{"Host", "User-Agent"}));
}

TEST(LinkHop, HeadRefusedAsksWithGetAndReadsOnlyTheStartOfABigBody) {
    test::TestServer server;
    server.route("/s/2", [](Exchange& e) {
        if (e.request().method == "HEAD") {
            e.answer(405, "");
            return;
        }
        // Far more than is read: the hop must not wait for the rest.
        if (!e.sendHead(200, std::uint64_t{1} << 30)) return;
        const std::string block(64 * 1024, 'x');
        for (int i = 0; i < 16384 && e.send(block); ++i) {
        }
    });
    const auto started = std::chrono::steady_clock::now();
    const LinkHop hop = requestLinkHop(server.url("/s/2"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    ASSERT_TRUE(hop.replied()) << hop.failure.reason();
    EXPECT_EQ(hop.status, 200);
    EXPECT_FALSE(hop.redirected());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].method, "GET");
}

TEST(LinkHop, RetriesABusyReplyAndStopsWhenAsked) {
    test::TestServer server;
    std::atomic<int> calls{0};
    server.route("/s/3", [&calls](Exchange& e) {
        if (++calls == 1)
            e.answer(503, "busy");
        else
            e.answer(301, "", {"Location: https://long.test/"});
    });
    const LinkHop hop = requestLinkHop(server.url("/s/3"), {.retries = 1, .firstDelayMs = 1});
    EXPECT_EQ(hop.status, 301);
    EXPECT_EQ(hop.location, "https://long.test/");

    server.route("/slow", [](Exchange& e) { e.pause(std::chrono::seconds(10)); });
    std::atomic<bool> stop{false};
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    const LinkHop stopped = requestLinkHop(server.url("/slow"), {.stop = &stop});
    stopper.join();
    EXPECT_EQ(stopped.failure.failure, FailureKind::Stopped);

    const LinkHop refused = requestLinkHop("http://127.0.0.1:1/s", {.retries = 0});
    EXPECT_EQ(refused.failure.failure, FailureKind::Request);
    EXPECT_FALSE(refused.failure.message.empty());
}

TEST(LinkHop, LocationsResolveAgainstTheRequestedAddress) {
    const std::string base = "http://s.test/a/b?q=1";
    EXPECT_EQ(resolveReference(base, "https://x.test/y"), "https://x.test/y");
    EXPECT_EQ(resolveReference(base, "//x.test/y"), "http://x.test/y");
    EXPECT_EQ(resolveReference(base, "/c/./d/../e"), "http://s.test/c/e");
    EXPECT_EQ(resolveReference(base, "c"), "http://s.test/a/c");
    EXPECT_EQ(resolveReference(base, "?z=2"), "http://s.test/a/b?z=2");
    EXPECT_EQ(resolveReference("http://s.test", "x#f"), "http://s.test/x#f");
    EXPECT_EQ(resolveReference(base, ""), base);
}
