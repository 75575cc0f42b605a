#include "encoder/api/request.h"

#include "encoder/state/geometry.h"
#include "option_ranges.h"

namespace brenvik {

namespace {

// The temperature of a quality-0 run, and what every quality step divides
// it by; the lowest temperature likewise.
constexpr int kStartTemperatureDivisor = 1000000;
constexpr double kTemperatureStep = 1.5;
constexpr double kStartMinimumTemperature = 0.0001;
constexpr double kMinimumTemperatureStep = 3.0;
// 1 - cooling_factor at quality 0, and what every quality step multiplies it by.
constexpr double kStartCoolingStep = 0.1;
constexpr double kCoolingStepFactor = 0.3;

}  // namespace

std::string options_fault(const EncodeOptions& o) {
    for (const auto& [range, value] :
         {std::pair{options::kQuality, o.quality}, std::pair{options::kMode, o.mode},
          std::pair{options::kDither, o.dither}, std::pair{options::kDiffusion, o.diffusion},
          std::pair{options::kPixpal, o.pixpal}, std::pair{options::kShiftpixels, o.shiftpixels},
          std::pair{options::kBlockoflines, o.blockoflines}}) {
        if (!range.holds(value)) return range.fault(std::to_string(value));
    }
    if (o.distance != Distance::phased && o.distance != Distance::plain) {
        return options::kDistance.fault(std::to_string(static_cast<int>(o.distance)));
    }
    return {};
}

RunSettings run_settings(const EncodeOptions& options) {
    RunSettings settings;
    settings.quality = options.quality;
    settings.mode_row = options.mode;
    settings.dither_mode = options.dither;
    settings.diffusion_kernel = options.diffusion;
    settings.palette_mode = options.pixpal;
    settings.write_previews = options.previews ? 1 : 0;
    settings.schedule_shift = options.shiftpixels - format::kShiftOption;
    settings.block_lines_option = options.blockoflines;
    settings.seed = options.seed;
    settings.verbose = options.verbose ? 1 : 0;
    settings.plain_distance = options.distance == Distance::plain;
    derive_settings(settings);
    return settings;
}

void derive_settings(RunSettings& settings) {
    const int quality = settings.quality;
    settings.initial_move_budget = 100 * quality + 50;
    settings.temperature_divisor = kStartTemperatureDivisor;
    settings.minimum_temperature = kStartMinimumTemperature;
    double cooling_step = kStartCoolingStep;
    for (int i = 0; i < quality; ++i) {
        settings.temperature_divisor =
            static_cast<int>(settings.temperature_divisor / kTemperatureStep);
        settings.minimum_temperature /= kMinimumTemperatureStep;
        cooling_step *= kCoolingStepFactor;
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

SourcePictures source_pictures(const EncodeRequest& request) {
    SourcePictures pictures;
    pictures.first_pixels = request.picture.rgb;
    if (request.companion) {
        pictures.second_pixels = request.companion->rgb;
        pictures.has_companion = 1;
    } else if (request.options.pixpal == kOnePalette) {
        pictures.second_pixels.assign(request.picture.rgb.size(), 0);
    } else {
        pictures.second_pixels = request.picture.rgb;
    }
    pictures.header = request.preview_header_base;
    return pictures;
}

}  // namespace brenvik
