#include "input/exif.h"

#include <cstring>

namespace brenvik::input {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;

struct TiffReader {
    const std::uint8_t* data;
    std::size_t size;
    bool big_endian;

    bool u16(std::size_t at, std::uint16_t& value) const {
        if (at > size || size - at < 2) return false;
        const std::uint8_t* p = data + at;
        value = big_endian ? static_cast<std::uint16_t>(p[0] << 8 | p[1])
                           : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
        return true;
    }
    bool u32(std::size_t at, std::uint32_t& value) const {
        if (at > size || size - at < 4) return false;
        const std::uint8_t* p = data + at;
        value = big_endian ? static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]
                           : static_cast<std::uint32_t>(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0];
        return true;
    }
};

}  // namespace

int exif_orientation(const std::uint8_t* tiff, std::size_t size) {
    if (tiff == nullptr || size < 8) return 1;
    TiffReader r{tiff, size, false};
    if (tiff[0] == 'M' && tiff[1] == 'M') {
        r.big_endian = true;
    } else if (!(tiff[0] == 'I' && tiff[1] == 'I')) {
        return 1;
    }
    std::uint16_t magic = 0;
    std::uint32_t directory = 0;
    std::uint16_t entries = 0;
    if (!r.u16(2, magic) || magic != 42 || !r.u32(4, directory) || !r.u16(directory, entries)) {
        return 1;
    }
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::size_t entry = static_cast<std::size_t>(directory) + 2 + 12 * std::size_t{i};
        std::uint16_t tag = 0;
        std::uint16_t type = 0;
        std::uint32_t count = 0;
        if (!r.u16(entry, tag) || !r.u16(entry + 2, type) || !r.u32(entry + 4, count)) return 1;
        if (tag != kOrientationTag) continue;
        std::uint32_t value = 0;
        if (count < 1) return 1;
        if (type == kTypeShort) {
            std::uint16_t short_value = 0;
            if (!r.u16(entry + 8, short_value)) return 1;
            value = short_value;
        } else if (type != kTypeLong || count != 1 || !r.u32(entry + 8, value)) {
            return 1;
        }
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

int jpeg_app1_orientation(const std::uint8_t* payload, std::size_t size) {
    static constexpr char kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (payload == nullptr || size < sizeof kExifHeader ||
        std::memcmp(payload, kExifHeader, sizeof kExifHeader) != 0) {
        return 1;
    }
    return exif_orientation(payload + sizeof kExifHeader, size - sizeof kExifHeader);
}

DecodedPicture oriented(const DecodedPicture& stored, int orientation) {
    if (orientation < 2 || orientation > 8) return stored;
    const int w = stored.width;
    const int h = stored.height;
    DecodedPicture shown;
    shown.channels = stored.channels;
    shown.bits = stored.bits;
    shown.width = orientation_transposes(orientation) ? h : w;
    shown.height = orientation_transposes(orientation) ? w : h;
    shown.samples.resize(stored.samples.size());
    const std::size_t pixel = stored.pixel_bytes();
    const std::size_t shown_row = shown.row_bytes();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* from =
            stored.samples.data() + static_cast<std::size_t>(y) * stored.row_bytes();
        for (int x = 0; x < w; ++x, from += pixel) {
            int sx = x;
            int sy = y;
            switch (orientation) {
                case 2:
                    sx = w - 1 - x;
                    sy = y;
                    break;
                case 3:
                    sx = w - 1 - x;
                    sy = h - 1 - y;
                    break;
                case 4:
                    sx = x;
                    sy = h - 1 - y;
                    break;
                case 5:
                    sx = y;
                    sy = x;
                    break;
                case 6:
                    sx = h - 1 - y;
                    sy = x;
                    break;
                case 7:
                    sx = h - 1 - y;
                    sy = w - 1 - x;
                    break;
                case 8:
                    sx = y;
                    sy = w - 1 - x;
                    break;
                default:
                    break;
            }
            std::memcpy(shown.samples.data() + static_cast<std::size_t>(sy) * shown_row +
                            static_cast<std::size_t>(sx) * pixel,
                        from, pixel);
        }
    }
    return shown;
}

}  // namespace brenvik::input
