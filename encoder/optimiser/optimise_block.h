// The palette optimiser of one block of lines: candidate lists, distance
// table, a random start, then the local exploration.
#pragma once

#include <cstdint>

#include "encoder/search/anneal.h"
#include "encoder/state/block_search.h"
#include "encoder/state/state.h"

namespace brenvik {

// Every block's generator starts from this seed, so a block's result does not
// depend on the blocks searched before it.
inline constexpr std::uint32_t kBlockSeed = 2394;

// What a block leaves for the block loop to merge in block order.
struct BlockSummary {
    BlockLog log;
    long long best_total_distance = 0;
    int annealing_outcome = kAnnealingNotImproved;
};

// Optimises the block centred on line `centre` and stores its result in
// `results` (the block's lines only). `search` is the worker's state, which
// the block's stages rebuild.
BlockSummary optimise_block(const RunContext& ctx, int centre, BlockSearch& search,
                            RunResults& results);

}  // namespace brenvik
