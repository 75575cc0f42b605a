#include "encoder/frontend/bmp.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "encoder/frontend/fit_input.h"
#include "encoder/state/file_names.h"
#include "platform_files.h"

namespace brenvik {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::uint32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t read_le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void system_error(std::FILE* err, const std::string& name, int error) {
    std::fprintf(err, "%s: %s\n", name.c_str(), std::strerror(error));
}

void file_error(std::FILE* err, const std::string& prog, const std::string& name,
                const std::string& message) {
    std::fprintf(err, "%s: %s: %s\n", prog.c_str(), name.c_str(), message.c_str());
}

// Reads one picture of W x H pixels into `pixels` (bottom row first).
bool read_bmp(const std::string& prog, const std::string& name, const ScreenMode& mode,
              std::vector<std::uint8_t>& pixels, std::array<std::uint8_t, 54>* header_copy,
              std::FILE* err) {
    errno = 0;
    File file(platform::open_stdio_file(name, "rb"));
    if (!file) {
        system_error(err, name, errno);
        return false;
    }
    std::array<std::uint8_t, 54> header{};
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
    if (header_bytes_read < 34) {
        file_error(err, prog, name, "BMP header is truncated");
        return false;
    }
    if (read_le32(&header[30]) != 0 || read_le16(&header[28]) != 24) {
        file_error(err, prog, name, "BMP format must be uncompressed 24-bit");
        return false;
    }
    const auto declared_width = static_cast<std::int32_t>(read_le32(&header[18]));
    const auto declared_height = static_cast<std::int32_t>(read_le32(&header[22]));
    const long long abs_height = std::llabs(static_cast<long long>(declared_height));
    if (declared_width != mode.width || abs_height != mode.height) {
        file_error(err, prog, name,
                   "BMP picture must be " + std::to_string(mode.width) + "x" +
                       std::to_string(mode.height) + " pixels");
        return false;
    }
    const std::size_t row_bytes = static_cast<std::size_t>(mode.width) * 3;
    const std::size_t size = row_bytes * static_cast<std::size_t>(mode.height);
    pixels.assign(size, 0);
    const std::uint32_t offset = read_le32(&header[10]);
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
    if (declared_height < 0) {
        // Top-down picture: turn it into the usual bottom-up row order.
        for (int top = 0, bottom = mode.height - 1; top < bottom; ++top, --bottom) {
            std::swap_ranges(pixels.begin() + static_cast<std::ptrdiff_t>(top * row_bytes),
                             pixels.begin() + static_cast<std::ptrdiff_t>((top + 1) * row_bytes),
                             pixels.begin() + static_cast<std::ptrdiff_t>(bottom * row_bytes));
        }
    }
    if (header_copy != nullptr) *header_copy = header;
    return true;
}

}  // namespace

std::string companion_name(const std::string& name) {
    return replace_extension(name, "_bis.bmp");
}

bool load_pictures(const RunSettings& settings, const ScreenMode& mode, SourcePictures& pictures,
                   TextSink& out, std::FILE* err) {
    if (!read_bmp(settings.program_name, settings.input_name, mode, pictures.first_pixels,
                  &pictures.header, err)) {
        explain_refused_picture(settings.program_name, settings.input_name, mode, err);
        return false;
    }
    const std::string companion = companion_name(settings.input_name);
    pictures.has_companion = 0;
    if (settings.verbose == 1) out.printf("outfilename_bis=%s \n", companion.c_str());

    if (File probe{platform::open_stdio_file(companion, "rb")}) {
        probe.reset();
        if (!read_bmp(settings.program_name, companion, mode, pictures.second_pixels, nullptr,
                      err)) {
            explain_refused_picture(settings.program_name, companion, mode, err);
            return false;
        }
        pictures.has_companion = 1;
    } else if (settings.palette_mode == kOnePalette) {
        pictures.second_pixels.assign(pictures.first_pixels.size(), 0);
    } else {
        pictures.second_pixels = pictures.first_pixels;
    }
    return true;
}

}  // namespace brenvik
