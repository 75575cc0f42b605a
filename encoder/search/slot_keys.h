// The annealing keeps, per block row and column, a key for every "lane":
// (distance << 7) | slot, the distance of the pixel to the colour of the
// lane's slot visible there. Slots whose runs never share a column share a
// lane (normally the slots of one colour register), so a column's keys are
// one int per lane and its nearest visible slot is the smallest key: the
// smallest distance, the lowest slot on ties, the same as a scan of the
// visible slots in ascending order that only replaces on a strictly smaller
// distance.
//
// Distances are below 2^22 (weighted sums of squared 8-bit differences, at
// most 10 * 510^2 + 2 * 10 * 255^2); the only larger value is
// kNoCandidateDistance, which the keys clamp to kKeyDistanceLimit and give
// back unchanged.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

#include "encoder/search/distances.h"

namespace brenvik {

inline constexpr int kSlotBits = 7;                               // slots 0..127
inline constexpr std::int32_t kKeyDistanceLimit = (1 << 24) - 1;  // distance bits: 24
inline constexpr std::int32_t kNoSlotKey =
    std::numeric_limits<std::int32_t>::max();  // a lane without a slot at the column
inline constexpr std::int32_t kLargestDistance = 10 * 510 * 510 + 2 * 10 * 255 * 255;
static_assert(kLargestDistance < kKeyDistanceLimit);
static_assert(kNoCandidateDistance >= kKeyDistanceLimit);

inline std::int32_t slot_key(std::int32_t distance, int slot) {
    return (std::min(distance, kKeyDistanceLimit) << kSlotBits) | slot;
}
inline int key_slot(std::int32_t key) {
    return key & ((1 << kSlotBits) - 1);
}
inline std::int32_t key_distance(std::int32_t key) {
    const std::int32_t distance = key >> kSlotBits;
    return distance == kKeyDistanceLimit ? kNoCandidateDistance : distance;
}

}  // namespace brenvik
