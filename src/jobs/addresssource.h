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
    std::string
        refusal;  // GBK; when set, the entry is too large to be an address: its row fails with it
};

/// The next entry of a list read as the run goes; nullopt at its end.
using AddressSource = std::function<std::optional<ListedAddress>()>;

}  // namespace lianshuo
