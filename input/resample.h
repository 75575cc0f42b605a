// Resampling filters and their integer weights.
//
// Output pixel o of a line scaled from `source` to `scaled` pixels is
// centred on source position (o + 0.5) * source / scaled; source pixel i,
// centred on i + 0.5, weighs kernel(distance / stretch), where the stretch is
// source / scaled when shrinking (the kernel widened to cover every source
// pixel) and 1 when enlarging. Taps that fall outside the line are left out
// and the others share their weight. Weights are integers of kWeightBits
// fraction bits summing exactly to one; they are computed with additions,
// multiplications and divisions of doubles only (the sine below is a
// polynomial), so they are the same on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brenvik::input {

enum class Filter {
    lanczos3,     // sinc(x) sinc(x / 3) for |x| < 3
    catmull_rom,  // the cubic with B = 0, C = 1/2, |x| < 2
};

inline constexpr int kWeightBits = 14;
inline constexpr std::int32_t kWeightOne = 1 << kWeightBits;

// The kernel's value at x.
double filter_kernel(Filter filter, double x);

// sin(pi x), a polynomial after reducing x to [-1/2, 1/2]; exact 0 at integers.
double sin_pi(double x);

// Weights of outputs first .. first + count - 1 of a line scaled from
// `source` to `scaled` pixels: output k reads source pixels start[k] ..
// start[k] + length[k] - 1 with weights[offset[k] ..].
struct FilterTaps {
    std::vector<int> start;
    std::vector<int> length;
    std::vector<std::size_t> offset;
    std::vector<std::int32_t> weights;
};
FilterTaps filter_taps(Filter filter, int source, int scaled, int first, int count);

}  // namespace brenvik::input
