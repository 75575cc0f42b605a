#include "input/read_picture.h"

#include <cstring>

#include "input/read_bmp.h"
#include "input/read_jpeg.h"
#include "input/read_png.h"

namespace brenvik::input {

namespace {

enum class Kind { bmp, png, jpeg, other };

bool starts_with(const Bytes& file, std::size_t at, const char* text) {
    const std::size_t n = std::strlen(text);
    return file.size() >= at + n && std::memcmp(file.data() + at, text, n) == 0;
}

// The kind of file by its first bytes; for other kinds, what they are when
// the bytes tell.
Kind kind_of(const Bytes& file, std::string& other) {
    if (starts_with(file, 0, "\x89PNG\r\n\x1a\n")) return Kind::png;
    if (file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF) {
        return Kind::jpeg;
    }
    if (starts_with(file, 0, "BM")) return Kind::bmp;
    if (starts_with(file, 0, "GIF87a") || starts_with(file, 0, "GIF89a")) {
        other = "a GIF picture";
    } else if (starts_with(file, 0, "RIFF") && starts_with(file, 8, "WEBP")) {
        other = "a WebP picture";
    } else if (starts_with(file, 4, "ftypavif") || starts_with(file, 4, "ftypavis")) {
        other = "an AVIF picture";
    } else if (starts_with(file, 4, "ftyphei") || starts_with(file, 4, "ftyphev") ||
               starts_with(file, 4, "ftypmif1") || starts_with(file, 4, "ftypmsf1")) {
        other = "a HEIF picture";
    } else if (file.size() >= 4 &&
               ((starts_with(file, 0, "II*") && file[3] == 0) ||
                (starts_with(file, 0, "MM") && file[2] == 0 && file[3] == '*'))) {
        other = "a TIFF picture";
    }
    return Kind::other;
}

std::string not_read(const std::string& what) {
    if (what.empty()) return "not a picture this program reads (BMP, PNG or JPEG)";
    return what + ", which this program does not read; save it as PNG, JPEG or BMP";
}

}  // namespace

bool identify_picture(const Bytes& file, PictureInfo& info, std::string& message,
                      const ReadLimits& limits) {
    std::string other;
    switch (kind_of(file, other)) {
        case Kind::png:
            return identify_png(file, limits, info, message);
        case Kind::jpeg:
            return identify_jpeg(file, limits, info, message);
        case Kind::bmp:
            return identify_bmp(file, limits, info, message);
        case Kind::other:
            break;
    }
    message = not_read(other);
    return false;
}

bool decode_picture(const Bytes& file, DecodedPicture& picture, PictureInfo& info,
                    std::string& message, const ReadLimits& limits) {
    std::string other;
    switch (kind_of(file, other)) {
        case Kind::png:
            return decode_png(file, limits, picture, info, message);
        case Kind::jpeg:
            return decode_jpeg(file, limits, picture, info, message);
        case Kind::bmp:
            return decode_bmp(file, limits, picture, info, message);
        case Kind::other:
            break;
    }
    message = not_read(other);
    return false;
}

std::string foreign_file_message(const Bytes& first_bytes) {
    std::string other;
    return kind_of(first_bytes, other) == Kind::other ? not_read(other) : std::string();
}

std::string describe_picture(const PictureInfo& info) {
    std::string text = "a " + std::to_string(info.width) + "x" + std::to_string(info.height) + " " +
                       info.format + " picture";
    if (!info.details.empty()) text += " (" + info.details + ")";
    return text;
}

}  // namespace brenvik::input
