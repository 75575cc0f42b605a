// brenvik-view: renders a picture file as the STE shows it, to PNG.
#include <cstdio>
#include <string>
#include <vector>

#include "platform_files.h"
#include "viewer/view_command.h"

int main(int argc, char** argv) {
    platform::use_binary_standard_streams();
    const std::vector<std::string> args = platform::utf8_arguments(argc, argv);
    const int status = brenvik::viewer::run_view(args, stdout, stderr);
    std::fflush(stdout);
    return status;
}
