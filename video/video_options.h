// brenvik-video's command line: what it takes, checks and hands on.
//
// The encoder's options are one table (kEncoderOptions): each row is the
// option as brenvik-video takes it, its range, the argument brenvik takes
// for it and the field of the encoder's options it sets, so that the
// in-process encoder, the encoder run by GNU parallel on other machines and
// the work folder's record of the settings all follow from the same row.
#pragma once

#include <string>
#include <vector>

#include "brenvik/encode.h"
#include "input/placement.h"
#include "option_ranges.h"

namespace brenvik::video {

inline constexpr const char* kProgram = "brenvik-video";

// An encoder option taken as --NAME=N and handed to brenvik as
// ARGUMENT_PREFIX + N ("-3", "--dither=2").
struct EncoderOption {
    const char* name;             // "dither"
    options::Range range;         // the encoder's own range
    const char* argument_prefix;  // "--dither="
    int EncodeOptions::*field;    // where the value goes
};

// The encoder options brenvik-video passes on, in their usage order.
extern const std::vector<EncoderOption> kEncoderOptions;

struct TakenEncoderOption {
    const EncoderOption* option = nullptr;
    long long value = 0;
};

struct VideoOptions {
    std::string input;
    std::string output;
    input::Fit fit = input::Fit::pad;
    std::string start;  // ffmpeg times, as given ("" when not given)
    std::string duration;
    std::string input_rate;
    std::vector<TakenEncoderOption> encoder;  // in the order given (the last one counts)
    // Plain by default here: truer colours (brenvik's own default is phased).
    Distance distance = Distance::plain;
    bool diffused = false;
    unsigned jobs = 0;  // 0: one per core
    // Worker threads of each frame's encoding; 0 (the default): one per core.
    // Measured on 2 cores, a 10-second clip: 2 frames at a time with 2
    // workers each, 13.3 to 14.5 frames a second; with one, 12.6 to 13.0.
    unsigned threads = 0;
    std::vector<std::string> sshlogins;
    std::vector<std::string> sshloginfiles;
    std::string remote_encoder;
    std::string workdir;  // "" : a new temporary folder
    bool resume = false;
    bool keep = false;
    bool help = false;

    bool remote() const { return !sshlogins.empty() || !sshloginfiles.empty(); }
};

// Reads the arguments (the program's name not included). False with the
// message when they are wrong (the program then names it and points to
// --help); with --help, true and options.help set as soon as it is seen.
bool parse_arguments(const std::vector<std::string>& args, VideoOptions& options,
                     std::string& error);

std::string usage_text();

// brenvik's arguments for the taken encoder options, in their order
// ("-0", "--ed=2"), then the distance ("--distance=plain"), without the
// mode and the threads (which do not change the bytes).
std::vector<std::string> encoder_arguments(const VideoOptions& options);

// The encoder's options for every frame: mode 2 and the taken options.
EncodeOptions encode_options(const VideoOptions& options);

}  // namespace brenvik::video
