#include "encoder/colour/colour.h"

#include <algorithm>
#include <cmath>

namespace brenvik {

int level_of_target(int v, double level_step_real) {
    const long level = std::lroundf(static_cast<float>((v - 0.01) / level_step_real));
    return level > 15 ? 15 : static_cast<int>(level);
}

std::array<int, 2> two_nearest_levels(int v, double step) {
    const long level1 = std::lroundf(static_cast<float>(v / step));
    const long level2 = level1 + std::lroundf(static_cast<float>(2 * (v - level1 * step) / step));
    return {static_cast<int>(level1), static_cast<int>(level2)};
}

int level_of_component(int u, int level_step) {
    const int level = u / level_step;
    return level > 15 ? 15 : level;
}

std::uint16_t palette_word(int r, int v, int b, int level_step) {
    return palette_word_of_levels(level_of_component(r, level_step),
                                  level_of_component(v, level_step),
                                  level_of_component(b, level_step));
}

namespace {

int compute_rounded_level(int v, double step) {
    const long level = std::lroundf(static_cast<float>(v / step));
    return level > 15 ? 15 : static_cast<int>(level);
}

std::array<int, 2> compute_two_levels(int v, double step) {
    const auto levels = two_nearest_levels(v, step);
    return {std::clamp(levels[0], 0, 15), std::clamp(levels[1], 0, 15)};
}

bool is_byte(int v) {
    return v >= 0 && v <= 255;
}

}  // namespace

void set_level_step(PictureTables& picture, int step) {
    picture.level_step = step;
    picture.level_step_real = step;
    for (int v = 0; v < 256; ++v) {
        picture.rounded_level[v] = compute_rounded_level(v, picture.level_step_real);
        picture.target_level[v] = level_of_target(v, picture.level_step_real);
        picture.two_levels[v] = compute_two_levels(v, picture.level_step_real);
    }
}

int rounded_level(const PictureTables& picture, int v) {
    return is_byte(v) ? picture.rounded_level[v]
                      : compute_rounded_level(v, picture.level_step_real);
}

int target_level(const PictureTables& picture, int v) {
    return is_byte(v) ? picture.target_level[v] : level_of_target(v, picture.level_step_real);
}

std::array<int, 2> two_levels(const PictureTables& picture, int v) {
    return is_byte(v) ? picture.two_levels[v] : compute_two_levels(v, picture.level_step_real);
}

void detect_level_step(PictureTables& picture, Random& rng, TextSink& out) {
    int off_grid = 0;
    int tested = 0;
    for (int i = 0; i < 49; ++i) {
        const int x = rng.next() % (picture.width - 1) + 1;
        const int y = rng.next() % (picture.height - 1) + 1;
        const auto& target = picture.target_colours.at(x, y);
        for (int c = 1; c <= 3; ++c) {
            if (target[c] != 0) {
                ++tested;
                if (target[c] % 16 != 0) ++off_grid;
            }
        }
    }
    out.printf("nbbits16=%d nbbitstest16=%d \n", off_grid, tested);
    set_level_step(picture, off_grid == 0 ? 16 : 17);
}

}  // namespace brenvik
