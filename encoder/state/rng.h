// The encoder's random generator: a linear congruential generator with the
// classic 214013 / 2531011 constants and 15-bit results (0..32767).
//
// The search depends on every draw, so the arithmetic is fixed here instead of
// borrowing the C library's generator, whose sequence differs by platform.
#pragma once

#include <cstdint>

namespace brenvik {

class Random {
  public:
    static constexpr int kMax = 32767;

    Random() = default;
    explicit Random(std::uint32_t seed) : state_(seed) {}

    void reseed(std::uint32_t seed) { state_ = seed; }

    int next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

  private:
    std::uint32_t state_ = 1;
};

}  // namespace brenvik
