#pragma once
// A short address followed back to the long one it stands for.

#include <string_view>

#include "services/conversionoutcome.h"
#include "services/linkhop.h"
#include "services/shortaddresses.h"

namespace lianshuo {

/// The most redirects an expansion follows.
inline constexpr int kMostExpansionHops = 10;

/// Follows `shortUrl`'s redirects one hop at a time (requestLinkHop, with `options`): the
/// long address, as the outcome's shortUrl, is the first Location whose host
/// is neither `shortUrl`'s own nor one `known` holds for short. A loop, a
/// reply that is no redirect, a failed request or more than
/// kMostExpansionHops hops fail with the reason.
ConversionOutcome expandByRedirects(std::string_view shortUrl, const ShortAddressBook& known,
                                    const LinkHopOptions& options);

}  // namespace lianshuo
