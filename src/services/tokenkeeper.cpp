#include "services/tokenkeeper.h"

namespace lianshuo {
namespace {

// Two interfaces share a token only when their token requests are the same request.
std::string requestIdentity(const ShortUrlInterface& d) {
    std::string identity;
    for (const std::string* field : {&d.tokenUrl, &d.tokenMethod, &d.tokenHeaders, &d.tokenBody,
                                     &d.tokenPath, &d.token, &d.username, &d.password}) {
        identity += std::to_string(field->size()) + ":" + *field;
    }
    identity += std::to_string(static_cast<int>(d.tokenBodyFormat)) + "," +
                std::to_string(d.tokenLifetimeSeconds) + (d.utf8Encoding ? ",u" : ",g");
    return identity;
}

}  // namespace

TokenKeeper::Held TokenKeeper::token(const ShortUrlInterface& d, const std::atomic<bool>* stop) {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    Entry& entry = entries_[requestIdentity(d)];
    const auto fresh = [&] {
        return entry.token &&
               (d.tokenLifetimeSeconds <= 0 ||
                Clock::now() - entry.obtained < std::chrono::seconds(d.tokenLifetimeSeconds));
    };
    while (true) {
        if (!entry.failure.ok()) return {{}, 0, entry.failure};
        if (fresh()) return {*entry.token, entry.serial, {}};
        if (!entry.asking) break;
        // Another slot is asking: its answer serves this conversion too.
        answered_.wait_for(lock, std::chrono::milliseconds(10));
        if (stop != nullptr && *stop)
            return {{}, 0, ConversionOutcome::failed(FailureKind::Stopped, {})};
    }
    entry.asking = true;
    entry.token.reset();
    lock.unlock();
    ObtainedToken obtained = obtainToken(d, retry_, stop);
    lock.lock();
    entry.asking = false;
    Held held;
    if (obtained.failure.ok()) {
        entry.token = obtained.token;
        entry.serial = ++lastSerial_;
        entry.obtained = Clock::now();
        held = {std::move(obtained.token), entry.serial, {}};
    } else {
        // A stopped request leaves the next conversion to ask again.
        if (obtained.failure.failure != FailureKind::Stopped) entry.failure = obtained.failure;
        held.failure = std::move(obtained.failure);
    }
    lock.unlock();
    answered_.notify_all();
    return held;
}

void TokenKeeper::expire(const ShortUrlInterface& d, std::uint64_t serial) {
    const std::lock_guard lock(mutex_);
    Entry& entry = entries_[requestIdentity(d)];
    if (entry.serial == serial && !entry.asking) entry.token.reset();
}

}  // namespace lianshuo
