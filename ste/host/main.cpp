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

// Value of "--name=N" as a small integer, or nullopt when arg is another option.
std::optional<int> option_value(const std::string& arg, const std::string& name, bool& bad) {
    const std::string prefix = "--" + name + "=";
    if (arg.rfind(prefix, 0) != 0) return std::nullopt;
    const std::string digits = arg.substr(prefix.size());
    if (digits.empty() || digits.size() > 3 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        bad = true;
        return 0;
    }
    return std::stoi(digits);
}

int embed(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::string output;
    std::string second;
    ste::PictureFormat format;
    int pixpal = 1;
    int shiftpixels = 5;
    bool have_mode = false;
    bool bad = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" && i + 1 < args.size()) {
            output = args[++i];
        } else if (auto v = option_value(a, "mode", bad)) {
            format.mode = *v;
            have_mode = true;
        } else if (auto v = option_value(a, "blockoflines", bad)) {
            format.block_lines = *v;
        } else if (auto v = option_value(a, "pixpal", bad)) {
            pixpal = *v;
        } else if (auto v = option_value(a, "shiftpixels", bad)) {
            shiftpixels = *v;
        } else if (a.rfind("--second-bitmap=", 0) == 0) {
            second = a.substr(16);
        } else if (!a.empty() && a[0] != '-') {
            files.push_back(a);
        } else {
            bad = true;
        }
    }
    if (bad || files.size() != 2 || output.empty() || !have_mode || pixpal < 1 || pixpal > 3 ||
        shiftpixels > 9) {
        return usage();
    }
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
    std::vector<std::string> files;
    std::string colours;
    int scale = 2;
    int first_column = 1;
    int last_column = 0;
    bool bad = false;
    for (const std::string& a : args) {
        if (a.rfind("--colours=", 0) == 0) {
            colours = a.substr(10);
        } else if (a.rfind("--columns=", 0) == 0) {
            const std::string range = a.substr(10);
            const std::size_t dash = range.find('-');
            const std::string first = range.substr(0, dash);
            const std::string last = dash == std::string::npos ? "" : range.substr(dash + 1);
            auto digits = [](const std::string& t) {
                return !t.empty() && t.size() <= 3 &&
                       t.find_first_not_of("0123456789") == std::string::npos;
            };
            if (!digits(first) || !digits(last)) {
                bad = true;
            } else {
                first_column = std::stoi(first);
                last_column = std::stoi(last);
            }
        } else if (auto v = option_value(a, "scale", bad)) {
            scale = *v;
        } else if (!a.empty() && a[0] != '-') {
            files.push_back(a);
        } else {
            bad = true;
        }
    }
    if (bad || files.size() != 2 || colours.empty() || scale < 1) return usage();
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
    ste::Comparison result;
    if (last_column == 0 && first_column != 1) bad = true;
    if (bad) return usage();
    if (!ste::compare_frame(reference, capture, scale, table, result, error, first_column,
                            last_column)) {
        std::fprintf(stderr, "ste-host: %s, %s: %s\n", files[0].c_str(), files[1].c_str(),
                     error.c_str());
        return 1;
    }
    if (result.differing == 0) {
        std::printf("equal pixels=%ld\n", result.pixels);
        return 0;
    }
    std::printf("differ pixels=%ld of %ld first: %s\ncolumns: %s\n", result.differing,
                result.pixels, result.first_difference.c_str(),
                ste::describe_columns(result).c_str());
    return 1;
}

// Whole decimal number, or -1.
long whole_number(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::stol(text);
}

int play_check(const std::vector<std::string>& args) {
    ste::PlayCheckOptions options;
    bool bad = false;
    for (const std::string& a : args) {
        const std::size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : a.substr(eq + 1);
        if (name == "--colours") {
            options.colours = value;
        } else if (name == "--video") {
            options.video = value;
        } else if (name == "--frame-starts") {
            options.frame_starts = value;
        } else if (name == "--sound") {
            options.sound = value;
        } else if (name == "--sound-rate") {
            options.sound_rate = static_cast<int>(whole_number(value));
            bad = bad || options.sound_rate <= 0;
        } else if (name == "--frames") {
            const std::size_t dash = value.find('-');
            options.first = whole_number(value.substr(0, dash));
            options.last = dash == std::string::npos ? -2 : whole_number(value.substr(dash + 1));
            bad = bad || options.first < 0 || options.last < 0 || options.last < options.first;
        } else if (!a.empty() && a[0] != '-' && options.container.empty()) {
            options.container = a;
        } else {
            bad = true;
        }
    }
    if (bad || options.container.empty() || options.colours.empty() || options.video.empty() ||
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
