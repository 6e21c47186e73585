#pragma once
// The moments the history keeps (seconds since 1970, UTC) as people read and
// type them: local time, "YYYY-MM-DD HH:MM:SS".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lianshuo {

/// The local time of `seconds` as "YYYY-MM-DD HH:MM:SS".
std::string formatHistoryTime(std::int64_t seconds);

/// "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" ("T" also
/// separates) in local time; nullopt for anything else, or a day that does not exist.
std::optional<std::int64_t> parseHistoryDate(std::string_view text);

}  // namespace lianshuo
