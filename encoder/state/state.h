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
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "encoder/state/counters.h"
#include "encoder/state/grid.h"
#include "encoder/state/rng.h"
#include "encoder/state/text_sink.h"
#include "format/block_geometry.h"
#include "format/screen_modes.h"

namespace brenvik {

// One row of the screen-mode table (format/screen_modes.h).
using format::ScreenMode;

// Block-of-lines geometry (format/block_geometry.h): a block with centre
// line c covers the lines c + first_row_offset .. c + last_row_offset; the
// first block is centred on first_centre_line and the next ones follow
// every block_height lines.
using format::BlockGeometry;

// Seconds since a run started.
using RunClock = std::function<double()>;

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
    // --distance=plain: the same distance in both dither phases (see
    // search/distances.cpp); false: the phased distance.
    bool plain_distance = false;
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

    // Seconds since the run started, for the printed figures: the program's
    // processor time for brenvik, by default a steady clock for the library.
    RunClock start_clock;
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

// The number of 12-bit colour ids (4 bits per channel).
inline constexpr std::size_t kColourIdCount = 4096;
// The source values one level spans when levels 0..15 cover 0..255: 255 / 15.
inline constexpr int kFullLevelStep = 17;

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
    std::vector<int> colour_pixel_counts;  // [colour id]
    std::vector<int> colour_line_counts;   // [colour id] lines in which the colour occurs
    int dominant_colour = -1;
    int dominant_colour_pixels = 0;
    std::array<int, 10> dominant_levels{};  // levels R, G, B in 3, 6, 9

    double level_step_real = kFullLevelStep;
    int level_step = kFullLevelStep;
    // Levels of every channel value 0..255 for the current level step (see
    // set_level_step): nearest level clamped to 15, level of a target value,
    // and the two nearest levels clamped to 0..15.
    std::array<int, 256> rounded_level{};
    std::array<int, 256> target_level{};
    std::array<std::array<int, 2>, 256> two_levels{};
    int has_companion = 0;  // 1 when the second picture came from a companion file
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

// Seconds since the run started, by the run's clock.
inline double seconds_since(const RunClock& clock) {
    return clock ? clock() : 0.0;
}

}  // namespace brenvik
