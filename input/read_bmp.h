// BMP files as people have them: 1-, 4- and 8-bit palettes, 16-bit,
// 24-bit and 32-bit pixels (with colour masks where the header gives them),
// bottom-up or top-down, and every header version from the old 12-byte one
// to the 124-byte one. Run-length and embedded JPEG/PNG compression are
// refused with a message.
#pragma once

#include <string>

#include "input/picture.h"

namespace brenvik::input {

// The header's description of the picture; false, with `message`, when the
// file is not a BMP this reader takes.
bool identify_bmp(const Bytes& file, const ReadLimits& limits, PictureInfo& info,
                  std::string& message);

// The whole picture as 8-bit RGB, or RGBA when the header has an alpha mask
// and some pixel uses it.
bool decode_bmp(const Bytes& file, const ReadLimits& limits, DecodedPicture& picture,
                PictureInfo& info, std::string& message);

}  // namespace brenvik::input
