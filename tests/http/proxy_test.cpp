// The proxy settings of the environment, on both engines, through a local forward proxy.

#include <gtest/gtest.h>

#include "engines.h"
#include "support/scoped_env.h"
#include "support/test_pages.h"
#include "support/test_server.h"

namespace lianshuo {
namespace {

using test::Engine;
using test::fetchWith;
using test::ScopedEnv;

class EnvironmentProxy : public ::testing::TestWithParam<Engine> {
protected:
    EnvironmentProxy() {
        proxy.routeOthers(test::forwardProxy());
        target.route("/t", test::reply(200, "from the target"));
    }

    std::string proxyUrl() const { return "http://" + proxy.address(); }
    std::vector<std::string> proxiedLines() const {
        std::vector<std::string> lines;
        for (const test::RecordedRequest& request : proxy.requests())
            lines.push_back(request.requestLine);
        return lines;
    }

    test::NoProxyEnvironment clean;
    test::TestServer proxy;
    test::TestServer target;
};

using Lines = std::vector<std::string>;

TEST_P(EnvironmentProxy, PlainRequestsGoThroughHttpProxyInEitherCase) {
    for (const char* name : {"http_proxy", "HTTP_PROXY"}) {
        proxy.clearRequests();
        ScopedEnv setting(name, proxyUrl());
        const test::Outcome outcome = fetchWith(GetParam(), target.url("/t"));
        EXPECT_EQ(outcome.body, "from the target") << name;
        EXPECT_EQ(proxiedLines(), Lines{"GET " + target.url("/t") + " HTTP/1.1"}) << name;
    }
    // all_proxy serves when no proxy for the scheme is named.
    proxy.clearRequests();
    ScopedEnv all("all_proxy", proxyUrl());
    EXPECT_EQ(fetchWith(GetParam(), target.url("/t")).body, "from the target");
    EXPECT_EQ(proxiedLines().size(), 1u);
}

TEST_P(EnvironmentProxy, NoProxyListsHostsReachedDirectly) {
    ScopedEnv setting("http_proxy", proxyUrl());
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        ScopedEnv bypass(name, "localhost,127.0.0.1");
        EXPECT_EQ(fetchWith(GetParam(), target.url("/t")).body, "from the target") << name;
    }
    EXPECT_TRUE(proxy.requests().empty());
    ScopedEnv other("no_proxy", "elsewhere.test");
    EXPECT_EQ(fetchWith(GetParam(), target.url("/t")).body, "from the target");
    EXPECT_EQ(proxy.requests().size(), 1u);
}

TEST_P(EnvironmentProxy, SecureRequestsTunnelThroughHttpsProxy) {
    test::TestServer secure(test::TestServer::Scheme::Https);
    secure.route("/s", test::reply(200, "secret"));
    ScopedEnv trust("SSL_CERT_FILE", secure.certificateFile());
    {
        // The plain proxy setting is not for secure requests.
        ScopedEnv plain("http_proxy", proxyUrl());
        EXPECT_EQ(fetchWith(GetParam(), secure.url("/s")).body, "secret");
        EXPECT_TRUE(proxy.requests().empty());
    }
    for (const char* name : {"https_proxy", "HTTPS_PROXY"}) {
        proxy.clearRequests();
        ScopedEnv setting(name, proxyUrl());
        EXPECT_EQ(fetchWith(GetParam(), secure.url("/s")).body, "secret") << name;
        EXPECT_EQ(proxiedLines(), Lines{"CONNECT " + secure.address() + " HTTP/1.1"}) << name;
    }
}

TEST_P(EnvironmentProxy, AProxyThatIsNotThereFailsTheRequest) {
    ScopedEnv setting("http_proxy", "http://127.0.0.1:9");
    const test::Outcome outcome = fetchWith(GetParam(), target.url("/t"));
    EXPECT_EQ(outcome.error, TransferError::ConnectionRefused);
    EXPECT_TRUE(target.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(BothEngines, EnvironmentProxy,
                         ::testing::Values(Engine::WebRequest, Engine::RequestObject),
                         test::engineName);

TEST(NamedProxy, TheCallersProxyComesBeforeTheEnvironments) {
    test::NoProxyEnvironment clean;
    test::TestServer named, fromEnvironment, target;
    named.routeOthers(test::forwardProxy());
    fromEnvironment.routeOthers(test::forwardProxy());
    target.route("/t", test::reply(200, "from the target"));
    ScopedEnv setting("http_proxy", "http://" + fromEnvironment.address());
    // A caller's proxy is used as given: the environment's bypass list does not apply to it.
    ScopedEnv bypass("no_proxy", "127.0.0.1");

    EXPECT_EQ(webRequest({.url = target.url("/t"), .proxy = named.address()}).body,
              "from the target");
    HttpRequestObject object;
    FetchOptions options;
    options.proxy = FetchProxy::Named;
    options.proxyServer = named.address();
    EXPECT_EQ(object.fetchPage(target.url("/t"), options), "from the target");
    EXPECT_EQ(named.requests().size(), 2u);
    EXPECT_TRUE(fromEnvironment.requests().empty());
}

}  // namespace
}  // namespace lianshuo
