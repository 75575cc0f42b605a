#include "input/linear_light.h"

#include <algorithm>

namespace brenvik::input {

namespace {

// x ^ 0.4 for x in (0, 1]: the root of y^5 = x^2, by Newton's method from
// y = 1, which lies above the root, so every step moves down towards it.
// A fixed number of steps keeps the result independent of any tolerance.
double power_0_4(double x) {
    const double square = x * x;
    double y = 1.0;
    for (int step = 0; step < 48; ++step) {
        const double y2 = y * y;
        y = (4.0 * y + square / (y2 * y2)) / 5.0;
    }
    return y;
}

// Nearest integer of a non-negative double (the conversion truncates; the
// half added first makes it round).
std::int32_t round_to_integer(double value) {
    return static_cast<std::int32_t>(value + 0.5);
}

std::int32_t linear_integer(double srgb) {
    return round_to_integer(srgb_to_linear(srgb) * kLinearOne);
}

// threshold[k] for k = 1..255: the smallest integer linear value that
// rounds to sRGB k or more; threshold[0] is unused.
std::array<std::int32_t, 256> build_thresholds() {
    std::array<std::int32_t, 256> t{};
    for (int k = 1; k < 256; ++k) {
        const double exact = srgb_to_linear((k - 0.5) / 255.0) * kLinearOne;
        std::int32_t ceiling = static_cast<std::int32_t>(exact);
        if (ceiling < exact) ++ceiling;
        t[static_cast<std::size_t>(k)] = ceiling;
    }
    return t;
}

}  // namespace

double srgb_to_linear(double v) {
    if (v <= 0.0) return 0.0;
    if (v <= 0.04045) return v / 12.92;
    const double x = (v + 0.055) / 1.055;
    return x * x * power_0_4(x);
}

const std::array<std::int32_t, 256>& linear_from_8_bits() {
    static const std::array<std::int32_t, 256> table = [] {
        std::array<std::int32_t, 256> t{};
        for (int v = 0; v < 256; ++v) t[static_cast<std::size_t>(v)] = linear_integer(v / 255.0);
        return t;
    }();
    return table;
}

const std::vector<std::int32_t>& linear_from_16_bits() {
    static const std::vector<std::int32_t> table = [] {
        std::vector<std::int32_t> t(65536);
        for (int v = 0; v < 65536; ++v) {
            t[static_cast<std::size_t>(v)] = linear_integer(v / 65535.0);
        }
        return t;
    }();
    return table;
}

std::uint8_t srgb_from_linear(std::int64_t linear) {
    static const std::array<std::int32_t, 256> thresholds = build_thresholds();
    // The number of thresholds 1..255 at or below the value.
    const auto end = std::upper_bound(thresholds.begin() + 1, thresholds.end(), linear);
    return static_cast<std::uint8_t>(end - (thresholds.begin() + 1));
}

}  // namespace brenvik::input
