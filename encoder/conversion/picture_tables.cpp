#include "encoder/conversion/picture_tables.h"

#include "encoder/colour/colour.h"

namespace brenvik {

void load_picture_tables(const SourcePictures& pictures, const ScreenMode& mode,
                         const RunSettings& settings, PictureTables& picture, TextSink& out) {
    const int width = mode.width;
    const int height = mode.height;
    picture.width = width;
    picture.height = height;
    set_level_step(picture, kFullLevelStep);
    // Room for the lines that the last block may reach past the picture
    // (they stay black) and for two margin columns past the width.
    picture.allocated_lines = height + 10;
    picture.source_colours.reset(width + 2, picture.allocated_lines);
    picture.undithered_source.reset(width + 2, picture.allocated_lines);
    picture.target_colours.reset(width + 3, picture.allocated_lines);
    picture.colour_ids.reset(width + 1, picture.allocated_lines);

    const bool verbose = settings.verbose == 1;
    for (int y = 1; y <= height; ++y) {
        const std::size_t row = static_cast<std::size_t>(y - 1) * width * 3;
        for (int x = 0; x < width; ++x) {
            const std::size_t i = row + static_cast<std::size_t>(x) * 3;
            auto& source = picture.source_colours.at(x, y);
            source = {pictures.first_pixels[i],      pictures.first_pixels[i + 1],
                      pictures.first_pixels[i + 2],  pictures.second_pixels[i],
                      pictures.second_pixels[i + 1], pictures.second_pixels[i + 2]};
            picture.undithered_source.at(x, y) = {static_cast<std::uint16_t>(source[0]),
                                                  static_cast<std::uint16_t>(source[1]),
                                                  static_cast<std::uint16_t>(source[2])};
        }
        if (verbose) out.printf("y=%d \n", y);
    }
    for (int y = 1; y <= height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto& source = picture.source_colours.at(x, y);
            auto& target = picture.target_colours.at(x + 1, y);
            for (int c = 0; c < 6; ++c) target[c + 1] = source[c];
        }
        if (verbose) {
            const auto& source = picture.source_colours.at(0, y);
            out.printf("R=%d V=%d B=%d \n", source[0], source[1], source[2]);
        }
    }
}

void colour_statistics(PictureTables& picture) {
    const int width = picture.width;
    const int height = picture.height;
    picture.colour_pixel_counts.assign(kColourIdCount, 0);
    picture.colour_line_counts.assign(kColourIdCount, 0);
    std::vector<int> seen_on_line(kColourIdCount, 0);  // last line a colour was counted on
    for (int y = 1; y <= height; ++y) {
        for (int x = 1; x <= width; ++x) {
            const auto& target = picture.target_colours.at(x, y);
            const int i =
                colour_id(target_level(picture, target[1]), target_level(picture, target[2]),
                          target_level(picture, target[3]));
            picture.colour_ids.at(x, y) = i;
            picture.colour_pixel_counts[i] += 1;
            if (seen_on_line[i] != y) {
                seen_on_line[i] = y;
                picture.colour_line_counts[i] += 1;
            }
        }
    }
    long long best_product = -1;
    int dominant = -1;
    for (int i = 0; i < static_cast<int>(kColourIdCount); ++i) {
        const long long product =
            static_cast<long long>(picture.colour_line_counts[i]) * picture.colour_pixel_counts[i];
        if (product > best_product) {
            best_product = product;
            dominant = i;
        }
    }
    picture.dominant_colour = dominant;
    picture.dominant_colour_pixels = picture.colour_pixel_counts[dominant];
    picture.dominant_levels[3] = (dominant >> 8) & 15;
    picture.dominant_levels[6] = (dominant >> 4) & 15;
    picture.dominant_levels[9] = dominant & 15;
}

}  // namespace brenvik
