#include "encoder/optimiser/optimise_block.h"

#include <algorithm>

#include "encoder/optimiser/candidates.h"
#include "encoder/search/distances.h"
#include "encoder/search/solution.h"

namespace brenvik {

namespace {

// A pixel's distance before any slot has been tried on it: no candidate's
// distance is smaller, so a pixel that no slot can show stays unchosen.
constexpr int kNoDistanceYet = kNoCandidateDistance;
// The largest total distance a block records.
constexpr long long kLargestTotalDistance = 999999998;

double seconds(const RunContext& ctx) {
    return seconds_since(ctx.settings.start_clock);
}

// The random start: slots 0 and 1 take the lists' fixed candidates and
// every optimised slot draws an entry of its own list.
void draw_random_start(const ScreenLayout& layout, const CandidateLists& lists, Random& rng,
                       std::vector<SlotColours>& slot_colours) {
    slot_colours.assign(static_cast<std::size_t>(layout.slot_count()), SlotColours{});
    slot_colours[0][kCandidateId] = lists.fixed_slot_candidates[0];
    slot_colours[1][kCandidateId] = lists.fixed_slot_candidates[1];
    for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
        const int pick = rng.next() % lists.count[k] + 1;
        slot_colours[k][kCandidateId] = lists.ids[k][pick];
    }
}

// Every pixel's choice under the random start: every slot, in ascending
// order, takes the pixels of its run that it shows strictly nearer than
// what they have. Returns the total distance.
long long evaluate_random_start(const RunContext& ctx, const BlockLines& lines,
                                const DistanceTable& table, BlockSolution& solution,
                                TextSink& trace) {
    const ScreenLayout& layout = ctx.layout;
    const int width = layout.width;
    const int stride = width + 1;
    const bool verbose = ctx.settings.verbose == 1;
    // Every pixel starts at slot 0, distance 0: a column that no optimised
    // slot shows keeps register 0 at no cost.
    solution.start_choices.reset(lines.row_count, width);
    solution.nearest.resize(static_cast<std::size_t>(stride));
    int* nearest = solution.nearest.data();
    long long total = 0;
    for (int row = 0; row < lines.row_count; ++row) {
        int* slot_at = &solution.start_choices.slot[static_cast<std::size_t>(row) * stride];
        int* distance_at = &solution.start_choices.distance[static_cast<std::size_t>(row) * stride];
        for (int x = 1; x <= width; ++x) nearest[x] = kNoDistanceYet;
        for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
            const int candidate = solution.slot_colours[k][kCandidateId];
            if (verbose) trace.printf("%d=%d ", k, candidate);
            const int first = layout.first_column(k);
            if (first < 1) continue;
            const int last = first + layout.run_length(k) - 1;
            for (int x = first; x <= last; ++x) {
                const int d = table.distance(row, x, candidate);
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

void trace_random_starts(const RunContext& ctx, const BlockLines& lines, int random_starts,
                         TextSink& trace) {
    if (ctx.settings.verbose != 1) return;
    trace.printf("time1 y=%d %2.3f seconds \n", lines.centre_line, seconds(ctx));
    trace.printf("nbtry_init=%d , nbiteration_moindrescarres=%d \n", random_starts,
                 kAnnealingNotImproved);
}

// Draws the random start and records it as the block's result; returns its
// total distance.
long long record_random_start(const RunContext& ctx, const BlockLines& lines,
                              const CandidateLists& lists, const DistanceTable& table,
                              BlockSolution& solution, Random& rng, TextSink& trace,
                              RunResults& results) {
    const ScreenLayout& layout = ctx.layout;
    const bool verbose = ctx.settings.verbose == 1;
    draw_random_start(layout, lists, rng, solution.slot_colours);
    if (verbose) {
        for (int i = 0; i < 2; ++i) {
            trace.printf("d1da vecteurfinal[%d][12]=%d vecteurfinalold[%d][12]=%d \n", i,
                         solution.slot_colours[i][kCandidateId], i,
                         solution.slot_colours[i][kCandidateId]);
        }
    }
    const long long total =
        std::min(evaluate_random_start(ctx, lines, table, solution, trace), kLargestTotalDistance);
    decode_slot_colours(ctx, lists, solution.slot_colours);
    store_block_solution(ctx, lines, solution.slot_colours, solution.start_choices, results);
    if (verbose) {
        trace.printf("time2 y=%d %2.3f seconds \n", lines.centre_line, seconds(ctx));
        trace.printf(
            "y=%d INIT %d a record : bestdistancemoyenne=%lld, distancemoyenne=%lld, "
            "distancemoyennea=%lld, nbiteration_moindrescarres2=%d \n",
            lines.centre_line, kRandomStarts, total, total, total, kAnnealingNotImproved);
        for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
            trace.printf("vecteurfinalsaved(%d,%d):%d ", k, lines.centre_line,
                         results.stored(k, lines.centre_line)[2]);
        }
        trace.printf("time3 y=%d nbtry_init=%d %2.3f seconds \n", lines.centre_line, kRandomStarts,
                     seconds(ctx));
    }
    return total;
}

// The start's distance and the best so far (the same: the start is the only
// solution yet) and the start's candidates.
void trace_annealing_start(const RunContext& ctx, long long total, long long best,
                           const std::vector<SlotColours>& slot_colours, TextSink& trace) {
    const ScreenLayout& layout = ctx.layout;
    const double start_to_best_ratio =
        static_cast<double>(total) * 1.00001 / static_cast<double>(best);
    trace.printf("bestdistancemoyenne=%8.8f exploration_local_todo=%2.8f \n",
                 static_cast<double>(best), start_to_best_ratio);
    trace.puts("init ");
    for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
        trace.printf("%d=%d ", k, slot_colours[k][kCandidateId]);
    }
}

void trace_block_end(const RunContext& ctx, const BlockLines& lines, long long best,
                     long long total, TextSink& trace) {
    for (const char* label :
         {"saved step1", "saved step1b", "saved step2a", "saved step2", "saved step2b"}) {
        trace.printf("%s y=%d bestdistancemoyenne=%8.8f distancemoyenne=%8.8f \n", label,
                     lines.centre_line, static_cast<double>(best), static_cast<double>(total));
    }
    trace.printf("time5 y=%d %2.3f seconds \n", lines.centre_line, seconds(ctx));
}

}  // namespace

BlockSummary optimise_block(const RunContext& ctx, int centre, BlockSearch& search,
                            RunResults& results) {
    const bool verbose = ctx.settings.verbose == 1;
    const BlockLines lines = BlockLines::centred_on(centre, ctx.settings.block_geometry);
    BlockSummary summary;
    BlockLog& log = summary.log;
    Random rng(kBlockSeed);
    if (verbose) log.trace.printf("time0 ty=%d  %2.3f seconds \n", lines.centre_line, seconds(ctx));

    build_candidates(ctx, lines, search.lists, search.distances, rng, log);
    trace_random_starts(ctx, lines, 0, log.trace);
    const long long start_total = record_random_start(ctx, lines, search.lists, search.distances,
                                                      search.solution, rng, log.trace, results);
    trace_random_starts(ctx, lines, kRandomStarts, log.trace);
    summary.best_total_distance = start_total;
    summary.annealing_outcome = kAnnealingNotImproved;
    long long total = start_total;

    // Improve it, unless it is already perfect.
    if (start_total > 0) {
        if (verbose) {
            trace_annealing_start(ctx, start_total, start_total, search.solution.slot_colours,
                                  log.trace);
        }
        const AnnealingOutcome annealed =
            anneal_block({ctx, lines, search.lists, search.distances}, start_total,
                         search.solution.slot_colours, search.annealing, rng, log, results);
        summary.best_total_distance = annealed.best_total_distance;
        if (annealed.improved) {
            summary.annealing_outcome = kAnnealingImproved;
            total = annealed.total_distance;
        }
        if (verbose) {
            log.trace.printf("time4 y=%d nbtry_init=%d %2.3f seconds \n", lines.centre_line,
                             kRandomStarts, seconds(ctx));
        }
    }
    if (verbose) trace_block_end(ctx, lines, summary.best_total_distance, total, log.trace);
    return summary;
}

}  // namespace brenvik
