#pragma once
// The randomised pause between two conversions, so a service is not hit in a burst.

#include <random>
#include <string_view>

namespace lianshuo {

/// The longest pause between two conversions: one day.
inline constexpr double kLongestIntervalSeconds = 86400;

/// A pause for the interval text `seconds` (its leading number; anything else
/// counts as 0): between s x 1000 and s x 1100 milliseconds, never negative,
/// with s at most a day.
long long pauseMilliseconds(std::string_view seconds, std::mt19937& random);

}  // namespace lianshuo
