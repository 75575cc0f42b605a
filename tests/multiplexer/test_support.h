// Generated fixtures for the container writer tests: picture series, WAVs
// whose bytes identify their position, and a view of a written container.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "format/container.h"
#include "format/wav.h"
#include "tests/common/files.h"

namespace zorpa_test {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

constexpr std::size_t kHeaderSize = format::container::kHeaderBytes;
constexpr std::size_t kPreRollSize = format::container::kPreRollBytes;
constexpr std::size_t kRecordSize = format::container::kRecordBytes;
constexpr std::size_t kChunkSize = format::container::kChunkBytes;
constexpr std::size_t kPictureSize = format::container::kFramePictureBytes;
constexpr std::size_t kWavHeaderSize = format::kWavHeaderBytes;

constexpr std::uint64_t container_size(std::uint32_t frames) {
    return format::container::container_bytes(frames);
}

using testsupport::read_file;
using testsupport::TempDir;
using testsupport::write_file;

// A byte that depends on position and salt with no short period, so a
// slice found at the wrong offset never matches by accident.
unsigned char position_byte(std::uint64_t position, std::uint32_t salt);

// Picture file content of a frame: size bytes, distinct for every frame.
Bytes picture_bytes(std::uint32_t frame, std::size_t size = kPictureSize);

// Frame file name: stem + five-digit frame number + extension.
std::string frame_name(const std::string& stem, std::uint32_t frame, const std::string& extension);

// Writes the picture files first..last of a series.
void write_series(const std::string& stem, std::uint32_t first, std::uint32_t last,
                  const std::string& extension, std::size_t size = kPictureSize);

// A WAV file: a 44-byte header, then data_size bytes; byte p of the file is
// position_byte(p, 0), so a chunk tells which file offset it came from.
Bytes wav_bytes(std::size_t data_size);

// Sound bytes as the container holds them: file bytes begin..begin+size
// with the top bit flipped.
Bytes converted_sound(const Bytes& wav, std::size_t begin, std::size_t size);

// The record a picture file yields: bytes 3360..28639 and 34016..49183
// (zero past the file's end), then the given sound chunk.
Bytes expected_record(const Bytes& picture, const Bytes& chunk);

Bytes silence(std::size_t size = kChunkSize);

// Equality of byte strings that reports sizes and the first difference
// instead of printing both strings.
::testing::AssertionResult same_bytes(const Bytes& actual, const Bytes& expected);

// Slices of a container file.
struct Container {
    Bytes bytes;

    explicit Container(const fs::path& path) : bytes(read_file(path)) {}
    Bytes slice(std::size_t begin, std::size_t size) const;
    Bytes count_bytes() const { return slice(6, 4); }
    Bytes pre_roll() const { return slice(kHeaderSize, kPreRollSize); }
    Bytes record(std::size_t index) const {
        return slice(kHeaderSize + kPreRollSize + kRecordSize * index, kRecordSize);
    }
    Bytes chunk(std::size_t index) const {
        return slice(kHeaderSize + kPreRollSize + kRecordSize * index + kRecordSize - kChunkSize,
                     kChunkSize);
    }
};

}  // namespace zorpa_test
