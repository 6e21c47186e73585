#pragma once
// The `--json` form of a conversion: one object per line, UTF-8, so scripts
// never parse free text.

#include <string>
#include <string_view>

#include "services/conversionoutcome.h"

namespace lianshuo::cli {

/// {"long": …, "short": …} or {"long": …, "error": {"kind", "status", "message"}};
/// an address left as it is adds "skipped". `expanding`: the address given is
/// the short one ({"short": …, "long": …}).
std::string outcomeJson(std::string_view longUrlGbk, const ConversionOutcome& outcome,
                        bool expanding = false);

}  // namespace lianshuo::cli
