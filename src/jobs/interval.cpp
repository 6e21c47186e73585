#include "jobs/interval.h"

#include <algorithm>

#include "store/controlstatestore.h"

namespace lianshuo {

long long pauseMilliseconds(std::string_view seconds, std::mt19937& random) {
    // A year at most: an absurd interval must not overflow the bounds.
    const double s = std::clamp(ControlStateStore::parseNumber(seconds), -3.2e7, 3.2e7);
    const long long lo = std::max(0LL, static_cast<long long>(s * 1000));
    const long long hi = std::max(0LL, static_cast<long long>(s * 1100));
    if (hi <= lo) return lo;
    return std::uniform_int_distribution<long long>(lo, hi)(random);
}

}  // namespace lianshuo
