// The state of one block's search, split by the stage that owns it. A worker
// keeps one BlockSearch from block to block only so that a block allocates
// (almost) nothing: every part is rebuilt by its owner for every block, so a
// block's result depends only on the picture and the settings.
//
//   BlockLines      the block's lines (the optimiser, per block)
//   BlockLog        trace text and counters, written by every stage in turn
//   CandidateLists  written by the candidate lists, read by the later stages
//   DistanceTable   written by the distance kernels, read by the search
//   BlockSolution   the random start and the block's slot records (optimiser)
//   AnnealingState  the annealing's working structures (annealing only)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "encoder/state/counters.h"
#include "encoder/state/pair_index.h"
#include "encoder/state/state.h"
#include "encoder/state/text_sink.h"

namespace brenvik {

// Ints allocated past the end of the search's per-column arrays, so vector
// code may read and write back a whole batch of columns past a row's end.
inline constexpr std::size_t kBatchSlack = 8;

// The lines of one block: block row r is line first_line + r.
struct BlockLines {
    int centre_line = 0;
    int first_line = 0;
    int row_count = 1;

    static BlockLines centred_on(int centre, const BlockGeometry& geometry) {
        return {centre, centre + geometry.first_row_offset, geometry.row_count()};
    }
    int line_of_row(int row) const { return first_line + row; }
};

// What a block's stages leave besides their results: the trace text, printed
// in block order, and the counters and timers, summed in block order.
struct BlockLog {
    TextSink trace;
    SearchCounters counters;
};

// Candidate lists of one block, 1-based (entry 0 unused), for slots
// 0..whole_line_slot(): per slot the number of entries, each entry's colour
// id and each entry's candidate id (its index in the whole-line slot's list,
// the block's list).
struct CandidateLists {
    std::vector<int> count;                 // [slot]
    std::vector<std::vector<int>> colours;  // [slot][entry]
    std::vector<std::vector<int>> ids;      // [slot][entry]
    // Candidate ids of slots 0 (black) and 1 (the most used colour), which
    // the two-colour lists look up; 0 in the one-colour modes.
    std::array<int, 2> fixed_slot_candidates{};

    // The builders' indexes, kept from block to block so that a block clears
    // only what the previous one set.
    // One-colour lists: per 12-bit colour, the index of its latest entry in
    // the whole-line slot's list, and the number of the last list the colour
    // was put in.
    std::vector<int> whole_line_entry;
    std::vector<std::uint16_t> colour_list_marks;
    std::uint16_t last_list_mark = 0;
    // Two-colour lists: per slot, the index of every packed pair's first
    // entry in that slot's list.
    std::vector<PairIndex> first_pair_entry;
};

// Distances of every pixel of the block to every candidate an optimised
// slot can draw, for the pixel's own dither phase: candidate c's on block
// row r at [(r * candidates + row_of[c]) * columns + column] (row_of[c] is
// -1 for a candidate no slot draws; row 0 holds candidate id 0, the
// sentinel).
struct DistanceTable {
    std::vector<std::int32_t> values;
    std::vector<int> row_of;  // [candidate id]
    int candidates = 0;       // rows of a block row's table
    int columns = 0;          // width + 1

    const std::int32_t* candidate_row(int row, int candidate) const {
        return &values[(static_cast<std::size_t>(row) * candidates +
                        static_cast<std::size_t>(row_of[candidate])) *
                       columns];
    }
    std::int32_t distance(int row, int column, int candidate) const {
        return candidate_row(row, candidate)[column];
    }
};

// The choice of every pixel of a block under one solution: the slot the
// pixel shows and its distance, per block row and column 0..width at
// [row * (width + 1) + column], with room for a batch of the search's
// vector code past the last row.
struct PixelChoices {
    std::vector<int> slot;
    std::vector<int> distance;

    // Every pixel at slot 0, distance 0.
    void reset(int rows, int width) {
        const std::size_t cells = static_cast<std::size_t>(rows) * (width + 1) + kBatchSlack;
        slot.assign(cells, 0);
        distance.assign(cells, 0);
    }
};

// The block's solution: every slot's record (colours and candidate id),
// [slot], as the writers take it, and the pixels' choice under the random
// start.
struct BlockSolution {
    std::vector<SlotColours> slot_colours;
    PixelChoices start_choices;
    std::vector<int> nearest;  // [column] the random start's nearest distance so far
};

// Where the annealing keeps its keys: the lane of every optimised slot
// (slots whose runs never share a column share one) and every slot's run of
// columns. They follow from the layout, so a worker works them out once.
struct SlotLanes {
    std::vector<int> lane_of_slot;  // [slot]
    int lane_count = 0;
    std::vector<int> run_first, run_last;  // [slot] the columns of its run
};

// The annealing's working structures (search/anneal.cpp).
struct AnnealingState {
    SlotLanes lanes;
    // Per block row, lane and column, the key (distance << 7) | slot of the
    // lane's slot visible there: [(row * lane_count + lane) * (width + 1) + column].
    std::vector<std::int32_t> lane_keys;
    std::vector<const std::int32_t*> other_lane_rows;  // see point_other_lanes
    std::vector<std::int32_t> nearest_key;             // [column] smallest key of a row
    // The working solution (the one being tried) and the committed one (the
    // last one accepted): per-pixel choices and candidate ids [slot].
    PixelChoices working, committed;
    std::vector<int> working_candidate, committed_candidate;
    std::vector<int> changed_slots;  // slots changed since the last commit
};

// What a worker keeps from block to block, one part per owner.
struct BlockSearch {
    CandidateLists lists;
    DistanceTable distances;
    BlockSolution solution;
    AnnealingState annealing;
};

}  // namespace brenvik
