#include "support/fake_shortlinks.h"

#include <mutex>
#include <utility>
#include <vector>

namespace lianshuo::test {

struct FakeShortener::State {
    std::mutex mutex;
    std::vector<std::string> longUrls;  // the long address of "/s/N" at N
    std::vector<std::pair<std::string, Answer>> answers;
    std::chrono::milliseconds delay{0};
    std::string base;

    std::string shortUrlFor(const std::string& longUrl) {
        const std::lock_guard lock(mutex);
        std::size_t n = 0;
        while (n < longUrls.size() && longUrls[n] != longUrl) ++n;
        if (n == longUrls.size()) longUrls.push_back(longUrl);
        return base + "/s/" + std::to_string(n);
    }
};

namespace {

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

}  // namespace

FakeShortener::FakeShortener(TestServer& server, std::chrono::milliseconds delay)
    : server_(server), state_(std::make_shared<State>()) {
    state_->delay = delay;
    state_->base = server.url("");
    if (!state_->base.empty() && state_->base.back() == '/') state_->base.pop_back();
    const std::shared_ptr<State> state = state_;
    server.route("/short", [state](Exchange& e) {
        if (state->delay.count() > 0 && !e.pause(state->delay)) return;
        const std::string& target = e.request().target;
        const std::size_t at = target.find("u=");
        e.answer(200, state->shortUrlFor(percentDecoded(
                          at == std::string::npos ? "" : std::string_view(target).substr(at + 2))));
    });
    server.routeOthers([state](Exchange& e) {
        if (state->delay.count() > 0 && !e.pause(state->delay)) return;
        const std::string path = e.request().path;
        if (!path.starts_with("/s/")) {
            e.answer(404, "");
            return;
        }
        const bool next = path.ends_with("/next");
        const std::size_t n = std::stoul(path.substr(3));
        std::string longUrl;
        Answer answer = Answer::Right;
        {
            const std::lock_guard lock(state->mutex);
            if (n >= state->longUrls.size()) {
                e.answer(404, "");
                return;
            }
            longUrl = state->longUrls[n];
            for (const auto& [marker, given] : state->answers)
                if (longUrl.find(marker) != std::string::npos) answer = given;
        }
        const bool head = e.request().method == "HEAD";
        switch (next ? Answer::Right : answer) {
            case Answer::Right:
                e.answer(302, "", {"Location: " + longUrl});
                return;
            case Answer::Elsewhere:
                e.answer(302, "", {"Location: http://parked.test/landing"});
                return;
            case Answer::NotFound:
                e.answer(404, "no such link");
                return;
            case Answer::Gone:
                e.answer(410, "gone");
                return;
            case Answer::Page:
                e.answer(200, "<html><a href=\"" + longUrl + "\">continue</a></html>",
                         {"Content-Type: text/html"});
                return;
            case Answer::HeadRefused:
                if (head)
                    e.answer(405, "", {"Allow: GET"});
                else
                    e.answer(301, "", {"Location: " + longUrl});
                return;
            case Answer::Loop:
                e.answer(302, "", {"Location: " + path});
                return;
            case Answer::OwnHostHop:
                e.answer(302, "", {"Location: " + path + "/next"});
                return;
        }
    });
}

void FakeShortener::answer(const std::string& marker, Answer answer) {
    const std::lock_guard lock(state_->mutex);
    state_->answers.emplace_back(marker, answer);
}

std::string FakeShortener::interfaceAddress() const {
    return state_->base + "/short?u=";
}

std::string FakeShortener::shortUrlFor(const std::string& longUrl) {
    return state_->shortUrlFor(longUrl);
}

}  // namespace lianshuo::test
