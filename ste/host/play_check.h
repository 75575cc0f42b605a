// Checks an emulator's recording of the container player: which picture of
// the container every recorded frame shows, and whether the recorded sound
// is the container's sound stream, played in step with the pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ste {

// How the recorded frames showed the pictures 0..pictures-1 (picture 0 is
// the first one played).
struct Showing {
    int pictures = 0;
    int shown = 0;     // pictures seen in at least one frame
    int dropped = 0;   // pictures never seen
    int repeated = 0;  // frames beyond two of a picture, or showing an earlier picture again
    int once = 0;      // pictures seen in one frame only
    int wrong = 0;     // frames between the first and the last picture that show none of them
    std::vector<int> first_frame;  // per picture: the first frame showing it, or -1
    std::vector<int> frames;       // per picture: frames showing it
    // Every picture in exactly two frames, in order, nothing else between.
    bool every_picture_twice() const {
        return pictures > 0 && shown == pictures && dropped == 0 && repeated == 0 && once == 0 &&
               wrong == 0;
    }
};

// Follows the pictures through the recorded frames. candidates[k] lists the
// pictures recorded frame k is identical to (several when pictures repeat
// each other; none for any other frame). A picture held for two frames
// gives way to the next one that matches.
Showing follow_pictures(const std::vector<std::vector<int>>& candidates, int pictures);

// The recorded sound against the stream it should be, both as signed
// samples at the same rate. The stream's start (two windows) is placed where
// it matches the recording best, its first sample within `range` of
// recording sample `expected`; then the stream is cut into windows, each
// placed where it
// matches best within `search` samples of the window before (the two clocks
// may differ a little, and the player corrects the difference in steps of
// two samples). The windows' places give the ratio of the clocks; the
// stream stretched by it is placed again. A recording of the opposite sign (an inverting output
// stage) counts as the same sound.
struct SoundAlignment {
    bool found = false;
    bool inverted = false;         // the recording is the stream with the opposite sign
    double correlation = 0;        // Pearson, all windows at their places (sign undone)
    int window = 0;                // stream samples per window
    double stretch = 1;            // recording samples per stream sample
    std::vector<long> offsets;     // per window (of the stretched stream): its recording sample
    std::vector<double> energies;  // per window: the sum of its squared samples
    // Recording sample at which stream sample `s` plays.
    double recording_position(double s) const;
};
SoundAlignment align_sound(const std::vector<float>& stream, const std::vector<float>& recording,
                           long expected, long range, int window = 8192, int search = 96);

// 64-bit FNV-1a of a block of bytes (frame identity).
std::uint64_t frame_hash(const std::uint8_t* bytes, std::size_t size);

struct PlayCheckOptions {
    std::string container;
    std::string colours;  // the emulator's colour table (ste/hatari-colours.csv)
    std::string video;    // raw RGB frames, 320 x 200 x 3 bytes each ("-": standard input)
    // Per recorded frame: the recording's sample where the 50 Hz period it
    // shows starts (the emulator writes each period's picture and sound together).
    std::string frame_starts;
    std::string sound;  // recording: signed 16-bit little-endian mono samples
    int sound_rate = 50066;
    long first = 0;  // frames of the container played
    long last = -1;  // -1: to the last
};

// Runs the whole check, prints its findings and the closing line
// "frames=N shown=N dropped=D repeated=R sound_corr=C sync_ms=S".
// Returns 0 when every picture was shown twice in order, C >= 0.95 and
// |S| <= 20; 1 otherwise (or when an input cannot be read).
int play_check(const PlayCheckOptions& options);

}  // namespace ste
