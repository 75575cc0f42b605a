// The BMP fields this project reads and writes (Windows BMP with a
// 40-byte info header; every number little-endian):
//
//   offset  size  field
//   0       2     signature "BM"
//   2       4     file size
//   10      4     offset of the pixel data
//   14      4     info header size (40)
//   18      4     width
//   22      4     height: positive = bottom row first, negative = top row first
//   26      2     planes (1)
//   28      2     bits per pixel
//   30      4     compression (0 = none)
//   34      4     pixel data size
//
// A 24-bit pixel is three bytes blue, green, red. Rows are padded to a
// multiple of four bytes (no padding at the widths 320 and 416).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace format::bmp {

inline constexpr std::size_t kHeaderBytes = 54;
inline constexpr std::size_t kFileSizeOffset = 2;
inline constexpr std::size_t kPixelOffsetOffset = 10;
inline constexpr std::size_t kInfoSizeOffset = 14;
inline constexpr std::size_t kWidthOffset = 18;
inline constexpr std::size_t kHeightOffset = 22;
inline constexpr std::size_t kPlanesOffset = 26;
inline constexpr std::size_t kBitsPerPixelOffset = 28;
inline constexpr std::size_t kCompressionOffset = 30;
inline constexpr std::size_t kPixelBytesOffset = 34;
// The fields up to the compression's, which every reader here needs.
inline constexpr std::size_t kRequiredHeaderBytes = kCompressionOffset + 4;

constexpr std::uint32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
constexpr std::uint16_t read_le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
constexpr void write_le32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
constexpr void write_le16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

// The header of a bottom-up, unpadded 24-bit picture of width x height,
// written over `base`: the other bytes (reserved field, resolutions, colour
// counts) are kept from it.
inline std::array<std::uint8_t, kHeaderBytes> header_24bit(
    const std::array<std::uint8_t, kHeaderBytes>& base, int width, int height) {
    std::array<std::uint8_t, kHeaderBytes> h = base;
    const std::uint32_t data =
        static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 3;
    h[0] = 'B';
    h[1] = 'M';
    write_le32(&h[kFileSizeOffset], static_cast<std::uint32_t>(kHeaderBytes) + data);
    write_le32(&h[kPixelOffsetOffset], static_cast<std::uint32_t>(kHeaderBytes));
    write_le32(&h[kInfoSizeOffset], 40);
    write_le32(&h[kWidthOffset], static_cast<std::uint32_t>(width));
    write_le32(&h[kHeightOffset], static_cast<std::uint32_t>(height));
    write_le16(&h[kPlanesOffset], 1);
    write_le16(&h[kBitsPerPixelOffset], 24);
    write_le32(&h[kCompressionOffset], 0);
    write_le32(&h[kPixelBytesOffset], data);
    return h;
}

}  // namespace format::bmp
