#pragma once
// A short-link service whose short addresses redirect, as real ones do: "/short?u=LONG" answers
// the short address "http://127.0.0.1:PORT/s/N", and a request for that address is answered as
// the long address asks (by default a 302 to it). What a long address asks may change while
// the service runs: a link that worked can start to answer 404.

#include <chrono>
#include <memory>
#include <string>

#include "support/test_server.h"

namespace lianshuo::test {

class FakeShortener {
public:
    enum class Answer {
        Right,        // 302 to the long address
        Elsewhere,    // 302 to http://parked.test/landing
        NotFound,     // 404
        Gone,         // 410
        Page,         // 200 with a page ("continue to …"), no redirect
        HeadRefused,  // 405 to HEAD, a 301 to the long address to GET
        Loop,         // 302 to itself
        OwnHostHop,   // 302 to /s/N/next on its own host, which sends a 302 to the long address
    };

    /// Serves on `server` ("/short" and "/s/…"); each answer waits `delay` first.
    explicit FakeShortener(TestServer& server,
                           std::chrono::milliseconds delay = std::chrono::milliseconds(0));

    /// Every long address holding `marker` is answered so from now on, its stored links too.
    void answer(const std::string& marker, Answer answer);
    /// "http://127.0.0.1:PORT/short?u=": the interface address without its placeholder (this
    /// library's literals are UTF-8, the program's GBK).
    std::string interfaceAddress() const;
    /// The short address the service gives `longUrl` (a new one if it has none yet).
    std::string shortUrlFor(const std::string& longUrl);

private:
    struct State;
    TestServer& server_;
    std::shared_ptr<State> state_;
};

}  // namespace lianshuo::test
