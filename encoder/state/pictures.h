// The pictures an encoding starts from, as read by the front end and used by
// the conversion and the writers.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace brenvik {

struct SourcePictures {
    // W x H pixels of 3 bytes (R, G, B), top row first, no padding: the
    // picture, and the second target colours.
    std::vector<std::uint8_t> first_pixels;
    std::vector<std::uint8_t> second_pixels;
    // 1 when the second picture came from the companion file.
    int has_companion = 0;
    // The base of the preview headers: the input file's first 54 bytes
    // (zero-filled if shorter).
    std::array<std::uint8_t, 54> header{};
};

}  // namespace brenvik
