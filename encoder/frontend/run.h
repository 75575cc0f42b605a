// The brenvik program: command line, pictures read from disk, the encoding
// through the public API (brenvik/encode.h), the files written. The brenvik
// executable is a thin shell over this.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace brenvik {

struct RunOptions {
    // Worker threads for the block loop; 0 = one per hardware thread.
    unsigned threads = 0;
    // Use the portable build of the search even where the processor has
    // AVX2 (the output is the same; tests compare the two).
    bool portable_search = false;
};

// Runs the encoder on `args` (args[0] is the invocation name), printing on
// `out` and `err`. Returns the process exit status.
int run_brenvik(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                const RunOptions& options = {});

}  // namespace brenvik
