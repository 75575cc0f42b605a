#include "encoder/frontend/fit_input.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "encoder/frontend/bmp.h"
#include "format/picture_file.h"
#include "input/fit.h"
#include "input/read_picture.h"
#include "platform_files.h"

namespace brenvik {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The file's first `most` bytes (all of a shorter file), or false with
// errno's value in `error`.
bool read_file_start(const std::string& name, std::size_t most, input::Bytes& bytes, int& error) {
    errno = 0;
    File file(platform::open_stdio_file(name, "rb"));
    if (!file) {
        error = errno;
        return false;
    }
    bytes.clear();
    std::uint8_t buffer[1 << 16];
    while (bytes.size() < most) {
        errno = 0;
        const std::size_t n =
            std::fread(buffer, 1, std::min(sizeof buffer, most - bytes.size()), file.get());
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (n == 0) break;
    }
    if (std::ferror(file.get())) {
        error = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

input::FitOptions fit_options(const RunSettings& settings) {
    input::FitOptions options;
    options.fit = input::fit_from_name(settings.fit).value_or(input::Fit::pad);
    options.gravity = input::gravity_from_name(settings.gravity).value_or(input::Gravity::centre);
    return options;
}

// One picture file fitted into the mode's frame; prints the failure.
bool fit_file(const RunSettings& settings, const std::string& name, const ScreenMode& mode,
              input::Frame& frame, input::Placement& placement, input::PictureInfo& info,
              std::FILE* err) {
    input::Bytes bytes;
    int error = 0;
    std::string message;
    // A file of another kind is refused by its first bytes, before it is read whole.
    if (read_file_start(name, 16, bytes, error)) message = input::foreign_file_message(bytes);
    if (error == 0 && message.empty()) read_file_start(name, SIZE_MAX, bytes, error);
    if (error != 0) {
        std::fprintf(err, "%s: %s\n", name.c_str(), std::strerror(error));
        return false;
    }
    input::DecodedPicture picture;
    if (!message.empty() || !input::decode_picture(bytes, picture, info, message)) {
        std::fprintf(err, "%s: %s: %s\n", settings.program_name.c_str(), name.c_str(),
                     message.c_str());
        return false;
    }
    frame =
        input::fit_picture(picture, {mode.width, mode.height}, fit_options(settings), &placement);
    return true;
}

}  // namespace

std::string fit_usage_text() {
    return "  --fit=pad|crop|stretch\tRead a BMP, PNG or JPEG picture of any size and scale it\n"
           "\t\t\tto the mode's size: pad shows all of it with black bars,\n"
           "\t\t\tcrop fills the screen and cuts the overflow, stretch\n"
           "\t\t\tfills it whatever the aspect; the scaled picture is kept\n"
           "\t\t\tas NAME_source.bmp\n"
           "  --gravity=VALUE\tThe part --fit=crop keeps, or where --fit=pad puts the picture:\n"
           "\t\t\tcentre (default), top, bottom, left, right, top-left,\n"
           "\t\t\ttop-right, bottom-left, bottom-right\n"
           "\n";
}

bool load_fitted_pictures(const RunSettings& settings, const ScreenMode& mode,
                          InputPictures& pictures, TextSink& out, std::FILE* err) {
    input::Frame frame;
    input::Placement placement;
    input::PictureInfo info;
    if (!fit_file(settings, settings.input_name, mode, frame, placement, info, err)) return false;
    pictures.fitted_source = input::bmp_file(frame);
    std::copy_n(pictures.fitted_source.begin(), pictures.header.size(), pictures.header.begin());
    pictures.picture = rgb_rows_from_top(frame.bgr, frame.size.width, frame.size.height, false);

    const std::string companion = format::companion_name(settings.input_name);
    pictures.companion.reset();
    if (settings.verbose == 1) {
        out.printf("outfilename_bis=%s \n", companion.c_str());
        out.printf("fit=%s gravity=%s picture=%dx%d scaled=%dx%d crop=%d,%d pad=%d,%d \n",
                   settings.fit.c_str(), input::gravity_name(fit_options(settings).gravity),
                   info.width, info.height, placement.scaled.width, placement.scaled.height,
                   placement.crop_left, placement.crop_top, placement.pad_left, placement.pad_top);
    }
    if (File probe{platform::open_stdio_file(companion, "rb")}) {
        probe.reset();
        input::Frame second;
        if (!fit_file(settings, companion, mode, second, placement, info, err)) return false;
        pictures.companion =
            rgb_rows_from_top(second.bgr, second.size.width, second.size.height, false);
    }
    return true;
}

void explain_refused_picture(const std::string& program, const std::string& name,
                             const ScreenMode& mode, std::FILE* err) {
    input::Bytes bytes;
    int error = 0;
    input::PictureInfo info;
    std::string message;
    // The headers are at the start; a megabyte holds any but freak ones.
    if (!read_file_start(name, std::size_t{1} << 20, bytes, error) ||
        !input::identify_picture(bytes, info, message)) {
        return;
    }
    const bool mode_size = info.width == mode.width && info.height == mode.height;
    if (info.format == "BMP" && mode_size && info.details.starts_with("24-bit")) return;
    std::fprintf(err, "%s: %s: %s; use --fit=pad, --fit=crop or --fit=stretch to make it %dx%d\n",
                 program.c_str(), name.c_str(), input::describe_picture(info).c_str(), mode.width,
                 mode.height);
}

}  // namespace brenvik
