// BMP input: the picture to encode and the second picture that supplies the
// second target colour of the two-palette settings.
#pragma once

#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "brenvik/encode.h"
#include "encoder/state/state.h"
#include "format/bmp.h"

namespace brenvik {

// The input picture, its companion when there is one, and the input's
// header (the base of the previews' headers).
struct InputPictures {
    RgbPicture picture;
    std::optional<RgbPicture> companion;
    std::array<std::uint8_t, format::bmp::kHeaderBytes> header{};
};

// Reads the input picture and, when present, its companion (the input's name
// with "_bis.bmp" for its extension). On failure prints the message on `err`
// and returns false (the run exits with status 1).
bool load_pictures(const RunSettings& settings, const ScreenMode& mode, InputPictures& pictures,
                   TextSink& out, std::FILE* err);

}  // namespace brenvik
