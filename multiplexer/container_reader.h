// Zorpa container reader: the inverse of the container writer. Lists the
// frame records, rebuilds a frame's picture file, recovers the sound as the
// writer took it from its WAV, and checks a container's structure.
//
// Everything reads through a ByteSource, so the same code serves files on
// disk (read piece by piece, never whole) and bytes in memory (tests, fuzzing).
// The layout is format/container.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorpa {

// Random access to the container's bytes.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly size bytes at offset; false when they are not all there
    // or the read fails.
    virtual bool read_at(std::uint64_t offset, unsigned char* bytes, std::size_t size) const = 0;
};

class MemorySource : public ByteSource {
  public:
    MemorySource(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool read_at(std::uint64_t offset, unsigned char* bytes, std::size_t size) const override;

  private:
    const unsigned char* data_;
    std::size_t size_;
};

class FileSource : public ByteSource {
  public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // False, with error() naming the file, when it cannot be opened for
    // reading (a directory counts as such).
    bool open(const std::string& name);
    std::uint64_t size() const override { return size_; }
    bool read_at(std::uint64_t offset, unsigned char* bytes, std::size_t size) const override;
    const std::string& error() const { return error_; }

  private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::string error_;
};

struct CheckResult {
    bool ok = false;
    std::uint32_t frames = 0;        // frame count announced by the header
    std::uint64_t fault_offset = 0;  // first byte found wrong when !ok
    std::string message;             // names fault_offset when !ok
};

// Checks the header (magic, zero padding), the pre-roll's zero tail and that
// the size is exactly header + pre-roll + one record per announced frame.
CheckResult check_container(const ByteSource& source);

// Frame `index` as a 51200-byte picture file: the record's two windows at
// their places, every other byte zero. False when the record is not all there.
bool extract_frame(const ByteSource& source, std::uint32_t index,
                   std::vector<unsigned char>& picture);

// The unsigned 8-bit samples the writer took from its WAV: the pre-roll's
// 8192, then every frame's chunk (the 1134 bytes a move back repeats only
// once), up to the first chunk of generated silence (all bytes 0x80); none
// at all for a container packed without sound (a silent pre-roll).
// `frames` records are read; false when one of them is not all there.
bool extract_sound(const ByteSource& source, std::uint32_t frames,
                   std::vector<unsigned char>& samples);

// A canonical WAV file (44-byte header, PCM, mono, 8 bits, 50066 Hz) of the samples.
std::vector<unsigned char> wav_file(const std::vector<unsigned char>& samples);

}  // namespace zorpa
