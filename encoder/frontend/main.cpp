// brenvik: hicolor picture encoder for the Atari ST/STE.
#include <cstdio>
#include <string>
#include <vector>

#include "encoder/frontend/run.h"
#include "platform_files.h"

int main(int argc, char** argv) {
    platform::use_binary_standard_streams();
    const std::vector<std::string> args = platform::utf8_arguments(argc, argv);
    const int status = brenvik::run_brenvik(args, stdout, stderr);
    std::fflush(stdout);
    return status;
}
