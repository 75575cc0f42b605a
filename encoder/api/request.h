// From a public request to what the conversion reads: the ranges the
// options take, the run's settings (with the search settings that follow
// from the quality digit and the dithering mode), and the source pictures.
#pragma once

#include <string>

#include "brenvik/encode.h"
#include "encoder/state/pictures.h"
#include "encoder/state/state.h"

namespace brenvik {

// What is wrong with the options ("--mode=9: expected 0..4"), or an empty
// string when every value is in its range.
std::string options_fault(const EncodeOptions& options);

// The run's settings for valid options (input and program names left empty),
// derived settings included.
RunSettings run_settings(const EncodeOptions& options);

// Search settings that follow from the quality digit and the dithering mode.
void derive_settings(RunSettings& settings);

// The pictures as the conversion reads them. Without a companion the second
// target colours are black with one palette (--pixpal=1), else the picture
// itself.
SourcePictures source_pictures(const EncodeRequest& request);

}  // namespace brenvik
