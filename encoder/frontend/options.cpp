#include "encoder/frontend/options.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "encoder/frontend/screen_modes.h"
#include "input/placement.h"

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
        "\n";
    return text;
}

int atoi_saturating(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*p - '0');
        ++p;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

namespace {

bool starts_with(const std::string& text, const char* literal) {
    return text.compare(0, std::strlen(literal), literal) == 0;
}

// Range test on the value taken as unsigned, so negative values always fail.
bool in_range(int value, unsigned low, unsigned high) {
    const unsigned u = static_cast<unsigned>(value);
    return u >= low && u <= high;
}

}  // namespace

bool parse_command_line(const std::vector<std::string>& args, RunSettings& settings) {
    settings.program_name = args.empty() ? std::string("brenvik") : args[0];
    settings.dither_mode = 0;
    settings.palette_mode = 1;
    settings.diffusion_kernel = 1;
    settings.block_lines_option = 1;
    settings.seed = 42;
    settings.mode_row = 0;

    std::size_t i = 1;
    for (; i < args.size() && !args[i].empty() && args[i][0] == '-'; ++i) {
        const std::string& argument = args[i];
        auto value_after = [&argument](const char* literal) {
            return atoi_saturating(argument.c_str() + std::strlen(literal));
        };
        if (starts_with(argument, "--mode=")) {
            const int v = value_after("--mode=");
            if (!in_range(v, 0, static_cast<unsigned>(kScreenModeCount - 1))) return false;
            settings.mode_row = v;
        } else if (starts_with(argument, "--verbose")) {
            settings.verbose = 1;
        } else if (starts_with(argument, "--dith=") || starts_with(argument, "--dither=")) {
            const int v = value_after(starts_with(argument, "--dith=") ? "--dith=" : "--dither=");
            if (!in_range(v, 0, 5)) return false;
            settings.dither_mode = v;
        } else if (starts_with(argument, "--ed=")) {
            const int v = value_after("--ed=");
            if (!in_range(v, 0, 3)) return false;
            settings.diffusion_kernel = v;
        } else if (starts_with(argument, "--pixpal=")) {
            const int v = value_after("--pixpal=");
            if (!in_range(v, 1, 3)) return false;
            settings.palette_mode = v;
        } else if (starts_with(argument, "--preview=")) {
            const int v = value_after("--preview=");
            if (!in_range(v, 0, 1)) return false;
            settings.write_previews = v;
        } else if (starts_with(argument, "--shiftpixels=")) {
            const int v = value_after("--shiftpixels=");
            if (!in_range(v, 0, 9)) return false;
            settings.schedule_shift = v - 5;
        } else if (starts_with(argument, "--blockoflines=")) {
            const int v = value_after("--blockoflines=");
            if (!in_range(v, 0, 9)) return false;
            settings.block_lines_option = v;
        } else if (starts_with(argument, "--fit=")) {
            settings.fit = argument.substr(std::strlen("--fit="));
            if (!input::fit_from_name(settings.fit)) return false;
        } else if (starts_with(argument, "--gravity=")) {
            settings.gravity = argument.substr(std::strlen("--gravity="));
            if (!input::gravity_from_name(settings.gravity)) return false;
        } else if (starts_with(argument, "--seed=")) {
            settings.seed = value_after("--seed=");
        } else if (argument.size() == 2 && std::isdigit(static_cast<unsigned char>(argument[1]))) {
            settings.quality = argument[1] - '0';
        } else {
            return false;
        }
    }
    // The gravity places a picture that --fit scales.
    if (!settings.gravity.empty() && settings.fit.empty()) return false;
    const std::size_t remaining = args.size() - i;
    if (remaining != 1 && remaining != 2) return false;
    settings.input_name = args[i];
    return true;
}

void derive_settings(RunSettings& settings) {
    const int quality = settings.quality;
    settings.initial_move_budget = 100 * quality + 50;
    settings.temperature_divisor = 1000000;
    settings.minimum_temperature = 0.0001;
    double cooling_step = 0.1;
    for (int i = 0; i < quality; ++i) {
        settings.temperature_divisor = static_cast<int>(settings.temperature_divisor / 1.5);
        settings.minimum_temperature /= 3.0;
        cooling_step *= 0.3;
    }
    settings.cooling_factor = 1.0 - cooling_step;
    switch (settings.dither_mode) {
        case 2:
            settings.phase_per_line = 1;
            settings.phase_per_column = 0;
            break;
        case 3:
        case 5:
            settings.phase_per_line = 1;
            settings.phase_per_column = 1;
            break;
        default:
            settings.phase_per_line = 0;
            settings.phase_per_column = 0;
            break;
    }
    settings.new_colour_distance = 0;
    settings.block_geometry = block_geometry(settings.block_lines_option);
}

}  // namespace brenvik
