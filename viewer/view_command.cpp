#include "viewer/view_command.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include "atomic_output_file.h"
#include "format/picture_file.h"
#include "platform_files.h"
#include "viewer/image.h"
#include "viewer/picture_file.h"

namespace brenvik::viewer {
namespace {

constexpr const char* kProgram = "brenvik-view";
constexpr int kLargestScale = 16;

struct ViewOptions {
    std::string picture;
    std::string output;
    LayoutChoice choice;
    RenderSettings render;
    int scale = 1;
    bool each = false;
    std::string compare_with;
    std::string strip_name;
    bool help = false;
};

std::string quoted(const std::string& name) {
    return "'" + name + "'";
}

bool starts_with(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Decimal digits only, within low..high.
std::optional<int> number_in(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

// Largest file read: well past every picture file and 24-bit BMP of the
// modes' sizes, so that an endless input (a device, a pipe) is refused.
constexpr std::size_t kLargestInput = 16u << 20;

// Parses the command line; false with `error` for anything it refuses.
bool parse(const std::vector<std::string>& args, ViewOptions& options, std::string& error) {
    struct Numeric {
        const char* prefix;
        int low;
        int high;
        int* target;
    };
    const Numeric numeric[] = {
        {"--mode=", 0, 4, &options.choice.mode},
        {"--shiftpixels=", 0, 9, &options.render.shiftpixels},
        {"--blockoflines=", 0, 9, &options.choice.blockoflines},
        {"--pixpal=", 1, 3, &options.choice.pixpal},
        {"--levelstep=", 16, 17, &options.render.level_step},
        {"--scale=", 1, kLargestScale, &options.scale},
    };
    bool have_output = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool matched = false;
        for (const Numeric& n : numeric) {
            if (!starts_with(a, n.prefix)) continue;
            const auto value = number_in(a.substr(std::strlen(n.prefix)), n.low, n.high);
            if (!value) {
                error = "invalid value in " + quoted(a) + ": expected " + std::to_string(n.low) +
                        ".." + std::to_string(n.high);
                return false;
            }
            *n.target = *value;
            matched = true;
        }
        if (matched) continue;
        if (a == "-o" || a == "--output") {
            if (i + 1 == args.size()) {
                error = "option " + quoted(a) + " needs a file name";
                return false;
            }
            options.output = args[++i];
            have_output = true;
        } else if (starts_with(a, "--output=")) {
            options.output = a.substr(9);
            have_output = true;
        } else if (starts_with(a, "--compare=")) {
            options.compare_with = a.substr(10);
        } else if (starts_with(a, "--strip=")) {
            options.strip_name = a.substr(8);
        } else if (a == "--each") {
            options.each = true;
        } else if (a == "-h" || a == "--help") {
            options.help = true;
            return true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + quoted(a);
            return false;
        } else if (options.picture.empty()) {
            options.picture = a;
        } else {
            error = "unexpected argument " + quoted(a);
            return false;
        }
    }
    if (options.picture.empty()) {
        error = "no picture file given";
        return false;
    }
    if (have_output && options.output.empty()) {
        error = "empty output file name";
        return false;
    }
    if (!options.strip_name.empty() && options.compare_with.empty()) {
        error = "--strip needs --compare=SOURCE.bmp";
        return false;
    }
    if (!have_output) options.output = format::replace_extension(options.picture, ".png");
    return true;
}

// OUT.png -> OUT_1.png (or OUT_1 appended when there is no extension).
std::string numbered_name(const std::string& name, int number) {
    const std::string suffix = "_" + std::to_string(number);
    const std::size_t start = format::last_component_start(name);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < start) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

struct PendingFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

}  // namespace

std::string view_usage_text() {
    return "usage: brenvik-view FILE.bVK [-o OUT.png] [OPTION]...\n"
           "Render a picture file as the STE shows it, to PNG.\n"
           "\n"
           "  -o, --output=FILE   PNG to write (default: FILE with the extension .png)\n"
           "  --mode=N            screen mode 0..4 as the encoder's (default: from the size)\n"
           "  --blockoflines=N    lines per palette record (default: from the size)\n"
           "  --pixpal=N          1: one palette set; 2 or 3: two (default: from the size)\n"
           "  --shiftpixels=N     0..9, palette schedule shift of modes 1..3 (default 5)\n"
           "  --levelstep=N       17 (default): levels 0..15 shown as 0..255, as the STE;\n"
           "                      16: as the encoder's previews of 16-step pictures\n"
           "  --scale=N           nearest-neighbour enlargement 1..16 (default 1)\n"
           "  --each              two-palette files: also write each of the two pictures\n"
           "                      (OUT_1.png, OUT_2.png); OUT.png is their average\n"
           "  --compare=SRC.bmp   print \"psnr=... weighted=... seen_psnr=...\" against the\n"
           "                      24-bit source picture\n"
           "  --strip=FILE.png    with --compare: source | result | error x4 side by side\n"
           "  -h, --help          show this help\n";
}

int run_view(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    ViewOptions options;
    std::string error;
    const auto fail = [&](const std::string& message) {
        std::fprintf(err, "%s: %s\n", kProgram, message.c_str());
        return 1;
    };
    if (!parse(args, options, error)) {
        return fail(error + "\nTry 'brenvik-view --help' for more information.");
    }
    if (options.help) {
        std::fputs(view_usage_text().c_str(), out);
        return 0;
    }

    std::vector<std::uint8_t> bytes;
    if (!platform::read_whole_file(options.picture, bytes, error, kLargestInput)) return fail(error);
    const std::vector<FileLayout> layouts = layouts_of_size(bytes.size(), options.choice);
    if (layouts.empty()) {
        return fail(quoted(options.picture) + ": " + std::to_string(bytes.size()) +
                    " bytes is the size of no picture file" +
                    (options.choice.mode >= 0 || options.choice.blockoflines >= 0 ||
                             options.choice.pixpal >= 0
                         ? " with the options given"
                         : ""));
    }
    if (layouts.size() > 1) {
        std::string list;
        for (const FileLayout& l : layouts) list += "\n  " + describe(l);
        return fail(quoted(options.picture) + ": " + std::to_string(bytes.size()) +
                    " bytes fit several layouts; choose one with the options:" + list);
    }
    const FileLayout& layout = layouts.front();
    if (options.each && !layout.two_palettes) {
        return fail(quoted(options.picture) +
                    " has one palette set: --each needs a two-palette file");
    }
    const Rendering rendering = render_picture(bytes, layout, options.render);

    std::vector<PendingFile> files;
    const auto add_png = [&](const std::string& name, const Image& image) {
        PendingFile file{name, {}};
        if (!encode_png(enlarge(image, options.scale), file.bytes, error)) return false;
        files.push_back(std::move(file));
        return true;
    };
    if (!add_png(options.output, rendering.seen))
        return fail(quoted(options.output) + ": " + error);
    if (options.each) {
        if (!add_png(numbered_name(options.output, 1), rendering.first) ||
            !add_png(numbered_name(options.output, 2), rendering.second)) {
            return fail(quoted(options.output) + ": " + error);
        }
    }

    std::string comparison;
    if (!options.compare_with.empty()) {
        std::vector<std::uint8_t> source_bytes;
        if (!platform::read_whole_file(options.compare_with, source_bytes, error, kLargestInput)) {
            return fail(error);
        }
        Image source;
        if (!decode_bmp(source_bytes, source, error)) {
            return fail(quoted(options.compare_with) + ": " + error);
        }
        if (source.width != rendering.seen.width || source.height != rendering.seen.height) {
            return fail(quoted(options.compare_with) + ": the picture is " +
                        std::to_string(source.width) + "x" + std::to_string(source.height) +
                        ", the picture file " + std::to_string(rendering.seen.width) + "x" +
                        std::to_string(rendering.seen.height));
        }
        comparison = comparison_line(compare(source, rendering.seen));
        if (!options.strip_name.empty() &&
            !add_png(options.strip_name, strip(source, rendering.seen))) {
            return fail(quoted(options.strip_name) + ": " + error);
        }
    }

    for (const PendingFile& file : files) {
        if (!fileout::write_whole_file(file.name, file.bytes.data(), file.bytes.size(), error)) {
            return fail(error);
        }
    }
    if (!comparison.empty()) {
        std::fputs(comparison.c_str(), out);
        std::fflush(out);
    }
    return 0;
}

}  // namespace brenvik::viewer
