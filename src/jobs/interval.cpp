#include "jobs/interval.h"

#include <algorithm>
#include <cmath>

#include "store/controlstatestore.h"

namespace lianshuo {

long long pauseMilliseconds(std::string_view seconds, std::mt19937& random) {
    // A day at most, and no number at all counts as 0: an absurd interval must
    // neither overflow the bounds nor stall a run for ever.
    double s = ControlStateStore::parseNumber(seconds);
    s = std::isnan(s) ? 0 : std::clamp(s, 0.0, kLongestIntervalSeconds);
    const long long lo = std::max(0LL, static_cast<long long>(s * 1000));
    const long long hi = std::max(0LL, static_cast<long long>(s * 1100));
    if (hi <= lo) return lo;
    return std::uniform_int_distribution<long long>(lo, hi)(random);
}

}  // namespace lianshuo
