#include "tests/input/picture_files.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace input_test {

namespace {

void put16(Bytes& b, std::size_t at, unsigned v, bool big) {
    b[at + (big ? 0 : 1)] = static_cast<std::uint8_t>(v >> 8);
    b[at + (big ? 1 : 0)] = static_cast<std::uint8_t>(v);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v, bool big) {
    for (std::size_t i = 0; i < 4; ++i) {
        b[at + (big ? 3 - i : i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

void append_png(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}
void flush_nothing(png_structp) {}

[[noreturn]] void png_failure(png_structp, png_const_charp message) {
    throw std::runtime_error(std::string("writing a test PNG: ") + message);
}

std::uint32_t key(const Rgba16& c) {
    return static_cast<std::uint32_t>(c.r >> 8) << 24 | static_cast<std::uint32_t>(c.g >> 8) << 16 |
           static_cast<std::uint32_t>(c.b >> 8) << 8 | static_cast<std::uint32_t>(c.a >> 8);
}

// The shown position of stored pixel (x, y) of a stored w x h picture.
void shown_position(int orientation, int w, int h, int x, int y, int& sx, int& sy) {
    switch (orientation) {
        case 2:
            sx = w - 1 - x;
            sy = y;
            break;
        case 3:
            sx = w - 1 - x;
            sy = h - 1 - y;
            break;
        case 4:
            sx = x;
            sy = h - 1 - y;
            break;
        case 5:
            sx = y;
            sy = x;
            break;
        case 6:
            sx = h - 1 - y;
            sy = x;
            break;
        case 7:
            sx = h - 1 - y;
            sy = w - 1 - x;
            break;
        case 8:
            sx = y;
            sy = w - 1 - x;
            break;
        default:
            sx = x;
            sy = y;
            break;
    }
}

}  // namespace

Bytes png_file(int width, int height, PngKind kind, int bits, const Pattern& pattern,
               bool interlaced) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_failure, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, append_png, flush_nothing);
    int type = PNG_COLOR_TYPE_RGB;
    int channels = 3;
    switch (kind) {
        case PngKind::rgb:
            break;
        case PngKind::rgba:
            type = PNG_COLOR_TYPE_RGB_ALPHA;
            channels = 4;
            break;
        case PngKind::grey:
            type = PNG_COLOR_TYPE_GRAY;
            channels = 1;
            break;
        case PngKind::grey_alpha:
            type = PNG_COLOR_TYPE_GRAY_ALPHA;
            channels = 2;
            break;
        case PngKind::palette:
            type = PNG_COLOR_TYPE_PALETTE;
            channels = 1;
            bits = 8;
            break;
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bits,
                 type, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const int bytes = bits / 8;
    std::vector<Bytes> rows(static_cast<std::size_t>(height),
                            Bytes(static_cast<std::size_t>(width * channels * bytes)));
    std::map<std::uint32_t, int> palette_index;
    std::vector<png_color> palette;
    std::vector<png_byte> alphas;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgba16 c = pattern(x, y);
            std::uint8_t* p = rows[static_cast<std::size_t>(y)].data() +
                              static_cast<std::size_t>(x * channels * bytes);
            std::vector<unsigned> values;
            switch (kind) {
                case PngKind::rgb:
                    values = {c.r, c.g, c.b};
                    break;
                case PngKind::rgba:
                    values = {c.r, c.g, c.b, c.a};
                    break;
                case PngKind::grey:
                    values = {c.g};
                    break;
                case PngKind::grey_alpha:
                    values = {c.g, c.a};
                    break;
                case PngKind::palette: {
                    const auto found = palette_index.find(key(c));
                    int index = 0;
                    if (found == palette_index.end()) {
                        index = static_cast<int>(palette.size());
                        if (index == 256) throw std::runtime_error("more than 256 colours");
                        palette_index[key(c)] = index;
                        palette.push_back({static_cast<png_byte>(c.r >> 8),
                                           static_cast<png_byte>(c.g >> 8),
                                           static_cast<png_byte>(c.b >> 8)});
                        alphas.push_back(static_cast<png_byte>(c.a >> 8));
                    } else {
                        index = found->second;
                    }
                    p[0] = static_cast<std::uint8_t>(index);
                    continue;
                }
            }
            for (std::size_t i = 0; i < values.size(); ++i) {
                if (bytes == 2) {
                    p[2 * i] = static_cast<std::uint8_t>(values[i] >> 8);
                    p[2 * i + 1] = static_cast<std::uint8_t>(values[i]);
                } else {
                    p[i] = static_cast<std::uint8_t>(values[i] >> 8);
                }
            }
        }
    }
    if (kind == PngKind::palette) {
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        bool transparent = false;
        for (png_byte a : alphas) transparent = transparent || a != 255;
        if (transparent) {
            png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
        }
    }
    std::vector<png_bytep> pointers;
    for (Bytes& row : rows) pointers.push_back(row.data());
    png_set_rows(png, info, pointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes exif_tiff(int orientation, bool big_endian, int other_entries) {
    const int entries = other_entries + 1;
    Bytes b(8 + 2 + 12 * static_cast<std::size_t>(entries) + 4, 0);
    b[0] = b[1] = big_endian ? 'M' : 'I';
    put16(b, 2, 42, big_endian);
    put32(b, 4, 8, big_endian);
    put16(b, 8, static_cast<unsigned>(entries), big_endian);
    for (int i = 0; i < entries; ++i) {
        const std::size_t at = 10 + 12 * static_cast<std::size_t>(i);
        const bool orientation_entry = i == entries - 1;
        put16(b, at, orientation_entry ? 0x0112 : 0x010F + static_cast<unsigned>(i), big_endian);
        put16(b, at + 2, 3, big_endian);  // SHORT
        put32(b, at + 4, 1, big_endian);
        put16(b, at + 8, orientation_entry ? static_cast<unsigned>(orientation) : 7, big_endian);
    }
    return b;
}

Bytes jpeg_file(int width, int height, JpegKind kind, bool progressive, int orientation,
                const Pattern& pattern, int quality) {
    const bool turned = orientation >= 5;
    const int stored_width = turned ? height : width;
    const int stored_height = turned ? width : height;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(stored_width);
    cinfo.image_height = static_cast<JDIMENSION>(stored_height);
    const int components = kind == JpegKind::grey ? 1 : kind == JpegKind::cmyk ? 4 : 3;
    cinfo.input_components = components;
    cinfo.in_color_space = kind == JpegKind::grey   ? JCS_GRAYSCALE
                           : kind == JpegKind::cmyk ? JCS_CMYK
                                                    : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (orientation != 1) {
        Bytes payload = {'E', 'x', 'i', 'f', 0, 0};
        const Bytes tiff = exif_tiff(orientation, orientation % 2 == 0, 2);
        payload.insert(payload.end(), tiff.begin(), tiff.end());
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, payload.data(),
                          static_cast<unsigned>(payload.size()));
    }
    Bytes row(static_cast<std::size_t>(stored_width * components));
    for (int y = 0; y < stored_height; ++y) {
        for (int x = 0; x < stored_width; ++x) {
            int sx = 0;
            int sy = 0;
            shown_position(orientation, stored_width, stored_height, x, y, sx, sy);
            const Rgba16 c = pattern(sx, sy);
            std::uint8_t* p = row.data() + static_cast<std::size_t>(x * components);
            if (kind == JpegKind::grey) {
                p[0] = static_cast<std::uint8_t>(c.g >> 8);
            } else if (kind == JpegKind::cmyk) {
                // Adobe's inverted inks with no black: the samples are R, G, B, 255.
                p[0] = static_cast<std::uint8_t>(c.r >> 8);
                p[1] = static_cast<std::uint8_t>(c.g >> 8);
                p[2] = static_cast<std::uint8_t>(c.b >> 8);
                p[3] = 255;
            } else {
                p[0] = static_cast<std::uint8_t>(c.r >> 8);
                p[1] = static_cast<std::uint8_t>(c.g >> 8);
                p[2] = static_cast<std::uint8_t>(c.b >> 8);
            }
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

Bytes bmp_file(int width, int height, const BmpOptions& o, const Pattern& pattern) {
    const bool core = o.header_size == 12;
    const bool palette = o.bits <= 8;
    std::vector<Rgba16> colours;
    std::map<std::uint32_t, int> index_of;
    std::vector<std::vector<int>> indices(static_cast<std::size_t>(height),
                                          std::vector<int>(static_cast<std::size_t>(width)));
    if (palette) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Rgba16 c = pattern(x, y);
                auto found = index_of.find(key(c));
                if (found == index_of.end()) {
                    if (colours.size() == (1u << o.bits)) throw std::runtime_error("palette full");
                    found = index_of.emplace(key(c), static_cast<int>(colours.size())).first;
                    colours.push_back(c);
                }
                indices[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = found->second;
            }
        }
    }
    const std::size_t masks = !core && o.bit_fields && o.header_size == 40 ? 16 : 0;
    const std::size_t entry = core ? 3 : 4;
    const std::size_t palette_bytes = palette ? colours.size() * entry : 0;
    const std::size_t offset = 14 + static_cast<std::size_t>(o.header_size) + masks + palette_bytes;
    const std::size_t stride = (static_cast<std::size_t>(width) * o.bits + 31) / 32 * 4;
    Bytes b(offset + stride * static_cast<std::size_t>(height), 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(b.size()), false);
    put32(b, 10, static_cast<std::uint32_t>(offset), false);
    put32(b, 14, static_cast<std::uint32_t>(o.header_size), false);
    if (core) {
        put16(b, 18, static_cast<unsigned>(width), false);
        put16(b, 20, static_cast<unsigned>(height), false);
        put16(b, 22, 1, false);
        put16(b, 24, static_cast<unsigned>(o.bits), false);
    } else {
        put32(b, 18, static_cast<std::uint32_t>(width), false);
        put32(b, 22, static_cast<std::uint32_t>(o.top_down ? -height : height), false);
        put16(b, 26, 1, false);
        put16(b, 28, static_cast<unsigned>(o.bits), false);
        put32(b, 30, o.bit_fields ? 3 : 0, false);
        put32(b, 46, static_cast<std::uint32_t>(colours.size()), false);
        if (o.bit_fields) {
            // 32 bits: alpha in the top byte, then R, G, B; 16 bits: 5-6-5.
            const std::uint32_t m32[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
            const std::uint32_t m16[4] = {0xF800, 0x07E0, 0x001F, 0};
            for (std::size_t i = 0; i < 4; ++i) {
                put32(b, 54 + 4 * i, o.bits == 32 ? m32[i] : m16[i], false);
            }
        }
    }
    const std::size_t palette_at = 14 + static_cast<std::size_t>(o.header_size) + masks;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        b[palette_at + i * entry] = static_cast<std::uint8_t>(colours[i].b >> 8);
        b[palette_at + i * entry + 1] = static_cast<std::uint8_t>(colours[i].g >> 8);
        b[palette_at + i * entry + 2] = static_cast<std::uint8_t>(colours[i].r >> 8);
    }
    for (int y = 0; y < height; ++y) {
        const int stored = o.top_down ? y : height - 1 - y;
        std::uint8_t* row = b.data() + offset + static_cast<std::size_t>(stored) * stride;
        for (int x = 0; x < width; ++x) {
            const Rgba16 c = pattern(x, y);
            const auto ux = static_cast<std::size_t>(x);
            const unsigned r = c.r >> 8, g = c.g >> 8, bl = c.b >> 8, a = c.a >> 8;
            switch (o.bits) {
                case 1:
                case 4:
                case 8: {
                    const std::size_t bit = ux * static_cast<std::size_t>(o.bits);
                    const unsigned shift = 8 - static_cast<unsigned>(o.bits) - bit % 8;
                    row[bit / 8] = static_cast<std::uint8_t>(
                        row[bit / 8] | indices[static_cast<std::size_t>(y)][ux] << shift);
                    break;
                }
                case 16: {
                    const unsigned v = o.bit_fields ? (r >> 3) << 11 | (g >> 2) << 5 | bl >> 3
                                                    : (r >> 3) << 10 | (g >> 3) << 5 | bl >> 3;
                    row[ux * 2] = static_cast<std::uint8_t>(v);
                    row[ux * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
                    break;
                }
                case 24:
                    row[ux * 3] = static_cast<std::uint8_t>(bl);
                    row[ux * 3 + 1] = static_cast<std::uint8_t>(g);
                    row[ux * 3 + 2] = static_cast<std::uint8_t>(r);
                    break;
                default:
                    row[ux * 4] = static_cast<std::uint8_t>(bl);
                    row[ux * 4 + 1] = static_cast<std::uint8_t>(g);
                    row[ux * 4 + 2] = static_cast<std::uint8_t>(r);
                    row[ux * 4 + 3] = static_cast<std::uint8_t>(o.bit_fields ? a : 0);
                    break;
            }
        }
    }
    return b;
}

}  // namespace input_test
