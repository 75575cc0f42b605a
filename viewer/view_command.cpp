#include "viewer/view_command.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include "atomic_output_file.h"
#include "command_line.h"
#include "format/picture_file.h"
#include "option_ranges.h"
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

// Largest file read: well past every picture file and 24-bit BMP of the
// modes' sizes, so that an endless input (a device, a pipe) is refused.
constexpr std::size_t kLargestInput = 16u << 20;

// Parses the command line; false with `error` for anything it refuses.
bool parse(const std::vector<std::string>& args, ViewOptions& options, std::string& error) {
    const auto set = [](int& field) {
        return [&field](long long v) { field = static_cast<int>(v); };
    };
    bool have_output = false;
    const std::vector<cli::Option> table = {
        cli::number(options::kMode, set(options.choice.mode)),
        cli::number(options::kShiftpixels, set(options.render.shiftpixels)),
        cli::number(options::kBlockoflines, set(options.choice.blockoflines)),
        cli::number(options::kPixpal, set(options.choice.pixpal)),
        cli::number("--levelstep", 0, {}, 16, 17, set(options.render.level_step)),
        cli::number("--scale", 0, {}, 1, kLargestScale, set(options.scale)),
        cli::text("--output", 'o',
                  [&](const std::string& name) {
                      options.output = name;
                      have_output = true;
                  }),
        cli::text("--compare", 0, [&](const std::string& name) { options.compare_with = name; }),
        cli::text("--strip", 0, [&](const std::string& name) { options.strip_name = name; }),
        cli::flag("--each", 0, [&] { options.each = true; }),
        cli::flag("--help", 'h', [&] { options.help = true; }),
    };
    const cli::Parsed parsed =
        cli::parse(std::vector<std::string>(args.begin() + 1, args.end()), table);
    if (!parsed.ok) {
        error = parsed.error;
        return false;
    }
    if (options.help) return true;
    if (parsed.positional.empty()) {
        error = "no picture file given";
        return false;
    }
    if (parsed.positional.size() > 1) {
        error = "unexpected argument " + quoted(parsed.positional[1]);
        return false;
    }
    options.picture = parsed.positional[0];
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
           "  --compare=SRC.bmp   print \"psnr=... weighted=... seen_psnr=... ssim=...\"\n"
           "                      against the 24-bit source picture\n"
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
    if (!platform::read_whole_file(options.picture, bytes, error, kLargestInput))
        return fail(error);
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
