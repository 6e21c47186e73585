#include <gtest/gtest.h>

#include "http/httprequestobject.h"
#include "http/webrequest.h"
#include "support/scoped_env.h"
#include "support/test_pages.h"
#include "support/test_server.h"

namespace lianshuo {
namespace {

using test::ScopedEnv;

WebResponse get(const std::string& url) {
    WebRequestParams params;
    params.url = url;
    return webRequest(params);
}

TEST(Https, BothEnginesTrustTheNamedCertificatesOnly) {
    test::TestServer secure(test::TestServer::Scheme::Https);
    test::TestServer stranger(test::TestServer::Scheme::Https);
    secure.route("/s", test::reply(200, "secret"));
    HttpRequestObject object;
    {
        ScopedEnv file("SSL_CERT_FILE", secure.certificateFile());
        ScopedEnv bundle("CURL_CA_BUNDLE", std::nullopt);
        EXPECT_EQ(object.fetchPage(secure.url("/s")), "secret");
        EXPECT_EQ(get(secure.url("/s")).body, "secret");
        EXPECT_EQ(get("HTTPS://" + secure.address() + "/s").body, "secret");
    }
    {
        // SSL_CERT_FILE comes first; CURL_CA_BUNDLE counts when it is not set.
        ScopedEnv file("SSL_CERT_FILE", secure.certificateFile());
        ScopedEnv bundle("CURL_CA_BUNDLE", stranger.certificateFile());
        EXPECT_EQ(object.fetchPage(secure.url("/s")), "secret");
        ScopedEnv noFile("SSL_CERT_FILE", std::nullopt);
        EXPECT_EQ(object.fetchPage(secure.url("/s")), "");
    }
    {
        ScopedEnv file("SSL_CERT_FILE", std::nullopt);
        ScopedEnv bundle("CURL_CA_BUNDLE", secure.certificateFile());
        EXPECT_EQ(get(secure.url("/s")).body, "secret");
    }
    secure.clearRequests();
    {
        ScopedEnv file("SSL_CERT_FILE", stranger.certificateFile());
        ScopedEnv bundle("CURL_CA_BUNDLE", std::nullopt);
        EXPECT_EQ(object.fetchPage(secure.url("/s")), "");
        EXPECT_EQ(object.lastError(), TransferError::TlsFailed);
        const WebResponse refused = get(secure.url("/s"));
        EXPECT_EQ(refused.error, TransferError::TlsFailed);
        EXPECT_NE(refused.detail, "");
        EXPECT_EQ(refused.body, "");
        // No request got past a handshake: nothing was retried without verification.
        EXPECT_TRUE(secure.requests().empty());
    }
}

}  // namespace
}  // namespace lianshuo
