// BMP input: the picture to encode and the second picture that supplies the
// second target colour of the two-palette settings.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "encoder/state/state.h"

namespace brenvik {

struct SourcePictures {
    // W x H pixels of 3 bytes (B, V, R), bottom row first, no padding.
    std::vector<std::uint8_t> first;
    std::vector<std::uint8_t> second;
    // 1 when the second picture came from the companion file.
    int bis_method = 0;
    // The input file's first 54 bytes (zero-filled if shorter), the base of
    // the preview headers.
    std::array<std::uint8_t, 54> header{};
};

// Name of the companion picture: the input name with its extension (a "."
// in the last path component and what follows) replaced by "_bis.bmp", or
// with "_bis.bmp" appended when it has none.
std::string companion_name(const std::string& name);

// Reads the input picture and prepares the second picture. On failure prints
// the message on `err` and returns false (the run exits with status 1).
bool load_pictures(const RunSettings& settings, const ScreenMode& mode, SourcePictures& pictures,
                   TextSink& out, std::FILE* err);

}  // namespace brenvik
