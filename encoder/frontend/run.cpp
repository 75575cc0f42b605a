#include "encoder/frontend/run.h"

#include <ctime>
#include <string>

#include "encoder/driver/convert.h"
#include "encoder/frontend/bmp.h"
#include "encoder/frontend/fit_input.h"
#include "encoder/frontend/options.h"
#include "encoder/frontend/screen_modes.h"
#include "encoder/state/state.h"

namespace brenvik {

int run_brenvik(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                const RunOptions& options) {
    RunSettings settings;
    settings.start_clock = std::clock();
    settings.threads = options.threads;
    settings.portable_search = options.portable_search;

    if (!parse_command_line(args, settings)) {
        const std::string help = usage_text(settings.program_name) + fit_usage_text();
        std::fwrite(help.data(), 1, help.size(), err);
        return 1;
    }
    derive_settings(settings);

    TextSink text;
    if (settings.verbose == 1) {
        text.printf(
            "debug opt=%d dither=%d nb_loop_fast_init=%d power_quality=%8.8f "
            "power_temperature=%d \n",
            settings.quality, settings.dither_mode, settings.initial_move_budget,
            settings.cooling_factor, settings.temperature_divisor);
    }

    const ScreenMode& mode = screen_modes[static_cast<std::size_t>(settings.mode_row)];
    SourcePictures pictures;
    const bool loaded = settings.fit.empty()
                            ? load_pictures(settings, mode, pictures, text, err)
                            : load_fitted_pictures(settings, mode, pictures, text, err);
    text.flush_to(out);
    if (!loaded) return 1;

    // The run seed governs the draws made before the block loop reseeds.
    Random rng;
    rng.reseed(static_cast<std::uint32_t>(settings.seed));

    const ScreenLayout layout = build_screen_layout(mode, settings.schedule_shift);
    text.printf("limit=%d mode=%d \n", layout.optimised_slot_count, mode.layout_id);
    text.append(std::string(static_cast<std::size_t>(layout.width), '\n'));
    text.flush_to(out);
    std::fflush(out);

    text.printf("ligneX3=%d hhh_minus=%d hhh_maxus=%d hauteursegment=%d \n",
                settings.block_lines_option, settings.block_geometry.first_row_offset,
                settings.block_geometry.last_row_offset, settings.block_geometry.block_height);
    text.flush_to(out);

    settings.picture_height = mode.height;
    int status = run_conversion(pictures, layout, settings, rng, out, err);
    // With --fit, the picture the encoder saw is kept beside its files.
    if (!settings.fit.empty() && !write_fitted_source(settings, pictures, err)) status = 1;
    return status;
}

}  // namespace brenvik
