// Any picture file the program reads (BMP, PNG, JPEG), told apart by its
// first bytes, not by its name.
#pragma once

#include <string>

#include "input/picture.h"

namespace brenvik::input {

// What the file is: format, size as shown, details. False with `message`
// when it is not a picture this program reads; the message then says what
// it is where the first bytes tell (a GIF, WebP, HEIF, AVIF or TIFF file)
// or that it is none of them.
bool identify_picture(const Bytes& file, PictureInfo& info, std::string& message,
                      const ReadLimits& limits = {});

// The whole picture, oriented as it is meant to be shown. False with
// `message` when the file is not read or damaged.
bool decode_picture(const Bytes& file, DecodedPicture& picture, PictureInfo& info,
                    std::string& message, const ReadLimits& limits = {});

// Empty when the first bytes of a file (a dozen are enough) are those of a
// BMP, PNG or JPEG file; else the message identify_picture gives, so that a
// large file of another kind is refused without being read whole.
std::string foreign_file_message(const Bytes& first_bytes);

// "a 4000x3000 JPEG picture (progressive, EXIF orientation 6)".
std::string describe_picture(const PictureInfo& info);

}  // namespace brenvik::input
