// The palette optimiser of one block of lines: candidate lists, distance
// table, a random initial solution, then the local exploration.
#pragma once

#include "encoder/state/state.h"

namespace brenvik {

// Optimises the block centred on line `centre` and stores its result in
// `results` (the block's lines only). The caller has seeded search.rng.
void optimise_block(const RunContext& ctx, int centre, BlockSearch& search, RunResults& results);

}  // namespace brenvik
