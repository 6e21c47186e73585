#pragma once
// One step along a short address: a bare request whose redirect is read, not followed. The
// checks of stored and new short addresses and their expansion walk with it.

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "services/conversionoutcome.h"

namespace lianshuo {

struct LinkHopOptions {
    const std::atomic<bool>* stop = nullptr;  // a set flag aborts the request and a retry wait
    int retries = 2;           // further tries after a time-out, a reset or 429/502/503/504
    long firstDelayMs = 1000;  // then twice that, or what Retry-After asks (at most 60 s)
    std::function<void()>* whileWaiting = nullptr;  // run once while the first reply is awaited
};

struct LinkHop {
    long status = 0;       // the reply's status; 0 when no reply came
    std::string location;  // its Location resolved against the address; empty without one
    // Why no reply came (Request, or Stopped), with the transport's reason; ok() with a reply.
    ConversionOutcome failure;

    bool replied() const { return failure.ok(); }
    bool redirected() const {
        return (status == 301 || status == 302 || status == 303 || status == 307 ||
                status == 308) &&
               !location.empty();
    }
};

/// Requests `address` with HEAD, or with GET (reading at most 64 KiB of the body) when HEAD is
/// answered 405 or 501, sending no cookie, credential, header line of the caller or body.
/// A reply with a retryable status after the last try is returned as that reply.
LinkHop requestLinkHop(std::string_view address, const LinkHopOptions& options = {});

/// `reference` (a Location) resolved against the absolute http(s) address `base`.
std::string resolveReference(std::string_view base, std::string_view reference);

}  // namespace lianshuo
