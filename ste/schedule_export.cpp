// Writes the screen-mode palette schedules as assembler constants, so the
// STE display routine is checked against the same tables the encoder uses.
//
// For every mode id 0..2 (shift 0) and every register r that a palette slot
// uses, S<id>_R<r>_<k> is the first column of the k-th slot of register r in
// column order (k from 1; the first slot starts at column 1 and is loaded
// before the line). S<id>_WORDS is the number of palette words per record.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "format/screen_modes.h"
#include "format/ste_palette.h"

namespace {

void export_mode(const format::ScreenMode& mode, std::FILE* out) {
    std::fprintf(out, "| mode %d: %d palette words per record\n", mode.layout_id,
                 mode.palette_words);
    std::fprintf(out, "        .equ S%d_WORDS, %d\n", mode.layout_id, mode.palette_words);
    const std::vector<format::SlotRun> runs = format::slot_runs(mode.layout_id, 0);
    for (int reg = 0; reg < format::kRegisterCount; ++reg) {
        std::vector<int> starts;
        for (const format::SlotRun& run : runs) {
            if (run.colour_register != reg || run.first_column > run.last_column) continue;
            starts.push_back(run.first_column);
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
    for (int row = 0; row < 3; ++row) export_mode(format::kScreenModes[row], out);
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
