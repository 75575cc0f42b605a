// sRGB samples to linear light and back, in integers.
//
// Linear light is an integer of kLinearBits fraction bits (kLinearOne is
// full intensity). The tables are computed from the sRGB curve with additions,
// multiplications and divisions of doubles only (no pow or exp from the C
// library, whose last bit differs between runtimes), so every platform gets
// the same integers; the way back is a search among integer thresholds.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace brenvik::input {

inline constexpr int kLinearBits = 20;
inline constexpr std::int32_t kLinearOne = 1 << kLinearBits;

// The sRGB curve for v in [0, 1]: v / 12.92 up to 0.04045, else
// ((v + 0.055) / 1.055) ^ 2.4.
double srgb_to_linear(double v);

// Linear light of every 8-bit and every 16-bit sample value (built once).
const std::array<std::int32_t, 256>& linear_from_8_bits();
const std::vector<std::int32_t>& linear_from_16_bits();

// The 8-bit sRGB value whose interval holds `linear`: the value k with
// threshold(k) <= linear < threshold(k + 1), where threshold(k) is the linear
// light of sRGB (k - 0.5) / 255. Values below 0 give 0, above one give 255.
std::uint8_t srgb_from_linear(std::int64_t linear);

}  // namespace brenvik::input
