#include "input/read_jpeg.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <vector>

#include "input/exif.h"

namespace brenvik::input {

namespace {

// More scans than any encoder writes: a file with more is refused before it
// takes minutes (each scan goes over the whole picture again).
constexpr int kMostScans = 500;

// The error manager with the jump back and the message. Only plain members:
// the decoding steps may be left by longjmp from inside the library.
struct JpegState {
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
    bool truncated = false;
};

[[noreturn]] void fail(j_common_ptr cinfo) {
    auto* state = reinterpret_cast<JpegState*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, state->message);
    std::longjmp(state->jump, 1);
}

// Warnings are not printed; the one that says the data ended early is kept
// (the library would fill the rest of the picture with grey).
void note_message(j_common_ptr cinfo, int level) {
    auto* state = reinterpret_cast<JpegState*>(cinfo->err);
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) state->truncated = true;
}

void count_scans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (d->input_scan_number > kMostScans) {
            auto* state = reinterpret_cast<JpegState*>(cinfo->err);
            std::snprintf(state->message, sizeof state->message, "more than %d scans", kMostScans);
            std::longjmp(state->jump, 1);
        }
    }
}

struct Header {
    int width = 0;
    int height = 0;
    int components = 0;
    J_COLOR_SPACE colour_space = JCS_UNKNOWN;
    bool progressive = false;
    bool adobe = false;
    int orientation = 1;
};

bool read_header(j_decompress_ptr cinfo, JpegState& state, const Bytes& file, Header& h) {
    if (setjmp(state.jump)) return false;
    jpeg_mem_src(cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(cinfo, TRUE);
    h.width = static_cast<int>(cinfo->image_width);
    h.height = static_cast<int>(cinfo->image_height);
    h.components = cinfo->num_components;
    h.colour_space = cinfo->jpeg_color_space;
    h.progressive = cinfo->progressive_mode != 0;
    h.adobe = cinfo->saw_Adobe_marker != 0;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m != nullptr; m = m->next) {
        if (m->marker != JPEG_APP0 + 1) continue;
        const int orientation = jpeg_app1_orientation(m->data, m->data_length);
        if (orientation != 1) {
            h.orientation = orientation;
            break;
        }
    }
    return true;
}

// Decodes into `samples` (RGB, or CMYK for a four-component file): the
// accurate integer transform and the smooth upsampling, whose results do not
// depend on the processor's vector instructions.
bool read_pixels(j_decompress_ptr cinfo, JpegState& state, std::uint8_t* samples,
                 std::size_t row_bytes) {
    if (setjmp(state.jump)) return false;
    cinfo->dct_method = JDCT_ISLOW;
    cinfo->do_fancy_upsampling = TRUE;
    cinfo->do_block_smoothing = TRUE;
    jpeg_start_decompress(cinfo);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = samples + cinfo->output_scanline * row_bytes;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

std::string describe(const Header& h) {
    std::string d = h.progressive ? "progressive" : "baseline";
    switch (h.colour_space) {
        case JCS_GRAYSCALE:
            d += ", grey";
            break;
        case JCS_CMYK:
            d += ", CMYK";
            break;
        case JCS_YCCK:
            d += ", YCCK";
            break;
        default:
            break;
    }
    if (h.orientation != 1) d += ", EXIF orientation " + std::to_string(h.orientation);
    return d;
}

struct JpegReader {
    jpeg_decompress_struct cinfo{};
    JpegState state;
    bool created = false;

    JpegReader() {
        cinfo.err = jpeg_std_error(&state.errors);
        state.errors.error_exit = fail;
        state.errors.emit_message = note_message;
        state.progress.progress_monitor = count_scans;
    }
    ~JpegReader() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    bool create() {
        if (setjmp(state.jump)) return false;
        jpeg_create_decompress(&cinfo);
        created = true;
        cinfo.progress = &state.progress;
        return true;
    }
};

bool start(JpegReader& reader, const Bytes& file, const ReadLimits& limits, Header& header,
           PictureInfo& info, std::string& message) {
    if (!reader.create() || !read_header(&reader.cinfo, reader.state, file, header)) {
        message = std::string("JPEG file is damaged: ") + reader.state.message;
        return false;
    }
    if (static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height) >
        limits.max_pixels) {
        message = "JPEG picture of " + std::to_string(header.width) + "x" +
                  std::to_string(header.height) + " pixels is larger than this program takes";
        return false;
    }
    const bool turned = orientation_transposes(header.orientation);
    info.format = "JPEG";
    info.width = turned ? header.height : header.width;
    info.height = turned ? header.width : header.height;
    info.details = describe(header);
    info.orientation = header.orientation;
    return true;
}

}  // namespace

bool identify_jpeg(const Bytes& file, const ReadLimits& limits, PictureInfo& info,
                   std::string& message) {
    JpegReader reader;
    Header header;
    return start(reader, file, limits, header, info, message);
}

bool decode_jpeg(const Bytes& file, const ReadLimits& limits, DecodedPicture& picture,
                 PictureInfo& info, std::string& message) {
    JpegReader reader;
    Header header;
    if (!start(reader, file, limits, header, info, message)) return false;
    const bool cmyk = header.colour_space == JCS_CMYK || header.colour_space == JCS_YCCK;
    reader.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    const std::size_t channels = cmyk ? 4 : 3;
    const std::size_t row_bytes = channels * static_cast<std::size_t>(header.width);
    std::vector<std::uint8_t> samples(row_bytes * static_cast<std::size_t>(header.height));
    if (!read_pixels(&reader.cinfo, reader.state, samples.data(), row_bytes)) {
        message = std::string("JPEG file is damaged: ") + reader.state.message;
        return false;
    }
    if (reader.state.truncated) {
        message = "JPEG file is truncated";
        return false;
    }
    picture.width = header.width;
    picture.height = header.height;
    picture.channels = 3;
    picture.bits = 8;
    if (cmyk) {
        // Adobe's files store the inks inverted (0 = full ink); others store
        // them as they are. No colour profile: R = (1 - C)(1 - K) and so on.
        picture.samples.resize(static_cast<std::size_t>(header.width) *
                               static_cast<std::size_t>(header.height) * 3);
        for (std::size_t i = 0, o = 0; i < samples.size(); i += 4, o += 3) {
            const int k = header.adobe ? samples[i + 3] : 255 - samples[i + 3];
            for (std::size_t c = 0; c < 3; ++c) {
                const int ink = header.adobe ? samples[i + c] : 255 - samples[i + c];
                picture.samples[o + c] = static_cast<std::uint8_t>((ink * k + 127) / 255);
            }
        }
    } else {
        picture.samples = std::move(samples);
    }
    if (header.orientation != 1) picture = oriented(picture, header.orientation);
    return true;
}

}  // namespace brenvik::input
