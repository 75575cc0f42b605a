// The loop over blocks of lines: every block runs the palette optimiser,
// with its own generator. Blocks are independent, so they run on
// several threads; their trace lines, costs and counters are merged in block
// order, which keeps the output identical for any thread count.
#pragma once

#include <cstdio>
#include <functional>
#include <vector>

#include "encoder/state/state.h"

namespace brenvik {

// Optimises every block, filling `results`; prints each block's trace lines
// (and, in verbose mode, its "fin calc" line) on `out` in block order. After
// each block is merged, `lines_done` (when given) is called on the calling
// thread with the last line whose records are final; every line above it is
// final too.
void run_block_loop(const RunContext& ctx, RunResults& results, std::FILE* out,
                    const std::function<void(int)>& lines_done = {});

}  // namespace brenvik
