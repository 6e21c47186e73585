#pragma once
// Local stand-ins for the outside short-link services, and a conversion
// source that plays the main window's part.

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "services/conversionsource.h"
#include "support/test_server.h"

namespace lianshuo::test {

struct FakeSource : ConversionSource {
    int service = kCustomService;
    std::string token;
    std::string tokenFailure;
    ShortUrlInterface panel;
    int selectedService() const override { return service; }
    std::string baiduToken() const override { return token; }
    std::string baiduTokenFailure() const override { return tokenFailure; }
    ShortUrlInterface readInterfaceFromPanel() const override { return panel; }
    // The saved interfaces a fallback is looked up in, by name.
    std::map<std::string, ShortUrlInterface> saved;
    Result<ShortUrlInterface> savedInterface(std::string_view name) const override {
        const auto found = saved.find(std::string(name));
        if (found == saved.end()) return Failure{0, "没有名为“" + std::string(name) + "”的接口"};
        return found->second;
    }
};

/// Trusts the HTTPS test server's certificate for as long as it lives.
class TrustedServer : public TestServer {
public:
    TrustedServer() : TestServer(Scheme::Https) {
        setenv("SSL_CERT_FILE", certificateFile().c_str(), 1);
    }
    ~TrustedServer() { unsetenv("SSL_CERT_FILE"); }
};

/// A plain or a trusted HTTPS test server: the request engines' tests run on both.
inline std::unique_ptr<TestServer> serverFor(bool secure) {
    if (secure) return std::make_unique<TrustedServer>();
    return std::make_unique<TestServer>();
}

}  // namespace lianshuo::test
