// Fuzz target: the picture readers of --fit (BMP, PNG through libpng, JPEG
// through libjpeg-turbo), the EXIF orientation parser, and the fitting of
// whatever decodes.
//
// Input layout: byte 0 picks the fit (% 3), the gravity (/ 3 % 9) and
// whether the target frame is 320x20 or 17x5 (/ 27 % 2); the rest is the
// file. Pictures are limited to 2^18 pixels so that a header claiming a huge
// picture is refused before anything is allocated for it.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "input/exif.h"
#include "input/fit.h"
#include "input/read_picture.h"

using brenvik::input::Bytes;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned control = data[0];
    const Bytes file(data + 1, data + size);

    const int orientation = brenvik::input::exif_orientation(file.data(), file.size());
    FUZZ_CHECK(orientation >= 1 && orientation <= 8, "orientation out of range");
    const int app1 = brenvik::input::jpeg_app1_orientation(file.data(), file.size());
    FUZZ_CHECK(app1 >= 1 && app1 <= 8, "APP1 orientation out of range");

    brenvik::input::ReadLimits limits;
    limits.max_pixels = 1u << 18;
    brenvik::input::PictureInfo header;
    std::string header_message;
    const bool identified = brenvik::input::identify_picture(file, header, header_message, limits);
    FUZZ_CHECK(identified || !header_message.empty(), "refused without a message");
    const std::string foreign = brenvik::input::foreign_file_message(file);
    FUZZ_CHECK(foreign.empty() || (!identified && foreign == header_message),
               "the first bytes and the header look disagree");

    brenvik::input::DecodedPicture picture;
    brenvik::input::PictureInfo info;
    std::string message;
    const bool decoded = brenvik::input::decode_picture(file, picture, info, message, limits);
    if (!decoded) {
        FUZZ_CHECK(!message.empty(), "refused without a message");
        return 0;
    }
    FUZZ_CHECK(identified, "decoded a file the header look refused: " + header_message);
    FUZZ_CHECK(header.format == info.format && header.width == info.width &&
                   header.height == info.height && header.orientation == info.orientation,
               "the header look and the decoding disagree");
    FUZZ_CHECK(picture.width == info.width && picture.height == info.height,
               "decoded size differs from the size shown");
    FUZZ_CHECK(picture.width > 0 && picture.height > 0, "empty picture");
    FUZZ_CHECK(static_cast<std::uint64_t>(picture.width) * picture.height <= limits.max_pixels,
               "picture over the limit");
    FUZZ_CHECK(picture.channels == 3 || picture.channels == 4, "channels");
    FUZZ_CHECK(picture.bits == 8 || picture.bits == 16, "bits");
    FUZZ_CHECK(
        picture.samples.size() == picture.row_bytes() * static_cast<std::size_t>(picture.height),
        "sample count");

    brenvik::input::FitOptions options;
    options.fit = static_cast<brenvik::input::Fit>(control % 3);
    options.gravity = static_cast<brenvik::input::Gravity>(control / 3 % 9);
    const brenvik::input::Size target =
        control / 27 % 2 == 0 ? brenvik::input::Size{320, 20} : brenvik::input::Size{17, 5};
    brenvik::input::Placement placement;
    const brenvik::input::Frame frame =
        brenvik::input::fit_picture(picture, target, options, &placement);
    FUZZ_CHECK(frame.bgr.size() == std::size_t{3} * target.width * target.height, "frame size");
    FUZZ_CHECK(placement.pad_left >= 0 && placement.pad_top >= 0 &&
                   placement.pad_left + placement.kept.width <= target.width &&
                   placement.pad_top + placement.kept.height <= target.height,
               "the picture leaves the frame");
    FUZZ_CHECK(placement.crop_left >= 0 && placement.crop_top >= 0 &&
                   placement.crop_left + placement.kept.width <= placement.scaled.width &&
                   placement.crop_top + placement.kept.height <= placement.scaled.height,
               "the kept part leaves the scaled picture");
    return 0;
}
