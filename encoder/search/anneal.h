// Local exploration: simulated annealing over single-slot colour changes,
// starting from the optimiser's recorded solution of the block.
#pragma once

#include "encoder/state/state.h"

namespace brenvik {

void anneal_block(const RunContext& ctx, BlockSearch& search, RunResults& results);

}  // namespace brenvik
