#include "encoder/search/solution.h"

namespace brenvik {

void decode_slot_colours(const RunContext& ctx, BlockSearch& search) {
    const ScreenLayout& layout = ctx.layout;
    const int step = ctx.picture.level_step;
    const auto& list = search.candidate_colours[layout.whole_line_slot()];
    for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
        SlotColours& r = search.slot_colours[k];
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

void store_block_solution(const RunContext& ctx, const BlockSearch& search, RunResults& results) {
    const ScreenLayout& layout = ctx.layout;
    const int width = layout.width;
    const int stride = width + 1;
    for (int row = 0; row < search.row_count; ++row) {
        const int y = search.centre_line + ctx.settings.block_geometry.first_row_offset + row;
        for (int x = 0; x <= width; ++x) {
            const std::size_t i = static_cast<std::size_t>(row) * stride + x;
            results.pixel_choice.at(x, y) = {search.working_slot[i], search.working_distance[i]};
        }
        for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
            SlotColours& saved = results.stored(k, y);
            const SlotColours& current = search.slot_colours[k];
            for (int i = 1; i <= 12; ++i) saved[i] = current[i];
        }
    }
}

}  // namespace brenvik
