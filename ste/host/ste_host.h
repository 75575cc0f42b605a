// Host-side helpers for the STE display program: embedding a picture file
// into the ROM image template, the colour chart and colour table of the
// emulator, and the comparison of a captured frame with a rendering.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ste {

// The 320 x 200 picture of modes 0..2 (the colour chart's, and the capture
// the chart is measured from); other sizes come from format/screen_modes.h.
inline constexpr int kPictureWidth = 320;
inline constexpr int kPictureHeight = 200;
inline constexpr std::size_t kBitmapBytes = kPictureWidth * kPictureHeight / 2;

// What the display routine needs to know about a picture file.
struct PictureFormat {
    int mode = 0;          // 0..3
    int block_lines = 1;   // lines per palette record of the first set, 1..6
    int palette_sets = 1;  // 2 for the two-palette files
    int shift = 0;         // column shift of the schedule (shiftpixels - 5), -5..4
};

// Whether the display routine can follow the mode's schedule with that
// shift: palette writes land on every 4th column only, so mode 2 takes the
// shifts -4, 0 and 4 and mode 1 the shifts -2 and 2 (mode 0 has no shift).
// Mode 3 takes -3 only: its grid allows 1 too, but then the third reload of
// registers 8..15 would still be on the bus when the right border's write
// is due.
bool shift_supported(int mode, int shift);

// Palette words per record of a screen mode (0..3), 0 for any other mode.
int words_per_record(int mode);

// Lines and bitmap bytes of a screen mode's pictures (0..3), 0 for any
// other mode.
int picture_lines(int mode);
std::size_t bitmap_bytes(int mode);

// Size in bytes of a picture file of that format; 0 when the format is
// outside the ranges above.
std::size_t picture_file_size(const PictureFormat& format);

// Copies a picture file (and, when given, a second bitmap of the mode's size)
// into the payload of a ROM image template and fills its parameter block.
// Returns an empty string on success, else what is wrong.
std::string embed_picture(std::vector<std::uint8_t>& rom, const std::vector<std::uint8_t>& picture,
                          const PictureFormat& format,
                          const std::vector<std::uint8_t>* second_bitmap);

// An RGB picture, 3 bytes per pixel, rows from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    const std::uint8_t* pixel(int x, int y) const {
        return &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    }
};

// Reads a binary PPM (P6, maxval 255), as ffmpeg writes them.
bool parse_ppm(const std::vector<std::uint8_t>& bytes, Image& image, std::string& error);

// The emulator's RGB colour for each 12-bit STE colour (red level << 8 |
// green level << 4 | blue level, levels 0..15).
struct ColourTable {
    std::array<std::array<std::uint8_t, 3>, 4096> rgb{};
};

// STE palette word (each level's lowest bit in the nibble's top bit) of a
// 12-bit colour, and back.
std::uint16_t palette_word(int colour12);
int colour_of_word(std::uint16_t word);

// Text form: a comment line, then 4096 lines "index,r,g,b" in index order.
std::string format_colour_table(const ColourTable& table);
bool parse_colour_table(std::string_view text, ColourTable& table, std::string& error);

// A mode-2 picture file with two palette sets (one-line blocks) that shows
// colours 0..2047 in the frames of the first set and 2048..4095 in those of
// the second: line y < 128 shows colour 16y + r (plus 2048) in columns
// 20r..20r+19, the same colour in every slot of register r.
std::vector<std::uint8_t> colour_chart_picture();

// Reads the chart back from two consecutive captured frames (pixels
// doubled, 640 x 400), in either order. Fails when a chart cell is not one
// uniform colour.
bool measure_colour_chart(const Image& first, const Image& second, ColourTable& table,
                          std::string& error);

// Pixel-for-pixel comparison of a captured frame (each picture pixel shown
// as `scale` x `scale` pixels) with a rendering of the picture whose channels
// are level x 17 or level x 16. Every captured pixel of the block must be the
// table's colour for the reference pixel's 12-bit colour.
struct Comparison {
    long pixels = 0;
    long differing = 0;
    std::vector<long> differing_per_column;  // reference columns 0..width-1
    std::string first_difference;            // description of the first one
};
// Only columns first_column..last_column (1-based, inclusive) are compared
// when last_column is not 0.
bool compare_frame(const Image& reference, const Image& capture, int scale,
                   const ColourTable& table, Comparison& result, std::string& error,
                   int first_column = 1, int last_column = 0);

// Columns with differences as ranges, 1-based like the screen schedules:
// "58-61 (800) 102 (200)".
std::string describe_columns(const Comparison& result);

}  // namespace ste
