// Whole runs of the encoder on small generated pictures: what the front end
// prints before the conversion starts, where the run seed goes, and how a
// picture that cannot be used ends the run.
#include "encoder/frontend/run.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "frontend_support.h"

namespace {

using frontend_test::Capture;
using frontend_test::TempDir;
using Args = std::vector<std::string>;

constexpr const char* kPicture = "@PIC@";  // stands for the picture's path in a case

struct RunCase {
    const char* name;
    Args options;  // kPicture marks where the picture's name goes
    int width;
    int height;
    std::string expected_start;  // "@DIR@/" stands for the temporary folder and a separator
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

std::string newlines(int count) {
    return std::string(static_cast<std::size_t>(count), '\n');
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

const std::string kOneLineBlocks = "ligneX3=1 hhh_minus=0 hhh_maxus=0 hauteursegment=1 \n";
const std::string kLayoutMode4 = "limit=54 mode=0 \n" + newlines(320);

const RunCase kRuns[] = {
    {"mode4_quiet", {"-0", "--mode=4", kPicture}, 320, 20, kLayoutMode4 + kOneLineBlocks},
    {"mode4_blocks_of_8_print_8_with_one_line_geometry",
     {"-0", "--mode=4", "--blockoflines=8", kPicture},
     320,
     20,
     kLayoutMode4 + "ligneX3=8 hhh_minus=0 hhh_maxus=0 hauteursegment=1 \n"},
    {"mode4_blocks_of_4",
     {"-0", "--blockoflines=4", "--mode=4", kPicture},
     320,
     20,
     kLayoutMode4 + "ligneX3=4 hhh_minus=-1 hhh_maxus=2 hauteursegment=4 \n"},
    {"mode4_verbose",
     {"-0", "--mode=4", "--verbose", kPicture},
     320,
     20,
     "debug opt=0 dither=0 nb_loop_fast_init=50 power_quality=0.90000000 "
     "power_temperature=1000000 \n"
     "outfilename_bis=@DIR@/pic_bis.bmp \n" +
         kLayoutMode4 + kOneLineBlocks},
    {"mode4_verbose_prefix_and_dither_spelling",
     {"--verbose=0", "--dither=2", "-1", "--mode=4", kPicture},
     320,
     20,
     "debug opt=1 dither=2 nb_loop_fast_init=150 power_quality=0.97000000 "
     "power_temperature=666666 \n"
     "outfilename_bis=@DIR@/pic_bis.bmp \n" +
         kLayoutMode4 + kOneLineBlocks},
    {"mode1_shifted",
     {"-0", "--mode=1", "--shiftpixels=0", kPicture},
     320,
     200,
     "limit=80 mode=1 \n" + newlines(320) + kOneLineBlocks},
    {"mode3_overscan",
     {"-0", "--mode=3", kPicture},
     416,
     229,
     "limit=48 mode=3 \n" + newlines(416) + kOneLineBlocks},
};

class FrontEndOutput : public testing::TestWithParam<RunCase> {};

TEST_P(FrontEndOutput, PrintsTheSettingsLayoutAndGeometryLinesFirst) {
    const RunCase& c = GetParam();
    TempDir dir;
    const std::string picture = dir.file("pic.bmp");
    frontend_test::write_pattern_bmp(picture, c.width, c.height, 3);
    Args args{"brenvik"};
    for (const std::string& a : c.options) args.push_back(a == kPicture ? picture : a);

    Capture out;
    Capture err;
    EXPECT_EQ(brenvik::run_brenvik(args, out.file(), err.file(), {1}), 0);
    EXPECT_EQ(err.text(), "");
    const std::string expected =
        replace_all(c.expected_start, "@DIR@/", (dir.path() / "").string());
    const std::string text = out.text();
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(text.substr(0, expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(Run, FrontEndOutput, testing::ValuesIn(kRuns),
                         [](const testing::TestParamInfo<RunCase>& info) {
                             return std::string(info.param.name);
                         });

// How many of the level-step detection's 49 samples land on column pixel_x, line
// pixel_y of a W x H picture, following the sampling rule with the given seed:
// for each sample first x = rand() % (W - 1) + 1, then y = rand() % (H - 1) + 1.
int samples_hitting(std::uint32_t seed, int width, int height, int pixel_x, int pixel_y) {
    frontend_test::ModelGenerator rng(seed);
    int hits = 0;
    for (int i = 0; i < 49; ++i) {
        const int x = rng.next() % (width - 1) + 1;
        const int y = rng.next() % (height - 1) + 1;
        if (x == pixel_x && y == pixel_y) ++hits;
    }
    return hits;
}

// A 320 x 20 grey picture on the 16-step grid (every byte 16) with one
// channel of one pixel set to 17: the level-step line then counts 147 tested
// values and as many off-grid ones as samples that land on that pixel.
TEST(RunSeed, GovernsTheLevelStepSamples) {
    constexpr int W = 320;
    constexpr int H = 20;
    // The pixel that the default seed 42 samples first.
    frontend_test::ModelGenerator first(42);
    const int pixel_x = first.next() % (W - 1) + 1;
    const int pixel_y = first.next() % (H - 1) + 1;

    struct SeedCase {
        Args seed_option;
        std::uint32_t seed;
    };
    const SeedCase cases[] = {
        {{}, 42}, {{"--seed=42"}, 42}, {{"--seed=abc"}, 0}, {{"--seed=7"}, 7}};
    ASSERT_GE(samples_hitting(42, W, H, pixel_x, pixel_y), 1);
    ASSERT_NE(samples_hitting(0, W, H, pixel_x, pixel_y),
              samples_hitting(42, W, H, pixel_x, pixel_y))
        << "the fixture must tell seed 0 from seed 42";

    TempDir dir;
    frontend_test::Bytes pixels = frontend_test::uniform_pixels(W, H, 16);
    // BMP rows run from the bottom line up; bytes are B, V, R.
    pixels[(static_cast<std::size_t>(H - pixel_y) * W + (pixel_x - 1)) * 3 + 1] = 17;
    const std::string picture = dir.file("grey.bmp");
    frontend_test::write_file(picture, frontend_test::make_bmp({W, H}, pixels));

    for (const SeedCase& c : cases) {
        Args args{"brenvik", "-0", "--mode=4"};
        args.insert(args.end(), c.seed_option.begin(), c.seed_option.end());
        args.push_back(picture);
        Capture out;
        Capture err;
        EXPECT_EQ(brenvik::run_brenvik(args, out.file(), err.file(), {1}), 0);
        const std::string line =
            "\nnbbits16=" + std::to_string(samples_hitting(c.seed, W, H, pixel_x, pixel_y)) +
            " nbbitstest16=147 \n";
        EXPECT_NE(out.text().find(line), std::string::npos)
            << "seed " << c.seed << ": expected" << line;
    }
}

struct FailedRunCase {
    const char* name;
    Args options;              // kPicture marks the 320 x 20 picture's name
    std::string expected_err;  // "@PATH@" stands for the picture's path
};

void PrintTo(const FailedRunCase& c, std::ostream* os) {
    *os << c.name;
}

const FailedRunCase kFailedRuns[] = {
    {"option_after_name_is_not_read",
     {kPicture, "--mode=4"},
     "brenvik: @PATH@: BMP picture must be 320x200 pixels\n"
     "brenvik: @PATH@: a 320x20 BMP picture (24-bit); use --fit=pad, --fit=crop or "
     "--fit=stretch to make it 320x200\n"},
    {"mode_without_digits_is_mode_0",
     {"--mode=x", kPicture},
     "brenvik: @PATH@: BMP picture must be 320x200 pixels\n"
     "brenvik: @PATH@: a 320x20 BMP picture (24-bit); use --fit=pad, --fit=crop or "
     "--fit=stretch to make it 320x200\n"},
    {"overscan_mode_wants_416x229",
     {"--mode=3", kPicture},
     "brenvik: @PATH@: BMP picture must be 416x229 pixels\n"
     "brenvik: @PATH@: a 320x20 BMP picture (24-bit); use --fit=pad, --fit=crop or "
     "--fit=stretch to make it 416x229\n"},
    {"missing_picture",
     {"--mode=4", "@PATH@.missing"},
     "@PATH@.missing: No such file or directory\n"},
};

class FailedRun : public testing::TestWithParam<FailedRunCase> {};

TEST_P(FailedRun, ReportsThePictureAndExits1BeforeTheLayout) {
    const FailedRunCase& c = GetParam();
    TempDir dir;
    const std::string picture = dir.file("small.bmp");
    frontend_test::write_pattern_bmp(picture, 320, 20, 1);
    Args args{"brenvik"};
    for (const std::string& a : c.options) {
        args.push_back(replace_all(a == kPicture ? picture : a, "@PATH@", picture));
    }
    Capture out;
    Capture err;
    EXPECT_EQ(brenvik::run_brenvik(args, out.file(), err.file(), {1}), 1);
    EXPECT_EQ(err.text(), replace_all(c.expected_err, "@PATH@", picture));
    EXPECT_EQ(out.text(), "");
}

INSTANTIATE_TEST_SUITE_P(Run, FailedRun, testing::ValuesIn(kFailedRuns),
                         [](const testing::TestParamInfo<FailedRunCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(FailedRun, BrokenCompanionEndsTheRunNamingTheCompanion) {
    TempDir dir;
    const std::string picture = dir.file("pic.bmp");
    frontend_test::write_pattern_bmp(picture, 320, 20, 1);
    frontend_test::write_file(
        dir.file("pic_bis.bmp"),
        frontend_test::make_bmp({.width = 320, .height = 20, .bits_per_pixel = 32},
                                frontend_test::uniform_pixels(320, 20, 1)));
    Capture out;
    Capture err;
    EXPECT_EQ(brenvik::run_brenvik({"enc", "--mode=4", "--pixpal=2", picture}, out.file(),
                                   err.file(), {1}),
              1);
    EXPECT_EQ(err.text(),
              "enc: " + dir.file("pic_bis.bmp") + ": BMP format must be uncompressed 24-bit\n" +
                  "enc: " + dir.file("pic_bis.bmp") +
                  ": a 320x20 BMP picture (32-bit); use --fit=pad, --fit=crop or --fit=stretch "
                  "to make it 320x20\n");
    EXPECT_EQ(out.text(), "");
}

}  // namespace
