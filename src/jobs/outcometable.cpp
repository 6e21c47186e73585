#include "jobs/outcometable.h"

#include <cstring>

#include <chrono>

#include "base/platform.h"

namespace lianshuo {
namespace {

// Large enough that the chunks cost little, small enough that growing one
// never copies much.
constexpr std::size_t kChunkBytes = 1 << 20;

template <typename T>
void put(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

template <typename T>
T take(const char*& at) {
    T value;
    std::memcpy(&value, at, sizeof(T));
    at += sizeof(T);
    return value;
}

void putText(std::string& out, const std::string& text) {
    put(out, static_cast<std::uint32_t>(text.size()));
    out.append(text);
}

std::string takeText(const char*& at) {
    const auto size = take<std::uint32_t>(at);
    std::string text(at, size);
    at += size;
    return text;
}

}  // namespace

OutcomeTable::OutcomeTable() {
    if (const Result<std::string> random = platform::randomBytes(sizeof key_);
        random && random->size() == sizeof key_) {
        std::memcpy(&key_, random->data(), sizeof key_);
    } else {
        // Without the system's randomness the clock still keeps the key out of a page's reach.
        key_.k0 =
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        key_.k1 = reinterpret_cast<std::uintptr_t>(this) ^ 0x9e3779b97f4a7c15ULL;
    }
}

OutcomeTable::Key OutcomeTable::keyOf(std::string_view address) const {
    return sipHash128(key_, address);
}

std::optional<ConversionOutcome> OutcomeTable::find(std::string_view address) const {
    const auto place = places_.find(keyOf(address));
    if (place == places_.end()) return std::nullopt;
    const char* at = chunks_[place->second >> 32].data() + (place->second & 0xFFFFFFFFu);
    ConversionOutcome outcome;
    outcome.failure = static_cast<FailureKind>(take<std::uint8_t>(at));
    const auto flags = take<std::uint8_t>(at);
    outcome.retryable = (flags & 1) != 0;
    outcome.fromHistory = (flags & 2) != 0;
    outcome.status = take<long>(at);
    outcome.retryAfterSeconds = take<long>(at);
    outcome.shortUrl = takeText(at);
    outcome.message = takeText(at);
    return outcome;
}

void OutcomeTable::insert(std::string_view address, const ConversionOutcome& outcome) {
    const Key key = keyOf(address);
    if (places_.contains(key)) return;
    std::string packed;
    put(packed, static_cast<std::uint8_t>(outcome.failure));
    put(packed,
        static_cast<std::uint8_t>((outcome.retryable ? 1 : 0) | (outcome.fromHistory ? 2 : 0)));
    put(packed, outcome.status);
    put(packed, outcome.retryAfterSeconds);
    putText(packed, outcome.shortUrl);
    putText(packed, outcome.message);
    if (chunks_.empty() || chunks_.back().size() + packed.size() > chunks_.back().capacity()) {
        chunks_.emplace_back();
        chunks_.back().reserve(std::max(kChunkBytes, packed.size()));
    }
    places_.emplace(key, (static_cast<std::uint64_t>(chunks_.size() - 1) << 32) |
                             static_cast<std::uint64_t>(chunks_.back().size()));
    chunks_.back().append(packed);
}

void OutcomeTable::clear() {
    places_.clear();
    chunks_.clear();
}

}  // namespace lianshuo
