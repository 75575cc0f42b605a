#include "encoder/driver/convert.h"

#include <optional>

#include "encoder/colour/colour.h"
#include "encoder/conversion/diffusion.h"
#include "encoder/conversion/picture_tables.h"
#include "encoder/conversion/predither.h"
#include "encoder/driver/block_loop.h"
#include "encoder/output/writers.h"

namespace brenvik {

namespace {

void print_summary(const RunContext& ctx, const RunResults& results, std::FILE* out) {
    const RunSettings& settings = ctx.settings;
    for (int i = 1; i <= 11; ++i) {
        std::fprintf(out, "timer%d %2.8f seconds \n", i,
                     printed_timer_seconds(results.counters, i));
    }
    std::fprintf(out,
                 "mode=%d quality=%d dither=%d nb_loop_fast_init=%d power_quality=%8.8f "
                 "power_temperature=%d bis_method=%d \n",
                 ctx.layout.mode.layout_id, settings.quality, settings.dither_mode,
                 settings.initial_move_budget, settings.cooling_factor,
                 settings.temperature_divisor, ctx.picture.has_companion);
    std::fprintf(out, "bestdistancemoyenneall=%8.8f in %2.3f sec nbiteration_moindrescarres=%d \n",
                 results.best_total_distance_sum / ctx.picture.height,
                 seconds_since(settings.start_clock), results.annealing_outcome);
    const SearchCounters& counters = results.counters;
    std::fprintf(out,
                 "saved_nbOK=%lld saved_nb0OK=%lld saved_nb1OK=%lld saved_nb2_9OK=%lld "
                 "saved_nb10OK=%lld \n",
                 counters.improvements, counters.improvements_after_0_worse,
                 counters.improvements_after_1_worse, counters.improvements_after_2_to_9_worse,
                 counters.improvements_after_10_or_more_worse);
    std::fprintf(out,
                 "saved_nbfailed=%d saved_nb0ffailed=%d saved_nb1failed=%d "
                 "saved_nb2_9failed=%d saved_nb10failed=%d \n",
                 0, 0, 0, 0, 0);
}

}  // namespace

RunResults empty_results(const ScreenLayout& layout, const PictureTables& picture) {
    RunResults results;
    results.slot_count = layout.slot_count();
    results.line_count = picture.allocated_lines;
    results.stored_slot_colours.assign(
        static_cast<std::size_t>(results.slot_count) * results.line_count, SlotColours{});
    results.pixel_choice.reset(layout.width + 1, picture.allocated_lines, {0, 0});
    return results;
}

int run_conversion(const SourcePictures& pictures, const ScreenLayout& layout,
                   const RunSettings& settings, Random& rng, std::FILE* out, std::FILE* err) {
    TextSink trace;
    if (settings.verbose == 1) trace.puts("b ");

    PictureTables picture;
    picture.has_companion = pictures.has_companion;
    load_picture_tables(pictures, layout.mode, settings, picture, trace);
    if (settings.dither_mode == 1) {
        predither_checkerboard(picture);
    } else if (settings.dither_mode == 4) {
        predither_sierra(picture, 17.0);
    } else if (settings.dither_mode == 5) {
        predither_sierra(picture, 8.5);
    }
    trace.flush_to(out);
    std::fflush(out);
    if (settings.verbose == 1) trace.puts("a ");
    detect_level_step(picture, rng, trace);
    colour_statistics(picture);
    trace.flush_to(out);
    std::fflush(out);

    const RunContext ctx{settings, layout, picture};
    RunResults results = empty_results(layout, picture);
    // The error diffusion follows the optimiser line by line, on the thread
    // that merges the blocks.
    std::optional<LineDiffusion> diffusion;
    if (settings.palette_mode != kTwoBitmapsTwoPalettes) {
        diffusion.emplace(settings, layout, picture, results);
    }
    run_block_loop(ctx, results, out, [&](int line) {
        if (diffusion) diffusion->diffuse_through(line);
    });

    print_summary(ctx, results, out);
    const bool written =
        write_outputs(ctx, pictures, results, diffusion ? &diffusion->pixels() : nullptr, out, err);
    std::fflush(out);
    return written ? 0 : 1;
}

}  // namespace brenvik
