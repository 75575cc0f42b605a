// JPEG files through libjpeg-turbo: baseline and progressive, colour, grey
// and CMYK, and the EXIF orientation of an APP1 segment. A file whose data
// ends early is refused (the library would fill the rest with grey).
#pragma once

#include <string>

#include "input/picture.h"

namespace brenvik::input {

bool identify_jpeg(const Bytes& file, const ReadLimits& limits, PictureInfo& info,
                   std::string& message);

// The picture as shown (its orientation applied), 8-bit RGB.
bool decode_jpeg(const Bytes& file, const ReadLimits& limits, DecodedPicture& picture,
                 PictureInfo& info, std::string& message);

}  // namespace brenvik::input
