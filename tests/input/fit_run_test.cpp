// Whole runs of brenvik with --fit on pictures made at test time: each case
// encodes to the mode's file size, and NAME_source.bmp (the picture the
// encoder saw) shows the picture where the placement puts it: black bars
// outside, the picture's colour inside, and its bright marker at the place
// worked out by hand from the fit's rules. Then the messages: the hint for
// a picture refused without --fit, damaged files, the companion picture and
// the help text.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "encoder/frontend/fit_input.h"
#include "encoder/frontend/options.h"
#include "encoder/frontend/run.h"
#include "tests/common/files.h"
#include "tests/common/process.h"
#include "tests/input/picture_files.h"

namespace {

using input_test::Bytes;
using input_test::Rgba16;
using testsupport::TempDir;

struct Colour {
    int r, g, b;
};

// The pictures of the table: a flat background with a white square marker
// of side `side` centred on (x, y) of the picture as shown.
struct Marker {
    double x, y;
    double side;
};

input_test::Pattern marked(Colour background, Marker m) {
    return [background, m](int x, int y) {
        const bool inside =
            std::abs(x + 0.5 - m.x) < m.side / 2 && std::abs(y + 0.5 - m.y) < m.side / 2;
        return inside ? input_test::from_8_bits(250, 250, 250)
                      : input_test::from_8_bits(background.r, background.g, background.b);
    };
}

struct Rect {
    int left, top, right, bottom;  // right and bottom excluded
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct FitCase {
    const char* name;
    const char* file_name;
    std::function<Bytes()> make;
    std::vector<std::string> options;  // before the file name
    int width, height;                 // the mode's size
    std::size_t picture_file_size;     // bytes of NAME.bVK
    Rect picture;                      // where the picture lands; black elsewhere
    Colour background;                 // inside, away from the marker
    double marker_x, marker_y;         // where the marker's centre lands
    int black_left_columns = 0;        // columns of the picture shown black (transparent)
};

void PrintTo(const FitCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr Colour kBrown{150, 80, 40};
constexpr Colour kGrey{90, 90, 90};
constexpr std::size_t kMode0File = 53600;

using input_test::BmpOptions;
using input_test::JpegKind;
using input_test::PngKind;

const FitCase kCases[] = {
    // 640x480 -> 267x200, 26 black columns left and 27 right.
    {"jpeg_landscape_larger_pad",
     "photo.jpg",
     [] {
         return input_test::jpeg_file(640, 480, JpegKind::colour, false, 1,
                                      marked(kBrown, {160, 120, 40}));
     },
     {"--fit=pad"},
     320,
     200,
     kMode0File,
     {26, 0, 293, 200},
     kBrown,
     26 + 160 * 267.0 / 640,
     50},
    // 100x150 -> 320x480, rows 140.. kept; the marker at (30, 75) x 3.2.
    {"png16_portrait_smaller_crop",
     "small.png",
     [] {
         return input_test::png_file(100, 150, PngKind::rgb, 16, marked(kBrown, {30, 75, 16}));
     },
     {"--fit=crop"},
     320,
     200,
     kMode0File,
     {0, 0, 320, 200},
     kBrown,
     96,
     100},
    // 400x100 -> 320x80 at row 60.
    {"png_grey_wide_pad",
     "wide.png",
     [] {
         return input_test::png_file(400, 100, PngKind::grey, 8, marked(kGrey, {300, 50, 20}));
     },
     {"--fit=pad"},
     320,
     200,
     kMode0File,
     {0, 60, 320, 140},
     kGrey,
     240,
     100},
    // Stretched twice as large; its left quarter is transparent, so black.
    {"png_alpha_stretch",
     "logo.png",
     [] {
         const auto base = marked(kBrown, {120, 50, 10});
         return input_test::png_file(160, 100, PngKind::rgba, 8, [base](int x, int y) {
             Rgba16 c = base(x, y);
             if (x < 40) c.a = 0;
             return c;
         });
     },
     {"--fit=stretch"},
     320,
     200,
     kMode0File,
     {0, 0, 320, 200},
     kBrown,
     240,
     100,
     80},
    // 1000x300 -> 667x200, the left 320 columns kept.
    {"progressive_jpeg_crop_left",
     "panorama.jpg",
     [] {
         return input_test::jpeg_file(1000, 300, JpegKind::colour, true, 1,
                                      marked(kBrown, {150, 150, 30}));
     },
     {"--fit=crop", "--gravity=left"},
     320,
     200,
     kMode0File,
     {0, 0, 320, 200},
     kBrown,
     150 * 0.667,
     100},
    // Stored 640x480 with orientation 6, shown 480x640 -> 150x200 at column 85.
    {"exif_rotated_jpeg_pad",
     "turned.jpg",
     [] {
         return input_test::jpeg_file(480, 640, JpegKind::colour, false, 6,
                                      marked(kBrown, {360, 160, 40}));
     },
     {"--fit=pad"},
     320,
     200,
     kMode0File,
     {85, 0, 235, 200},
     kBrown,
     85 + 360 * 150.0 / 480,
     50},
    {"bmp8_palette_exact_size",
     "paletted.bmp",
     [] {
         return input_test::bmp_file(320, 200, {.bits = 8}, marked(kBrown, {100, 150, 20}));
     },
     {"--fit=pad"},
     320,
     200,
     kMode0File,
     {0, 0, 320, 200},
     kBrown,
     100,
     150},
    // 200x320 -> 320x512, the top 200 rows kept.
    {"bmp32_top_down_portrait_crop_top",
     "tall.bmp",
     [] {
         return input_test::bmp_file(200, 320, {.bits = 32, .top_down = true},
                                     marked(kBrown, {100, 40, 20}));
     },
     {"--fit=crop", "--gravity=top"},
     320,
     200,
     kMode0File,
     {0, 0, 320, 200},
     kBrown,
     160,
     64},
    // Overscan: 300x300 -> 229x229 at column 93.
    {"png_palette_overscan_pad",
     "square.png",
     [] {
         return input_test::png_file(300, 300, PngKind::palette, 8, marked(kBrown, {150, 150, 30}));
     },
     {"--fit=pad", "--mode=3"},
     416,
     229,
     69616,
     {93, 0, 322, 229},
     kBrown,
     93 + 114.5,
     114.5},
    {"bmp24_wrong_size_stretch",
     "big.bmp",
     [] {
         return input_test::bmp_file(640, 400, {}, marked(kBrown, {320, 200, 40}));
     },
     {"--fit=stretch"},
     320,
     200,
     kMode0File,
     {0, 0, 320, 200},
     kBrown,
     160,
     100},
    // 300x200 -> 320x213, rows 6.. kept (6.5 rounds to the even 6).
    {"cmyk_jpeg_crop",
     "print.jpg",
     [] {
         return input_test::jpeg_file(300, 200, JpegKind::cmyk, false, 1,
                                      marked(kBrown, {150, 100, 20}));
     },
     {"--fit=crop"},
     320,
     200,
     kMode0File,
     {0, 0, 320, 200},
     kBrown,
     160,
     100.5},
    // The 320x20 test layout: 200x200 -> 20x20 at column 150.
    {"grey_jpeg_test_layout_pad",
     "grey.jpg",
     [] {
         return input_test::jpeg_file(200, 200, JpegKind::grey, true, 1,
                                      marked(kGrey, {100, 100, 60}));
     },
     {"--fit=pad", "--mode=4"},
     320,
     20,
     3200,
     {150, 0, 170, 20},
     kGrey,
     160,
     10},
};

std::array<int, 3> pixel(const Bytes& bmp, int width, int height, int x, int y) {
    const std::size_t i = 54 + (static_cast<std::size_t>(height - 1 - y) * width + x) * 3;
    return {bmp[i + 2], bmp[i + 1], bmp[i]};
}

class FitRun : public testing::TestWithParam<FitCase> {};

TEST_P(FitRun, EncodesWithThePictureWhereThePlacementPutsIt) {
    const FitCase& c = GetParam();
    TempDir dir;
    const std::string input = dir.file(c.file_name);
    testsupport::write_file(input, c.make());
    std::vector<std::string> args = {"brenvik", "-0"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(input);
    testsupport::TempDir sink_dir;
    std::FILE* out = std::fopen(sink_dir.file("out.txt").c_str(), "w+b");
    std::FILE* err = std::fopen(sink_dir.file("err.txt").c_str(), "w+b");
    ASSERT_NE(out, nullptr);
    ASSERT_NE(err, nullptr);
    const int status = brenvik::run_brenvik(args, out, err, {1});
    std::fclose(out);
    std::fclose(err);
    const auto err_bytes = testsupport::read_file(sink_dir.file("err.txt"));
    ASSERT_EQ(status, 0) << std::string(err_bytes.begin(), err_bytes.end());
    EXPECT_TRUE(err_bytes.empty());

    const std::string stem = std::filesystem::path(c.file_name).stem().string();
    EXPECT_EQ(std::filesystem::file_size(dir.file(stem + ".bVK")), c.picture_file_size);
    EXPECT_EQ(std::filesystem::file_size(dir.file("F" + stem + ".bVK")), c.picture_file_size);
    const Bytes source = testsupport::read_file(dir.file(stem + "_source.bmp"));
    ASSERT_EQ(source.size(), 54u + std::size_t{3} * c.width * c.height);
    EXPECT_EQ(source[0], 'B');
    EXPECT_EQ(source[28], 24);
    EXPECT_EQ(source[18] | source[19] << 8, c.width);
    EXPECT_EQ(source[22] | source[23] << 8, c.height);

    double sum_x = 0, sum_y = 0;
    int marker = 0, wrong_bars = 0, wrong_inside = 0;
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            const auto p = pixel(source, c.width, c.height, x, y);
            if (!c.picture.contains(x, y)) {
                if (p != std::array<int, 3>{0, 0, 0} && ++wrong_bars <= 3) {
                    ADD_FAILURE() << "bar pixel " << x << "," << y << " is not black";
                }
                continue;
            }
            if (p[0] > 200 && p[1] > 200 && p[2] > 200) {
                ++marker;
                sum_x += x + 0.5;
                sum_y += y + 0.5;
            }
            // Away from the marker and the picture's edges: the background, or
            // black where the picture is transparent.
            const bool near_marker =
                std::abs(x + 0.5 - c.marker_x) < 30 && std::abs(y + 0.5 - c.marker_y) < 30;
            const bool near_edge = x < c.picture.left + 3 || x >= c.picture.right - 3 ||
                                   y < c.picture.top + 3 || y >= c.picture.bottom - 3;
            if (near_marker || near_edge) continue;
            const bool transparent = x < c.picture.left + c.black_left_columns;
            const bool beside_transparent =
                std::abs(x - (c.picture.left + c.black_left_columns)) < 6;
            if (c.black_left_columns > 0 && beside_transparent) continue;
            const Colour want = transparent ? Colour{0, 0, 0} : c.background;
            if ((std::abs(p[0] - want.r) > 8 || std::abs(p[1] - want.g) > 8 ||
                 std::abs(p[2] - want.b) > 8) &&
                ++wrong_inside <= 3) {
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << p[0] << "," << p[1] << ","
                              << p[2] << " instead of " << want.r << "," << want.g << "," << want.b;
            }
        }
    }
    EXPECT_EQ(wrong_bars, 0);
    EXPECT_EQ(wrong_inside, 0);
    ASSERT_GT(marker, 0) << "no marker in the fitted picture";
    EXPECT_NEAR(sum_x / marker, c.marker_x, 1.5);
    EXPECT_NEAR(sum_y / marker, c.marker_y, 1.5);
}

INSTANTIATE_TEST_SUITE_P(Input, FitRun, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FitCase>& info) {
                             return std::string(info.param.name);
                         });

// --- runs through the library entry, with the output captured -------------------

struct RunResult {
    int status = 0;
    std::string out;
    std::string err;
};

RunResult run(const TempDir& dir, std::vector<std::string> args) {
    const TempDir capture;
    std::FILE* out = std::fopen(capture.file("out").c_str(), "w+b");
    std::FILE* err = std::fopen(capture.file("err").c_str(), "w+b");
    for (std::string& a : args) {
        if (!a.empty() && a[0] != '-') a = dir.file(a);
    }
    args.insert(args.begin(), "brenvik");
    RunResult r;
    r.status = brenvik::run_brenvik(args, out, err, {1});
    std::fclose(out);
    std::fclose(err);
    const auto o = testsupport::read_file(capture.file("out"));
    const auto e = testsupport::read_file(capture.file("err"));
    r.out.assign(o.begin(), o.end());
    r.err.assign(e.begin(), e.end());
    return r;
}

Bytes strip_bmp(int seed) {
    return input_test::bmp_file(320, 20, {}, [seed](int x, int y) {
        return input_test::from_8_bits((x * 7 + y * 13 + seed) & 255, (x * 3 + seed) & 255,
                                       (y * 29 + x) & 255);
    });
}

TEST(FitRunFiles, ExactSizeBmpGivesTheSamePictureFilesAsWithoutFit) {
    TempDir plain;
    TempDir fitted;
    testsupport::write_file(plain.file("pic.bmp"), strip_bmp(1));
    testsupport::write_file(fitted.file("pic.bmp"), strip_bmp(1));
    const RunResult a = run(plain, {"-0", "--mode=4", "pic.bmp"});
    const RunResult b =
        run(fitted, {"-0", "--mode=4", "--fit=crop", "--gravity=bottom-right", "pic.bmp"});
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    for (const char* name : {"pic.bVK", "Fpic.bVK"}) {
        EXPECT_TRUE(testsupport::read_file(plain.file(name)) ==
                    testsupport::read_file(fitted.file(name)))
            << name;
    }
    // The kept source holds the input's pixels.
    const Bytes source = testsupport::read_file(fitted.file("pic_source.bmp"));
    const Bytes input = strip_bmp(1);
    ASSERT_EQ(source.size(), input.size());
    EXPECT_TRUE(std::equal(source.begin() + 54, source.end(), input.begin() + 54));
    EXPECT_EQ(plain.entries(), (std::vector<std::string>{"Fpic.bVK", "pic.bVK", "pic.bmp"}));
    EXPECT_EQ(fitted.entries(),
              (std::vector<std::string>{"Fpic.bVK", "pic.bVK", "pic.bmp", "pic_source.bmp"}));
}

TEST(FitRunFiles, PreviewsAndCompanionAreFittedToo) {
    TempDir dir;
    testsupport::write_file(
        dir.file("pic.jpg"),
        input_test::jpeg_file(640, 100, JpegKind::colour, false, 1, marked(kBrown, {320, 50, 20})));
    // The companion: any size and format under its usual name, fitted alike.
    testsupport::write_file(
        dir.file("pic_bis.bmp"),
        input_test::png_file(64, 10, PngKind::rgb, 8, marked(kGrey, {32, 5, 2})));
    const RunResult r = run(
        dir, {"-0", "--mode=4", "--pixpal=2", "--preview=1", "--verbose", "--fit=crop", "pic.jpg"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" bis_method=1"), std::string::npos);
    EXPECT_NE(
        r.out.find("fit=crop gravity=centre picture=640x100 scaled=320x50 crop=0,15 pad=0,0 \n"),
        std::string::npos);
    // The preview's header is the kept source's.
    const Bytes preview = testsupport::read_file(dir.file("pic_preview.bmp"));
    const Bytes source = testsupport::read_file(dir.file("pic_source.bmp"));
    ASSERT_GE(preview.size(), 54u);
    EXPECT_TRUE(std::equal(source.begin(), source.begin() + 54, preview.begin()));
}

TEST(FitRunFiles, BrokenCompanionEndsTheRunNamingIt) {
    TempDir dir;
    testsupport::write_file(dir.file("pic.png"), input_test::png_file(64, 10, PngKind::rgb, 8,
                                                                      marked(kGrey, {32, 5, 2})));
    testsupport::write_file(dir.file("pic_bis.bmp"), Bytes{'B', 'M', 1, 2});
    const RunResult r = run(dir, {"-0", "--mode=4", "--fit=pad", "pic.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "brenvik: " + dir.file("pic_bis.bmp") + ": BMP header is truncated\n");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"pic.png", "pic_bis.bmp"}));
}

TEST(FitRunFiles, UnwritableSourceFailsTheRunAfterTheOtherFiles) {
    TempDir dir;
    testsupport::write_file(dir.file("pic.bmp"), strip_bmp(2));
    std::filesystem::create_directory(dir.file("pic_source.bmp"));
    const RunResult r = run(dir, {"-0", "--mode=4", "--fit=pad", "pic.bmp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir.file("pic_source.bmp") + ": "), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("pic.bVK")));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("Fpic.bVK")));
}

// --- refused pictures -----------------------------------------------------------------

struct RefusedRun {
    const char* name;
    const char* file_name;
    std::function<Bytes()> make;
    std::vector<std::string> options;
    std::string expected_err;  // @ stands for the picture's path
};

void PrintTo(const RefusedRun& c, std::ostream* os) {
    *os << c.name;
}

const std::string kUseFit = "; use --fit=pad, --fit=crop or --fit=stretch to make it ";

const RefusedRun kRefused[] = {
    {"jpeg_without_fit",
     "photo.jpg",
     [] {
         return input_test::jpeg_file(640, 480, JpegKind::colour, true, 6,
                                      marked(kBrown, {1, 1, 1}));
     },
     {},
     "brenvik: @: must be in BMP format\n"
     "brenvik: @: a 640x480 JPEG picture (progressive, EXIF orientation 6)" +
         kUseFit + "320x200\n"},
    {"png_without_fit_overscan",
     "photo.png",
     [] {
         return input_test::png_file(30, 20, PngKind::grey_alpha, 16, marked(kGrey, {1, 1, 1}));
     },
     {"--mode=3"},
     "brenvik: @: must be in BMP format\n"
     "brenvik: @: a 30x20 PNG picture (16-bit grey with alpha)" +
         kUseFit + "416x229\n"},
    {"bmp_of_another_size",
     "pic.bmp",
     [] {
         return input_test::bmp_file(321, 200, {}, marked(kGrey, {1, 1, 1}));
     },
     {},
     "brenvik: @: BMP picture must be 320x200 pixels\n"
     "brenvik: @: a 321x200 BMP picture (24-bit)" +
         kUseFit + "320x200\n"},
    {"bmp_32_bits_of_the_right_size",
     "pic.bmp",
     [] {
         return input_test::bmp_file(320, 200, {.bits = 32}, marked(kGrey, {1, 1, 1}));
     },
     {},
     "brenvik: @: BMP format must be uncompressed 24-bit\n"
     "brenvik: @: a 320x200 BMP picture (32-bit)" +
         kUseFit + "320x200\n"},
    // Nothing for --fit to mend: no hint.
    {"truncated_bmp_of_the_right_size",
     "pic.bmp",
     [] {
         Bytes b = input_test::bmp_file(320, 200, {}, marked(kGrey, {1, 1, 1}));
         b.resize(1000);
         return b;
     },
     {},
     "brenvik: @: BMP pixel data is truncated\n"},
    {"unknown_file_without_fit",
     "notes.txt",
     [] {
         return Bytes{'h', 'i', '\n'};
     },
     {},
     "brenvik: @: must be in BMP format\n"},
    {"heif_with_fit",
     "photo.heic",
     [] { return Bytes{0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c', 0, 0}; },
     {"--fit=crop"},
     "brenvik: @: a HEIF picture, which this program does not read; save it as PNG, JPEG or BMP\n"},
    {"damaged_png_with_fit",
     "photo.png",
     [] {
         Bytes b = input_test::png_file(64, 64, PngKind::rgb, 8, marked(kGrey, {1, 1, 1}));
         b.resize(b.size() - 30);
         return b;
     },
     {"--fit=pad"},
     "brenvik: @: PNG file is damaged: the file ends early\n"},
    {"truncated_jpeg_with_fit",
     "photo.jpg",
     [] {
         Bytes b = input_test::jpeg_file(320, 240, JpegKind::colour, false, 1,
                                         marked(kBrown, {160, 120, 100}));
         b.resize(b.size() / 2);
         return b;
     },
     {"--fit=stretch"},
     "brenvik: @: JPEG file is truncated\n"},
};

class RefusedPicture : public testing::TestWithParam<RefusedRun> {};

TEST_P(RefusedPicture, SaysWhatItIsWritesNothingAndExits1) {
    const RefusedRun& c = GetParam();
    TempDir dir;
    testsupport::write_file(dir.file(c.file_name), c.make());
    std::vector<std::string> args = c.options;
    args.push_back(c.file_name);
    const RunResult r = run(dir, args);
    EXPECT_EQ(r.status, 1);
    std::string expected = c.expected_err;
    for (std::size_t at = expected.find('@'); at != std::string::npos;
         at = expected.find('@', at)) {
        expected.replace(at, 1, dir.file(c.file_name));
        at += dir.file(c.file_name).size();
    }
    EXPECT_EQ(r.err, expected);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{c.file_name});
}

INSTANTIATE_TEST_SUITE_P(Input, RefusedPicture, testing::ValuesIn(kRefused),
                         [](const testing::TestParamInfo<RefusedRun>& info) {
                             return std::string(info.param.name);
                         });

TEST(FitOptions, BadValuesAndGravityWithoutFitPrintTheWholeHelpAndWhatWasWrong) {
    const std::string help = brenvik::usage_text("brenvik") + brenvik::fit_usage_text();
    const std::string gravities =
        ": expected centre, top, bottom, left, right, top-left, top-right, bottom-left or "
        "bottom-right\n";
    struct Case {
        std::vector<std::string> options;
        std::string says;
    };
    const Case cases[] = {
        {{"--fit=fill"}, "brenvik: --fit=fill: expected pad, crop or stretch\n"},
        {{"--fit="}, "brenvik: --fit=: expected pad, crop or stretch\n"},
        {{"--gravity=top"}, "brenvik: --gravity=top needs --fit\n"},
        {{"--fit=crop", "--gravity=middle"}, "brenvik: --gravity=middle" + gravities},
        {{"--fit=crop", "--gravity="}, "brenvik: --gravity=" + gravities},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::vector<std::string> args = c.options;
        args.push_back("pic.bmp");
        const RunResult r = run(dir, args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, help + c.says) << c.options.back();
        EXPECT_TRUE(dir.entries().empty());
    }
    // The usual text first, unchanged, then the lines of the new options.
    EXPECT_TRUE(help.starts_with(brenvik::usage_text("brenvik")));
    EXPECT_NE(help.find("\n  --fit=pad|crop|stretch\t"), std::string::npos);
    EXPECT_NE(help.find("\n  --gravity=VALUE\t"), std::string::npos);
}

#if defined(BRENVIK_PATH) && !defined(_WIN32)
// libjpeg-turbo picks vector code by the processor; its accurate integer
// transform and smooth upsampling must give the same pixels as its plain C
// code, or a picture would depend on the machine.
TEST(FitDeterminism, JpegDecodingIsTheSameWithoutVectorCode) {
    TempDir dir;
    testsupport::write_file(dir.file("a.jpg"), input_test::jpeg_file(
                                                   500, 333, JpegKind::colour, false, 1,
                                                   [](int x, int y) {
                                                       return input_test::from_8_bits(
                                                           (x * x + y) & 255, (x * y) & 255,
                                                           (x + 3 * y) & 255);
                                                   },
                                                   85));
    std::filesystem::copy_file(dir.file("a.jpg"), dir.file("b.jpg"));
    const std::string brenvik = BRENVIK_PATH;
    const auto plain = testsupport::run_process(
        {"/usr/bin/env", "JSIMD_FORCENONE=1", brenvik, "-0", "--mode=4", "--fit=crop", "a.jpg"},
        dir.path().string());
    const auto vector_code = testsupport::run_process(
        {brenvik, "-0", "--mode=4", "--fit=crop", "b.jpg"}, dir.path().string());
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(vector_code.status, 0) << vector_code.err;
    EXPECT_TRUE(testsupport::read_file(dir.file("a_source.bmp")) ==
                testsupport::read_file(dir.file("b_source.bmp")));
}
#endif

}  // namespace
