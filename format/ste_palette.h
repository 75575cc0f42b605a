// STE colour registers and palette words.
//
//   16 colour registers, each a 16-bit word 0RGB: one nibble per channel.
//   A nibble holds a level L (0..15) with its bits rotated: the three high
//   bits of L in nibble bits 2..0, the lowest bit of L in nibble bit 3, so a
//   plain ST (three bits per channel, nibble bits 2..0) shows L / 2.
//   A 12-bit colour id is red << 8 | green << 4 | blue, in levels.
//
// Every program that turns levels into palette words or back uses these.
#pragma once

#include <array>
#include <cstdint>

namespace format {

inline constexpr int kRegisterCount = 16;
inline constexpr int kLevelCount = 16;
inline constexpr int kColourCount = 4096;                       // 12-bit colour ids
inline constexpr std::uint32_t kPaletteRegisters = 0xFFFF8240;  // register 0's address

// Register nibble of a level, and the level of a nibble.
constexpr int ste_nibble(int level) {
    return ((level >> 1) & 7) | ((level & 1) << 3);
}
constexpr int level_of_nibble(int nibble) {
    return ((nibble & 7) << 1) | ((nibble >> 3) & 1);
}

constexpr int colour_id(int red, int green, int blue) {
    return (red << 8) | (green << 4) | blue;
}

// Palette word of three levels, and the levels of a word (red, green, blue).
constexpr std::uint16_t palette_word(int red, int green, int blue) {
    return static_cast<std::uint16_t>((ste_nibble(red) << 8) | (ste_nibble(green) << 4) |
                                      ste_nibble(blue));
}
constexpr std::array<int, 3> levels_of_word(std::uint16_t word) {
    return {level_of_nibble((word >> 8) & 15), level_of_nibble((word >> 4) & 15),
            level_of_nibble(word & 15)};
}

// The same between palette words and 12-bit colour ids.
constexpr std::uint16_t word_of_colour(int colour) {
    return palette_word((colour >> 8) & 15, (colour >> 4) & 15, colour & 15);
}
constexpr int colour_of_word(std::uint16_t word) {
    const std::array<int, 3> levels = levels_of_word(word);
    return colour_id(levels[0], levels[1], levels[2]);
}

}  // namespace format
