// The brenvik encoder as a library: a picture in memory and the encoder's
// options in; the bytes of every file the encoder makes and the figures of
// the run out. Nothing is read or written on disk and nothing is printed:
// the run's text goes to the caller's sink, its files come back as bytes.
//
//   brenvik::EncodeRequest request;
//   request.picture = {320, 200, rgb};     // rows from the top, R G B bytes
//   request.options.mode = 2;
//   request.input_name = "frame00000.bmp"; // names the files, as brenvik does
//   const brenvik::EncodeResult result = brenvik::encode(request);
//   if (!result.ok) ... result.message ...
//   for (const auto& file : result.files) ... file.name, file.bytes ...
//
// The same request gives the same bytes on any machine and for any thread
// count. encode() may be called from several threads at once.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {

// width x height pixels of three bytes (red, green, blue), rows from the top.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// The colour distance the search minimises (--distance=).
enum class Distance {
    // In the one-palette and one-bitmap-two-palettes settings, the distance
    // is divided in one of the two dither phases by the sign of the colour
    // error (--dither=1 aside): the encoder's original rule, its default.
    phased,
    // The same distance in every phase: truer colours, without the coloured
    // bands the phases leave in smooth gradients.
    plain,
};

// The encoder's options, with the values its command line takes.
struct EncodeOptions {
    int quality = 3;        // -0 .. -9
    int mode = 0;           // --mode= 0..4 (the picture's size follows from it)
    int dither = 0;         // --dither= 0..5
    int diffusion = 1;      // --ed= 0..3
    int pixpal = 1;         // --pixpal= 1..3
    bool previews = false;  // --preview=1
    int shiftpixels = 5;    // --shiftpixels= 0..9
    int blockoflines = 1;   // --blockoflines= 0..9 (0, 7, 8, 9: one line)
    int seed = 42;          // --seed=
    bool verbose = false;   // --verbose: trace every stage
    Distance distance = Distance::phased;  // --distance=phased|plain
};

// The width and height a mode's pictures have (0 x 0 for a mode out of range).
struct PictureSize {
    int width = 0;
    int height = 0;
};
PictureSize picture_size(int mode);

// Where the run's text goes: the lines brenvik prints on standard output,
// in pieces, in order, on the calling thread.
using TraceSink = std::function<void(std::string_view text)>;

// Seconds since the run started, for the figures the run prints.
using RunClock = std::function<double()>;

struct EncodeRequest {
    RgbPicture picture;  // the mode's size
    // The second target colour of every pixel (the two-palette settings); the
    // mode's size. Without it the second colours are black (--pixpal=1) or
    // the picture itself (2 and 3).
    std::optional<RgbPicture> companion;
    EncodeOptions options;
    // The input's name: the output files are named after it
    // ("dir/pic.bmp" gives "dir/pic.bVK", "dir/Fpic.bVK", ...).
    std::string input_name = "picture.bmp";
    // The base of the preview BMPs' headers: bytes 6..9 and 38..53 (reserved
    // field, resolutions, colour counts) are copied from it, as brenvik copies
    // them from its input file.
    std::array<std::uint8_t, 54> preview_header_base{};
    // Worker threads for the blocks of lines; 0 = one per processor. The
    // bytes do not depend on it.
    unsigned threads = 0;
    TraceSink trace;  // empty: the text is dropped
    RunClock clock;   // empty: a steady clock started by encode()
    // The portable search code even where the processor has AVX2 (the same
    // bytes; for tests).
    bool portable_search = false;
};

// The files of a run, in the order brenvik writes them.
enum class FileRole {
    picture,                 // pic.bVK
    preview,                 // pic_preview.bmp
    second_preview,          // pic_preview2.bmp
    diffused,                // Fpic.bVK
    diffused_preview,        // Fpic_preview.bmp
    diffused_bitmap,         // picF2.bVK
    diffused_second_preview  // pic_previewF2.bmp
};

struct EncodedFile {
    FileRole role = FileRole::picture;
    std::string name;  // after the request's input_name
    std::vector<std::uint8_t> bytes;
};

struct EncodeResult {
    bool ok = false;
    std::string message;  // why not, when !ok
    std::vector<EncodedFile> files;
    // The run's summary figures (printed as bestdistancemoyenneall= and
    // nbbits16=): the mean over lines of the blocks' best total distances,
    // and the level step the picture was encoded on (17, or 16).
    double mean_best_distance = 0.0;
    int level_step = 17;
};

EncodeResult encode(const EncodeRequest& request);

}  // namespace brenvik
