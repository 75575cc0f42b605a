// PNG files through libpng: every bit depth and colour type (grey, palette,
// RGB, with alpha or a transparent colour), interlaced or not, and the EXIF
// orientation of an eXIf chunk before the pixel data. Samples are taken as
// sRGB (gamma and colour profile chunks are not applied).
#pragma once

#include <string>

#include "input/picture.h"

namespace brenvik::input {

bool identify_png(const Bytes& file, const ReadLimits& limits, PictureInfo& info,
                  std::string& message);

// The picture as shown (its orientation applied): RGB or RGBA, 8 bits, or
// 16 bits for a 16-bit file.
bool decode_png(const Bytes& file, const ReadLimits& limits, DecodedPicture& picture,
                PictureInfo& info, std::string& message);

}  // namespace brenvik::input
