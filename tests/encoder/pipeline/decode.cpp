#include "tests/encoder/pipeline/decode.h"

namespace testsupport {

std::vector<int> decode_bitplanes(const std::vector<std::uint8_t>& bytes, std::size_t offset,
                                  int width, int height) {
    std::vector<int> regs(static_cast<std::size_t>(width) * height, 0);
    std::size_t at = offset;
    for (int y = 0; y < height; ++y) {
        for (int group = 0; group < width / 16; ++group) {
            std::array<int, 4> planes{};
            for (int p = 0; p < 4; ++p) {
                planes[p] = bytes.at(at) << 8 | bytes.at(at + 1);
                at += 2;
            }
            for (int i = 0; i < 16; ++i) {
                int reg = 0;
                for (int p = 0; p < 4; ++p) reg |= ((planes[p] >> (15 - i)) & 1) << p;
                regs[static_cast<std::size_t>(y) * width + group * 16 + i] = reg;
            }
        }
    }
    return regs;
}

int nibble_level(int nibble) {
    return ((nibble & 7) << 1) | ((nibble >> 3) & 1);
}

std::array<int, 3> shown_colour(const brenvik::ScreenLayout& layout,
                                const std::vector<std::uint8_t>& bytes, std::size_t record, int reg,
                                int x, int step) {
    int slot = -1;
    for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
        if (layout.slot_register[k] == reg && layout.visible(x, k) == 1) slot = k;
    }
    if (slot < 0) return {0, 0, 0};
    const std::size_t at =
        record + 2 * static_cast<std::size_t>(slot - layout.first_optimised_slot);
    const int word = bytes.at(at) << 8 | bytes.at(at + 1);
    return {nibble_level(word >> 8) * step, nibble_level(word >> 4) * step,
            nibble_level(word) * step};
}

}  // namespace testsupport
