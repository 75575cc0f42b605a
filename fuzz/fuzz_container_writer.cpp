// Fuzz target: the Zorpa container writer with odd picture names and
// extensions, frame numbers, frame files that are missing, empty, short,
// long or folders, sound files that are missing, empty or short, and
// containers that cannot be written. Every file lives in a private work folder
// (the current folder), apart from /dev/null and /dev/full as containers.
//
// Input layout (missing bytes read as zero):
//   byte 0      start frame S: 0..127 as it is; 128..191 L minus 0..63;
//               192..255 L + 1 .. L + 4
//   byte 1      last frame L: 0..191 as it is, else one of kSpecialFrames
//   bytes 2-5   sound offset V
//   byte 6      sound (% 4: none, file, missing, folder), container (/ 4 % 8,
//               see kContainers)
//   byte 7      frame files made (% 6), the second one left out (/ 6 % 2), the
//               first one a folder (/ 12 % 2)
//   byte 8      extension (% 6, see kExtensions); from bit 3 on, per frame
//               file: named with ".bvk" instead of the picture's extension
//   byte 9      stem length (% 24); / 24 % 8 == 7: the picture name is cut
//               to fewer than 9 characters
//   bytes 10-11 sound file length
//   then        a 16-bit length per frame file made, the stem, five
//               characters for the frame number, four for a free extension,
//               and the sound file's bytes (repeated to its length)
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "container_writer.h"
#include "fuzz_support.h"

using fuzzing::Bytes;

namespace {

constexpr std::uint32_t kSpecialFrames[] = {99998, 99999, 100000, 4294967295u, 4294967294u, 65535,
                                            65536, 12345, 255,    256,         2147483648u};
constexpr const char* kExtensions[] = {".BVK", ".bvk", ".bVK", ".xyz", "BVK0"};
constexpr const char* kContainers[] = {"out.ZRP",          "old.ZRP",      "folder.ZRP",
                                       "nofolder/out.ZRP", "file/out.ZRP", "/dev/null",
                                       "/dev/full",        "link.ZRP"};
constexpr const char* kSound = "sound.wav";

constexpr std::size_t kHeader = 256;
constexpr std::size_t kPreRoll = 32512;
constexpr std::size_t kRecord = 42496;

std::string g_work;

std::string sanitised(const Bytes& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) text.push_back(b == 0 || b == '/' ? '_' : static_cast<char>(b));
    return text;
}

std::string frame_digits(std::uint32_t frame) {
    std::string digits = std::to_string(frame);
    if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
    return digits;
}

Bytes frame_content(std::size_t size, unsigned k) {
    Bytes bytes(size);
    for (std::size_t j = 0; j < size; ++j) {
        bytes[j] = static_cast<std::uint8_t>(j * 131 + k * 17 + (j >> 8));
    }
    return bytes;
}

bool opens_as_file(const std::string& name) {
    struct stat status {};
    return ::stat(name.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

// The sound the container must carry, in the writer's one pass.
class SoundModel {
  public:
    SoundModel(const Bytes* sound, std::uint32_t offset, std::uint32_t last)
        : sound_(sound),
          position_(44 + static_cast<std::uint32_t>(offset * 25033u) / 25),
          silent_after_(last + 1 - 9) {}

    Bytes pre_roll() {
        Bytes bytes(8192, 0x80);
        if (sound_ == nullptr) return bytes;
        std::size_t got = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const std::uint64_t at = position_ + i;
            const bool inside = at < sound_->size();
            bytes[i] = static_cast<std::uint8_t>((inside ? (*sound_)[at] : 0) + 128);
            if (inside) ++got;
        }
        position_ += got;
        return bytes;
    }

    Bytes chunk(std::uint32_t frame) {
        Bytes bytes(2048, 0x80);
        if (sound_ != nullptr && !(silent_after_ < frame)) {
            if (counter_ == 50) {
                if (position_ >= 1134) position_ -= 1134;
                counter_ = 0;
            }
            if (position_ + 2048 <= sound_->size()) {
                for (std::size_t i = 0; i < bytes.size(); ++i) {
                    bytes[i] = static_cast<std::uint8_t>((*sound_)[position_ + i] + 128);
                }
                position_ += 2048;
            }
        }
        counter_ += 2;
        return bytes;
    }

  private:
    const Bytes* sound_;
    std::uint64_t position_;
    std::uint32_t silent_after_;
    std::uint32_t counter_ = 8;
};

bool equal_at(const Bytes& file, std::size_t at, const Bytes& expected) {
    return at + expected.size() <= file.size() &&
           std::equal(expected.begin(), expected.end(), file.begin() + static_cast<long>(at));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_work = fuzzing::scratch_root("fuzz-zorpa") + "/w";
    // The writer reports a missing frame on standard output.
    std::FILE* null = std::freopen("/dev/null", "w", stdout);
    if (null == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Input in(data, size);
    const unsigned start_selector = in.u8();
    const unsigned last_selector = in.u8();
    const std::uint32_t last =
        last_selector < 192 ? last_selector
                            : kSpecialFrames[(last_selector - 192) % std::size(kSpecialFrames)];
    const std::uint32_t start = start_selector < 128   ? start_selector
                                : start_selector < 192 ? last - (start_selector - 128)
                                                       : last + 1 + (start_selector - 192) % 4;
    const std::uint32_t offset = in.u32();
    const unsigned files = in.u8();
    const unsigned sound_kind = files % 4;
    const std::string container = kContainers[files / 4 % 8];
    const unsigned frames_control = in.u8();
    const unsigned frames_made = frames_control % 6;
    const bool hole = frames_control / 6 % 2 == 1;
    const bool first_is_folder = frames_control / 12 % 2 == 1;
    const unsigned extension_control = in.u8();
    const unsigned name_control = in.u8();
    const std::size_t sound_length = in.u16();
    std::vector<std::size_t> frame_sizes;
    for (unsigned k = 0; k < frames_made; ++k) frame_sizes.push_back(in.u16() % 52000);
    const std::string stem = sanitised(in.take(name_control % 24));
    std::string digits = sanitised(in.take(5));
    digits.resize(5, '0');
    std::string free_extension = sanitised(in.take(4));
    free_extension.resize(4, '.');
    const Bytes pool = in.rest();

    const unsigned extension_choice = extension_control % 6;
    const std::string extension =
        extension_choice < std::size(kExtensions) ? kExtensions[extension_choice] : free_extension;
    std::string picture = stem + digits + extension;
    if (name_control / 24 % 8 == 7) picture.resize(picture.size() % 9);

    fuzzing::reset_folder(g_work);
    if (::chdir(g_work.c_str()) != 0) std::abort();
    std::set<std::string> made;
    auto make_file = [&made](const std::string& name, const Bytes& bytes) {
        fuzzing::write_file(name, bytes);
        made.insert(name);
    };
    auto make_folder = [&made](const std::string& name) {
        if (::mkdir(name.c_str(), 0700) != 0) std::abort();
        made.insert(name);
    };

    Bytes sound;
    if (sound_kind == 1) {
        sound.resize(sound_length);
        for (std::size_t i = 0; i < sound.size(); ++i) {
            sound[i] = pool.empty() ? static_cast<std::uint8_t>(i) : pool[i % pool.size()];
        }
        make_file(kSound, sound);
    }
    if (sound_kind == 3) make_folder(kSound);

    const Bytes old_content = frame_content(1000, 99);
    make_file("old.ZRP", old_content);
    make_folder("folder.ZRP");
    make_file("file", Bytes{1, 2, 3});
    if (::symlink("old.ZRP", "link.ZRP") != 0) std::abort();
    made.insert("link.ZRP");

    std::vector<Bytes> frames;  // content by frame index, for the check
    const bool named_frames = picture.size() >= 9;
    const std::string frame_stem = named_frames ? picture.substr(0, picture.size() - 9) : "";
    const std::string own_extension = named_frames ? picture.substr(picture.size() - 4) : "";
    for (unsigned k = 0; k < frames_made && named_frames; ++k) {
        if (hole && k == 1) continue;
        const bool fallback = (extension_control >> (3 + k)) & 1;
        const std::string name =
            frame_stem + frame_digits(start + k) + (fallback ? ".bvk" : own_extension);
        if (made.count(name) != 0) continue;
        if (first_is_folder && k == 0) {
            make_folder(name);
        } else {
            make_file(name, frame_content(frame_sizes[k], k));
        }
    }

    zorpa::ContainerRequest request;
    request.picture_name = picture;
    request.sound_name = sound_kind == 0 ? "" : kSound;
    request.start_frame = start;
    request.last_frame = last;
    request.sound_offset = offset;
    request.container_name = container;
    int ranges = 0, positions = 0, steps = 0;
    std::uint32_t range_high = 0;
    zorpa::Progress progress;
    progress.set_range = [&](std::uint32_t low, std::uint32_t high) {
        FUZZ_CHECK(low == 0 && ranges == 0 && positions == 0, "set_range order");
        ++ranges;
        range_high = high;
    };
    progress.set_position = [&](std::uint32_t position) {
        FUZZ_CHECK(position == 0 && ranges == 1 && positions == 0, "set_position order");
        ++positions;
    };
    progress.step = [&]() { ++steps; };

    const zorpa::ContainerResult result = zorpa::write_container(request, progress);
    const std::uint32_t count = last + 1 - start;

    // Inputs the writer refuses before it creates anything.
    std::string refusal;
    if (picture.empty()) {
        refusal = "no picture";
    } else if (picture.size() < 9) {
        refusal = picture;
    } else if (last > 99999) {
        refusal = std::to_string(last);
    } else if (start > last + 1) {
        refusal = std::to_string(start);
    } else if (sound_kind >= 2) {
        refusal = kSound;
    } else if (container == "folder.ZRP" || container == "nofolder/out.ZRP" ||
               container == "file/out.ZRP") {
        refusal = container;
    }
    const bool full = container == "/dev/full";

    // Frames the writer finds: from S on, up to the first one it cannot open.
    std::uint32_t present = 0;
    std::string missing_name;
    if (refusal.empty()) {
        for (std::uint32_t f = start; f < last + 1; ++f) {
            const std::string numbered = frame_stem + frame_digits(f);
            if (!opens_as_file(numbered + own_extension) && !opens_as_file(numbered + ".bvk")) {
                missing_name = numbered + own_extension;
                break;
            }
            ++present;
        }
    }
    const bool complete = present == count;

    if (!result.ok) FUZZ_CHECK(!result.message.empty(), "failure without a message");
    if (!refusal.empty() || full) {
        FUZZ_CHECK(!result.ok && !result.container_kept, "must fail: " + refusal + container);
        const std::string named = refusal.empty() ? container : refusal;
        FUZZ_CHECK(fuzzing::contains(result.message, named),
                   "message \"" + result.message + "\" does not name " + named);
        FUZZ_CHECK(ranges == 0, "progress before a refusal or a failed header");
    } else {
        FUZZ_CHECK(ranges == 1 && positions == 1 && range_high == count / 80,
                   "progress range for " + std::to_string(count) + " frames");
        FUZZ_CHECK(result.frames_written == present, "frames written " +
                                                         std::to_string(result.frames_written) +
                                                         ", expected " + std::to_string(present));
        FUZZ_CHECK(result.ok == complete && result.container_kept, "result flags");
        if (!complete) {
            FUZZ_CHECK(fuzzing::contains(result.message, missing_name),
                       "message \"" + result.message + "\" does not name " + missing_name);
        }
        int expected_steps = 0;
        for (std::uint32_t w = 0, threshold = 80; w < present; ++w) {
            if (w > threshold) {
                ++expected_steps;
                threshold += 80;
            }
        }
        FUZZ_CHECK(steps == expected_steps, "progress steps");
    }

    // The container on disk, or the old file untouched.
    const bool regular_target =
        container == "out.ZRP" || container == "old.ZRP" || container == "link.ZRP";
    if (regular_target && result.container_kept) {
        Bytes file;
        FUZZ_CHECK(fuzzing::read_file(container, file), "container missing");
        FUZZ_CHECK(file.size() == kHeader + kPreRoll + kRecord * present,
                   "container size " + std::to_string(file.size()));
        const std::uint32_t announced = result.ok ? count : present;
        Bytes header(kHeader, 0);
        const char magic[] = "STEAV3";
        std::copy(magic, magic + 6, header.begin());
        for (int i = 0; i < 4; ++i) {
            header[6 + i] = static_cast<std::uint8_t>(announced >> (24 - 8 * i));
        }
        FUZZ_CHECK(equal_at(file, 0, header), "header");
        SoundModel model(sound_kind == 1 ? &sound : nullptr, offset, last);
        FUZZ_CHECK(equal_at(file, kHeader, model.pre_roll()), "sound pre-roll");
        FUZZ_CHECK(equal_at(file, kHeader + 8192, Bytes(kPreRoll - 8192, 0)), "pre-roll zeros");
        for (std::uint32_t i = 0; i < present; ++i) {
            const std::size_t at = kHeader + kPreRoll + kRecord * i;
            const std::string numbered = frame_stem + frame_digits(start + i);
            Bytes picture_bytes;
            if (!fuzzing::read_file(numbered + own_extension, picture_bytes)) {
                FUZZ_CHECK(fuzzing::read_file(numbered + ".bvk", picture_bytes), "frame file");
            }
            picture_bytes.resize(51200, 0);
            const Bytes first(picture_bytes.begin() + 3360, picture_bytes.begin() + 28640);
            const Bytes second(picture_bytes.begin() + 34016, picture_bytes.begin() + 49184);
            FUZZ_CHECK(equal_at(file, at, first), "record " + std::to_string(i) + " bitmap");
            FUZZ_CHECK(equal_at(file, at + first.size(), second),
                       "record " + std::to_string(i) + " palettes");
            FUZZ_CHECK(equal_at(file, at + 40448, model.chunk(start + i)),
                       "record " + std::to_string(i) + " sound");
        }
        if (container == "link.ZRP") {
            struct stat status {};
            FUZZ_CHECK(::lstat("link.ZRP", &status) == 0 && S_ISLNK(status.st_mode),
                       "the link was replaced instead of the file it points to");
        }
    } else {
        Bytes old;
        FUZZ_CHECK(fuzzing::read_file("old.ZRP", old) && old == old_content,
                   "the old container changed on a failure");
        FUZZ_CHECK(!fuzzing::exists("out.ZRP"), "out.ZRP left after a failure");
    }

    // No temporary file is left behind, wherever the run ended.
    std::set<std::string> expected = made;
    if (container == "out.ZRP" && result.container_kept) expected.insert("out.ZRP");
    for (const std::string& name : fuzzing::list_folder(".")) {
        FUZZ_CHECK(expected.count(name) != 0, "left behind: " + name);
    }
    FUZZ_CHECK(fuzzing::list_folder("folder.ZRP").empty(), "left behind in folder.ZRP");

    if (::chdir("/") != 0) std::abort();
    return 0;
}
