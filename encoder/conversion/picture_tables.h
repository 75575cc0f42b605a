// Per-pixel working tables and the colour statistics of the whole picture.
#pragma once

#include "encoder/state/pictures.h"
#include "encoder/state/state.h"

namespace brenvik {

// Fills the source colours and the target colours (line 1 = top of the
// picture) from the two raw pictures.
void load_picture_tables(const SourcePictures& pictures, const ScreenMode& mode,
                         const RunSettings& settings, PictureTables& picture, TextSink& out);

// 12-bit index of every pixel, colour counts, and the dominant colour (the
// largest lines x pixels product, lowest index on ties).
void colour_statistics(PictureTables& picture);

}  // namespace brenvik
