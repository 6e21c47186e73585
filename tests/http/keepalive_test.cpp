// Requests to one service reuse one connection, whichever engine makes them.

#include <gtest/gtest.h>

#include <tuple>

#include "engines.h"
#include "support/scoped_env.h"
#include "support/test_pages.h"
#include "support/test_server.h"

namespace lianshuo {
namespace {

using test::Engine;
using test::fetchWith;
using Scheme = test::TestServer::Scheme;

class KeepAlive : public ::testing::TestWithParam<std::tuple<Engine, Scheme>> {
protected:
    KeepAlive() {
        server.setKeepAlive(true);
        server.route("/short", [](test::Exchange& exchange) {
            exchange.answer(200, "http://s.test/" + exchange.request().target.substr(7));
        });
    }

    Engine engine() const { return std::get<0>(GetParam()); }

    test::NoProxyEnvironment noProxy;
    test::TestServer server{std::get<1>(GetParam())};
    test::ScopedEnv trust{"SSL_CERT_FILE", server.certificateFile()};
};

TEST_P(KeepAlive, AHundredRequestsUseOneConnection) {
    for (int i = 0; i < 100; ++i) {
        const std::string id = std::to_string(i);
        EXPECT_EQ(fetchWith(engine(), server.url("/short?u=" + id)).body, "http://s.test/u=" + id);
    }
    EXPECT_EQ(server.requests().size(), 100u);
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_P(KeepAlive, BothEnginesShareTheConnection) {
    const Engine other =
        engine() == Engine::WebRequest ? Engine::RequestObject : Engine::WebRequest;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(fetchWith(engine(), server.url("/short?u=a")).error, TransferError::None);
        EXPECT_EQ(fetchWith(other, server.url("/short?u=b")).error, TransferError::None);
    }
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_P(KeepAlive, AConnectionTheServerClosedIsReplacedQuietly) {
    server.route("/last", [](test::Exchange& exchange) {
        exchange.closeAfterwards();
        exchange.answer(200, "last");
    });
    EXPECT_EQ(fetchWith(engine(), server.url("/short?u=1")).error, TransferError::None);
    EXPECT_EQ(fetchWith(engine(), server.url("/last")).body, "last");
    EXPECT_EQ(fetchWith(engine(), server.url("/short?u=2")).body, "http://s.test/u=2");
    EXPECT_EQ(server.connectionCount(), 2);
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<Engine, Scheme>>& info) {
    const std::string engine = test::nameOf(std::get<0>(info.param));
    return engine + (std::get<1>(info.param) == Scheme::Https ? "Https" : "Http");
}

INSTANTIATE_TEST_SUITE_P(EnginesAndSchemes, KeepAlive,
                         ::testing::Combine(::testing::Values(Engine::WebRequest,
                                                              Engine::RequestObject),
                                            ::testing::Values(Scheme::Http, Scheme::Https)),
                         caseName);

// A handle goes back to the pool after each request: what one request's reply set must not
// ride along with the next request made on that handle.
TEST(PooledHandles, CookiesOfOneRequestStayOutOfTheNext) {
    test::NoProxyEnvironment noProxy;
    test::TestServer server;
    server.setKeepAlive(true);
    server.route("/set", test::reply(200, "set", {"Set-Cookie: late=3; path=/"}));
    server.route("/echo", test::reply(200, "echo"));
    clearSharedCookies();

    // Caller cookies keep the jar out of the request, yet what the reply sets is kept.
    EXPECT_EQ(webRequest({.url = server.url("/set"), .cookies = "mine=9"}).body, "set");
    HttpRequestObject object;
    EXPECT_EQ(object.fetchPage(server.url("/echo")), "echo");
    EXPECT_EQ(webRequest({.url = server.url("/echo"), .cookies = "x=1"}).body, "echo");
    clearSharedCookies();
    EXPECT_EQ(webRequest({.url = server.url("/echo")}).body, "echo");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[1].headerCount("Cookie"), 0);
    EXPECT_EQ(requests[2].headerCount("Cookie"), 1);
    EXPECT_EQ(requests[2].header("Cookie"), "x=1");
    EXPECT_EQ(requests[3].headerCount("Cookie"), 0);
    EXPECT_EQ(server.connectionCount(), 1);
}

}  // namespace
}  // namespace lianshuo
