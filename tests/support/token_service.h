#pragma once
// A strict stand-in for a service that logs in first (BL.INK v4's style): a
// token request at POST /access_token, answered with {"access_token": "tN"},
// and conversions at POST /links that carry "Authorization: Bearer tN" and a
// JSON body {"url": …}. Only the token issued last is accepted, and only while
// it is younger than its lifetime; any other gets 401. Texts are UTF-8.

#include <chrono>
#include <memory>
#include <string>

#include "support/test_server.h"

namespace lianshuo::test {

class TokenService {
public:
    /// How the token request proves who asks.
    enum class Login {
        Json,   // a JSON body {"email": USER, "password": PASSWORD}
        Basic,  // "Authorization: Basic base64(USER:PASSWORD)", no body needed
    };
    TokenService(TestServer& server, std::string user, std::string password,
                 Login login = Login::Json);

    /// Tokens go stale this long after they are issued.
    void setLifetime(std::chrono::milliseconds lifetime);
    /// The token request waits this long before it answers.
    void setLoginDelay(std::chrono::milliseconds delay);
    /// The token request answers 503 {"message": "maintenance"} while down.
    void setDown(bool down);
    /// Every token issued so far goes stale at once.
    void expireAll();
    /// Conversions get 401 whatever token they carry.
    void refuseAll();

    /// Tokens issued, and conversions refused with 401.
    int tokensIssued() const;
    int refusals() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

/// "Basic " and the base64 of `userAndPassword`, as a client sends it.
std::string basicAuthorization(const std::string& userAndPassword);

}  // namespace lianshuo::test
