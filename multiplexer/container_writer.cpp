#include "container_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>

#include "atomic_output_file.h"
#include "platform_files.h"

namespace zorpa {
namespace {

constexpr std::size_t kHeaderSize = 256;
constexpr char kMagic[] = "STEAV3";
constexpr std::size_t kCountOffset = 6;
constexpr std::size_t kPreRollSize = 32512;
constexpr std::size_t kPreRollSoundSize = 8192;

constexpr std::size_t kPictureReadSize = 51200;
constexpr std::size_t kFirstRangeBegin = 3360;
constexpr std::size_t kFirstRangeSize = 28640 - kFirstRangeBegin;
constexpr std::size_t kSecondRangeBegin = 34016;
constexpr std::size_t kSecondRangeSize = 49184 - kSecondRangeBegin;

constexpr std::size_t kChunkSize = 2048;
constexpr unsigned char kSilence = 0x80;
constexpr std::uint32_t kSoundDataStart = 44;
constexpr std::uint32_t kBytesPerOffsetNumerator = 25033;
constexpr std::uint32_t kBytesPerOffsetDenominator = 25;
constexpr std::uint32_t kChunkCounterStart = 8;
constexpr std::uint32_t kChunkCounterStep = 2;
constexpr std::uint32_t kChunkCounterLimit = 50;
constexpr std::uint64_t kMoveBack = 1134;
constexpr std::uint32_t kSilentTailFrames = 9;  // L + 1 - 9 < f: the last eight frames

constexpr std::uint32_t kProgressFrames = 80;
constexpr std::uint32_t kHighestFrame = 99999;
constexpr std::size_t kNumberAndExtension = 9;  // five digits and ".BVK"
constexpr std::size_t kExtensionSize = 4;
constexpr char kFallbackExtension[] = ".bvk";

std::string in_quotes(const std::string& name) {
    return "'" + name + "'";
}

std::string reason(int error_number) {
    return std::generic_category().message(error_number);
}

// Unsigned 8-bit samples become signed ones: the top bit flips.
void convert_sound(unsigned char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(bytes[i] + 128u);
    }
}

class InputFile {
  public:
    InputFile() = default;
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // A directory counts as a file that cannot be opened (as it does where
    // fopen refuses directories), so it never turns into a read error later.
    bool open(const std::string& name) {
        close();
        fd_ = platform::open_for_reading(name);
        if (fd_ < 0) {
            error_ = errno;
            return false;
        }
        if (platform::is_directory(fd_)) {
            error_ = EISDIR;
            close();
            return false;
        }
        return true;
    }

    void close() {
        if (fd_ >= 0) {
            platform::close_file(fd_);
            fd_ = -1;
        }
    }

    // Size as the offset of the file's end.
    bool size(std::uint64_t& size) {
        const long long end = platform::end_offset(fd_);
        if (end < 0) {
            error_ = errno;
            return false;
        }
        size = static_cast<std::uint64_t>(end);
        return true;
    }

    // Reads up to size bytes at offset, fewer only at the end of the file.
    // Returns the count read, or -1 on a read error.
    long long read_at(std::uint64_t offset, unsigned char* bytes, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            const long long got =
                platform::read_some_at(fd_, bytes + done, size - done, offset + done);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error_ = errno;
                return -1;
            }
            if (got == 0) {
                break;
            }
            done += static_cast<std::size_t>(got);
        }
        return static_cast<long long>(done);
    }

    int error() const { return error_; }

  private:
    int fd_ = -1;
    int error_ = 0;
};

std::string frame_number_text(std::uint32_t frame) {
    std::string digits = std::to_string(frame);
    if (digits.size() < 5) {
        digits.insert(0, 5 - digits.size(), '0');
    }
    return digits;
}

void store_big_endian(unsigned char* bytes, std::uint32_t value) {
    bytes[0] = static_cast<unsigned char>(value >> 24);
    bytes[1] = static_cast<unsigned char>(value >> 16);
    bytes[2] = static_cast<unsigned char>(value >> 8);
    bytes[3] = static_cast<unsigned char>(value);
}

ContainerResult refused(std::string message) {
    ContainerResult result;
    result.message = std::move(message);
    return result;
}

}  // namespace

ContainerResult write_container(const ContainerRequest& request, const Progress& progress) {
    const std::uint32_t first = request.start_frame;
    const std::uint32_t last = request.last_frame;

    // Everything that can be refused is refused before the container exists.
    if (request.picture_name.empty()) {
        return refused("no picture file given");
    }
    if (request.picture_name.size() < kNumberAndExtension) {
        return refused("picture name " + in_quotes(request.picture_name) +
                       " is too short: it must end in a five-digit frame number and a "
                       "four-character extension");
    }
    if (last > kHighestFrame) {
        return refused("last frame " + std::to_string(last) + " is above " +
                       std::to_string(kHighestFrame));
    }
    if (first > last + 1) {
        return refused("start frame " + std::to_string(first) + " is above last frame " +
                       std::to_string(last) + " plus one");
    }
    if (request.container_name.empty()) {
        return refused("no container file given");
    }

    const bool with_sound = !request.sound_name.empty();
    InputFile sound;
    std::uint64_t sound_size = 0;
    if (with_sound) {
        if (!sound.open(request.sound_name) || !sound.size(sound_size)) {
            return refused("cannot open sound file " + in_quotes(request.sound_name) + ": " +
                           reason(sound.error()));
        }
    }

    fileout::AtomicOutputFile container(request.container_name);
    if (!container.open()) {
        return refused(container.error());
    }

    ContainerResult result;
    const auto write_failed = [&]() {
        container.discard();
        result.ok = false;
        result.container_kept = false;
        result.message = container.error();
        return result;
    };
    const auto read_failed = [&](const std::string& what, const std::string& name, int error) {
        container.discard();
        result.ok = false;
        result.container_kept = false;
        result.message = "cannot read " + what + " " + in_quotes(name) + ": " + reason(error);
        return result;
    };

    const std::uint32_t frame_count = last + 1 - first;

    std::array<unsigned char, kHeaderSize> header{};
    for (std::size_t i = 0; i < sizeof kMagic - 1; ++i) {
        header[i] = static_cast<unsigned char>(kMagic[i]);
    }
    store_big_endian(header.data() + kCountOffset, frame_count);
    if (!container.write(header.data(), header.size())) {
        return write_failed();
    }

    if (progress.set_range) {
        progress.set_range(0, frame_count / kProgressFrames);
    }
    if (progress.set_position) {
        progress.set_position(0);
    }

    // Pre-roll: the first 8192 sound bytes (missing ones count as 0), then zeros.
    // The read position moves on by what was read, as a sequential read would.
    std::uint64_t sound_position =
        kSoundDataStart +
        (request.sound_offset * kBytesPerOffsetNumerator) / kBytesPerOffsetDenominator;
    std::array<unsigned char, kPreRollSoundSize> sound_buffer{};
    if (with_sound) {
        const long long got =
            sound.read_at(sound_position, sound_buffer.data(), sound_buffer.size());
        if (got < 0) {
            return read_failed("sound file", request.sound_name, sound.error());
        }
        sound_position += static_cast<std::uint64_t>(got);
        convert_sound(sound_buffer.data(), sound_buffer.size());
    } else {
        sound_buffer.fill(kSilence);
    }
    if (!container.write(sound_buffer.data(), sound_buffer.size())) {
        return write_failed();
    }
    sound_buffer.fill(0);
    for (std::size_t done = kPreRollSoundSize; done < kPreRollSize; done += kPreRollSoundSize) {
        const std::size_t size = std::min(kPreRollSoundSize, kPreRollSize - done);
        if (!container.write(sound_buffer.data(), size)) {
            return write_failed();
        }
    }

    // Frames.
    const std::string& picture_name = request.picture_name;
    const std::string stem = picture_name.substr(0, picture_name.size() - kNumberAndExtension);
    const std::string own_extension = picture_name.substr(picture_name.size() - kExtensionSize);
    const std::uint32_t silent_after = last + 1 - kSilentTailFrames;

    std::array<unsigned char, kPictureReadSize> picture{};
    std::array<unsigned char, kChunkSize> chunk{};
    std::uint32_t chunk_counter = kChunkCounterStart;
    std::uint32_t written = 0;
    std::uint32_t threshold = kProgressFrames;
    InputFile frame_file;

    for (std::uint32_t frame = first; frame < last + 1; ++frame) {
        const std::string numbered = stem + frame_number_text(frame);
        std::string frame_name = numbered + own_extension;
        bool opened = frame_file.open(frame_name);
        int open_error = opened ? 0 : frame_file.error();
        if (!opened && own_extension != kFallbackExtension) {
            const std::string fallback_name = numbered + kFallbackExtension;
            opened = frame_file.open(fallback_name);
            if (opened) {
                frame_name = fallback_name;
            }
        }
        if (!opened) {
            std::fputs("File open error!\n", stdout);
            std::fputs(std::to_string(frame).c_str(), stdout);
            std::fflush(stdout);

            // The header must announce only the records that are there.
            std::array<unsigned char, 4> count{};
            store_big_endian(count.data(), written);
            if (!container.write_at(kCountOffset, count.data(), count.size()) ||
                !container.commit()) {
                return write_failed();
            }
            result.ok = false;
            result.container_kept = true;
            result.frames_written = written;
            result.message = "cannot open frame file " + in_quotes(frame_name);
            if (own_extension != kFallbackExtension) {
                result.message += " (nor " + in_quotes(numbered + kFallbackExtension) + ")";
            }
            result.message += ": " + reason(open_error) + "; container " +
                              in_quotes(request.container_name) + " kept with the " +
                              std::to_string(written) + " frames before it";
            return result;
        }

        const long long got = frame_file.read_at(0, picture.data(), picture.size());
        if (got < 0) {
            return read_failed("frame file", frame_name, frame_file.error());
        }
        frame_file.close();
        // A picture file shorter than its record needs is zero-filled.
        std::fill(picture.begin() + got, picture.end(), 0);
        if (!container.write(picture.data() + kFirstRangeBegin, kFirstRangeSize) ||
            !container.write(picture.data() + kSecondRangeBegin, kSecondRangeSize)) {
            return write_failed();
        }

        if (!with_sound || silent_after < frame) {
            chunk.fill(kSilence);
        } else {
            if (chunk_counter == kChunkCounterLimit) {
                // A move before the file's start fails and leaves the position alone.
                if (sound_position >= kMoveBack) {
                    sound_position -= kMoveBack;
                }
                chunk_counter = 0;
            }
            if (sound_position + kChunkSize > sound_size) {
                chunk.fill(kSilence);
            } else {
                const long long read = sound.read_at(sound_position, chunk.data(), chunk.size());
                if (read < 0) {
                    return read_failed("sound file", request.sound_name, sound.error());
                }
                // The file cannot have shrunk under us unnoticed: what is missing is 0.
                std::fill(chunk.begin() + read, chunk.end(), 0);
                sound_position += static_cast<std::uint64_t>(read);
                convert_sound(chunk.data(), chunk.size());
            }
        }
        if (!container.write(chunk.data(), chunk.size())) {
            return write_failed();
        }
        chunk_counter += kChunkCounterStep;

        if (written > threshold) {
            if (progress.step) {
                progress.step();
            }
            threshold += kProgressFrames;
        }
        ++written;
    }

    if (!container.commit()) {
        return write_failed();
    }
    result.ok = true;
    result.container_kept = true;
    result.frames_written = written;
    return result;
}

}  // namespace zorpa
