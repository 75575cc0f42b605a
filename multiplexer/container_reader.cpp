#include "container_reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "format/container.h"
#include "format/wav.h"
#include "platform_files.h"

namespace zorpa {
namespace {

namespace container = format::container;
using container::kSilence;

std::string reason(int error_number) {
    return std::generic_category().message(error_number);
}

std::uint32_t load_big_endian(const unsigned char* bytes) {
    return (static_cast<std::uint32_t>(bytes[0]) << 24) |
           (static_cast<std::uint32_t>(bytes[1]) << 16) |
           (static_cast<std::uint32_t>(bytes[2]) << 8) | static_cast<std::uint32_t>(bytes[3]);
}

CheckResult fault(std::uint64_t offset, const std::string& what, std::uint32_t frames) {
    CheckResult result;
    result.frames = frames;
    result.fault_offset = offset;
    result.message = "fault at byte offset " + std::to_string(offset) + ": " + what;
    return result;
}

// Offset of the first non-zero byte in [begin, begin + size), or -1.
long long first_non_zero(const ByteSource& source, std::uint64_t begin, std::size_t size) {
    std::array<unsigned char, 4096> buffer{};
    for (std::size_t done = 0; done < size;) {
        const std::size_t part = std::min(buffer.size(), size - done);
        if (!source.read_at(begin + done, buffer.data(), part)) {
            return static_cast<long long>(begin + done);
        }
        for (std::size_t i = 0; i < part; ++i) {
            if (buffer[i] != 0) {
                return static_cast<long long>(begin + done + i);
            }
        }
        done += part;
    }
    return -1;
}

}  // namespace

bool MemorySource::read_at(std::uint64_t offset, unsigned char* bytes, std::size_t size) const {
    if (offset > size_ || size > size_ - offset) {
        return false;
    }
    if (size != 0) {
        std::memcpy(bytes, data_ + offset, size);
    }
    return true;
}

FileSource::~FileSource() {
    if (fd_ >= 0) {
        platform::close_file(fd_);
    }
}

bool FileSource::open(const std::string& name) {
    if (fd_ >= 0) {
        platform::close_file(fd_);
        fd_ = -1;
    }
    const auto failed = [&](int error_number) {
        error_ = "cannot read '" + name + "': " + reason(error_number);
        if (fd_ >= 0) {
            platform::close_file(fd_);
            fd_ = -1;
        }
        return false;
    };
    fd_ = platform::open_for_reading(name);
    if (fd_ < 0) {
        return failed(errno);
    }
    if (platform::is_directory(fd_)) {
        return failed(EISDIR);
    }
    const long long end = platform::end_offset(fd_);
    if (end < 0) {
        return failed(errno);
    }
    size_ = static_cast<std::uint64_t>(end);
    return true;
}

bool FileSource::read_at(std::uint64_t offset, unsigned char* bytes, std::size_t size) const {
    if (fd_ < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        const long long got = platform::read_some_at(fd_, bytes + done, size - done, offset + done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

CheckResult check_container(const ByteSource& source) {
    const std::uint64_t size = source.size();
    std::array<unsigned char, container::kHeaderBytes> header{};
    const std::size_t header_part =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, header.size()));
    if (!source.read_at(0, header.data(), header_part)) {
        return fault(0, "cannot read the header", 0);
    }
    for (std::size_t i = 0; i < container::kMagicBytes; ++i) {
        if (i >= header_part) {
            return fault(i, "file ends inside the \"STEAV3\" mark", 0);
        }
        if (header[i] != static_cast<unsigned char>(container::kMagic[i])) {
            return fault(i, "not a Zorpa container (no \"STEAV3\" mark)", 0);
        }
    }
    if (header_part < container::kCountOffset + 4) {
        return fault(header_part, "file ends inside the frame count", 0);
    }
    const std::uint32_t frames = load_big_endian(header.data() + container::kCountOffset);
    for (std::size_t i = container::kCountOffset + 4; i < header_part; ++i) {
        if (header[i] != 0) {
            return fault(i, "header padding is not zero", frames);
        }
    }
    if (size < container::kHeaderBytes) {
        return fault(size, "file ends inside the 256-byte header", frames);
    }
    const std::uint64_t tail_begin = container::kHeaderBytes + container::kPreRollSoundBytes;
    const std::uint64_t tail_end = container::kFirstRecordOffset;
    if (size < tail_begin) {
        return fault(size, "file ends inside the sound pre-roll", frames);
    }
    const std::size_t tail_size =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, tail_end) - tail_begin);
    const long long non_zero = first_non_zero(source, tail_begin, tail_size);
    if (non_zero >= 0) {
        return fault(static_cast<std::uint64_t>(non_zero), "pre-roll padding is not zero", frames);
    }
    if (size < tail_end) {
        return fault(size, "file ends inside the sound pre-roll", frames);
    }
    const std::uint64_t expected = container::container_bytes(frames);
    if (size < expected) {
        const std::uint64_t complete =
            (size - container::kFirstRecordOffset) / container::kRecordBytes;
        return fault(
            size,
            "truncated: the header announces " + std::to_string(frames) +
                " frames, the file ends inside frame record " + std::to_string(complete) +
                " (which starts at byte " +
                std::to_string(container::record_offset(static_cast<std::uint32_t>(complete))) +
                ")",
            frames);
    }
    if (size > expected) {
        return fault(expected,
                     std::to_string(size - expected) + " bytes past the last of the " +
                         std::to_string(frames) + " frame records",
                     frames);
    }
    CheckResult result;
    result.ok = true;
    result.frames = frames;
    return result;
}

bool extract_frame(const ByteSource& source, std::uint32_t index,
                   std::vector<unsigned char>& picture) {
    picture.assign(container::kFramePictureBytes, 0);
    const std::uint64_t record = container::record_offset(index);
    return source.read_at(record, picture.data() + container::kBitmapWindowBegin,
                          container::kBitmapWindowBytes) &&
           source.read_at(record + container::kBitmapWindowBytes,
                          picture.data() + container::kPaletteWindowBegin,
                          container::kPaletteWindowBytes);
}

bool extract_sound(const ByteSource& source, std::uint32_t frames,
                   std::vector<unsigned char>& samples) {
    samples.assign(container::kPreRollSoundBytes, 0);
    if (!source.read_at(container::kHeaderBytes, samples.data(), container::kPreRollSoundBytes)) {
        samples.clear();
        return false;
    }
    const auto generated_silence = [](auto begin, auto end) {
        return std::all_of(begin, end, [](unsigned char b) { return b == kSilence; });
    };
    // A container packed without sound has a pre-roll of generated silence.
    if (generated_silence(samples.begin(), samples.end())) {
        samples.clear();
        return true;
    }
    std::array<unsigned char, container::kChunkBytes> chunk{};
    for (std::uint32_t k = 0; k < frames; ++k) {
        const std::uint64_t at = container::record_offset(k) + container::kChunkOffset;
        if (!source.read_at(at, chunk.data(), chunk.size())) {
            return false;
        }
        if (generated_silence(chunk.begin(), chunk.end())) break;
        // A chunk that moved back repeats the end of the one before: its new
        // sound is its tail.
        samples.insert(samples.end(),
                       chunk.end() - static_cast<std::ptrdiff_t>(container::new_sound_bytes(k)),
                       chunk.end());
    }
    // Back from signed to unsigned: the top bit flips again.
    for (unsigned char& b : samples) {
        b = container::wav_sample(b);
    }
    return true;
}

std::vector<unsigned char> wav_file(const std::vector<unsigned char>& samples) {
    const auto header =
        format::wav_header(static_cast<std::uint32_t>(samples.size()), container::kSoundRate);
    std::vector<unsigned char> wav(header.size() + samples.size());
    std::copy(header.begin(), header.end(), wav.begin());
    std::copy(samples.begin(), samples.end(),
              wav.begin() + static_cast<std::ptrdiff_t>(header.size()));
    return wav;
}

}  // namespace zorpa
