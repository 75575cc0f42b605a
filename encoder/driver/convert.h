// The conversion driver: per-pixel tables, pre-dithering, level step and
// colour statistics, the block loop, the run summary and the output files.
#pragma once

#include <cstdio>

#include "encoder/state/pictures.h"
#include "encoder/state/state.h"

namespace brenvik {

// Results of a run with nothing stored yet, sized for the layout and the
// picture's lines.
RunResults empty_results(const ScreenLayout& layout, const PictureTables& picture);

// Runs the whole conversion. `rng` is the run's generator (seeded with the
// run seed). Returns the exit status: 0, or 1 when an output file could not
// be written.
int run_conversion(const SourcePictures& pictures, const ScreenLayout& layout,
                   const RunSettings& settings, Random& rng, std::FILE* out, std::FILE* err);

}  // namespace brenvik
