// Where a picture of any size goes in a frame of another size: the scaled
// size, the part of the scaled picture that is kept and where it lands.
//
// The rules are those of ffmpeg's own fitting filters, and brenvik-video
// hands ffmpeg this placement (ffmpeg_filter), so a still and a video frame
// of the same source are placed alike:
//   pad      scale=W:H:force_original_aspect_ratio=decrease, pad=W:H:(ow-iw)/2:(oh-ih)/2
//   crop     scale=W:H:force_original_aspect_ratio=increase, crop=W:H (centred)
//   stretch  scale=W:H
// force_original_aspect_ratio computes the other side as round(a * b / c),
// halves away from zero; pad's offsets are truncated; crop's centring offset
// is rounded to the nearest integer, halves to even. A gravity other than
// the centre moves the kept part (crop) or the picture (pad) to that side.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brenvik::input {

enum class Fit { pad, crop, stretch };

enum class Gravity {
    centre,
    top,
    bottom,
    left,
    right,
    top_left,
    top_right,
    bottom_left,
    bottom_right,
};

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

struct Placement {
    Size scaled;        // the whole picture is resampled to this size
    int crop_left = 0;  // the kept part of the scaled picture: its top left corner...
    int crop_top = 0;
    Size kept;         // ...and its size (the whole scaled picture unless cropped)
    int pad_left = 0;  // where the kept part's top left corner lands in the frame
    int pad_top = 0;   // (the rest of the frame is black)
    bool operator==(const Placement&) const = default;
};

// The placement of a `source` picture in a `target` frame. Both sizes must
// be at least 1x1; the scaled size is at least 1x1 too.
Placement place_picture(Size source, Size target, Fit fit, Gravity gravity);

// The same placement as ffmpeg filter arguments with the numbers written
// out: scale, then crop and pad (each a no-op where nothing is cut or
// added), for example "scale=427:320:flags=lanczos,format=bgr24,
// crop=320:200:53:60,pad=320:200:0:0:black".
std::string ffmpeg_filter(const Placement& placement, Size target);

// Names as the command line takes them: "pad", "crop", "stretch"; "centre"
// (or "center"), "top", "bottom", "left", "right", "top-left", "top-right",
// "bottom-left", "bottom-right".
std::optional<Fit> fit_from_name(std::string_view name);
std::optional<Gravity> gravity_from_name(std::string_view name);
const char* fit_name(Fit fit);
const char* gravity_name(Gravity gravity);

}  // namespace brenvik::input
