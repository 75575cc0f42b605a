// Linear light, the filters' weights and the fitting of decoded pixels:
// exact round trips, weights that sum to one, light averaged as light (not
// as sRGB numbers), alpha over black, and the picture landing where the
// placement puts it.
#include "input/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "input/fit.h"
#include "input/linear_light.h"

namespace {

using brenvik::input::DecodedPicture;
using brenvik::input::Filter;
using brenvik::input::FitOptions;
using brenvik::input::Frame;
using brenvik::input::Size;

TEST(LinearLight, CurveMatchesTheLibraryPowerClosely) {
    for (int i = 0; i <= 4000; ++i) {
        const double v = i / 4000.0;
        const double expected = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        EXPECT_NEAR(brenvik::input::srgb_to_linear(v), expected, 1e-13) << v;
    }
}

TEST(LinearLight, EveryEightBitValueComesBackUnchanged) {
    const auto& table = brenvik::input::linear_from_8_bits();
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[255], brenvik::input::kLinearOne);
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(brenvik::input::srgb_from_linear(table[static_cast<std::size_t>(v)]), v);
        if (v > 0) {
            EXPECT_GT(table[static_cast<std::size_t>(v)], table[static_cast<std::size_t>(v - 1)]);
        }
    }
    EXPECT_EQ(brenvik::input::srgb_from_linear(-1000), 0);
    EXPECT_EQ(brenvik::input::srgb_from_linear(2LL * brenvik::input::kLinearOne), 255);
}

TEST(LinearLight, SixteenBitTableRisesAndMeetsTheEightBitOne) {
    const auto& wide = brenvik::input::linear_from_16_bits();
    const auto& narrow = brenvik::input::linear_from_8_bits();
    for (std::size_t v = 1; v < wide.size(); ++v) ASSERT_GE(wide[v], wide[v - 1]) << v;
    for (std::size_t v = 0; v < 256; ++v) EXPECT_NEAR(wide[v * 257], narrow[v], 1) << v;
    // A 16-bit value comes back as the nearest 8-bit value on the sRGB scale.
    for (int v = 0; v < 65536; v += 7) {
        const int back = brenvik::input::srgb_from_linear(wide[static_cast<std::size_t>(v)]);
        EXPECT_LE(std::abs(back * 257 - v), 129) << v;
    }
}

TEST(Filters, SineIsExactAtIntegersAndCloseElsewhere) {
    for (int n = -7; n <= 7; ++n) EXPECT_EQ(brenvik::input::sin_pi(n), 0.0) << n;
    for (int i = -3000; i <= 3000; ++i) {
        const double x = i / 997.0;
        EXPECT_NEAR(brenvik::input::sin_pi(x), std::sin(3.14159265358979323846 * x), 1e-12) << x;
    }
}

TEST(Filters, KernelsAreOneAtZeroAndZeroAtOtherIntegers) {
    for (Filter f : {Filter::lanczos3, Filter::catmull_rom}) {
        EXPECT_EQ(brenvik::input::filter_kernel(f, 0.0), 1.0);
        for (int n : {-3, -2, -1, 1, 2, 3, 4}) EXPECT_EQ(brenvik::input::filter_kernel(f, n), 0.0);
        EXPECT_NEAR(brenvik::input::filter_kernel(f, 0.5), brenvik::input::filter_kernel(f, -0.5),
                    0);
    }
    EXPECT_NEAR(brenvik::input::filter_kernel(Filter::catmull_rom, 0.5), 0.5625, 1e-15);
    EXPECT_NEAR(brenvik::input::filter_kernel(Filter::catmull_rom, 1.5), -0.0625, 1e-15);
    EXPECT_NEAR(brenvik::input::filter_kernel(Filter::lanczos3, 0.5), 0.6079271018540267, 1e-12);
}

TEST(Filters, WeightsSumToOneAndStayNearTheirOutput) {
    const std::pair<int, int> lines[] = {{4000, 320}, {3000, 427}, {100, 320}, {320, 320},
                                         {7, 200},    {1, 200},    {451, 300}, {200, 1}};
    for (Filter f : {Filter::lanczos3, Filter::catmull_rom}) {
        for (const auto& [source, scaled] : lines) {
            const auto taps = brenvik::input::filter_taps(f, source, scaled, 0, scaled);
            for (int k = 0; k < scaled; ++k) {
                const auto uk = static_cast<std::size_t>(k);
                int sum = 0;
                for (int t = 0; t < taps.length[uk]; ++t) {
                    sum += taps.weights[taps.offset[uk] + static_cast<std::size_t>(t)];
                }
                ASSERT_EQ(sum, brenvik::input::kWeightOne) << source << "->" << scaled << " " << k;
                ASSERT_GE(taps.start[uk], 0);
                ASSERT_LE(taps.start[uk] + taps.length[uk], source);
                // The output's centre lies within its taps.
                const double centre = (k + 0.5) * source / scaled;
                ASSERT_LE(taps.start[uk], centre);
                ASSERT_GE(taps.start[uk] + taps.length[uk], centre);
            }
            if (source == scaled) {
                for (int k = 0; k < scaled; ++k) {
                    ASSERT_EQ(taps.length[static_cast<std::size_t>(k)], 1);
                    ASSERT_EQ(taps.start[static_cast<std::size_t>(k)], k);
                }
            }
        }
    }
}

TEST(Filters, APartOfTheLineHasTheWholeLinesWeights) {
    const auto whole = brenvik::input::filter_taps(Filter::catmull_rom, 3000, 427, 0, 427);
    const auto part = brenvik::input::filter_taps(Filter::catmull_rom, 3000, 427, 114, 200);
    for (std::size_t k = 0; k < 200; ++k) {
        ASSERT_EQ(part.start[k], whole.start[k + 114]);
        ASSERT_EQ(part.length[k], whole.length[k + 114]);
        for (int t = 0; t < part.length[k]; ++t) {
            ASSERT_EQ(part.weights[part.offset[k] + static_cast<std::size_t>(t)],
                      whole.weights[whole.offset[k + 114] + static_cast<std::size_t>(t)]);
        }
    }
}

DecodedPicture picture_of(int width, int height, int channels, int bits,
                          const std::function<std::vector<unsigned>(int, int)>& pixel) {
    DecodedPicture p;
    p.width = width;
    p.height = height;
    p.channels = channels;
    p.bits = bits;
    p.samples.resize(p.row_bytes() * static_cast<std::size_t>(height));
    std::size_t at = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (unsigned v : pixel(x, y)) {
                if (bits == 16) p.samples[at++] = static_cast<std::uint8_t>(v >> 8);
                p.samples[at++] = static_cast<std::uint8_t>(v);
            }
        }
    }
    return p;
}

// Frame pixel (x, y), y from the top: R, G, B.
std::array<int, 3> at(const Frame& f, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(f.size.height - 1 - y) * f.size.width + x) * 3;
    return {f.bgr[i + 2], f.bgr[i + 1], f.bgr[i]};
}

TEST(FitPicture, ExactSizeGivesTheSamePixelsWhateverTheFilter) {
    std::mt19937 noise(3);
    const DecodedPicture p = picture_of(320, 20, 3, 8, [&noise](int, int) {
        return std::vector<unsigned>{static_cast<unsigned>(noise() & 255u),
                                     static_cast<unsigned>(noise() & 255u),
                                     static_cast<unsigned>(noise() & 255u)};
    });
    for (Filter f : {Filter::lanczos3, Filter::catmull_rom}) {
        const Frame frame = brenvik::input::fit_picture(
            p, {320, 20}, {brenvik::input::Fit::crop, brenvik::input::Gravity::centre, f});
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 320; ++x) {
                const std::uint8_t* s =
                    p.samples.data() + (static_cast<std::size_t>(y) * 320 + x) * 3;
                ASSERT_EQ(at(frame, x, y), (std::array<int, 3>{s[0], s[1], s[2]})) << x << "," << y;
            }
        }
    }
}

TEST(FitPicture, FlatColourStaysExactAndBarsAreBlack) {
    const DecodedPicture p = picture_of(640, 480, 3, 8, [](int, int) {
        return std::vector<unsigned>{100, 150, 200};
    });
    const Frame frame = brenvik::input::fit_picture(p, {320, 200}, {});
    // pad: 267 x 200 at column 26.
    for (int y = 0; y < 200; y += 7) {
        for (int x = 0; x < 320; ++x) {
            const bool inside = x >= 26 && x < 26 + 267;
            EXPECT_EQ(at(frame, x, y),
                      inside ? (std::array<int, 3>{100, 150, 200}) : (std::array<int, 3>{0, 0, 0}))
                << x << "," << y;
        }
    }
}

TEST(FitPicture, BlackAndWhiteAverageAsLightNotAsNumbers) {
    // A checkerboard shrunk four times: half the light, which sRGB writes as
    // 188, not 128.
    const DecodedPicture p = picture_of(1280, 800, 3, 8, [](int x, int y) {
        const unsigned v = (x + y) % 2 == 0 ? 255 : 0;
        return std::vector<unsigned>{v, v, v};
    });
    for (Filter f : {Filter::lanczos3, Filter::catmull_rom}) {
        const Frame frame = brenvik::input::fit_picture(
            p, {320, 200}, {brenvik::input::Fit::stretch, brenvik::input::Gravity::centre, f});
        for (int y = 5; y < 195; y += 10) {
            for (int x = 5; x < 315; x += 10) {
                for (int c : at(frame, x, y)) EXPECT_NEAR(c, 188, 1) << x << "," << y;
            }
        }
    }
}

TEST(FitPicture, AlphaIsAppliedOverBlackAtEightAndSixteenBits) {
    for (int bits : {8, 16}) {
        const unsigned full = bits == 16 ? 65535 : 255;
        // Left half transparent white, right half half-covered white.
        const DecodedPicture p = picture_of(320, 200, 4, bits, [full](int x, int) {
            return std::vector<unsigned>{full, full, full, x < 160 ? 0 : (full + 1) / 2};
        });
        const Frame frame = brenvik::input::fit_picture(p, {320, 200}, {});
        EXPECT_EQ(at(frame, 40, 100), (std::array<int, 3>{0, 0, 0}));
        // Half the light of white: 188 on the sRGB scale.
        for (int c : at(frame, 280, 100)) EXPECT_NEAR(c, 188, 1) << bits;
    }
}

}  // namespace
