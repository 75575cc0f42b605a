#include "encoder/state/screen_layout.h"

#include <algorithm>

#include "format/screen_modes.h"

namespace brenvik {

namespace {

// Marks slot `slot` (register `reg`) visible on columns first..last.
void show_slot(ScreenLayout& layout, int slot, int reg, int first, int last) {
    layout.slot_register[slot] = reg;
    for (int x = first; x <= last; ++x) layout.visible(x, slot) = 1;
}

// First column and length of each slot's first run.
void note_first_runs(ScreenLayout& layout) {
    const int width = layout.width;
    for (int k = 0; k < layout.slot_count(); ++k) {
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
}

// Rescan ranges: the columns of every optimiser slot that shares a column
// with slot j.
void note_rescan_ranges(ScreenLayout& layout) {
    const int width = layout.width;
    const int slots = layout.slot_count();
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
}

}  // namespace

ScreenLayout build_screen_layout(const ScreenMode& mode, int schedule_shift) {
    ScreenLayout layout;
    layout.mode = mode;
    layout.width = format::layout_width(mode.layout_id);
    layout.first_optimised_slot = format::kFirstPaletteSlot;
    layout.optimised_slot_count = format::scheduled_slots(mode.layout_id);
    const int width = layout.width;
    const int slots = layout.slot_count();
    layout.slot_register.assign(slots, 0);
    layout.visibility.assign(static_cast<std::size_t>(width + 3) * slots, 0);
    for (int k = 0; k < slots; ++k) {
        layout.visible(width + 1, k) = -1;
        layout.visible(width + 2, k) = -1;
    }

    for (const format::SlotRun& run : format::slot_runs(mode.layout_id, schedule_shift)) {
        show_slot(layout, run.slot, run.colour_register, run.first_column, run.last_column);
    }
    // The slots the search adds, all in register 0 over the whole line: in
    // layout 0 the black slot and the dominant colour's; in every layout the
    // whole-line slot, whose list is the block's list of every colour.
    if (mode.layout_id == 0) {
        show_slot(layout, 0, 0, 1, width);
        show_slot(layout, 1, 0, 1, width);
    }
    show_slot(layout, layout.whole_line_slot(), 0, 1, width);

    note_first_runs(layout);

    // Optimiser slots visible at each column.
    layout.visible_slots.assign(width + 1, {});
    for (int x = 1; x <= width; ++x) {
        for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
            if (layout.visible(x, k) == 1) layout.visible_slots[x].push_back(k);
        }
    }
    note_rescan_ranges(layout);
    return layout;
}

}  // namespace brenvik
