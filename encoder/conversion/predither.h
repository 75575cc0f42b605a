// Pre-dithering of the target colours, before the statistics and the search:
// the (X+Y) mod 2 checkerboard and the Sierra error diffusion to the level grid.
#pragma once

#include <array>

#include "encoder/state/state.h"

namespace brenvik {

// The two nearest levels (step 17) of a channel value: c1 = the nearest, c2 =
// c1 moved one level towards v when v lies a quarter step or more from it.
std::array<int, 2> checkerboard_levels(int v);

// Quantisation of the Sierra schemes: trunc(round(v / step) x step), cut to 0..255.
int sierra_quantise(int v, double step);

// (X+Y) mod 2: the two alternatives of every pixel go to the first and second
// target colour, swapped on odd squares.
void predither_checkerboard(PictureTables& picture);

// Sierra error diffusion of both pictures to the grid of `step` (17 or 8.5).
void predither_sierra(PictureTables& picture, double step);

}  // namespace brenvik
