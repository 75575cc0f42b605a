// BMP input: the picture to encode and the second picture that supplies the
// second target colour of the two-palette settings.
#pragma once

#include <cstdio>
#include <string>

#include "encoder/state/pictures.h"
#include "encoder/state/state.h"

namespace brenvik {

// Name of the companion picture: the input name with its extension (a "."
// in the last path component and what follows) replaced by "_bis.bmp", or
// with "_bis.bmp" appended when it has none.
std::string companion_name(const std::string& name);

// Reads the input picture and prepares the second picture. On failure prints
// the message on `err` and returns false (the run exits with status 1).
bool load_pictures(const RunSettings& settings, const ScreenMode& mode, SourcePictures& pictures,
                   TextSink& out, std::FILE* err);

}  // namespace brenvik
