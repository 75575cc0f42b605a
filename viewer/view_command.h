// brenvik-view's run: command line, picture file, rendering, PNG files and the
// comparison with a source picture. The executable is a thin shell over this.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace brenvik::viewer {

// The help text.
std::string view_usage_text();

// Runs the viewer on `args` (args[0] is the invocation name), printing on
// `out` and `err`. Returns the process exit status (0, or 1 on any failure).
int run_view(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace brenvik::viewer
