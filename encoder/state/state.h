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
    int id = 0;
    int colours_per_line = 0;  // palette words per palette record
    int excluded = 0;          // subtracted from colours_per_line when records are sized
    int width = 0;
    int height = 0;
};

// Block-of-lines geometry: a block has centre line hhhh and rows
// hhh_minus..hhh_maxus around it; blocks start at hauteurdebut and follow each
// other every hauteursegment lines.
struct BlockGeometry {
    int hauteursegment = 1;
    int hhh_minus = 0;
    int hhh_maxus = 0;
    int hauteurdebut = 1;
    int rows() const { return hhh_maxus - hhh_minus + 1; }
};

struct RunSettings {
    // From the command line.
    int opt = 3;  // quality digit q
    int dither = 0;
    int errordiffusion = 1;
    int pixpal = 1;
    int ispreview = 0;
    int shiftpixels = 0;  // option value minus 5
    int ligneX3 = 1;
    int verbose = 0;
    int seed = 42;
    int mode_row = 0;
    std::string arg;   // input picture name as typed
    std::string prog;  // invocation name

    // Derived from the quality digit and the dithering mode.
    int nb_loop_fast_init = 0;
    int power_temperature = 0;
    double power_temperature_mini = 0.0;
    double power_quality = 0.0;
    int dithoutA = 0;
    int dithoutB = 0;
    int dist_newcolor = 0;

    BlockGeometry geometry;
    int hauteurfinale = 0;  // picture height

    // Worker threads for the block loop (0 = one per hardware thread). The
    // output does not depend on it.
    unsigned threads = 0;
    // Search with the portable code even where AVX2 is available (same output).
    bool portable_search = false;

    std::clock_t start = 0;  // processor time at program start
};

// Palette slots of the selected screen mode. Slot k belongs to hardware
// register paletteFinale[k]; slots debutlimit..limit+1 are optimised and slot
// limit+2 stands for the whole line.
struct ScreenLayout {
    ScreenMode mode;
    int largeur = 0;
    int limit = 0;
    int debutlimit = 2;

    int slot_count() const { return limit + 3; }  // slots 0..limit+2

    std::vector<int> paletteFinale;  // [slot]
    // Visibility, [column][slot] for columns 1..largeur; row largeur+1 holds
    // each slot's first column and row largeur+2 the length of its first run.
    std::vector<int> paletteactive;
    // Optimiser slots visible at each column, ascending (no terminator).
    std::vector<std::vector<int>> paletteactive_id;
    std::vector<int> paletteactiveoverride_deb;  // [slot] rescan range
    std::vector<int> paletteactiveoverride_fin;

    int& active(int column, int slot) {
        return paletteactive[static_cast<std::size_t>(column) * slot_count() + slot];
    }
    int active(int column, int slot) const {
        return paletteactive[static_cast<std::size_t>(column) * slot_count() + slot];
    }
    int first_column(int slot) const { return active(largeur + 1, slot); }
    int run_length(int slot) const { return active(largeur + 2, slot); }
};

// A slot's colour record: ints 1..3 the first colour, 4..6 the second colour
// (level x level step), int 12 the candidate id.
using SlotRecord = std::array<int, 13>;

// Per-pixel working tables of the whole picture. Lines are numbered from 1;
// lines past the picture height (reached by the last block) stay black.
struct PictureTables {
    int width = 0;
    int height = 0;
    int lines = 0;  // allocated lines, 0..lines-1

    // Source colours, columns from 0: R, V, B of the first picture then of the
    // second. The error diffusion works on a copy.
    Grid<std::array<int, 6>> paletteOriginale;
    // First picture's source channels before any pre-dithering, columns from 0
    // (two margin columns past the width read as black).
    Grid<std::array<std::uint16_t, 3>> paletteOriginaleRVB;
    // Target colours, columns from 1 (plus two black margin columns past the
    // width): elements 1..3 the first target, 4..6 the second.
    Grid<std::array<int, 7>> vecteurinit;
    // 12-bit colour index of every pixel, columns from 1.
    Grid<int> vecteur12b;
    std::vector<int> vecteur12bcount;   // [4096]
    std::vector<int> vecteur12bbligne;  // [4096] lines in which the colour occurs
    int max1_id = -1;
    int max1_nb = 0;
    std::array<int, 10> vecteurglobalbest{};  // levels R, V, B in 3, 6, 9

    double nbbitsround = 17.0;
    int nbbitsroundint = 17;
    // Levels of every channel value 0..255 for the current level step (see
    // set_level_step): nearest level clamped to 15, level of a target value,
    // and the two nearest levels clamped to 0..15.
    std::array<int, 256> rounded_level{};
    std::array<int, 256> target_level{};
    std::array<std::array<int, 2>, 256> two_levels{};
    int bis_method = 0;
};

// Run-time counters and timers, kept per block and summed in block order.
struct SearchCounters {
    long long secouru_nb = 0, secouru_nb0 = 0, secouru_nb1 = 0, secouru_nb2_9 = 0, secouru_nb10 = 0;
    std::array<double, 12> timer{};  // timer[1..11]

    void add(const SearchCounters& other) {
        secouru_nb += other.secouru_nb;
        secouru_nb0 += other.secouru_nb0;
        secouru_nb1 += other.secouru_nb1;
        secouru_nb2_9 += other.secouru_nb2_9;
        secouru_nb10 += other.secouru_nb10;
        for (std::size_t i = 0; i < timer.size(); ++i) timer[i] += other.timer[i];
    }
};

// Search state of one block of lines. One instance per worker; everything is
// rebuilt at the start of each block, so a block's result depends only on the
// picture and the settings.
struct BlockSearch {
    Rng rng;
    TextSink log;
    SearchCounters counters;

    // Block geometry: centre line and the number of rows.
    int hhhh = 0;
    int rows = 1;

    // Candidate lists, 1-based (entry 0 unused), for slots 0..limit+2.
    std::vector<int> unik_colors_segment_nb;
    std::vector<std::vector<int>> unik_colors_global_id;
    std::vector<std::vector<int>> unik_colors_id_segmenttotal;
    // One-colour lists: per slot and 12-bit colour, pixel count (or 1 for an
    // extra candidate) and the index of the colour's latest entry.
    std::vector<int> unik_colors_freq;        // [slot * 4096 + colour]
    std::vector<int> unik_colors_segment_id;  // [slot * 4096 + colour]
    // Two-colour lists: per slot, the index of every packed pair's first
    // entry in that slot's list.
    std::vector<PairIndex> tab_colors_unique_mod;

    // Distances of every pixel of the block to every candidate of the
    // block's list, for the pixel's own dither phase:
    // [(row * (N + 1) + candidate) * (largeur + 1) + column].
    std::vector<std::int32_t> distance_precalcHL2;
    int distance_candidates = 0;  // N + 1
    int distance_columns = 0;     // largeur + 1

    std::int32_t distance(int row, int column, int candidate) const {
        return distance_precalcHL2[(static_cast<std::size_t>(row) * distance_candidates +
                                    static_cast<std::size_t>(candidate)) *
                                       distance_columns +
                                   static_cast<std::size_t>(column)];
    }

    std::vector<SlotRecord> vecteurfinal;  // [slot]

    // Per block row and column (0..largeur): [row * (largeur + 1) + column].
    std::vector<int> bestdist_i2;
    std::vector<int> paletteres02, paletteres12;    // working solution: slot, distance
    std::vector<int> palettecurr02, palettecurr12;  // committed solution
    std::vector<int> vecteurfinal12;                // [slot] working candidate ids
    std::vector<int> vecteurfinaltmp;               // [slot] committed candidate ids

    // Working structures of the local exploration.
    std::vector<int> visible_padded;   // [column * 16 + i] visible optimiser slots, padded
    bool visible_fits_padding = true;  // no column shows more than 16 slots
    // [slot]: candidate id times (largeur + 1), where the slot's working
    // colour starts in a block row's distance table.
    std::vector<int> slot_offset;
    std::vector<int> changed_slots;  // slots changed since the last commit

    long long distancemoyenne = 0;
    long long distancemoyennea = 0;
    long long bestdistancemoyenne = 0;
    double dist_b = 0.0;

    double temperaturedec = 0.0;
    double temperature_ratio = 0.0;
    int nb_loop_fast = 200;
    int nb_loop_fast_max = 200;
    int nbiteration_moindrescarres = 1;
    int nbiteration_moindrescarres2 = 0;
    int nbtry_init = 0;
    double exploration_local_todo = 0.0;
};

// What the block loop leaves for the writers.
struct RunResults {
    int slots = 0;
    int lines = 0;
    // [slot * lines + line]
    std::vector<SlotRecord> vecteurfinalsaved;
    // (slot, distance) per column 0..largeur and line.
    Grid<std::pair<int, int>> palettesaved;

    double bestdistancemoyenneall = 0.0;
    int nbiteration_moindrescarres = 1;
    SearchCounters counters;

    SlotRecord& saved(int slot, int line) {
        return vecteurfinalsaved[static_cast<std::size_t>(slot) * lines + line];
    }
    const SlotRecord& saved(int slot, int line) const {
        return vecteurfinalsaved[static_cast<std::size_t>(slot) * lines + line];
    }
};

// The read-only inputs of a block's search.
struct RunContext {
    const RunSettings& settings;
    const ScreenLayout& layout;
    const PictureTables& pic;
};

// Seconds of processor time since `start`.
inline double seconds_since(std::clock_t start) {
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

}  // namespace brenvik
