#pragma once
// A list of long addresses read as a run goes, for lists too long to hold
// (the command line's input): only the rows under way are kept.

#include <functional>
#include <optional>
#include <string>

namespace lianshuo {

/// One entry of a list read as the run goes.
struct ListedAddress {
    std::string address;
    // GBK; when set, the entry is no address (too large, or no web address at all): its row
    // fails with it and nothing is sent.
    std::string refusal;
};

/// The next entry of a list read as the run goes; nullopt at its end.
using AddressSource = std::function<std::optional<ListedAddress>()>;

}  // namespace lianshuo
