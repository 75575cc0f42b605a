// Fuzz target: the BMP reader with the input picture and its companion, in
// every screen mode and with every palette_mode value.
//
// Input layout (missing bytes read as zero):
//   byte 0     mode row (% 5), palette_mode (/ 5 % 3 + 1), companion kind (/ 15 % 3:
//              none, file, folder), name form (/ 45 % 4)
//   bytes 1-2  length of the input picture's bytes (the companion gets the rest)
//   bytes 3-4  the input picture is zero-extended to 8 x this many bytes
//   bytes 5-6  the same for the companion
//   byte 7     options of the full run: dither (% 6), error diffusion (/ 6 % 4),
//              preview (/ 24 % 2)
//   byte 8     0xC5: after a successful read in mode row 4, run the whole
//              encoder at quality 0 on the same files, for one input in 256 (by
//              a hash of the input, so that a run stays reproducible) to keep
//              the executions per second up
//   then       the input picture's bytes, then the companion's bytes
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "encoder/frontend/bmp.h"
#include "encoder/frontend/run.h"
#include "format/screen_modes.h"
#include "fuzz_support.h"

using fuzzing::Bytes;

namespace {

std::string g_root;

struct NameForm {
    const char* folder;  // created below the work folder when not empty
    const char* input;
    const char* companion;
    const char* output;  // the encoded picture's name
};

// The companion's name takes the input's extension off only in the last path
// component.
constexpr NameForm kNames[] = {
    {"", "pic.bmp", "pic_bis.bmp", "pic.bVK"},
    {"", "pic", "pic_bis.bmp", "pic.bVK"},
    {"d.x", "d.x/pic", "d.x/pic_bis.bmp", "d.x/pic.bVK"},
    {"", "pic.tar.bmp", "pic.tar_bis.bmp", "pic.tar.bVK"},
};

std::uint32_t le32(const Bytes& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | (at + i < b.size() ? b[at + i] : 0);
    return v;
}

// What the reader must say about `file` in `mode`: empty when it is accepted.
std::string expected_error(const Bytes& file, const brenvik::ScreenMode& mode) {
    if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') return "must be in BMP format";
    if (file.size() < 34) return "BMP header is truncated";
    const std::uint32_t bits = file[28] | file[29] << 8;
    if (le32(file, 30) != 0 || bits != 24) return "BMP format must be uncompressed 24-bit";
    const auto width = static_cast<std::int32_t>(le32(file, 18));
    const auto height = static_cast<std::int32_t>(le32(file, 22));
    const long long abs_height = height < 0 ? -static_cast<long long>(height) : height;
    if (width != mode.width || abs_height != mode.height) {
        return "BMP picture must be " + std::to_string(mode.width) + "x" +
               std::to_string(mode.height) + " pixels";
    }
    const std::uint64_t size = static_cast<std::uint64_t>(mode.width) * mode.height * 3;
    if (le32(file, 10) + size > file.size()) return "BMP pixel data is truncated";
    return "";
}

// The pixels the reader must deliver: R, G, B, rows from the top.
Bytes expected_rgb(const Bytes& file, const brenvik::ScreenMode& mode) {
    const std::size_t row = static_cast<std::size_t>(mode.width) * 3;
    const std::size_t offset = le32(file, 10);
    const bool top_down = static_cast<std::int32_t>(le32(file, 22)) < 0;
    Bytes rgb;
    rgb.reserve(row * static_cast<std::size_t>(mode.height));
    for (int y = 0; y < mode.height; ++y) {
        const std::size_t stored = static_cast<std::size_t>(top_down ? y : mode.height - 1 - y);
        const std::uint8_t* pixel = file.data() + offset + stored * row;
        for (std::size_t x = 0; x < row; x += 3) {
            rgb.insert(rgb.end(), {pixel[x + 2], pixel[x + 1], pixel[x]});
        }
    }
    return rgb;
}

std::uint32_t input_hash(const std::uint8_t* data, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

Bytes padded(Bytes bytes, std::size_t size) {
    if (bytes.size() < size) bytes.resize(size, 0);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_root = fuzzing::scratch_root("fuzz-bmp");
    if (::chdir(g_root.c_str()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Input in(data, size);
    const unsigned control = in.u8();
    const int mode_row = static_cast<int>(control % 5);
    const int palette_mode = static_cast<int>(control / 5 % 3 + 1);
    const unsigned companion_kind = control / 15 % 3;
    const NameForm& names = kNames[control / 45 % 4];
    const std::size_t first_length = in.u16();
    const std::size_t first_size = static_cast<std::size_t>(in.u16()) * 8;
    const std::size_t second_size = static_cast<std::size_t>(in.u16()) * 8;
    const unsigned run_options = in.u8();
    const bool full_run = in.u8() == 0xC5 && input_hash(data, size) % 256 == 0;
    const Bytes first = padded(in.take(first_length), first_size);
    const Bytes second = padded(in.rest(), second_size);

    fuzzing::reset_folder("w");
    if (::chdir("w") != 0) std::abort();
    if (*names.folder != '\0' && ::mkdir(names.folder, 0700) != 0) std::abort();
    fuzzing::write_file(names.input, first);
    if (companion_kind == 1) fuzzing::write_file(names.companion, second);
    if (companion_kind == 2 && ::mkdir(names.companion, 0700) != 0) std::abort();

    const brenvik::ScreenMode& mode = format::kScreenModes[static_cast<std::size_t>(mode_row)];
    brenvik::RunSettings settings;
    settings.program_name = "brenvik";
    settings.input_name = names.input;
    settings.palette_mode = palette_mode;
    settings.verbose = control & 1;
    brenvik::InputPictures pictures;
    brenvik::TextSink out;
    fuzzing::CapturedStream err;
    const bool ok = brenvik::load_pictures(settings, mode, pictures, out, err.file());
    const std::string& message = err.text();

    std::string expected = expected_error(first, mode);
    std::string named = names.input;
    if (expected.empty() && companion_kind == 1) {
        expected = expected_error(second, mode);
        named = names.companion;
    }
    if (expected.empty() && companion_kind == 2) {
        expected = "Is a directory";
        named = names.companion;
    }
    if (!expected.empty()) {
        FUZZ_CHECK(!ok, "accepted a picture that must be refused with: " + expected);
        FUZZ_CHECK(fuzzing::contains(message, expected) && fuzzing::contains(message, named),
                   "message \"" + message + "\" lacks \"" + expected + "\" or " + named);
        FUZZ_CHECK(message.back() == '\n', "message without a newline");
    } else {
        FUZZ_CHECK(ok, "refused a valid picture: " + message);
        FUZZ_CHECK(message.empty(), "message for a valid picture: " + message);
        FUZZ_CHECK(pictures.picture.width == mode.width && pictures.picture.height == mode.height &&
                       pictures.picture.rgb == expected_rgb(first, mode),
                   "first picture's pixels");
        Bytes header = first;
        header.resize(54, 0);
        FUZZ_CHECK(std::equal(header.begin(), header.end(), pictures.header.begin()),
                   "kept header differs from the file's first 54 bytes");
        FUZZ_CHECK(pictures.companion.has_value() == (companion_kind == 1), "companion read");
        if (companion_kind == 1) {
            FUZZ_CHECK(pictures.companion->rgb == expected_rgb(second, mode), "companion's pixels");
        }
        const std::string verbose_line = std::string("outfilename_bis=") + names.companion + " \n";
        FUZZ_CHECK(out.text() == (settings.verbose == 1 ? verbose_line : std::string()),
                   "verbose output: " + out.text());
    }

    if (ok && mode_row == 4 && full_run) {
        const std::vector<std::string> args = {
            "brenvik",
            "--mode=4",
            "-0",
            "--pixpal=" + std::to_string(palette_mode),
            "--dith=" + std::to_string(run_options % 6),
            "--ed=" + std::to_string(run_options / 6 % 4),
            "--preview=" + std::to_string(run_options / 24 % 2),
            names.input,
        };
        std::FILE* sink = std::fopen("/dev/null", "w");
        fuzzing::CapturedStream run_err;
        const int status = brenvik::run_brenvik(args, sink, run_err.file(), {1});
        std::fclose(sink);
        FUZZ_CHECK(status == 0, "encoding a valid picture failed: " + run_err.text());
        FUZZ_CHECK(fuzzing::exists(names.output), std::string("no ") + names.output);
    }

    if (::chdir(g_root.c_str()) != 0) std::abort();
    return 0;
}
