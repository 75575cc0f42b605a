// BMP input: the picture to encode and the second picture that supplies the
// second target colour of the two-palette settings.
#pragma once

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

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
    // With --fit: the BMP file of the fitted picture, kept as NAME_source.bmp.
    std::vector<std::uint8_t> fitted_source;
};

// A BMP's unpadded B, G, R rows (bottom row first unless `top_down`) as an
// RGB picture, rows from the top.
RgbPicture rgb_rows_from_top(const std::vector<std::uint8_t>& bgr, int width, int height,
                             bool top_down);

// Reads the input picture and, when present, its companion (the input's name
// with "_bis.bmp" for its extension). On failure prints the message on `err`
// and returns false (the run exits with status 1).
bool load_pictures(const RunSettings& settings, const ScreenMode& mode, InputPictures& pictures,
                   TextSink& out, std::FILE* err);

}  // namespace brenvik
