#include "encoder/output/writers.h"

#include <algorithm>

#include "encoder/colour/colour.h"
#include "encoder/conversion/diffusion.h"
#include "encoder/output/output_file.h"
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

bool write_outputs(const RunContext& ctx, const SourcePictures& pictures, const RunResults& results,
                   const Grid<DiffusedPixel>* diffused_pixels, std::FILE* out, std::FILE* err) {
    const RunSettings& settings = ctx.settings;
    const ScreenLayout& layout = ctx.layout;
    const PictureTables& pic = ctx.picture;
    const int W = pic.width;
    const int H = pic.height;
    const bool verbose = settings.verbose == 1;
    const bool two_palettes = settings.palette_mode == kTwoBitmapsTwoPalettes ||
                              settings.palette_mode == kOneBitmapTwoPalettes;
    const bool previews = settings.write_previews == 1;
    // palette_mode 2 has no error-diffused rendering (the driver passes none).
    const bool diffused = diffused_pixels != nullptr;
    const format::OutputNames names = format::output_names(settings.input_name);
    const int record_words = format::record_words(layout.mode);
    const int words = std::min(record_words, layout.optimised_slot_count);
    auto trace_line = [&](const char* text) {
        if (verbose) std::fprintf(out, "%s\n", text);
    };

    const auto header = preview_header(pictures.header, W, H);
    trace_line("Pal ");

    // Palette records of the given lines: record_words words each, word k - 2 the colour
    // of slot k (its first colour from int 1, its second from int 4).
    auto palette_records = [&](const std::vector<int>& lines, int first_or_second) {
        std::vector<std::uint8_t> bytes;
        for (int y : lines) {
            std::vector<std::uint16_t> record(static_cast<std::size_t>(record_words), 0);
            for (int k = layout.first_optimised_slot; k < layout.first_optimised_slot + words;
                 ++k) {
                const SlotColours& r = results.stored(k, y);
                record[k - 2] = palette_word(r[first_or_second], r[first_or_second + 1],
                                             r[first_or_second + 2], pic.level_step);
            }
            for (std::uint16_t w : record) put_be16(bytes, w);
        }
        return bytes;
    };
    // First palette set: one record per block, from the block's centre line.
    const std::vector<std::uint8_t> palettes =
        palette_records(block_centre_lines(settings), kFirstColour);
    // Second palette set: one record per line.
    std::vector<int> every_line(static_cast<std::size_t>(H));
    for (int y = 1; y <= H; ++y) every_line[y - 1] = y;
    const std::vector<std::uint8_t> second_palettes =
        two_palettes ? palette_records(every_line, kSecondColour) : std::vector<std::uint8_t>{};

    // Optimised bitmap and previews.
    std::vector<std::uint8_t> bitmap;
    std::vector<std::uint8_t> preview(header.begin(), header.end());
    std::vector<std::uint8_t> second_preview(header.begin(), header.end());
    std::vector<int> regs(static_cast<std::size_t>(W));
    for (int y = 1; y <= H; ++y) {
        for (int x = 1; x <= W; ++x)
            regs[x - 1] = layout.slot_register[results.pixel_choice.at(x, y).first];
        append_bitplanes(bitmap, regs);
        if (!previews) continue;
        const int line = H + 1 - y;
        for (int x = 1; x <= W; ++x) {
            const SlotColours& r = results.stored(results.pixel_choice.at(x, line).first, line);
            preview.insert(preview.end(), {clamp_byte(r[3]), clamp_byte(r[2]), clamp_byte(r[1])});
            if (two_palettes)
                second_preview.insert(second_preview.end(),
                                      {clamp_byte(r[6]), clamp_byte(r[5]), clamp_byte(r[4])});
        }
    }

    bool ok = true;
    std::vector<std::uint8_t> picture = bitmap;
    trace_line("Write bitmap ");
    trace_line("Write pal ");
    trace_line("Floyd ");

    // Error-diffused rendering.
    std::vector<std::uint8_t> diffused_bitmap;
    std::vector<std::uint8_t> diffused_preview(header.begin(), header.end());
    std::vector<std::uint8_t> diffused_second_preview(header.begin(), header.end());
    if (diffused) {
        for (int y = 1; y <= H; ++y) {
            for (int x = 0; x < W; ++x) regs[x] = diffused_pixels->at(x, y).register_index;
            append_bitplanes(diffused_bitmap, regs);
            if (!previews) continue;
            const int line = H + 1 - y;
            for (int x = 0; x < W; ++x) {
                const DiffusedPixel& px = diffused_pixels->at(x, line);
                diffused_preview.insert(
                    diffused_preview.end(),
                    {clamp_byte(px.first[2]), clamp_byte(px.first[1]), clamp_byte(px.first[0])});
                if (two_palettes) {
                    diffused_second_preview.insert(
                        diffused_second_preview.end(),
                        {clamp_byte(px.second[2]), clamp_byte(px.second[1]),
                         clamp_byte(px.second[0])});
                }
            }
        }
        if (verbose)
            std::fprintf(out, "floyd %2.3f seconds\n", seconds_since(settings.start_clock));
    }

    picture.insert(picture.end(), palettes.begin(), palettes.end());
    std::vector<std::uint8_t> diffused_picture = diffused_bitmap;
    diffused_picture.insert(diffused_picture.end(), palettes.begin(), palettes.end());
    if (verbose) std::fprintf(out, "Write pal %d %d \n", 2 * record_words, H);
    if (two_palettes) {
        trace_line("Pa2 ");
        picture.insert(picture.end(), second_palettes.begin(), second_palettes.end());
        diffused_picture.insert(diffused_picture.end(), second_palettes.begin(),
                                second_palettes.end());
        if (verbose) std::fprintf(out, "Write pa2 %d %d \n", 2 * record_words, H);
    }

    std::fflush(out);
    ok &= write_file_atomically(names.picture, picture, err);
    if (previews) ok &= write_file_atomically(names.preview, preview, err);
    if (previews && two_palettes)
        ok &= write_file_atomically(names.second_preview, second_preview, err);
    if (diffused) {
        ok &= write_file_atomically(names.diffused, diffused_picture, err);
        if (previews) ok &= write_file_atomically(names.diffused_preview, diffused_preview, err);
        if (two_palettes) {
            ok &= write_file_atomically(names.diffused_bitmap, diffused_bitmap, err);
            if (previews)
                ok &= write_file_atomically(names.diffused_second_preview, diffused_second_preview,
                                            err);
        }
    }
    if (verbose) std::fprintf(out, "files %2.3f seconds\n", seconds_since(settings.start_clock));
    return ok;
}

}  // namespace brenvik
