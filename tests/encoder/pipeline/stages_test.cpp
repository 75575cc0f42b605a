// Single stages of the conversion on small hand-made inputs: pre-dithering,
// error diffusion, candidate lists.
#include <gtest/gtest.h>

#include <functional>

#include "encoder/colour/colour.h"
#include "encoder/conversion/diffusion.h"
#include "encoder/conversion/picture_tables.h"
#include "encoder/conversion/predither.h"
#include "encoder/frontend/options.h"
#include "encoder/optimiser/candidates.h"
#include "encoder/search/distances.h"
#include "encoder/state/screen_layout.h"
#include "format/screen_modes.h"
#include "tests/common/fixtures.h"

namespace {

using brenvik::Grid;
using Colour6 = std::array<int, 6>;
using Registers = std::array<std::array<int, 6>, 16>;

// Picture tables of a W x H picture whose pixels are given per line (0 = top).
brenvik::PictureTables make_tables(int width, int height,
                                   const std::function<testsupport::Rgb(int, int)>& first,
                                   const std::function<testsupport::Rgb(int, int)>& second) {
    // R, G, B, rows from the top, as the encoder takes pictures.
    const auto to_raw = [&](const std::function<testsupport::Rgb(int, int)>& pixel) {
        std::vector<std::uint8_t> rgb;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const testsupport::Rgb p = pixel(x, y);
                rgb.insert(rgb.end(), {p.r, p.g, p.b});
            }
        }
        return rgb;
    };
    brenvik::SourcePictures pictures;
    pictures.first_pixels = to_raw(first);
    pictures.second_pixels = to_raw(second);
    brenvik::RunSettings settings;
    brenvik::TextSink sink;
    brenvik::PictureTables picture;
    brenvik::load_picture_tables(pictures, brenvik::ScreenMode{0, 54, 0, width, height}, settings,
                                 picture, sink);
    return picture;
}

testsupport::Rgb grey(int v) {
    const auto b = static_cast<std::uint8_t>(v);
    return {b, b, b};
}

TEST(TwoNearestLevels, RoundsTowardsTheValue) {
    struct Case {
        int v;
        double step;
        int level1;
        int level2;
    };
    const Case cases[] = {{136, 17.0, 8, 8}, {140, 17.0, 8, 8},   {141, 17.0, 8, 9},
                          {145, 17.0, 9, 8}, {240, 16.0, 15, 15}, {236, 16.0, 15, 14},
                          {128, 17.0, 8, 7}, {250, 17.0, 15, 14}, {5, 17.0, 0, 1}};
    for (const Case& c : cases) {
        const auto levels = brenvik::two_nearest_levels(c.v, c.step);
        EXPECT_EQ(levels[0], c.level1) << c.v << " step " << c.step;
        EXPECT_EQ(levels[1], c.level2) << c.v << " step " << c.step;
    }
    for (int k = 0; k <= 15; ++k) {
        const auto levels = brenvik::checkerboard_levels(17 * k);
        EXPECT_EQ(levels[0], k);
        EXPECT_EQ(levels[1], k) << "an exact level makes no pattern";
    }
}

TEST(CheckerboardPredither, FlatGreyBecomesOppositeCheckerboards) {
    auto picture = make_tables(
        4, 2, [](int, int) { return grey(128); }, [](int, int) { return grey(0); });
    brenvik::predither_checkerboard(picture);
    for (int y = 1; y <= 2; ++y) {
        for (int x = 1; x <= 4; ++x) {
            const auto& t = picture.target_colours.at(x, y);
            // Column x (from 1) is source column x - 1; even squares start bright.
            const bool odd = ((x - 1) + y) % 2 == 1;
            const int first = odd ? 119 : 136;
            const int second = odd ? 136 : 119;
            EXPECT_EQ(t[1], first) << x << "," << y;
            EXPECT_EQ(t[3], first);
            EXPECT_EQ(t[4], second);
            EXPECT_EQ(t[6], second);
        }
    }
}

TEST(SierraPredither, QuantisesToTheGrid) {
    EXPECT_EQ(brenvik::sierra_quantise(100, 8.5), 102);
    EXPECT_EQ(brenvik::sierra_quantise(110, 8.5), 110);  // 13 x 8.5 = 110.5, truncated
    EXPECT_EQ(brenvik::sierra_quantise(255, 8.5), 255);
    EXPECT_EQ(brenvik::sierra_quantise(255, 17.0), 255);
    EXPECT_EQ(brenvik::sierra_quantise(8, 17.0), 0);
    EXPECT_EQ(brenvik::sierra_quantise(9, 17.0), 17);
}

// The first pixel's first-colour error reaches the right neighbour only when
// its channels do not sum to -1..1; the second colour's error always does.
TEST(SierraPredither, SmallFirstColourErrorIsDropped) {
    struct Case {
        testsupport::Rgb first;
        int neighbour_red;
    };
    // (20,16,16) -> 17s, error (3,-1,-1) sums to 1: dropped, 8 stays level 0.
    // (21,16,16) -> error (4,-1,-1) sums to 2: +2 takes 8 to 10, level 1.
    const Case cases[] = {{{20, 16, 16}, 0}, {{21, 16, 16}, 17}};
    for (const Case& c : cases) {
        auto picture = make_tables(
            2, 1,
            [&](int x, int) {
                return x == 0 ? c.first : testsupport::Rgb{8, 0, 0};
            },
            [](int x, int) { return x == 0 ? grey(25) : grey(22); });
        brenvik::predither_sierra(picture, 17.0);
        EXPECT_EQ(picture.target_colours.at(2, 1)[1], c.neighbour_red);
        // Second colour: 25 -> 17 leaves +8, half of it takes 22 to 26 -> 34.
        EXPECT_EQ(picture.target_colours.at(2, 1)[4], 34);
    }
}

TEST(SierraPredither, BordersKeepErrorsInsideThePicture) {
    // A 2 x 2 picture of grey 8; errors go right, below and below-left only
    // where that pixel exists.
    //   (0,1): 8 -> 0, error 8: +4 right, +2 below, no below-left.
    //   (1,1): 12 -> 17, error -5: -1.25 below-left and below, no right.
    //   (0,2): trunc(8 + 2 - 1.25) = 8 -> 0, error 8: +4 right only.
    //   (1,2): trunc(8 - 1.25 + 4) = 10 -> 17.
    auto picture = make_tables(
        2, 2, [](int, int) { return grey(8); }, [](int, int) { return grey(0); });
    brenvik::predither_sierra(picture, 17.0);
    EXPECT_EQ(picture.target_colours.at(1, 1)[1], 0);
    EXPECT_EQ(picture.target_colours.at(2, 1)[1], 17);
    EXPECT_EQ(picture.target_colours.at(1, 2)[1], 0);
    EXPECT_EQ(picture.target_colours.at(2, 2)[1], 17);
}

Registers grey_registers() {
    Registers regs{};
    for (int r = 0; r < 16; ++r) regs[r] = {r * 17, r * 17, r * 17, 0, 0, 0};
    return regs;
}

TEST(DiffusionStep, SmallErrorKeepsRegisterButPassesNothing) {
    const Registers regs = grey_registers();
    // Nearest is register 2 (34): error (2, -1, 1) sums to 2.
    const Colour6 pixel = {36, 33, 35, 0, 0, 0};
    const auto step = brenvik::diffusion_step(pixel, pixel, brenvik::register_planes(regs), 0, 32);
    EXPECT_EQ(step.register_index, 2);
    EXPECT_EQ(step.error, (std::array<int, 3>{0, 0, 0}));
    // (6, 0, 0) is passed on: pixel minus register, so a dark register
    // pushes the neighbours brighter.
    const Colour6 brighter = {40, 34, 34, 0, 0, 0};
    EXPECT_EQ(
        brenvik::diffusion_step(brighter, brighter, brenvik::register_planes(regs), 0, 32).error,
        (std::array<int, 3>{6, 0, 0}));
}

TEST(DiffusionStep, FarPixelIsMatchedFromItsUndiffusedColour) {
    Registers regs{};
    regs[3] = {200, 0, 0, 0, 0, 0};
    regs[5] = {0, 0, 200, 0, 0, 0};
    // The working colour drifted towards blue; the source colour is red.
    const Colour6 working = {0, 0, 160, 0, 0, 0};
    const Colour6 source = {190, 0, 0, 0, 0, 0};
    const auto guarded =
        brenvik::diffusion_step(working, source, brenvik::register_planes(regs), 0, 32);
    EXPECT_EQ(guarded.register_index, 3);
    EXPECT_EQ(guarded.error, (std::array<int, 3>{0, 0, 0}));
    // With the threshold of the two-palette mode (96) an error of 40 passes.
    const auto passed =
        brenvik::diffusion_step(working, source, brenvik::register_planes(regs), 0, 96);
    EXPECT_EQ(passed.register_index, 5);
    EXPECT_EQ(passed.error, (std::array<int, 3>{0, 0, -40}));
}

TEST(DiffusionStep, TiesGoToTheLowerRegister) {
    Registers regs{};
    regs[0] = {255, 255, 255, 0, 0, 0};
    regs[4] = {100, 100, 100, 0, 0, 0};
    regs[9] = {100, 100, 100, 0, 0, 0};
    const Colour6 pixel = {101, 100, 100, 0, 0, 0};
    EXPECT_EQ(brenvik::nearest_register(pixel, brenvik::register_planes(regs), 0).register_index,
              4);
}

TEST(DiffusionStep, SeparateSecondPictureAddsItsDistance) {
    Registers regs{};
    regs[1] = {100, 100, 100, 0, 0, 0};
    regs[2] = {90, 90, 90, 100, 100, 100};
    const Colour6 pixel = {100, 100, 100, 100, 100, 100};
    // Sums: register 1 is 100 short on every channel, register 2 only 10.
    EXPECT_EQ(brenvik::nearest_register(pixel, brenvik::register_planes(regs), 0).register_index,
              2);
    EXPECT_EQ(brenvik::nearest_register(pixel, brenvik::register_planes(regs), 0).error,
              (std::array<int, 3>{10, 10, 10}));
    // Separate pictures: 100^2 x 10 against 10^2 x 10 as well, but the error
    // is the first picture's alone.
    const auto nearest = brenvik::nearest_register(pixel, brenvik::register_planes(regs), 1);
    EXPECT_EQ(nearest.register_index, 2);
    EXPECT_EQ(nearest.error, (std::array<int, 3>{10, 10, 10}));
}

// Adds an error at (x, y) of a W x H grid of 100s and returns the grid.
Grid<Colour6> spread(int width, int height, int x, int y, std::array<int, 3> error, int kernel) {
    Grid<Colour6> work(width, height + 1, Colour6{100, 100, 100, 100, 100, 100});
    brenvik::spread_error(work, x, y, width, height, error, kernel);
    return work;
}

TEST(SpreadError, FloydSteinbergShares) {
    const auto w = spread(4, 3, 1, 1, {16, 0, -16}, 1);
    EXPECT_EQ(w.at(2, 1)[0], 107);
    EXPECT_EQ(w.at(0, 2)[0], 103);
    EXPECT_EQ(w.at(1, 2)[0], 105);
    EXPECT_EQ(w.at(2, 2)[0], 101);
    EXPECT_EQ(w.at(2, 1)[2], 93);
    EXPECT_EQ(w.at(2, 1)[3], 100) << "the second picture's colour is not changed";
    EXPECT_EQ(w.at(0, 1)[0], 100) << "nothing goes back or up";
}

TEST(SpreadError, NegativeShareTruncatesTowardZero) {
    const auto w = spread(4, 3, 1, 1, {-5, 0, 0}, 1);
    EXPECT_EQ(w.at(2, 1)[0], 97);  // 100 - 2.1875
    EXPECT_EQ(w.at(2, 2)[0], 99);  // 100 - 0.3125
}

TEST(SpreadError, BordersOfEveryKernel) {
    struct Case {
        int kernel;
        int x;
        int y;
        int changed;  // neighbours that receive a share
    };
    // 4 x 3 picture, error 64 in red.
    const Case cases[] = {
        {1, 0, 1, 3},  // first column: no below-left
        {1, 3, 1, 2},  // last column: no right, no below-right
        {1, 1, 3, 1},  // last line: right only
        {1, 3, 3, 0},  // bottom-right: nowhere
        {2, 0, 1, 2}, {2, 3, 2, 2}, {2, 2, 3, 1}, {3, 1, 1, 6},  // Atkinson inside
        {3, 2, 1, 5},                                            // column W-2: no (x+2, y)
        {3, 3, 1, 3},                                            // column W-1: no right at all
        {3, 1, 2, 5},                                            // line H-1: no (x, y+2)
        {3, 1, 3, 2},                                            // line H: right ones only
        {0, 1, 1, 0},                                            // no kernel
    };
    for (const Case& c : cases) {
        const auto w = spread(4, 3, c.x, c.y, {64, 0, 0}, c.kernel);
        int changed = 0;
        for (int y = 1; y <= 3; ++y) {
            for (int x = 0; x < 4; ++x) changed += w.at(x, y)[0] != 100;
        }
        EXPECT_EQ(changed, c.changed) << "kernel " << c.kernel << " at " << c.x << "," << c.y;
    }
}

// Candidate lists of the first block of a mode-0 picture.
struct ListsFixture {
    brenvik::RunSettings settings;
    brenvik::ScreenLayout layout = brenvik::build_screen_layout(format::kScreenModes[0], 0);
    brenvik::PictureTables picture;
    brenvik::CandidateLists lists;

    ListsFixture(int palette_mode, const std::function<testsupport::Rgb(int, int)>& pixel,
                 int dither_mode = 0, bool plain_distance = false, bool black_second = false) {
        settings.palette_mode = palette_mode;
        settings.dither_mode = dither_mode;
        settings.plain_distance = plain_distance;
        brenvik::derive_settings(settings);
        // The second picture is black for one palette without a companion.
        picture =
            make_tables(320, 4, pixel, black_second ? [](int, int) { return grey(0); } : pixel);
        brenvik::colour_statistics(picture);
        const brenvik::BlockLines lines{1, 1, 1};
        brenvik::BlockLog log;
        const brenvik::RunContext ctx{settings, layout, picture};
        if (palette_mode == 3) {
            brenvik::build_two_colour_lists(ctx, lines, lists, log);
        } else {
            brenvik::build_one_colour_lists(ctx, lines, lists, log);
        }
    }
    const std::vector<int>& colours(int slot) const { return lists.colours[slot]; }
    const std::vector<int>& ids(int slot) const { return lists.ids[slot]; }
};

TEST(OneColourLists, NeighboursOfDarkAndWhitePixels) {
    for (int v : {0, 8, 255}) {
        ListsFixture f(1, [&](int, int) { return grey(v); });
        // Slot 2 covers columns 1..29: 29 pixel entries, then one neighbour.
        ASSERT_EQ(f.lists.count[2], 30) << v;
        const int pixel_colour = v == 255 ? 0xFFF : 0x000;
        EXPECT_EQ(f.colours(2)[1], pixel_colour);
        EXPECT_EQ(f.colours(2)[30], v == 255 ? 0xEEE : 0x111) << v;
    }
}

TEST(OneColourLists, SlotEntriesPointAtTheLatestPixelEntry) {
    ListsFixture f(1, [](int x, int) { return x % 2 == 0 ? grey(136) : grey(68); });
    const int whole = f.layout.whole_line_slot();
    // The block's list: columns 1..320, then black and the most used colour.
    EXPECT_EQ(f.colours(whole)[321], 0);
    for (int n = 1; n <= 320; ++n) EXPECT_EQ(f.ids(whole)[n], n) << "own index";
    // Both greys cover as many pixels and lines; the lower index (grey 68)
    // is the most used colour, the last virtual column.
    EXPECT_EQ(f.picture.dominant_colour, 0x444);
    EXPECT_EQ(f.colours(whole)[322], 0x444);
    // Slot 2's entries carry the index of the last entry of their colour in
    // the block's list: column 319 for grey 136, the virtual column 322 for
    // grey 68.
    EXPECT_EQ(f.colours(2)[1], 0x888);
    EXPECT_EQ(f.ids(2)[1], 319);
    EXPECT_EQ(f.colours(2)[2], 0x444);
    EXPECT_EQ(f.ids(2)[2], 322);
}

TEST(TwoColourLists, RepeatedPairsPointAtTheFirstEntry) {
    ListsFixture f(3, [](int x, int) { return x % 3 == 0 ? grey(136) : grey(68); });
    const int whole = f.layout.whole_line_slot();
    // Columns 1, 2, 3 hold grey 136, 68, 68 (source columns 0, 1, 2).
    EXPECT_EQ(f.colours(whole)[1], 0x888888);
    EXPECT_EQ(f.colours(whole)[2], 0x444444);
    EXPECT_EQ(f.ids(whole)[1], 1);
    EXPECT_EQ(f.ids(whole)[2], 2);
    EXPECT_EQ(f.ids(whole)[3], 2);
    EXPECT_EQ(f.ids(whole)[4], 1);
    for (int n = 1; n <= 29; ++n) {
        EXPECT_EQ(f.ids(2)[n], n % 3 == 1 ? 1 : 2) << n;
    }
    // Extra pairs never exceed the limit of 2000 entries.
    for (int k = 2; k <= whole; ++k) EXPECT_LE(f.lists.count[k], 2000);
}

// The distance kernels over a block of a grey ramp with coloured stripes
// (candidates darker and lighter than most pixels), for every dithering
// kind: the plain distance stores the undivided distance for every pixel and
// candidate; the phased one divides some of them (the quartered phase with
// one palette, the divisors 3 or 4 with two), unless --dither=1.
struct KernelCase {
    int palette_mode;
    int dither_mode;
};

class DistanceKernel : public testing::TestWithParam<KernelCase> {};

TEST_P(DistanceKernel, PlainStoresTheUndividedDistanceAndPhasedDividesSome) {
    const KernelCase c = GetParam();
    const auto pixel = [](int x, int) -> testsupport::Rgb {
        const auto v = static_cast<std::uint8_t>(x * 255 / 319);
        return x % 7 == 0 ? testsupport::Rgb{v, 40, static_cast<std::uint8_t>(255 - v)} : grey(v);
    };
    int divided_when_phased = 0;
    for (const bool plain : {true, false}) {
        SCOPED_TRACE(plain ? "plain" : "phased");
        ListsFixture f(c.palette_mode, pixel, c.dither_mode, plain, c.palette_mode == 1);
        const brenvik::BlockLines lines{1, 1, 1};
        const brenvik::RunContext ctx{f.settings, f.layout, f.picture};
        brenvik::DistanceTable table;
        brenvik::Random rng(2394);
        if (c.palette_mode == 3) {
            brenvik::fill_distances_two_palettes(ctx, lines, f.lists, rng, table);
        } else {
            brenvik::fill_distances_one_palette(ctx, lines, f.lists, table);
        }
        const int whole = f.layout.whole_line_slot();
        const int step = f.picture.level_step;
        int compared = 0;
        for (int id = 1; id <= f.lists.count[whole]; ++id) {
            if (table.row_of[id] < 0) continue;
            const int packed = f.colours(whole)[id];
            const int first[3] = {(packed >> 8 & 15) * step, (packed >> 4 & 15) * step,
                                  (packed & 15) * step};
            const int second[3] = {(packed >> 20 & 15) * step, (packed >> 16 & 15) * step,
                                   (packed >> 12 & 15) * step};
            for (int x = 1; x <= 320; ++x) {
                const auto& t = f.picture.target_colours.at(x, 1);
                int dl[3], dh[3];
                for (int k = 0; k < 3; ++k) {
                    dl[k] = first[k] - t[1 + k];
                    dh[k] = second[k] - t[4 + k];
                }
                const int el = brenvik::weighted_distance(dl[0], dl[1], dl[2]);
                const int eh = brenvik::weighted_distance(dh[0], dh[1], dh[2]);
                // One palette: D = E(dL) + E(dH). Two palettes without a
                // companion: the mix term and the colour terms of the
                // dithering kind (whole with --dither=1, fifths with 0, 2, 3).
                int undivided = el + eh;
                if (c.palette_mode == 3) {
                    undivided =
                        brenvik::weighted_distance(dl[0] + dh[0], dl[1] + dh[1], dl[2] + dh[2]) +
                        (c.dither_mode == 1 ? el + eh : el / 5 + eh / 5);
                }
                const int stored = table.distance(0, x, id);
                if (plain || c.dither_mode == 1) {
                    ASSERT_EQ(stored, undivided) << "candidate " << id << " column " << x;
                } else {
                    const bool divided = stored == undivided / 3 || stored == undivided / 4;
                    ASSERT_TRUE(stored == undivided || divided)
                        << "candidate " << id << " column " << x;
                    divided_when_phased += stored != undivided;
                }
                ++compared;
            }
        }
        EXPECT_GT(compared, 320 * 20);
    }
    if (c.dither_mode != 1) {
        EXPECT_GT(divided_when_phased, 1000) << "the phased distance divides nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, DistanceKernel,
                         testing::Values(KernelCase{1, 0}, KernelCase{1, 1}, KernelCase{1, 2},
                                         KernelCase{1, 3}, KernelCase{3, 0}, KernelCase{3, 1},
                                         KernelCase{3, 2}, KernelCase{3, 3}),
                         [](const testing::TestParamInfo<KernelCase>& info) {
                             return "pixpal" + std::to_string(info.param.palette_mode) + "_dither" +
                                    std::to_string(info.param.dither_mode);
                         });

}  // namespace
