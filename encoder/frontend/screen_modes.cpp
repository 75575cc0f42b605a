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
void show_slot(ScreenLayout& L, int slot, int reg, int a, int b) {
    L.slot_register[slot] = reg;
    a = std::max(a, 1);
    b = std::min(b, L.width);
    for (int x = a; x <= b; ++x) L.visible(x, slot) = 1;
}

void build_schedule(ScreenLayout& L, int s) {
    const int W = L.width;
    switch (L.mode.layout_id) {
        case 0:
            for (int i = 0; i <= 13; ++i) {
                show_slot(L, 2 + i, 2 + i, 1, 29 + 4 * i);
                show_slot(L, 16 + i, 2 + i, 30 + 4 * i, 153 + 4 * i);
                show_slot(L, 30 + i, 2 + i, 154 + 4 * i, 217 + 4 * i);
                if (i <= 11) show_slot(L, 44 + i, 2 + i, 218 + 4 * i, W);
            }
            show_slot(L, 0, 0, 1, W);
            show_slot(L, 1, 0, 1, W);
            show_slot(L, 56, 0, 1, W);
            break;
        case 1:
            for (int i = 0; i <= 15; ++i) {
                show_slot(L, 2 + i, i, s + 1, s + 31 + 4 * i);
                show_slot(L, 18 + i, i, s + 32 + 4 * i, s + 103 + 4 * i);
                show_slot(L, 34 + i, i, s + 104 + 4 * i, s + 175 + 4 * i);
                show_slot(L, 50 + i, i, s + 176 + 4 * i, s + 247 + 4 * i);
                show_slot(L, 66 + i, i, s + 248 + 4 * i, W);
            }
            show_slot(L, 82, 0, 1, W);
            break;
        case 2:
            for (int i = 0; i <= 15; ++i) {
                const int g = i >= 8 ? 1 : 0;
                show_slot(L, 2 + i, i, s + 1, s + 57 + 4 * i + 12 * g);
                show_slot(L, 18 + i, i, s + 58 + 4 * i + 12 * g, s + 217 + 4 * i + 8 * g);
                show_slot(L, 34 + i, i, s + 218 + 4 * i + 8 * g, W);
            }
            show_slot(L, 50, 0, 1, W);
            break;
        case 3:
            for (int i = 0; i <= 15; ++i) {
                const int g = i >= 8 ? 1 : 0;
                show_slot(L, 2 + i, i, s + 1, s + 104 + 4 * i + 8 * g);
                show_slot(L, 18 + i, i, s + 105 + 4 * i + 8 * g, s + 268 + 4 * i + 8 * g);
                if (i <= 7) {
                    show_slot(L, 34 + i, i, s + 269 + 4 * i, s + 364 + 4 * i);
                } else {
                    show_slot(L, 34 + i, i, s + 277 + 4 * i, W);
                }
            }
            show_slot(L, 50, 0, 1, W);
            break;
        default:
            break;
    }
}

}  // namespace

ScreenLayout build_screen_layout(const ScreenMode& mode, int schedule_shift) {
    ScreenLayout L;
    L.mode = mode;
    L.width = 320;
    L.first_optimised_slot = 2;
    L.optimised_slot_count = 54;
    if (mode.layout_id == 1) L.optimised_slot_count = 80;
    if (mode.layout_id == 2) L.optimised_slot_count = 48;
    if (mode.layout_id == 3) {
        L.width = 416;
        L.optimised_slot_count = 48;
    }
    const int W = L.width;
    const int slots = L.slot_count();
    L.slot_register.assign(slots, 0);
    L.visibility.assign(static_cast<std::size_t>(W + 3) * slots, 0);
    for (int k = 0; k < slots; ++k) {
        L.visible(W + 1, k) = -1;
        L.visible(W + 2, k) = -1;
    }

    build_schedule(L, mode.layout_id == 0 ? 0 : schedule_shift);

    // First column and length of each slot's first run.
    for (int k = 0; k < slots; ++k) {
        int first = -1;
        int end = 0;
        for (int x = 1; x <= W; ++x) {
            if (first < 0) {
                if (L.visible(x, k) == 1) first = x;
            } else if (L.visible(x, k) == 0) {
                end = x;
                break;
            }
        }
        L.visible(W + 1, k) = first;
        L.visible(W + 2, k) = end != 0 ? end - first : W + 1 - first;
    }

    // Optimiser slots visible at each column.
    L.visible_slots.assign(W + 1, {});
    for (int x = 1; x <= W; ++x) {
        for (int k = L.first_optimised_slot; k <= L.last_optimised_slot(); ++k) {
            if (L.visible(x, k) == 1) L.visible_slots[x].push_back(k);
        }
    }

    // Rescan ranges: the columns of every optimiser slot that shares a
    // column with slot j.
    L.rescan_first_column.assign(slots, 0);
    L.rescan_last_column.assign(slots, 0);
    for (int j = L.first_optimised_slot; j <= L.last_optimised_slot(); ++j) {
        std::vector<bool> neighbour(slots, false);
        for (int x = 1; x <= W; ++x) {
            if (L.visible(x, j) != 1) continue;
            for (int k : L.visible_slots[x]) neighbour[k] = true;
        }
        int deb = 0;
        int fin = 0;
        for (int x = 1; x <= W; ++x) {
            for (int k : L.visible_slots[x]) {
                if (!neighbour[k]) continue;
                if (deb == 0) deb = x;
                fin = x;
                break;
            }
        }
        if (deb == 0) {
            deb = 1;
            fin = W;
        }
        L.rescan_first_column[j] = deb;
        L.rescan_last_column[j] = fin;
    }
    return L;
}

}  // namespace brenvik
