// The conversion driver: per-pixel tables, pre-dithering, level step and
// colour statistics, the block loop, the run summary and the bytes of the
// output files.
#pragma once

#include <vector>

#include "brenvik/encode.h"
#include "encoder/state/pictures.h"
#include "encoder/state/state.h"

namespace brenvik {

// Results of a run with nothing stored yet, sized for the layout and the
// picture's lines.
RunResults empty_results(const ScreenLayout& layout, const PictureTables& picture);

struct Conversion {
    std::vector<EncodedFile> files;  // in the order they are written
    double mean_best_distance = 0.0;
    int level_step = 17;
};

// Runs the whole conversion, its text to `out`. `rng` is the run's generator
// (seeded with the run seed). Throws what a stage throws (out of memory).
Conversion run_conversion(const SourcePictures& pictures, const ScreenLayout& layout,
                          const RunSettings& settings, Random& rng, const TraceWriter& out);

}  // namespace brenvik
