// The viewer library: renderings of encoded picture files equal the
// encoder's own previews over a table of runs, file sizes give the layout,
// and the error figures, strip and enlargement hold on small pictures whose
// numbers can be worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/common/fixtures.h"
#include "viewer/image.h"
#include "viewer/picture_file.h"

namespace {

using namespace brenvik::viewer;
using testsupport::read_file;
using testsupport::TempDir;
using testsupport::write_file;

Image bmp_image(const std::string& name) {
    Image image;
    std::string error;
    EXPECT_TRUE(decode_bmp(read_file(name), image, error)) << name << ": " << error;
    return image;
}

// Count and first position of the pixels that differ.
::testing::AssertionResult same_pixels(const Image& actual, const Image& expected) {
    if (actual.width != expected.width || actual.height != expected.height) {
        return ::testing::AssertionFailure() << actual.width << "x" << actual.height << " vs "
                                             << expected.width << "x" << expected.height;
    }
    int differ = 0;
    int first_x = -1, first_y = -1;
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            const std::uint8_t* a = actual.at(x, y);
            const std::uint8_t* e = expected.at(x, y);
            if (a[0] != e[0] || a[1] != e[1] || a[2] != e[2]) {
                if (differ++ == 0) {
                    first_x = x;
                    first_y = y;
                }
            }
        }
    }
    if (differ == 0) return ::testing::AssertionSuccess();
    const std::uint8_t* a = actual.at(first_x, first_y);
    const std::uint8_t* e = expected.at(first_x, first_y);
    return ::testing::AssertionFailure()
           << differ << " pixels differ, first at (" << first_x << ", " << first_y
           << "): " << int{a[0]} << "," << int{a[1]} << "," << int{a[2]} << " vs " << int{e[0]}
           << "," << int{e[1]} << "," << int{e[2]};
}

struct EncoderRun {
    int mode;
    int shiftpixels;
    int blockoflines;
    int pixpal;
    int dither;
    unsigned seed;  // of the generated picture
};

std::string run_name(const EncoderRun& r) {
    return "mode" + std::to_string(r.mode) + "_shift" + std::to_string(r.shiftpixels) + "_lines" +
           std::to_string(r.blockoflines) + "_pixpal" + std::to_string(r.pixpal) + "_dither" +
           std::to_string(r.dither);
}

class MatchesPreviews : public ::testing::TestWithParam<EncoderRun> {};

// Every picture file the run writes, rendered from its bytes alone (layout
// from the size, shift as given), equals the preview the encoder wrote for it.
TEST_P(MatchesPreviews, PixelForPixel) {
    const EncoderRun& r = GetParam();
    const int width = r.mode == 3 ? 416 : 320;
    const int height = r.mode == 3 ? 229 : 200;
    TempDir dir;
    write_file(dir.file("pic.bmp"), testsupport::synthetic_picture(width, height, r.seed));
    if (r.pixpal != 1) {
        // A different second target makes the two palette sets differ.
        write_file(dir.file("pic_bis.bmp"),
                   testsupport::synthetic_picture(width, height, r.seed + 100));
    }
    const testsupport::RunOutput run = testsupport::run_encoder(
        dir.path(),
        {"-0", "--preview=1", "--mode=" + std::to_string(r.mode),
         "--shiftpixels=" + std::to_string(r.shiftpixels),
         "--blockoflines=" + std::to_string(r.blockoflines), "--pixpal=" + std::to_string(r.pixpal),
         "--dither=" + std::to_string(r.dither), "pic.bmp"});
    ASSERT_EQ(run.status, 0) << run.err;

    RenderSettings settings;
    settings.shiftpixels = r.shiftpixels;
    struct Pair {
        const char* picture;
        const char* preview;
        const char* preview2;  // nullptr for one-palette runs
    };
    std::vector<Pair> pairs = {{"pic.bVK", "pic_preview.bmp", "pic_preview2.bmp"},
                               {"Fpic.bVK", "Fpic_preview.bmp", "pic_previewF2.bmp"}};
    if (r.pixpal == 2) pairs.pop_back();  // no error-diffused rendering
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.picture);
        const std::vector<std::uint8_t> bytes = read_file(dir.file(p.picture));
        const std::vector<FileLayout> layouts = layouts_of_size(bytes.size(), {});
        ASSERT_EQ(layouts.size(), 1u);
        const FileLayout expected_layout{r.mode, r.blockoflines, r.pixpal != 1};
        ASSERT_EQ(layouts.front(), expected_layout);
        const Rendering rendering = render_picture(bytes, layouts.front(), settings);
        EXPECT_TRUE(same_pixels(rendering.first, bmp_image(dir.file(p.preview))));
        if (r.pixpal != 1) {
            const Image second = bmp_image(dir.file(p.preview2));
            EXPECT_TRUE(same_pixels(rendering.second, second));
            EXPECT_FALSE(same_pixels(rendering.first, second)) << "the two sets should differ";
            EXPECT_TRUE(same_pixels(rendering.seen, average(rendering.first, rendering.second)));
        } else {
            EXPECT_TRUE(same_pixels(rendering.seen, rendering.first));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, MatchesPreviews,
    ::testing::Values(EncoderRun{0, 5, 1, 1, 0, 1}, EncoderRun{0, 5, 2, 1, 1, 2},
                      EncoderRun{0, 0, 3, 2, 2, 3}, EncoderRun{0, 5, 6, 3, 0, 4},
                      EncoderRun{1, 5, 1, 1, 0, 5}, EncoderRun{1, 0, 4, 1, 3, 6},
                      EncoderRun{1, 9, 5, 3, 0, 7}, EncoderRun{2, 5, 1, 1, 0, 8},
                      EncoderRun{2, 9, 2, 2, 4, 9}, EncoderRun{2, 2, 6, 1, 5, 10},
                      EncoderRun{3, 5, 1, 3, 0, 11}, EncoderRun{3, 0, 3, 1, 1, 12},
                      EncoderRun{3, 8, 4, 2, 3, 13}),
    [](const ::testing::TestParamInfo<EncoderRun>& info) { return run_name(info.param); });

// A picture whose colours all lie on the 16-step grid is encoded with level
// step 16; --levelstep=16 gives its previews, step 17 (the STE's own) does not.
TEST(LevelStep, SixteenMatchesPreviewsOfGridPictures) {
    TempDir dir;
    write_file(dir.file("grid.bmp"), testsupport::make_bmp(320, 200, [](int x, int y) {
                   return testsupport::Rgb{static_cast<std::uint8_t>((x / 20) * 16),
                                           static_cast<std::uint8_t>((y / 13) * 16),
                                           static_cast<std::uint8_t>(((x + y) / 40 % 16) * 16)};
               }));
    const auto run =
        testsupport::run_encoder(dir.path(), {"-0", "--preview=1", "--mode=2", "grid.bmp"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::uint8_t> bytes = read_file(dir.file("grid.bVK"));
    const FileLayout layout{2, 1, false};
    RenderSettings sixteen;
    sixteen.level_step = 16;
    const Image preview = bmp_image(dir.file("grid_preview.bmp"));
    EXPECT_TRUE(same_pixels(render_picture(bytes, layout, sixteen).first, preview));
    EXPECT_FALSE(same_pixels(render_picture(bytes, layout, RenderSettings{}).first, preview));
}

TEST(Layouts, SizesOfTheEncodersFiles) {
    struct Case {
        FileLayout layout;
        std::size_t size;
    };
    // One-line blocks: the sizes the encoder's file description lists; three-
    // line blocks give 67 records, two-line blocks 101, four-line 51.
    const Case cases[] = {
        {{0, 1, false}, 53600},
        {{1, 1, false}, 64000},
        {{2, 1, false}, 51200},
        {{3, 1, false}, 69616},
        {{0, 3, false}, 32000 + 67 * 108},
        {{0, 2, false}, 32000 + 101 * 108},
        {{1, 4, false}, 32000 + 51 * 160},
        {{2, 1, true}, 51200 + 200 * 96},
        {{4, 1, false}, 3200},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file_size(c.layout), c.size) << describe(c.layout);
        const auto found = layouts_of_size(c.size, {});
        ASSERT_EQ(found.size(), 1u) << describe(c.layout);
        EXPECT_EQ(found.front(), c.layout);
    }
    EXPECT_TRUE(layouts_of_size(53599, {}).empty());
    EXPECT_TRUE(layouts_of_size(0, {}).empty());
    LayoutChoice mode1;
    mode1.mode = 1;
    EXPECT_TRUE(layouts_of_size(53600, mode1).empty()) << "a mode 0 size with --mode=1";
    LayoutChoice one_set;
    one_set.pixpal = 1;
    EXPECT_TRUE(layouts_of_size(51200 + 200 * 96, one_set).empty());
}

// No two layouts of modes 0..3 share a size, so the size alone always tells.
TEST(Layouts, NoTwoLayoutsShareASize) {
    for (int m = 0; m < 4; ++m) {
        for (int lines = 1; lines <= 6; ++lines) {
            for (bool two : {false, true}) {
                const FileLayout layout{m, lines, two};
                EXPECT_EQ(layouts_of_size(file_size(layout), {}).size(), 1u) << describe(layout);
            }
        }
    }
}

TEST(Compare, FiguresOfATwoPixelPicture) {
    Image source(2, 1);
    Image result(2, 1);
    const std::uint8_t s[] = {0, 0, 0, 10, 20, 30};
    const std::uint8_t r[] = {0, 0, 0, 13, 16, 30};
    source.rgb.assign(s, s + 6);
    result.rgb.assign(r, r + 6);
    const Comparison c = compare(source, result);
    // d = (3, -4, 0) on the second pixel.
    EXPECT_NEAR(c.psnr, 10 * std::log10(65025.0 / (25.0 / 6)), 1e-9);
    EXPECT_DOUBLE_EQ(c.weighted, 3 * 9 + 6 * 16);
    // Blurred differences: d / 4 on the first pixel, 3 d / 4 on the second.
    EXPECT_NEAR(c.seen_psnr, 10 * std::log10(65025.0 / (25.0 * 10 / 16 / 6)), 1e-9);
    EXPECT_DOUBLE_EQ(c.ssim, structural_similarity(source, result));
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "psnr=%.4f weighted=123.0000 seen_psnr=%.4f ssim=%.4f\n",
                  10 * std::log10(65025.0 / (25.0 / 6)),
                  10 * std::log10(65025.0 / (25.0 * 10 / 16 / 6)), c.ssim);
    EXPECT_EQ(comparison_line(c), expected);
    EXPECT_EQ(comparison_line(compare(source, source)),
              "psnr=inf weighted=0.0000 seen_psnr=inf ssim=1.0000\n");
}

// SSIM worked out the slow way: the 11x11 window of Gaussian weights
// exp(-(dx^2 + dy^2) / 4.5), divided by their sum, at every pixel, with the
// picture's edge pixels replicated.
double ssim_by_hand(const Image& a, const Image& b) {
    double weights[11][11];
    double total = 0.0;
    for (int j = 0; j < 11; ++j) {
        for (int i = 0; i < 11; ++i) {
            weights[j][i] = std::exp(-((i - 5) * (i - 5) + (j - 5) * (j - 5)) / 4.5);
            total += weights[j][i];
        }
    }
    const auto luma = [](const Image& image, int x, int y) {
        x = std::clamp(x, 0, image.width - 1);
        y = std::clamp(y, 0, image.height - 1);
        const std::uint8_t* p = image.at(x, y);
        return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
    };
    const double c1 = 2.55 * 2.55, c2 = 7.65 * 7.65;
    double sum = 0.0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            double mx = 0, my = 0, xx = 0, yy = 0, xy = 0;
            for (int j = 0; j < 11; ++j) {
                for (int i = 0; i < 11; ++i) {
                    const double w = weights[j][i] / total;
                    const double u = luma(a, x + i - 5, y + j - 5);
                    const double v = luma(b, x + i - 5, y + j - 5);
                    mx += w * u;
                    my += w * v;
                    xx += w * u * u;
                    yy += w * v * v;
                    xy += w * u * v;
                }
            }
            sum += (2 * mx * my + c1) * (2 * (xy - mx * my) + c2) /
                   ((mx * mx + my * my + c1) * (xx - mx * mx + yy - my * my + c2));
        }
    }
    return sum / (a.width * a.height);
}

Image noisy_picture(int width, int height, unsigned seed) {
    Image image(width, height);
    unsigned state = seed;
    for (std::size_t i = 0; i < image.rgb.size(); ++i) {
        state = state * 1103515245u + 12345u;
        // A ramp with noise, so that windows differ in mean and spread.
        image.rgb[i] = static_cast<std::uint8_t>((i * 7 / 3) % 200 + (state >> 16) % 50);
    }
    return image;
}

TEST(Ssim, EqualsTheWindowedFormulaWorkedOutPixelByPixel) {
    struct Case {
        int width, height;
    };
    // Wider and narrower than the window, and a single line.
    for (const Case c : {Case{23, 17}, Case{5, 3}, Case{40, 1}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const Image a = noisy_picture(c.width, c.height, 1);
        const Image b = noisy_picture(c.width, c.height, 2);
        const double by_hand = ssim_by_hand(a, b);
        EXPECT_NEAR(structural_similarity(a, b), by_hand, 1e-12);
        EXPECT_LT(by_hand, 0.99);
        EXPECT_DOUBLE_EQ(structural_similarity(a, a), 1.0);
    }
}

TEST(Ssim, FlatPicturesCompareTheirLumaOnly) {
    // No variance: SSIM is the luminance term of the two lumas. The blue
    // channel weighs 0.114, green 0.587.
    Image grey(12, 12), bluer(12, 12), greener(12, 12);
    for (std::size_t i = 0; i < grey.rgb.size(); i += 3) {
        grey.rgb[i] = grey.rgb[i + 1] = grey.rgb[i + 2] = 100;
        bluer.rgb[i] = bluer.rgb[i + 1] = 100;
        bluer.rgb[i + 2] = 150;
        greener.rgb[i] = greener.rgb[i + 2] = 100;
        greener.rgb[i + 1] = 150;
    }
    const double c1 = 2.55 * 2.55;
    const auto luminance = [&](double x, double y) {
        return (2 * x * y + c1) / (x * x + y * y + c1);
    };
    EXPECT_NEAR(structural_similarity(grey, bluer), luminance(100, 100 + 0.114 * 50), 1e-12);
    EXPECT_NEAR(structural_similarity(grey, greener), luminance(100, 100 + 0.587 * 50), 1e-12);
}

TEST(Ssim, NoiseLowersItMoreThanTheSameMeanError) {
    // A flat picture against a checkerboard of +-20 (mean error 0) and
    // against a flat +20: PSNR is the same, SSIM far lower for the noise.
    Image flat(16, 16), checker(16, 16), brighter(16, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            for (int c = 0; c < 3; ++c) {
                flat.at(x, y)[c] = 100;
                checker.at(x, y)[c] = (x + y) % 2 == 0 ? 120 : 80;
                brighter.at(x, y)[c] = 120;
            }
        }
    }
    EXPECT_DOUBLE_EQ(compare(flat, checker).psnr, compare(flat, brighter).psnr);
    EXPECT_LT(structural_similarity(flat, checker), 0.2);
    EXPECT_GT(structural_similarity(flat, brighter), 0.95);
}

TEST(Compare, WeightedIsAveragedOverLines) {
    Image source(1, 2);
    Image result(1, 2);
    result.at(0, 0)[1] = 2;  // dG = 2 on one of the two lines: 6 * 4 / 2
    EXPECT_DOUBLE_EQ(compare(source, result).weighted, 12.0);
}

TEST(Strip, SourceResultAndMagnifiedError) {
    Image source(1, 1);
    Image result(1, 1);
    source.rgb = {100, 50, 0};
    result.rgb = {90, 50, 200};
    const Image s = strip(source, result);
    ASSERT_EQ(s.width, 3);
    ASSERT_EQ(s.height, 1);
    EXPECT_EQ(s.rgb, (std::vector<std::uint8_t>{100, 50, 0, 90, 50, 200, 40, 0, 255}));
}

TEST(Enlarge, NearestNeighbour) {
    Image image(2, 1);
    image.rgb = {1, 2, 3, 4, 5, 6};
    const Image big = enlarge(image, 3);
    ASSERT_EQ(big.width, 6);
    ASSERT_EQ(big.height, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(big.at(x, y)[0], x < 3 ? 1 : 4) << x << "," << y;
        }
    }
}

TEST(Bmp, PaddedTopDownAndBrokenFiles) {
    // 1 x 2 top-down picture: rows padded from 3 to 4 bytes.
    std::vector<std::uint8_t> bytes = testsupport::bmp_header(1, 2);
    bytes[22] = 0xFE;  // height -2
    bytes[23] = bytes[24] = bytes[25] = 0xFF;
    const std::uint8_t rows[] = {3, 2, 1, 0, 6, 5, 4, 0};
    bytes.insert(bytes.end(), rows, rows + 8);
    Image image;
    std::string error;
    ASSERT_TRUE(decode_bmp(bytes, image, error)) << error;
    EXPECT_EQ(image.rgb, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));

    bytes.pop_back();
    EXPECT_FALSE(decode_bmp(bytes, image, error));
    EXPECT_NE(error.find("truncated"), std::string::npos);
    EXPECT_FALSE(decode_bmp({'B', 'M', 0}, image, error));
    EXPECT_FALSE(decode_bmp({'P', 'N', 'G'}, image, error));
}

TEST(Png, EncodesAValidFile) {
    Image image(3, 2);
    std::vector<std::uint8_t> png;
    std::string error;
    ASSERT_TRUE(encode_png(image, png, error)) << error;
    const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GT(png.size(), 8u);
    EXPECT_TRUE(std::equal(signature, signature + 8, png.begin()));
    // Width and height in the IHDR chunk.
    EXPECT_EQ(png[19], 3);
    EXPECT_EQ(png[23], 2);
}

}  // namespace
