#include "support/token_service.h"

#include <openssl/evp.h>

#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

namespace lianshuo::test {

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

struct TokenService::State {
    std::string user, password;
    Login login;
    mutable std::mutex mutex;
    std::chrono::milliseconds lifetime = std::chrono::hours(1), delay{0};
    bool down = false, refuseAll = false;
    int issued = 0, refused = 0;
    std::string current;  // the token issued last, empty once stale
    Clock::time_point issuedAt;
};

std::string basicAuthorization(const std::string& userAndPassword) {
    std::string out(4 * ((userAndPassword.size() + 2) / 3) + 1, '\0');
    const int length =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(userAndPassword.data()),
                        static_cast<int>(userAndPassword.size()));
    out.resize(static_cast<std::size_t>(length));
    return "Basic " + out;
}

TokenService::TokenService(TestServer& server, std::string user, std::string password, Login login)
    : state_(std::make_shared<State>()) {
    state_->user = std::move(user);
    state_->password = std::move(password);
    state_->login = login;
    const std::shared_ptr<State> s = state_;
    const auto answer = [](Exchange& e, int status, const json& body) {
        e.answer(status, body.dump(), {"Content-Type: application/json"});
    };
    server.route("/access_token", [s, answer](Exchange& e) {
        const RecordedRequest& r = e.request();
        std::chrono::milliseconds delay;
        {
            const std::lock_guard lock(s->mutex);
            delay = s->delay;
            if (s->down) return answer(e, 503, {{"message", "maintenance"}});
        }
        if (r.method != "POST") return answer(e, 405, {{"message", "Method not allowed"}});
        bool known = false;
        if (s->login == Login::Basic) {
            known = r.header("Authorization") == basicAuthorization(s->user + ":" + s->password);
        } else {
            const json body = json::parse(r.body, nullptr, false);
            known = r.header("Content-Type").starts_with("application/json") && body.is_object() &&
                    body.value("email", "") == s->user && body.value("password", "") == s->password;
        }
        if (!known) return answer(e, 401, {{"error", "invalid credentials"}});
        e.pause(delay);
        const std::lock_guard lock(s->mutex);
        s->current = "t" + std::to_string(++s->issued);
        s->issuedAt = Clock::now();
        answer(e, 200, {{"access_token", s->current}, {"expires_in", 86400}});
    });
    server.route("/links", [s, answer](Exchange& e) {
        const RecordedRequest& r = e.request();
        {
            const std::lock_guard lock(s->mutex);
            const bool fresh = !s->current.empty() && Clock::now() - s->issuedAt < s->lifetime;
            if (s->refuseAll || !fresh || r.header("Authorization") != "Bearer " + s->current) {
                ++s->refused;
                return answer(e, 401, {{"message", "Token expired or invalid"}});
            }
        }
        const json body = json::parse(r.body, nullptr, false);
        const std::string url = body.is_object() ? body.value("url", "") : "";
        if (r.method != "POST" || !url.starts_with("http"))
            return answer(e, 422, {{"message", "url is required"}});
        // Refused addresses get the service's "error" status in a 200, as BL.INK's sites do.
        if (url.find("bad") != std::string::npos)
            return answer(e, 200, {{"status", "error"}, {"message", "url is blocked"}});
        answer(e, 200,
               {{"status", "ok"}, {"short_link", "https://bl.test/" + url.substr(url.size() - 1)}});
    });
}

void TokenService::setLifetime(std::chrono::milliseconds lifetime) {
    const std::lock_guard lock(state_->mutex);
    state_->lifetime = lifetime;
}

void TokenService::setLoginDelay(std::chrono::milliseconds delay) {
    const std::lock_guard lock(state_->mutex);
    state_->delay = delay;
}

void TokenService::setDown(bool down) {
    const std::lock_guard lock(state_->mutex);
    state_->down = down;
}

void TokenService::expireAll() {
    const std::lock_guard lock(state_->mutex);
    state_->current.clear();
}

void TokenService::refuseAll() {
    const std::lock_guard lock(state_->mutex);
    state_->refuseAll = true;
}

int TokenService::tokensIssued() const {
    const std::lock_guard lock(state_->mutex);
    return state_->issued;
}

int TokenService::refusals() const {
    const std::lock_guard lock(state_->mutex);
    return state_->refused;
}

}  // namespace lianshuo::test
