#pragma once
// The request an interface makes for its token before it converts: a log-in
// or a token exchange at "令牌地址", whose JSON reply holds the token at
// "令牌提取". Its templates take the "令牌" key, the credentials and the time,
// never an address or an alias: it is made once for a whole run.

#include <atomic>
#include <string>
#include <vector>

#include "services/conversionoutcome.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

/// True when `definition` obtains its token with a request of its own.
inline bool hasTokenRequest(const ShortUrlInterface& definition) {
    return !definition.tokenUrl.empty();
}

/// The longest "令牌有效秒" (a year).
inline constexpr long kLongestTokenLifetime = 31536000;

/// The token request of `definition` as an interface of its own: its
/// address, method, headers, format and body, the same secrets and charset,
/// and JSON extraction at "令牌提取".
ShortUrlInterface tokenRequestInterface(const ShortUrlInterface& definition);

/// Adds to `problems` why the token request keys of `definition` could never
/// be sent, each naming its key; nothing for an interface without them.
void addTokenRequestProblems(const ShortUrlInterface& definition,
                             std::vector<std::string>& problems);

/// How often a token request that may pass on a second try is tried again:
/// `retries` more times, waiting firstDelayMs, then twice that (or what the
/// reply's Retry-After asks, at most 60 s).
struct TokenRetry {
    int retries = 0;
    long firstDelayMs = 1000;
};

/// A token, or why there is none: a failure of kind TokenRequest whose
/// message is the token request's own reason, or Stopped.
struct ObtainedToken {
    std::string token;
    ConversionOutcome failure;
};

/// Sends the token request of `definition` and reads the token from its
/// reply. The reason of a failure holds none of the interface's secrets.
ObtainedToken obtainToken(const ShortUrlInterface& definition, const TokenRetry& retry,
                          const std::atomic<bool>* stop);

}  // namespace lianshuo
