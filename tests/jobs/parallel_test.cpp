// Conversions on several request slots: outcomes in input order whatever
// answers first, a stop that aborts every transfer in flight, and a service
// that says "too many requests" getting fewer slots.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>

#include "../services/fakeservices.h"
#include "jobs/conversionqueue.h"
#include "jobs/jobloop.h"
#include "support/test_server.h"

using namespace lianshuo;
using namespace std::chrono_literals;

namespace {

// The address after "u=" in a request target.
std::string addressOf(const test::RecordedRequest& request) {
    const std::size_t at = request.target.find("u=");
    return at == std::string::npos ? std::string() : request.target.substr(at + 2);
}

// Answers "https://s.test/<address>" after a delay the test picks, counting the requests it
// holds at once.
class SlotCountingService {
public:
    explicit SlotCountingService(test::TestServer::Scheme scheme = test::TestServer::Scheme::Http)
        : server(scheme) {
        server.setKeepAlive(true);
        server.route("/short", [this](test::Exchange& e) {
            const int now = ++held_;
            for (int seen = most_; now > seen && !most_.compare_exchange_weak(seen, now);) {
            }
            const bool tooMany = tooManyLeft_.fetch_sub(1) > 0;
            if (!tooMany) e.pause(delay());
            --held_;
            if (tooMany)
                e.answer(429, "slow down", {"Retry-After: 0"});
            else
                e.answer(200, "https://s.test/" + addressOf(e.request()));
        });
    }

    std::string interfaceAddress() const { return server.url("/short?u=#长网址#"); }
    /// The most requests the service held at the same time.
    int most() const { return most_; }
    /// The next `count` requests are answered 429 at once.
    void refuse(int count) { tooManyLeft_ = count; }

    std::function<std::chrono::milliseconds()> delay = [] { return 0ms; };
    test::TestServer server;

private:
    std::atomic<int> held_{0}, most_{0}, tooManyLeft_{0};
};

// One run of the queue on its own loop, recording what it reports.
struct QueueRun {
    explicit QueueRun(const std::string& interfaceAddress)
        : converter(source, defaultBuiltinHosts()) {
        source.panel.address = interfaceAddress;
        source.panel.utf8Encoding = true;
        converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
        converter.setRetryPolicy({.retries = 20, .firstDelayMs = 0});
    }

    // Converts `addresses` on `slots`; `onEvent` runs after every event the queue reports,
    // `between` between the loop's steps.
    void run(std::vector<std::string> addresses, int slots,
             const std::function<void()>& onEvent = {}, const std::function<void()>& between = {}) {
        queue.beginRun(slots);
        ConversionQueue::Events events;
        events.converting = [&, onEvent](int row) {
            taken.push_back(row);
            if (onEvent) onEvent();
        };
        events.finished = [&, onEvent](int row, const ConversionOutcome& outcome) {
            finished.emplace_back(row, outcome);
            if (onEvent) onEvent();
        };
        events.pauseMs = [] { return 0LL; };
        events.done = [&] { done = true; };
        done = false;
        queue.convert(std::move(addresses), std::move(events));
        loop.runUntil([&] {
            if (between) between();
            return done;
        });
    }

    test::FakeSource source;
    ShortUrlConverter converter;
    PlainJobLoop loop;
    ConversionQueue queue{loop, converter};
    std::vector<int> taken;
    std::vector<std::pair<int, ConversionOutcome>> finished;
    bool done = false;
};

std::vector<std::string> numbered(int count) {
    std::vector<std::string> addresses;
    for (int i = 0; i < count; ++i) addresses.push_back("http://a.test/" + std::to_string(i));
    return addresses;
}

}  // namespace

TEST(ParallelSlots, OutcomesComeInInputOrderWhateverAnswersFirst) {
    SlotCountingService service;
    std::mt19937 random(7);
    std::mutex randomLock;
    service.delay = [&] {
        const std::lock_guard lock(randomLock);
        return std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 40)(random));
    };
    QueueRun run(service.interfaceAddress());
    std::vector<std::string> addresses = numbered(40);
    addresses.push_back("http://a.test/3");  // a repeat shares the first one's outcome
    run.run(addresses, 4);

    ASSERT_EQ(run.finished.size(), addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        EXPECT_EQ(run.finished[i].first, static_cast<int>(i));
        EXPECT_EQ(run.finished[i].second.shortUrl,
                  "https://s.test/http%3A%2F%2Fa.test%2F" + addresses[i].substr(14));
    }
    EXPECT_EQ(service.server.requests().size(), 40u);
    EXPECT_EQ(service.most(), 4);
    // Kept-alive connections: one per slot at most.
    EXPECT_LE(service.server.connectionCount(), 4);
}

TEST(ParallelSlots, OneSlotAsksOneAtATimeOnOneConnection) {
    for (const auto scheme : {test::TestServer::Scheme::Http, test::TestServer::Scheme::Https}) {
        SlotCountingService service(scheme);
        if (scheme == test::TestServer::Scheme::Https)
            setenv("SSL_CERT_FILE", service.server.certificateFile().c_str(), 1);
        QueueRun run(service.interfaceAddress());
        run.run(numbered(100), 1);
        unsetenv("SSL_CERT_FILE");
        ASSERT_EQ(run.finished.size(), 100u);
        EXPECT_TRUE(std::all_of(run.finished.begin(), run.finished.end(),
                                [](const auto& row) { return row.second.ok(); }));
        EXPECT_EQ(service.most(), 1);
        EXPECT_EQ(service.server.connectionCount(), 1);
    }
}

TEST(ParallelSlots, AStopAbortsEveryTransferInFlightAndKeepsTheFinishedRows) {
    test::TestServer server;
    std::atomic<int> arrived{0};
    server.route("/short", [&](test::Exchange& e) {
        // The first two addresses are answered at once; every other one hangs until the
        // client gives up.
        ++arrived;
        const std::string address = addressOf(e.request());
        if (address.ends_with("%2F0") || address.ends_with("%2F1")) {
            e.answer(200, "https://s.test/" + addressOf(e.request()));
            return;
        }
        e.pause(60s);
    });
    QueueRun run(server.url("/short?u=#长网址#"));
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point stopped;
    // Once two rows are in and four requests hang, stop: the loop looks between its steps.
    run.run(numbered(10), 4, {}, [&] {
        if (run.finished.size() == 2 && arrived == 6 && !run.queue.stopped()) {
            stopped = std::chrono::steady_clock::now();
            run.queue.stop();
        }
    });
    // Without a stop the queue would only be done after the slots' time-outs.
    ASSERT_TRUE(run.queue.stopped());
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 5s);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    ASSERT_EQ(run.finished.size(), 6u);
    EXPECT_TRUE(run.finished[0].second.ok());
    EXPECT_TRUE(run.finished[1].second.ok());
    for (std::size_t i = 2; i < 6; ++i)
        EXPECT_EQ(run.finished[i].second.failure, FailureKind::Stopped) << i;
    EXPECT_EQ(run.taken.size(), 6u);  // nothing more was started after the stop
}

TEST(ParallelSlots, ATooManyRequestsStormHalvesTheSlotsAndEveryAddressGetsThrough) {
    SlotCountingService service;
    service.delay = [] { return 5ms; };
    service.refuse(40);
    QueueRun run(service.interfaceAddress());
    int fewest = 8;
    run.run(numbered(60), 8, [&] { fewest = std::min(fewest, run.queue.parallel()); });
    ASSERT_EQ(run.finished.size(), 60u);
    for (const auto& [row, outcome] : run.finished) EXPECT_TRUE(outcome.ok()) << row;
    EXPECT_LE(fewest, 2);
}

TEST(JobLoops, ThePlainLoopRunsPostedStepsInOrderAndTimedOnesWhenDue) {
    PlainJobLoop loop;
    std::vector<int> order;
    loop.postAfter(30, [&] { order.push_back(3); });
    loop.postAfter(0, [&] { order.push_back(2); });
    loop.post([&] { order.push_back(1); });
    std::thread elsewhere([&] { loop.post([&] { order.push_back(4); }); });
    elsewhere.join();
    loop.runUntil([&] { return order.size() == 4; });
    EXPECT_EQ(order, (std::vector<int>{1, 4, 2, 3}));
}
