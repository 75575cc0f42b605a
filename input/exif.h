// EXIF orientation: the one tag read from a picture's EXIF data, and the
// turn or mirror it asks for.
#pragma once

#include <cstddef>
#include <cstdint>

#include "input/picture.h"

namespace brenvik::input {

// The Orientation tag (0x0112) of the first image directory of TIFF-format
// EXIF data (starting with "II*\0" or "MM\0*"), 1..8; 1 when the data has no
// such tag, a value out of range, or is malformed in any way.
int exif_orientation(const std::uint8_t* tiff, std::size_t size);

// The same for the payload of a JPEG APP1 segment, which starts with
// "Exif\0\0" before the TIFF data.
int jpeg_app1_orientation(const std::uint8_t* payload, std::size_t size);

// Whether the orientation swaps width and height (5..8).
inline bool orientation_transposes(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// The picture as it is meant to be shown: stored pixel (x, y) of a W x H
// picture goes to
//   1 (x, y)   2 (W-1-x, y)   3 (W-1-x, H-1-y)   4 (x, H-1-y)
//   5 (y, x)   6 (H-1-y, x)   7 (H-1-y, W-1-x)   8 (y, W-1-x)
// (6 is a quarter turn clockwise, 8 anticlockwise).
DecodedPicture oriented(const DecodedPicture& stored, int orientation);

}  // namespace brenvik::input
