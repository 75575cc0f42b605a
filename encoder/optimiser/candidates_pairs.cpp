#include "encoder/optimiser/candidates.h"

namespace brenvik {

void build_candidate_lists_two_colour(const RunContext& ctx, BlockSearch& search) {
    (void)ctx;
    (void)search;
}

}  // namespace brenvik
