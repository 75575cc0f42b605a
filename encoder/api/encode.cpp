// The encoder's public entry: checks the request, lays out the screen mode,
// runs the conversion and hands back the files' bytes.
#include "brenvik/encode.h"

#include <chrono>
#include <exception>
#include <new>

#include "encoder/api/request.h"
#include "encoder/driver/convert.h"
#include "encoder/state/pictures.h"
#include "encoder/state/screen_layout.h"
#include "format/screen_modes.h"

namespace brenvik {

namespace {

EncodeResult failed(std::string message) {
    EncodeResult result;
    result.message = std::move(message);
    return result;
}

std::string size_text(const RgbPicture& picture) {
    return std::to_string(picture.width) + "x" + std::to_string(picture.height);
}

// What is wrong with a picture the mode must take, or an empty string.
std::string picture_fault(const RgbPicture& picture, const char* what, PictureSize size) {
    if (picture.width != size.width || picture.height != size.height) {
        return std::string(what) + " is " + size_text(picture) + " pixels, the mode takes " +
               std::to_string(size.width) + "x" + std::to_string(size.height);
    }
    if (picture.rgb.size() != static_cast<std::size_t>(size.width) * size.height * 3) {
        return std::string(what) + " has " + std::to_string(picture.rgb.size()) +
               " bytes, not 3 per pixel";
    }
    return {};
}

RunClock steady_clock_from_now() {
    const auto start = std::chrono::steady_clock::now();
    return [start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
}

// The lines a run prints before the pictures' tables: the layout and the
// block geometry.
void trace_layout(const ScreenLayout& layout, const RunSettings& settings, const TraceWriter& out) {
    TextSink text;
    text.printf("limit=%d mode=%d \n", layout.optimised_slot_count, layout.mode.layout_id);
    text.append(std::string(static_cast<std::size_t>(layout.width), '\n'));
    text.printf("ligneX3=%d hhh_minus=%d hhh_maxus=%d hauteursegment=%d \n",
                settings.block_lines_option, settings.block_geometry.first_row_offset,
                settings.block_geometry.last_row_offset, settings.block_geometry.block_height);
    text.flush_to(out);
}

EncodeResult run(const EncodeRequest& request) {
    RunSettings settings = run_settings(request.options);
    settings.input_name = request.input_name;
    settings.threads = request.threads;
    settings.portable_search = request.portable_search;
    settings.start_clock = request.clock ? request.clock : steady_clock_from_now();
    const ScreenMode& mode = format::kScreenModes[static_cast<std::size_t>(settings.mode_row)];
    settings.picture_height = mode.height;
    const SourcePictures pictures = source_pictures(request);

    // The run seed governs the draws made before the block loop reseeds.
    Random rng;
    rng.reseed(static_cast<std::uint32_t>(settings.seed));
    const ScreenLayout layout = build_screen_layout(mode, settings.schedule_shift);
    trace_layout(layout, settings, request.trace);

    Conversion conversion = run_conversion(pictures, layout, settings, rng, request.trace);
    EncodeResult result;
    result.ok = true;
    result.files = std::move(conversion.files);
    result.mean_best_distance = conversion.mean_best_distance;
    result.level_step = conversion.level_step;
    return result;
}

}  // namespace

PictureSize picture_size(int mode) {
    if (mode < 0 || mode >= format::kScreenModeCount) return {};
    const format::ScreenMode& m = format::kScreenModes[static_cast<std::size_t>(mode)];
    return {m.width, m.height};
}

EncodeResult encode(const EncodeRequest& request) {
    if (std::string fault = options_fault(request.options); !fault.empty()) {
        return failed(std::move(fault));
    }
    const PictureSize size = picture_size(request.options.mode);
    if (std::string fault = picture_fault(request.picture, "the picture", size); !fault.empty()) {
        return failed(std::move(fault));
    }
    if (request.companion) {
        if (std::string fault = picture_fault(*request.companion, "the companion picture", size);
            !fault.empty()) {
            return failed(std::move(fault));
        }
    }
    try {
        return run(request);
    } catch (const std::bad_alloc&) {
        return failed("out of memory");
    } catch (const std::exception& e) {
        return failed(std::string("the encoding failed: ") + e.what());
    }
}

}  // namespace brenvik
