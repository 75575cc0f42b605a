// Distance kernels: the weighted distance of every pixel of a block to every
// candidate of the block's list, stored for the pixel's dither phase. The
// search then only looks distances up.
#pragma once

#include "encoder/colour/colour.h"
#include "encoder/state/block_search.h"
#include "encoder/state/state.h"

namespace brenvik {

// Distance given to candidate id 0 (a colour the block's list lacks): never
// better than the "no distance yet" start, so it can never win a pixel.
inline constexpr std::int32_t kNoCandidateDistance = 99999999;

// Dither phase of column x on line y.
inline int dither_phase(const RunSettings& s, int x, int y) {
    return (s.phase_per_line * y + s.phase_per_column * x) % 2;
}

// Each fills `table` for the block's lines from the block's list (the
// whole-line slot's), with a row for every candidate an optimised slot of
// `lists` can draw.
// One bitmap, one palette: each pixel's distance for its own dither phase.
void fill_distances_one_palette(const RunContext& ctx, const BlockLines& lines,
                                const CandidateLists& lists, DistanceTable& table);
// Two bitmaps, two palettes: the pair distance for both phases.
void fill_distances_two_bitmaps(const RunContext& ctx, const BlockLines& lines,
                                const CandidateLists& lists, DistanceTable& table);
// One bitmap, two palettes: pair distances; dithering 0 draws from `rng`.
void fill_distances_two_palettes(const RunContext& ctx, const BlockLines& lines,
                                 const CandidateLists& lists, Random& rng, DistanceTable& table);

}  // namespace brenvik
