// zorpamux-cli: packs a numbered series of picture files and an optional WAV
// into a Zorpa container from the command line.

#include <getopt.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "atomic_output_file.h"
#include "container_reader.h"
#include "container_writer.h"
#include "format/container.h"
#include "platform_files.h"

namespace {

constexpr const char* kProgram = "zorpamux-cli";

void print_usage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: %s -p PICTURE [-s SOUND] [-S START] [-L LAST] [-V OFFSET] -o OUTPUT\n"
                 "Pack the picture files START..LAST of a numbered series and an optional\n"
                 "8-bit WAV into one Zorpa container.\n"
                 "\n"
                 "  -p, --picture=FILE   first picture file of the series, e.g. ANIM00000.BVK;\n"
                 "                       its last nine characters are the frame number and\n"
                 "                       the extension\n"
                 "  -s, --sound=FILE     8-bit unsigned WAV (44-byte header); default: silence\n"
                 "  -S, --start=N        first frame number (default 0)\n"
                 "  -L, --last=N         last frame number, at most 99999 (default 0)\n"
                 "  -V, --offset=N       sound offset in fiftieths of a second (default 0)\n"
                 "  -o, --output=FILE    container to write (.ZRP)\n"
                 "  -h, --help           show this help and exit\n"
                 "\n"
                 "Exit status: 0 when the container is complete, 1 on any failure.\n"
                 "\n"
                 "Reading a container:\n"
                 "  %s list CONTAINER           frame count, size and each frame's offset\n"
                 "  %s extract-frame CONTAINER I -o OUT.bVK\n"
                 "                              frame I (from 0) as a 51200-byte picture file\n"
                 "  %s extract-sound CONTAINER -o OUT.wav\n"
                 "                              the sound as an 8-bit 50066 Hz WAV\n"
                 "  %s check CONTAINER          \"ok frames=N\", or the offset of the fault\n",
                 kProgram, kProgram, kProgram, kProgram, kProgram);
}

// Decimal digits only, no sign, no blanks, within 0..2^32-1.
bool parse_decimal(const char* text, std::uint32_t& value) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    std::uint64_t result = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        result = result * 10 + static_cast<std::uint64_t>(*p - '0');
        if (result > std::numeric_limits<std::uint32_t>::max()) {
            return false;
        }
    }
    value = static_cast<std::uint32_t>(result);
    return true;
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                 message.c_str(), kProgram);
    return 1;
}

// Progress bar drawn on standard error, one cell per notification step.
class TerminalBar {
  public:
    void set_range(std::uint32_t high) { high_ = high; }
    void set_position(std::uint32_t position) {
        position_ = position;
        draw();
    }
    void step() {
        ++position_;
        draw();
    }
    // The writer's steps stop short of the range's end; a completed run shows it full.
    void complete() {
        position_ = high_;
        draw();
    }
    void finish() {
        if (drawn_) {
            std::fputc('\n', stderr);
            drawn_ = false;
        }
    }

  private:
    void draw() {
        if (high_ == 0) {
            return;
        }
        constexpr std::uint64_t kWidth = 40;
        const std::uint64_t position = position_ < high_ ? position_ : high_;
        const std::uint64_t filled = position * kWidth / high_;
        std::string bar(kWidth, ' ');
        bar.replace(0, filled, filled, '#');
        std::fprintf(stderr, "\r[%s] %3u%%", bar.c_str(),
                     static_cast<unsigned>(position * 100 / high_));
        std::fflush(stderr);
        drawn_ = true;
    }

    std::uint32_t high_ = 0;
    std::uint32_t position_ = 0;
    bool drawn_ = false;
};

// Writes bytes under a temporary name, renamed into place when complete.
bool write_output(const std::string& name, const std::vector<unsigned char>& bytes) {
    std::string error;
    if (!fileout::write_whole_file(name, bytes.data(), bytes.size(), error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return false;
    }
    return true;
}

// Opens and checks a container; prints the reason and returns false when it
// cannot be read or is damaged.
bool open_checked(const std::string& name, zorpa::FileSource& source, zorpa::CheckResult& check) {
    if (!source.open(name)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, source.error().c_str());
        return false;
    }
    check = zorpa::check_container(source);
    if (!check.ok) {
        std::fprintf(stderr, "%s: '%s': %s\n", kProgram, name.c_str(), check.message.c_str());
        return false;
    }
    return true;
}

// The reading subcommands: list, extract-frame, extract-sound, check.
int run_subcommand(const std::string& command, const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    std::string output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--output") {
            if (i + 1 == args.size()) {
                return usage_error("option '" + args[i] + "' needs a value");
            }
            output = args[++i];
        } else if (args[i].rfind("--output=", 0) == 0) {
            output = args[i].substr(9);
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return usage_error("unknown option '" + args[i] + "' for " + command);
        } else {
            positional.push_back(args[i]);
        }
    }
    const std::size_t wanted = command == "extract-frame" ? 2 : 1;
    const bool needs_output = command == "extract-frame" || command == "extract-sound";
    if (positional.size() != wanted) {
        return usage_error(command + " takes " +
                           (wanted == 2 ? std::string("a container and a frame number")
                                        : std::string("one container")));
    }
    if (needs_output && output.empty()) {
        return usage_error("no output file given (-o OUTPUT)");
    }
    if (!needs_output && !output.empty()) {
        return usage_error(command + " writes no file");
    }
    const std::string& name = positional[0];
    zorpa::FileSource source;
    zorpa::CheckResult check;
    if (!open_checked(name, source, check)) {
        return 1;
    }
    if (command == "check") {
        std::printf("ok frames=%u\n", check.frames);
        return 0;
    }
    if (command == "list") {
        std::printf("frames=%u bytes=%llu\n", check.frames,
                    static_cast<unsigned long long>(source.size()));
        for (std::uint32_t i = 0; i < check.frames; ++i) {
            std::printf("frame=%u offset=%llu\n", i,
                        static_cast<unsigned long long>(format::container::record_offset(i)));
        }
        return 0;
    }
    std::vector<unsigned char> bytes;
    if (command == "extract-frame") {
        std::uint32_t index = 0;
        if (!parse_decimal(positional[1].c_str(), index)) {
            return usage_error("invalid frame number '" + positional[1] + "'");
        }
        if (index >= check.frames) {
            std::fprintf(stderr, "%s: '%s' has %u frames: no frame %u\n", kProgram, name.c_str(),
                         check.frames, index);
            return 1;
        }
        if (!zorpa::extract_frame(source, index, bytes)) {
            std::fprintf(stderr, "%s: cannot read frame %u of '%s'\n", kProgram, index,
                         name.c_str());
            return 1;
        }
    } else {
        std::vector<unsigned char> samples;
        if (!zorpa::extract_sound(source, check.frames, samples)) {
            std::fprintf(stderr, "%s: cannot read the sound of '%s'\n", kProgram, name.c_str());
            return 1;
        }
        bytes = zorpa::wav_file(samples);
    }
    return write_output(output, bytes) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    platform::use_binary_standard_streams();
    // Names in UTF-8 on every system; getopt_long works on this copy.
    std::vector<std::string> utf8 = platform::utf8_arguments(argc, argv);
    std::vector<char*> utf8_argv;
    for (std::string& argument : utf8) utf8_argv.push_back(argument.data());
    utf8_argv.push_back(nullptr);
    argc = static_cast<int>(utf8.size());
    argv = utf8_argv.data();

    if (argc >= 2) {
        const std::string command = argv[1];
        if (command == "list" || command == "extract-frame" || command == "extract-sound" ||
            command == "check") {
            return run_subcommand(command, std::vector<std::string>(argv + 2, argv + argc));
        }
    }
    static const option kOptions[] = {
        {"picture", required_argument, nullptr, 'p'}, {"sound", required_argument, nullptr, 's'},
        {"start", required_argument, nullptr, 'S'},   {"last", required_argument, nullptr, 'L'},
        {"offset", required_argument, nullptr, 'V'},  {"output", required_argument, nullptr, 'o'},
        {"help", no_argument, nullptr, 'h'},          {nullptr, 0, nullptr, 0},
    };

    zorpa::ContainerRequest request;
    bool have_picture = false;
    bool have_output = false;
    opterr = 0;
    int option_char = 0;
    while ((option_char = getopt_long(argc, argv, ":p:s:S:L:V:o:h", kOptions, nullptr)) != -1) {
        const std::string argument = optarg != nullptr ? optarg : "";
        switch (option_char) {
            case 'p':
                request.picture_name = argument;
                have_picture = true;
                break;
            case 's':
                request.sound_name = argument;
                break;
            case 'S':
                if (!parse_decimal(optarg, request.start_frame)) {
                    return usage_error("invalid start frame '" + argument +
                                       "': expected decimal digits (0..4294967295)");
                }
                break;
            case 'L':
                if (!parse_decimal(optarg, request.last_frame)) {
                    return usage_error("invalid last frame '" + argument +
                                       "': expected decimal digits (0..4294967295)");
                }
                break;
            case 'V':
                if (!parse_decimal(optarg, request.sound_offset)) {
                    return usage_error("invalid sound offset '" + argument +
                                       "': expected decimal digits (0..4294967295)");
                }
                break;
            case 'o':
                request.container_name = argument;
                have_output = true;
                break;
            case 'h':
                print_usage(stdout);
                return 0;
            case ':':
                return usage_error(std::string("option '") + argv[optind - 1] + "' needs a value");
            default:
                return usage_error(std::string("unknown option '") + argv[optind - 1] + "'");
        }
    }
    if (optind < argc) {
        return usage_error(std::string("unexpected argument '") + argv[optind] + "'");
    }
    if (!have_picture) {
        return usage_error("no picture file given (-p PICTURE)");
    }
    if (!have_output) {
        return usage_error("no output file given (-o OUTPUT)");
    }

    TerminalBar bar;
    zorpa::Progress progress;
    if (platform::standard_error_is_terminal()) {
        progress.set_range = [&bar](std::uint32_t, std::uint32_t high) { bar.set_range(high); };
        progress.set_position = [&bar](std::uint32_t position) { bar.set_position(position); };
        progress.step = [&bar]() { bar.step(); };
    }

    const zorpa::ContainerResult result = zorpa::write_container(request, progress);
    if (result.ok) {
        bar.complete();
    }
    bar.finish();
    if (!result.ok) {
        if (result.missing_frame) {
            std::printf("File open error!\n%u\n", *result.missing_frame);
            std::fflush(stdout);
        }
        std::fprintf(stderr, "%s: %s\n", kProgram, result.message.c_str());
        return 1;
    }
    return 0;
}
