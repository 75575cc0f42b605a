// The encoder's command line: options and help text.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "encoder/api/request.h"
#include "encoder/state/state.h"

namespace brenvik {

// The help text, with `prog` in its usage line.
std::string usage_text(const std::string& prog);

// Reads the options and the file name from args (args[0] is the invocation
// name). Returns false when the help text must be printed; `error` (when
// given) then says which option was wrong, or stays empty when the
// arguments were too few or too many.
bool parse_command_line(const std::vector<std::string>& args, RunSettings& settings,
                        std::string* error = nullptr);

}  // namespace brenvik
