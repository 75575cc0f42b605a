// Picture files made at test time: PNG through libpng, JPEG through
// libjpeg-turbo (with an EXIF orientation when asked), BMP byte by byte.
// The pixels come from a function of the position as the picture is meant
// to be shown, so that an orientation can be written the way a camera does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace input_test {

using Bytes = std::vector<std::uint8_t>;

// 16-bit sample values (0..65535); 8-bit files take the high byte.
struct Rgba16 {
    std::uint16_t r = 0, g = 0, b = 0, a = 65535;
};
using Pattern = std::function<Rgba16(int x, int y)>;

inline Rgba16 from_8_bits(int r, int g, int b, int a = 255) {
    return {static_cast<std::uint16_t>(r * 257), static_cast<std::uint16_t>(g * 257),
            static_cast<std::uint16_t>(b * 257), static_cast<std::uint16_t>(a * 257)};
}

enum class PngKind { rgb, rgba, grey, grey_alpha, palette };

// A PNG of the kind at 8 or 16 bits (palettes: 8 bits, the colours of the
// pattern's pixels, at most 256), optionally interlaced.
Bytes png_file(int width, int height, PngKind kind, int bits, const Pattern& pattern,
               bool interlaced = false);

enum class JpegKind { colour, grey, cmyk };

// A JPEG of the picture shown as `width` x `height`, stored so that EXIF
// orientation `orientation` (1..8; 1 writes no EXIF) shows it that way.
Bytes jpeg_file(int width, int height, JpegKind kind, bool progressive, int orientation,
                const Pattern& pattern, int quality = 95);

// TIFF-format EXIF data with one Orientation entry (after `other_entries`
// unrelated ones), little- or big-endian.
Bytes exif_tiff(int orientation, bool big_endian, int other_entries = 0);

struct BmpOptions {
    int bits = 24;  // 1, 4, 8 (palette), 16, 24, 32
    bool top_down = false;
    int header_size = 40;     // 12, 40, 108 or 124
    bool bit_fields = false;  // 16/32 bits: masks written (with alpha at 32 bits)
};

// A BMP of the pattern; palettes take the colours of the pattern's pixels.
Bytes bmp_file(int width, int height, const BmpOptions& options, const Pattern& pattern);

}  // namespace input_test
