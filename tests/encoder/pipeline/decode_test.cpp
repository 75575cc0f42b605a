// Reads written picture files back as the hardware would (bitplanes, palette
// records, the mode's slot schedule) and checks that every pixel shows the
// colour its preview shows.
#include "format/block_geometry.h"
#include "tests/encoder/pipeline/decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/frontend/options.h"
#include "encoder/state/screen_layout.h"
#include "format/screen_modes.h"
#include "tests/common/fixtures.h"

namespace {

using testsupport::TempDir;

struct DecodeCase {
    const char* name;
    int mode_row;
    int shift;  // option value 0..9
    int palette_mode;
    int blocks;  // lines per block
    const char* extra;
    bool on_16_step_grid;  // picture values on a 16-step grid (level step 16)
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

int level_step(const std::string& out) {
    const auto at = out.find("nbbits16=");
    EXPECT_NE(at, std::string::npos);
    return std::stoi(out.substr(at + 9)) == 0 ? 16 : 17;
}

// Checks `picture` (bitmap at 0, palette records from `palettes_at`, one
// record per `lines_per_record` lines) against the preview's pixels.
void expect_matches_preview(const brenvik::ScreenLayout& layout,
                            const std::vector<std::uint8_t>& bitmap_file,
                            const std::vector<std::uint8_t>& palette_file, std::size_t palettes_at,
                            int lines_per_record, const std::vector<std::uint8_t>& preview,
                            int width, int height, int step, const std::string& what) {
    ASSERT_EQ(preview.size(), 54u + static_cast<std::size_t>(width) * height * 3) << what;
    const std::vector<int> regs = testsupport::decode_bitplanes(bitmap_file, 0, width, height);
    const std::size_t record_size = 2 * static_cast<std::size_t>(layout.mode.palette_words);
    int mismatches = 0;
    for (int y = 1; y <= height; ++y) {
        const std::size_t record =
            palettes_at + static_cast<std::size_t>((y - 1) / lines_per_record) * record_size;
        const std::size_t row = 54 + static_cast<std::size_t>(height - y) * width * 3;
        for (int x = 1; x <= width; ++x) {
            const int reg = regs[static_cast<std::size_t>(y - 1) * width + (x - 1)];
            const auto shown =
                testsupport::shown_colour(layout, palette_file, record, reg, x, step);
            const std::size_t p = row + static_cast<std::size_t>(x - 1) * 3;
            const std::array<int, 3> expected = {preview[p + 2], preview[p + 1], preview[p]};
            if (shown != expected && ++mismatches <= 5) {
                ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") register " << reg
                              << " shows " << shown[0] << "," << shown[1] << "," << shown[2]
                              << " but the preview has " << expected[0] << "," << expected[1] << ","
                              << expected[2];
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << what;
}

TEST_P(DecodeTest, EveryPixelShowsThePreviewColour) {
    const DecodeCase& c = GetParam();
    const brenvik::ScreenMode& mode = format::kScreenModes[c.mode_row];
    TempDir dir;
    auto bmp = testsupport::synthetic_picture(mode.width, mode.height, 40 + c.mode_row);
    if (c.on_16_step_grid) {
        for (std::size_t i = 54; i < bmp.size(); ++i) bmp[i] &= 0xF0;
    }
    testsupport::write_file(dir.path() / "pic.bmp", bmp);
    std::vector<std::string> args = {"-0",
                                     "--preview=1",
                                     "--mode=" + std::to_string(c.mode_row),
                                     "--shiftpixels=" + std::to_string(c.shift),
                                     "--pixpal=" + std::to_string(c.palette_mode),
                                     "--blockoflines=" + std::to_string(c.blocks)};
    if (c.extra[0] != '\0') args.push_back(c.extra);
    args.push_back("pic.bmp");
    const auto run = testsupport::run_encoder(dir.path(), args, 2);
    ASSERT_EQ(run.status, 0) << run.err;

    const brenvik::ScreenLayout layout = brenvik::build_screen_layout(mode, c.shift - 5);
    const int step = level_step(run.out);
    if (c.on_16_step_grid) {
        EXPECT_EQ(step, 16);
    }
    const int W = mode.width;
    const int H = mode.height;
    const brenvik::BlockGeometry g = format::block_geometry(c.blocks);
    const std::size_t bitmap_size = static_cast<std::size_t>(W) * H / 2;
    const std::size_t record_size = 2 * static_cast<std::size_t>(mode.palette_words);
    int block_count = 0;
    for (int h = g.first_centre_line; h < H + g.block_height; h += g.block_height) ++block_count;
    const bool two_palettes = c.palette_mode != 1;
    const std::size_t second_at = bitmap_size + block_count * record_size;

    const auto picture = testsupport::read_file(dir.path() / "pic.bVK");
    ASSERT_EQ(picture.size(), second_at + (two_palettes ? H * record_size : 0));
    expect_matches_preview(layout, picture, picture, bitmap_size, g.block_height,
                           testsupport::read_file(dir.path() / "pic_preview.bmp"), W, H, step,
                           "picture");
    if (two_palettes) {
        expect_matches_preview(layout, picture, picture, second_at, 1,
                               testsupport::read_file(dir.path() / "pic_preview2.bmp"), W, H, step,
                               "second palette set");
    }
    if (c.palette_mode == 2) {
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "Fpic.bVK"));
        return;
    }
    const auto diffused = testsupport::read_file(dir.path() / "Fpic.bVK");
    ASSERT_EQ(diffused.size(), picture.size());
    EXPECT_TRUE(std::equal(picture.begin() + static_cast<std::ptrdiff_t>(bitmap_size),
                           picture.end(),
                           diffused.begin() + static_cast<std::ptrdiff_t>(bitmap_size)))
        << "the diffused file must carry the same palette records";
    expect_matches_preview(layout, diffused, diffused, bitmap_size, g.block_height,
                           testsupport::read_file(dir.path() / "Fpic_preview.bmp"), W, H, step,
                           "diffused picture");
    if (c.palette_mode == 3) {
        const auto second_bitmap = testsupport::read_file(dir.path() / "picF2.bVK");
        ASSERT_EQ(second_bitmap.size(), bitmap_size);
        expect_matches_preview(layout, second_bitmap, picture, second_at, 1,
                               testsupport::read_file(dir.path() / "pic_previewF2.bmp"), W, H, step,
                               "second diffused bitmap");
    }
}

// clang-format off
const DecodeCase kDecodeCases[] = {
    {"Mode0", 0, 5, 1, 1, "", false},
    {"Mode1ShiftLeft", 1, 0, 1, 1, "", false},
    {"Mode2ShiftRight", 2, 9, 1, 1, "", false},
    {"Mode3Overscan", 3, 7, 1, 1, "--dith=3", false},
    {"TwoBitmaps", 0, 5, 2, 1, "", false},
    {"TwoPalettes", 0, 5, 3, 1, "", false},
    {"TwoLineBlocks", 0, 5, 1, 2, "", false},
    {"FiveLineBlocksTwoPalettes", 1, 3, 3, 5, "", false},
    {"CheckerPredither", 2, 5, 1, 1, "--dith=1", false},
    {"ThreeLineBlocksStepSixteen", 2, 5, 1, 3, "", true},
};
// clang-format on

std::string case_name(const ::testing::TestParamInfo<DecodeCase>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Files, DecodeTest, ::testing::ValuesIn(kDecodeCases), case_name);

}  // namespace
