// Writes the screen-mode palette schedules and the container's layout as
// assembler constants, so the STE programs use the facts the encoder, the
// container writer and the reader use (format/).
//
//   ste-schedule-export SCHEDULE.inc CONTAINER.inc
//
// For every mode id 0..3 (shift 0) and every register r that a palette slot
// uses, S<id>_R<r>_<k> is the first column of the k-th slot of register r in
// column order (k from 1; the first slot starts at column 1 and is loaded
// before the line). S<id>_WORDS is the number of palette words per record,
// S<id>_WIDTH the picture's width.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "format/container.h"
#include "format/picture_file.h"
#include "format/screen_modes.h"
#include "format/ste_palette.h"

namespace {

void export_mode(const format::ScreenMode& mode, std::FILE* out) {
    std::fprintf(out, "| mode %d: %d palette words per record\n", mode.layout_id,
                 mode.palette_words);
    std::fprintf(out, "        .equ S%d_WORDS, %d\n", mode.layout_id, mode.palette_words);
    std::fprintf(out, "        .equ S%d_WIDTH, %d\n", mode.layout_id,
                 format::layout_width(mode.layout_id));
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

// The container's layout and its move-back rule, under the names the
// player uses.
void export_container(std::FILE* out) {
    namespace container = format::container;
    const format::ScreenMode& frame = format::kScreenModes[container::kFrameMode];
    const struct {
        const char* name;
        std::size_t value;
    } constants[] = {
        {"HEADER_BYTES", container::kHeaderBytes},
        {"COUNT_OFFSET", container::kCountOffset},
        {"FIRST_RECORD", container::kFirstRecordOffset},
        {"PREROLL", container::kHeaderBytes},
        {"PREROLL_SOUND", container::kPreRollSoundBytes},
        {"RECORD_BYTES", container::kRecordBytes},
        {"PALETTES", container::kBitmapWindowBytes},
        {"CHUNK", container::kChunkOffset},
        {"CHUNK_BYTES", container::kChunkBytes},
        {"MOVE_BACK", container::kMoveBackBytes},
        {"FIRST_MOVE_BACK", container::kFirstMoveBackRecord},
        {"MOVE_BACK_PERIOD", container::kMoveBackPeriod},
        {"WINDOW_TOP", static_cast<std::size_t>(container::kFirstWindowLine - 1)},
        {"WINDOW_LINES", static_cast<std::size_t>(container::kWindowLines)},
        {"ROW_BYTES", format::line_bytes(frame)},
        {"SOUND_RATE", container::kSoundRate},
        {"FRAMES_PER_SECOND", container::kFramesPerSecond},
    };
    std::fprintf(out, "| The Zorpa container (format/container.h); generated, do not edit.\n");
    for (const auto& c : constants) {
        std::fprintf(out, "        .equ %s, %zu\n", c.name, c.value);
    }
    // The mark, as the first long and the following word.
    const unsigned char* m = reinterpret_cast<const unsigned char*>(container::kMagic);
    std::fprintf(out, "        .equ MAGIC_LONG, 0x%02x%02x%02x%02x\n", m[0], m[1], m[2], m[3]);
    std::fprintf(out, "        .equ MAGIC_WORD, 0x%02x%02x\n", m[4], m[5]);
}

bool write_file(const char* name, void (*write)(std::FILE*)) {
    std::FILE* out = std::fopen(name, "w");
    if (out == nullptr) {
        std::perror(name);
        return false;
    }
    write(out);
    if (std::fclose(out) != 0) {
        std::perror(name);
        return false;
    }
    return true;
}

void export_schedules(std::FILE* out) {
    std::fprintf(out, "| Generated from the encoder's screen-mode tables; do not edit.\n");
    for (int row = 0; row < 4; ++row) export_mode(format::kScreenModes[row], out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SCHEDULE.inc CONTAINER.inc\n", argv[0]);
        return 1;
    }
    return write_file(argv[1], export_schedules) && write_file(argv[2], export_container) ? 0 : 1;
}
