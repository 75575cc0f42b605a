#include "frontend_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace frontend_test {

#ifdef _WIN32
// No memory streams in the Windows C runtime: a temporary file, read back.
Capture::Capture() {
    file_ = std::tmpfile();
    if (file_ == nullptr) ADD_FAILURE() << "tmpfile failed";
}

Capture::~Capture() {
    if (file_ != nullptr) std::fclose(file_);
}

std::string Capture::text() {
    std::fflush(file_);
    const long end = std::ftell(file_);
    std::string text(end > 0 ? static_cast<std::size_t>(end) : 0, '\0');
    std::rewind(file_);
    text.resize(std::fread(text.data(), 1, text.size(), file_));
    std::fseek(file_, 0, SEEK_END);
    return text;
}
#else
Capture::Capture() {
    file_ = open_memstream(&buffer_, &size_);
    if (file_ == nullptr) ADD_FAILURE() << "open_memstream failed";
}

Capture::~Capture() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(buffer_);
}

std::string Capture::text() {
    std::fflush(file_);
    return std::string(buffer_ != nullptr ? buffer_ : "", size_);
}
#endif

std::uint8_t pattern_byte(int x, int y, int channel, int salt) {
    return static_cast<std::uint8_t>(x * 7 + y * 31 + channel * 85 + salt * 13 + (x >> 8) * 3);
}

Bytes pattern_pixels(int width, int height, int salt, bool top_down) {
    Bytes pixels;
    pixels.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int row = 0; row < height; ++row) {
        const int y = top_down ? row + 1 : height - row;
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) pixels.push_back(pattern_byte(x, y, c, salt));
        }
    }
    return pixels;
}

namespace {

void put_le(Bytes& b, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

Bytes make_bmp(const BmpFields& fields, const Bytes& pixels) {
    const std::size_t header = std::max<std::size_t>(fields.pixel_offset, 54);
    Bytes b(header, 0xEE);
    b[0] = fields.signature_ok ? 'B' : 'P';
    b[1] = fields.signature_ok ? 'M' : '6';
    put_le(b, 2, static_cast<std::uint32_t>(fields.pixel_offset + pixels.size()), 4);
    put_le(b, 6, 0, 4);
    put_le(b, 10, fields.pixel_offset, 4);
    put_le(b, 14, 40, 4);
    put_le(b, 18, static_cast<std::uint32_t>(fields.width), 4);
    put_le(b, 22, static_cast<std::uint32_t>(fields.height), 4);
    put_le(b, 26, 1, 2);
    put_le(b, 28, fields.bits_per_pixel, 2);
    put_le(b, 30, fields.compression, 4);
    put_le(b, 34, static_cast<std::uint32_t>(pixels.size()), 4);
    put_le(b, 38, 2835, 4);
    put_le(b, 42, 2835, 4);
    put_le(b, 46, 0, 4);
    put_le(b, 50, 0, 4);
    b.resize(fields.pixel_offset);  // a header shorter than 54 bytes is cut
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

void write_pattern_bmp(const std::string& path, int width, int height, int salt) {
    write_file(path, make_bmp({width, height}, pattern_pixels(width, height, salt)));
}

}  // namespace frontend_test
