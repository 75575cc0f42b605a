// ste-host: the host side of the STE display program.
//   ste-host embed TEMPLATE.img PICTURE.bVK --mode=N [--blockoflines=N] [--pixpal=N]
//                  [--shiftpixels=N] [--second-bitmap=FILE] -o ROM.img
//   ste-host chart -o CHART.bVK
//   ste-host measure FRAME1.ppm FRAME2.ppm -o COLOURS.csv
//   ste-host compare REFERENCE.ppm CAPTURE.ppm --colours=COLOURS.csv [--scale=N]
//                    [--columns=A-B]
//   ste-host play-check CONTAINER.ZRP --colours=COLOURS.csv --video=FRAMES.rgb|-
//                       --frame-starts=FILE --sound=SOUND.s16 [--sound-rate=N]
//                       [--frames=A-B]
// Exit status 0 on success (compare: every pixel equal), 1 when compare finds
// differences or anything fails.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "atomic_output_file.h"
#include "command_line.h"
#include "option_ranges.h"
#include "platform_files.h"
#include "ste/host/play_check.h"
#include "ste/host/ste_host.h"

namespace {

int usage() {
    std::fputs(
        "usage: ste-host embed TEMPLATE.img PICTURE.bVK --mode=N [--blockoflines=N] [--pixpal=N]\n"
        "                      [--shiftpixels=N] [--second-bitmap=FILE] -o ROM.img\n"
        "       ste-host chart -o CHART.bVK\n"
        "       ste-host measure FRAME1.ppm FRAME2.ppm -o COLOURS.csv\n"
        "       ste-host compare REFERENCE.ppm CAPTURE.ppm --colours=COLOURS.csv [--scale=N]\n"
        "                        [--columns=A-B]\n"
        "       ste-host play-check CONTAINER.ZRP --colours=COLOURS.csv --video=FRAMES.rgb|-\n"
        "                           --frame-starts=FILE --sound=SOUND.s16 [--sound-rate=N]\n"
        "                           [--frames=A-B]\n",
        stderr);
    return 1;
}

bool read_file(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::string error;
    if (platform::read_whole_file(path, bytes, error)) return true;
    std::fprintf(stderr, "ste-host: %s\n", error.c_str());
    return false;
}

bool write_file(const std::string& path, const void* data, std::size_t size) {
    std::string error;
    if (fileout::write_whole_file(path, data, size, error)) return true;
    std::fprintf(stderr, "ste-host: %s\n", error.c_str());
    return false;
}

bool read_ppm(const std::string& path, ste::Image& image) {
    std::vector<std::uint8_t> bytes;
    if (!read_file(path, bytes)) return false;
    std::string error;
    if (!ste::parse_ppm(bytes, image, error)) {
        std::fprintf(stderr, "ste-host: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

// Whether the options parsed and `files` names remain; else false after
// the reason and the usage text.
bool parsed(const cli::Parsed& result, std::size_t files) {
    if (!result.ok) std::fprintf(stderr, "ste-host: %s\n", result.error.c_str());
    if (result.ok && result.positional.size() == files) return true;
    usage();
    return false;
}

// "A-B" as two whole numbers A <= B, or nullopt.
std::optional<std::pair<long, long>> number_range(const std::string& text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos) return std::nullopt;
    const auto whole = [](const std::string& t) -> long {
        if (t.empty() || t.size() > 9 || t.find_first_not_of("0123456789") != std::string::npos) {
            return -1;
        }
        return std::stol(t);
    };
    const long first = whole(text.substr(0, dash));
    const long last = whole(text.substr(dash + 1));
    if (first < 0 || last < first) return std::nullopt;
    return std::pair{first, last};
}

int embed(const std::vector<std::string>& args) {
    std::string output;
    std::string second;
    ste::PictureFormat format;
    int pixpal = 1;
    int shiftpixels = 5;
    bool have_mode = false;
    const auto set = [](int& field) {
        return [&field](long long v) { field = static_cast<int>(v); };
    };
    const cli::Parsed result = cli::parse(
        args, {cli::text("--output", 'o', [&](const std::string& v) { output = v; }),
               cli::number(options::kMode,
                           [&](long long v) {
                               format.mode = static_cast<int>(v);
                               have_mode = true;
                           }),
               cli::number(options::kBlockoflines, set(format.block_lines)),
               cli::number(options::kPixpal, set(pixpal)),
               cli::number(options::kShiftpixels, set(shiftpixels)),
               cli::text("--second-bitmap", 0, [&](const std::string& v) { second = v; })});
    const std::vector<std::string>& files = result.positional;
    if (!parsed(result, 2)) return 1;
    if (output.empty() || !have_mode) return usage();
    format.palette_sets = pixpal == 1 ? 1 : 2;
    format.shift = shiftpixels - 5;
    std::vector<std::uint8_t> rom;
    std::vector<std::uint8_t> picture;
    std::vector<std::uint8_t> bitmap2;
    if (!read_file(files[0], rom) || !read_file(files[1], picture)) return 1;
    if (!second.empty() && !read_file(second, bitmap2)) return 1;
    const std::string error =
        ste::embed_picture(rom, picture, format, second.empty() ? nullptr : &bitmap2);
    if (!error.empty()) {
        std::fprintf(stderr, "ste-host: %s: %s\n", files[1].c_str(), error.c_str());
        return 1;
    }
    return write_file(output, rom.data(), rom.size()) ? 0 : 1;
}

int chart(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0] != "-o") return usage();
    const std::vector<std::uint8_t> file = ste::colour_chart_picture();
    return write_file(args[1], file.data(), file.size()) ? 0 : 1;
}

int measure(const std::vector<std::string>& args) {
    if (args.size() != 4 || args[2] != "-o") return usage();
    ste::Image first;
    ste::Image second;
    if (!read_ppm(args[0], first) || !read_ppm(args[1], second)) return 1;
    ste::ColourTable table;
    std::string error;
    if (!ste::measure_colour_chart(first, second, table, error)) {
        std::fprintf(stderr, "ste-host: %s, %s: %s\n", args[0].c_str(), args[1].c_str(),
                     error.c_str());
        return 1;
    }
    const std::string text = ste::format_colour_table(table);
    return write_file(args[3], text.data(), text.size()) ? 0 : 1;
}

int compare(const std::vector<std::string>& args) {
    std::string colours;
    int scale = 2;
    int first_column = 1;
    int last_column = 0;
    bool bad_columns = false;
    const cli::Parsed result = cli::parse(
        args,
        {cli::text("--colours", 0, [&](const std::string& v) { colours = v; }),
         cli::number("--scale", 0, {}, 1, 16, [&](long long v) { scale = static_cast<int>(v); }),
         cli::text("--columns", 0, [&](const std::string& v) {
             const auto range = number_range(v);
             bad_columns = !range || range->first < 1;
             if (range) {
                 first_column = static_cast<int>(range->first);
                 last_column = static_cast<int>(range->second);
             }
         })});
    const std::vector<std::string>& files = result.positional;
    if (!parsed(result, 2)) return 1;
    if (colours.empty() || bad_columns) return usage();
    ste::Image reference;
    ste::Image capture;
    if (!read_ppm(files[0], reference) || !read_ppm(files[1], capture)) return 1;
    std::vector<std::uint8_t> table_bytes;
    if (!read_file(colours, table_bytes)) return 1;
    ste::ColourTable table;
    std::string error;
    if (!ste::parse_colour_table(
            std::string_view(reinterpret_cast<const char*>(table_bytes.data()), table_bytes.size()),
            table, error)) {
        std::fprintf(stderr, "ste-host: %s: %s\n", colours.c_str(), error.c_str());
        return 1;
    }
    ste::Comparison comparison;
    if (!ste::compare_frame(reference, capture, scale, table, comparison, error, first_column,
                            last_column)) {
        std::fprintf(stderr, "ste-host: %s, %s: %s\n", files[0].c_str(), files[1].c_str(),
                     error.c_str());
        return 1;
    }
    if (comparison.differing == 0) {
        std::printf("equal pixels=%ld\n", comparison.pixels);
        return 0;
    }
    std::printf("differ pixels=%ld of %ld first: %s\ncolumns: %s\n", comparison.differing,
                comparison.pixels, comparison.first_difference.c_str(),
                ste::describe_columns(comparison).c_str());
    return 1;
}

int play_check(const std::vector<std::string>& args) {
    ste::PlayCheckOptions options;
    bool bad_frames = false;
    const cli::Parsed result = cli::parse(
        args,
        {cli::text("--colours", 0, [&](const std::string& v) { options.colours = v; }),
         cli::text("--video", 0, [&](const std::string& v) { options.video = v; }),
         cli::text("--frame-starts", 0, [&](const std::string& v) { options.frame_starts = v; }),
         cli::text("--sound", 0, [&](const std::string& v) { options.sound = v; }),
         cli::number("--sound-rate", 0, {}, 1, 1000000,
                     [&](long long v) { options.sound_rate = static_cast<int>(v); }),
         cli::text("--frames", 0, [&](const std::string& v) {
             const auto range = number_range(v);
             bad_frames = !range;
             if (range) {
                 options.first = range->first;
                 options.last = range->second;
             }
         })});
    if (!parsed(result, 1)) return 1;
    options.container = result.positional[0];
    if (bad_frames || options.colours.empty() || options.video.empty() ||
        options.frame_starts.empty() || options.sound.empty()) {
        return usage();
    }
    return ste::play_check(options);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "embed") return embed(args);
    if (command == "chart") return chart(args);
    if (command == "measure") return measure(args);
    if (command == "compare") return compare(args);
    if (command == "play-check") return play_check(args);
    return usage();
}
