// The encoder's state, grouped by lifetime. Every stage reads and writes these
// structs, passed by reference; nothing is process-wide.
//
//   RunSettings    set by the front end, then read-only
//   ScreenLayout   built once from the screen mode, then read-only
//   PictureTables  filled by the conversion driver before the block loop
//   BlockSearch    one per worker, reset for every block of lines
//   RunResults     written block by block (disjoint lines), read by the writers
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "encoder/state/grid.h"
#include "encoder/state/pair_index.h"
#include "encoder/state/rng.h"
#include "encoder/state/text_sink.h"

namespace brenvik {

// One row of the screen-mode table.
struct ScreenMode {
    int layout_id = 0;       // which slot layout the mode uses (0..3)
    int palette_words = 0;   // palette words per palette record
    int excluded_words = 0;  // subtracted from palette_words when records are sized
    int width = 0;
    int height = 0;
};

// Block-of-lines geometry: a block with centre line c covers the lines
// c + first_row_offset .. c + last_row_offset; the first block is centred on
// first_centre_line and the next ones follow every block_height lines.
struct BlockGeometry {
    int block_height = 1;
    int first_row_offset = 0;
    int last_row_offset = 0;
    int first_centre_line = 1;
    int row_count() const { return last_row_offset - first_row_offset + 1; }
};

struct RunSettings {
    // From the command line.
    int quality = 3;  // quality digit q
    int dither_mode = 0;
    int diffusion_kernel = 1;
    int palette_mode = 1;  // 1, 2 or 3: see kOnePalette and the others below
    int write_previews = 0;
    int schedule_shift = 0;      // --shiftpixels= value minus 5
    int block_lines_option = 1;  // --blockoflines= value as given
    int verbose = 0;
    int seed = 42;
    int mode_row = 0;
    std::string fit;           // --fit= value ("pad", "crop", "stretch"); empty without it
    std::string gravity;       // --gravity= value; empty for the centre
    std::string input_name;    // input picture name as typed
    std::string program_name;  // invocation name

    // Derived from the quality digit and the dithering mode.
    int initial_move_budget = 0;
    int temperature_divisor = 0;
    double minimum_temperature = 0.0;
    double cooling_factor = 0.0;
    // Dither phase of column x on line y:
    // (phase_per_line * y + phase_per_column * x) % 2.
    int phase_per_line = 0;
    int phase_per_column = 0;
    int new_colour_distance = 0;

    BlockGeometry block_geometry;
    int picture_height = 0;

    // Worker threads for the block loop (0 = one per hardware thread). The
    // output does not depend on it.
    unsigned threads = 0;
    // Search with the portable code even where AVX2 is available (same output).
    bool portable_search = false;

    std::clock_t start_clock = 0;  // processor time at program start
};

// Values of RunSettings::palette_mode.
inline constexpr int kOnePalette = 1;             // one bitmap, one palette
inline constexpr int kTwoBitmapsTwoPalettes = 2;  // two bitmaps, two palettes
inline constexpr int kOneBitmapTwoPalettes = 3;   // one bitmap, two palettes

// Palette slots of the selected screen mode. Slot k belongs to hardware
// register slot_register[k]; slots first_optimised_slot..last_optimised_slot()
// are optimised and slot whole_line_slot() stands for the whole line.
struct ScreenLayout {
    ScreenMode mode;
    int width = 0;
    int optimised_slot_count = 0;
    int first_optimised_slot = 2;

    int last_optimised_slot() const { return optimised_slot_count + 1; }
    int whole_line_slot() const { return optimised_slot_count + 2; }
    int slot_count() const { return optimised_slot_count + 3; }  // slots 0..whole_line_slot()

    std::vector<int> slot_register;  // [slot]
    // Visibility, [column][slot] for columns 1..width; row width+1 holds
    // each slot's first column and row width+2 the length of its first run.
    std::vector<int> visibility;
    // Optimised slots visible at each column, ascending (no terminator).
    std::vector<std::vector<int>> visible_slots;
    // [slot] the columns to look at again when the slot's colour changes.
    std::vector<int> rescan_first_column;
    std::vector<int> rescan_last_column;

    int& visible(int column, int slot) {
        return visibility[static_cast<std::size_t>(column) * slot_count() + slot];
    }
    int visible(int column, int slot) const {
        return visibility[static_cast<std::size_t>(column) * slot_count() + slot];
    }
    int first_column(int slot) const { return visible(width + 1, slot); }
    int run_length(int slot) const { return visible(width + 2, slot); }
};

// A slot's colours: ints 1..3 the first colour, 4..6 the second colour
// (red, green, blue: level x level step), int 12 the candidate id.
using SlotColours = std::array<int, 13>;
inline constexpr std::size_t kFirstColour = 1;   // index of the first colour's red
inline constexpr std::size_t kSecondColour = 4;  // index of the second colour's red
inline constexpr std::size_t kCandidateId = 12;  // index of the candidate id

// Per-pixel working tables of the whole picture. Lines are numbered from 1;
// lines past the picture height (reached by the last block) stay black.
struct PictureTables {
    int width = 0;
    int height = 0;
    int allocated_lines = 0;  // lines 0..allocated_lines-1

    // Source colours, columns from 0: R, G, B of the first picture then of the
    // second. The error diffusion works on a copy.
    Grid<std::array<int, 6>> source_colours;
    // First picture's source channels before any pre-dithering, columns from 0
    // (two margin columns past the width read as black).
    Grid<std::array<std::uint16_t, 3>> undithered_source;
    // Target colours, columns from 1 (plus two black margin columns past the
    // width): elements 1..3 the first target, 4..6 the second.
    Grid<std::array<int, 7>> target_colours;
    // 12-bit colour id of every pixel, columns from 1.
    Grid<int> colour_ids;
    std::vector<int> colour_pixel_counts;  // [4096]
    std::vector<int> colour_line_counts;   // [4096] lines in which the colour occurs
    int dominant_colour = -1;
    int dominant_colour_pixels = 0;
    std::array<int, 10> dominant_levels{};  // levels R, G, B in 3, 6, 9

    double level_step_real = 17.0;
    int level_step = 17;
    // Levels of every channel value 0..255 for the current level step (see
    // set_level_step): nearest level clamped to 15, level of a target value,
    // and the two nearest levels clamped to 0..15.
    std::array<int, 256> rounded_level{};
    std::array<int, 256> target_level{};
    std::array<std::array<int, 2>, 256> two_levels{};
    int has_companion = 0;  // 1 when the second picture came from a companion file
};

// Run-time counters and timers, kept per block and summed in block order.
// An improvement is a move that gives a new best total distance; they are
// also counted by how many worse moves were accepted before them.
struct SearchCounters {
    long long improvements = 0;
    long long improvements_after_0_worse = 0;
    long long improvements_after_1_worse = 0;
    long long improvements_after_2_to_9_worse = 0;
    long long improvements_after_10_or_more_worse = 0;
    std::array<double, 12> stage_seconds{};  // [1..11], printed as timer1..timer11

    void add(const SearchCounters& other) {
        improvements += other.improvements;
        improvements_after_0_worse += other.improvements_after_0_worse;
        improvements_after_1_worse += other.improvements_after_1_worse;
        improvements_after_2_to_9_worse += other.improvements_after_2_to_9_worse;
        improvements_after_10_or_more_worse += other.improvements_after_10_or_more_worse;
        for (std::size_t i = 0; i < stage_seconds.size(); ++i) {
            stage_seconds[i] += other.stage_seconds[i];
        }
    }
};

// Ints allocated past the end of the search's per-column arrays, so vector
// code may read and write back a whole batch of columns past a row's end.
inline constexpr std::size_t kBatchSlack = 8;

// Search state of one block of lines. One instance per worker; everything is
// rebuilt at the start of each block, so a block's result depends only on the
// picture and the settings.
struct BlockSearch {
    Random rng;
    TextSink trace;
    SearchCounters counters;

    // Block geometry: centre line and the number of rows.
    int centre_line = 0;
    int row_count = 1;

    // Candidate lists, 1-based (entry 0 unused), for slots 0..whole_line_slot():
    // per slot the number of entries, each entry's colour id and each entry's
    // candidate id (its index in the whole-line slot's list, the block's list).
    std::vector<int> candidate_count;
    std::vector<std::vector<int>> candidate_colours;
    std::vector<std::vector<int>> candidate_ids;
    // One-colour lists: per 12-bit colour, the index of its latest entry in
    // the whole-line slot's list.
    std::vector<int> whole_line_entry;  // [colour]
    // Per 12-bit colour, the number of the last list it was put in.
    std::vector<std::uint16_t> colour_list_marks;
    std::uint16_t last_list_mark = 0;
    // Two-colour lists: per slot, the index of every packed pair's first
    // entry in that slot's list.
    std::vector<PairIndex> first_pair_entry;

    // Distances of every pixel of the block to every candidate an optimised
    // slot can draw, for the pixel's own dither phase: candidate c's on block
    // row r at [(r * table_candidates + table_row_of[c]) * (width + 1) + column]
    // (table_row_of[c] is -1 for a candidate no slot draws; row 0 holds
    // candidate id 0, the sentinel).
    std::vector<std::int32_t> distance_table;
    std::vector<int> table_row_of;  // [candidate id]
    int table_candidates = 0;       // rows of a block row's table
    int table_columns = 0;          // width + 1

    const std::int32_t* candidate_row(int row, int candidate) const {
        return &distance_table[(static_cast<std::size_t>(row) * table_candidates +
                                static_cast<std::size_t>(table_row_of[candidate])) *
                               table_columns];
    }
    std::int32_t distance(int row, int column, int candidate) const {
        return candidate_row(row, candidate)[column];
    }

    std::vector<SlotColours> slot_colours;  // [slot]

    // Per block row and column (0..width): [row * (width + 1) + column].
    std::vector<int> nearest_distance;                // at the random start
    std::vector<int> working_slot, working_distance;  // working solution
    std::vector<int> committed_slot,
        committed_distance;                // committed solution (set by the annealing)
    std::vector<int> working_candidate;    // [slot] working candidate ids
    std::vector<int> committed_candidate;  // [slot] committed candidate ids

    // Working structures of the annealing: the lane of every optimised slot
    // (slots whose runs never share a column share one) and, per block row,
    // lane and column, the key (distance << 7) | slot of the lane's slot
    // visible there: [(row * lane_count + lane) * (width + 1) + column].
    std::vector<int> lane_of_slot;
    int lane_count = 0;
    std::vector<std::int32_t> lane_keys;
    std::vector<const std::int32_t*> other_lane_rows;  // see point_other_lanes
    std::vector<std::int32_t> nearest_key;             // [column] smallest key of a row
    std::vector<int> run_first, run_last;              // [slot] the columns of its run
    std::vector<int> changed_slots;                    // slots changed since the last commit

    // Sums of weighted distances over the block's pixels.
    long long total_distance = 0;
    long long working_total_distance = 0;
    long long best_total_distance = 0;
    double start_total_distance = 0.0;  // for the trace only

    double cooling_factor = 0.0;
    double temperature_divisor = 0.0;
    int move_budget = 200;
    int move_budget_limit = 200;
    // 2 when the annealing improved on the random start, 3 when it did not.
    int annealing_outcome = 1;
    int pending_annealing_outcome = 0;
    int random_starts = 0;
    double start_to_best_ratio = 0.0;
};

// What the block loop leaves for the writers.
struct RunResults {
    int slot_count = 0;
    int line_count = 0;
    // [slot * line_count + line]
    std::vector<SlotColours> stored_slot_colours;
    // (slot, distance) per column 0..width and line.
    Grid<std::pair<int, int>> pixel_choice;

    double best_total_distance_sum = 0.0;
    int annealing_outcome = 1;
    SearchCounters counters;

    SlotColours& stored(int slot, int line) {
        return stored_slot_colours[static_cast<std::size_t>(slot) * line_count + line];
    }
    const SlotColours& stored(int slot, int line) const {
        return stored_slot_colours[static_cast<std::size_t>(slot) * line_count + line];
    }
};

// The read-only inputs of a block's search.
struct RunContext {
    const RunSettings& settings;
    const ScreenLayout& layout;
    const PictureTables& picture;
};

// The clock of the stage timers (timer1..timer11): a steady clock, cheap to
// read from any thread, unlike the processor-time clock, a system call that
// the worker threads contend for.
using StageClock = std::chrono::steady_clock;
inline double seconds_between(StageClock::time_point from, StageClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Seconds of processor time since `start`.
inline double seconds_since(std::clock_t start) {
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

}  // namespace brenvik
