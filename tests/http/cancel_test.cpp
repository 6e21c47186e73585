// Stopping a request in flight: a run that is stopped must not wait for a service that hangs.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engines.h"
#include "support/test_pages.h"
#include "support/test_server.h"

namespace lianshuo {
namespace {

using namespace std::chrono_literals;
using test::Engine;
using test::fetchWith;

// Raises `flag` from a thread of its own once the server holds a request (the request is then
// surely in flight), or after ten seconds.
std::thread raiseOnceReceived(const test::TestServer& server, std::atomic<bool>& flag) {
    return std::thread([&server, &flag] {
        const auto limit = std::chrono::steady_clock::now() + 10s;
        while (server.requests().empty() && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(5ms);
        flag = true;
    });
}

class Cancelling : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        server.route("/never", test::neverAnswer());
        server.route("/fine", test::reply(200, "fine"));
    }

    test::NoProxyEnvironment noProxy;
    test::TestServer server;
};

TEST_P(Cancelling, AFlagRaisedOnAnotherThreadEndsAHangingRequest) {
    std::atomic<bool> cancel{false};
    std::thread stopper = raiseOnceReceived(server, cancel);
    // Far longer than the test: a flag that is not looked at ends in a time-out instead.
    const test::Outcome stopped =
        fetchWith(GetParam(), server.url("/never"), {.timeoutSeconds = 30, .cancel = &cancel});
    stopper.join();
    EXPECT_EQ(stopped.error, TransferError::Aborted);
    EXPECT_NE(stopped.detail, "");
    EXPECT_EQ(stopped.body, "");
    // The engine (and the handle the stopped request had) serves the next request.
    EXPECT_EQ(fetchWith(GetParam(), server.url("/fine")).body, "fine");
}

TEST_P(Cancelling, AFlagRaisedBeforehandSendsNothing) {
    const std::atomic<bool> cancel{true};
    EXPECT_EQ(fetchWith(GetParam(), server.url("/fine"), {.cancel = &cancel}).error,
              TransferError::Aborted);
    EXPECT_TRUE(server.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(BothEngines, Cancelling,
                         ::testing::Values(Engine::WebRequest, Engine::RequestObject),
                         test::engineName);

class CancellingRequestObject : public Cancelling {
protected:
    HttpRequestObject object;
};

TEST_F(CancellingRequestObject, SynchronousRequestsLookAtTheFlagToo) {
    std::atomic<bool> cancel{false};
    std::thread stopper = raiseOnceReceived(server, cancel);
    FetchOptions options;
    options.synchronous = true;
    options.timeoutSeconds = 30;
    options.cancel = &cancel;
    EXPECT_EQ(object.fetchPage(server.url("/never"), options), "");
    stopper.join();
    EXPECT_EQ(object.lastError(), TransferError::Aborted);
}

TEST_F(CancellingRequestObject, AbortFromAnotherThreadEndsTheRequestUnderWay) {
    std::thread aborter([this] {
        while (server.requests().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        object.abort();
    });
    FetchOptions options;
    options.timeoutSeconds = 30;
    EXPECT_EQ(object.fetchPage(server.url("/never"), options), "");
    aborter.join();
    EXPECT_EQ(object.lastError(), TransferError::Aborted);
    // The abort was for that request only.
    EXPECT_EQ(object.fetchPage(server.url("/fine")), "fine");
    EXPECT_EQ(object.lastError(), TransferError::None);
}

TEST_F(CancellingRequestObject, TheObjectsOwnFlagOutlastsAFetchWithAFlagOfItsOwn) {
    std::atomic<bool> stopAll{false};
    object.setCancelFlag(&stopAll);
    {
        const std::atomic<bool> thisCall{false};
        FetchOptions options;
        options.cancel = &thisCall;
        EXPECT_EQ(object.fetchPage(server.url("/fine"), options), "fine");
    }
    EXPECT_EQ(object.cancelFlag(), &stopAll);
    stopAll = true;
    EXPECT_EQ(object.fetchPage(server.url("/fine")), "");
    EXPECT_EQ(object.lastError(), TransferError::Aborted);
    EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
}  // namespace lianshuo
