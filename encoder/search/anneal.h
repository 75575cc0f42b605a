// Local exploration: simulated annealing over single-slot colour changes,
// starting from the optimiser's recorded solution of the block.
#pragma once

#include "encoder/state/state.h"

namespace brenvik {

// Nearest visible slot of every pixel of every block row for the candidate
// ids in `ids` (per slot): the first visible slot starts and a later one
// replaces it only when strictly nearer. Columns that no optimiser slot
// covers get slot 0 at distance 0. Returns the total distance.
long long assign_nearest_slots(const RunContext& ctx, BlockSearch& search,
                               const std::vector<int>& ids);

void anneal_block(const RunContext& ctx, BlockSearch& search, RunResults& results);

}  // namespace brenvik
