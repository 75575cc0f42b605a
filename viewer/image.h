// 24-bit pictures for the viewer: PNG output through libpng, BMP input for
// comparisons, nearest-neighbour enlargement, error figures and the
// source | result | error strip.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brenvik::viewer {

// Top line first, R, G, B per pixel, no padding.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb(static_cast<std::size_t>(w) * h * 3, 0) {}
    std::uint8_t* at(int x, int y) {
        return rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
    const std::uint8_t* at(int x, int y) const {
        return rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
    bool operator==(const Image&) const = default;
};

// The image as a PNG file (8-bit RGB). False with `error` set when libpng fails.
bool encode_png(const Image& image, std::vector<std::uint8_t>& png, std::string& error);

// Reads an uncompressed 24-bit BMP (bottom-up or top-down, rows padded to 4
// bytes). False with `error` (without the file's name) when it is not one or
// is truncated.
bool decode_bmp(const std::vector<std::uint8_t>& bytes, Image& image, std::string& error);

// Each pixel repeated factor x factor times.
Image enlarge(const Image& image, int factor);

// Per pixel and channel the rounded mean of the two pictures (same size).
Image average(const Image& a, const Image& b);

// Error figures of `result` against `source` (same size): PSNR over the
// three channels, the encoder's weighted distance 3 dR^2 + 6 dG^2 + dB^2
// summed per line and averaged over the lines, the PSNR of both pictures
// after the 3x3 [1 2 1; 2 4 2; 1 2 1] / 16 blur with edge pixels replicated,
// and the SSIM of their luma (structural_similarity below). A PSNR of two
// equal pictures is +infinity.
struct Comparison {
    double psnr = 0.0;
    double weighted = 0.0;
    double seen_psnr = 0.0;
    double ssim = 0.0;
};
Comparison compare(const Image& source, const Image& result);

// The mean structural similarity of two pictures (same size) on their luma
// Y = 0.299 R + 0.587 G + 0.114 B (0..255): at every pixel, over the 11x11
// Gaussian window of sigma 1.5 centred on it (edge pixels replicated),
// ((2 mx my + C1) (2 sxy + C2)) / ((mx^2 + my^2 + C1) (sx^2 + sy^2 + C2))
// with the windows' weighted means, variances and covariance,
// C1 = (0.01 x 255)^2 and C2 = (0.03 x 255)^2; the mean over the pixels.
// 1 for equal pictures. Only additions, products and quotients: the same
// bits on every platform.
double structural_similarity(const Image& a, const Image& b);

// "psnr=%.4f weighted=%.4f seen_psnr=%.4f ssim=%.4f\n" with "inf" for
// infinite PSNRs.
std::string comparison_line(const Comparison& comparison);

// Source, result and the error map (absolute difference per channel times
// four, cut to 255) side by side.
Image strip(const Image& source, const Image& result);

}  // namespace brenvik::viewer
