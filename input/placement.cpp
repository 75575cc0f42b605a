#include "input/placement.h"

#include <algorithm>
#include <cstdint>

namespace brenvik::input {

namespace {

// a * b / c rounded to the nearest integer, halves away from zero (ffmpeg's
// av_rescale), for non-negative a, b and positive c.
std::int64_t rescale(std::int64_t a, std::int64_t b, std::int64_t c) {
    return (a * b + c / 2) / c;
}

int clamp_size(std::int64_t value) {
    // ffmpeg turns a side that rounds to 0 into 1; the upper bound only
    // keeps absurd aspect ratios within an int.
    return static_cast<int>(std::clamp<std::int64_t>(value, 1, 1 << 30));
}

// Offset of a part of length `part` in a length `whole` for one axis:
// -1 puts it at the start, 1 at the end, 0 in the middle.
int pad_offset(int whole, int part, int side) {
    if (side < 0) return 0;
    if (side > 0) return whole - part;
    return (whole - part) / 2;  // truncated, as pad's (ow-iw)/2
}

int crop_offset(int whole, int part, int side) {
    if (side < 0) return 0;
    const int excess = whole - part;
    if (side > 0) return excess;
    // excess / 2 rounded to the nearest integer, halves to even (crop's lrint).
    const int half = excess / 2;
    if (excess % 2 == 0) return half;
    return half % 2 == 0 ? half : half + 1;
}

int horizontal_side(Gravity g) {
    switch (g) {
        case Gravity::left:
        case Gravity::top_left:
        case Gravity::bottom_left:
            return -1;
        case Gravity::right:
        case Gravity::top_right:
        case Gravity::bottom_right:
            return 1;
        default:
            return 0;
    }
}

int vertical_side(Gravity g) {
    switch (g) {
        case Gravity::top:
        case Gravity::top_left:
        case Gravity::top_right:
            return -1;
        case Gravity::bottom:
        case Gravity::bottom_left:
        case Gravity::bottom_right:
            return 1;
        default:
            return 0;
    }
}

struct GravityName {
    const char* name;
    Gravity gravity;
};

constexpr GravityName kGravityNames[] = {
    {"centre", Gravity::centre},
    {"center", Gravity::centre},
    {"top", Gravity::top},
    {"bottom", Gravity::bottom},
    {"left", Gravity::left},
    {"right", Gravity::right},
    {"top-left", Gravity::top_left},
    {"top-right", Gravity::top_right},
    {"bottom-left", Gravity::bottom_left},
    {"bottom-right", Gravity::bottom_right},
};

}  // namespace

Placement place_picture(Size source, Size target, Fit fit, Gravity gravity) {
    Placement p;
    const std::int64_t tmp_width = rescale(target.height, source.width, source.height);
    const std::int64_t tmp_height = rescale(target.width, source.height, source.width);
    switch (fit) {
        case Fit::pad:
            p.scaled = {clamp_size(std::min<std::int64_t>(tmp_width, target.width)),
                        clamp_size(std::min<std::int64_t>(tmp_height, target.height))};
            break;
        case Fit::crop:
            p.scaled = {clamp_size(std::max<std::int64_t>(tmp_width, target.width)),
                        clamp_size(std::max<std::int64_t>(tmp_height, target.height))};
            break;
        case Fit::stretch:
            p.scaled = target;
            break;
    }
    const int h = horizontal_side(gravity);
    const int v = vertical_side(gravity);
    if (fit == Fit::crop) {
        p.kept = target;
        p.crop_left = crop_offset(p.scaled.width, target.width, h);
        p.crop_top = crop_offset(p.scaled.height, target.height, v);
    } else {
        p.kept = p.scaled;
        p.pad_left = pad_offset(target.width, p.scaled.width, h);
        p.pad_top = pad_offset(target.height, p.scaled.height, v);
    }
    return p;
}

std::string ffmpeg_filter(const Placement& p, Size target) {
    const auto n = [](int v) { return std::to_string(v); };
    return "scale=" + n(p.scaled.width) + ":" + n(p.scaled.height) +
           ":flags=lanczos,format=bgr24,crop=" + n(p.kept.width) + ":" + n(p.kept.height) + ":" +
           n(p.crop_left) + ":" + n(p.crop_top) + ",pad=" + n(target.width) + ":" +
           n(target.height) + ":" + n(p.pad_left) + ":" + n(p.pad_top) + ":black";
}

std::optional<Fit> fit_from_name(std::string_view name) {
    if (name == "pad") return Fit::pad;
    if (name == "crop") return Fit::crop;
    if (name == "stretch") return Fit::stretch;
    return std::nullopt;
}

std::optional<Gravity> gravity_from_name(std::string_view name) {
    for (const GravityName& g : kGravityNames) {
        if (name == g.name) return g.gravity;
    }
    return std::nullopt;
}

const char* fit_name(Fit fit) {
    switch (fit) {
        case Fit::pad:
            return "pad";
        case Fit::crop:
            return "crop";
        case Fit::stretch:
            return "stretch";
    }
    return "";
}

const char* gravity_name(Gravity gravity) {
    for (const GravityName& g : kGravityNames) {
        if (g.gravity == gravity) return g.name;  // "centre" comes before "center"
    }
    return "";
}

}  // namespace brenvik::input
