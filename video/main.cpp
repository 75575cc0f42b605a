// brenvik-video: a video file or an image sequence made into a Zorpa
// container (see video/video_run.h).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform_files.h"
#include "video/local_encoder.h"
#include "video/stop_request.h"
#include "video/video_run.h"

int main(int argc, char** argv) {
    platform::use_binary_standard_streams();
    brenvik::video::catch_stop_requests();
    // Names in UTF-8 on every system.
    const std::vector<std::string> args = platform::utf8_arguments(argc, argv);
    const int status = brenvik::video::run_video(args, stdout, stderr);
    std::fflush(stdout);
    std::fflush(stderr);
    // Encodes dropped by a stop are still running: end without waiting for
    // them or tearing down what they use.
    if (brenvik::video::workers_left_running()) std::_Exit(status);
    return status;
}
