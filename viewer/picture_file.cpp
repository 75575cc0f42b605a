#include "viewer/picture_file.h"

#include <algorithm>
#include <array>

#include "format/block_geometry.h"
#include "format/picture_file.h"
#include "format/screen_modes.h"
#include "format/ste_palette.h"

namespace brenvik::viewer {
namespace {

using format::kRegisterCount;

std::array<std::uint8_t, 3> word_colour(std::uint16_t word, int step) {
    const std::array<int, 3> levels = format::levels_of_word(word);
    std::array<std::uint8_t, 3> rgb{};
    for (int c = 0; c < 3; ++c) rgb[c] = static_cast<std::uint8_t>(std::min(255, levels[c] * step));
    return rgb;
}

// The slot whose colour register r shows at column x (1-based), or -1: of
// the slots loaded into r and visible there, the last one, as the loads
// happen in slot order.
std::vector<std::array<int, kRegisterCount>> register_slots(int layout_id, int shift) {
    std::vector<std::array<int, kRegisterCount>> slots(
        static_cast<std::size_t>(format::layout_width(layout_id)) + 1);
    for (auto& column : slots) column.fill(-1);
    std::vector<format::SlotRun> runs = format::slot_runs(layout_id, shift);
    std::stable_sort(
        runs.begin(), runs.end(),
        [](const format::SlotRun& a, const format::SlotRun& b) { return a.slot < b.slot; });
    for (const format::SlotRun& run : runs) {
        for (int x = run.first_column; x <= run.last_column; ++x) {
            slots[static_cast<std::size_t>(x)][static_cast<std::size_t>(run.colour_register)] =
                run.slot;
        }
    }
    return slots;
}

// Renders the bitmap with one palette set: record_of_line(y) gives the byte
// offset of line y's record.
template <typename RecordOffset>
Image render_with(const std::vector<std::uint8_t>& bytes, const format::ScreenMode& mode,
                  const std::vector<std::array<int, kRegisterCount>>& slots,
                  RecordOffset record_of_line, int step) {
    const int W = mode.width;
    const int words = format::record_words(mode);
    Image image(W, mode.height);
    const std::size_t line_bytes = format::line_bytes(mode);
    for (int y = 1; y <= mode.height; ++y) {
        const std::uint8_t* line = bytes.data() + (y - 1) * line_bytes;
        const std::size_t record = record_of_line(y);
        for (int x = 1; x <= W; ++x) {
            const int i = x - 1;
            const std::uint8_t* group =
                line +
                static_cast<std::size_t>(i / format::kPixelsPerGroup) * format::kBytesPerGroup;
            const int bit = 15 - i % format::kPixelsPerGroup;
            int reg = 0;
            for (int p = 0; p < 4; ++p) {
                const int word = (group[2 * p] << 8) | group[2 * p + 1];
                reg |= ((word >> bit) & 1) << p;
            }
            const int slot = slots[x][reg];
            std::uint8_t* px = image.at(i, y - 1);
            if (slot < 0 || slot - format::kFirstPaletteSlot >= words)
                continue;  // nothing loaded: black
            const std::size_t at =
                record + 2 * static_cast<std::size_t>(slot - format::kFirstPaletteSlot);
            const auto rgb =
                word_colour(static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]), step);
            px[0] = rgb[0];
            px[1] = rgb[1];
            px[2] = rgb[2];
        }
    }
    return image;
}

const format::ScreenMode& mode_of(const FileLayout& layout) {
    return format::kScreenModes.at(static_cast<std::size_t>(layout.mode));
}

}  // namespace

std::size_t file_size(const FileLayout& layout) {
    return format::picture_file_bytes(mode_of(layout), layout.blockoflines, layout.two_palettes);
}

std::vector<FileLayout> layouts_of_size(std::size_t size, const LayoutChoice& choice) {
    std::vector<FileLayout> found;
    for (int m = 0; m < format::kScreenModeCount; ++m) {
        if (choice.mode >= 0 && choice.mode != m) continue;
        for (int lines = 1; lines <= format::kTallestBlock; ++lines) {
            if (choice.blockoflines >= 0 &&
                format::block_geometry(choice.blockoflines).block_height != lines) {
                continue;
            }
            for (const bool two : {false, true}) {
                if (choice.pixpal >= 1 && two != (choice.pixpal >= 2)) continue;
                FileLayout layout{m, lines, two};
                if (format::record_words(format::kScreenModes[static_cast<std::size_t>(m)]) == 0) {
                    // No records: the block height and the second set change nothing.
                    layout.blockoflines = choice.blockoflines >= 0 ? lines : 1;
                    layout.two_palettes = choice.pixpal >= 2;
                }
                if (file_size(layout) == size &&
                    std::find(found.begin(), found.end(), layout) == found.end()) {
                    found.push_back(layout);
                }
            }
        }
    }
    return found;
}

Rendering render_picture(const std::vector<std::uint8_t>& bytes, const FileLayout& layout,
                         const RenderSettings& settings) {
    const format::ScreenMode& mode = mode_of(layout);
    const auto slots = register_slots(mode.layout_id, settings.shiftpixels - format::kShiftOption);
    const format::BlockGeometry geometry = format::block_geometry(layout.blockoflines);
    const std::size_t record_size = format::record_bytes(mode);
    const std::size_t first_set = format::bitmap_bytes(mode);
    const std::size_t second_set = format::second_set_offset(mode, layout.blockoflines);

    Rendering rendering;
    rendering.first = render_with(
        bytes, mode, slots,
        [&](int y) {
            return first_set +
                   record_size * static_cast<std::size_t>(format::block_of_line(geometry, y));
        },
        settings.level_step);
    if (layout.two_palettes) {
        rendering.second = render_with(
            bytes, mode, slots,
            [&](int y) { return second_set + record_size * static_cast<std::size_t>(y - 1); },
            settings.level_step);
        rendering.seen = average(rendering.first, rendering.second);
    } else {
        rendering.seen = rendering.first;
    }
    return rendering;
}

std::string describe(const FileLayout& layout) {
    return "--mode=" + std::to_string(layout.mode) +
           " --blockoflines=" + std::to_string(layout.blockoflines) +
           (layout.two_palettes ? " --pixpal=2|3" : " --pixpal=1");
}

}  // namespace brenvik::viewer
