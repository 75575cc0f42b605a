// Local exploration: simulated annealing over single-slot colour changes,
// starting from the block's recorded solution (its random start).
#pragma once

#include <vector>

#include "encoder/state/block_search.h"
#include "encoder/state/state.h"

namespace brenvik {

// The search makes one random start per block (the traces count them).
inline constexpr int kRandomStarts = 1;
// What the summary reports of a block's annealing (nbiteration_moindrescarres=):
// whether it improved on the random start.
inline constexpr int kAnnealingImproved = 2 * kRandomStarts;
inline constexpr int kAnnealingNotImproved = 3;

// What the annealing reads of its block.
struct AnnealingInputs {
    const RunContext& ctx;
    const BlockLines& lines;
    const CandidateLists& lists;
    const DistanceTable& distances;
};

struct AnnealingOutcome {
    long long best_total_distance = 0;  // the best found, or the start's
    // Whether the annealing improved on the start; if so, the block's result
    // is the solution it ended on, of total distance total_distance.
    bool improved = false;
    long long total_distance = 0;
};

// Anneals from the candidate ids of `slot_colours`, the block's recorded
// solution, of total distance `best_total_distance`. When it improves on
// it, the solution it ends on becomes the block's: its records in
// `slot_colours` and, for the block's lines, in `results`.
AnnealingOutcome anneal_block(const AnnealingInputs& in, long long best_total_distance,
                              std::vector<SlotColours>& slot_colours, AnnealingState& state,
                              Random& rng, BlockLog& log, RunResults& results);

}  // namespace brenvik
