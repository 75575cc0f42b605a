#include "encoder/search/solution.h"

namespace brenvik {

void decode_slot_colours(const RunContext& ctx, const CandidateLists& lists,
                         std::vector<SlotColours>& slot_colours) {
    const ScreenLayout& layout = ctx.layout;
    const int step = ctx.picture.level_step;
    const auto& list = lists.colours[layout.whole_line_slot()];
    for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
        SlotColours& r = slot_colours[k];
        const int c = r[kCandidateId];
        const int packed = c > 0 ? list[c] : 0;
        r[1] = ((packed >> 8) & 15) * step;
        r[2] = ((packed >> 4) & 15) * step;
        r[3] = (packed & 15) * step;
        r[4] = ((packed >> 20) & 15) * step;
        r[5] = ((packed >> 16) & 15) * step;
        r[6] = ((packed >> 12) & 15) * step;
    }
}

void store_block_solution(const RunContext& ctx, const BlockLines& lines,
                          const std::vector<SlotColours>& slot_colours, const PixelChoices& choices,
                          RunResults& results) {
    const ScreenLayout& layout = ctx.layout;
    const int width = layout.width;
    const int stride = width + 1;
    for (int row = 0; row < lines.row_count; ++row) {
        const int y = lines.line_of_row(row);
        for (int x = 0; x <= width; ++x) {
            const std::size_t i = static_cast<std::size_t>(row) * stride + x;
            results.pixel_choice.at(x, y) = {choices.slot[i], choices.distance[i]};
        }
        for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
            SlotColours& saved = results.stored(k, y);
            const SlotColours& current = slot_colours[k];
            for (int i = 1; i <= 12; ++i) saved[i] = current[i];
        }
    }
}

}  // namespace brenvik
