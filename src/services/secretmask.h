#pragma once
// Secrets (an interface's token, the Baidu token, and any other credential an interface comes
// to hold) never appear in what the program prints or keeps of a request or a reply: verbose
// lines, failure reasons. Addresses themselves are never masked.

#include <bitset>
#include <string>
#include <string_view>
#include <vector>

#include "services/shorturlinterface.h"

namespace lianshuo {

/// What stands in for a secret.
inline constexpr std::string_view kMaskedSecret = "********";

class SecretMask {
public:
    SecretMask() = default;
    /// Masks each of `secrets` (GBK values; empty ones are ignored) as written, in UTF-8, and as
    /// a request carries it: percent-encoded (GBK or UTF-8, either case of hex digit) and as
    /// the contents of a JSON string.
    explicit SecretMask(const std::vector<std::string>& secrets);

    /// `text` with every form of every secret replaced by kMaskedSecret. A text cut short with
    /// "…" in the middle of a secret loses that part of it too.
    std::string apply(std::string_view text) const;
    bool empty() const { return forms_.empty(); }

private:
    std::vector<std::string> forms_;  // longest first
    std::bitset<256> starts_;         // the first bytes of the forms
};

/// The values of `definition` that are secret: its token and its credentials.
std::vector<std::string> interfaceSecrets(const ShortUrlInterface& definition);

}  // namespace lianshuo
