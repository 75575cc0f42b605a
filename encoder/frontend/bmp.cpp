#include "encoder/frontend/bmp.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "encoder/frontend/fit_input.h"
#include "format/bmp.h"
#include "format/picture_file.h"
#include "platform_files.h"

namespace brenvik {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

using format::bmp::read_le16;
using format::bmp::read_le32;

void system_error(std::FILE* err, const std::string& name, int error) {
    std::fprintf(err, "%s: %s\n", name.c_str(), std::strerror(error));
}

void file_error(std::FILE* err, const std::string& prog, const std::string& name,
                const std::string& message) {
    std::fprintf(err, "%s: %s: %s\n", prog.c_str(), name.c_str(), message.c_str());
}

// Reads one picture of W x H pixels.
bool read_bmp(const std::string& prog, const std::string& name, const ScreenMode& mode,
              RgbPicture& picture, std::array<std::uint8_t, format::bmp::kHeaderBytes>* header_copy,
              std::FILE* err) {
    errno = 0;
    File file(platform::open_stdio_file(name, "rb"));
    if (!file) {
        system_error(err, name, errno);
        return false;
    }
    std::array<std::uint8_t, format::bmp::kHeaderBytes> header{};
    errno = 0;
    const std::size_t header_bytes_read = std::fread(header.data(), 1, header.size(), file.get());
    if (std::ferror(file.get())) {
        system_error(err, name, errno != 0 ? errno : EIO);
        return false;
    }
    if (header_bytes_read < 2 || header[0] != 'B' || header[1] != 'M') {
        file_error(err, prog, name, "must be in BMP format");
        return false;
    }
    if (header_bytes_read < format::bmp::kRequiredHeaderBytes) {
        file_error(err, prog, name, "BMP header is truncated");
        return false;
    }
    if (read_le32(&header[format::bmp::kCompressionOffset]) != 0 ||
        read_le16(&header[format::bmp::kBitsPerPixelOffset]) != 24) {
        file_error(err, prog, name, "BMP format must be uncompressed 24-bit");
        return false;
    }
    const auto declared_width =
        static_cast<std::int32_t>(read_le32(&header[format::bmp::kWidthOffset]));
    const auto declared_height =
        static_cast<std::int32_t>(read_le32(&header[format::bmp::kHeightOffset]));
    const long long abs_height = std::llabs(static_cast<long long>(declared_height));
    if (declared_width != mode.width || abs_height != mode.height) {
        file_error(err, prog, name,
                   "BMP picture must be " + std::to_string(mode.width) + "x" +
                       std::to_string(mode.height) + " pixels");
        return false;
    }
    const std::size_t row_bytes = static_cast<std::size_t>(mode.width) * 3;
    const std::size_t size = row_bytes * static_cast<std::size_t>(mode.height);
    std::vector<std::uint8_t> pixels(size, 0);
    const std::uint32_t offset = read_le32(&header[format::bmp::kPixelOffsetOffset]);
    if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0) {
        file_error(err, prog, name, "BMP pixel data is truncated");
        return false;
    }
    errno = 0;
    const std::size_t read = std::fread(pixels.data(), 1, size, file.get());
    if (std::ferror(file.get())) {
        system_error(err, name, errno != 0 ? errno : EIO);
        return false;
    }
    if (read < size) {
        file_error(err, prog, name, "BMP pixel data is truncated");
        return false;
    }
    picture = rgb_rows_from_top(pixels, mode.width, mode.height, declared_height < 0);
    if (header_copy != nullptr) *header_copy = header;
    return true;
}

}  // namespace

RgbPicture rgb_rows_from_top(const std::vector<std::uint8_t>& bgr, int width, int height,
                             bool top_down) {
    RgbPicture picture{width, height, std::vector<std::uint8_t>(bgr.size())};
    const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        const std::size_t stored = static_cast<std::size_t>(top_down ? y : height - 1 - y);
        const std::uint8_t* from = bgr.data() + stored * row_bytes;
        std::uint8_t* to = picture.rgb.data() + static_cast<std::size_t>(y) * row_bytes;
        for (std::size_t i = 0; i < row_bytes; i += 3) {
            to[i] = from[i + 2];
            to[i + 1] = from[i + 1];
            to[i + 2] = from[i];
        }
    }
    return picture;
}

bool load_pictures(const RunSettings& settings, const ScreenMode& mode, InputPictures& pictures,
                   TextSink& out, std::FILE* err) {
    if (!read_bmp(settings.program_name, settings.input_name, mode, pictures.picture,
                  &pictures.header, err)) {
        explain_refused_picture(settings.program_name, settings.input_name, mode, err);
        return false;
    }
    const std::string companion = format::companion_name(settings.input_name);
    pictures.companion.reset();
    if (settings.verbose == 1) out.printf("outfilename_bis=%s \n", companion.c_str());
    if (File probe{platform::open_stdio_file(companion, "rb")}) {
        probe.reset();
        RgbPicture second;
        if (!read_bmp(settings.program_name, companion, mode, second, nullptr, err)) {
            explain_refused_picture(settings.program_name, companion, mode, err);
            return false;
        }
        pictures.companion = std::move(second);
    }
    return true;
}

}  // namespace brenvik
