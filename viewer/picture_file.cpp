#include "viewer/picture_file.h"

#include <algorithm>
#include <array>

#include "encoder/frontend/options.h"
#include "encoder/frontend/screen_modes.h"

namespace brenvik::viewer {
namespace {

constexpr int kRegisters = 16;

int palette_words(const ScreenMode& mode) {
    return std::max(0, mode.palette_words - mode.excluded_words);
}

std::size_t bitmap_size(const ScreenMode& mode) {
    return static_cast<std::size_t>(mode.width) * mode.height / 2;
}

// Blocks of the first palette set: one record per block centre, the centres
// running from the geometry's first one while below height + block height
// (so the last block may lie past the picture).
int block_count(const BlockGeometry& g, int height) {
    int count = 0;
    for (int h = g.first_centre_line; h < height + g.block_height; h += g.block_height) ++count;
    return count;
}

// Record of line y (1-based): the block whose rows hold it.
int block_of_line(const BlockGeometry& g, int y) {
    const int first_row = g.first_centre_line + g.first_row_offset;
    return (y - first_row) / g.block_height;
}

// Level of an STE register nibble: the low bit sits in nibble bit 3.
int nibble_level(int nibble) {
    return ((nibble & 7) << 1) | ((nibble >> 3) & 1);
}

std::array<std::uint8_t, 3> word_colour(std::uint16_t word, int step) {
    std::array<std::uint8_t, 3> rgb{};
    for (int c = 0; c < 3; ++c) {
        const int level = nibble_level((word >> (8 - 4 * c)) & 15);
        rgb[c] = static_cast<std::uint8_t>(std::min(255, level * step));
    }
    return rgb;
}

// The slot whose colour register r shows at column x (1-based), or -1: of
// the slots loaded into r and visible there, the last one, as the loads
// happen in slot order.
std::vector<std::array<int, kRegisters>> register_slots(const ScreenLayout& L) {
    std::vector<std::array<int, kRegisters>> slots(static_cast<std::size_t>(L.width) + 1);
    for (auto& column : slots) column.fill(-1);
    for (int x = 1; x <= L.width; ++x) {
        for (int k = L.first_optimised_slot; k <= L.last_optimised_slot(); ++k) {
            if (L.visible(x, k) == 1) slots[x][L.slot_register[k]] = k;
        }
    }
    return slots;
}

// Renders the bitmap with one palette set: record_of_line(y) gives the byte
// offset of line y's record.
template <typename RecordOffset>
Image render_with(const std::vector<std::uint8_t>& bytes, const ScreenLayout& L, int height,
                  int words, const std::vector<std::array<int, kRegisters>>& slots,
                  RecordOffset record_of_line, int step) {
    const int W = L.width;
    Image image(W, height);
    const std::size_t line_bytes = static_cast<std::size_t>(W) / 2;
    for (int y = 1; y <= height; ++y) {
        const std::uint8_t* line = bytes.data() + (y - 1) * line_bytes;
        const std::size_t record = record_of_line(y);
        for (int x = 1; x <= W; ++x) {
            const int i = x - 1;
            const std::uint8_t* group = line + static_cast<std::size_t>(i / 16) * 8;
            const int bit = 15 - i % 16;
            int reg = 0;
            for (int p = 0; p < 4; ++p) {
                const int word = (group[2 * p] << 8) | group[2 * p + 1];
                reg |= ((word >> bit) & 1) << p;
            }
            const int slot = slots[x][reg];
            std::uint8_t* px = image.at(i, y - 1);
            if (slot < 0 || slot - L.first_optimised_slot >= words)
                continue;  // nothing loaded: black
            const std::size_t at =
                record + 2 * static_cast<std::size_t>(slot - L.first_optimised_slot);
            const auto rgb =
                word_colour(static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]), step);
            px[0] = rgb[0];
            px[1] = rgb[1];
            px[2] = rgb[2];
        }
    }
    return image;
}

}  // namespace

std::size_t file_size(const FileLayout& layout) {
    const ScreenMode& mode = screen_modes.at(static_cast<std::size_t>(layout.mode));
    const std::size_t record = 2 * static_cast<std::size_t>(palette_words(mode));
    std::size_t records =
        static_cast<std::size_t>(block_count(block_geometry(layout.blockoflines), mode.height));
    if (layout.two_palettes) records += static_cast<std::size_t>(mode.height);
    return bitmap_size(mode) + record * records;
}

std::vector<FileLayout> layouts_of_size(std::size_t size, const LayoutChoice& choice) {
    std::vector<FileLayout> found;
    for (int m = 0; m < kScreenModeCount; ++m) {
        if (choice.mode >= 0 && choice.mode != m) continue;
        for (int lines = 1; lines <= 6; ++lines) {
            if (choice.blockoflines >= 0 &&
                block_geometry(choice.blockoflines).block_height != lines) {
                continue;
            }
            for (const bool two : {false, true}) {
                if (choice.pixpal >= 1 && two != (choice.pixpal >= 2)) continue;
                FileLayout layout{m, lines, two};
                if (palette_words(screen_modes[static_cast<std::size_t>(m)]) == 0) {
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
    const ScreenMode& mode = screen_modes.at(static_cast<std::size_t>(layout.mode));
    const ScreenLayout L = build_screen_layout(mode, settings.shiftpixels - 5);
    const int H = mode.height;
    const int P = palette_words(mode);
    const int words = std::min(P, L.optimised_slot_count);
    const auto slots = register_slots(L);
    const BlockGeometry geometry = block_geometry(layout.blockoflines);
    const std::size_t record_size = 2 * static_cast<std::size_t>(P);
    const std::size_t first_set = bitmap_size(mode);
    const std::size_t second_set =
        first_set + record_size * static_cast<std::size_t>(block_count(geometry, H));

    Rendering rendering;
    rendering.first = render_with(
        bytes, L, H, words, slots,
        [&](int y) {
            return first_set + record_size * static_cast<std::size_t>(block_of_line(geometry, y));
        },
        settings.level_step);
    if (layout.two_palettes) {
        rendering.second = render_with(
            bytes, L, H, words, slots,
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
