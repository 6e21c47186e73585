#pragma once
// The distinct addresses of a file, each with its place in the file's list.
// A rewrite looks up every address it passes; with thousands of distinct
// ones, a node per entry costs a cache miss or two a look-up. Open
// addressing over one flat array of hashes touches one slot and, on a
// match, the text itself.

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace lianshuo {

class AddressIndex {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    /// The place given to `text` when it was added, or npos.
    std::size_t find(std::string_view text) const {
        if (slots_.empty()) return npos;
        const std::uint32_t hash = hashOf(text);
        for (std::size_t at = hash & mask();; at = (at + 1) & mask()) {
            const Slot& slot = slots_[at];
            if (slot.entry == 0) return npos;
            if (slot.hash == hash && keys_[slot.entry - 1] == text) return slot.entry - 1;
        }
    }

    /// Adds `text`, which is not in the index yet, as place size(). The
    /// bytes stay where they are: they must outlive the index or its clear().
    void add(std::string_view text) {
        if ((keys_.size() + 1) * 2 > slots_.size()) grow();
        keys_.push_back(text);
        place({hashOf(text), static_cast<std::uint32_t>(keys_.size())});
    }

    std::size_t size() const { return keys_.size(); }

    void clear() {
        keys_.clear();
        // A huge file's table is not cleared again for every small file after it.
        if (slots_.size() > kKeptSlots)
            slots_ = {};
        else
            slots_.assign(slots_.size(), Slot{});
    }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t entry = 0;  // place + 1; 0: empty
    };
    static constexpr std::size_t kKeptSlots = 1 << 14;

    static std::uint32_t hashOf(std::string_view text) {
        const std::size_t full = std::hash<std::string_view>{}(text);
        return static_cast<std::uint32_t>(full ^ (full >> 32));
    }
    std::size_t mask() const { return slots_.size() - 1; }

    void place(Slot slot) {
        std::size_t at = slot.hash & mask();
        while (slots_[at].entry != 0) at = (at + 1) & mask();
        slots_[at] = slot;
    }

    void grow() {
        const std::vector<Slot> old = std::exchange(slots_, {});
        slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        for (const Slot& slot : old)
            if (slot.entry != 0) place(slot);
    }

    std::vector<Slot> slots_;  // a power of two long, at most half full
    std::vector<std::string_view> keys_;
};

}  // namespace lianshuo
