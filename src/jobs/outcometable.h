#pragma once
// The outcomes of a run, one per distinct address, so that a repeat reuses
// its outcome. Kept small: a list of a million distinct addresses must cost a
// few times its own size, not hundreds of bytes an address. An address is
// known by its 128-bit SipHash under a key drawn for each table (nobody can
// make two addresses share one), and its outcome is packed into chunks.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/siphash.h"
#include "services/conversionoutcome.h"

namespace lianshuo {

class OutcomeTable {
public:
    OutcomeTable();

    /// The outcome kept for `address`, if any.
    std::optional<ConversionOutcome> find(std::string_view address) const;
    /// Keeps `outcome` for `address`; an address already kept keeps its first.
    void insert(std::string_view address, const ConversionOutcome& outcome);
    void clear();

private:
    using Key = std::array<std::uint64_t, 2>;
    struct KeyHash {
        std::size_t operator()(const Key& key) const noexcept { return key[0]; }
    };
    Key keyOf(std::string_view address) const;

    SipKey key_;

    std::unordered_map<Key, std::uint64_t, KeyHash> places_;  // chunk << 32 | offset
    std::vector<std::string> chunks_;
};

}  // namespace lianshuo
