// Picture files (.bVK) and the names of the files an encoding writes.
//
//   bitmap            height lines of width / 16 groups; a group is four
//                     big-endian words (planes 0..3), leftmost pixel in bit 15
//   first palette set one record per block of lines (block_geometry.h)
//   second set        with --pixpal=2 or 3: one record per line
//   record            record_words(mode) big-endian palette words
//                     (ste_palette.h); word j is slot j + 2 (screen_modes.h)
//
// No header and no trailer: nothing in the file records the mode, the block
// height or the palette setting. For an input DIR/pic.ext the encoder
// writes DIR/pic.bVK, its error-diffused twin DIR/Fpic.bVK (F before the
// last path component), DIR/picF2.bVK (--pixpal=3) and the previews; a
// companion DIR/pic_bis.bmp supplies the second target colours.
#pragma once

#include <cstddef>
#include <string>

#include "format/block_geometry.h"
#include "format/screen_modes.h"

namespace format {

inline constexpr int kPixelsPerGroup = 16;
inline constexpr int kBytesPerGroup = 8;

constexpr std::size_t line_bytes(const ScreenMode& mode) {
    return static_cast<std::size_t>(mode.width) / 2;
}
constexpr std::size_t bitmap_bytes(const ScreenMode& mode) {
    return line_bytes(mode) * static_cast<std::size_t>(mode.height);
}
constexpr std::size_t record_bytes(const ScreenMode& mode) {
    return 2 * static_cast<std::size_t>(record_words(mode));
}
// Records of the first palette set.
constexpr int first_set_records(const ScreenMode& mode, int block_lines_option) {
    return block_count(block_geometry(block_lines_option), mode.height);
}
constexpr std::size_t second_set_offset(const ScreenMode& mode, int block_lines_option) {
    return bitmap_bytes(mode) + record_bytes(mode) * static_cast<std::size_t>(first_set_records(
                                                         mode, block_lines_option));
}
constexpr std::size_t picture_file_bytes(const ScreenMode& mode, int block_lines_option,
                                         bool two_palettes) {
    return second_set_offset(mode, block_lines_option) +
           (two_palettes ? record_bytes(mode) * static_cast<std::size_t>(mode.height) : 0);
}

// Index where the last path component starts (after the last '/' or '\').
inline std::size_t last_component_start(const std::string& name) {
    const std::size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}
// The name without its extension: only a '.' in the last path component
// starts one, so "old.dir/photo" has none.
inline std::string strip_extension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < last_component_start(name)) return name;
    return name.substr(0, dot);
}
inline std::string replace_extension(const std::string& name, const std::string& suffix) {
    return strip_extension(name) + suffix;
}
inline std::string prefix_last_component(const std::string& name, const std::string& prefix) {
    const std::size_t start = last_component_start(name);
    return name.substr(0, start) + prefix + name.substr(start);
}

inline constexpr char kPictureExtension[] = ".bVK";
inline constexpr char kTwinPrefix[] = "F";

// The files written for the input name `input`.
struct OutputNames {
    std::string picture;                  // base.bVK
    std::string diffused;                 // Fbase.bVK
    std::string diffused_bitmap;          // baseF2.bVK
    std::string preview;                  // base_preview.bmp
    std::string second_preview;           // base_preview2.bmp
    std::string diffused_preview;         // Fbase_preview.bmp
    std::string diffused_second_preview;  // base_previewF2.bmp
    std::string fitted_source;            // base_source.bmp (brenvik --fit)
};
inline OutputNames output_names(const std::string& input) {
    const std::string base = strip_extension(input);
    const std::string twin = prefix_last_component(base, kTwinPrefix);
    return {base + kPictureExtension, twin + kPictureExtension, base + "F2" + kPictureExtension,
            base + "_preview.bmp",    base + "_preview2.bmp",   twin + "_preview.bmp",
            base + "_previewF2.bmp",  base + "_source.bmp"};
}

// The companion picture of `input`: its extension replaced by "_bis.bmp"
// (appended when it has none).
inline std::string companion_name(const std::string& input) {
    return replace_extension(input, "_bis.bmp");
}

}  // namespace format
