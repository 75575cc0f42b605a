// What ffmpeg is asked to do: find out whether the input has sound and the
// size its pictures are shown at, then cut it into 25 frames a second as
// 320x200 BMPs (the picture placed in the container's window, black
// around it) and its sound into unsigned 8-bit mono samples at 50066 Hz.
//
// The placement in the window is the one `brenvik --fit` uses
// (input/placement.h), written out as ffmpeg filter arguments.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "input/placement.h"

namespace brenvik::video {

struct ExtractionSettings {
    std::string ffmpeg;  // the program
    std::string input;   // as ffmpeg takes it
    std::string start;   // ffmpeg times; "" when not given
    std::string duration;
    std::string input_rate;
    input::Fit fit = input::Fit::pad;
};

// The window the frames are placed in, and the frames' size.
inline constexpr input::Size kWindow{320, 158};
inline constexpr input::Size kFrame{320, 200};
// The most frames a run takes.
inline constexpr int kMostFrames = 100000;

// Names of the files ffmpeg writes in the work folder (its working folder).
inline constexpr const char* kFramePattern = "frame%05d.bmp";
inline constexpr const char* kRawSound = "sound.raw";
inline constexpr const char* kSound = "sound.wav";
inline constexpr const char* kSizeProbe = ".brenvik-video-size.bmp";
inline constexpr const char* kLog = "ffmpeg.log";

// ffmpeg's arguments (the program first). The sound probe ends with status
// 0 exactly when the input has a sound stream.
std::vector<std::string> sound_probe_arguments(const ExtractionSettings& settings);
// The first picture, its pixels made square as the frames' are, written as
// kSizeProbe: its size is the size the input is shown at.
std::vector<std::string> size_probe_arguments(const ExtractionSettings& settings);
std::vector<std::string> extraction_arguments(const ExtractionSettings& settings, input::Size shown,
                                              bool sound);

// The frames' filter for an input shown at `shown`: pixels made square,
// 25 frames a second, the picture placed in the window, the window in the
// frame.
std::string frame_filter(input::Size shown, input::Fit fit);

// The width and height of a BMP file's picture; false when it is not one.
bool bmp_size(const std::string& name, input::Size& size);

// sound.wav made of the raw samples behind a 44-byte WAV header; the raw
// file removed. False with the message when it cannot.
bool make_wav(const std::string& raw_name, const std::string& wav_name, std::string& error);

// The frames ffmpeg wrote into `folder` (frame?????.bmp).
std::size_t count_frames(const std::string& folder);

// "frame00012" for 12.
std::string frame_stem(std::size_t index);

}  // namespace brenvik::video
