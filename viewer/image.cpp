#include "viewer/image.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "format/bmp.h"

namespace brenvik::viewer {
namespace {

using format::bmp::read_le16;
using format::bmp::read_le32;

struct PngSink {
    std::vector<std::uint8_t>* bytes;
    std::string message;
};

void png_append(png_structp png, png_bytep data, png_size_t size) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    sink->bytes->insert(sink->bytes->end(), data, data + size);
}

void png_flush_nothing(png_structp) {}

[[noreturn]] void png_failure(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    sink->message = message;
    png_longjmp(png, 1);
}

void png_warning_ignored(png_structp, png_const_charp) {}

double psnr_of(double mse) {
    if (mse <= 0.0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

// The 3x3 [1 2 1; 2 4 2; 1 2 1] / 16 blur, edge pixels replicated.
std::vector<double> blurred(const Image& image) {
    const int W = image.width;
    const int H = image.height;
    std::vector<double> out(image.rgb.size(), 0.0);
    static constexpr int kWeights[3] = {1, 2, 1};
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            for (int c = 0; c < 3; ++c) {
                double sum = 0.0;
                for (int dy = -1; dy <= 1; ++dy) {
                    const int yy = std::clamp(y + dy, 0, H - 1);
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int xx = std::clamp(x + dx, 0, W - 1);
                        sum += kWeights[dy + 1] * kWeights[dx + 1] * image.at(xx, yy)[c];
                    }
                }
                out[(static_cast<std::size_t>(y) * W + x) * 3 + c] = sum / 16.0;
            }
        }
    }
    return out;
}

// The 11 weights of a Gaussian of sigma 1.5 sampled at -5..5, divided by
// their sum; written out so that no platform's exp() can change them.
constexpr double kSsimWindow[11] = {
    0.00102838008447911, 0.007598758135239185, 0.03600077212843083, 0.10936068950970002,
    0.2130055377112537,  0.26601172486179436,  0.2130055377112537,  0.10936068950970002,
    0.03600077212843083, 0.007598758135239185, 0.00102838008447911,
};
constexpr int kSsimRadius = 5;

// The plane filtered by the window along x, then along y, edge pixels
// replicated (the same as the 11x11 window with edges replicated).
std::vector<double> gaussian_window_means(const std::vector<double>& plane, int W, int H) {
    std::vector<double> across(plane.size(), 0.0);
    for (int y = 0; y < H; ++y) {
        const double* row = plane.data() + static_cast<std::size_t>(y) * W;
        for (int x = 0; x < W; ++x) {
            double sum = 0.0;
            for (int i = -kSsimRadius; i <= kSsimRadius; ++i) {
                sum += kSsimWindow[i + kSsimRadius] * row[std::clamp(x + i, 0, W - 1)];
            }
            across[static_cast<std::size_t>(y) * W + x] = sum;
        }
    }
    std::vector<double> out(plane.size(), 0.0);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            double sum = 0.0;
            for (int i = -kSsimRadius; i <= kSsimRadius; ++i) {
                const int yy = std::clamp(y + i, 0, H - 1);
                sum += kSsimWindow[i + kSsimRadius] * across[static_cast<std::size_t>(yy) * W + x];
            }
            out[static_cast<std::size_t>(y) * W + x] = sum;
        }
    }
    return out;
}

std::vector<double> luma(const Image& image) {
    std::vector<double> out(static_cast<std::size_t>(image.width) * image.height);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint8_t* p = image.rgb.data() + 3 * i;
        out[i] = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
    }
    return out;
}

void format_psnr(std::string& line, const char* name, double value) {
    char buffer[64];
    if (std::isinf(value)) {
        std::snprintf(buffer, sizeof buffer, "%s=inf", name);
    } else {
        std::snprintf(buffer, sizeof buffer, "%s=%.4f", name, value);
    }
    line += buffer;
}

}  // namespace

namespace {

// The libpng calls, kept apart from every C++ object with a destructor so
// that the error jump cannot skip one. True when the PNG is complete.
bool write_png(png_structp png, png_infop info, png_uint_32 width, png_uint_32 height,
               png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_rows(png, rows, height);
    png_write_end(png, info);
    return true;
}

}  // namespace

bool encode_png(const Image& image, std::vector<std::uint8_t>& bytes, std::string& error) {
    bytes.clear();
    PngSink sink{&bytes, {}};
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, png_failure, png_warning_ignored);
    if (png == nullptr) {
        error = "cannot start libpng";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(image.at(0, y));
    }
    bool ok = info != nullptr;
    if (ok) {
        png_set_write_fn(png, &sink, png_append, png_flush_nothing);
        ok = write_png(png, info, static_cast<png_uint_32>(image.width),
                       static_cast<png_uint_32>(image.height), rows.data());
    }
    png_destroy_write_struct(&png, &info);
    if (!ok) {
        error = "PNG encoding failed: " +
                (sink.message.empty() ? std::string("no memory") : sink.message);
    }
    return ok;
}

bool decode_bmp(const std::vector<std::uint8_t>& bytes, Image& image, std::string& error) {
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
        error = "not a BMP file";
        return false;
    }
    if (bytes.size() < format::bmp::kHeaderBytes) {
        error = "BMP header is truncated";
        return false;
    }
    const std::uint8_t* h = bytes.data();
    if (read_le16(h + format::bmp::kBitsPerPixelOffset) != 24 ||
        read_le32(h + format::bmp::kCompressionOffset) != 0) {
        error = "BMP must be uncompressed 24-bit";
        return false;
    }
    const auto width = static_cast<std::int32_t>(read_le32(h + format::bmp::kWidthOffset));
    const auto declared_height =
        static_cast<std::int32_t>(read_le32(h + format::bmp::kHeightOffset));
    const long long height = std::llabs(static_cast<long long>(declared_height));
    if (width <= 0 || height == 0 || width > 65535 || height > 65535) {
        error = "BMP size " + std::to_string(width) + "x" + std::to_string(declared_height) +
                " is not supported";
        return false;
    }
    const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    const std::size_t offset = read_le32(h + format::bmp::kPixelOffsetOffset);
    if (offset > bytes.size() || (bytes.size() - offset) / row < static_cast<std::size_t>(height)) {
        error = "BMP pixel data is truncated";
        return false;
    }
    image = Image(width, static_cast<int>(height));
    for (int y = 0; y < image.height; ++y) {
        const int stored = declared_height < 0 ? y : image.height - 1 - y;
        const std::uint8_t* src = bytes.data() + offset + row * static_cast<std::size_t>(stored);
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px = image.at(x, y);
            px[0] = src[3 * x + 2];
            px[1] = src[3 * x + 1];
            px[2] = src[3 * x];
        }
    }
    return true;
}

Image enlarge(const Image& image, int factor) {
    if (factor <= 1) return image;
    Image out(image.width * factor, image.height * factor);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            const std::uint8_t* src = image.at(x / factor, y / factor);
            std::uint8_t* dst = out.at(x, y);
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    return out;
}

Image average(const Image& a, const Image& b) {
    Image out(a.width, a.height);
    for (std::size_t i = 0; i < out.rgb.size(); ++i) {
        out.rgb[i] = static_cast<std::uint8_t>((a.rgb[i] + b.rgb[i] + 1) / 2);
    }
    return out;
}

Comparison compare(const Image& source, const Image& result) {
    Comparison c;
    const std::size_t values = source.rgb.size();
    double squares = 0.0;
    double weighted = 0.0;
    for (std::size_t i = 0; i < values; i += 3) {
        const double dr = static_cast<double>(source.rgb[i]) - result.rgb[i];
        const double dg = static_cast<double>(source.rgb[i + 1]) - result.rgb[i + 1];
        const double db = static_cast<double>(source.rgb[i + 2]) - result.rgb[i + 2];
        squares += dr * dr + dg * dg + db * db;
        weighted += 3 * dr * dr + 6 * dg * dg + db * db;
    }
    c.psnr = psnr_of(squares / static_cast<double>(values));
    c.weighted = weighted / source.height;
    const std::vector<double> a = blurred(source);
    const std::vector<double> b = blurred(result);
    double blurred_squares = 0.0;
    for (std::size_t i = 0; i < values; ++i) blurred_squares += (a[i] - b[i]) * (a[i] - b[i]);
    c.seen_psnr = psnr_of(blurred_squares / static_cast<double>(values));
    c.ssim = structural_similarity(source, result);
    return c;
}

double structural_similarity(const Image& a, const Image& b) {
    const int W = a.width;
    const int H = a.height;
    const std::vector<double> x = luma(a);
    const std::vector<double> y = luma(b);
    std::vector<double> xx(x.size()), yy(x.size()), xy(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        xx[i] = x[i] * x[i];
        yy[i] = y[i] * y[i];
        xy[i] = x[i] * y[i];
    }
    const std::vector<double> mx = gaussian_window_means(x, W, H);
    const std::vector<double> my = gaussian_window_means(y, W, H);
    const std::vector<double> mxx = gaussian_window_means(xx, W, H);
    const std::vector<double> myy = gaussian_window_means(yy, W, H);
    const std::vector<double> mxy = gaussian_window_means(xy, W, H);
    constexpr double c1 = (0.01 * 255) * (0.01 * 255);
    constexpr double c2 = (0.03 * 255) * (0.03 * 255);
    double sum = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double vx = mxx[i] - mx[i] * mx[i];
        const double vy = myy[i] - my[i] * my[i];
        const double cov = mxy[i] - mx[i] * my[i];
        sum += ((2 * mx[i] * my[i] + c1) * (2 * cov + c2)) /
               ((mx[i] * mx[i] + my[i] * my[i] + c1) * (vx + vy + c2));
    }
    return x.empty() ? 1.0 : sum / static_cast<double>(x.size());
}

std::string comparison_line(const Comparison& comparison) {
    std::string line;
    format_psnr(line, "psnr", comparison.psnr);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, " weighted=%.4f ", comparison.weighted);
    line += buffer;
    format_psnr(line, "seen_psnr", comparison.seen_psnr);
    std::snprintf(buffer, sizeof buffer, " ssim=%.4f", comparison.ssim);
    line += buffer;
    line += '\n';
    return line;
}

Image strip(const Image& source, const Image& result) {
    const int W = source.width;
    Image out(3 * W, source.height);
    for (int y = 0; y < source.height; ++y) {
        for (int x = 0; x < W; ++x) {
            const std::uint8_t* s = source.at(x, y);
            const std::uint8_t* r = result.at(x, y);
            for (int c = 0; c < 3; ++c) {
                out.at(x, y)[c] = s[c];
                out.at(W + x, y)[c] = r[c];
                out.at(2 * W + x, y)[c] =
                    static_cast<std::uint8_t>(std::min(255, 4 * std::abs(s[c] - r[c])));
            }
        }
    }
    return out;
}

}  // namespace brenvik::viewer
