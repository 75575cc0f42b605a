// The Zorpa container (.ZRP): a numbered series of mode-2 picture files and
// 8-bit sound, laid out for playback on an STE at 25 frames a second.
//
//   offset                  size    content
//   0                       6       ASCII "STEAV3"
//   6                       4       N, the number of frame records, big-endian
//   10                      246     zero
//   256                     32512   sound pre-roll: 8192 sound bytes, then zeros
//   32768 + 42496 i         42496   frame record i, i = 0..N-1
//
//   frame record: bytes 3360..28639 of the picture file (bitmap lines
//   22..179), bytes 34016..49183 (their 96-byte palette records), then the
//   frame's 2048-byte sound chunk.
//
// Sound bytes are signed (an unsigned WAV sample with its top bit flipped);
// 0x80 is generated silence. 25 chunks carry 25 x 2048 bytes, but the sound
// plays at 50066 bytes a second: before record 21 and every 25th record
// after it the writer moves back 1134 bytes in the WAV, so such a chunk
// begins with the last 1134 bytes of the chunk before it. The last eight
// frames of a series carry silence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "format/picture_file.h"
#include "format/screen_modes.h"

namespace format::container {

inline constexpr char kMagic[] = "STEAV3";
inline constexpr std::size_t kMagicBytes = sizeof kMagic - 1;
inline constexpr std::size_t kHeaderBytes = 256;
inline constexpr std::size_t kCountOffset = 6;
inline constexpr std::size_t kPreRollBytes = 32512;
inline constexpr std::size_t kPreRollSoundBytes = 8192;
inline constexpr std::size_t kFirstRecordOffset = kHeaderBytes + kPreRollBytes;

// Frames are pictures of screen mode 2 with one-line blocks and one palette
// set; a record carries their lines 22..179.
inline constexpr int kFrameMode = 2;
inline constexpr std::size_t kFramePictureBytes =
    picture_file_bytes(kScreenModes[kFrameMode], 1, false);  // 51200
inline constexpr int kFirstWindowLine = 22;                  // 1-based lines of the picture
inline constexpr int kWindowLines = 158;
inline constexpr std::size_t kBitmapWindowBegin =
    line_bytes(kScreenModes[kFrameMode]) * (kFirstWindowLine - 1);  // 3360
inline constexpr std::size_t kBitmapWindowBytes =
    line_bytes(kScreenModes[kFrameMode]) * kWindowLines;  // 25280
inline constexpr std::size_t kPaletteWindowBegin =
    bitmap_bytes(kScreenModes[kFrameMode]) +
    record_bytes(kScreenModes[kFrameMode]) * (kFirstWindowLine - 1);  // 34016
inline constexpr std::size_t kPaletteWindowBytes =
    record_bytes(kScreenModes[kFrameMode]) * kWindowLines;  // 15168
inline constexpr std::size_t kChunkBytes = 2048;
inline constexpr std::size_t kChunkOffset = kBitmapWindowBytes + kPaletteWindowBytes;
inline constexpr std::size_t kRecordBytes = kChunkOffset + kChunkBytes;  // 42496

constexpr std::uint64_t record_offset(std::uint32_t record) {
    return kFirstRecordOffset + static_cast<std::uint64_t>(kRecordBytes) * record;
}
constexpr std::uint64_t container_bytes(std::uint32_t records) {
    return record_offset(records);
}

// Sound.
inline constexpr unsigned char kSilence = 0x80;
inline constexpr unsigned kSoundRate = 50066;  // bytes (samples) a second
inline constexpr unsigned kFramesPerSecond = 25;
inline constexpr std::size_t kMoveBackBytes = 1134;
inline constexpr std::uint32_t kFirstMoveBackRecord = 21;
inline constexpr std::uint32_t kMoveBackPeriod = 25;
static_assert(kMoveBackPeriod * kChunkBytes - kMoveBackBytes == kSoundRate);

// An unsigned 8-bit sample as stored, and back: the top bit flips.
constexpr unsigned char signed_sample(unsigned char wav_sample) {
    return static_cast<unsigned char>(wav_sample + 128u);
}
constexpr unsigned char wav_sample(unsigned char stored) {
    return static_cast<unsigned char>(stored + 128u);
}

// Whether the chunk of record `record` (from 0) starts kMoveBackBytes back:
// its first kMoveBackBytes repeat the end of the chunk before it.
constexpr bool moves_back_before(std::uint32_t record) {
    return record >= kFirstMoveBackRecord && (record - kFirstMoveBackRecord) % kMoveBackPeriod == 0;
}
// Bytes of new sound the chunk of `record` brings.
constexpr std::size_t new_sound_bytes(std::uint32_t record) {
    return kChunkBytes - (moves_back_before(record) ? kMoveBackBytes : 0);
}

// The WAV's read position for a sound offset of V fiftieths of a second
// (unsigned 32-bit arithmetic: one fiftieth is 1001.32 bytes).
inline constexpr std::uint32_t kWavDataStart = 44;
constexpr std::uint32_t sound_start(std::uint32_t offset_fiftieths) {
    return kWavDataStart + static_cast<std::uint32_t>(offset_fiftieths * 25033u) / 25u;
}

// Whether frame `frame` of a series ending at `last` carries silence: the
// last eight frames do (L + 1 - 9 < f in unsigned 32-bit arithmetic, so
// with L < 8 none does).
constexpr bool in_silent_tail(std::uint32_t frame, std::uint32_t last) {
    return static_cast<std::uint32_t>(last + 1u - 9u) < frame;
}

// Frame files: the name of the series' first file ends in a five-digit
// frame number and a four-character extension (ANIM00000.BVK).
inline constexpr std::uint32_t kHighestFrame = 99999;
inline constexpr std::size_t kNumberAndExtension = 9;
inline constexpr std::size_t kExtensionBytes = 4;
inline constexpr char kFallbackExtension[] = ".bvk";

// `stem` (the name without its last nine characters), the frame number in
// five digits, then `extension`.
inline std::string frame_file_name(const std::string& stem, std::uint32_t frame,
                                   const std::string& extension) {
    std::string digits = std::to_string(frame);
    if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
    return stem + digits + extension;
}

}  // namespace format::container
