// The front end's hook for pictures of any size and format (--fit and
// --gravity): the help lines, the fitted input and its companion, the kept
// NAME_source.bmp, and the hint printed when a picture is refused without
// --fit. The readers, the placement and the resampling live in input/.
#pragma once

#include <cstdio>
#include <string>

#include "encoder/frontend/bmp.h"
#include "encoder/state/state.h"

namespace brenvik {

// The help lines of --fit and --gravity, printed after the usage text.
std::string fit_usage_text();

// Reads the input picture (BMP, PNG or JPEG of any size) and fits it into
// the mode's size by settings.fit and settings.gravity, then the companion
// picture NAME_bis.bmp the same way when it exists. The preview header and
// `fitted_source` are those of the NAME_source.bmp written after the
// encoding. On failure prints the message on `err` and returns false.
bool load_fitted_pictures(const RunSettings& settings, const ScreenMode& mode,
                          InputPictures& pictures, TextSink& out, std::FILE* err);

// After a picture was refused without --fit: when it is a picture --fit
// reads, other than a 24-bit BMP of the mode's size (refused for damage that
// --fit would not mend), prints
// "PROGRAM: NAME: a WxH FORMAT picture (...); use --fit=pad, --fit=crop or
// --fit=stretch to make it WxH".
void explain_refused_picture(const std::string& program, const std::string& name,
                             const ScreenMode& mode, std::FILE* err);

}  // namespace brenvik
