// Distance kernels: the weighted distance of every pixel of a block to every
// candidate of the block's list, stored for the pixel's dither phase. The
// search then only looks distances up.
#pragma once

#include "encoder/colour/colour.h"
#include "encoder/state/state.h"

namespace brenvik {

// Distance given to candidate id 0 (a colour the block's list lacks): never
// better than the "no distance yet" start, so it can never win a pixel.
inline constexpr std::int32_t kNoCandidateDistance = 99999999;

// Dither phase of column x on line y.
inline int dither_phase(const RunSettings& s, int x, int y) {
    return (s.phase_per_line * y + s.phase_per_column * x) % 2;
}

void fill_distances_one_palette(const RunContext& ctx, BlockSearch& search);
void fill_distances_two_palettes(const RunContext& ctx, BlockSearch& search);
void fill_distances_two_bitmaps(const RunContext& ctx, BlockSearch& search);

}  // namespace brenvik
