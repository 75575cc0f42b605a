#include "container_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>

#include "atomic_output_file.h"
#include "format/container.h"
#include "platform_files.h"

namespace zorpa {
namespace {

namespace container = format::container;

// A progress step every this many frames.
constexpr std::uint32_t kProgressFrames = 80;

std::string in_quotes(const std::string& name) {
    return "'" + name + "'";
}

std::string reason(int error_number) {
    return std::generic_category().message(error_number);
}

// Unsigned 8-bit samples become signed ones.
void convert_sound(unsigned char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = container::signed_sample(bytes[i]);
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

// What can be refused before the container exists, or an empty string.
std::string request_fault(const ContainerRequest& request) {
    if (request.picture_name.empty()) {
        return "no picture file given";
    }
    if (request.picture_name.size() < container::kNumberAndExtension) {
        return "picture name " + in_quotes(request.picture_name) +
               " is too short: it must end in a five-digit frame number and a "
               "four-character extension";
    }
    if (request.last_frame > container::kHighestFrame) {
        return "last frame " + std::to_string(request.last_frame) + " is above " +
               std::to_string(container::kHighestFrame);
    }
    if (request.start_frame > request.last_frame + 1) {
        return "start frame " + std::to_string(request.start_frame) + " is above last frame " +
               std::to_string(request.last_frame) + " plus one";
    }
    if (request.container_name.empty()) {
        return "no container file given";
    }
    return {};
}

// The container's sound, taken from the WAV as the records are written.
class SoundSource {
  public:
    // False, with error(), when the WAV cannot be opened.
    bool open(const std::string& name, std::uint32_t offset_fiftieths) {
        with_sound_ = true;
        position_ = container::sound_start(offset_fiftieths);
        return file_.open(name) && file_.size(size_);
    }
    int error() const { return file_.error(); }

    // The pre-roll's sound: kPreRollSoundBytes from the read position (what is
    // missing at the end counts as 0); the position moves on by what was read.
    bool pre_roll(unsigned char* bytes) {
        if (!with_sound_) {
            std::fill(bytes, bytes + container::kPreRollSoundBytes, container::kSilence);
            return true;
        }
        std::fill(bytes, bytes + container::kPreRollSoundBytes, 0);
        const long long got = file_.read_at(position_, bytes, container::kPreRollSoundBytes);
        if (got < 0) return false;
        position_ += static_cast<std::uint64_t>(got);
        convert_sound(bytes, container::kPreRollSoundBytes);
        return true;
    }

    // The chunk of record `record` (from 0), which carries frame `frame` of a
    // series ending at `last`: silence without sound and in the silent tail;
    // else, after the move back before every 25th record (not past the
    // file's start), the next kChunkBytes of the WAV, or silence when fewer
    // remain (the position then stays).
    bool chunk(std::uint32_t record, std::uint32_t frame, std::uint32_t last,
               unsigned char* bytes) {
        if (!with_sound_ || container::in_silent_tail(frame, last)) {
            std::fill(bytes, bytes + container::kChunkBytes, container::kSilence);
            return true;
        }
        if (container::moves_back_before(record) && position_ >= container::kMoveBackBytes) {
            position_ -= container::kMoveBackBytes;
        }
        if (position_ + container::kChunkBytes > size_) {
            std::fill(bytes, bytes + container::kChunkBytes, container::kSilence);
            return true;
        }
        const long long got = file_.read_at(position_, bytes, container::kChunkBytes);
        if (got < 0) return false;
        // The file cannot have shrunk under us unnoticed: what is missing is 0.
        std::fill(bytes + got, bytes + container::kChunkBytes, 0);
        position_ += static_cast<std::uint64_t>(got);
        convert_sound(bytes, container::kChunkBytes);
        return true;
    }

  private:
    InputFile file_;
    bool with_sound_ = false;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

// The frame files of the series the request names.
class FrameFiles {
  public:
    explicit FrameFiles(const std::string& first_name)
        : stem_(first_name.substr(0, first_name.size() - container::kNumberAndExtension)),
          extension_(first_name.substr(first_name.size() - container::kExtensionBytes)) {}

    // Opens frame `frame` under its own extension, else as ".bvk". False when
    // neither opens; message() then says why.
    bool open(std::uint32_t frame, InputFile& file) {
        name_ = container::frame_file_name(stem_, frame, extension_);
        if (file.open(name_)) return true;
        const int own_error = file.error();
        message_ = "cannot open frame file " + in_quotes(name_);
        if (extension_ != container::kFallbackExtension) {
            const std::string fallback =
                container::frame_file_name(stem_, frame, container::kFallbackExtension);
            if (file.open(fallback)) {
                name_ = fallback;
                return true;
            }
            message_ += " (nor " + in_quotes(fallback) + ")";
        }
        message_ += ": " + reason(own_error);
        return false;
    }
    const std::string& name() const { return name_; }
    const std::string& message() const { return message_; }

  private:
    std::string stem_;
    std::string extension_;
    std::string name_;
    std::string message_;
};

// Writes a container under construction, remembering why a step failed.
class Writer {
  public:
    Writer(const ContainerRequest& request, fileout::AtomicOutputFile& file, SoundSource& sound)
        : request_(request), file_(file), sound_(sound) {}

    bool header(std::uint32_t frame_count) {
        std::array<unsigned char, container::kHeaderBytes> header{};
        std::copy(container::kMagic, container::kMagic + container::kMagicBytes, header.begin());
        store_big_endian(header.data() + container::kCountOffset, frame_count);
        return write(header.data(), header.size());
    }

    bool pre_roll() {
        std::array<unsigned char, container::kPreRollSoundBytes> buffer{};
        if (!sound_.pre_roll(buffer.data())) return sound_failed();
        if (!write(buffer.data(), buffer.size())) return false;
        buffer.fill(0);
        for (std::size_t done = container::kPreRollSoundBytes; done < container::kPreRollBytes;
             done += buffer.size()) {
            if (!write(buffer.data(), std::min(buffer.size(), container::kPreRollBytes - done))) {
                return false;
            }
        }
        return true;
    }

    // The record of `frame`, read from its open picture file.
    bool record(std::uint32_t record, std::uint32_t frame, InputFile& picture_file,
                const std::string& picture_name) {
        std::array<unsigned char, container::kFramePictureBytes> picture{};
        const long long got = picture_file.read_at(0, picture.data(), picture.size());
        if (got < 0) {
            failure_ = "cannot read frame file " + in_quotes(picture_name) + ": " +
                       reason(picture_file.error());
            return false;
        }
        picture_file.close();
        // A picture file shorter than its record needs is zero-filled.
        std::fill(picture.begin() + got, picture.end(), 0);
        std::array<unsigned char, container::kChunkBytes> chunk{};
        if (!sound_.chunk(record, frame, request_.last_frame, chunk.data())) return sound_failed();
        return write(picture.data() + container::kBitmapWindowBegin,
                     container::kBitmapWindowBytes) &&
               write(picture.data() + container::kPaletteWindowBegin,
                     container::kPaletteWindowBytes) &&
               write(chunk.data(), chunk.size());
    }

    // Rewrites the header's count to the records written, and keeps the file.
    bool keep_shortened(std::uint32_t written) {
        std::array<unsigned char, 4> count{};
        store_big_endian(count.data(), written);
        return file_.write_at(container::kCountOffset, count.data(), count.size()) ? commit()
                                                                                   : false;
    }

    bool commit() { return file_.commit() || (failure_ = file_.error(), false); }

    // Why the last step failed; the container is then discarded.
    ContainerResult failed() {
        file_.discard();
        if (failure_.empty()) failure_ = file_.error();
        return refused(failure_);
    }

  private:
    bool write(const unsigned char* bytes, std::size_t size) {
        return file_.write(bytes, size) || (failure_ = file_.error(), false);
    }
    bool sound_failed() {
        failure_ = "cannot read sound file " + in_quotes(request_.sound_name) + ": " +
                   reason(sound_.error());
        return false;
    }

    const ContainerRequest& request_;
    fileout::AtomicOutputFile& file_;
    SoundSource& sound_;
    std::string failure_;
};

}  // namespace

ContainerResult write_container(const ContainerRequest& request, const Progress& progress) {
    // Everything that can be refused is refused before the container exists.
    if (std::string fault = request_fault(request); !fault.empty()) {
        return refused(std::move(fault));
    }
    SoundSource sound;
    if (!request.sound_name.empty() && !sound.open(request.sound_name, request.sound_offset)) {
        return refused("cannot open sound file " + in_quotes(request.sound_name) + ": " +
                       reason(sound.error()));
    }
    fileout::AtomicOutputFile file(request.container_name);
    if (!file.open()) {
        return refused(file.error());
    }
    Writer writer(request, file, sound);

    const std::uint32_t first = request.start_frame;
    const std::uint32_t last = request.last_frame;
    const std::uint32_t frame_count = last + 1 - first;
    if (!writer.header(frame_count)) return writer.failed();
    if (progress.set_range) progress.set_range(0, frame_count / kProgressFrames);
    if (progress.set_position) progress.set_position(0);
    if (!writer.pre_roll()) return writer.failed();

    FrameFiles frames(request.picture_name);
    InputFile picture_file;
    std::uint32_t written = 0;
    std::uint32_t threshold = kProgressFrames;
    for (std::uint32_t frame = first; frame < last + 1; ++frame) {
        if (!frames.open(frame, picture_file)) {
            // The container is kept with the records before the missing frame.
            if (!writer.keep_shortened(written)) return writer.failed();
            ContainerResult result;
            result.container_kept = true;
            result.frames_written = written;
            result.missing_frame = frame;
            result.message = frames.message() + "; container " + in_quotes(request.container_name) +
                             " kept with the " + std::to_string(written) + " frames before it";
            return result;
        }
        if (!writer.record(written, frame, picture_file, frames.name())) return writer.failed();
        if (written > threshold) {
            if (progress.step) progress.step();
            threshold += kProgressFrames;
        }
        ++written;
    }
    if (!writer.commit()) return writer.failed();
    ContainerResult result;
    result.ok = true;
    result.container_kept = true;
    result.frames_written = written;
    return result;
}

}  // namespace zorpa
