// Picture files as the STE shows them: the bitplanes give each pixel's
// register, the palette records give the colours loaded into the registers
// along the line (the mode's schedule), one record per block of lines, and
// the two-palette files carry a second set of one record per line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/container.h"
#include "viewer/image.h"

namespace brenvik::viewer {

// What a picture file's bytes are laid out as. Values as the encoder's options.
struct FileLayout {
    int mode = 0;          // --mode row, 0..4
    int blockoflines = 1;  // lines per palette record, 1..6
    bool two_palettes = false;

    bool operator==(const FileLayout&) const = default;
};

// The layout of a container's frames (format/container.h).
inline FileLayout container_frame_layout() {
    return {format::container::kFrameMode, 1, false};
}

// Constraints from the command line; -1 where not given.
struct LayoutChoice {
    int mode = -1;
    int blockoflines = -1;
    int pixpal = -1;
};

// Size in bytes of a picture file of that layout.
std::size_t file_size(const FileLayout& layout);

// Every layout of that size that the choice allows. Layouts that render the
// same (mode 4 has no palette records) count once.
std::vector<FileLayout> layouts_of_size(std::size_t size, const LayoutChoice& choice);

// How the colours are shown: the register's levels times the level step (17
// as the STE's 4-bit levels span 0..255; 16 for pictures encoded on a
// 16-step grid), and the horizontal shift of modes 1..3 (--shiftpixels, 0..9).
struct RenderSettings {
    int level_step = 17;
    int shiftpixels = 5;
};

// The picture with the first palette set and, for two-palette files, with
// the second set and the average of the two (the picture the eye sees when
// the STE alternates them).
struct Rendering {
    Image first;
    Image second;
    Image seen;  // the average, or a copy of `first` for one-palette files
};

// Renders `bytes` (exactly file_size(layout) bytes).
Rendering render_picture(const std::vector<std::uint8_t>& bytes, const FileLayout& layout,
                         const RenderSettings& settings);

// "--mode=0 --blockoflines=1 --pixpal=1" for messages.
std::string describe(const FileLayout& layout);

}  // namespace brenvik::viewer
