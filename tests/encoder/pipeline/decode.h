// An independent reader of the encoder's picture files, used to check that
// what the hardware would show matches the previews.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "encoder/state/state.h"

namespace testsupport {

// Register (0..15) of every pixel of a bitplane bitmap: [y * width + x].
std::vector<int> decode_bitplanes(const std::vector<std::uint8_t>& bytes, std::size_t offset,
                                  int width, int height);

// Colour level (0..15) of a nibble of an STE palette word.
int nibble_level(int nibble);

// The colour (R, G, B on the 0..255 scale, level x step) that register `reg`
// shows at column x (1-based) of a line whose palette record starts at
// `record` in `bytes`; black when no palette slot loads that register there.
std::array<int, 3> shown_colour(const brenvik::ScreenLayout& layout,
                                const std::vector<std::uint8_t>& bytes, std::size_t record,
                                int reg, int x, int step);

}  // namespace testsupport
