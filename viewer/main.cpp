// brenvik-view: renders a picture file as the STE shows it, to PNG.
#include <cstdio>
#include <string>
#include <vector>

#include "viewer/view_command.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    const int status = brenvik::viewer::run_view(args, stdout, stderr);
    std::fflush(stdout);
    return status;
}
