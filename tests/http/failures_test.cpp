// What each engine tells its caller when a request fails, and what it keeps of error replies.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <set>

#include "engines.h"
#include "support/test_pages.h"
#include "support/test_server.h"

namespace lianshuo {
namespace {

using test::Engine;
using test::fetchWith;

// A loopback port nothing listens on (it was free a moment ago).
int closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

class Failures : public ::testing::TestWithParam<Engine> {
protected:
    test::NoProxyEnvironment noProxy;
    test::TestServer server;
};

TEST_P(Failures, EachKindOfTransportFailureIsNamed) {
    server.route("/reset", test::resetMidBody(std::string(100000, 'r')));
    server.route("/reset-at-once", test::resetAtOnce());
    server.route("/short", test::cutShort(std::string(1000, 's')));
    server.route("/never", test::neverAnswer());

    const test::Outcome unknown = fetchWith(GetParam(), "http://no-such-host.invalid/x");
    EXPECT_EQ(unknown.error, TransferError::NameNotResolved);
    EXPECT_NE(unknown.detail.find("no-such-host.invalid"), std::string::npos) << unknown.detail;

    const std::string refusedUrl = "http://127.0.0.1:" + std::to_string(closedPort()) + "/x";
    const test::Outcome refused = fetchWith(GetParam(), refusedUrl);
    EXPECT_EQ(refused.error, TransferError::ConnectionRefused);
    EXPECT_NE(refused.detail, "");

    for (const char* path : {"/reset", "/reset-at-once"}) {
        const test::Outcome reset = fetchWith(GetParam(), server.url(path));
        EXPECT_EQ(reset.error, TransferError::ConnectionReset) << path;
        EXPECT_EQ(reset.body, "") << path;
    }

    const test::Outcome cut = fetchWith(GetParam(), server.url("/short"));
    EXPECT_EQ(cut.error, TransferError::Truncated);
    EXPECT_EQ(cut.body, "");

    const test::Outcome silent = fetchWith(GetParam(), server.url("/never"), {.timeoutSeconds = 1});
    EXPECT_EQ(silent.error, TransferError::Timeout);
    EXPECT_NE(silent.detail, "");
}

// A cut-off gzip stream used to pass its first part on as if it were the whole reply.
TEST_P(Failures, AGzipBodyCutOffFailsTheRequest) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "http://s.test/" + std::to_string(i) + "\n";
    const std::string packed = test::gzipOf(text);
    server.route("/whole", test::reply(200, packed, {"Content-Encoding: gzip"}));
    server.route("/cut",
                 test::reply(200, packed.substr(0, packed.size() / 2), {"Content-Encoding: gzip"}));
    // Without the trailer the data may be complete, but the stream did not end properly.
    server.route("/no-trailer", test::reply(200, packed.substr(0, packed.size() - 8)));
    server.route("/bomb", test::reply(200, test::gzipOfZeros(std::uint64_t{70} << 20)));

    const test::Outcome whole = fetchWith(GetParam(), server.url("/whole"));
    EXPECT_EQ(whole.error, TransferError::None);
    EXPECT_EQ(whole.body, packed);  // decoding stays the caller's
    for (const char* path : {"/cut", "/no-trailer"}) {
        const test::Outcome cut = fetchWith(GetParam(), server.url(path));
        EXPECT_EQ(cut.error, TransferError::Truncated) << path;
        EXPECT_NE(cut.detail, "") << path;
        EXPECT_EQ(cut.body, "") << path;
        EXPECT_EQ(cut.status, 200) << path;
    }
    EXPECT_EQ(fetchWith(GetParam(), server.url("/bomb")).error, TransferError::TooLarge);
}

TEST_P(Failures, ErrorStatusesKeepTheirBodyAndHeaders) {
    server.route("/busy", test::reply(503, "Service Unavailable, try later",
                                      {"Retry-After: 7", "Content-Type: text/plain"}));
    server.route("/slow-down", test::reply(429, "{\"message\":\"too many\"}"));

    const test::Outcome busy = fetchWith(GetParam(), server.url("/busy"));
    EXPECT_EQ(busy.error, TransferError::None);
    EXPECT_EQ(busy.detail, "");
    EXPECT_EQ(busy.status, 503);
    EXPECT_EQ(busy.body, "Service Unavailable, try later");
    const test::Outcome limited = fetchWith(GetParam(), server.url("/slow-down"));
    EXPECT_EQ(limited.status, 429);
    EXPECT_EQ(limited.body, "{\"message\":\"too many\"}");
}

INSTANTIATE_TEST_SUITE_P(BothEngines, Failures,
                         ::testing::Values(Engine::WebRequest, Engine::RequestObject),
                         test::engineName);

TEST(FailureDetail, RetryAfterAndStatusAreReadAfterFetchPage) {
    test::TestServer server;
    server.route("/busy", test::reply(503, "later", {"Retry-After: 120"}));
    server.route("/fine", test::reply(200, "fine"));
    HttpRequestObject object;
    EXPECT_EQ(object.fetchPage(server.url("/busy")), "later");
    EXPECT_EQ(object.lastError(), TransferError::None);
    EXPECT_EQ(object.status(), 503);
    EXPECT_EQ(object.statusText(), "Service Unavailable");
    EXPECT_EQ(object.responseHeader("Retry-After"), "120");
    EXPECT_EQ(object.responseHeader("retry-after"), "120");
    // The next request's reply replaces all of it.
    EXPECT_EQ(object.fetchPage(server.url("/fine")), "fine");
    EXPECT_EQ(object.responseHeader("Retry-After"), "");
    EXPECT_EQ(object.status(), 200);

    const WebResponse busy = webRequest({.url = server.url("/busy")});
    EXPECT_NE(busy.headerBlock.find("\r\nRetry-After: 120\r\n"), std::string::npos);
}

TEST(FailureDetail, BlankAddressesAreRefusedBeforeAnyRequest) {
    const WebResponse blank = webRequest({.url = "   "});
    EXPECT_EQ(blank.error, TransferError::BlankUrl);
    EXPECT_NE(blank.detail, "");
}

// The names go into machine-read output: one per kind, none shared.
TEST(FailureDetail, EveryKindHasANameOfItsOwn) {
    std::set<std::string_view> names;
    for (int kind = 0; kind <= static_cast<int>(TransferError::HeaderTooLarge); ++kind)
        names.insert(transferErrorName(static_cast<TransferError>(kind)));
    EXPECT_EQ(names.size(), static_cast<std::size_t>(TransferError::HeaderTooLarge) + 1);
    EXPECT_EQ(transferErrorName(TransferError::ConnectionReset), "connection-reset");
    EXPECT_EQ(transferErrorName(TransferError::Truncated), "truncated");
}

}  // namespace
}  // namespace lianshuo
