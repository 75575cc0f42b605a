// BMP input: the picture to encode and the second picture that supplies the
// second target colour of the two-palette settings.
#pragma once

#include <cstdio>
#include <string>

#include "encoder/state/pictures.h"
#include "encoder/state/state.h"

namespace brenvik {

// Reads the input picture and prepares the second picture. On failure prints
// the message on `err` and returns false (the run exits with status 1).
bool load_pictures(const RunSettings& settings, const ScreenMode& mode, SourcePictures& pictures,
                   TextSink& out, std::FILE* err);

}  // namespace brenvik
