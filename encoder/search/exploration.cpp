#include "encoder/search/exploration.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "encoder/optimiser/record.h"

namespace brenvik {

namespace {

double ticks_to_seconds(std::clock_t ticks) {
    return static_cast<double>(ticks) / CLOCKS_PER_SEC;
}

}  // namespace

long long evaluate_solution(const RunContext& ctx, BlockSearch& search,
                            const std::vector<int>& ids) {
    const ScreenLayout& L = ctx.layout;
    const int W = L.largeur;
    const int stride = W + 1;
    long long total = 0;
    for (int row = 0; row < search.rows; ++row) {
        int* slot_of = &search.paletteres02[static_cast<std::size_t>(row) * stride];
        int* dist_of = &search.paletteres12[static_cast<std::size_t>(row) * stride];
        for (int x = 1; x <= W; ++x) {
            const auto& visible = L.paletteactive_id[x];
            int best_slot = 0;
            int best = 0;
            bool first = true;
            for (int k : visible) {
                const int d = search.distance(row, x, ids[k]);
                if (first || d < best) {
                    best = d;
                    best_slot = k;
                    first = false;
                }
            }
            slot_of[x] = best_slot;
            dist_of[x] = best;
            total += best;
        }
    }
    return total;
}

void exploration_locale_fast(const RunContext& ctx, BlockSearch& search, RunResults& results) {
    const std::clock_t call_start = std::clock();
    const RunSettings& settings = ctx.settings;
    const ScreenLayout& L = ctx.layout;
    const bool verbose = settings.verbose == 1;
    const bool debug_line = verbose && (search.hhhh == 2 || search.hhhh == 3);
    const int W = L.largeur;
    const int stride = W + 1;
    const int slots = L.limit + 2;  // slots 0..limit+1

    if (verbose) {
        search.log.printf(
            "exploration_locale_fast nb_loop_fast=%d nbiteration_moindrescarres=%d nbtry_init=%d "
            "temperature_ratio=%2.3f temperaturedec=%2.4f %2.3f seconds \n",
            search.nb_loop_fast, search.nbiteration_moindrescarres, search.nbtry_init,
            search.temperature_ratio, search.temperaturedec, seconds_since(settings.start));
    }
    search.nbiteration_moindrescarres2 = search.nbiteration_moindrescarres;

    // Entry evaluation of the starting solution.
    std::vector<int> start_ids(static_cast<std::size_t>(slots), 0);
    for (int k = 0; k < slots; ++k) start_ids[k] = search.vecteurfinal[k][12];
    if (verbose) {
        for (int row = 0; row < search.rows; ++row) {
            for (int k = L.debutlimit; k <= L.limit + 1; ++k) {
                search.log.printf("%d=%d ", k, start_ids[k]);
            }
        }
    }
    search.distancemoyenne = evaluate_solution(ctx, search, start_ids);
    search.palettecurr02 = search.paletteres02;
    search.palettecurr12 = search.paletteres12;
    search.dist_b = static_cast<double>(search.distancemoyenne);
    if (debug_line) {
        search.log.printf("debug init distancemoyenne=%8.8f \n", search.dist_b);
        search.log.printf("debug init3 distancemoyenne=%8.8f \n", search.dist_b);
    }

    // Working (vecteurfinal12) and committed (vecteurfinaltmp) candidate ids.
    search.vecteurfinal12 = start_ids;
    search.vecteurfinaltmp = start_ids;
    const double B = static_cast<double>(search.bestdistancemoyenne);
    double T = 2 * ((-B * 0.02 * 1000.0 * 10.0) / -0.10536051565782628) / search.temperature_ratio;

    // The working per-pixel tables differ from the committed ones only on
    // columns dirty_low..dirty_high; commit and undo copy just that span.
    int dirty_low = W + 1;
    int dirty_high = 0;
    auto sync = [&](std::vector<int>& to02, std::vector<int>& to12, const std::vector<int>& from02,
                    const std::vector<int>& from12) {
        if (dirty_low > dirty_high) return;
        for (int row = 0; row < search.rows; ++row) {
            const std::size_t base = static_cast<std::size_t>(row) * stride;
            std::copy(from02.begin() + base + dirty_low, from02.begin() + base + dirty_high + 1,
                      to02.begin() + base + dirty_low);
            std::copy(from12.begin() + base + dirty_low, from12.begin() + base + dirty_high + 1,
                      to12.begin() + base + dirty_low);
        }
        dirty_low = W + 1;
        dirty_high = 0;
    };

    long long working_total = search.distancemoyenne;
    long long committed_total = working_total;
    int k = 0;
    int accepted_worse = 0;
    int moves = 0;
    bool improved = false;
    constexpr int kMoveCap = 10000;

    while (k <= search.nb_loop_fast) {
        ++k;
        const int s = search.rng.rand() % L.limit + 2;
        const int count = search.unik_colors_segment_nb[s];
        const int p = search.rng.rand() % count + 1;
        const int c = search.unik_colors_id_segmenttotal[s][p];
        search.vecteurfinal12[s] = c;

        const int deb = L.paletteactiveoverride_deb[s];
        const int fin = L.paletteactiveoverride_fin[s];
        const int first = L.first_column(s);
        const int last = first + L.run_length(s) - 1;
        dirty_low = std::min(dirty_low, std::min(deb, first));
        dirty_high = std::max(dirty_high, std::max(fin, last));
        for (int row = 0; row < search.rows; ++row) {
            int* slot_of = &search.paletteres02[static_cast<std::size_t>(row) * stride];
            int* dist_of = &search.paletteres12[static_cast<std::size_t>(row) * stride];
            // Pixels that showed slot s choose again among their visible slots.
            for (int x = deb; x <= fin; ++x) {
                if (slot_of[x] != s) continue;
                const auto& visible = L.paletteactive_id[x];
                int best_slot = visible.front();
                int best = search.distance(row, x, search.vecteurfinal12[best_slot]);
                for (std::size_t i = 1; i < visible.size(); ++i) {
                    const int d = search.distance(row, x, search.vecteurfinal12[visible[i]]);
                    if (d < best) {
                        best = d;
                        best_slot = visible[i];
                    }
                }
                working_total += static_cast<long long>(best) - dist_of[x];
                slot_of[x] = best_slot;
                dist_of[x] = best;
            }
            // Pixels of slot s's range that the new colour beats move to it.
            const std::int32_t* d_row =
                &search.distance_precalcHL2[(static_cast<std::size_t>(row) *
                                                 search.distance_candidates +
                                             static_cast<std::size_t>(c)) *
                                            search.distance_columns];
            for (int x = first; x <= last; ++x) {
                const int d = d_row[x];
                if (d < dist_of[x]) {
                    working_total += static_cast<long long>(d) - dist_of[x];
                    slot_of[x] = s;
                    dist_of[x] = d;
                }
            }
        }
        search.distancemoyennea = working_total;
        if (debug_line) {
            search.log.printf(
                "debug optimisation dist_a=%8.8f dist_b=%8.8f distancemoyennea=%8.8f \n", 0.0,
                search.dist_b, static_cast<double>(search.distancemoyennea));
        }

        if (search.distancemoyennea < search.bestdistancemoyenne) {
            const std::clock_t improvement_start = std::clock();
            search.nbiteration_moindrescarres2 = 2 * search.nbtry_init;
            const int g = static_cast<int>(2 * k * (settings.opt / 5.0 + 1.2));
            if (g > search.nb_loop_fast) search.nb_loop_fast = g;
            search.nb_loop_fast = std::clamp(search.nb_loop_fast, 100, 180000);
            if (verbose) {
                search.log.printf("nb_loop_fast=%d k=%d \n", search.nb_loop_fast, k);
                search.log.printf(
                    "meilleure local fast %2.4f , distancemoyenne2=%8.8f "
                    "bestdistancemoyenne=%8.8f temperature_ratio=%2.4f, "
                    "nbiteration_moindrescarres2=%d k=%d nb_loop_fast=%d, nbtry_init=%d "
                    "secouru=%d \n",
                    search.temperature_ratio, static_cast<double>(search.distancemoyennea),
                    static_cast<double>(search.bestdistancemoyenne), search.temperature_ratio,
                    search.nbiteration_moindrescarres2, k, search.nb_loop_fast, search.nbtry_init,
                    accepted_worse);
            }
            search.vecteurfinaltmp = search.vecteurfinal12;
            sync(search.palettecurr02, search.palettecurr12, search.paletteres02,
                 search.paletteres12);
            committed_total = working_total;
            search.bestdistancemoyenne = search.distancemoyennea;
            SearchCounters& n = search.counters;
            n.secouru_nb += 1;
            if (accepted_worse == 0) {
                n.secouru_nb0 += 1;
            } else if (accepted_worse == 1) {
                n.secouru_nb1 += 1;
            } else if (accepted_worse <= 9) {
                n.secouru_nb2_9 += 1;
            } else {
                n.secouru_nb10 += 1;
            }
            n.timer[4] += 1000.0 * ticks_to_seconds(std::clock() - improvement_start);
            improved = true;
            accepted_worse = 0;
        } else {
            const double P = std::exp(
                static_cast<double>(-(search.distancemoyennea - search.bestdistancemoyenne)) / T);
            T = T * search.temperaturedec;
            if (T < settings.power_temperature_mini) k = search.nb_loop_fast + 1;
            const double r = search.rng.rand() * 3.051850947599719e-05;
            if (P <= r) {
                search.vecteurfinal12 = search.vecteurfinaltmp;
                sync(search.paletteres02, search.paletteres12, search.palettecurr02,
                     search.palettecurr12);
                working_total = committed_total;
            } else {
                accepted_worse += 1;
            }
        }
        if (++moves >= kMoveCap) break;
    }

    // End: the working solution is the result.
    const std::clock_t end_start = std::clock();
    for (int s = L.debutlimit; s <= L.limit + 1; ++s) {
        search.vecteurfinal[s][12] = search.vecteurfinal12[s];
        search.vecteurfinaltmp[s] = search.vecteurfinal12[s];
    }
    search.nbiteration_moindrescarres = search.nbiteration_moindrescarres2;
    if (improved) {
        search.distancemoyenne = evaluate_solution(ctx, search, search.vecteurfinal12);
        if (debug_line) {
            search.log.printf(
                "debug record saved dist_a=%8.8f dist_b=%8.8f distancemoyenne=%8.8f \n", 0.0,
                search.dist_b, static_cast<double>(search.distancemoyenne));
        }
        decode_slot_colours(ctx, search);
        if (verbose) {
            search.log.printf("saved y=%d bestdistancemoyenne=%8.8f distancemoyenne=%8.8f \n",
                              search.hhhh, static_cast<double>(search.bestdistancemoyenne),
                              static_cast<double>(search.distancemoyenne));
        }
        store_solution(ctx, search, results);
    }
    search.counters.timer[6] += ticks_to_seconds(std::clock() - end_start);
    search.counters.timer[8] += ticks_to_seconds(std::clock() - call_start);
}

}  // namespace brenvik
