#include "encoder/optimiser/anneal.h"

#include <algorithm>

#include "encoder/optimiser/candidates.h"
#include "encoder/search/exploration.h"
#include "encoder/search/solution.h"

namespace brenvik {

namespace {

constexpr int kNoDistanceYet = 99999999;
constexpr long long kCostClamp = 999999998;

void reset_block(const RunContext& ctx, int centre, BlockSearch& search) {
    const ScreenLayout& L = ctx.layout;
    search.hhhh = centre;
    search.rows = ctx.settings.geometry.rows();
    const std::size_t cells = static_cast<std::size_t>(search.rows) * (L.largeur + 1);
    search.bestdist_i2.assign(cells, 0);
    search.paletteres02.assign(cells, 0);
    search.paletteres12.assign(cells, 0);
    search.palettecurr02.assign(cells, 0);
    search.palettecurr12.assign(cells, 0);
    search.vecteurfinal.assign(static_cast<std::size_t>(L.slot_count()), SlotRecord{});
    search.vecteurfinal12.assign(static_cast<std::size_t>(L.limit + 2), 0);
    search.vecteurfinaltmp.assign(static_cast<std::size_t>(L.limit + 2), 0);
}

// Initial evaluation: every slot, in ascending order, takes the pixels of its
// range that it shows strictly nearer than what they have.
long long evaluate_initial(const RunContext& ctx, BlockSearch& search) {
    const ScreenLayout& L = ctx.layout;
    const int W = L.largeur;
    const int stride = W + 1;
    const bool verbose = ctx.settings.verbose == 1;
    long long total = 0;
    for (int row = 0; row < search.rows; ++row) {
        int* best = &search.bestdist_i2[static_cast<std::size_t>(row) * stride];
        int* slot_of = &search.paletteres02[static_cast<std::size_t>(row) * stride];
        int* dist_of = &search.paletteres12[static_cast<std::size_t>(row) * stride];
        for (int x = 1; x <= W; ++x) {
            best[x] = kNoDistanceYet;
            if (L.paletteactive_id[x].empty()) {
                // No optimiser slot shows this column: register 0, no cost.
                slot_of[x] = 0;
                dist_of[x] = 0;
            }
        }
        for (int k = L.debutlimit; k <= L.limit + 1; ++k) {
            const int c = search.vecteurfinal[k][12];
            if (verbose) search.log.printf("%d=%d ", k, c);
            const int first = L.first_column(k);
            if (first < 1) continue;
            const int last = first + L.run_length(k) - 1;
            for (int x = first; x <= last; ++x) {
                const int d = search.distance(row, x, c);
                if (d < best[x]) {
                    best[x] = d;
                    slot_of[x] = k;
                    dist_of[x] = d;
                }
            }
        }
        for (int x = 1; x <= W; ++x) total += dist_of[x];
    }
    return total;
}

}  // namespace

void annealKez(const RunContext& ctx, int centre, BlockSearch& search, RunResults& results) {
    const RunSettings& settings = ctx.settings;
    const ScreenLayout& L = ctx.layout;
    const bool verbose = settings.verbose == 1;
    auto seconds = [&] { return seconds_since(settings.start); };

    reset_block(ctx, centre, search);
    if (verbose) search.log.printf("time0 ty=%d  %2.3f seconds \n", search.hhhh, seconds());

    if (settings.pixpal == 1 || settings.pixpal == 2) {
        build_candidate_lists_one_colour(ctx, search);
    } else if (settings.pixpal == 3) {
        build_candidate_lists_two_colour(ctx, search);
    }

    search.bestdistancemoyenne = 999999999;
    search.nbtry_init = 0;
    search.nbiteration_moindrescarres = 3;
    search.nbiteration_moindrescarres2 = 3;
    search.nb_loop_fast = 200;
    search.nb_loop_fast_max = 200;

    auto trace_try = [&] {
        if (!verbose) return;
        search.log.printf("time1 y=%d %2.3f seconds \n", search.hhhh, seconds());
        search.log.printf("nbtry_init=%d , nbiteration_moindrescarres=%d \n", search.nbtry_init,
                          search.nbiteration_moindrescarres);
    };
    trace_try();

    // Random initial solution: every slot draws an entry of its own list.
    search.nbtry_init = 1;
    if (L.limit > 0) {
        for (int k = 2; k <= L.limit + 1; ++k) {
            const int n = search.unik_colors_segment_nb[k];
            const int r = search.rng.rand() % n + 1;
            search.vecteurfinal[k][12] = search.unik_colors_id_segmenttotal[k][r];
        }
    }
    if (verbose) {
        for (int i = 0; i < 2; ++i) {
            search.log.printf("d1da vecteurfinal[%d][12]=%d vecteurfinalold[%d][12]=%d \n", i,
                              search.vecteurfinal[i][12], i, search.vecteurfinal[i][12]);
        }
    }

    search.distancemoyenne = evaluate_initial(ctx, search);

    // Record it as the block's best.
    if (search.distancemoyenne > kCostClamp) search.distancemoyenne = kCostClamp;
    search.bestdistancemoyenne = search.distancemoyenne;
    decode_slot_colours(ctx, search);
    store_solution(ctx, search, results);
    {
        const int W = L.largeur;
        long long from_saved = 0;
        long long from_rows = 0;
        for (int row = 0; row < search.rows; ++row) {
            const int y = search.hhhh + settings.geometry.hhh_minus + row;
            for (int x = 1; x <= W; ++x) {
                from_saved += results.palettesaved.at(x, y).second;
                from_rows += search.paletteres12[static_cast<std::size_t>(row) * (W + 1) + x];
            }
        }
        search.distancemoyenne = std::min(from_saved, kCostClamp);
        search.distancemoyennea = std::min(from_rows, kCostClamp);
    }
    if (verbose) {
        search.log.printf("time2 y=%d %2.3f seconds \n", search.hhhh, seconds());
        search.log.printf(
            "y=%d INIT %d a record : bestdistancemoyenne=%lld, distancemoyenne=%lld, "
            "distancemoyennea=%lld, nbiteration_moindrescarres2=%d \n",
            search.hhhh, search.nbtry_init, search.bestdistancemoyenne, search.distancemoyenne,
            search.distancemoyennea, 3);
        for (int k = L.debutlimit; k <= L.limit + 1; ++k) {
            search.log.printf("vecteurfinalsaved(%d,%d):%d ", k, search.hhhh,
                              results.saved(k, search.hhhh)[2]);
        }
        search.log.printf("time3 y=%d nbtry_init=%d %2.3f seconds \n", search.hhhh,
                          search.nbtry_init, seconds());
    }
    trace_try();

    // Improve it, unless it is already perfect.
    if (search.bestdistancemoyenne > 0) {
        search.exploration_local_todo = static_cast<double>(search.distancemoyenne) * 1.00001 /
                                        static_cast<double>(search.bestdistancemoyenne);
        if (search.exploration_local_todo > 0) {
            if (verbose) {
                search.log.printf("bestdistancemoyenne=%8.8f exploration_local_todo=%2.8f \n",
                                  static_cast<double>(search.bestdistancemoyenne),
                                  search.exploration_local_todo);
                search.log.puts("init ");
                for (int k = L.debutlimit; k <= L.limit + 1; ++k) {
                    search.log.printf("%d=%d ", k, search.vecteurfinal[k][12]);
                }
            }
            search.temperaturedec = settings.power_quality;
            search.temperature_ratio = static_cast<double>(settings.power_temperature);
            search.nb_loop_fast = settings.nb_loop_fast_init;
            exploration_locale_fast(ctx, search, results);
            if (verbose) {
                search.log.printf("time4 y=%d nbtry_init=%d %2.3f seconds \n", search.hhhh,
                                  search.nbtry_init, seconds());
            }
        }
    }

    search.nbiteration_moindrescarres = search.nbiteration_moindrescarres2;
    if (verbose) {
        for (const char* label :
             {"saved step1", "saved step1b", "saved step2a", "saved step2", "saved step2b"}) {
            search.log.printf("%s y=%d bestdistancemoyenne=%8.8f distancemoyenne=%8.8f \n", label,
                              search.hhhh, static_cast<double>(search.bestdistancemoyenne),
                              static_cast<double>(search.distancemoyenne));
        }
        search.log.printf("time5 y=%d %2.3f seconds \n", search.hhhh, seconds());
    }
}

}  // namespace brenvik
