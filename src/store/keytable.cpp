#include "store/keytable.h"

#include <algorithm>
#include <cmath>

#include "store/inicontent.h"

namespace lianshuo::keytable {

std::optional<double> inRange(double stored, const NumberRange& range) {
    double value = 0;
    if (range.wholeOnly) {
        if (!(stored == std::trunc(stored))) return std::nullopt;  // NaN too
        value = stored;
    } else if (stored > -1e9 && stored < 1e9) {
        // A stored number of any size, or none at all, must not overflow an int.
        value = std::trunc(stored);
    }
    if (value >= range.low && value <= range.high) return value;
    if (range.outside == Outside::Default) return std::nullopt;
    return std::clamp(value, range.low, range.high);
}

bool holdsValue(const ControlStateStore& store, std::string_view key) {
    const auto raw = ini::readRaw(store.content(), store.section(), key);
    return raw && !raw->empty();
}

}  // namespace lianshuo::keytable
