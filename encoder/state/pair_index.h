// Index of packed colour pairs (24-bit values): pair -> the list index of its
// first entry. Open addressing with linear probing; clearing keeps the
// storage, so a block's lists are indexed without allocating.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace brenvik {

class PairIndex {
  public:
    void clear() {
        if (keys_.empty()) {
            keys_.assign(kInitialCapacity, kEmpty);
            values_.assign(kInitialCapacity, 0);
        } else {
            std::fill(keys_.begin(), keys_.end(), kEmpty);
        }
        size_ = 0;
    }

    // Index of the first entry of `pair`, 0 when there is none.
    int find(int pair) const {
        if (keys_.empty()) return 0;
        const std::size_t mask = keys_.size() - 1;
        for (std::size_t i = bucket_of(pair, mask);; i = (i + 1) & mask) {
            if (keys_[i] == pair) return values_[i];
            if (keys_[i] == kEmpty) return 0;
        }
    }

    // Records `index` for `pair` unless the pair is already there.
    void insert_first(int pair, int index) {
        if (keys_.empty()) clear();
        if (2 * (size_ + 1) > keys_.size()) grow();
        const std::size_t mask = keys_.size() - 1;
        for (std::size_t i = bucket_of(pair, mask);; i = (i + 1) & mask) {
            if (keys_[i] == pair) return;
            if (keys_[i] == kEmpty) {
                keys_[i] = pair;
                values_[i] = index;
                ++size_;
                return;
            }
        }
    }

  private:
    static constexpr int kEmpty = -1;
    static constexpr std::size_t kInitialCapacity = 1024;

    static std::size_t bucket_of(int pair, std::size_t mask) {
        return (static_cast<std::uint32_t>(pair) * 2654435761u >> 8) & mask;
    }

    void grow() {
        std::vector<int> keys(keys_.size() * 2, kEmpty);
        std::vector<int> values(keys.size(), 0);
        const std::size_t mask = keys.size() - 1;
        for (std::size_t j = 0; j < keys_.size(); ++j) {
            if (keys_[j] == kEmpty) continue;
            std::size_t i = bucket_of(keys_[j], mask);
            while (keys[i] != kEmpty) i = (i + 1) & mask;
            keys[i] = keys_[j];
            values[i] = values_[j];
        }
        keys_.swap(keys);
        values_.swap(values);
    }

    std::vector<int> keys_;
    std::vector<int> values_;
    std::size_t size_ = 0;
};

}  // namespace brenvik
