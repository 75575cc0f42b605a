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

void print_summary(const RunContext& ctx, const RunResults& results, TextSink& out) {
    const RunSettings& settings = ctx.settings;
    for (int i = 1; i <= 11; ++i) {
        out.printf("timer%d %2.8f seconds \n", i, printed_timer_seconds(results.counters, i));
    }
    out.printf(
        "mode=%d quality=%d dither=%d nb_loop_fast_init=%d power_quality=%8.8f "
        "power_temperature=%d bis_method=%d \n",
        ctx.layout.mode.layout_id, settings.quality, settings.dither_mode,
        settings.initial_move_budget, settings.cooling_factor, settings.temperature_divisor,
        ctx.picture.has_companion);
    out.printf("bestdistancemoyenneall=%8.8f in %2.3f sec nbiteration_moindrescarres=%d \n",
               results.best_total_distance_sum / ctx.picture.height,
               seconds_since(settings.start_clock), results.annealing_outcome);
    const SearchCounters& counters = results.counters;
    out.printf(
        "saved_nbOK=%lld saved_nb0OK=%lld saved_nb1OK=%lld saved_nb2_9OK=%lld "
        "saved_nb10OK=%lld \n",
        counters.improvements, counters.improvements_after_0_worse,
        counters.improvements_after_1_worse, counters.improvements_after_2_to_9_worse,
        counters.improvements_after_10_or_more_worse);
    out.printf(
        "saved_nbfailed=%d saved_nb0ffailed=%d saved_nb1failed=%d "
        "saved_nb2_9failed=%d saved_nb10failed=%d \n",
        0, 0, 0, 0, 0);
}

// The per-pixel tables, pre-dithered as asked, with their level step and
// colour statistics.
void prepare_tables(const SourcePictures& pictures, const ScreenMode& mode,
                    const RunSettings& settings, Random& rng, PictureTables& picture,
                    const TraceWriter& out) {
    TextSink trace;
    if (settings.verbose == 1) trace.puts("b ");
    picture.has_companion = pictures.has_companion;
    load_picture_tables(pictures, mode, settings, picture, trace);
    if (settings.dither_mode == 1) {
        predither_checkerboard(picture);
    } else if (settings.dither_mode == 4) {
        predither_sierra(picture, 17.0);
    } else if (settings.dither_mode == 5) {
        predither_sierra(picture, 8.5);
    }
    trace.flush_to(out);
    if (settings.verbose == 1) trace.puts("a ");
    detect_level_step(picture, rng, trace);
    colour_statistics(picture);
    trace.flush_to(out);
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

Conversion run_conversion(const SourcePictures& pictures, const ScreenLayout& layout,
                          const RunSettings& settings, Random& rng, const TraceWriter& out) {
    PictureTables picture;
    prepare_tables(pictures, layout.mode, settings, rng, picture, out);

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

    TextSink summary;
    print_summary(ctx, results, summary);
    summary.flush_to(out);
    Conversion conversion;
    conversion.files =
        serialise(ctx, pictures, results, diffusion ? &diffusion->pixels() : nullptr, out);
    conversion.mean_best_distance = results.best_total_distance_sum / picture.height;
    conversion.level_step = picture.level_step;
    return conversion;
}

}  // namespace brenvik
