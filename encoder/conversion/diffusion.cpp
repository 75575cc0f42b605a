#include "encoder/conversion/diffusion.h"

#include <algorithm>
#include <cstdlib>

#include "encoder/colour/colour.h"

namespace brenvik {

RegisterGroups register_groups(const ScreenLayout& layout) {
    RegisterGroups groups;
    groups.group_of_column.resize(static_cast<std::size_t>(layout.width));
    std::array<int, 16> previous{};
    for (int x = 0; x < layout.width; ++x) {
        // The optimised slots visible here, ascending: where two load one
        // register, the later one holds it.
        std::array<int, 16> slots;
        slots.fill(-1);
        for (int k : layout.visible_slots[x + 1]) {
            const int reg = layout.slot_register[k];
            if (reg >= 0 && reg < 16) slots[reg] = k;
        }
        if (x == 0 || slots != previous) groups.slots.push_back(slots);
        groups.group_of_column[x] = static_cast<int>(groups.slots.size()) - 1;
        previous = slots;
    }
    return groups;
}

void fill_group_registers(const RegisterGroups& groups, const RunResults& results, int y,
                          std::vector<RegisterPlanes>& planes) {
    planes.resize(groups.slots.size());
    for (std::size_t g = 0; g < groups.slots.size(); ++g) {
        for (int r = 0; r < 16; ++r) {
            const int k = groups.slots[g][r];
            for (int j = 0; j < 6; ++j) {
                planes[g].channel[j][r] = k < 0 ? 0 : results.stored(k, y)[j + 1];
            }
        }
    }
}

namespace {

// A register distance this large or larger counts as no register at all.
constexpr int kNoRegisterDistance = 99999999;
// Where the search for the nearest register of an undiffused colour starts:
// above the distance of any two colours on the 0..255 scale.
constexpr int kAboveAnyRegisterDistance = 9999999;
// The error (summed over the channels) from which a pixel counts as too far
// from its registers to pass its error on, one bitmap with one palette (or
// two bitmaps) and one bitmap with two palettes.
constexpr int kFarErrorOnePalette = 32;
constexpr int kFarErrorTwoPalettes = 96;

// A colour against one register: the error it leaves (pixel minus register,
// of the two pictures' colours added when there is no companion picture,
// else of the first colours) and, with a companion, the second colours' own
// difference.
struct RegisterDifference {
    std::array<int, 3> error;
    std::array<int, 3> second;
};

inline RegisterDifference register_difference(const std::array<int, 6>& c,
                                              const RegisterPlanes& planes, int r,
                                              int has_companion) {
    const auto& p = planes.channel;
    if (has_companion == 0) {
        return {{(c[0] + c[3]) - (p[0][r] + p[3][r]), (c[1] + c[4]) - (p[1][r] + p[4][r]),
                 (c[2] + c[5]) - (p[2][r] + p[5][r])},
                {0, 0, 0}};
    }
    return {{c[0] - p[0][r], c[1] - p[1][r], c[2] - p[2][r]},
            {c[3] - p[3][r], c[4] - p[4][r], c[5] - p[5][r]}};
}

// Distance of a colour to each of the 16 registers: the weighted distance of
// the error plus, with a companion, that of the second colours.
void register_distances(const std::array<int, 6>& c, const RegisterPlanes& planes,
                        int has_companion, std::array<int, 16>& out) {
    for (int r = 0; r < 16; ++r) {
        const RegisterDifference d = register_difference(c, planes, r, has_companion);
        out[r] = weighted_distance(d.error[0], d.error[1], d.error[2]) +
                 weighted_distance(d.second[0], d.second[1], d.second[2]);
    }
}

struct Share {
    int dx;
    int dy;
    // The share of the error: a fraction whose denominator is a power of two,
    // so the product equals the division by the denominator, bit for bit.
    double weight;
};

// The shares of each diffusion kernel, a static table so that a pixel's
// spreading allocates nothing.
struct Kernel {
    std::array<Share, 6> shares;
    int count;
};

constexpr std::array<Kernel, 4> kKernels = {{
    {{}, 0},
    {{{{1, 0, 7.0 / 16}, {-1, 1, 3.0 / 16}, {0, 1, 5.0 / 16}, {1, 1, 1.0 / 16}}}, 4},
    {{{{1, 0, 2.0 / 4}, {-1, 1, 1.0 / 4}, {0, 1, 1.0 / 4}}}, 3},
    {{{{1, 0, 1.0 / 8},
       {2, 0, 1.0 / 8},
       {-1, 1, 1.0 / 8},
       {0, 1, 1.0 / 8},
       {1, 1, 1.0 / 8},
       {0, 2, 1.0 / 8}}},
     6},
}};

const Kernel& kernel_shares(int diffusion_kernel) {
    if (diffusion_kernel < 1 || diffusion_kernel > 3) return kKernels[0];
    return kKernels[diffusion_kernel];
}

}  // namespace

RegisterPlanes register_planes(const Registers& registers) {
    RegisterPlanes planes;
    for (int r = 0; r < 16; ++r) {
        for (int j = 0; j < 6; ++j) planes.channel[j][r] = registers[r][j];
    }
    return planes;
}

NearestRegister nearest_register(const std::array<int, 6>& colour, const RegisterPlanes& planes,
                                 int has_companion) {
    std::array<int, 16> distances;
    register_distances(colour, planes, has_companion, distances);
    // The nearest, the lowest register on ties.
    int best_register = 0;
    int best = distances[0] >= kNoRegisterDistance ? kNoRegisterDistance : distances[0];
    for (int r = 1; r < 16; ++r) {
        if (distances[r] < best) {
            best = distances[r];
            best_register = r;
        }
    }
    NearestRegister nearest;
    nearest.register_index = best_register;
    nearest.distance = best;
    nearest.error = distances[0] >= kNoRegisterDistance && best_register == 0
                        ? std::array<int, 3>{0, 0, 0}
                        : register_difference(colour, planes, best_register, has_companion).error;
    return nearest;
}

DiffusionStep diffusion_step(const std::array<int, 6>& working,
                             const std::array<int, 6>& undiffused, const RegisterPlanes& planes,
                             int has_companion, int threshold) {
    const NearestRegister nearest = nearest_register(working, planes, has_companion);
    DiffusionStep step{nearest.register_index, nearest.error};
    const auto& e = nearest.error;
    const int error_size = std::abs(e[0]) + std::abs(e[1]) + std::abs(e[2]);
    const int sum = e[0] + e[1] + e[2];
    if (sum >= -3 && sum <= 3) step.error = {0, 0, 0};
    if (error_size >= threshold) {
        // Too far from anything loaded here: match the undiffused colour and
        // let no error travel.
        std::array<int, 16> distances;
        register_distances(undiffused, planes, has_companion, distances);
        int best = kAboveAnyRegisterDistance;
        for (int r = 0; r < 16; ++r) {
            if (distances[r] < best) {
                best = distances[r];
                step.register_index = r;
            }
        }
        step.error = {0, 0, 0};
    }
    return step;
}

namespace {

// spread_error on lines given by `line_of(y)`, the first pixel of line y.
template <typename LineOf>
void spread_error_on(LineOf line_of, int x, int y, int width, int height,
                     const std::array<int, 3>& error, int diffusion_kernel) {
    const Kernel& kernel = kernel_shares(diffusion_kernel);
    for (int i = 0; i < kernel.count; ++i) {
        const Share& s = kernel.shares[i];
        const int nx = x + s.dx;
        const int ny = y + s.dy;
        if (nx < 0 || nx >= width || ny > height) continue;
        auto& target = line_of(ny)[nx];
        for (int c = 0; c < 3; ++c) {
            target[c] = static_cast<int>(target[c] + static_cast<double>(error[c]) * s.weight);
        }
    }
}

}  // namespace

void spread_error(Grid<std::array<int, 6>>& work, int x, int y, int width, int height,
                  const std::array<int, 3>& error, int diffusion_kernel) {
    spread_error_on([&](int line) { return &work.at(0, line); }, x, y, width, height, error,
                    diffusion_kernel);
}

LineDiffusion::LineDiffusion(const RunSettings& settings, const ScreenLayout& layout,
                             const PictureTables& picture, const RunResults& results)
    : settings_(settings),
      picture_(picture),
      results_(results),
      groups_(register_groups(layout)),
      out_(picture.width, picture.height + 1),
      work_(static_cast<std::size_t>(kWorkLines) * picture.width),
      threshold_(settings.palette_mode == kOneBitmapTwoPalettes ? kFarErrorTwoPalettes
                                                                : kFarErrorOnePalette) {
    for (int y = 1; y <= std::min(kWorkLines, picture.height); ++y) start_work_line(y);
}

std::array<int, 6>* LineDiffusion::work_line(int y) {
    return &work_[static_cast<std::size_t>(y % kWorkLines) * picture_.width];
}

// Working colours, changed by the diffusion, start as the source colours,
// which stay as the undiffused reference.
void LineDiffusion::start_work_line(int y) {
    std::array<int, 6>* line = work_line(y);
    for (int x = 0; x < picture_.width; ++x) line[x] = picture_.source_colours.at(x, y);
}

void LineDiffusion::diffuse_through(int line) {
    const int W = picture_.width;
    const int H = picture_.height;
    for (; next_line_ <= std::min(line, H); ++next_line_) {
        const int y = next_line_;
        fill_group_registers(groups_, results_, y, planes_);
        std::array<int, 6>* working = work_line(y);
        for (int x = 0; x < W; ++x) {
            const RegisterPlanes& here = planes_[groups_.group_of_column[x]];
            const DiffusionStep step = diffusion_step(working[x], picture_.source_colours.at(x, y),
                                                      here, picture_.has_companion, threshold_);
            const int r = step.register_index;
            const auto& p = here.channel;
            DiffusedPixel& pixel = out_.at(x, y);
            pixel.first = {p[0][r], p[1][r], p[2][r]};
            pixel.register_index = r;
            pixel.second = {p[3][r], p[4][r], p[5][r]};
            spread_error_on([&](int l) { return work_line(l); }, x, y, W, H, step.error,
                            settings_.diffusion_kernel);
        }
        // This line's place takes the line kWorkLines below.
        if (y + kWorkLines <= H) start_work_line(y + kWorkLines);
    }
}

const Grid<DiffusedPixel>& LineDiffusion::pixels() {
    diffuse_through(picture_.height);
    return out_;
}

}  // namespace brenvik
