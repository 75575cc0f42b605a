#include "encoder/driver/block_loop.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "encoder/optimiser/optimise_block.h"
#include "encoder/state/geometry.h"

namespace brenvik {

namespace {

struct BlockOutcome {
    bool done = false;
    std::string trace;
    SearchCounters counters;
    long long best_total_distance = 0;
    int annealing_outcome = 0;
};

}  // namespace

void run_block_loop(const RunContext& ctx, RunResults& results, std::FILE* out) {
    const std::vector<int> centres = block_centre_lines(ctx.settings);
    const int blocks = static_cast<int>(centres.size());
    std::vector<BlockOutcome> outcomes(centres.size());

    unsigned threads = ctx.settings.threads;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = std::min<unsigned>(threads, static_cast<unsigned>(std::max(blocks, 1)));

    std::mutex mutex;
    std::condition_variable block_finished;
    std::atomic<int> next_block{0};

    auto worker = [&] {
        BlockSearch search;
        for (int block = next_block.fetch_add(1); block < blocks; block = next_block.fetch_add(1)) {
            search.trace.clear();
            search.counters = SearchCounters{};
            search.rng.reseed(2394);
            optimise_block(ctx, centres[block], search, results);
            BlockOutcome outcome;
            outcome.trace = search.trace.text();
            outcome.counters = search.counters;
            outcome.best_total_distance = search.best_total_distance;
            outcome.annealing_outcome = search.annealing_outcome;
            outcome.done = true;
            {
                std::lock_guard<std::mutex> lock(mutex);
                outcomes[block] = std::move(outcome);
            }
            block_finished.notify_all();
        }
    };

    std::vector<std::thread> pool;
    if (threads == 1) {
        worker();
    } else {
        for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);
    }

    // Merge in block order as blocks complete.
    for (int block = 0; block < blocks; ++block) {
        BlockOutcome outcome;
        {
            std::unique_lock<std::mutex> lock(mutex);
            block_finished.wait(lock, [&] { return outcomes[block].done; });
            outcome = std::move(outcomes[block]);
            outcomes[block].trace.clear();
        }
        std::fwrite(outcome.trace.data(), 1, outcome.trace.size(), out);
        results.best_total_distance_sum += static_cast<double>(outcome.best_total_distance);
        results.annealing_outcome = outcome.annealing_outcome;
        results.counters.add(outcome.counters);
        if (ctx.settings.verbose == 1) {
            std::fprintf(out, "fin calc %2.3f seconds\n", seconds_since(ctx.settings.start_clock));
        }
    }
    for (auto& t : pool) t.join();
}

}  // namespace brenvik
