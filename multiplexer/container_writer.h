// Zorpa container writer: packs a numbered series of encoded picture files
// and an optional 8-bit WAV into one ".ZRP" container for STE playback.
//
// Shared by the command-line front end (zorpamux-cli) and the Qt dialog
// (zorpamux). Touches nothing but files and the progress callbacks, and
// prints nothing: the result says what happened. The layout it writes is
// format/container.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zorpa {

// Progress notifications, in the order the writer sends them:
// set_range(0, N / 80), set_position(0), then step() as frames are written.
// Any of them may be left empty.
struct Progress {
    std::function<void(std::uint32_t low, std::uint32_t high)> set_range;
    std::function<void(std::uint32_t position)> set_position;
    std::function<void()> step;
};

struct ContainerRequest {
    std::string picture_name;        // first picture file of the series, e.g. films/ANIM00000.BVK
    std::string sound_name;          // WAV file; empty = no sound
    std::uint32_t start_frame = 0;   // S
    std::uint32_t last_frame = 0;    // L
    std::uint32_t sound_offset = 0;  // V, in fiftieths of a second
    std::string container_name;      // output file
};

struct ContainerResult {
    bool ok = false;
    std::string message;               // human-readable reason when !ok (empty on success)
    std::uint32_t frames_written = 0;  // frame records in the container
    bool container_kept = false;       // a (possibly shortened) container was left on disk
    // The frame whose file could not be opened, when that ended the series
    // (the container is then kept with the frames before it).
    std::optional<std::uint32_t> missing_frame;
};

ContainerResult write_container(const ContainerRequest& request, const Progress& progress = {});

}  // namespace zorpa
