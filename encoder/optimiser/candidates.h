// Candidate colours of every palette slot for one block of lines, and the
// block's candidate list (the whole-line slot), the union of them all.
#pragma once

#include <array>

#include "encoder/state/block_search.h"
#include "encoder/state/state.h"

namespace brenvik {

// Columns of slot s's range that the lists read: its first run, plus the two
// virtual columns width+1 (black) and width+2 (the most used colour) for
// the block's list; columns below 1 are skipped.
void list_columns(const ScreenLayout& layout, int slot, int& low, int& high);

// The 12-bit colours of the two nearest level triples (level1, then level2,
// each clamped to 0..15) of the source pixel of column x, line y.
std::array<int, 2> two_level_colours(const PictureTables& picture, int x, int y);

// Empties the candidate lists of every slot (1-based: entry 0 is a filler).
void reset_candidate_lists(CandidateLists& lists, int slots);

// The picture's most used colour as a packed 12-bit colour.
int most_used_colour(const PictureTables& picture);

// The colour a list takes from column x: black on the virtual column
// width+1, the most used colour on width+2, else pixel_colour().
template <typename PixelColour>
int list_column_colour(const ScreenLayout& layout, int x, int most_used, PixelColour pixel_colour) {
    if (x == layout.width + 1) return 0;
    if (x == layout.width + 2) return most_used;
    return pixel_colour();
}

// One-colour modes (one palette per line): the lists of the block's lines.
// `lists` holds the previous block's, whose indexes it reuses.
void build_one_colour_lists(const RunContext& ctx, const BlockLines& lines, CandidateLists& lists,
                            BlockLog& log);

// Two-colour mode (one bitmap, two palettes): lists of colour pairs.
void build_two_colour_lists(const RunContext& ctx, const BlockLines& lines, CandidateLists& lists,
                            BlockLog& log);

// The candidate lists of the block's lines, for the palette mode, and the
// table of their distances to the block's pixels (dithering 0 of the
// two-colour mode draws from `rng`).
void build_candidates(const RunContext& ctx, const BlockLines& lines, CandidateLists& lists,
                      DistanceTable& table, Random& rng, BlockLog& log);

}  // namespace brenvik
