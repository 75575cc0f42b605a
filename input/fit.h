// A picture of any size made into a frame of the encoder's size: placed by
// the fit and gravity, resampled in linear light, black outside the picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/picture.h"
#include "input/placement.h"
#include "input/resample.h"

namespace brenvik::input {

// The filter the encoder uses: Catmull-Rom encoded a little better than
// Lanczos-3 on photos (bench/fit_filters.sh, figures in bench/README.md).
inline constexpr Filter kDefaultFilter = Filter::catmull_rom;

struct FitOptions {
    Fit fit = Fit::pad;
    Gravity gravity = Gravity::centre;
    Filter filter = kDefaultFilter;
};

// A frame of 24-bit pixels, B, G, R, rows from the bottom (the BMP order the
// encoder reads), no padding.
struct Frame {
    Size size;
    std::vector<std::uint8_t> bgr;
};

// The picture placed and resampled into a frame of `target` size. Alpha is
// applied over black. Every step is integer arithmetic on tables that are
// the same on every platform (see linear_light.h, resample.h).
Frame fit_picture(const DecodedPicture& picture, Size target, const FitOptions& options,
                  Placement* placement = nullptr);

// A 24-bit BMP file of the frame: 54-byte header (bottom-up rows, no
// resolution), then the rows padded to 4 bytes.
std::vector<std::uint8_t> bmp_file(const Frame& frame);

}  // namespace brenvik::input
