// The format headers against the figures the documentation gives: a change
// to one of the shared facts must show here, not only as different bytes
// further down.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "format/block_geometry.h"
#include "format/container.h"
#include "format/picture_file.h"
#include "format/screen_modes.h"
#include "format/ste_palette.h"
#include "format/wav.h"

namespace {

namespace container = format::container;

struct SizeCase {
    int mode;
    int block_lines;
    bool two_palettes;
    std::size_t bytes;
};

class PictureFileSize : public testing::TestWithParam<SizeCase> {};

TEST_P(PictureFileSize, IsTheDocumentedOne) {
    const SizeCase& c = GetParam();
    EXPECT_EQ(format::picture_file_bytes(format::kScreenModes[static_cast<std::size_t>(c.mode)],
                                         c.block_lines, c.two_palettes),
              c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Modes, PictureFileSize,
                         testing::Values(SizeCase{0, 1, false, 53600}, SizeCase{0, 1, true, 75200},
                                         SizeCase{1, 1, false, 64000}, SizeCase{1, 1, true, 96000},
                                         SizeCase{2, 1, false, 51200}, SizeCase{2, 1, true, 70400},
                                         SizeCase{3, 1, false, 69616}, SizeCase{3, 1, true, 91600},
                                         SizeCase{4, 1, false, 3200}, SizeCase{4, 3, true, 3200},
                                         SizeCase{0, 3, false, 39236},    // 32000 + 67 x 108
                                         SizeCase{0, 8, false, 53600},    // 8 means one-line blocks
                                         SizeCase{3, 6, false, 51376}));  // 47632 + 39 x 96

TEST(BlockGeometry, RecordsPerHeightAsDocumented) {
    // Block heights 1..6: records for 200 and for 229 lines.
    const int for_200[] = {200, 101, 67, 51, 41, 34};
    const int for_229[] = {229, 115, 77, 58, 47, 39};
    for (int lines = 1; lines <= 6; ++lines) {
        const format::BlockGeometry g = format::block_geometry(lines);
        EXPECT_EQ(format::block_count(g, 200), for_200[lines - 1]) << lines;
        EXPECT_EQ(format::block_count(g, 229), for_229[lines - 1]) << lines;
        EXPECT_EQ(format::block_centre_lines(g, 200).size(),
                  static_cast<std::size_t>(for_200[lines - 1]));
        // Every line of a picture falls in the block whose rows hold it.
        for (int line = 1; line <= 200; ++line) {
            const int b = format::block_of_line(g, line);
            const int centre = format::block_centre_lines(g, 200)[static_cast<std::size_t>(b)];
            EXPECT_GE(line, centre + g.first_row_offset);
            EXPECT_LE(line, centre + g.last_row_offset);
        }
    }
}

TEST(StePalette, WordsAndLevelsAsDocumented) {
    EXPECT_EQ(format::palette_word(15, 15, 15), 0x0FFF);
    EXPECT_EQ(format::palette_word(1, 7, 14), 0x08B7);
    EXPECT_EQ(format::palette_word(8, 4, 2), 0x0421);
    for (int colour = 0; colour < format::kColourCount; ++colour) {
        ASSERT_EQ(format::colour_of_word(format::word_of_colour(colour)), colour) << colour;
    }
}

TEST(Schedules, RunsOfOneRegisterNeverOverlapAndCoverTheSlots) {
    for (int layout = 0; layout <= 3; ++layout) {
        for (int shift = format::kLowestShift; shift <= format::kHighestShift; ++shift) {
            const auto runs = format::slot_runs(layout, shift);
            ASSERT_EQ(runs.size(), static_cast<std::size_t>(format::scheduled_slots(layout)));
            const int width = format::layout_width(layout);
            std::vector<int> shown(static_cast<std::size_t>(width + 1) * format::kRegisterCount, 0);
            for (const format::SlotRun& run : runs) {
                EXPECT_GE(run.first_column, 1);
                EXPECT_LE(run.last_column, width);
                for (int x = run.first_column; x <= run.last_column; ++x) {
                    int& n = shown[static_cast<std::size_t>(x) * format::kRegisterCount +
                                   static_cast<std::size_t>(run.colour_register)];
                    EXPECT_EQ(++n, 1) << "layout " << layout << " shift " << shift << " column "
                                      << x << " register " << run.colour_register;
                }
            }
        }
    }
}

TEST(Container, LayoutAsDocumented) {
    EXPECT_EQ(container::kFirstRecordOffset, 32768u);
    EXPECT_EQ(container::kBitmapWindowBegin, 3360u);
    EXPECT_EQ(container::kBitmapWindowBegin + container::kBitmapWindowBytes, 28640u);
    EXPECT_EQ(container::kPaletteWindowBegin, 34016u);
    EXPECT_EQ(container::kPaletteWindowBegin + container::kPaletteWindowBytes, 49184u);
    EXPECT_EQ(container::kRecordBytes, 42496u);
    EXPECT_EQ(container::kFramePictureBytes, 51200u);
    EXPECT_EQ(container::container_bytes(250), 32768u + 250u * 42496u);
}

TEST(Container, MovesBackBeforeThe22ndChunkThenEvery25th) {
    std::vector<std::uint32_t> moves;
    std::size_t new_sound = 0;
    for (std::uint32_t record = 0; record < 100; ++record) {
        if (container::moves_back_before(record)) moves.push_back(record);
        new_sound += container::new_sound_bytes(record);
    }
    EXPECT_EQ(moves, (std::vector<std::uint32_t>{21, 46, 71, 96}));
    EXPECT_EQ(new_sound, 100u * 2048u - 4u * 1134u);
    // Every second of frames (25 records) after the first move brings one
    // second of sound.
    std::size_t second = 0;
    for (std::uint32_t record = 21; record < 46; ++record) {
        second += container::new_sound_bytes(record);
    }
    EXPECT_EQ(second, container::kSoundRate);
}

TEST(Container, SilentTailAndSoundStart) {
    EXPECT_FALSE(container::in_silent_tail(91, 99));
    EXPECT_TRUE(container::in_silent_tail(92, 99));
    EXPECT_TRUE(container::in_silent_tail(99, 99));
    for (std::uint32_t frame = 0; frame <= 7; ++frame) {
        EXPECT_FALSE(container::in_silent_tail(frame, 7)) << "no silent tail below 8 frames";
    }
    EXPECT_EQ(container::sound_start(0), 44u);
    EXPECT_EQ(container::sound_start(50), 44u + 50066u);
    EXPECT_EQ(container::sound_start(1), 44u + 1001u);
    // The product wraps in 32 bits, as the writer computes it.
    EXPECT_EQ(container::sound_start(200000), 44u + (200000u * 25033u) / 25u);
    EXPECT_EQ(container::frame_file_name("films/ANIM", 7, ".BVK"), "films/ANIM00007.BVK");
    EXPECT_EQ(container::frame_file_name("", 99999, ".bvk"), "99999.bvk");
}

TEST(Wav, CanonicalHeader) {
    const auto h = format::wav_header(1000, 50066);
    const unsigned char expected[44] = {'R',  'I',  'F', 'F', 0x0c, 0x04, 0, 0, 'W', 'A', 'V', 'E',
                                        'f',  'm',  't', ' ', 16,   0,    0, 0, 1,   0,   1,   0,
                                        0x92, 0xc3, 0,   0,   0x92, 0xc3, 0, 0, 1,   0,   8,   0,
                                        'd',  'a',  't', 'a', 0xe8, 0x03, 0, 0};
    for (std::size_t i = 0; i < 44; ++i) EXPECT_EQ(h[i], expected[i]) << "byte " << i;
}

}  // namespace
