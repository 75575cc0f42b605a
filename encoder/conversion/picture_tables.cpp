#include "encoder/conversion/picture_tables.h"

#include "encoder/colour/colour.h"

namespace brenvik {

void load_picture_tables(const SourcePictures& pictures, const ScreenMode& mode,
                         const RunSettings& settings, PictureTables& pic, TextSink& out) {
    const int W = mode.width;
    const int H = mode.height;
    pic.width = W;
    pic.height = H;
    set_level_step(pic, 17);
    // Room for the lines that the last block may reach past the picture
    // (they stay black) and for two margin columns past the width.
    pic.allocated_lines = H + 10;
    pic.source_colours.reset(W + 2, pic.allocated_lines);
    pic.undithered_source.reset(W + 2, pic.allocated_lines);
    pic.target_colours.reset(W + 3, pic.allocated_lines);
    pic.colour_ids.reset(W + 1, pic.allocated_lines);

    const bool verbose = settings.verbose == 1;
    for (int y = 1; y <= H; ++y) {
        const std::size_t row = static_cast<std::size_t>(H - y) * W * 3;
        for (int x = 0; x < W; ++x) {
            const std::size_t i = row + static_cast<std::size_t>(x) * 3;
            auto& o = pic.source_colours.at(x, y);
            o = {pictures.first_pixels[i + 2],  pictures.first_pixels[i + 1],
                 pictures.first_pixels[i],      pictures.second_pixels[i + 2],
                 pictures.second_pixels[i + 1], pictures.second_pixels[i]};
            pic.undithered_source.at(x, y) = {static_cast<std::uint16_t>(o[0]),
                                              static_cast<std::uint16_t>(o[1]),
                                              static_cast<std::uint16_t>(o[2])};
        }
        if (verbose) out.printf("y=%d \n", y);
    }
    for (int y = 1; y <= H; ++y) {
        for (int x = 0; x < W; ++x) {
            const auto& o = pic.source_colours.at(x, y);
            auto& t = pic.target_colours.at(x + 1, y);
            for (int c = 0; c < 6; ++c) t[c + 1] = o[c];
        }
        if (verbose) {
            const auto& o = pic.source_colours.at(0, y);
            out.printf("R=%d V=%d B=%d \n", o[0], o[1], o[2]);
        }
    }
}

void colour_statistics(PictureTables& pic) {
    const int W = pic.width;
    const int H = pic.height;
    pic.colour_pixel_counts.assign(4096, 0);
    pic.colour_line_counts.assign(4096, 0);
    std::vector<int> seen_on_line(4096, 0);  // last line a colour was counted on
    for (int y = 1; y <= H; ++y) {
        for (int x = 1; x <= W; ++x) {
            const auto& t = pic.target_colours.at(x, y);
            const int i = colour_id(target_level(pic, t[1]), target_level(pic, t[2]),
                                    target_level(pic, t[3]));
            pic.colour_ids.at(x, y) = i;
            pic.colour_pixel_counts[i] += 1;
            if (seen_on_line[i] != y) {
                seen_on_line[i] = y;
                pic.colour_line_counts[i] += 1;
            }
        }
    }
    long long best = -1;
    int best_id = -1;
    for (int i = 0; i < 4096; ++i) {
        const long long product =
            static_cast<long long>(pic.colour_line_counts[i]) * pic.colour_pixel_counts[i];
        if (product > best) {
            best = product;
            best_id = i;
        }
    }
    pic.dominant_colour = best_id;
    pic.dominant_colour_pixels = pic.colour_pixel_counts[best_id];
    pic.dominant_levels[3] = (best_id >> 8) & 15;
    pic.dominant_levels[6] = (best_id >> 4) & 15;
    pic.dominant_levels[9] = best_id & 15;
}

}  // namespace brenvik
