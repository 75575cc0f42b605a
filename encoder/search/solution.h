// Turning a block's solution into slot colours and storing it for the
// writers.
#pragma once

#include "encoder/state/state.h"

namespace brenvik {

// Sets ints 1..6 of every optimised slot's record from its candidate id
// (int 12): the packed colours' levels times the level step. Id 0 is black.
void decode_slot_colours(const RunContext& ctx, BlockSearch& search);

// Stores the per-pixel choice (working_slot/12) of every block row and the
// slot records in every line of the block.
void store_block_solution(const RunContext& ctx, const BlockSearch& search, RunResults& results);

}  // namespace brenvik
