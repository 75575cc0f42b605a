#include "encoder/driver/block_loop.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "encoder/optimiser/optimise_block.h"
#include "encoder/state/geometry.h"

namespace brenvik {

namespace {

struct BlockOutcome {
    bool done = false;
    BlockSummary summary;
};

// The state the threads of one block loop share.
class BlockLoop {
  public:
    BlockLoop(const RunContext& ctx, RunResults& results, const TraceWriter& out,
              const std::function<void(int)>& lines_done, const BlockJob& job)
        : ctx_(ctx),
          results_(results),
          out_(out),
          lines_done_(lines_done),
          job_(job),
          centres_(block_centre_lines(ctx.settings)),
          blocks_(static_cast<int>(centres_.size())),
          outcomes_(centres_.size()) {}

    // Takes blocks in order until none is left or a thread failed; the
    // merging thread also writes the finished outcomes in block order
    // between its blocks, so nobody waits to be woken.
    void work(bool merging) {
        try {
            BlockSearch search;
            for (int block = next_block_.fetch_add(1); block < blocks_ && !failed_.load();
                 block = next_block_.fetch_add(1)) {
                run_block(block, search);
                if (merging) merge_finished();
            }
        } catch (...) {
            note_failure(std::current_exception());
        }
    }

    // After every thread has finished: merges the rest, or throws the first
    // failure.
    void finish() {
        if (failure_) std::rethrow_exception(failure_);
        merge_finished();
    }

  private:
    void run_block(int block, BlockSearch& search) {
        BlockOutcome outcome;
        outcome.summary = job_(ctx_, centres_[static_cast<std::size_t>(block)], search, results_);
        outcome.done = true;
        std::lock_guard<std::mutex> lock(mutex_);
        outcomes_[static_cast<std::size_t>(block)] = std::move(outcome);
    }

    void merge_finished() {
        while (next_to_merge_ < blocks_) {
            BlockOutcome outcome;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                BlockOutcome& waiting = outcomes_[static_cast<std::size_t>(next_to_merge_)];
                if (!waiting.done) return;
                outcome = std::move(waiting);
                waiting.summary.log.trace.clear();
            }
            merge(outcome);
            ++next_to_merge_;
            if (lines_done_) {
                // Later blocks only write lines from their own first line on.
                const int next_first_line =
                    next_to_merge_ < blocks_ ? centres_[static_cast<std::size_t>(next_to_merge_)] +
                                                   ctx_.settings.block_geometry.first_row_offset
                                             : ctx_.picture.height + 1;
                lines_done_(std::min(next_first_line - 1, ctx_.picture.height));
            }
        }
    }

    void merge(const BlockOutcome& outcome) {
        const BlockSummary& block = outcome.summary;
        if (out_) out_(block.log.trace.text());
        results_.best_total_distance_sum += static_cast<double>(block.best_total_distance);
        results_.annealing_outcome = block.annealing_outcome;
        results_.counters.add(block.log.counters);
        if (ctx_.settings.verbose == 1) {
            TextSink line;
            line.printf("fin calc %2.3f seconds\n", seconds_since(ctx_.settings.start_clock));
            line.flush_to(out_);
        }
    }

    void note_failure(std::exception_ptr failure) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!failure_) failure_ = failure;
        failed_.store(true);
    }

    const RunContext& ctx_;
    RunResults& results_;
    const TraceWriter& out_;
    const std::function<void(int)>& lines_done_;
    const BlockJob& job_;
    const std::vector<int> centres_;
    const int blocks_;

    std::mutex mutex_;
    std::vector<BlockOutcome> outcomes_;  // guarded by mutex_
    std::exception_ptr failure_;          // guarded by mutex_
    std::atomic<bool> failed_{false};
    std::atomic<int> next_block_{0};
    int next_to_merge_ = 0;  // the merging thread's alone
};

}  // namespace

BlockSummary optimise_block_job(const RunContext& ctx, int centre_line, BlockSearch& search,
                                RunResults& results) {
    return optimise_block(ctx, centre_line, search, results);
}

void run_block_loop(const RunContext& ctx, RunResults& results, const TraceWriter& out,
                    const std::function<void(int)>& lines_done, const BlockJob& job) {
    BlockLoop loop(ctx, results, out, lines_done, job);
    const int blocks = static_cast<int>(block_centre_lines(ctx.settings).size());
    unsigned threads = ctx.settings.threads;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = std::min<unsigned>(threads, static_cast<unsigned>(std::max(blocks, 1)));

    std::vector<std::thread> pool;
    try {
        for (unsigned t = 1; t < threads; ++t) pool.emplace_back([&loop] { loop.work(false); });
    } catch (const std::system_error&) {
        // No more threads to be had: the ones started and this one do the
        // work (the bytes do not depend on how many there are).
    }
    loop.work(true);
    for (auto& t : pool) t.join();
    loop.finish();  // every block is done now
}

}  // namespace brenvik
