#include "encoder/optimiser/optimise_block.h"

#include <algorithm>

#include "encoder/optimiser/candidates.h"
#include "encoder/search/anneal.h"
#include "encoder/search/solution.h"

namespace brenvik {

namespace {

constexpr int kNoDistanceYet = 99999999;
constexpr long long kCostClamp = 999999998;

void reset_block(const RunContext& ctx, int centre, BlockSearch& search) {
    const ScreenLayout& layout = ctx.layout;
    search.centre_line = centre;
    search.row_count = ctx.settings.block_geometry.row_count();
    const std::size_t cells = static_cast<std::size_t>(search.row_count) * (layout.width + 1);
    search.nearest_distance.assign(cells, 0);
    // Room for one batch of the search's vector code past the last row.
    search.working_slot.assign(cells + kBatchSlack, 0);
    search.working_distance.assign(cells + kBatchSlack, 0);
    search.slot_colours.assign(static_cast<std::size_t>(layout.slot_count()), SlotColours{});
    search.working_candidate.assign(static_cast<std::size_t>(layout.whole_line_slot()), 0);
    search.committed_candidate.assign(static_cast<std::size_t>(layout.whole_line_slot()), 0);
}

// Initial evaluation: every slot, in ascending order, takes the pixels of its
// range that it shows strictly nearer than what they have.
long long evaluate_random_start(const RunContext& ctx, BlockSearch& search) {
    const ScreenLayout& layout = ctx.layout;
    const int width = layout.width;
    const int stride = width + 1;
    const bool verbose = ctx.settings.verbose == 1;
    long long total = 0;
    for (int row = 0; row < search.row_count; ++row) {
        int* nearest = &search.nearest_distance[static_cast<std::size_t>(row) * stride];
        int* slot_at = &search.working_slot[static_cast<std::size_t>(row) * stride];
        int* distance_at = &search.working_distance[static_cast<std::size_t>(row) * stride];
        for (int x = 1; x <= width; ++x) {
            nearest[x] = kNoDistanceYet;
            if (layout.visible_slots[x].empty()) {
                // No optimiser slot shows this column: register 0, no cost.
                slot_at[x] = 0;
                distance_at[x] = 0;
            }
        }
        for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
            const int candidate = search.slot_colours[k][kCandidateId];
            if (verbose) search.trace.printf("%d=%d ", k, candidate);
            const int first = layout.first_column(k);
            if (first < 1) continue;
            const int last = first + layout.run_length(k) - 1;
            for (int x = first; x <= last; ++x) {
                const int d = search.distance(row, x, candidate);
                if (d < nearest[x]) {
                    nearest[x] = d;
                    slot_at[x] = k;
                    distance_at[x] = d;
                }
            }
        }
        for (int x = 1; x <= width; ++x) total += distance_at[x];
    }
    return total;
}

}  // namespace

void optimise_block(const RunContext& ctx, int centre, BlockSearch& search, RunResults& results) {
    const RunSettings& settings = ctx.settings;
    const ScreenLayout& layout = ctx.layout;
    const bool verbose = settings.verbose == 1;
    auto seconds = [&] { return seconds_since(settings.start_clock); };

    reset_block(ctx, centre, search);
    if (verbose)
        search.trace.printf("time0 ty=%d  %2.3f seconds \n", search.centre_line, seconds());

    if (settings.palette_mode == kOnePalette || settings.palette_mode == kTwoBitmapsTwoPalettes) {
        build_candidate_lists_one_colour(ctx, search);
    } else if (settings.palette_mode == kOneBitmapTwoPalettes) {
        build_candidate_lists_two_colour(ctx, search);
    }

    search.best_total_distance = 999999999;
    search.random_starts = 0;
    search.annealing_outcome = 3;
    search.pending_annealing_outcome = 3;
    search.move_budget = 200;
    search.move_budget_limit = 200;

    auto trace_random_starts = [&] {
        if (!verbose) return;
        search.trace.printf("time1 y=%d %2.3f seconds \n", search.centre_line, seconds());
        search.trace.printf("nbtry_init=%d , nbiteration_moindrescarres=%d \n",
                            search.random_starts, search.annealing_outcome);
    };
    trace_random_starts();

    // Random initial solution: every slot draws an entry of its own list.
    search.random_starts = 1;
    if (layout.optimised_slot_count > 0) {
        for (int k = 2; k <= layout.last_optimised_slot(); ++k) {
            const int count = search.candidate_count[k];
            const int pick = search.rng.next() % count + 1;
            search.slot_colours[k][kCandidateId] = search.candidate_ids[k][pick];
        }
    }
    if (verbose) {
        for (int i = 0; i < 2; ++i) {
            search.trace.printf("d1da vecteurfinal[%d][12]=%d vecteurfinalold[%d][12]=%d \n", i,
                                search.slot_colours[i][kCandidateId], i,
                                search.slot_colours[i][kCandidateId]);
        }
    }

    search.total_distance = evaluate_random_start(ctx, search);

    // Record it as the block's best.
    if (search.total_distance > kCostClamp) search.total_distance = kCostClamp;
    search.best_total_distance = search.total_distance;
    decode_slot_colours(ctx, search);
    store_block_solution(ctx, search, results);
    {
        const int width = layout.width;
        long long stored_total = 0;
        long long row_total = 0;
        for (int row = 0; row < search.row_count; ++row) {
            const int y = search.centre_line + settings.block_geometry.first_row_offset + row;
            for (int x = 1; x <= width; ++x) {
                stored_total += results.pixel_choice.at(x, y).second;
                row_total +=
                    search.working_distance[static_cast<std::size_t>(row) * (width + 1) + x];
            }
        }
        search.total_distance = std::min(stored_total, kCostClamp);
        search.working_total_distance = std::min(row_total, kCostClamp);
    }
    if (verbose) {
        search.trace.printf("time2 y=%d %2.3f seconds \n", search.centre_line, seconds());
        search.trace.printf(
            "y=%d INIT %d a record : bestdistancemoyenne=%lld, distancemoyenne=%lld, "
            "distancemoyennea=%lld, nbiteration_moindrescarres2=%d \n",
            search.centre_line, search.random_starts, search.best_total_distance,
            search.total_distance, search.working_total_distance, 3);
        for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
            search.trace.printf("vecteurfinalsaved(%d,%d):%d ", k, search.centre_line,
                                results.stored(k, search.centre_line)[2]);
        }
        search.trace.printf("time3 y=%d nbtry_init=%d %2.3f seconds \n", search.centre_line,
                            search.random_starts, seconds());
    }
    trace_random_starts();

    // Improve it, unless it is already perfect.
    if (search.best_total_distance > 0) {
        search.start_to_best_ratio = static_cast<double>(search.total_distance) * 1.00001 /
                                     static_cast<double>(search.best_total_distance);
        if (search.start_to_best_ratio > 0) {
            if (verbose) {
                search.trace.printf("bestdistancemoyenne=%8.8f exploration_local_todo=%2.8f \n",
                                    static_cast<double>(search.best_total_distance),
                                    search.start_to_best_ratio);
                search.trace.puts("init ");
                for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
                    search.trace.printf("%d=%d ", k, search.slot_colours[k][kCandidateId]);
                }
            }
            search.cooling_factor = settings.cooling_factor;
            search.temperature_divisor = static_cast<double>(settings.temperature_divisor);
            search.move_budget = settings.initial_move_budget;
            anneal_block(ctx, search, results);
            if (verbose) {
                search.trace.printf("time4 y=%d nbtry_init=%d %2.3f seconds \n", search.centre_line,
                                    search.random_starts, seconds());
            }
        }
    }

    search.annealing_outcome = search.pending_annealing_outcome;
    if (verbose) {
        for (const char* label :
             {"saved step1", "saved step1b", "saved step2a", "saved step2", "saved step2b"}) {
            search.trace.printf("%s y=%d bestdistancemoyenne=%8.8f distancemoyenne=%8.8f \n", label,
                                search.centre_line, static_cast<double>(search.best_total_distance),
                                static_cast<double>(search.total_distance));
        }
        search.trace.printf("time5 y=%d %2.3f seconds \n", search.centre_line, seconds());
    }
}

}  // namespace brenvik
