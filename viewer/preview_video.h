// zorpa-preview's run: every frame of a Zorpa container rendered by the
// viewer and piped to ffmpeg with the container's sound, giving a video that
// plays as the STE plays the container (25 frames per second).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "container_reader.h"
#include "format/container.h"
#include "viewer/image.h"

namespace brenvik::viewer {

// The preview plays the container's frames at the rate the STE shows them.
inline constexpr int kPreviewFramesPerSecond = format::container::kFramesPerSecond;

// Frame `index` of the container as the STE shows it: the mode-2 picture
// the record's window makes, lines outside it black. False when the record
// is not all there.
bool render_container_frame(const zorpa::ByteSource& source, std::uint32_t index, Image& image);

// The sound to play beside the frames: the samples the writer packed, or,
// for a container without sound (a pre-roll of generated silence and no
// chunk), the same length of unsigned silence (0x80).
std::vector<unsigned char> preview_sound(const zorpa::ByteSource& source, std::uint32_t frames);

// The help text.
std::string preview_usage_text();

// Runs zorpa-preview on `args` (args[0] is the invocation name). Returns the
// process exit status (0, or 1 on any failure).
int run_preview(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace brenvik::viewer
