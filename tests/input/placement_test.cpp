// Placement of a picture in a frame: a table of sizes worked out by hand from
// ffmpeg's rules, then the same placements checked against ffmpeg itself:
// ffmpeg's own fitting filters and the filters built from our numbers must
// give the same frames, byte for byte.
#include "input/placement.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "tests/common/files.h"
#include "tests/common/process.h"

namespace {

using brenvik::input::Fit;
using brenvik::input::Gravity;
using brenvik::input::Placement;
using brenvik::input::Size;

struct PlacementCase {
    const char* name;
    Size source;
    Size target;
    Fit fit;
    Gravity gravity;
    Placement expected;  // scaled, crop_left, crop_top, kept, pad_left, pad_top
};

void PrintTo(const PlacementCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr Size k320x200{320, 200};

const PlacementCase kPlacements[] = {
    // 200 * 640 / 480 = 266.7 -> 267; the bars share the 53 columns, 26 left.
    {"landscape_4_3_pad",
     {640, 480},
     k320x200,
     Fit::pad,
     Gravity::centre,
     {{267, 200}, 0, 0, {267, 200}, 26, 0}},
    // 320 * 480 / 640 = 240: 40 lines cut, 20 at the top.
    {"landscape_4_3_crop",
     {640, 480},
     k320x200,
     Fit::crop,
     Gravity::centre,
     {{320, 240}, 0, 20, {320, 200}, 0, 0}},
    {"phone_photo_crop",
     {4000, 3000},
     k320x200,
     Fit::crop,
     Gravity::centre,
     {{320, 240}, 0, 20, {320, 200}, 0, 0}},
    {"phone_photo_stretch",
     {4000, 3000},
     k320x200,
     Fit::stretch,
     Gravity::centre,
     {{320, 200}, 0, 0, {320, 200}, 0, 0}},
    // 200 * 3000 / 4000 = 150; 320 * 4000 / 3000 = 426.7 -> 427.
    {"portrait_pad",
     {3000, 4000},
     k320x200,
     Fit::pad,
     Gravity::centre,
     {{150, 200}, 0, 0, {150, 200}, 85, 0}},
    {"portrait_pad_left",
     {3000, 4000},
     k320x200,
     Fit::pad,
     Gravity::left,
     {{150, 200}, 0, 0, {150, 200}, 0, 0}},
    {"portrait_pad_bottom_right",
     {3000, 4000},
     k320x200,
     Fit::pad,
     Gravity::bottom_right,
     {{150, 200}, 0, 0, {150, 200}, 170, 0}},
    // 227 lines too many: 113.5 rounds to the even 114.
    {"portrait_crop",
     {3000, 4000},
     k320x200,
     Fit::crop,
     Gravity::centre,
     {{320, 427}, 0, 114, {320, 200}, 0, 0}},
    {"portrait_crop_top",
     {3000, 4000},
     k320x200,
     Fit::crop,
     Gravity::top,
     {{320, 427}, 0, 0, {320, 200}, 0, 0}},
    {"portrait_crop_bottom_left",
     {3000, 4000},
     k320x200,
     Fit::crop,
     Gravity::bottom_left,
     {{320, 427}, 0, 227, {320, 200}, 0, 0}},
    // Smaller than the frame: scaled up. 200 * 100 / 50 = 400 > 320, so 320 x 160.
    {"small_pad",
     {100, 50},
     k320x200,
     Fit::pad,
     Gravity::centre,
     {{320, 160}, 0, 0, {320, 160}, 0, 20}},
    {"small_pad_bottom",
     {100, 50},
     k320x200,
     Fit::pad,
     Gravity::bottom,
     {{320, 160}, 0, 0, {320, 160}, 0, 40}},
    {"small_pad_top_right",
     {100, 50},
     k320x200,
     Fit::pad,
     Gravity::top_right,
     {{320, 160}, 0, 0, {320, 160}, 0, 0}},
    // Three columns too many: 1.5 rounds to the even 2; five: 2.5 to 2.
    {"odd_excess_3",
     {323, 200},
     k320x200,
     Fit::crop,
     Gravity::centre,
     {{323, 200}, 2, 0, {320, 200}, 0, 0}},
    {"odd_excess_5",
     {325, 200},
     k320x200,
     Fit::crop,
     Gravity::centre,
     {{325, 200}, 2, 0, {320, 200}, 0, 0}},
    {"wide_crop_left",
     {1000, 300},
     k320x200,
     Fit::crop,
     Gravity::left,
     {{667, 200}, 0, 0, {320, 200}, 0, 0}},
    {"wide_crop_right",
     {1000, 300},
     k320x200,
     Fit::crop,
     Gravity::top_right,
     {{667, 200}, 347, 0, {320, 200}, 0, 0}},
    {"wide_crop_centre",
     {1000, 300},
     k320x200,
     Fit::crop,
     Gravity::centre,
     {{667, 200}, 174, 0, {320, 200}, 0, 0}},
    // A side that rounds to 0 becomes 1 (as in ffmpeg); (320 - 1) / 2 = 159.
    {"thin_line_pad",
     {1, 1000},
     k320x200,
     Fit::pad,
     Gravity::centre,
     {{1, 200}, 0, 0, {1, 200}, 159, 0}},
    {"exact_size_is_unchanged",
     {320, 200},
     k320x200,
     Fit::crop,
     Gravity::bottom_right,
     {{320, 200}, 0, 0, {320, 200}, 0, 0}},
    // The overscan mode: 229 * 300 / 300 = 229; (416 - 229) / 2 = 93.5 -> 93.
    {"square_pad_overscan",
     {300, 300},
     {416, 229},
     Fit::pad,
     Gravity::centre,
     {{229, 229}, 0, 0, {229, 229}, 93, 0}},
};

class PlacementTable : public testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTable, GivesTheScaledSizeCropAndPad) {
    const PlacementCase& c = GetParam();
    const Placement p = brenvik::input::place_picture(c.source, c.target, c.fit, c.gravity);
    EXPECT_EQ(p.scaled, c.expected.scaled);
    EXPECT_EQ(p.kept, c.expected.kept);
    EXPECT_EQ(p.crop_left, c.expected.crop_left);
    EXPECT_EQ(p.crop_top, c.expected.crop_top);
    EXPECT_EQ(p.pad_left, c.expected.pad_left);
    EXPECT_EQ(p.pad_top, c.expected.pad_top);
}

INSTANTIATE_TEST_SUITE_P(Input, PlacementTable, testing::ValuesIn(kPlacements),
                         [](const testing::TestParamInfo<PlacementCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(PlacementNames, EveryNameReadsBackToItsValue) {
    for (const char* name : {"pad", "crop", "stretch"}) {
        const auto fit = brenvik::input::fit_from_name(name);
        ASSERT_TRUE(fit.has_value()) << name;
        EXPECT_STREQ(brenvik::input::fit_name(*fit), name);
    }
    for (const char* name : {"centre", "top", "bottom", "left", "right", "top-left", "top-right",
                             "bottom-left", "bottom-right"}) {
        const auto gravity = brenvik::input::gravity_from_name(name);
        ASSERT_TRUE(gravity.has_value()) << name;
        EXPECT_STREQ(brenvik::input::gravity_name(*gravity), name);
    }
    EXPECT_EQ(brenvik::input::gravity_from_name("center"), Gravity::centre);
    for (const char* bad : {"", "Pad", "fill", "pad ", "middle", "topleft"}) {
        EXPECT_FALSE(brenvik::input::fit_from_name(bad).has_value()) << bad;
        EXPECT_FALSE(brenvik::input::gravity_from_name(bad).has_value()) << bad;
    }
}

// --- against ffmpeg ---------------------------------------------------------

std::string on_path(const std::string& program) {
#ifdef _WIN32
    (void)program;
    return "";
#else
    const char* path = std::getenv("PATH");
    std::string list = path != nullptr ? path : "";
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        const std::filesystem::path candidate =
            std::filesystem::path(list.substr(start, end - start)) / program;
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate.string();
        start = end + 1;
    }
    return "";
#endif
}

// ffmpeg's own fitting filters (force_original_aspect_ratio, as brenvik-video
// used them before it took the placement from here), for a window of
// `target`.
std::string ffmpeg_fitting_filter(Fit fit, Size target) {
    const std::string size = std::to_string(target.width) + ":" + std::to_string(target.height);
    switch (fit) {
        case Fit::pad:
            return "scale=" + size +
                   ":force_original_aspect_ratio=decrease:flags=lanczos,format=bgr24,pad=" + size +
                   ":(ow-iw)/2:(oh-ih)/2:black";
        case Fit::crop:
            return "scale=" + size +
                   ":force_original_aspect_ratio=increase:flags=lanczos,format=bgr24,crop=" + size;
        case Fit::stretch:
            return "scale=" + size + ":flags=lanczos,format=bgr24";
    }
    return "";
}

TEST(PlacementAgainstFfmpeg, FfmpegFiltersAndOurNumbersGiveTheSameFrames) {
    const std::string ffmpeg = on_path("ffmpeg");
    if (ffmpeg.empty()) {
        GTEST_SKIP() << "ffmpeg is not installed (tools/setup-debian.sh installs it)";
    }
    const std::vector<Size> sources = {{640, 480}, {480, 640}, {451, 300}, {300, 451}, {323, 161},
                                       {325, 163}, {327, 201}, {100, 50},  {50, 100},  {1000, 300},
                                       {17, 9},    {3, 100},   {777, 555}, {321, 200}, {320, 200}};
    const std::vector<Size> targets = {{320, 200}, {416, 229}, {320, 158}};
    const Fit fits[] = {Fit::pad, Fit::crop, Fit::stretch};
    testsupport::TempDir dir;
    std::mt19937 noise(7);
    for (const Size& source : sources) {
        // Noise: any offset or size that differs shows in the frames.
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(source.width) * source.height *
                                         3);
        for (std::uint8_t& b : pixels) b = static_cast<std::uint8_t>(noise());
        // BMP rows are padded to 4 bytes: write the picture through a padded copy.
        const std::size_t row = static_cast<std::size_t>(source.width) * 3;
        const std::size_t padded = (row + 3) / 4 * 4;
        std::vector<std::uint8_t> file = testsupport::bmp_header(source.width, source.height);
        file.resize(54 + padded * source.height, 0);
        for (int y = 0; y < source.height; ++y) {
            std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(y * row), row,
                        file.begin() + static_cast<std::ptrdiff_t>(54 + y * padded));
        }
        const std::uint32_t data = static_cast<std::uint32_t>(padded * source.height);
        for (int i = 0; i < 4; ++i) {
            file[34 + i] = static_cast<std::uint8_t>(data >> (8 * i));
            file[2 + i] = static_cast<std::uint8_t>((data + 54) >> (8 * i));
        }
        testsupport::write_file(dir.path() / "in.bmp", file);

        std::string graph = "[0]split=" + std::to_string(2 * targets.size() * std::size(fits));
        for (std::size_t i = 0; i < 2 * targets.size() * std::size(fits); ++i) {
            graph += "[s" + std::to_string(i) + "]";
        }
        std::vector<std::string> args = {ffmpeg, "-v", "error", "-nostdin", "-y", "-i", "in.bmp"};
        std::vector<std::string> outputs;
        std::size_t n = 0;
        for (const Size& target : targets) {
            for (Fit fit : fits) {
                const Placement p =
                    brenvik::input::place_picture(source, target, fit, Gravity::centre);
                for (const std::string& filter :
                     {ffmpeg_fitting_filter(fit, target), brenvik::input::ffmpeg_filter(p, target)}) {
                    graph +=
                        ";[s" + std::to_string(n) + "]" + filter + "[o" + std::to_string(n) + "]";
                    outputs.push_back("o" + std::to_string(n) + ".raw");
                    ++n;
                }
            }
        }
        args.insert(args.end(), {"-filter_complex", graph});
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            args.insert(args.end(), {"-map", "[o" + std::to_string(i) + "]", "-f", "rawvideo",
                                     "-pix_fmt", "rgb24", outputs[i]});
        }
        const auto run = testsupport::run_process(args, dir.path().string());
        ASSERT_EQ(run.status, 0) << run.err;
        n = 0;
        for (const Size& target : targets) {
            for (Fit fit : fits) {
                const auto video = testsupport::read_file(dir.path() / outputs[n]);
                const auto ours = testsupport::read_file(dir.path() / outputs[n + 1]);
                EXPECT_EQ(video.size(), std::size_t{3} * target.width * target.height);
                EXPECT_TRUE(video == ours)
                    << source.width << "x" << source.height << " into " << target.width << "x"
                    << target.height << " " << brenvik::input::fit_name(fit) << ": "
                    << brenvik::input::ffmpeg_filter(
                           brenvik::input::place_picture(source, target, fit, Gravity::centre),
                           target);
                n += 2;
            }
        }
    }
}

}  // namespace
