// Fixtures for the front-end tests: a private temporary folder, BMP files
// built byte by byte, captured output streams, and an independent model of
// the encoder's random generator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/common/files.h"

namespace frontend_test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

using testsupport::TempDir;
using testsupport::write_file;

// An in-memory FILE* whose text can be read back.
class Capture {
  public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    std::FILE* file() const { return file_; }
    std::string text();

  private:
    std::FILE* file_ = nullptr;
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
};

// Colour byte (channel 0 = B, 1 = V, 2 = R) of the pixel at column x (from 0)
// on line y (from 1, the top of the picture). Every line differs from its
// neighbours, so a picture read upside down or shifted never matches.
std::uint8_t pattern_byte(int x, int y, int channel, int salt);

// Pixel data of a W x H pattern picture, in BMP order (bottom row first) or
// top row first.
Bytes pattern_pixels(int width, int height, int salt, bool top_down = false);

// Pixel data of a picture whose every byte is `value`.
inline Bytes uniform_pixels(int width, int height, std::uint8_t value) {
    return Bytes(static_cast<std::size_t>(width) * height * 3, value);
}

// The fields of a BMP file that the tests vary.
struct BmpFields {
    int width = 320;
    int height = 20;  // negative: top-down
    std::uint16_t bits_per_pixel = 24;
    std::uint32_t compression = 0;
    std::uint32_t pixel_offset = 54;  // the header is padded with filler up to here
    bool signature_ok = true;
};

// A complete BMP file: the 14-byte file header, a 40-byte info header,
// filler bytes up to the pixel offset, then `pixels`.
Bytes make_bmp(const BmpFields& fields, const Bytes& pixels);

// Writes a valid 24-bit BMP of the pattern picture.
void write_pattern_bmp(const std::string& path, int width, int height, int salt);

// The generator the encoder must implement, written out from its definition:
// state' = state * 214013 + 2531011 modulo 2^32, result bits 30..16.
class ModelGenerator {
  public:
    explicit ModelGenerator(std::uint32_t seed) : state_(seed) {}
    int next() {
        state_ = (state_ * 214013ull + 2531011ull) % 4294967296ull;
        return static_cast<int>((state_ / 65536ull) % 32768ull);
    }

  private:
    std::uint64_t state_;
};

}  // namespace frontend_test
