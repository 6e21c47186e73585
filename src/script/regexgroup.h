#pragma once
// One value out of a text by a regular expression: what an interface's
// extraction and error expressions ask of a reply.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "script/regexbudget.h"

namespace lianshuo {

struct RegexGroupMatch {
    std::string error;     // the engine's reason when the pattern does not compile
    bool matched = false;  // the pattern matched and the chosen group took part
    std::string value;     // GBK
    RegexInterruption interruption = RegexInterruption::None;  // set: the text was not all read
};

/// The first match of `pattern` in `subject` (both GBK, case-sensitive, "."
/// not crossing lines unless the pattern says "(?s)"): its group named "url"
/// when the pattern has one, else its group 1 when it has groups, else the
/// whole match. The search ends unmatched when `budget` runs out or its stop is given.
RegexGroupMatch firstMatchGroup(std::string_view pattern, std::string_view subject,
                                const RegexBudget& budget = RegexBudget::lasting(kReplyRegexTime));

struct RegexGroupsMatch {
    std::string error;
    bool matched = false;
    // Every group of the first match, 0 the whole match; nullopt for one that took no part.
    std::vector<std::optional<std::string>> groups;  // GBK
    RegexInterruption interruption = RegexInterruption::None;
};

/// The first match of `pattern` in `subject` as firstMatchGroup finds it, with all its groups.
RegexGroupsMatch firstMatchGroups(std::string_view pattern, std::string_view subject,
                                  const RegexBudget& budget);

/// Which group firstMatchGroup takes from `pattern`: "url", "1" or "0" (the
/// whole match); empty when the pattern does not compile.
std::string chosenGroupName(std::string_view pattern);

/// Whether `pattern` compiles; the failure says why ("missing closing parenthesis at offset 3").
Status checkRegex(std::string_view pattern);

}  // namespace lianshuo
