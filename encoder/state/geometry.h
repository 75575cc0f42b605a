// Where the blocks of lines lie: the geometry that follows from the number of
// lines per block (format/block_geometry.h), and the centre line of every
// block of a run.
#pragma once

#include <vector>

#include "encoder/state/state.h"
#include "format/block_geometry.h"

namespace brenvik {

using format::block_geometry;

// Centre lines of the run's blocks, top to bottom.
std::vector<int> block_centre_lines(const RunSettings& settings);

}  // namespace brenvik
