#pragma once
// What a run does with the addresses it meets: shorten them (leaving those
// that are short already), expand short ones back into their long
// addresses, or move the short addresses of a retired service to the chosen
// one. A plan is made once per run and shared, unchanged, by its slots.

#include <string>
#include <string_view>
#include <vector>

#include "services/shortaddresses.h"

namespace lianshuo {

enum class RunKind { Shorten, Expand, Migrate };

/// A run's choices, as the window or the command line give them.
struct ShortAddressRules {
    RunKind kind = RunKind::Shorten;
    bool shortenShort = false;             // shortening converts known short addresses too
    std::vector<std::string> hosts;        // more short-link hosts (host or host:port)
    std::vector<std::string> migrateFrom;  // migrating: the retired service's hosts
};

struct RunPlan {
    ShortAddressRules rules;
    ShortAddressBook known;    // the short addresses this run knows
    ShortAddressBook retired;  // migrating: the addresses that move

    /// Whether a file run takes `address` at all: every one when shortening,
    /// a known short one when expanding, one on a retired host when migrating.
    bool takes(std::string_view address) const {
        switch (rules.kind) {
            case RunKind::Shorten:
                return true;
            case RunKind::Expand:
                return known.isKnown(address);
            case RunKind::Migrate:
                return retired.onHost(address);
        }
        return true;
    }
    /// A shortening run leaves `address` as it is.
    bool leaves(std::string_view address) const {
        return rules.kind == RunKind::Shorten && !rules.shortenShort && known.isKnown(address);
    }
};

}  // namespace lianshuo
