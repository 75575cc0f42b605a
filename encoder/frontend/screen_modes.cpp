#include "encoder/frontend/screen_modes.h"

#include <algorithm>

namespace brenvik {

const std::array<ScreenMode, kScreenModeCount> screen_modes = {{
    {0, 54, 0, 320, 200},
    {1, 80, 0, 320, 200},
    {2, 48, 0, 320, 200},
    {3, 48, 0, 416, 229},
    {0, 0, 0, 320, 20},
}};

namespace {

// Marks slot `slot` (register `reg`) visible on columns a..b, clipped to the line.
void show_slot(ScreenLayout& layout, int slot, int reg, int a, int b) {
    layout.slot_register[slot] = reg;
    a = std::max(a, 1);
    b = std::min(b, layout.width);
    for (int x = a; x <= b; ++x) layout.visible(x, slot) = 1;
}

void build_schedule(ScreenLayout& layout, int s) {
    const int width = layout.width;
    switch (layout.mode.layout_id) {
        case 0:
            for (int i = 0; i <= 13; ++i) {
                show_slot(layout, 2 + i, 2 + i, 1, 29 + 4 * i);
                show_slot(layout, 16 + i, 2 + i, 30 + 4 * i, 153 + 4 * i);
                show_slot(layout, 30 + i, 2 + i, 154 + 4 * i, 217 + 4 * i);
                if (i <= 11) show_slot(layout, 44 + i, 2 + i, 218 + 4 * i, width);
            }
            show_slot(layout, 0, 0, 1, width);
            show_slot(layout, 1, 0, 1, width);
            show_slot(layout, 56, 0, 1, width);
            break;
        case 1:
            for (int i = 0; i <= 15; ++i) {
                show_slot(layout, 2 + i, i, s + 1, s + 31 + 4 * i);
                show_slot(layout, 18 + i, i, s + 32 + 4 * i, s + 103 + 4 * i);
                show_slot(layout, 34 + i, i, s + 104 + 4 * i, s + 175 + 4 * i);
                show_slot(layout, 50 + i, i, s + 176 + 4 * i, s + 247 + 4 * i);
                show_slot(layout, 66 + i, i, s + 248 + 4 * i, width);
            }
            show_slot(layout, 82, 0, 1, width);
            break;
        case 2:
            for (int i = 0; i <= 15; ++i) {
                const int g = i >= 8 ? 1 : 0;
                show_slot(layout, 2 + i, i, s + 1, s + 57 + 4 * i + 12 * g);
                show_slot(layout, 18 + i, i, s + 58 + 4 * i + 12 * g, s + 217 + 4 * i + 8 * g);
                show_slot(layout, 34 + i, i, s + 218 + 4 * i + 8 * g, width);
            }
            show_slot(layout, 50, 0, 1, width);
            break;
        case 3:
            for (int i = 0; i <= 15; ++i) {
                const int g = i >= 8 ? 1 : 0;
                show_slot(layout, 2 + i, i, s + 1, s + 104 + 4 * i + 8 * g);
                show_slot(layout, 18 + i, i, s + 105 + 4 * i + 8 * g, s + 268 + 4 * i + 8 * g);
                if (i <= 7) {
                    show_slot(layout, 34 + i, i, s + 269 + 4 * i, s + 364 + 4 * i);
                } else {
                    show_slot(layout, 34 + i, i, s + 277 + 4 * i, width);
                }
            }
            show_slot(layout, 50, 0, 1, width);
            break;
        default:
            break;
    }
}

}  // namespace

ScreenLayout build_screen_layout(const ScreenMode& mode, int schedule_shift) {
    ScreenLayout layout;
    layout.mode = mode;
    layout.width = 320;
    layout.first_optimised_slot = 2;
    layout.optimised_slot_count = 54;
    if (mode.layout_id == 1) layout.optimised_slot_count = 80;
    if (mode.layout_id == 2) layout.optimised_slot_count = 48;
    if (mode.layout_id == 3) {
        layout.width = 416;
        layout.optimised_slot_count = 48;
    }
    const int width = layout.width;
    const int slots = layout.slot_count();
    layout.slot_register.assign(slots, 0);
    layout.visibility.assign(static_cast<std::size_t>(width + 3) * slots, 0);
    for (int k = 0; k < slots; ++k) {
        layout.visible(width + 1, k) = -1;
        layout.visible(width + 2, k) = -1;
    }

    build_schedule(layout, mode.layout_id == 0 ? 0 : schedule_shift);

    // First column and length of each slot's first run.
    for (int k = 0; k < slots; ++k) {
        int first = -1;
        int end = 0;
        for (int x = 1; x <= width; ++x) {
            if (first < 0) {
                if (layout.visible(x, k) == 1) first = x;
            } else if (layout.visible(x, k) == 0) {
                end = x;
                break;
            }
        }
        layout.visible(width + 1, k) = first;
        layout.visible(width + 2, k) = end != 0 ? end - first : width + 1 - first;
    }

    // Optimiser slots visible at each column.
    layout.visible_slots.assign(width + 1, {});
    for (int x = 1; x <= width; ++x) {
        for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
            if (layout.visible(x, k) == 1) layout.visible_slots[x].push_back(k);
        }
    }

    // Rescan ranges: the columns of every optimiser slot that shares a
    // column with slot j.
    layout.rescan_first_column.assign(slots, 0);
    layout.rescan_last_column.assign(slots, 0);
    for (int j = layout.first_optimised_slot; j <= layout.last_optimised_slot(); ++j) {
        std::vector<bool> shares_a_column(slots, false);
        for (int x = 1; x <= width; ++x) {
            if (layout.visible(x, j) != 1) continue;
            for (int k : layout.visible_slots[x]) shares_a_column[k] = true;
        }
        int rescan_first = 0;
        int rescan_last = 0;
        for (int x = 1; x <= width; ++x) {
            for (int k : layout.visible_slots[x]) {
                if (!shares_a_column[k]) continue;
                if (rescan_first == 0) rescan_first = x;
                rescan_last = x;
                break;
            }
        }
        if (rescan_first == 0) {
            rescan_first = 1;
            rescan_last = width;
        }
        layout.rescan_first_column[j] = rescan_first;
        layout.rescan_last_column[j] = rescan_last;
    }
    return layout;
}

}  // namespace brenvik
