// brenvik-video: a video file or an image sequence made into a Zorpa
// container in one command.
//
//   1. ffmpeg cuts the input into 25 frames a second, places each frame in
//      the 320x158 window the container carries (bitmap rows 21..178) and
//      writes 320x200 24-bit BMPs into the work folder, black outside the
//      window; the sound becomes mono unsigned 8-bit at 50066 Hz behind a
//      44-byte WAV header;
//   2. the frames are encoded (mode 2) by a pool of threads through the
//      encoder's library, or by GNU parallel on other machines too;
//   3. the container writer packs the picture files and the sound under a
//      temporary name, renamed into place once the container is complete.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace brenvik::video {

// The whole program: args[0] is its name. The summary goes to `out`,
// messages and progress to `err`. Returns the exit status: 0 with the
// container written, 1 on a failure, 130/143/129 when stopped (see
// stop_request.h).
int run_video(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace brenvik::video
