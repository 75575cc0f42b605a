// A decoded picture as the readers deliver it, and what a file holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brenvik::input {

using Bytes = std::vector<std::uint8_t>;

// Samples in rows from the top, left to right, no padding: R, G, B (and
// alpha when channels is 4) per pixel; one byte per sample at 8 bits, two
// (high byte first) at 16 bits. Samples are sRGB-encoded; alpha is linear
// coverage (0 transparent).
struct DecodedPicture {
    int width = 0;
    int height = 0;
    int channels = 3;  // 3 or 4
    int bits = 8;      // 8 or 16

    std::vector<std::uint8_t> samples;

    std::size_t pixel_bytes() const { return static_cast<std::size_t>(channels) * (bits / 8); }
    std::size_t row_bytes() const { return pixel_bytes() * static_cast<std::size_t>(width); }
};

// What a picture file is, for messages: the format, the size as shown
// (after its orientation) and the kind of samples, such as "16-bit RGB with
// alpha" or "progressive, grey, EXIF orientation 6".
struct PictureInfo {
    std::string format;  // "BMP", "PNG", "JPEG"
    int width = 0;
    int height = 0;
    std::string details;
    int orientation = 1;  // EXIF orientation 1..8, 1 when none
};

// Bounds a file may not pass before anything is allocated for it.
struct ReadLimits {
    std::uint64_t max_pixels = std::uint64_t{1} << 28;
};

}  // namespace brenvik::input
