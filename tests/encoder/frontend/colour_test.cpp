// Colour model: levels of target values and optimiser components, STE
// register nibbles and palette words, the 12-bit index, and the choice of the
// level step from sampled pixels.
#include "encoder/colour/colour.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "frontend_support.h"

namespace {

// --- Levels of target values ----------------------------------------------

struct LevelRange {
    int step;
    int low;
    int high;
    int level;
};

void PrintTo(const LevelRange& c, std::ostream* os) {
    *os << c.low << ".." << c.high << " step " << c.step;
}

class TargetLevelRange : public testing::TestWithParam<LevelRange> {};

TEST_P(TargetLevelRange, EveryValueOfTheRangeGivesTheLevel) {
    const LevelRange& r = GetParam();
    for (int v = r.low; v <= r.high; ++v) {
        EXPECT_EQ(brenvik::level_of_target(v, r.step), r.level)
            << "value " << v << " step " << r.step;
    }
}

INSTANTIATE_TEST_SUITE_P(Colour, TargetLevelRange,
                         testing::Values(LevelRange{17, 0, 8, 0}, LevelRange{17, 9, 25, 1},
                                         LevelRange{17, 26, 42, 2}, LevelRange{17, 247, 255, 15},
                                         LevelRange{16, 0, 8, 0}, LevelRange{16, 9, 24, 1},
                                         LevelRange{16, 25, 40, 2}, LevelRange{16, 217, 232, 14},
                                         LevelRange{16, 233, 255, 15}));

// v - 0.01 rounded to the nearest multiple of the step, halves down: level L
// starts at the first integer above L * step - step / 2. For step 17 that is
// 17L - 8, so L = (v + 8) / 17; for step 16 it is 16L - 7, so L = (v + 7) / 16,
// which reaches 16 from 249 on and is held at 15.
TEST(TargetLevel, AgreesWithTheHalfDownRoundingForEveryValue) {
    for (int v = 0; v <= 255; ++v) {
        EXPECT_EQ(brenvik::level_of_target(v, 17.0), (v + 8) / 17) << "value " << v;
        EXPECT_EQ(brenvik::level_of_target(v, 16.0), std::min(15, (v + 7) / 16)) << "value " << v;
    }
}

TEST(TargetLevel, NeverExceeds15) {
    EXPECT_EQ(brenvik::level_of_target(255, 16.0), 15);
    EXPECT_EQ(brenvik::level_of_target(249, 16.0), 15);
    EXPECT_EQ(brenvik::level_of_target(255, 17.0), 15);
}

// --- Levels of optimiser components ---------------------------------------

struct ComponentCase {
    int u;
    int step;
    int level;
};

void PrintTo(const ComponentCase& c, std::ostream* os) {
    *os << c.u << " step " << c.step;
}

class ComponentLevel : public testing::TestWithParam<ComponentCase> {};

TEST_P(ComponentLevel, TruncatesAndHoldsAt15) {
    const ComponentCase& c = GetParam();
    EXPECT_EQ(brenvik::level_of_component(c.u, c.step), c.level) << c.u << " @ " << c.step;
}

INSTANTIATE_TEST_SUITE_P(Colour, ComponentLevel,
                         testing::Values(ComponentCase{255, 17, 15}, ComponentCase{16, 17, 0},
                                         ComponentCase{17, 17, 1}, ComponentCase{33, 17, 1},
                                         ComponentCase{34, 17, 2}, ComponentCase{0, 17, 0},
                                         ComponentCase{254, 17, 14}, ComponentCase{240, 16, 15},
                                         ComponentCase{239, 16, 14}, ComponentCase{255, 16, 15},
                                         ComponentCase{15, 16, 0}, ComponentCase{16, 16, 1},
                                         ComponentCase{256, 16, 15}, ComponentCase{300, 17, 15}));

// --- Nibbles, words and indices -------------------------------------------

TEST(SteNibble, LowestLevelBitGoesToTheNibblesTopBit) {
    // Level 0..15 -> nibble: the three high level bits shifted down, the
    // lowest level bit on top (an ST reads only nibble bits 2..0).
    const int expected[16] = {0x0, 0x8, 0x1, 0x9, 0x2, 0xA, 0x3, 0xB,
                              0x4, 0xC, 0x5, 0xD, 0x6, 0xE, 0x7, 0xF};
    for (int level = 0; level < 16; ++level) {
        EXPECT_EQ(format::ste_nibble(level), expected[level]) << "level " << level;
        EXPECT_EQ(format::ste_nibble(level) & 7, level / 2) << "ST view of level " << level;
    }
}

struct WordCase {
    int r;
    int v;
    int b;
    int step;  // 0: the three values are levels
    unsigned word;
};

void PrintTo(const WordCase& c, std::ostream* os) {
    *os << c.r << "," << c.v << "," << c.b << " step " << c.step;
}

class PaletteWord : public testing::TestWithParam<WordCase> {};

TEST_P(PaletteWord, PacksRedGreenBlueNibbles) {
    const WordCase& c = GetParam();
    const unsigned word = c.step == 0 ? format::palette_word(c.r, c.v, c.b)
                                      : brenvik::palette_word(c.r, c.v, c.b, c.step);
    EXPECT_EQ(word, c.word) << c.r << "," << c.v << "," << c.b << " step " << c.step;
    EXPECT_EQ(word & 0xF000u, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Colour, PaletteWord,
    testing::Values(WordCase{15, 15, 15, 0, 0x0FFF}, WordCase{1, 0, 0, 0, 0x0800},
                    WordCase{8, 4, 2, 0, 0x0421}, WordCase{0, 0, 0, 0, 0x0000},
                    WordCase{0, 1, 0, 0, 0x0080}, WordCase{0, 0, 1, 0, 0x0008},
                    WordCase{14, 7, 3, 0, 0x07B9},
                    // Optimiser colours are level x step on the 0..255 scale.
                    WordCase{255, 255, 255, 17, 0x0FFF}, WordCase{17, 0, 0, 17, 0x0800},
                    WordCase{136, 68, 34, 17, 0x0421}, WordCase{128, 64, 32, 16, 0x0421},
                    WordCase{240, 240, 240, 16, 0x0FFF}, WordCase{16, 16, 16, 17, 0x0000}));

TEST(ColourIndex, RedGreenBlueLevelsInThreeNibbles) {
    EXPECT_EQ(brenvik::colour_id(15, 15, 15), 4095);
    EXPECT_EQ(brenvik::colour_id(1, 2, 3), 0x123);
    EXPECT_EQ(brenvik::colour_id(15, 0, 0), 0xF00);
    EXPECT_EQ(brenvik::colour_id(0, 0, 9), 9);
}

// --- Level step -------------------------------------------------------------

using Colour = std::array<int, 3>;
using PictureFn = std::function<Colour(int x, int y)>;  // columns and lines from 1

brenvik::PictureTables make_tables(int width, int height, const PictureFn& colour) {
    brenvik::PictureTables pic;
    pic.width = width;
    pic.height = height;
    pic.allocated_lines = height + 10;
    pic.target_colours.reset(width + 3, pic.allocated_lines);
    for (int y = 1; y <= height; ++y) {
        for (int x = 1; x <= width; ++x) {
            const Colour c = colour(x, y);
            auto& t = pic.target_colours.at(x, y);
            t[1] = c[0];
            t[2] = c[1];
            t[3] = c[2];
            // The second target never takes part in the detection.
            t[4] = t[5] = t[6] = 17;
        }
    }
    return pic;
}

// The detection's counts, following its sampling rule: 49 samples, each
// taking first x = rand() % (W - 1) + 1 then y = rand() % (H - 1) + 1; every
// non-zero channel is tested, and counted off-grid unless a multiple of 16.
std::pair<int, int> model_counts(std::uint32_t seed, int width, int height,
                                 const PictureFn& colour) {
    frontend_test::ModelGenerator rng(seed);
    int off_grid = 0;
    int tested = 0;
    for (int i = 0; i < 49; ++i) {
        const int x = rng.next() % (width - 1) + 1;
        const int y = rng.next() % (height - 1) + 1;
        for (int value : colour(x, y)) {
            if (value == 0) continue;
            ++tested;
            if (value % 16 != 0) ++off_grid;
        }
    }
    return {off_grid, tested};
}

struct StepCase {
    const char* name;
    int width;
    int height;
    PictureFn colour;
    int step;
};

void PrintTo(const StepCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<StepCase> step_cases() {
    // The first pixel that seed 42 samples on a 320 x 200 picture.
    frontend_test::ModelGenerator first(42);
    const int odd_x = first.next() % 319 + 1;
    const int odd_y = first.next() % 199 + 1;
    return {
        {"black_picture_has_nothing_to_test", 320, 200,
         [](int, int) {
             return Colour{0, 0, 0};
         },
         16},
        {"multiples_of_16", 320, 200,
         [](int x, int y) {
             return Colour{(x % 16) * 16, (y % 16) * 16, ((x + y) % 16) * 16};
         },
         16},
        {"value_17_everywhere", 320, 200,
         [](int, int) {
             return Colour{17, 17, 17};
         },
         17},
        {"one_sampled_value_off_the_grid", 320, 200,
         [odd_x, odd_y](int x, int y) {
             return Colour{32, x == odd_x && y == odd_y ? 17 : 48, 240};
         },
         17},
        // Sampling never reaches the last column or the last line.
        {"off_grid_only_on_the_last_column_and_line", 320, 200,
         [](int x, int y) {
             return x == 320 || y == 200 ? Colour{17, 17, 17} : Colour{16, 16, 16};
         },
         16},
        {"small_overscan_sized_grid", 416, 229,
         [](int x, int) {
             return Colour{x % 2 * 16, 0, 0};
         },
         16},
    };
}

class LevelStep : public testing::TestWithParam<StepCase> {};

TEST_P(LevelStep, ChosenFromTheSampledChannelsAndReported) {
    const StepCase& c = GetParam();
    for (std::uint32_t seed : {42u, 2394u}) {
        brenvik::PictureTables pic = make_tables(c.width, c.height, c.colour);
        // A previous choice must not leak into this one.
        pic.level_step_real = c.step == 17 ? 16.0 : 17.0;
        pic.level_step = c.step == 17 ? 16 : 17;
        brenvik::Random rng(seed);
        brenvik::TextSink out;
        brenvik::detect_level_step(pic, rng, out);

        const auto [off_grid, tested] = model_counts(seed, c.width, c.height, c.colour);
        EXPECT_EQ(out.text(), "nbbits16=" + std::to_string(off_grid) +
                                  " nbbitstest16=" + std::to_string(tested) + " \n")
            << "seed " << seed;
        // The step the fixture was built for holds for seed 42; any seed picks 16
        // exactly when no sampled value is off the grid.
        const int step = off_grid == 0 ? 16 : 17;
        if (seed == 42) {
            EXPECT_EQ(step, c.step) << "fixture";
        }
        EXPECT_EQ(pic.level_step, step) << "seed " << seed;
        EXPECT_EQ(pic.level_step_real, static_cast<double>(step)) << "seed " << seed;

        // Exactly 98 draws were taken from the generator.
        frontend_test::ModelGenerator after(seed);
        for (int i = 0; i < 98; ++i) after.next();
        EXPECT_EQ(rng.next(), after.next()) << "seed " << seed;
    }
}

INSTANTIATE_TEST_SUITE_P(Colour, LevelStep, testing::ValuesIn(step_cases()),
                         [](const testing::TestParamInfo<StepCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(LevelStep, ReportsTheCountsOfAUniformPicture) {
    // Every sample tests three channels: 147 values.
    const std::pair<PictureFn, std::string> cases[] = {
        {[](int, int) {
             return Colour{0, 0, 0};
         },
         "nbbits16=0 nbbitstest16=0 \n"},
        {[](int, int) {
             return Colour{17, 17, 17};
         },
         "nbbits16=147 nbbitstest16=147 \n"},
        {[](int, int) {
             return Colour{16, 0, 240};
         },
         "nbbits16=0 nbbitstest16=98 \n"},
        {[](int, int) {
             return Colour{16, 0, 255};
         },
         "nbbits16=49 nbbitstest16=98 \n"},
    };
    for (const auto& [colour, line] : cases) {
        brenvik::PictureTables pic = make_tables(320, 20, colour);
        brenvik::Random rng(42);
        brenvik::TextSink out;
        brenvik::detect_level_step(pic, rng, out);
        EXPECT_EQ(out.text(), line);
    }
}

}  // namespace
