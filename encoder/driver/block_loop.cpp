#include "encoder/driver/block_loop.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "encoder/optimiser/optimise_block.h"
#include "encoder/state/geometry.h"

namespace brenvik {

namespace {

struct BlockOutcome {
    bool done = false;
    BlockSummary summary;
};

}  // namespace

void run_block_loop(const RunContext& ctx, RunResults& results, std::FILE* out,
                    const std::function<void(int)>& lines_done) {
    const std::vector<int> centres = block_centre_lines(ctx.settings);
    const int blocks = static_cast<int>(centres.size());
    std::vector<BlockOutcome> outcomes(centres.size());

    unsigned threads = ctx.settings.threads;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = std::min<unsigned>(threads, static_cast<unsigned>(std::max(blocks, 1)));

    // Workers take blocks in order and leave each outcome in its place; the
    // calling thread works too and, between its blocks, writes the finished
    // outcomes in block order, so nobody waits to be woken.
    std::mutex mutex;
    std::atomic<int> next_block{0};
    int next_to_merge = 0;

    auto merge_finished = [&] {
        while (next_to_merge < blocks) {
            BlockOutcome outcome;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (!outcomes[next_to_merge].done) return;
                outcome = std::move(outcomes[next_to_merge]);
                outcomes[next_to_merge].summary.log.trace.clear();
            }
            const BlockSummary& block = outcome.summary;
            const std::string& trace = block.log.trace.text();
            std::fwrite(trace.data(), 1, trace.size(), out);
            results.best_total_distance_sum += static_cast<double>(block.best_total_distance);
            results.annealing_outcome = block.annealing_outcome;
            results.counters.add(block.log.counters);
            if (ctx.settings.verbose == 1) {
                std::fprintf(out, "fin calc %2.3f seconds\n",
                             seconds_since(ctx.settings.start_clock));
            }
            ++next_to_merge;
            if (lines_done) {
                // Later blocks only write lines from their own first line on.
                const int next_first_line =
                    next_to_merge < blocks
                        ? centres[next_to_merge] + ctx.settings.block_geometry.first_row_offset
                        : ctx.picture.height + 1;
                lines_done(std::min(next_first_line - 1, ctx.picture.height));
            }
        }
    };

    auto work = [&](bool merging) {
        BlockSearch search;
        for (int block = next_block.fetch_add(1); block < blocks; block = next_block.fetch_add(1)) {
            BlockOutcome outcome;
            outcome.summary = optimise_block(ctx, centres[block], search, results);
            outcome.done = true;
            {
                std::lock_guard<std::mutex> lock(mutex);
                outcomes[block] = std::move(outcome);
            }
            if (merging) merge_finished();
        }
    };

    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work, false);
    work(true);
    for (auto& t : pool) t.join();
    merge_finished();  // every block is done now
}

}  // namespace brenvik
