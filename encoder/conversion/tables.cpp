#include "encoder/conversion/tables.h"

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
    pic.lines = H + 10;
    pic.paletteOriginale.reset(W + 2, pic.lines);
    pic.paletteOriginaleRVB.reset(W + 2, pic.lines);
    pic.vecteurinit.reset(W + 3, pic.lines);
    pic.vecteur12b.reset(W + 1, pic.lines);

    const bool verbose = settings.verbose == 1;
    for (int y = 1; y <= H; ++y) {
        const std::size_t row = static_cast<std::size_t>(H - y) * W * 3;
        for (int x = 0; x < W; ++x) {
            const std::size_t i = row + static_cast<std::size_t>(x) * 3;
            auto& o = pic.paletteOriginale.at(x, y);
            o = {pictures.first[i + 2],  pictures.first[i + 1],  pictures.first[i],
                 pictures.second[i + 2], pictures.second[i + 1], pictures.second[i]};
            pic.paletteOriginaleRVB.at(x, y) = {static_cast<std::uint16_t>(o[0]),
                                                static_cast<std::uint16_t>(o[1]),
                                                static_cast<std::uint16_t>(o[2])};
        }
        if (verbose) out.printf("y=%d \n", y);
    }
    for (int y = 1; y <= H; ++y) {
        for (int x = 0; x < W; ++x) {
            const auto& o = pic.paletteOriginale.at(x, y);
            auto& t = pic.vecteurinit.at(x + 1, y);
            for (int c = 0; c < 6; ++c) t[c + 1] = o[c];
        }
        if (verbose) {
            const auto& o = pic.paletteOriginale.at(0, y);
            out.printf("R=%d V=%d B=%d \n", o[0], o[1], o[2]);
        }
    }
}

void colour_statistics(PictureTables& pic) {
    const int W = pic.width;
    const int H = pic.height;
    pic.vecteur12bcount.assign(4096, 0);
    pic.vecteur12bbligne.assign(4096, 0);
    std::vector<int> seen_on_line(4096, 0);  // last line a colour was counted on
    for (int y = 1; y <= H; ++y) {
        for (int x = 1; x <= W; ++x) {
            const auto& t = pic.vecteurinit.at(x, y);
            const int i =
                colour12(target_level(pic, t[1]), target_level(pic, t[2]), target_level(pic, t[3]));
            pic.vecteur12b.at(x, y) = i;
            pic.vecteur12bcount[i] += 1;
            if (seen_on_line[i] != y) {
                seen_on_line[i] = y;
                pic.vecteur12bbligne[i] += 1;
            }
        }
    }
    long long best = -1;
    int best_id = -1;
    for (int i = 0; i < 4096; ++i) {
        const long long product =
            static_cast<long long>(pic.vecteur12bbligne[i]) * pic.vecteur12bcount[i];
        if (product > best) {
            best = product;
            best_id = i;
        }
    }
    pic.max1_id = best_id;
    pic.max1_nb = pic.vecteur12bcount[best_id];
    pic.vecteurglobalbest[3] = (best_id >> 8) & 15;
    pic.vecteurglobalbest[6] = (best_id >> 4) & 15;
    pic.vecteurglobalbest[9] = best_id & 15;
}

}  // namespace brenvik
