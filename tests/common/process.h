// Runs a program in a child process with its standard output and error
// captured, on Linux and on Windows.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int status = -1;  // exit status; -1 when it could not start or did not exit normally
    std::string out;
    std::string err;
};

// Runs argv[0] (a path) with the rest of argv as its arguments, in `folder`
// (the current folder when empty), with an empty standard input.
ProcessResult run_process(const std::vector<std::string>& argv, const std::string& folder = "");

}  // namespace testsupport
