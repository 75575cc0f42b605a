#include "input/read_png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "input/exif.h"

namespace brenvik::input {

namespace {

// What the callbacks and the decoding steps share. Only plain members: the
// decoding steps may be left by longjmp from inside libpng.
struct PngState {
    const Bytes* file = nullptr;
    std::size_t position = 0;
    char message[200] = {};
    png_structp png = nullptr;
    png_infop info = nullptr;
};

void read_bytes(png_structp png, png_bytep data, png_size_t size) {
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    if (state->file->size() - state->position < size) png_error(png, "the file ends early");
    std::memcpy(data, state->file->data() + state->position, size);
    state->position += size;
}

[[noreturn]] void fail(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void ignore_warning(png_structp, png_const_charp) {}

struct Header {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bit_depth = 0;
    int colour_type = 0;
    int interlace = 0;
    bool transparency = false;  // a tRNS chunk
    int orientation = 1;
};

// The header and the chunks before the pixel data. Returns false (with the
// message in the state) when libpng refuses the file.
bool read_header(PngState& s, Header& h) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_set_read_fn(s.png, &s, read_bytes);
    png_read_info(s.png, s.info);
    png_get_IHDR(s.png, s.info, &h.width, &h.height, &h.bit_depth, &h.colour_type, &h.interlace,
                 nullptr, nullptr);
    h.transparency = png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;
#ifdef PNG_eXIf_SUPPORTED
    png_uint_32 exif_size = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(s.png, s.info, &exif_size, &exif) != 0) {
        h.orientation = exif_orientation(exif, exif_size);
    }
#endif
    return true;
}

// The transformations to RGB or RGBA at 8 or 16 bits (high byte first).
bool set_transformations(PngState& s) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_set_expand(s.png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_gray_to_rgb(s.png);
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    return true;
}

bool read_pixels(PngState& s, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_read_image(s.png, rows.data());
    return true;
}

std::string describe(const Header& h) {
    std::string d = std::to_string(h.bit_depth) + "-bit ";
    switch (h.colour_type) {
        case PNG_COLOR_TYPE_GRAY:
            d += "grey";
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            d += "grey with alpha";
            break;
        case PNG_COLOR_TYPE_PALETTE:
            d += "palette";
            break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            d += "RGB with alpha";
            break;
        default:
            d += "RGB";
            break;
    }
    if (h.transparency) d += ", transparent colour";
    if (h.interlace != PNG_INTERLACE_NONE) d += ", interlaced";
    if (h.orientation != 1) d += ", EXIF orientation " + std::to_string(h.orientation);
    return d;
}

struct PngReader {
    PngState state;
    explicit PngReader(const Bytes& file) {
        state.file = &file;
        state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, fail, ignore_warning);
        if (state.png != nullptr) state.info = png_create_info_struct(state.png);
    }
    ~PngReader() { png_destroy_read_struct(&state.png, &state.info, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    bool ready() const { return state.png != nullptr && state.info != nullptr; }
};

bool start(PngReader& reader, const ReadLimits& limits, Header& header, PictureInfo& info,
           std::string& message) {
    if (!reader.ready()) {
        message = "out of memory";
        return false;
    }
    if (!read_header(reader.state, header)) {
        message = std::string("PNG file is damaged: ") + reader.state.message;
        return false;
    }
    if (std::uint64_t{header.width} * header.height > limits.max_pixels) {
        message = "PNG picture of " + std::to_string(header.width) + "x" +
                  std::to_string(header.height) + " pixels is larger than this program takes";
        return false;
    }
    const bool turned = orientation_transposes(header.orientation);
    info.format = "PNG";
    info.width = static_cast<int>(turned ? header.height : header.width);
    info.height = static_cast<int>(turned ? header.width : header.height);
    info.details = describe(header);
    info.orientation = header.orientation;
    return true;
}

}  // namespace

bool identify_png(const Bytes& file, const ReadLimits& limits, PictureInfo& info,
                  std::string& message) {
    PngReader reader(file);
    Header header;
    return start(reader, limits, header, info, message);
}

bool decode_png(const Bytes& file, const ReadLimits& limits, DecodedPicture& picture,
                PictureInfo& info, std::string& message) {
    PngReader reader(file);
    Header header;
    if (!start(reader, limits, header, info, message)) return false;
    const bool alpha = header.transparency || (header.colour_type & PNG_COLOR_MASK_ALPHA) != 0;
    picture.width = static_cast<int>(header.width);
    picture.height = static_cast<int>(header.height);
    picture.channels = alpha ? 4 : 3;
    picture.bits = header.bit_depth == 16 ? 16 : 8;
    picture.samples.assign(picture.row_bytes() * static_cast<std::size_t>(picture.height), 0);
    if (!set_transformations(reader.state)) {
        message = std::string("PNG file is damaged: ") + reader.state.message;
        return false;
    }
    if (png_get_rowbytes(reader.state.png, reader.state.info) != picture.row_bytes()) {
        message = "PNG pixel layout is not the expected one";
        return false;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(picture.height));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = picture.samples.data() + y * picture.row_bytes();
    }
    if (!read_pixels(reader.state, rows)) {
        message = std::string("PNG file is damaged: ") + reader.state.message;
        return false;
    }
    if (header.orientation != 1) picture = oriented(picture, header.orientation);
    return true;
}

}  // namespace brenvik::input
