#include "encoder/frontend/run.h"

#include <ctime>
#include <string>

#include "brenvik/encode.h"
#include "encoder/api/request.h"
#include "encoder/frontend/bmp.h"
#include "encoder/frontend/fit_input.h"
#include "encoder/frontend/options.h"
#include "encoder/output/output_file.h"
#include "encoder/state/state.h"
#include "format/picture_file.h"

namespace brenvik {

namespace {

// The figures of the run are the program's processor time, as they always were.
RunClock processor_clock() {
    const std::clock_t start = std::clock();
    return [start] { return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC; };
}

TraceSink printer(std::FILE* out) {
    return [out](std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); };
}

EncodeOptions encode_options(const RunSettings& settings) {
    EncodeOptions options;
    options.quality = settings.quality;
    options.mode = settings.mode_row;
    options.dither = settings.dither_mode;
    options.diffusion = settings.diffusion_kernel;
    options.pixpal = settings.palette_mode;
    options.previews = settings.write_previews == 1;
    options.shiftpixels = settings.schedule_shift + format::kShiftOption;
    options.blockoflines = settings.block_lines_option;
    options.seed = settings.seed;
    options.verbose = settings.verbose == 1;
    options.distance = settings.plain_distance ? Distance::plain : Distance::phased;
    return options;
}

}  // namespace

int run_brenvik(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                const RunOptions& run_options) {
    const RunClock clock = processor_clock();
    RunSettings settings;
    std::string option_error;
    if (!parse_command_line(args, settings, &option_error)) {
        const std::string help = usage_text(settings.program_name) + fit_usage_text();
        std::fwrite(help.data(), 1, help.size(), err);
        // The help text alone does not say what was wrong.
        if (!option_error.empty()) {
            std::fprintf(err, "%s: %s\n", settings.program_name.c_str(), option_error.c_str());
        }
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
    const ScreenMode& mode = format::kScreenModes[static_cast<std::size_t>(settings.mode_row)];
    InputPictures pictures;
    const bool loaded = settings.fit.empty()
                            ? load_pictures(settings, mode, pictures, text, err)
                            : load_fitted_pictures(settings, mode, pictures, text, err);
    const TraceSink print = printer(out);
    text.flush_to(print);
    if (!loaded) return 1;

    EncodeRequest request;
    request.picture = std::move(pictures.picture);
    request.companion = std::move(pictures.companion);
    request.options = encode_options(settings);
    request.input_name = settings.input_name;
    request.preview_header_base = pictures.header;
    // --threads= wins over the caller's choice; neither changes the bytes.
    request.threads = settings.threads != 0 ? settings.threads : run_options.threads;
    request.portable_search = run_options.portable_search;
    request.trace = print;
    request.clock = clock;
    const EncodeResult result = encode(request);
    std::fflush(out);
    if (!result.ok) {
        std::fprintf(err, "%s: %s\n", settings.program_name.c_str(), result.message.c_str());
        return 1;
    }
    bool written = write_files(result.files, err);
    // With --fit, the picture the encoder saw is kept beside its files.
    if (!pictures.fitted_source.empty()) {
        written &= write_file_atomically(format::output_names(settings.input_name).fitted_source,
                                         pictures.fitted_source, err);
    }
    if (settings.verbose == 1) std::fprintf(out, "files %2.3f seconds\n", clock());
    std::fflush(out);
    return written ? 0 : 1;
}

}  // namespace brenvik
