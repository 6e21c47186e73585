#pragma once
// The tokens the token requests of a run obtained, held in memory only and
// shared by its request slots: one slot asks while the others wait for its
// answer, and a failure stands for the rest of the run, so a service that
// refuses the log-in is not asked again for every address.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "services/conversionoutcome.h"
#include "services/shorturlinterface.h"
#include "services/tokenrequest.h"

namespace lianshuo {

class TokenKeeper {
public:
    /// Token requests that may pass on a second try are tried again as `retry` says.
    explicit TokenKeeper(TokenRetry retry = {}) : retry_(retry) {}

    struct Held {
        std::string token;
        std::uint64_t serial = 0;   // which token this is, for expire()
        ConversionOutcome failure;  // kind TokenRequest or Stopped when there is none
    };

    /// The token of `definition`'s token request: the one held while it is
    /// younger than "令牌有效秒", else a new one. Safe on any thread; a set
    /// `stop` ends the wait for another slot's request.
    Held token(const ShortUrlInterface& definition, const std::atomic<bool>* stop);

    /// Forgets the token `serial` after the service refused it, unless a newer one is held.
    void expire(const ShortUrlInterface& definition, std::uint64_t serial);

private:
    struct Entry {
        bool asking = false;
        std::optional<std::string> token;
        std::uint64_t serial = 0;
        std::chrono::steady_clock::time_point obtained;
        ConversionOutcome failure;
    };

    TokenRetry retry_;
    std::mutex mutex_;
    std::condition_variable answered_;
    std::map<std::string, Entry> entries_;  // by everything the token request is made of
    std::uint64_t lastSerial_ = 0;
};

}  // namespace lianshuo
