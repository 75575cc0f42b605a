#include "encoder/output/writers.h"

#include <algorithm>

#include "encoder/colour/colour.h"
#include "encoder/conversion/diffusion.h"
#include "encoder/state/geometry.h"
#include "format/bmp.h"
#include "format/picture_file.h"

namespace brenvik {

namespace {

void put_be16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}
std::uint8_t clamp_byte(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}
void append_bgr(std::vector<std::uint8_t>& out, int red, int green, int blue) {
    out.insert(out.end(), {clamp_byte(blue), clamp_byte(green), clamp_byte(red)});
}

bool has_two_palettes(const RunSettings& settings) {
    return settings.palette_mode == kTwoBitmapsTwoPalettes ||
           settings.palette_mode == kOneBitmapTwoPalettes;
}

// Palette records of the given lines: the mode's words each, word k - 2 the
// colour of slot k (its first colour from int 1, its second from int 4).
std::vector<std::uint8_t> palette_records(const RunContext& ctx, const RunResults& results,
                                          const std::vector<int>& lines,
                                          std::size_t first_or_second) {
    const ScreenLayout& layout = ctx.layout;
    const int record_words = format::record_words(layout.mode);
    const int words = std::min(record_words, layout.optimised_slot_count);
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint16_t> record(static_cast<std::size_t>(record_words));
    for (int y : lines) {
        std::fill(record.begin(), record.end(), 0);
        for (int k = layout.first_optimised_slot; k < layout.first_optimised_slot + words; ++k) {
            const SlotColours& r = results.stored(k, y);
            record[static_cast<std::size_t>(k - layout.first_optimised_slot)] =
                palette_word(r[first_or_second], r[first_or_second + 1], r[first_or_second + 2],
                             ctx.picture.level_step);
        }
        for (std::uint16_t w : record) put_be16(bytes, w);
    }
    return bytes;
}

// A bitmap and its previews (first and, with two palettes, second colours).
struct Rendering {
    std::vector<std::uint8_t> bitmap;
    std::vector<std::uint8_t> preview;
    std::vector<std::uint8_t> second_preview;
};

// The optimised bitmap: every pixel the register of its slot; its previews
// show the slot's colours.
Rendering optimised_rendering(const RunContext& ctx, const RunResults& results,
                              const std::array<std::uint8_t, 54>& header, bool previews) {
    const int W = ctx.picture.width;
    const int H = ctx.picture.height;
    const bool two_palettes = has_two_palettes(ctx.settings);
    Rendering r{{}, {header.begin(), header.end()}, {header.begin(), header.end()}};
    std::vector<int> regs(static_cast<std::size_t>(W));
    for (int y = 1; y <= H; ++y) {
        for (int x = 1; x <= W; ++x)
            regs[x - 1] = ctx.layout.slot_register[results.pixel_choice.at(x, y).first];
        append_bitplanes(r.bitmap, regs);
        if (!previews) continue;
        const int line = H + 1 - y;  // previews are bottom-up
        for (int x = 1; x <= W; ++x) {
            const SlotColours& c = results.stored(results.pixel_choice.at(x, line).first, line);
            append_bgr(r.preview, c[1], c[2], c[3]);
            if (two_palettes) append_bgr(r.second_preview, c[4], c[5], c[6]);
        }
    }
    return r;
}

// The error-diffused bitmap: every pixel the register the diffusion chose;
// its previews show that register's colours.
Rendering diffused_rendering(const RunContext& ctx, const Grid<DiffusedPixel>& pixels,
                             const std::array<std::uint8_t, 54>& header, bool previews) {
    const int W = ctx.picture.width;
    const int H = ctx.picture.height;
    const bool two_palettes = has_two_palettes(ctx.settings);
    Rendering r{{}, {header.begin(), header.end()}, {header.begin(), header.end()}};
    std::vector<int> regs(static_cast<std::size_t>(W));
    for (int y = 1; y <= H; ++y) {
        for (int x = 0; x < W; ++x) regs[x] = pixels.at(x, y).register_index;
        append_bitplanes(r.bitmap, regs);
        if (!previews) continue;
        const int line = H + 1 - y;
        for (int x = 0; x < W; ++x) {
            const DiffusedPixel& px = pixels.at(x, line);
            append_bgr(r.preview, px.first[0], px.first[1], px.first[2]);
            if (two_palettes)
                append_bgr(r.second_preview, px.second[0], px.second[1], px.second[2]);
        }
    }
    return r;
}

std::vector<std::uint8_t> joined(std::vector<std::uint8_t> bytes,
                                 const std::vector<std::uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
}

}  // namespace

std::array<std::uint8_t, 54> preview_header(const std::array<std::uint8_t, 54>& input, int width,
                                            int height) {
    return format::bmp::header_24bit(input, width, height);
}

void append_bitplanes(std::vector<std::uint8_t>& out, const std::vector<int>& registers) {
    const std::size_t groups = registers.size() / 16;
    const std::size_t start = out.size();
    out.resize(start + groups * 8);
    std::uint8_t* at = out.data() + start;
    for (std::size_t g = 0; g < groups; ++g) {
        unsigned planes[4] = {0, 0, 0, 0};
        for (int i = 0; i < 16; ++i) {
            const unsigned reg = static_cast<unsigned>(registers[g * 16 + i]);
            for (int p = 0; p < 4; ++p) planes[p] |= ((reg >> p) & 1u) << (15 - i);
        }
        for (unsigned word : planes) {
            *at++ = static_cast<std::uint8_t>(word >> 8);
            *at++ = static_cast<std::uint8_t>(word & 0xFF);
        }
    }
}

std::vector<EncodedFile> serialise(const RunContext& ctx, const SourcePictures& pictures,
                                   const RunResults& results,
                                   const Grid<DiffusedPixel>* diffused_pixels,
                                   const TraceWriter& out) {
    const RunSettings& settings = ctx.settings;
    const int H = ctx.picture.height;
    const bool two_palettes = has_two_palettes(settings);
    const bool previews = settings.write_previews == 1;
    TextSink trace;
    const auto trace_line = [&](const char* text) {
        if (settings.verbose == 1) trace.printf("%s\n", text);
    };
    const auto header = preview_header(pictures.header, ctx.picture.width, H);
    trace_line("Pal ");
    // First palette set: one record per block, from the block's centre line;
    // second set: one record per line.
    std::vector<std::uint8_t> palettes =
        palette_records(ctx, results, block_centre_lines(settings), kFirstColour);
    if (two_palettes) {
        std::vector<int> every_line(static_cast<std::size_t>(H));
        for (int y = 1; y <= H; ++y) every_line[static_cast<std::size_t>(y - 1)] = y;
        palettes =
            joined(std::move(palettes), palette_records(ctx, results, every_line, kSecondColour));
    }
    const Rendering optimised = optimised_rendering(ctx, results, header, previews);
    trace_line("Write bitmap ");
    trace_line("Write pal ");
    trace_line("Floyd ");
    Rendering diffused;
    if (diffused_pixels != nullptr) {
        diffused = diffused_rendering(ctx, *diffused_pixels, header, previews);
        if (settings.verbose == 1)
            trace.printf("floyd %2.3f seconds\n", seconds_since(settings.start_clock));
    }
    const int record_bytes = static_cast<int>(format::record_bytes(ctx.layout.mode));
    if (settings.verbose == 1) trace.printf("Write pal %d %d \n", record_bytes, H);
    if (two_palettes) {
        trace_line("Pa2 ");
        if (settings.verbose == 1) trace.printf("Write pa2 %d %d \n", record_bytes, H);
    }
    trace.flush_to(out);

    const format::OutputNames names = format::output_names(settings.input_name);
    std::vector<EncodedFile> files;
    files.push_back({FileRole::picture, names.picture, joined(optimised.bitmap, palettes)});
    if (previews) files.push_back({FileRole::preview, names.preview, optimised.preview});
    if (previews && two_palettes) {
        files.push_back({FileRole::second_preview, names.second_preview, optimised.second_preview});
    }
    if (diffused_pixels == nullptr) return files;
    files.push_back({FileRole::diffused, names.diffused, joined(diffused.bitmap, palettes)});
    if (previews) {
        files.push_back({FileRole::diffused_preview, names.diffused_preview, diffused.preview});
    }
    if (two_palettes) {
        files.push_back({FileRole::diffused_bitmap, names.diffused_bitmap, diffused.bitmap});
        if (previews) {
            files.push_back({FileRole::diffused_second_preview, names.diffused_second_preview,
                             diffused.second_preview});
        }
    }
    return files;
}

}  // namespace brenvik
