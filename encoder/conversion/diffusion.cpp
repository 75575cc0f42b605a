#include "encoder/conversion/diffusion.h"

#include <cstdlib>

#include "encoder/colour/colour.h"

namespace brenvik {

void fill_register_table(const ScreenLayout& layout, const RunResults& results, int y,
                         RegisterLine& regs) {
    regs.resize(static_cast<std::size_t>(layout.width));
    for (int x = 0; x < layout.width; ++x) {
        auto& column = regs[x];
        for (auto& r : column) r.fill(0);
        // The optimised slots visible here, ascending: where two load one
        // register, the later one holds it.
        for (int k : layout.visible_slots[x + 1]) {
            const SlotColours& saved = results.stored(k, y);
            auto& reg = column[layout.slot_register[k]];
            for (int j = 0; j < 6; ++j) reg[j] = saved[j + 1];
        }
    }
}

namespace {

struct Distance {
    int distance;
    std::array<int, 3> error;
};

Distance register_distance(const std::array<int, 6>& c, const std::array<int, 6>& reg,
                           int has_companion) {
    Distance d{};
    if (has_companion == 0) {
        // Compare the sums of the two pictures' colours.
        const int dr = (c[0] + c[3]) - (reg[0] + reg[3]);
        const int dg = (c[1] + c[4]) - (reg[1] + reg[4]);
        const int db = (c[2] + c[5]) - (reg[2] + reg[5]);
        d.distance = weighted_distance(dr, dg, db);
        d.error = {dr, dg, db};
    } else {
        const int dr = c[0] - reg[0], dg = c[1] - reg[1], db = c[2] - reg[2];
        const int second_dr = c[3] - reg[3], second_dg = c[4] - reg[4], second_db = c[5] - reg[5];
        d.distance =
            weighted_distance(dr, dg, db) + weighted_distance(second_dr, second_dg, second_db);
        d.error = {dr, dg, db};
    }
    return d;
}

struct Share {
    int dx;
    int dy;
    int numerator;
    int denominator;
};

// The shares of each diffusion kernel, a static table so that a pixel's
// spreading allocates nothing.
struct Kernel {
    std::array<Share, 6> shares;
    int count;
};

constexpr std::array<Kernel, 4> kKernels = {{
    {{}, 0},
    {{{{1, 0, 7, 16}, {-1, 1, 3, 16}, {0, 1, 5, 16}, {1, 1, 1, 16}}}, 4},
    {{{{1, 0, 2, 4}, {-1, 1, 1, 4}, {0, 1, 1, 4}}}, 3},
    {{{{1, 0, 1, 8}, {2, 0, 1, 8}, {-1, 1, 1, 8}, {0, 1, 1, 8}, {1, 1, 1, 8}, {0, 2, 1, 8}}}, 6},
}};

const Kernel& kernel_shares(int diffusion_kernel) {
    if (diffusion_kernel < 1 || diffusion_kernel > 3) return kKernels[0];
    return kKernels[diffusion_kernel];
}

}  // namespace

NearestRegister nearest_register(const std::array<int, 6>& colour,
                                 const std::array<std::array<int, 6>, 16>& registers,
                                 int has_companion) {
    NearestRegister best;
    const Distance first = register_distance(colour, registers[0], has_companion);
    best.register_index = 0;
    if (first.distance > 99999998) {
        best.distance = 99999999;
        best.error = {0, 0, 0};
    } else {
        best.distance = first.distance;
        best.error = first.error;
    }
    for (int r = 1; r < 16; ++r) {
        const Distance d = register_distance(colour, registers[r], has_companion);
        if (d.distance < best.distance) {
            best.register_index = r;
            best.distance = d.distance;
            best.error = d.error;
        }
    }
    return best;
}

DiffusionStep diffusion_step(const std::array<int, 6>& working,
                             const std::array<int, 6>& undiffused,
                             const std::array<std::array<int, 6>, 16>& registers, int has_companion,
                             int threshold) {
    const NearestRegister nearest = nearest_register(working, registers, has_companion);
    DiffusionStep step{nearest.register_index, nearest.error};
    const auto& e = nearest.error;
    const int error_size = std::abs(e[0]) + std::abs(e[1]) + std::abs(e[2]);
    const int sum = e[0] + e[1] + e[2];
    if (sum >= -3 && sum <= 3) step.error = {0, 0, 0};
    if (error_size >= threshold) {
        // Too far from anything loaded here: match the undiffused colour and
        // let no error travel.
        int best = 9999999;
        for (int r = 0; r < 16; ++r) {
            const int d = register_distance(undiffused, registers[r], has_companion).distance;
            if (d < best) {
                best = d;
                step.register_index = r;
            }
        }
        step.error = {0, 0, 0};
    }
    return step;
}

void spread_error(Grid<std::array<int, 6>>& work, int x, int y, int width, int height,
                  const std::array<int, 3>& error, int diffusion_kernel) {
    const Kernel& kernel = kernel_shares(diffusion_kernel);
    for (int i = 0; i < kernel.count; ++i) {
        const Share& s = kernel.shares[i];
        const int nx = x + s.dx;
        const int ny = y + s.dy;
        if (nx < 0 || nx >= width || ny > height) continue;
        auto& target = work.at(nx, ny);
        for (int c = 0; c < 3; ++c) {
            target[c] = static_cast<int>(target[c] + static_cast<double>(error[c]) * s.numerator /
                                                         s.denominator);
        }
    }
}

Grid<DiffusedPixel> error_diffusion(const RunSettings& settings, const ScreenLayout& layout,
                                    const PictureTables& picture, const RunResults& results) {
    const int W = picture.width;
    const int H = picture.height;
    Grid<DiffusedPixel> out(W, H + 1);
    // Working colours, changed by the diffusion; the source colours stay as
    // the undiffused reference.
    Grid<std::array<int, 6>> work(W, H + 1);
    for (int y = 1; y <= H; ++y) {
        for (int x = 0; x < W; ++x) work.at(x, y) = picture.source_colours.at(x, y);
    }
    const int threshold = settings.palette_mode == kOneBitmapTwoPalettes ? 96 : 32;
    RegisterLine regs;
    for (int y = 1; y <= H; ++y) {
        fill_register_table(layout, results, y, regs);
        for (int x = 0; x < W; ++x) {
            const DiffusionStep step =
                diffusion_step(work.at(x, y), picture.source_colours.at(x, y), regs[x],
                               picture.has_companion, threshold);
            const auto& reg = regs[x][step.register_index];
            DiffusedPixel& pixel = out.at(x, y);
            pixel.first = {reg[0], reg[1], reg[2]};
            pixel.register_index = step.register_index;
            pixel.second = {reg[3], reg[4], reg[5]};
            spread_error(work, x, y, W, H, step.error, settings.diffusion_kernel);
        }
    }
    return out;
}

}  // namespace brenvik
