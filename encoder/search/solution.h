// Turning a block's solution into slot colours and storing it for the
// writers.
#pragma once

#include <vector>

#include "encoder/state/block_search.h"
#include "encoder/state/state.h"

namespace brenvik {

// Sets ints 1..6 of every optimised slot's record from its candidate id
// (int 12): the colours of the block's list entry, levels times the level
// step. Id 0 is black.
void decode_slot_colours(const RunContext& ctx, const CandidateLists& lists,
                         std::vector<SlotColours>& slot_colours);

// Stores the per-pixel choice of every block row and the optimised slots'
// records in every line of the block.
void store_block_solution(const RunContext& ctx, const BlockLines& lines,
                          const std::vector<SlotColours>& slot_colours, const PixelChoices& choices,
                          RunResults& results);

}  // namespace brenvik
