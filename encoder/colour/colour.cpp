#include "encoder/colour/colour.h"

#include <algorithm>
#include <cmath>

namespace brenvik {

int level_of_target(int value, double level_step_real) {
    const long level = std::lroundf(static_cast<float>((value - 0.01) / level_step_real));
    return level > 15 ? 15 : static_cast<int>(level);
}

std::array<int, 2> two_nearest_levels(int value, double step) {
    const long level1 = std::lroundf(static_cast<float>(value / step));
    const long level2 =
        level1 + std::lroundf(static_cast<float>(2 * (value - level1 * step) / step));
    return {static_cast<int>(level1), static_cast<int>(level2)};
}

int level_of_component(int component, int level_step) {
    const int level = component / level_step;
    return level > 15 ? 15 : level;
}

std::uint16_t palette_word(int red, int green, int blue, int level_step) {
    return format::palette_word(level_of_component(red, level_step),
                                level_of_component(green, level_step),
                                level_of_component(blue, level_step));
}

namespace {

int compute_rounded_level(int value, double step) {
    const long level = std::lroundf(static_cast<float>(value / step));
    return level > 15 ? 15 : static_cast<int>(level);
}

std::array<int, 2> compute_two_levels(int value, double step) {
    const auto levels = two_nearest_levels(value, step);
    return {std::clamp(levels[0], 0, 15), std::clamp(levels[1], 0, 15)};
}

bool is_byte(int value) {
    return value >= 0 && value <= 255;
}

}  // namespace

void set_level_step(PictureTables& picture, int step) {
    picture.level_step = step;
    picture.level_step_real = step;
    for (int value = 0; value < 256; ++value) {
        picture.rounded_level[value] = compute_rounded_level(value, picture.level_step_real);
        picture.target_level[value] = level_of_target(value, picture.level_step_real);
        picture.two_levels[value] = compute_two_levels(value, picture.level_step_real);
    }
}

int rounded_level(const PictureTables& picture, int value) {
    return is_byte(value) ? picture.rounded_level[value]
                          : compute_rounded_level(value, picture.level_step_real);
}

int target_level(const PictureTables& picture, int value) {
    return is_byte(value) ? picture.target_level[value]
                          : level_of_target(value, picture.level_step_real);
}

std::array<int, 2> two_levels(const PictureTables& picture, int value) {
    return is_byte(value) ? picture.two_levels[value]
                          : compute_two_levels(value, picture.level_step_real);
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
