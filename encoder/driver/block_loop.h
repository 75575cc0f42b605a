// The loop over blocks of lines: every block runs the palette optimiser,
// with its own generator. Blocks are independent, so they run on
// several threads; their trace lines, costs and counters are merged in block
// order, which keeps the output identical for any thread count.
#pragma once

#include <functional>
#include <vector>

#include "encoder/optimiser/optimise_block.h"
#include "encoder/state/block_search.h"
#include "encoder/state/state.h"

namespace brenvik {

// One block's work: searches the block centred on `centre_line` with the
// worker's `search` state, writes the block's lines of `results` and
// returns what the loop merges.
using BlockJob = std::function<BlockSummary(const RunContext& ctx, int centre_line,
                                            BlockSearch& search, RunResults& results)>;

// The palette optimiser's job (optimise_block).
BlockSummary optimise_block_job(const RunContext& ctx, int centre_line, BlockSearch& search,
                                RunResults& results);

// Optimises every block, filling `results`; hands each block's trace lines
// (and, in verbose mode, its "fin calc" line) to `out` in block order. After
// each block is merged, `lines_done` (when given) is called on the calling
// thread with the last line whose records are final; every line above it is
// final too. An exception in any block or in `lines_done` stops the workers
// (no new block is started), and is thrown again once every thread has
// finished.
void run_block_loop(const RunContext& ctx, RunResults& results, const TraceWriter& out,
                    const std::function<void(int)>& lines_done = {},
                    const BlockJob& job = optimise_block_job);

}  // namespace brenvik
