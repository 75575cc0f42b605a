// zorpa-preview: a Zorpa container as a video, frames and sound, through ffmpeg.
#include <cstdio>
#include <string>
#include <vector>

#include "platform_files.h"
#include "viewer/preview_video.h"

int main(int argc, char** argv) {
    platform::use_binary_standard_streams();
    // Names in UTF-8 on every system.
    const std::vector<std::string> args = platform::utf8_arguments(argc, argv);
    const int status = brenvik::viewer::run_preview(args, stdout, stderr);
    std::fflush(stdout);
    return status;
}
