// Colour model: 8-bit source values, 4-bit hardware levels, 12-bit colour
// indices and STE palette words.
#pragma once

#include <array>
#include <cstdint>

#include "encoder/state/state.h"
#include "format/ste_palette.h"

namespace brenvik {

// Level of a target value (0..255): rounded with halves going down (the
// -0.01 bias), clamped to 15.
int level_of_target(int value, double level_step_real);

// The two nearest levels of a channel value for a level step: level1 =
// round(value / step), level2 = level1 moved one level towards the value when it lies a
// quarter step or more from it (halves away from zero, single precision).
// Neither is clamped.
std::array<int, 2> two_nearest_levels(int value, double step);

// Level of an optimiser component (level x step): integer division, clamped to 15.
int level_of_component(int component, int level_step);

// 12-bit colour index of three levels, and the STE palette word of three
// levels (format/ste_palette.h).
using format::colour_id;
using format::palette_word;

// Palette word of an optimiser colour (components on the 0..255 scale).
std::uint16_t palette_word(int red, int green, int blue, int level_step);

// E = 3 dR^2 + 6 dG^2 + dB^2 on the 0..255 scale.
inline int weighted_distance(int dr, int dg, int db) {
    return 3 * dr * dr + 6 * dg * dg + db * db;
}

// Sets the level step and the per-value level tables that follow from it.
void set_level_step(PictureTables& picture, int step);

// Nearest level of a channel value (halves away from zero), clamped to 15.
int rounded_level(const PictureTables& picture, int value);
// level_of_target at the picture's level step.
int target_level(const PictureTables& picture, int value);
// two_nearest_levels at the picture's level step, clamped to 0..15.
std::array<int, 2> two_levels(const PictureTables& picture, int value);

// Chooses the level step (17, or 16 for a picture already on a 16-step grid)
// from 49 sampled pixels of the first target colour; prints
// "nbbits16=%d nbbitstest16=%d \n".
void detect_level_step(PictureTables& picture, Random& rng, TextSink& out);

}  // namespace brenvik
