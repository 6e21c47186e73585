#pragma once
// Both request engines behind one call, so that a test of what a request does runs on each.

#include <atomic>
#include <optional>
#include <ostream>
#include <string>

#include "http/httprequestobject.h"
#include "http/webrequest.h"
#include "support/scoped_env.h"

namespace lianshuo {

inline void PrintTo(TransferError error, std::ostream* out) {
    *out << transferErrorName(error);
}

namespace test {

/// The plain engine and the request object.
enum class Engine { WebRequest, RequestObject };

inline std::string nameOf(Engine engine) {
    return engine == Engine::WebRequest ? "webRequest" : "fetchPage";
}

inline std::string engineName(const testing::TestParamInfo<Engine>& info) {
    return nameOf(info.param);
}

/// What one request gave, whichever engine made it.
struct Outcome {
    TransferError error = TransferError::None;
    std::string detail;
    long status = 0;
    std::string body;  // the raw body bytes
};

struct FetchSettings {
    int timeoutSeconds = 10;
    const std::atomic<bool>* cancel = nullptr;
};

/// One GET of `url` through `engine`; the request object is the caller's when given.
inline Outcome fetchWith(Engine engine, const std::string& url, FetchSettings settings = {},
                         HttpRequestObject* object = nullptr) {
    Outcome outcome;
    if (engine != Engine::RequestObject) {
        WebResponse response = webRequest(
            {.url = url, .timeoutSeconds = settings.timeoutSeconds, .cancel = settings.cancel});
        return {response.error, response.detail, response.status, response.body};
    }
    HttpRequestObject own;
    HttpRequestObject& o = object != nullptr ? *object : own;
    FetchOptions options;
    options.reply = ReplyText::RawBody;
    options.timeoutSeconds = static_cast<float>(settings.timeoutSeconds);
    options.cancel = settings.cancel;
    outcome.body = o.fetchPage(url, options);
    outcome.error = o.lastError();
    outcome.detail = o.lastErrorDetail();
    outcome.status = o.status();
    return outcome;
}

/// Keeps the developer's proxy settings out of a test for its lifetime.
class NoProxyEnvironment {
public:
    NoProxyEnvironment() = default;

private:
    ScopedEnv http_{"http_proxy", std::nullopt}, httpUpper_{"HTTP_PROXY", std::nullopt};
    ScopedEnv https_{"https_proxy", std::nullopt}, httpsUpper_{"HTTPS_PROXY", std::nullopt};
    ScopedEnv all_{"all_proxy", std::nullopt}, allUpper_{"ALL_PROXY", std::nullopt};
    ScopedEnv no_{"no_proxy", std::nullopt}, noUpper_{"NO_PROXY", std::nullopt};
};

}  // namespace test
}  // namespace lianshuo
