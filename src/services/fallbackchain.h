#pragma once
// "备用接口": the saved interfaces a conversion moves on to when its own
// service is down, failing or over its limit, and which failures those are.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "services/conversionoutcome.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

/// The names of a "备用接口" text, "|" between them, trimmed, empty ones left out.
std::vector<std::string> fallbackNames(std::string_view list);

/// A saved interface by its name, with its secrets; fails when there is none.
using SavedInterfaceLookup = std::function<Result<ShortUrlInterface>(std::string_view name)>;

/// Fails, naming it, when a fallback of `definition` (or of one of its
/// fallbacks, and so on) is unknown to `saved` or leads back to an interface
/// already on the way ("A → B → A"). `definition` stands for the saved
/// interface of its own name.
Status checkFallbacks(const ShortUrlInterface& definition, const SavedInterfaceLookup& saved);

struct FallbackEntry {
    std::string name;
    // Or why the interface could not be had.
    Result<std::shared_ptr<const ShortUrlInterface>> definition;
};
using FallbackChain = std::vector<FallbackEntry>;

/// The fallbacks of `primary` in the order they are asked: each one's own
/// fallbacks right after it, every interface once, the primary never.
FallbackChain resolveFallbacks(const ShortUrlInterface& primary, const SavedInterfaceLookup& saved);

/// True for a failure on the service's side, which the next interface may not
/// share: no answer (look-up, connection, reset, TLS, time-out), a 5xx, a 429
/// (or a throttle rule that held), or a token the service would not give. A
/// refusal of the address itself (another 4xx, a success rule that failed,
/// nothing extracted, no web address) and a stop are not.
bool passesToFallback(const ConversionOutcome& outcome);

/// True when the outcome is the failure of the request that obtains the
/// interface's token, which says nothing about the address.
bool tokenRequestFailed(const ConversionOutcome& outcome);

}  // namespace lianshuo
