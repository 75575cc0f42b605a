#include "encoder/conversion/predither.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "encoder/colour/colour.h"

namespace brenvik {

std::array<int, 2> checkerboard_levels(int v) {
    return two_nearest_levels(v, kFullLevelStep);
}

int sierra_quantise(int v, double step) {
    const long level = std::lroundf(static_cast<float>(static_cast<float>(v) / step));
    const int quantised = static_cast<int>(std::trunc(static_cast<double>(level) * step));
    return std::clamp(quantised, 0, 255);
}

void predither_checkerboard(PictureTables& picture) {
    for (int y = 1; y <= picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const auto& src = picture.undithered_source.at(x, y);
            std::array<int, 3> lower{};
            std::array<int, 3> upper{};
            for (int c = 0; c < 3; ++c) {
                const auto levels = checkerboard_levels(src[c]);
                lower[c] = levels[0];
                upper[c] = levels[1];
            }
            const int lower_sum = lower[0] + lower[1] + lower[2];
            const int upper_sum = upper[0] + upper[1] + upper[2];
            std::array<int, 3> first = lower_sum > upper_sum ? lower : upper;
            std::array<int, 3> second = lower_sum > upper_sum ? upper : lower;
            if ((x + y) % 2 == 1) std::swap(first, second);
            auto& t = picture.target_colours.at(x + 1, y);
            for (int c = 0; c < 3; ++c) {
                t[1 + c] = std::clamp(first[c] * kFullLevelStep, 0, 255);
                t[4 + c] = std::clamp(second[c] * kFullLevelStep, 0, 255);
            }
        }
    }
}

void predither_sierra(PictureTables& picture, double step) {
    const int width = picture.width;
    const int height = picture.height;
    Grid<std::array<double, 6>> working(width, height + 2);
    for (int y = 1; y <= height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto& o = picture.source_colours.at(x, y);
            for (int c = 0; c < 6; ++c) working.at(x, y)[c] = o[c];
        }
    }
    for (int y = 1; y <= height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::array<int, 6> v{};
            std::array<int, 6> quantised{};
            std::array<int, 6> error{};
            for (int c = 0; c < 6; ++c) {
                v[c] = static_cast<int>(working.at(x, y)[c]);
                quantised[c] = sierra_quantise(v[c], step);
                error[c] = v[c] - quantised[c];
            }
            const int sum = error[0] + error[1] + error[2];
            if (sum >= -1 && sum <= 1) error[0] = error[1] = error[2] = 0;
            const auto& original = picture.source_colours.at(x, y);
            bool drift = false;
            for (int c = 0; c < 3; ++c) {
                if (std::abs(quantised[c] - original[c]) > kFullLevelStep) drift = true;
            }
            if (drift) {
                // Wandered too far from the source colour: start again from it.
                for (int c = 0; c < 3; ++c) {
                    quantised[c] = sierra_quantise(original[c], step);
                    error[c] = 0;
                }
            }
            auto& t = picture.target_colours.at(x + 1, y);
            for (int c = 0; c < 6; ++c) t[1 + c] = quantised[c];
            for (int c = 0; c < 6; ++c) {
                if (x >= 1 && y < height) working.at(x - 1, y + 1)[c] += error[c] / 4.0;
                if (y < height) working.at(x, y + 1)[c] += error[c] / 4.0;
                if (x < width - 1) working.at(x + 1, y)[c] += error[c] / 2.0;
            }
            if (x < width - 1) {
                for (double& w : working.at(x + 1, y)) w = std::clamp(w, 0.0, 255.0);
            }
        }
    }
}

}  // namespace brenvik
