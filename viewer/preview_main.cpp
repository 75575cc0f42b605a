// zorpa-preview: a Zorpa container as a video, frames and sound, through ffmpeg.
#include <cstdio>
#include <string>
#include <vector>

#include "viewer/preview_video.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    const int status = brenvik::viewer::run_preview(args, stdout, stderr);
    std::fflush(stdout);
    return status;
}
