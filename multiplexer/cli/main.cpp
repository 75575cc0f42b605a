// zorpamux-cli: packs a numbered series of picture files and an optional WAV
// into a Zorpa container from the command line.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "atomic_output_file.h"
#include "command_line.h"
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
    std::string output;
    const cli::Parsed parsed =
        cli::parse(args, {cli::text("--output", 'o', [&](const std::string& v) { output = v; })});
    if (!parsed.ok) {
        return usage_error(parsed.error + " for " + command);
    }
    const std::vector<std::string>& positional = parsed.positional;
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

// The writer's request from the command line; false (after the message)
// when the command line is refused, with `status` the exit status.
bool parse_request(const std::vector<std::string>& args, zorpa::ContainerRequest& request,
                   int& status) {
    bool have_picture = false;
    bool have_output = false;
    bool help = false;
    const auto frame = [](std::uint32_t& field) {
        return [&field](long long v) { field = static_cast<std::uint32_t>(v); };
    };
    constexpr long long kHighest = std::numeric_limits<std::uint32_t>::max();
    const std::vector<cli::Option> table = {
        cli::text("--picture", 'p',
                  [&](const std::string& v) {
                      request.picture_name = v;
                      have_picture = true;
                  }),
        cli::text("--sound", 's', [&](const std::string& v) { request.sound_name = v; }),
        cli::number("--start", 'S', "start frame", 0, kHighest, frame(request.start_frame)),
        cli::number("--last", 'L', "last frame", 0, kHighest, frame(request.last_frame)),
        cli::number("--offset", 'V', "sound offset", 0, kHighest, frame(request.sound_offset)),
        cli::text("--output", 'o',
                  [&](const std::string& v) {
                      request.container_name = v;
                      have_output = true;
                  }),
        cli::flag("--help", 'h', [&] { help = true; }),
    };
    const cli::Parsed parsed = cli::parse(args, table);
    status = 1;
    if (!parsed.ok) {
        usage_error(parsed.error);
        return false;
    }
    if (help) {
        print_usage(stdout);
        status = 0;
        return false;
    }
    std::string refused;
    if (!parsed.positional.empty()) {
        refused = "unexpected argument '" + parsed.positional[0] + "'";
    } else if (!have_picture) {
        refused = "no picture file given (-p PICTURE)";
    } else if (!have_output) {
        refused = "no output file given (-o OUTPUT)";
    }
    if (refused.empty()) return true;
    usage_error(refused);
    return false;
}

int write(const zorpa::ContainerRequest& request) {
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
    if (result.ok) return 0;
    if (result.missing_frame) {
        std::printf("File open error!\n%u\n", *result.missing_frame);
        std::fflush(stdout);
    }
    std::fprintf(stderr, "%s: %s\n", kProgram, result.message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    platform::use_binary_standard_streams();
    // Names in UTF-8 on every system.
    const std::vector<std::string> args = platform::utf8_arguments(argc, argv);
    if (args.size() >= 2) {
        const std::string& command = args[1];
        if (command == "list" || command == "extract-frame" || command == "extract-sound" ||
            command == "check") {
            return run_subcommand(command, std::vector<std::string>(args.begin() + 2, args.end()));
        }
    }
    zorpa::ContainerRequest request;
    int status = 0;
    if (!parse_request(std::vector<std::string>(args.begin() + 1, args.end()), request, status)) {
        return status;
    }
    return write(request);
}
