#include "encoder/conversion/predither.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "encoder/colour/colour.h"

namespace brenvik {

std::array<int, 2> checkerboard_levels(int v) {
    return two_nearest_levels(v, 17.0);
}

int sierra_quantise(int v, double step) {
    const long level = std::lroundf(static_cast<float>(static_cast<float>(v) / step));
    const int q = static_cast<int>(std::trunc(static_cast<double>(level) * step));
    return std::clamp(q, 0, 255);
}

void predither_checkerboard(PictureTables& picture) {
    for (int y = 1; y <= picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const auto& src = picture.undithered_source.at(x, y);
            std::array<int, 3> c1{};
            std::array<int, 3> c2{};
            for (int c = 0; c < 3; ++c) {
                const auto levels = checkerboard_levels(src[c]);
                c1[c] = levels[0];
                c2[c] = levels[1];
            }
            const int s1 = c1[0] + c1[1] + c1[2];
            const int s2 = c2[0] + c2[1] + c2[2];
            std::array<int, 3> first = s1 > s2 ? c1 : c2;
            std::array<int, 3> second = s1 > s2 ? c2 : c1;
            if ((x + y) % 2 == 1) std::swap(first, second);
            auto& t = picture.target_colours.at(x + 1, y);
            for (int c = 0; c < 3; ++c) {
                t[1 + c] = std::clamp(first[c] * 17, 0, 255);
                t[4 + c] = std::clamp(second[c] * 17, 0, 255);
            }
        }
    }
}

void predither_sierra(PictureTables& picture, double step) {
    const int width = picture.width;
    const int height = picture.height;
    Grid<std::array<double, 6>> work(width, height + 2);
    for (int y = 1; y <= height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto& o = picture.source_colours.at(x, y);
            for (int c = 0; c < 6; ++c) work.at(x, y)[c] = o[c];
        }
    }
    for (int y = 1; y <= height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::array<int, 6> v{};
            std::array<int, 6> q{};
            std::array<int, 6> e{};
            for (int c = 0; c < 6; ++c) {
                v[c] = static_cast<int>(work.at(x, y)[c]);
                q[c] = sierra_quantise(v[c], step);
                e[c] = v[c] - q[c];
            }
            const int sum = e[0] + e[1] + e[2];
            if (sum >= -1 && sum <= 1) e[0] = e[1] = e[2] = 0;
            const auto& original = picture.source_colours.at(x, y);
            bool drift = false;
            for (int c = 0; c < 3; ++c) {
                if (std::abs(q[c] - original[c]) > 17) drift = true;
            }
            if (drift) {
                // Wandered too far from the source colour: start again from it.
                for (int c = 0; c < 3; ++c) {
                    q[c] = sierra_quantise(original[c], step);
                    e[c] = 0;
                }
            }
            auto& t = picture.target_colours.at(x + 1, y);
            for (int c = 0; c < 6; ++c) t[1 + c] = q[c];
            for (int c = 0; c < 6; ++c) {
                if (x >= 1 && y < height) work.at(x - 1, y + 1)[c] += e[c] / 4.0;
                if (y < height) work.at(x, y + 1)[c] += e[c] / 4.0;
                if (x < width - 1) work.at(x + 1, y)[c] += e[c] / 2.0;
            }
            if (x < width - 1) {
                for (double& w : work.at(x + 1, y)) w = std::clamp(w, 0.0, 255.0);
            }
        }
    }
}

}  // namespace brenvik
