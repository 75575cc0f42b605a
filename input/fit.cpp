#include "input/fit.h"

#include <algorithm>

#include "input/linear_light.h"

namespace brenvik::input {

namespace {

// A filtered sum of linear values back to linear light: the weights' fraction
// bits shifted out, rounded (floor of the half-added value, also below 0).
std::int32_t unweighted(std::int64_t sum) {
    return static_cast<std::int32_t>((sum + (kWeightOne / 2)) >> kWeightBits);
}

// Row y of the picture in linear light, R, G, B per pixel, alpha applied
// over black.
void linear_row(const DecodedPicture& picture, int y, std::vector<std::int32_t>& out) {
    const std::uint8_t* p =
        picture.samples.data() + static_cast<std::size_t>(y) * picture.row_bytes();
    const bool wide = picture.bits == 16;
    const bool alpha = picture.channels == 4;
    const auto& narrow_table = linear_from_8_bits();
    const std::vector<std::int32_t>* wide_table = wide ? &linear_from_16_bits() : nullptr;
    const std::int64_t opaque = wide ? 65535 : 255;
    const std::size_t step = picture.pixel_bytes();
    for (std::size_t x = 0; x < static_cast<std::size_t>(picture.width); ++x, p += step) {
        std::int64_t coverage = opaque;
        if (alpha) coverage = wide ? (p[6] << 8 | p[7]) : p[3];
        for (std::size_t c = 0; c < 3; ++c) {
            std::int64_t value =
                wide ? (*wide_table)[static_cast<std::size_t>(p[2 * c] << 8 | p[2 * c + 1])]
                     : narrow_table[p[c]];
            if (coverage != opaque) value = (value * coverage + opaque / 2) / opaque;
            out[3 * x + c] = static_cast<std::int32_t>(value);
        }
    }
}

}  // namespace

Frame fit_picture(const DecodedPicture& picture, Size target, const FitOptions& options,
                  Placement* placement) {
    const Placement p =
        place_picture({picture.width, picture.height}, target, options.fit, options.gravity);
    if (placement != nullptr) *placement = p;
    Frame frame;
    frame.size = target;
    frame.bgr.assign(static_cast<std::size_t>(target.width) * target.height * 3, 0);

    const FilterTaps columns =
        filter_taps(options.filter, picture.width, p.scaled.width, p.crop_left, p.kept.width);
    const FilterTaps rows =
        filter_taps(options.filter, picture.height, p.scaled.height, p.crop_top, p.kept.height);
    int first_row = picture.height;
    int last_row = -1;
    for (std::size_t r = 0; r < rows.start.size(); ++r) {
        first_row = std::min(first_row, rows.start[r]);
        last_row = std::max(last_row, rows.start[r] + rows.length[r] - 1);
    }
    const auto kept_width = static_cast<std::size_t>(p.kept.width);
    const std::size_t across_row = kept_width * 3;

    // Horizontal pass over the source rows the kept rows read.
    std::vector<std::int32_t> across(static_cast<std::size_t>(last_row - first_row + 1) *
                                     across_row);
    std::vector<std::int32_t> line(static_cast<std::size_t>(picture.width) * 3);
    for (int y = first_row; y <= last_row; ++y) {
        linear_row(picture, y, line);
        std::int32_t* out = across.data() + static_cast<std::size_t>(y - first_row) * across_row;
        for (std::size_t k = 0; k < kept_width; ++k) {
            const std::int32_t* w = columns.weights.data() + columns.offset[k];
            const std::int32_t* in = line.data() + 3 * static_cast<std::size_t>(columns.start[k]);
            std::int64_t sum[3] = {0, 0, 0};
            for (int t = 0; t < columns.length[k]; ++t, in += 3) {
                sum[0] += std::int64_t{w[t]} * in[0];
                sum[1] += std::int64_t{w[t]} * in[1];
                sum[2] += std::int64_t{w[t]} * in[2];
            }
            out[3 * k] = unweighted(sum[0]);
            out[3 * k + 1] = unweighted(sum[1]);
            out[3 * k + 2] = unweighted(sum[2]);
        }
    }

    // Vertical pass, then back to sRGB into the frame (B, G, R, bottom row first).
    std::vector<std::int64_t> sum(across_row);
    const std::size_t frame_row = static_cast<std::size_t>(target.width) * 3;
    for (std::size_t r = 0; r < static_cast<std::size_t>(p.kept.height); ++r) {
        std::fill(sum.begin(), sum.end(), 0);
        const std::int32_t* w = rows.weights.data() + rows.offset[r];
        for (int t = 0; t < rows.length[r]; ++t) {
            const std::int32_t* in =
                across.data() +
                static_cast<std::size_t>(rows.start[r] + t - first_row) * across_row;
            const std::int64_t weight = w[t];
            for (std::size_t i = 0; i < across_row; ++i) sum[i] += weight * in[i];
        }
        const int y = p.pad_top + static_cast<int>(r);
        std::uint8_t* out = frame.bgr.data() +
                            static_cast<std::size_t>(target.height - 1 - y) * frame_row +
                            static_cast<std::size_t>(p.pad_left) * 3;
        for (std::size_t k = 0; k < kept_width; ++k) {
            out[3 * k] = srgb_from_linear(unweighted(sum[3 * k + 2]));
            out[3 * k + 1] = srgb_from_linear(unweighted(sum[3 * k + 1]));
            out[3 * k + 2] = srgb_from_linear(unweighted(sum[3 * k]));
        }
    }
    return frame;
}

std::vector<std::uint8_t> bmp_file(const Frame& frame) {
    const std::size_t row = static_cast<std::size_t>(frame.size.width) * 3;
    const std::size_t padded = (row + 3) / 4 * 4;
    const std::size_t data = padded * static_cast<std::size_t>(frame.size.height);
    std::vector<std::uint8_t> file(54 + data, 0);
    const auto put32 = [&file](std::size_t at, std::uint32_t v) {
        for (std::size_t i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(frame.size.width));
    put32(22, static_cast<std::uint32_t>(frame.size.height));
    file[26] = 1;
    file[28] = 24;
    put32(34, static_cast<std::uint32_t>(data));
    for (std::size_t y = 0; y < static_cast<std::size_t>(frame.size.height); ++y) {
        std::copy_n(frame.bgr.begin() + static_cast<std::ptrdiff_t>(y * row), row,
                    file.begin() + static_cast<std::ptrdiff_t>(54 + y * padded));
    }
    return file;
}

}  // namespace brenvik::input
