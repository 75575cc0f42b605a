// Writes the screen-mode palette schedules as assembler constants, so the
// STE display routine is checked against the same tables the encoder uses.
//
// For every mode id 0..3 (shift 0) and every register r that a palette slot
// uses, S<id>_R<r>_<k> is the first column of the k-th slot of register r in
// column order (k from 1; the first slot starts at column 1 and is loaded
// before the line). S<id>_WORDS is the number of palette words per record, S<id>_WIDTH the
// picture's width.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "encoder/frontend/screen_modes.h"

namespace {

void export_mode(const brenvik::ScreenMode& mode, std::FILE* out) {
    const brenvik::ScreenLayout layout = brenvik::build_screen_layout(mode, 0);
    std::fprintf(out, "| mode %d: %d palette words per record\n", mode.layout_id,
                 mode.palette_words);
    std::fprintf(out, "        .equ S%d_WORDS, %d\n", mode.layout_id, mode.palette_words);
    std::fprintf(out, "        .equ S%d_WIDTH, %d\n", mode.layout_id, layout.width);
    for (int reg = 0; reg < 16; ++reg) {
        std::vector<int> starts;
        for (int slot = layout.first_optimised_slot; slot <= layout.last_optimised_slot(); ++slot) {
            if (layout.slot_register[slot] != reg || layout.first_column(slot) < 0) continue;
            starts.push_back(layout.first_column(slot));
        }
        std::sort(starts.begin(), starts.end());
        for (std::size_t k = 0; k < starts.size(); ++k) {
            std::fprintf(out, "        .equ S%d_R%d_%zu, %d\n", mode.layout_id, reg, k + 1,
                         starts[k]);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.inc\n", argv[0]);
        return 1;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "| Generated from the encoder's screen-mode tables; do not edit.\n");
    for (int row = 0; row < 4; ++row) export_mode(brenvik::screen_modes[row], out);
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
