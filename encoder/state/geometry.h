// Where the blocks of lines lie: the geometry that follows from the number of
// lines per block, and the centre line of every block.
#pragma once

#include <vector>

#include "encoder/state/state.h"

namespace brenvik {

// Block geometry for a number of lines per block (1..6; any other value gives
// one-line blocks).
BlockGeometry block_geometry(int block_lines_option);

// Centre lines of the blocks, top to bottom.
std::vector<int> block_centre_lines(const RunSettings& settings);

}  // namespace brenvik
