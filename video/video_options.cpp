#include "video/video_options.h"

#include "command_line.h"

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

// The options' table for the common parser; the values land in `options`.
std::vector<cli::Option> option_table(VideoOptions& options) {
    std::vector<cli::Option> table;
    for (const EncoderOption& option : kEncoderOptions) {
        table.push_back(cli::number(std::string("--") + option.name, 0, option.name,
                                    option.range.low, option.range.high,
                                    [&options, &option](long long value) {
                                        options.encoder.push_back({&option, value});
                                    }));
    }
    table.push_back(cli::number("--jobs", 0, "jobs", 1, kMostJobs, [&options](long long value) {
        options.jobs = static_cast<unsigned>(value);
    }));
    table.push_back(cli::number(
        "--threads", 0, "threads", options::kThreads.low, options::kThreads.high,
        [&options](long long value) { options.threads = static_cast<unsigned>(value); }));
    table.push_back(cli::choice(
        "--fit", "fit", {"pad", "crop", "stretch"},
        [&options](const std::string& name) { options.fit = *input::fit_from_name(name); }));
    table.push_back(cli::choice(options::kDistance.name, "distance", {"plain", "phased"},
                                [&options](const std::string& word) {
                                    options.distance =
                                        word == "plain" ? Distance::plain : Distance::phased;
                                }));
    struct Text {
        const char* name;
        std::string VideoOptions::*field;
    };
    for (const Text text :
         {Text{"--start", &VideoOptions::start}, Text{"--duration", &VideoOptions::duration},
          Text{"--input-rate", &VideoOptions::input_rate},
          Text{"--remote-encoder", &VideoOptions::remote_encoder},
          Text{"--workdir", &VideoOptions::workdir}}) {
        table.push_back(cli::text(
            text.name, 0,
            [&options, field = text.field](const std::string& value) { options.*field = value; }));
    }
    table.push_back(cli::text("--sshlogin", 0, [&options](const std::string& value) {
        options.sshlogins.push_back(value);
    }));
    table.push_back(cli::text("--sshloginfile", 0, [&options](const std::string& value) {
        options.sshloginfiles.push_back(value);
    }));
    for (cli::Option& option : table) {
        if (option.kind == cli::Option::Kind::text) option.non_empty = true;
    }
    table.push_back(cli::flag("--diffused", 0, [&options] { options.diffused = true; }));
    table.push_back(cli::flag("--resume", 0, [&options] { options.resume = true; }));
    table.push_back(cli::flag("--keep", 0, [&options] { options.keep = true; }));
    return table;
}

bool is_help(const std::string& argument) {
    return argument == "-h" || argument == "--help";
}

}  // namespace

bool parse_arguments(const std::vector<std::string>& args, VideoOptions& options,
                     std::string& error) {
    // Help asked for before any mistake is help; the arguments after it are
    // not looked at.
    std::vector<std::string> before_help;
    for (const std::string& argument : args) {
        if (argument == "--") break;
        if (is_help(argument)) {
            options.help = true;
            break;
        }
        before_help.push_back(argument);
    }
    const cli::Parsed parsed = cli::parse(options.help ? before_help : args, option_table(options),
                                          cli::WrongValue::by_label);
    if (!parsed.ok) {
        options.help = false;
        error = parsed.error;
        return false;
    }
    if (options.help) return true;
    if (parsed.positional.size() > 2) {
        error = "one INPUT and one OUTPUT only ('" + parsed.positional[2] + "' is a third)";
        return false;
    }
    if (parsed.positional.size() < 2) {
        error = "INPUT and OUTPUT.ZRP are both needed";
        return false;
    }
    options.input = parsed.positional[0];
    options.output = parsed.positional[1];
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
  --threads=N         worker threads of each frame's encoding (default 0: one
                      per core each; 1: --jobs single-threaded encodings)
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
