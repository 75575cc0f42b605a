#include "encoder/frontend/options.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "command_line.h"
#include "input/placement.h"
#include "option_ranges.h"

namespace brenvik {

std::string usage_text(const std::string& prog) {
    std::string text =
        "Brenvik\n"
        "A hicolor pictures encoder for Atari ST/STE displaying system\n"
        "usage: ";
    text += prog;
    text +=
        " [OPTION] file.bmp \n"
        "\n"
        "Options are:\n"
        "  -1\t\t\tLight optimization, very fast\n"
        "  -3\t\t\tOptimize faster (default)\n"
        "  -5\t\t\tOptimize better but longer\n"
        "  --mode=VALUE\t\tPalette and screen mode\n"
        "\t\t\t0: 320x200, 54 colors/scanline, ST/STE (default)\n"
        "\t\t\t1: 320x200, 80 colors/scanline, ST/STE\n"
        "\t\t\t2: 320x200, 48 colors/scanline, ST/STE\n"
        "\t\t\t3: 416x229, 48 colors/scanline overscan, ST/STE\n"
        "  --dither=VALUE\t\tDithering mode\n"
        "\t\t\t0: Post-dithering (after optimization) (default)\n"
        "\t\t\t1: Pre-dithering '(X+Y) mod 2' \n"
        "\t\t\t2: Pre-dithering 'TV scanline' for 2 pals mode \n"
        "\t\t\t3: Dithering '(X+Y) mod 2' during calculation \n"
        "\t\t\t4: Pre-dithering Sierra 2-4 12 bits \n"
        "\t\t\t5: dither 3+4 Sierra 15b and (X+Y) mod 2 \n"
        "  --ed=VALUE\t\tPost-error diffusion method\n"
        "\t\t\t1: Floyd Steinberg (default)\n"
        "\t\t\t2: Sierra 24' \n"
        "\t\t\t3: Atkinson (preserve detail well, light and dark areas may appear blown out)' \n"
        "  --pixpal=VALUE\t\tNumber of bitmaps/palettes to generate \n"
        "\t\t\t1 (1 bitmap, 1 palette, default)\n"
        "\t\t\t2 (2 bitmaps, 2 palettes)\n"
        "\t\t\t3 (1 bitmap, 2 palettes)\n"
        "  --preview=VALUE\t\t0=no preview (defalt) 1=make a preview picture\n"
        "  --shiftpixels=VALUE\t0 to 9, 5 (default) is centered, decrease to shift left, increase "
        "to shift right\n"
        "  --blockoflines=VALUE\t1 (default) to 6\n"
        "\n"
        "  --distance=VALUE\tphased (default) or plain: the same colour distance in\n"
        "\t\t\tboth dither phases, truer colours in smooth gradients\n"
        "  --threads=VALUE\t0 (default): one worker per core; 1 to 4096 workers\n"
        "\n";
    return text;
}

namespace {

// What is wrong with the --fit and --gravity given, or an empty string. The
// gravity places a picture that --fit scales.
std::string fit_fault(const RunSettings& settings, bool fit_given, bool gravity_given) {
    if (fit_given && !input::fit_from_name(settings.fit)) {
        return "--fit=" + settings.fit + ": expected pad, crop or stretch";
    }
    if (gravity_given && !input::gravity_from_name(settings.gravity)) {
        return "--gravity=" + settings.gravity +
               ": expected centre, top, bottom, left, right, top-left, top-right, bottom-left "
               "or bottom-right";
    }
    if (gravity_given && !fit_given) return "--gravity=" + settings.gravity + " needs --fit";
    return {};
}

}  // namespace

bool parse_command_line(const std::vector<std::string>& args, RunSettings& settings,
                        std::string* error) {
    settings.program_name = args.empty() ? std::string("brenvik") : args[0];
    settings.dither_mode = 0;
    settings.palette_mode = 1;
    settings.diffusion_kernel = 1;
    settings.block_lines_option = 1;
    settings.seed = 42;
    settings.mode_row = 0;
    settings.plain_distance = false;
    settings.threads = 0;

    bool fit_given = false;
    bool gravity_given = false;
    const auto set = [](int& field) {
        return [&field](long long v) { field = static_cast<int>(v); };
    };
    // Tested in this order; the first whose literal starts the argument wins.
    const std::vector<cli::Option> table = {
        cli::number(options::kMode, set(settings.mode_row)),
        cli::flag("--verbose", 0, [&] { settings.verbose = 1; }),
        cli::number("--dith", 0, {}, options::kDither.low, options::kDither.high,
                    set(settings.dither_mode)),
        cli::number(options::kDither, set(settings.dither_mode)),
        cli::number(options::kDiffusion, set(settings.diffusion_kernel)),
        cli::number(options::kPixpal, set(settings.palette_mode)),
        cli::number(options::kPreview, set(settings.write_previews)),
        cli::number(options::kShiftpixels,
                    [&](long long v) { settings.schedule_shift = static_cast<int>(v) - 5; }),
        cli::number(options::kBlockoflines, set(settings.block_lines_option)),
        cli::number(options::kSeed, set(settings.seed)),
        cli::text("--fit", 0,
                  [&](const std::string& v) {
                      settings.fit = v;
                      fit_given = true;
                  }),
        cli::text("--gravity", 0,
                  [&](const std::string& v) {
                      settings.gravity = v;
                      gravity_given = true;
                  }),
        cli::choice(options::kDistance,
                    [&](const std::string& word) { settings.plain_distance = word == "plain"; }),
        cli::number(options::kThreads,
                    [&](long long v) { settings.threads = static_cast<unsigned>(v); }),
    };
    // "-" and one quality digit.
    const auto quality = [&](const std::string& argument) {
        if (argument.size() != 2 || !std::isdigit(static_cast<unsigned char>(argument[1]))) {
            return false;
        }
        settings.quality = argument[1] - '0';
        return true;
    };
    const cli::Parsed parsed = cli::parse_prefixed(args, 1, table, quality);
    std::string fault = parsed.error;
    if (parsed.ok) fault = fit_fault(settings, fit_given, gravity_given);
    if (!fault.empty()) {
        if (error != nullptr) *error = fault;
        return false;
    }
    // The picture, and a second name that is accepted and not used.
    if (parsed.positional.size() != 1 && parsed.positional.size() != 2) return false;
    settings.input_name = parsed.positional[0];
    return true;
}

}  // namespace brenvik
