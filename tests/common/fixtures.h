// Small generated pictures and helpers to run the encoder in a temporary
// folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/common/files.h"

namespace testsupport {

// A 24-bit bottom-up BMP of W x H pixels; pixel(x, y) gives R, G, B for
// column x (0-based) and line y (0 = top).
struct Rgb {
    std::uint8_t r, g, b;
};
std::vector<std::uint8_t> make_bmp(int width, int height,
                                   const std::function<Rgb(int x, int y)>& pixel);

// A photo-like test picture: smooth gradients, a few shapes and some noise
// from a fixed generator, so every run builds the same bytes.
std::vector<std::uint8_t> synthetic_picture(int width, int height, unsigned seed);

struct RunOutput {
    int status = 0;
    std::string out;
    std::string err;
};

// Runs the encoder library's entry point with `args` (without the program
// name) from inside `dir`; `portable_search` forces the search code that
// runs where AVX2 is missing.
RunOutput run_encoder(const std::filesystem::path& dir, const std::vector<std::string>& args,
                      unsigned threads = 1, bool portable_search = false);

// Standard output with the processor-time figures masked.
std::string mask_times(const std::string& out);

}  // namespace testsupport
