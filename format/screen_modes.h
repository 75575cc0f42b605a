// Screen modes and their register schedules.
//
//   mode  layout  width x height  palette words per record
//   0     0       320 x 200       54
//   1     1       320 x 200       80
//   2     2       320 x 200       48
//   3     3       416 x 229       48  (overscan)
//   4     0       320 x 20         0  (test layout: mode 0's schedule, no records)
//
// A line shows palette *slots*: slot k (k >= 2) is word k - 2 of the line's
// palette record, held in one colour register and shown by it over a run of
// columns (1-based). slot_runs() lists the runs of a layout; runs of one
// register never overlap, so at any column a register shows at most one
// slot. The shift s (--shiftpixels minus 5, -5..4) moves the runs of
// layouts 1..3; layout 0 has none. Runs are cut to the columns 1..width.
#pragma once

#include <algorithm>
#include <array>
#include <vector>

namespace format {

struct ScreenMode {
    int layout_id = 0;       // which register schedule the mode uses (0..3)
    int palette_words = 0;   // palette words per palette record
    int excluded_words = 0;  // subtracted from palette_words when records are sized
    int width = 0;
    int height = 0;
};

inline constexpr int kScreenModeCount = 5;
inline constexpr std::array<ScreenMode, kScreenModeCount> kScreenModes = {{
    {0, 54, 0, 320, 200},
    {1, 80, 0, 320, 200},
    {2, 48, 0, 320, 200},
    {3, 48, 0, 416, 229},
    {0, 0, 0, 320, 20},
}};

inline constexpr int kFirstPaletteSlot = 2;  // record word j is slot j + 2
inline constexpr int kShiftOption = 5;       // --shiftpixels value of no shift
inline constexpr int kLowestShift = -5;
inline constexpr int kHighestShift = 4;

// Words of a palette record as stored.
constexpr int record_words(const ScreenMode& mode) {
    return std::max(0, mode.palette_words - mode.excluded_words);
}

// Slots a layout schedules, and the width of its lines.
constexpr int scheduled_slots(int layout_id) {
    switch (layout_id) {
        case 1:
            return 80;
        case 2:
        case 3:
            return 48;
        default:
            return 54;
    }
}
constexpr int layout_width(int layout_id) {
    return layout_id == 3 ? 416 : 320;
}

struct SlotRun {
    int slot = 0;
    int colour_register = 0;
    int first_column = 0;  // 1-based; first > last for a run cut away entirely
    int last_column = 0;
};

// The runs of a layout, slot by slot in the order of the mode's table.
inline std::vector<SlotRun> slot_runs(int layout_id, int shift) {
    const int width = layout_width(layout_id);
    const int s = layout_id == 0 ? 0 : shift;
    std::vector<SlotRun> runs;
    const auto run = [&](int slot, int reg, int first, int last) {
        runs.push_back({slot, reg, std::max(first, 1), std::min(last, width)});
    };
    switch (layout_id) {
        case 0:
            for (int i = 0; i <= 13; ++i) {
                run(2 + i, 2 + i, 1, 29 + 4 * i);
                run(16 + i, 2 + i, 30 + 4 * i, 153 + 4 * i);
                run(30 + i, 2 + i, 154 + 4 * i, 217 + 4 * i);
                if (i <= 11) run(44 + i, 2 + i, 218 + 4 * i, width);
            }
            break;
        case 1:
            for (int i = 0; i <= 15; ++i) {
                run(2 + i, i, s + 1, s + 31 + 4 * i);
                run(18 + i, i, s + 32 + 4 * i, s + 103 + 4 * i);
                run(34 + i, i, s + 104 + 4 * i, s + 175 + 4 * i);
                run(50 + i, i, s + 176 + 4 * i, s + 247 + 4 * i);
                run(66 + i, i, s + 248 + 4 * i, width);
            }
            break;
        case 2:
            for (int i = 0; i <= 15; ++i) {
                const int g = i >= 8 ? 1 : 0;
                run(2 + i, i, s + 1, s + 57 + 4 * i + 12 * g);
                run(18 + i, i, s + 58 + 4 * i + 12 * g, s + 217 + 4 * i + 8 * g);
                run(34 + i, i, s + 218 + 4 * i + 8 * g, width);
            }
            break;
        case 3:
            for (int i = 0; i <= 15; ++i) {
                const int g = i >= 8 ? 1 : 0;
                run(2 + i, i, s + 1, s + 104 + 4 * i + 8 * g);
                run(18 + i, i, s + 105 + 4 * i + 8 * g, s + 268 + 4 * i + 8 * g);
                if (i <= 7) {
                    run(34 + i, i, s + 269 + 4 * i, s + 364 + 4 * i);
                } else {
                    run(34 + i, i, s + 277 + 4 * i, width);
                }
            }
            break;
        default:
            break;
    }
    return runs;
}

}  // namespace format
