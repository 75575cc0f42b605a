#include "video/video_options.h"

#include <optional>
#include <string_view>

namespace brenvik::video {

const std::vector<EncoderOption> kEncoderOptions = {
    {"quality", options::kQuality, "-", &EncodeOptions::quality},
    {"dither", options::kDither, "--dither=", &EncodeOptions::dither},
    {"ed", options::kDiffusion, "--ed=", &EncodeOptions::diffusion},
    {"shiftpixels", options::kShiftpixels, "--shiftpixels=", &EncodeOptions::shiftpixels},
    {"blockoflines", options::kBlockoflines, "--blockoflines=", &EncodeOptions::blockoflines},
    {"seed", options::kSeed, "--seed=", &EncodeOptions::seed},
};

namespace {

constexpr long long kMostJobs = 4096;

// The value after "--NAME=" when `argument` starts so; with `non_empty`,
// only a value of at least one character counts.
std::optional<std::string> value_of(const std::string& argument, std::string_view name,
                                    bool non_empty = false) {
    const std::string prefix = "--" + std::string(name) + "=";
    if (argument.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    if (non_empty && argument.size() == prefix.size()) return std::nullopt;
    return argument.substr(prefix.size());
}

// One to ten decimal digits, with a minus sign where the range goes below 0,
// within the range; the message names the option and the value otherwise.
bool number_in_range(const std::string& name, const std::string& value, long long low,
                     long long high, long long& number, std::string& error) {
    std::string_view digits = value;
    const bool negative = low < 0 && !digits.empty() && digits[0] == '-';
    if (negative) digits.remove_prefix(1);
    bool ok = !digits.empty() && digits.size() <= 10;
    long long parsed = 0;
    for (const char c : digits) {
        ok = ok && c >= '0' && c <= '9';
        if (ok) parsed = parsed * 10 + (c - '0');
    }
    if (negative) parsed = -parsed;
    if (!ok || parsed < low || parsed > high) {
        error = "invalid " + name + " '" + value + "': expected " + std::to_string(low) + ".." +
                std::to_string(high);
        return false;
    }
    number = parsed;
    return true;
}

// An encoder option of the table, when `argument` is one; `error` set when
// its value is wrong.
bool take_encoder_option(const std::string& argument, VideoOptions& options, std::string& error) {
    for (const EncoderOption& option : kEncoderOptions) {
        const std::optional<std::string> value = value_of(argument, option.name);
        if (!value) continue;
        long long number = 0;
        if (number_in_range(option.name, *value, option.range.low, option.range.high, number,
                            error)) {
            options.encoder.push_back({&option, number});
        }
        return true;
    }
    return false;
}

// The options that name a text: --start=TIME and the like (empty values do
// not count: the argument is then an unknown option).
bool take_text_option(const std::string& argument, VideoOptions& options) {
    struct Text {
        const char* name;
        std::string VideoOptions::*field;
    };
    static const Text kTexts[] = {
        {"start", &VideoOptions::start},
        {"duration", &VideoOptions::duration},
        {"input-rate", &VideoOptions::input_rate},
        {"remote-encoder", &VideoOptions::remote_encoder},
        {"workdir", &VideoOptions::workdir},
    };
    for (const Text& text : kTexts) {
        if (const auto value = value_of(argument, text.name, true)) {
            options.*text.field = *value;
            return true;
        }
    }
    if (const auto value = value_of(argument, "sshlogin", true)) {
        options.sshlogins.push_back(*value);
        return true;
    }
    if (const auto value = value_of(argument, "sshloginfile", true)) {
        options.sshloginfiles.push_back(*value);
        return true;
    }
    return false;
}

bool take_flag(const std::string& argument, VideoOptions& options) {
    if (argument == "--diffused")
        options.diffused = true;
    else if (argument == "--resume")
        options.resume = true;
    else if (argument == "--keep")
        options.keep = true;
    else
        return false;
    return true;
}

// One argument; false with `error` when it is wrong.
bool take_argument(const std::string& argument, VideoOptions& options, std::string& error) {
    if (const auto fit = value_of(argument, "fit")) {
        const std::optional<input::Fit> known = input::fit_from_name(*fit);
        if (!known) error = "invalid fit '" + *fit + "': expected pad, crop or stretch";
        if (known) options.fit = *known;
        return !!known;
    }
    if (const auto jobs = value_of(argument, "jobs")) {
        long long number = 0;
        if (!number_in_range("jobs", *jobs, 1, kMostJobs, number, error)) return false;
        options.jobs = static_cast<unsigned>(number);
        return true;
    }
    if (const auto threads = value_of(argument, "threads")) {
        long long number = 0;
        if (!number_in_range("threads", *threads, options::kThreads.low, options::kThreads.high,
                             number, error)) {
            return false;
        }
        options.threads = static_cast<unsigned>(number);
        return true;
    }
    if (const auto distance = value_of(argument, "distance")) {
        if (*distance != "plain" && *distance != "phased") {
            error = "invalid distance '" + *distance + "': expected plain or phased";
            return false;
        }
        options.distance = *distance == "plain" ? Distance::plain : Distance::phased;
        return true;
    }
    if (take_encoder_option(argument, options, error)) return error.empty();
    if (take_text_option(argument, options) || take_flag(argument, options)) return true;
    if (!argument.empty() && argument[0] == '-') {
        error = "unknown option '" + argument + "'";
        return false;
    }
    if (options.input.empty()) {
        options.input = argument;
    } else if (options.output.empty()) {
        options.output = argument;
    } else {
        error = "one INPUT and one OUTPUT only ('" + argument + "' is a third)";
        return false;
    }
    return true;
}

}  // namespace

bool parse_arguments(const std::vector<std::string>& args, VideoOptions& options,
                     std::string& error) {
    for (const std::string& argument : args) {
        if (argument == "-h" || argument == "--help") {
            options.help = true;
            return true;
        }
        if (!take_argument(argument, options, error)) return false;
    }
    if (options.input.empty() || options.output.empty()) {
        error = "INPUT and OUTPUT.ZRP are both needed";
        return false;
    }
    if (options.resume && options.workdir.empty()) {
        error = "--resume needs the earlier run's --workdir=DIR";
        return false;
    }
#ifdef _WIN32
    if (options.remote() || !options.remote_encoder.empty()) {
        error =
            "--sshlogin, --sshloginfile and --remote-encoder hand frames to GNU parallel and "
            "ssh, which the Windows build does not use: leave them out to encode on this machine";
        return false;
    }
#endif
    return true;
}

std::vector<std::string> encoder_arguments(const VideoOptions& options) {
    std::vector<std::string> arguments;
    for (const TakenEncoderOption& taken : options.encoder) {
        arguments.push_back(taken.option->argument_prefix + std::to_string(taken.value));
    }
    arguments.push_back(std::string(options::kDistance.name) + "=" +
                        (options.distance == Distance::plain ? "plain" : "phased"));
    return arguments;
}

EncodeOptions encode_options(const VideoOptions& options) {
    EncodeOptions encode;
    encode.mode = 2;
    for (const TakenEncoderOption& taken : options.encoder) {
        encode.*(taken.option->field) = static_cast<int>(taken.value);
    }
    encode.distance = options.distance;
    return encode;
}

std::string usage_text() {
    return R"(Usage: brenvik-video INPUT OUTPUT.ZRP [OPTION]...
Turn a video file or an image sequence (anything ffmpeg reads) into a Zorpa
container: frames at 25 per second, each scaled into the 320x158 window of a
48-colour (mode 2) picture, sound as mono unsigned 8-bit at 50066 Hz.

  --fit=pad|crop|stretch  keep the aspect ratio with black bars (pad, the
                      default) or by cutting the overflow (crop), or fill the
                      window whatever the aspect (stretch)
  --start=TIME        begin TIME into the input (ffmpeg time: 12.5, 1:02.5)
  --duration=TIME     take only TIME of the input
  --input-rate=RATE   frames per second of an image-sequence INPUT (default 25)
  --quality=N         encoder quality 0..9 (default 3)
  --dither=N          encoder pre-dithering 0..5 (default 0)
  --ed=N              encoder error diffusion 0..3 (default 1)
  --shiftpixels=N     encoder palette schedule shift 0..9 (default 5)
  --blockoflines=N    encoder lines per palette search 1..6 (default 1; 0 and
                      7..9 mean 1, as for brenvik)
  --seed=N            encoder run seed (default 42)
  --distance=plain|phased  encoder colour distance: plain (the default here,
                      truer colours; brenvik's own default is phased) or
                      phased (the frames brenvik-video made before)
  --diffused          pack the error-diffused twin of every picture
  --jobs=N            frames encoded at a time (default: one per core); with
                      --sshlogin, encoder processes at a time on each machine
  --threads=N         worker threads of each frame's encoding (default 1:
                      --jobs single-threaded encodings; 0: one per core each)
  --sshlogin=LOGIN    encode on another machine too (GNU parallel's
                      --sshlogin; repeat it or separate logins with commas;
                      ":" is this machine; not on Windows)
  --sshloginfile=FILE machines listed in FILE (GNU parallel's --sshloginfile)
  --remote-encoder=PATH  brenvik installed on the other machines; default:
                      this brenvik is sent to them for the run
  --workdir=DIR       keep the work files in DIR (created if needed) instead of
                      a new temporary folder; needed for --resume
  --resume            go on with an earlier run's --workdir: frames whose
                      picture file is complete are not encoded again
  --keep              keep the work files at the end
  -h, --help          show this help and exit

On success the last line on standard output is the summary:
  frames=N encoded=E seconds=T fps=F bytes=SIZE container=OUTPUT
Exit status: 0 when the container is written, 1 on any failure (no container
is left behind), 130 or 143 when stopped by Ctrl-C or a TERM signal.
)";
}

}  // namespace brenvik::video
