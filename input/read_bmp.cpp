#include "input/read_bmp.h"

#include <array>

namespace brenvik::input {

namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

std::uint32_t le32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t le16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// One channel of a bit-field pixel: its mask's shift and largest value.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t largest = 0;

    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (mask == 0) return;
        while (((mask >> shift) & 1) == 0) ++shift;
        largest = mask >> shift;
    }
    // The channel scaled to 0..255, rounded.
    std::uint8_t value(std::uint32_t pixel) const {
        if (largest == 0) return 0;
        const std::uint64_t v = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>((v * 255 + largest / 2) / largest);
    }
};

struct Layout {
    int width = 0;
    int height = 0;  // as shown (positive)
    bool top_down = false;
    int bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t pixel_offset = 0;
    std::size_t stride = 0;
    std::array<Channel, 4> channels;  // R, G, B, alpha for 16 and 32 bits
    std::size_t palette_offset = 0;
    std::size_t palette_entry = 4;  // bytes per palette entry (3 in the old core header)
    std::uint32_t palette_count = 0;
};

std::string describe(const Layout& l) {
    std::string d = std::to_string(l.bits) + "-bit";
    if (l.bits <= 8) d += " palette";
    if (l.channels[3].mask != 0) d += " with alpha";
    if (l.top_down) d += ", top-down";
    return d;
}

// The colour masks of 16 and 32 bits: given after the header (bit fields),
// else the default ones.
bool parse_masks(const Bytes& file, std::uint32_t header_size, bool bit_fields, Layout& l,
                 std::string& message) {
    std::array<std::uint32_t, 4> masks{};
    if (bit_fields) {
        // The masks follow a 40-byte header, or are part of a longer one.
        const std::size_t count = l.compression == kAlphaBitFields || header_size >= 56 ? 4 : 3;
        if (file.size() < 54 + 4 * count) {
            message = "BMP colour masks are truncated";
            return false;
        }
        for (std::size_t i = 0; i < count; ++i) masks[i] = le32(file, 54 + 4 * i);
    } else if (l.bits == 16) {
        masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else {
        masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    }
    if (masks[0] == 0 && masks[1] == 0 && masks[2] == 0) {
        message = "BMP colour masks are all zero";
        return false;
    }
    for (std::size_t i = 0; i < 4; ++i) l.channels[i] = Channel(masks[i]);
    return true;
}

// The header's sizes and bits per pixel (either kind of header); false with
// the message for a header it cannot read.
bool parse_header(const Bytes& file, Layout& l, std::uint32_t& header_size, std::int64_t& width,
                  std::int64_t& height, std::string& message) {
    if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') {
        message = "not a BMP file";
        return false;
    }
    if (file.size() < 26) {
        message = "BMP header is truncated";
        return false;
    }
    l.pixel_offset = le32(file, 10);
    header_size = le32(file, 14);
    if (header_size == 12) {  // the old core header: 16-bit sizes, 3-byte palette entries
        width = le16(file, 18);
        height = le16(file, 20);
        if (le16(file, 22) != 1) {
            message = "BMP header is damaged (planes is not 1)";
            return false;
        }
        l.bits = le16(file, 24);
        l.palette_entry = 3;
        return true;
    }
    if (header_size < 40 || header_size > 124) {
        message = "BMP header of an unknown kind (" + std::to_string(header_size) + " bytes)";
        return false;
    }
    if (file.size() < 14 + std::size_t{header_size}) {
        message = "BMP header is truncated";
        return false;
    }
    width = static_cast<std::int32_t>(le32(file, 18));
    height = static_cast<std::int32_t>(le32(file, 22));
    l.bits = le16(file, 28);
    l.compression = le32(file, 30);
    l.palette_count = le32(file, 46);
    return true;
}

// The picture's size, within the limits.
bool parse_size(std::int64_t width, std::int64_t height, const ReadLimits& limits, Layout& l,
                std::string& message) {
    l.top_down = height < 0;
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0) {
        message = "BMP picture has no pixels (" + std::to_string(width) + "x" +
                  std::to_string(height) + ")";
        return false;
    }
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) >
        limits.max_pixels) {
        message = "BMP picture of " + std::to_string(width) + "x" + std::to_string(height) +
                  " pixels is larger than this program takes";
        return false;
    }
    l.width = static_cast<int>(width);
    l.height = static_cast<int>(height);
    return true;
}

// How the pixels are stored: the compression and bits read, the palette of
// 1, 4 and 8 bits, the colour masks of 16 and 32 bits.
bool parse_storage(const Bytes& file, std::uint32_t header_size, Layout& l, std::string& message) {
    if (l.compression == kRle8 || l.compression == kRle4) {
        message = "run-length compressed BMP is not read; save it uncompressed";
        return false;
    }
    const bool bit_fields = l.compression == kBitFields || l.compression == kAlphaBitFields;
    if (!(l.compression == kRgb || (bit_fields && (l.bits == 16 || l.bits == 32)))) {
        message = "BMP compression " + std::to_string(l.compression) + " with " +
                  std::to_string(l.bits) + " bits per pixel is not read";
        return false;
    }
    switch (l.bits) {
        case 1:
        case 4:
        case 8: {
            const std::uint32_t most = 1u << l.bits;
            if (l.palette_count == 0 || l.palette_count > most) l.palette_count = most;
            l.palette_offset = 14 + std::size_t{header_size};
            if (file.size() < l.palette_offset + l.palette_count * l.palette_entry) {
                message = "BMP palette is truncated";
                return false;
            }
            return true;
        }
        case 16:
        case 32:
            return parse_masks(file, header_size, bit_fields, l, message);
        case 24:
            return true;
        default:
            message = "BMP with " + std::to_string(l.bits) + " bits per pixel is not read";
            return false;
    }
}

bool parse_layout(const Bytes& file, const ReadLimits& limits, Layout& l, std::string& message) {
    std::uint32_t header_size = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    if (!parse_header(file, l, header_size, width, height, message) ||
        !parse_size(width, height, limits, l, message) ||
        !parse_storage(file, header_size, l, message)) {
        return false;
    }
    l.stride = (static_cast<std::size_t>(l.width) * static_cast<std::size_t>(l.bits) + 31) / 32 * 4;
    return true;
}

}  // namespace

bool identify_bmp(const Bytes& file, const ReadLimits& limits, PictureInfo& info,
                  std::string& message) {
    Layout l;
    if (!parse_layout(file, limits, l, message)) return false;
    info.format = "BMP";
    info.width = l.width;
    info.height = l.height;
    info.details = describe(l);
    info.orientation = 1;
    return true;
}

bool decode_bmp(const Bytes& file, const ReadLimits& limits, DecodedPicture& picture,
                PictureInfo& info, std::string& message) {
    Layout l;
    if (!parse_layout(file, limits, l, message)) return false;
    const std::size_t data_size = l.stride * static_cast<std::size_t>(l.height);
    if (l.pixel_offset > file.size() || file.size() - l.pixel_offset < data_size) {
        message = "BMP pixel data is truncated";
        return false;
    }
    info.format = "BMP";
    info.width = l.width;
    info.height = l.height;
    info.details = describe(l);
    info.orientation = 1;

    const bool alpha = l.channels[3].mask != 0;
    picture.width = l.width;
    picture.height = l.height;
    picture.bits = 8;
    picture.channels = alpha ? 4 : 3;
    picture.samples.assign(picture.row_bytes() * static_cast<std::size_t>(l.height), 0);

    bool any_alpha = false;
    for (int y = 0; y < l.height; ++y) {
        const int stored_row = l.top_down ? y : l.height - 1 - y;
        const std::uint8_t* row =
            file.data() + l.pixel_offset + static_cast<std::size_t>(stored_row) * l.stride;
        std::uint8_t* out =
            picture.samples.data() + static_cast<std::size_t>(y) * picture.row_bytes();
        for (int x = 0; x < l.width; ++x, out += picture.channels) {
            const auto ux = static_cast<std::size_t>(x);
            switch (l.bits) {
                case 1:
                case 4:
                case 8: {
                    const std::size_t bit = ux * static_cast<std::size_t>(l.bits);
                    const unsigned shift = 8 - static_cast<unsigned>(l.bits) - bit % 8;
                    const std::uint32_t index = (row[bit / 8] >> shift) & ((1u << l.bits) - 1);
                    if (index < l.palette_count) {  // an index past the palette stays black
                        const std::uint8_t* entry =
                            file.data() + l.palette_offset + index * l.palette_entry;
                        out[0] = entry[2];
                        out[1] = entry[1];
                        out[2] = entry[0];
                    }
                    break;
                }
                case 24:
                    out[0] = row[ux * 3 + 2];
                    out[1] = row[ux * 3 + 1];
                    out[2] = row[ux * 3];
                    break;
                default: {
                    const std::uint32_t pixel =
                        l.bits == 16
                            ? static_cast<std::uint32_t>(row[ux * 2] | row[ux * 2 + 1] << 8)
                            : static_cast<std::uint32_t>(row[ux * 4]) |
                                  static_cast<std::uint32_t>(row[ux * 4 + 1]) << 8 |
                                  static_cast<std::uint32_t>(row[ux * 4 + 2]) << 16 |
                                  static_cast<std::uint32_t>(row[ux * 4 + 3]) << 24;
                    for (std::size_t c = 0; c < static_cast<std::size_t>(picture.channels); ++c) {
                        out[c] = l.channels[c].value(pixel);
                    }
                    if (alpha && out[3] != 0) any_alpha = true;
                    break;
                }
            }
        }
    }
    if (alpha && !any_alpha) {
        // An alpha mask over bytes that are all zero: writers that leave the
        // fourth byte unused make these; the picture is opaque.
        for (std::size_t i = 3; i < picture.samples.size(); i += 4) picture.samples[i] = 255;
    }
    return true;
}

}  // namespace brenvik::input
