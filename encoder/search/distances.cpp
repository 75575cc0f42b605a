#include "encoder/search/distances.h"

#include <array>
#include <vector>

namespace brenvik {

namespace {

// A candidate unpacked into its two colours on the 0..255 scale.
struct CandidateColours {
    int first[3];
    int second[3];
};

std::vector<CandidateColours> unpack_candidates(const RunContext& ctx,
                                                const CandidateLists& lists) {
    const int whole_line_slot = ctx.layout.whole_line_slot();
    const int n = lists.count[whole_line_slot];
    const int step = ctx.picture.level_step;
    std::vector<CandidateColours> out(static_cast<std::size_t>(n) + 1,
                                      CandidateColours{{0, 0, 0}, {0, 0, 0}});
    for (int c = 1; c <= n; ++c) {
        const int packed = lists.colours[whole_line_slot][c];
        CandidateColours& u = out[c];
        u.first[0] = ((packed >> 8) & 15) * step;
        u.first[1] = ((packed >> 4) & 15) * step;
        u.first[2] = (packed & 15) * step;
        u.second[0] = ((packed >> 20) & 15) * step;
        u.second[1] = ((packed >> 16) & 15) * step;
        u.second[2] = ((packed >> 12) & 15) * step;
    }
    return out;
}

// Sizes the table for the block: a row for every candidate some optimised
// slot can draw (the search looks no other one up) and row 0 for candidate
// id 0, the sentinel.
void size_distance_table(const RunContext& ctx, const BlockLines& lines,
                         const CandidateLists& lists, int n, DistanceTable& table) {
    const ScreenLayout& layout = ctx.layout;
    table.row_of.assign(static_cast<std::size_t>(n) + 1, -1);
    table.row_of[0] = 0;
    int rows = 1;
    for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
        const std::vector<int>& ids = lists.ids[k];
        for (int i = 1; i <= lists.count[k]; ++i) {
            int& row = table.row_of[ids[i]];
            if (row < 0) row = rows++;
        }
    }
    table.candidates = rows;
    table.columns = layout.width + 1;
    const std::size_t row_size = static_cast<std::size_t>(table.candidates) * table.columns;
    table.values.resize(row_size * static_cast<std::size_t>(lines.row_count) + kBatchSlack);
    for (int row = 0; row < lines.row_count; ++row) {
        std::int32_t* zero = &table.values[row * row_size];
        std::fill(zero, zero + table.columns, kNoCandidateDistance);
    }
}

// The table row of candidate c on block row `row`, or null when no slot can
// draw the candidate.
std::int32_t* table_row(DistanceTable& table, int row, int candidate) {
    const int table_row = table.row_of[candidate];
    if (table_row < 0) return nullptr;
    return &table.values[(static_cast<std::size_t>(row) * table.candidates +
                          static_cast<std::size_t>(table_row)) *
                         table.columns];
}

// Distances of one candidate to the columns 1..width of one row. Built for AVX2
// as well where the processor has it (integer arithmetic: same results).
// Windows executables have no run-time selection of clones (no ifunc), so
// they use the default build.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(_WIN32)
[[gnu::target_clones("avx2", "default")]]
#endif
void candidate_distance_row(const CandidateColours& u, const int* __restrict target0, const int* __restrict target1,
                   const int* __restrict target2, const int* __restrict target3, const int* __restrict target4,
                   const int* __restrict target5, const int* __restrict quartered_when,
                   std::int32_t* __restrict out, int width) {
    for (int x = 1; x <= width; ++x) {
        const int d_first_r = u.first[0] - target0[x], d_first_g = u.first[1] - target1[x],
                  d_first_b = u.first[2] - target2[x];
        const int d_second_r = u.second[0] - target3[x], d_second_g = u.second[1] - target4[x],
                  d_second_b = u.second[2] - target5[x];
        const int D = 3 * d_first_r * d_first_r + 6 * d_first_g * d_first_g +
                      d_first_b * d_first_b + 3 * d_second_r * d_second_r +
                      6 * d_second_g * d_second_g + d_second_b * d_second_b;
        const int S = (d_second_r + d_second_g + d_second_b) - (d_first_r + d_first_g + d_first_b);
        const int positive = S > 0 ? 1 : 0;
        out[x] = D >> (2 * (positive == quartered_when[x] ? 1 : 0));
    }
}

// Fills every block row with D = E(dL) + E(dH); with `split_phases` the
// value stored for a pixel is the one of its own dither phase (one of the two
// phases is quartered, by the sign of S), unless the distance is plain.
//
// Why the plain distance: S is the candidate's summed error against the
// second colours minus that against the first, so without a companion
// picture (second colours black) it is the pixel's channel sum minus the
// candidate's. Phase 0 then quarters every candidate darker than the pixel,
// phase 1 every other one. Without dithering every pixel is in phase 0 and
// the whole search leans to darker colours (bands in skies and skin); with
// scanline or checkerboard phases alternate pixels lean darker and lighter.
// The plain distance stores D in both phases and measures the colours as
// they are.
void fill_single_colour_distances(const RunContext& ctx, const BlockLines& lines,
                                  const CandidateLists& lists, bool split_phases,
                                  DistanceTable& table) {
    const auto candidates = unpack_candidates(ctx, lists);
    const int n = static_cast<int>(candidates.size()) - 1;
    size_distance_table(ctx, lines, lists, n, table);
    const int width = ctx.layout.width;
    const RunSettings& s = ctx.settings;
    // The row's targets as plain arrays, so the loop over the columns can be
    // vectorised.
    std::vector<int> p[6];
    for (auto& channel : p) channel.assign(static_cast<std::size_t>(width) + 1, 0);
    // Per column: the sign of S (1: S > 0, 0: S <= 0) for which the pixel's
    // own phase holds the quartered distance, or -1 when none is quartered.
    std::vector<int> quartered_when(static_cast<std::size_t>(width) + 1, -1);
    for (int row = 0; row < lines.row_count; ++row) {
        const int y = lines.line_of_row(row);
        for (int x = 1; x <= width; ++x) {
            const auto& t = ctx.picture.target_colours.at(x, y);
            for (int c = 0; c < 6; ++c) p[c][x] = t[c + 1];
            if (split_phases && s.dither_mode != 1 && !s.plain_distance) {
                // Phase 0 is quartered when S > 0, phase 1 when S <= 0.
                quartered_when[x] = dither_phase(s, x, y) == 0 ? 1 : 0;
            }
        }
        for (int c = 1; c <= n; ++c) {
            std::int32_t* out = table_row(table, row, c);
            if (out == nullptr) continue;
            candidate_distance_row(candidates[c], p[0].data(), p[1].data(), p[2].data(),
                                   p[3].data(), p[4].data(), p[5].data(), quartered_when.data(),
                                   out, width);
        }
    }
}

}  // namespace

void fill_distances_one_palette(const RunContext& ctx, const BlockLines& lines,
                                const CandidateLists& lists, DistanceTable& table) {
    fill_single_colour_distances(ctx, lines, lists, true, table);
}

void fill_distances_two_bitmaps(const RunContext& ctx, const BlockLines& lines,
                                const CandidateLists& lists, DistanceTable& table) {
    // Two bitmaps: the pair distance goes to both phases of every block row.
    fill_single_colour_distances(ctx, lines, lists, false, table);
}

namespace {

// How a two-palette pair distance is divided for a pixel's own phase.
enum Divide : int { kKeep = 0, kThird = 1, kQuarter = 2 };

// Two-palette distances of one candidate to the columns 1..width of one row:
// the mix term (the pair's two colours added against the pixel's two added),
// then the colour terms, in full (`colour_terms` 2), in fifths (1) or not at all (0).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(_WIN32)
[[gnu::target_clones("avx2", "default")]]
#endif
void pair_distance_row(const CandidateColours& u, const int* __restrict target0, const int* __restrict target1,
              const int* __restrict target2, const int* __restrict target3, const int* __restrict target4,
              const int* __restrict target5, const int* __restrict divide, int mix, int colour_terms,
              std::int32_t* __restrict out, int width) {
    for (int x = 1; x <= width; ++x) {
        const int d_first_r = u.first[0] - target0[x], d_first_g = u.first[1] - target1[x],
                  d_first_b = u.first[2] - target2[x];
        const int d_second_r = u.second[0] - target3[x], d_second_g = u.second[1] - target4[x],
                  d_second_b = u.second[2] - target5[x];
        const int first_error = weighted_distance(d_first_r, d_first_g, d_first_b);
        const int second_error = weighted_distance(d_second_r, d_second_g, d_second_b);
        int pair_distance = mix * weighted_distance(d_first_r + d_second_r, d_first_g + d_second_g,
                                                    d_first_b + d_second_b);
        pair_distance += colour_terms == 2
                             ? first_error + second_error
                             : (colour_terms == 1 ? first_error / 5 + second_error / 5 : 0);
        const int third = pair_distance / 3;
        const int quarter = pair_distance >> 2;
        out[x] = divide[x] == kThird ? third : (divide[x] == kQuarter ? quarter : pair_distance);
    }
}

}  // namespace

void fill_distances_two_palettes(const RunContext& ctx, const BlockLines& lines,
                                 const CandidateLists& lists, Random& rng, DistanceTable& table) {
    const auto candidates = unpack_candidates(ctx, lists);
    const int n = static_cast<int>(candidates.size()) - 1;
    size_distance_table(ctx, lines, lists, n, table);
    const int width = ctx.layout.width;
    const RunSettings& s = ctx.settings;
    const int dither = s.dither_mode;
    const bool plain = s.plain_distance;
    const int has_companion = ctx.picture.has_companion;
    const int mix = has_companion == 0 ? 1 : 0;
    int colour_terms = 0;
    if (dither == 1 || (dither == 4 && has_companion == 1)) {
        colour_terms = 2;
    } else if (dither == 0 || dither == 2 || dither == 3 || dither == 5) {
        colour_terms = 1;
    }
    const std::size_t columns = static_cast<std::size_t>(width) + 1;
    std::vector<int> p[6];
    for (auto& channel : p) channel.assign(columns, 0);
    std::vector<int> phase(columns, 0);
    std::vector<int> divide(columns, kKeep);
    // Dithering 0 draws one number per (column, candidate), columns first.
    std::vector<std::uint8_t> odd_draw(
        dither == 0 && !plain ? columns * (static_cast<std::size_t>(n) + 1) : 0);

    for (int row = 0; row < lines.row_count; ++row) {
        const int y = lines.line_of_row(row);
        for (int x = 1; x <= width; ++x) {
            const auto& t = ctx.picture.target_colours.at(x, y);
            for (int c = 0; c < 6; ++c) p[c][x] = t[c + 1];
            phase[x] = dither_phase(s, x, y);
        }
        if (dither == 0 && !plain) {
            for (int x = 1; x <= width; ++x) {
                for (int c = 1; c <= n; ++c) {
                    odd_draw[static_cast<std::size_t>(c) * columns + x] =
                        static_cast<std::uint8_t>(rng.next() % 2);
                }
            }
        }
        for (int c = 1; c <= n; ++c) {
            std::int32_t* out = table_row(table, row, c);
            if (out == nullptr) continue;
            const CandidateColours& u = candidates[c];
            if (plain) {
                // Every phase keeps the pair distance (divide stays kKeep).
            } else if (dither == 0) {
                // An even draw divides phase 1 by 3, an odd one phase 0.
                const std::uint8_t* odd = &odd_draw[static_cast<std::size_t>(c) * columns];
                for (int x = 1; x <= width; ++x) divide[x] = odd[x] != phase[x] ? kThird : kKeep;
            } else if (dither != 1) {
                // Phase 0 is quartered when the second colour is the brighter.
                const bool brighter = (u.second[0] + u.second[1] + u.second[2]) -
                                          (u.first[0] + u.first[1] + u.first[2]) >
                                      0;
                for (int x = 1; x <= width; ++x) {
                    divide[x] = brighter == (phase[x] == 0) ? kQuarter : kKeep;
                }
            }
            pair_distance_row(u, p[0].data(), p[1].data(), p[2].data(), p[3].data(), p[4].data(),
                              p[5].data(), divide.data(), mix, colour_terms, out, width);
        }
    }
}

}  // namespace brenvik
