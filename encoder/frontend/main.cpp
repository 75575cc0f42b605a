// brenvik: hicolor picture encoder for the Atari ST/STE.
#include <cstdio>
#include <string>
#include <vector>

#include "encoder/frontend/run.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    const int status = brenvik::run_brenvik(args, stdout, stderr);
    std::fflush(stdout);
    return status;
}
