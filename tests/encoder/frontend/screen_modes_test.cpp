// Screen modes: the table of modes, and for each layout the register and
// visible columns of the palette slots, the first column and run length
// rows, the per-column lists of optimiser slots and the rescan ranges.
#include "format/screen_modes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "encoder/state/screen_layout.h"

namespace {

using brenvik::ScreenLayout;

ScreenLayout layout(int row, int shift) {
    return brenvik::build_screen_layout(format::kScreenModes[static_cast<std::size_t>(row)], shift);
}

struct ModeRow {
    int row;
    int layout_id;
    int palette_words;
    int width;
    int height;
    int layout_width;
    int optimised_slot_count;
};

void PrintTo(const ModeRow& c, std::ostream* os) {
    *os << "row " << c.row;
}

class ScreenModes : public testing::TestWithParam<ModeRow> {};

TEST_P(ScreenModes, RecordAndLayoutSizes) {
    const ModeRow& m = GetParam();
    const brenvik::ScreenMode& mode = format::kScreenModes[static_cast<std::size_t>(m.row)];
    EXPECT_EQ(mode.layout_id, m.layout_id);
    EXPECT_EQ(mode.palette_words, m.palette_words);
    EXPECT_EQ(mode.excluded_words, 0);
    EXPECT_EQ(mode.width, m.width);
    EXPECT_EQ(mode.height, m.height);
    const ScreenLayout L = layout(m.row, 0);
    EXPECT_EQ(L.width, m.layout_width);
    EXPECT_EQ(L.optimised_slot_count, m.optimised_slot_count);
    EXPECT_EQ(L.first_optimised_slot, 2);
    EXPECT_EQ(L.mode.layout_id, m.layout_id);
    EXPECT_EQ(L.width, mode.width) << "the picture is as wide as a line";
}

INSTANTIATE_TEST_SUITE_P(Modes, ScreenModes,
                         testing::Values(ModeRow{0, 0, 54, 320, 200, 320, 54},
                                         ModeRow{1, 1, 80, 320, 200, 320, 80},
                                         ModeRow{2, 2, 48, 320, 200, 320, 48},
                                         ModeRow{3, 3, 48, 416, 229, 416, 48},
                                         ModeRow{4, 0, 0, 320, 20, 320, 54}),
                         [](const testing::TestParamInfo<ModeRow>& info) {
                             return "row" + std::to_string(info.param.row);
                         });

// One slot's register and the columns first..last over which it is shown.
struct SlotRun {
    int row;
    int shift;
    int slot;
    int reg;
    int first;
    int last;
};

std::string describe(const SlotRun& s) {
    return "row " + std::to_string(s.row) + " shift " + std::to_string(s.shift) + " slot " +
           std::to_string(s.slot);
}

void PrintTo(const SlotRun& c, std::ostream* os) {
    *os << describe(c);
}

class SlotSchedule : public testing::TestWithParam<SlotRun> {};

TEST_P(SlotSchedule, RegisterColumnsFirstColumnAndLength) {
    const SlotRun& s = GetParam();
    const ScreenLayout L = layout(s.row, s.shift);
    EXPECT_EQ(L.slot_register[s.slot], s.reg) << describe(s);
    for (int x = 1; x <= L.width; ++x) {
        const int expected = (x >= s.first && x <= s.last) ? 1 : 0;
        ASSERT_EQ(L.visible(x, s.slot), expected) << describe(s) << " column " << x;
    }
    EXPECT_EQ(L.first_column(s.slot), s.first) << describe(s);
    EXPECT_EQ(L.run_length(s.slot), s.last - s.first + 1) << describe(s);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SlotSchedule,
    testing::Values(
        // id 0: registers 2..15 in four groups; slots 0, 1 and 56 cover the line.
        SlotRun{0, 0, 2, 2, 1, 29}, SlotRun{0, 0, 15, 15, 1, 81}, SlotRun{0, 0, 16, 2, 30, 153},
        SlotRun{0, 0, 29, 15, 82, 205}, SlotRun{0, 0, 30, 2, 154, 217},
        SlotRun{0, 0, 43, 15, 206, 269}, SlotRun{0, 0, 44, 2, 218, 320},
        SlotRun{0, 0, 55, 13, 262, 320}, SlotRun{0, 0, 0, 0, 1, 320}, SlotRun{0, 0, 1, 0, 1, 320},
        SlotRun{0, 0, 56, 0, 1, 320}, SlotRun{0, 4, 2, 2, 1, 29}, SlotRun{0, -5, 55, 13, 262, 320},
        SlotRun{4, 3, 29, 15, 82, 205},
        // id 1: registers 0..15 in five groups.
        SlotRun{1, 0, 2, 0, 1, 31}, SlotRun{1, 0, 17, 15, 1, 91}, SlotRun{1, 0, 18, 0, 32, 103},
        SlotRun{1, 0, 33, 15, 92, 163}, SlotRun{1, 0, 34, 0, 104, 175},
        SlotRun{1, 0, 50, 0, 176, 247}, SlotRun{1, 0, 65, 15, 236, 307},
        SlotRun{1, 0, 66, 0, 248, 320}, SlotRun{1, 0, 81, 15, 308, 320},
        SlotRun{1, 0, 82, 0, 1, 320}, SlotRun{1, 4, 2, 0, 5, 35}, SlotRun{1, 4, 66, 0, 252, 320},
        SlotRun{1, 4, 81, 15, 312, 320}, SlotRun{1, 4, 82, 0, 1, 320}, SlotRun{1, -5, 2, 0, 1, 26},
        SlotRun{1, -5, 18, 0, 27, 98}, SlotRun{1, -5, 81, 15, 303, 320},
        // id 2: three groups; registers 8..15 carry the extra 12 / 8 columns.
        SlotRun{2, 0, 2, 0, 1, 57}, SlotRun{2, 0, 9, 7, 1, 85}, SlotRun{2, 0, 10, 8, 1, 101},
        SlotRun{2, 0, 17, 15, 1, 129}, SlotRun{2, 0, 18, 0, 58, 217},
        SlotRun{2, 0, 26, 8, 102, 257}, SlotRun{2, 0, 33, 15, 130, 285},
        SlotRun{2, 0, 34, 0, 218, 320}, SlotRun{2, 0, 41, 7, 246, 320},
        SlotRun{2, 0, 42, 8, 258, 320}, SlotRun{2, 0, 49, 15, 286, 320},
        SlotRun{2, 0, 50, 0, 1, 320}, SlotRun{2, 3, 2, 0, 4, 60}, SlotRun{2, 3, 49, 15, 289, 320},
        // id 3: overscan, 416 columns; registers 0..7 end their third slot early.
        SlotRun{3, 0, 2, 0, 1, 104}, SlotRun{3, 0, 9, 7, 1, 132}, SlotRun{3, 0, 10, 8, 1, 144},
        SlotRun{3, 0, 17, 15, 1, 172}, SlotRun{3, 0, 18, 0, 105, 268},
        SlotRun{3, 0, 33, 15, 173, 336}, SlotRun{3, 0, 34, 0, 269, 364},
        SlotRun{3, 0, 41, 7, 297, 392}, SlotRun{3, 0, 42, 8, 309, 416},
        SlotRun{3, 0, 49, 15, 337, 416}, SlotRun{3, 0, 50, 0, 1, 416},
        SlotRun{3, -5, 34, 0, 264, 359}, SlotRun{3, -5, 42, 8, 304, 416}));

struct RescanCase {
    int row;
    int shift;
    int slot;
    int deb;
    int fin;
};

void PrintTo(const RescanCase& c, std::ostream* os) {
    *os << "row " << c.row << " shift " << c.shift << " slot " << c.slot;
}

class RescanRange : public testing::TestWithParam<RescanCase> {};

TEST_P(RescanRange, SpansEverySlotSharingAColumn) {
    const RescanCase& c = GetParam();
    const ScreenLayout L = layout(c.row, c.shift);
    EXPECT_EQ(L.rescan_first_column[c.slot], c.deb) << "slot " << c.slot;
    EXPECT_EQ(L.rescan_last_column[c.slot], c.fin) << "slot " << c.slot;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RescanRange,
    testing::Values(RescanCase{0, 0, 2, 1, 81}, RescanCase{0, 0, 55, 202, 320},
                    RescanCase{1, 0, 2, 1, 91}, RescanCase{1, 0, 81, 248, 320},
                    // Shared columns of slot 2 in id 1 shifted by 4: slots 2..17, 5..95.
                    RescanCase{1, 4, 2, 5, 95},
                    // id 0 ignores the shift.
                    RescanCase{0, -5, 2, 1, 81}, RescanCase{4, 4, 55, 202, 320}));

TEST(SlotSchedule, Layout0IgnoresTheShift) {
    const ScreenLayout base = layout(0, 0);
    for (int row : {0, 4}) {
        for (int s = -5; s <= 4; ++s) {
            const ScreenLayout L = layout(row, s);
            EXPECT_EQ(L.slot_register, base.slot_register) << "row " << row << " shift " << s;
            EXPECT_EQ(L.visibility, base.visibility) << "row " << row << " shift " << s;
            EXPECT_EQ(L.visible_slots, base.visible_slots) << "row " << row << " shift " << s;
            EXPECT_EQ(L.rescan_first_column, base.rescan_first_column);
            EXPECT_EQ(L.rescan_last_column, base.rescan_last_column);
        }
    }
}

TEST(SlotSchedule, ShiftRightLeavesTheFirstColumnsWithoutFirstGroupSlots) {
    const ScreenLayout L = layout(1, 4);
    for (int x = 1; x <= 4; ++x) {
        for (int k : L.visible_slots[x]) {
            EXPECT_FALSE(k >= 2 && k <= 17) << "column " << x << " shows slot " << k;
        }
    }
    for (int k = 2; k <= 17; ++k) EXPECT_EQ(L.first_column(k), 5) << "slot " << k;
}

TEST(SlotSchedule, Layout0AtColumn300ShowsSlots44To55) {
    const ScreenLayout L = layout(0, 0);
    std::vector<int> expected;
    for (int k = 44; k <= 55; ++k) expected.push_back(k);
    EXPECT_EQ(L.visible_slots[300], expected);
    std::vector<int> registers;
    for (int k : L.visible_slots[300]) registers.push_back(L.slot_register[k]);
    EXPECT_EQ(registers, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
}

// Properties every row and every shift must have.
class EveryLayout : public testing::TestWithParam<std::tuple<int, int>> {
  protected:
    ScreenLayout L = layout(std::get<0>(GetParam()), std::get<1>(GetParam()));
    std::string where() const {
        return "row " + std::to_string(std::get<0>(GetParam())) + " shift " +
               std::to_string(std::get<1>(GetParam()));
    }
};

TEST_P(EveryLayout, WholeLineSlotStartsAtColumn1AndSpansTheLine) {
    const int whole = L.whole_line_slot();
    EXPECT_EQ(L.slot_register[whole], 0) << where();
    EXPECT_EQ(L.first_column(whole), 1) << where();
    EXPECT_EQ(L.run_length(whole), L.width) << where();
}

TEST_P(EveryLayout, SlotsZeroAndOneAreHiddenOutsideLayout0) {
    for (int k : {0, 1}) {
        EXPECT_EQ(L.slot_register[k], 0) << where();
        if (L.mode.layout_id == 0) {
            EXPECT_EQ(L.first_column(k), 1) << where();
            EXPECT_EQ(L.run_length(k), L.width) << where();
        } else {
            EXPECT_EQ(L.first_column(k), -1) << where() << " slot " << k;
            EXPECT_EQ(L.run_length(k), L.width + 2) << where() << " slot " << k;
            for (int x = 1; x <= L.width; ++x) ASSERT_EQ(L.visible(x, k), 0) << where();
        }
    }
}

TEST_P(EveryLayout, ColumnListsHoldTheVisibleOptimiserSlotsInOrder) {
    const std::size_t most = L.mode.layout_id == 0 ? 14 : 16;
    for (int x = 1; x <= L.width; ++x) {
        std::vector<int> visible;
        for (int k = L.first_optimised_slot; k <= L.last_optimised_slot(); ++k) {
            if (L.visible(x, k) == 1) visible.push_back(k);
        }
        ASSERT_EQ(L.visible_slots[x], visible) << where() << " column " << x;
        ASSERT_LE(visible.size(), most) << where() << " column " << x;
        // A register shows one colour at a time.
        std::vector<int> registers;
        for (int k : visible) registers.push_back(L.slot_register[k]);
        std::sort(registers.begin(), registers.end());
        ASSERT_EQ(std::adjacent_find(registers.begin(), registers.end()), registers.end())
            << where() << " column " << x;
    }
}

TEST_P(EveryLayout, FirstColumnAndLengthDescribeEachSlotsRun) {
    for (int k = 0; k <= L.whole_line_slot(); ++k) {
        const int first = L.first_column(k);
        const int length = L.run_length(k);
        if (first == -1) {
            EXPECT_EQ(length, L.width + 2) << where() << " slot " << k;
            continue;
        }
        ASSERT_GE(first, 1);
        ASSERT_LE(first + length - 1, L.width) << where() << " slot " << k;
        EXPECT_TRUE(first == 1 || L.visible(first - 1, k) == 0) << where() << " slot " << k;
        for (int x = first; x < first + length; ++x) {
            ASSERT_EQ(L.visible(x, k), 1) << where() << " slot " << k << " column " << x;
        }
        if (first + length <= L.width) {
            EXPECT_EQ(L.visible(first + length, k), 0) << where() << " slot " << k;
        }
    }
}

// The local exploration only looks at a slot's first run when the slot
// changes colour: an optimiser slot must show nowhere else, and somewhere.
TEST_P(EveryLayout, OptimiserSlotsShowOnTheirFirstRunOnly) {
    for (int k = L.first_optimised_slot; k <= L.last_optimised_slot(); ++k) {
        const int first = L.first_column(k);
        ASSERT_GE(first, 1) << where() << " slot " << k;
        const int last = first + L.run_length(k) - 1;
        for (int x = 1; x <= L.width; ++x) {
            ASSERT_EQ(L.visible(x, k) == 1, x >= first && x <= last)
                << where() << " slot " << k << " column " << x;
        }
    }
}

TEST_P(EveryLayout, RescanRangeCoversTheSlotsOwnColumns) {
    for (int j = L.first_optimised_slot; j <= L.last_optimised_slot(); ++j) {
        const int deb = L.rescan_first_column[j];
        const int fin = L.rescan_last_column[j];
        ASSERT_GE(deb, 1) << where() << " slot " << j;
        ASSERT_LE(fin, L.width) << where() << " slot " << j;
        if (L.first_column(j) == -1) {
            EXPECT_EQ(deb, 1);
            EXPECT_EQ(fin, L.width);
            continue;
        }
        EXPECT_LE(deb, L.first_column(j)) << where() << " slot " << j;
        EXPECT_GE(fin, L.first_column(j) + L.run_length(j) - 1) << where() << " slot " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, EveryLayout,
                         testing::Combine(testing::Range(0, 5), testing::Range(-5, 5)),
                         [](const testing::TestParamInfo<std::tuple<int, int>>& info) {
                             const int s = std::get<1>(info.param);
                             return "row" + std::to_string(std::get<0>(info.param)) + "_shift" +
                                    (s < 0 ? "m" : "") + std::to_string(std::abs(s));
                         });

}  // namespace
