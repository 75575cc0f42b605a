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

// C `atoi` without its undefined overflow: leading blanks, an optional sign,
// then digits; stops at the first non-digit; no digits give 0; values beyond
// the int range saturate (and so fail every range test).
int atoi_saturating(const char* text);

// Reads the options and the file name from args (args[0] is the invocation
// name). Returns false when the help text must be printed.
bool parse_command_line(const std::vector<std::string>& args, RunSettings& settings);

}  // namespace brenvik
