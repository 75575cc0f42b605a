#include "encoder/search/solution.h"

namespace brenvik {

void decode_slot_colours(const RunContext& ctx, BlockSearch& search) {
    const ScreenLayout& L = ctx.layout;
    const int step = ctx.pic.nbbitsroundint;
    const auto& list = search.unik_colors_global_id[L.limit + 2];
    for (int k = L.debutlimit; k <= L.limit + 1; ++k) {
        SlotRecord& r = search.vecteurfinal[k];
        const int c = r[12];
        const int g = c > 0 ? list[c] : 0;
        r[1] = ((g >> 8) & 15) * step;
        r[2] = ((g >> 4) & 15) * step;
        r[3] = (g & 15) * step;
        r[4] = ((g >> 20) & 15) * step;
        r[5] = ((g >> 16) & 15) * step;
        r[6] = ((g >> 12) & 15) * step;
    }
}

void store_solution(const RunContext& ctx, const BlockSearch& search, RunResults& results) {
    const ScreenLayout& L = ctx.layout;
    const int W = L.largeur;
    const int stride = W + 1;
    for (int row = 0; row < search.rows; ++row) {
        const int y = search.hhhh + ctx.settings.geometry.hhh_minus + row;
        for (int x = 0; x <= W; ++x) {
            const std::size_t i = static_cast<std::size_t>(row) * stride + x;
            results.palettesaved.at(x, y) = {search.paletteres02[i], search.paletteres12[i]};
        }
        for (int k = L.debutlimit; k <= L.limit + 1; ++k) {
            SlotRecord& saved = results.saved(k, y);
            const SlotRecord& current = search.vecteurfinal[k];
            for (int i = 1; i <= 12; ++i) saved[i] = current[i];
        }
    }
}

}  // namespace brenvik
