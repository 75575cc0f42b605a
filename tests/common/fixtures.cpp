#include "tests/common/fixtures.h"

#include <cstddef>
#include <cstdio>
#include <random>

#include "encoder/frontend/run.h"

namespace testsupport {

namespace fs = std::filesystem;

std::vector<std::uint8_t> make_bmp(int width, int height,
                                   const std::function<Rgb(int x, int y)>& pixel) {
    std::vector<std::uint8_t> pixels;
    pixels.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int row = height - 1; row >= 0; --row) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = pixel(x, row);
            pixels.insert(pixels.end(), {c.b, c.g, c.r});
        }
    }
    return bmp_file(width, height, pixels);
}

std::vector<std::uint8_t> synthetic_picture(int width, int height, unsigned seed) {
    std::uint32_t state = seed;
    auto noise = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % 25) - 12;
    };
    auto clamp8 = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
    return make_bmp(width, height, [&](int x, int y) {
        int r = 255 * x / width;
        int g = 255 * y / height;
        int b = 128 + ((x * 7 + y * 3 + static_cast<int>(seed) * 11) % 128) - 64;
        const int dx = x - width / 3;
        const int dy = y - height / 2;
        if (dx * dx + dy * dy < (height / 3) * (height / 3)) {
            r = 230;
            g = 200 - y % 40;
            b = 40;
        }
        if ((x / 24 + y / 12) % 5 == 0) b = 255 - b;
        return Rgb{clamp8(r + noise()), clamp8(g + noise()), clamp8(b + noise())};
    });
}

namespace {

std::string slurp(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    return text;
}

}  // namespace

RunOutput run_encoder(const fs::path& dir, const std::vector<std::string>& args, unsigned threads,
                      bool portable_search) {
    std::vector<std::string> argv{"brenvik"};
    argv.insert(argv.end(), args.begin(), args.end());
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    RunOutput result;
    brenvik::RunOptions options;
    options.threads = threads;
    options.portable_search = portable_search;
    result.status = brenvik::run_brenvik(argv, out, err, options);
    fs::current_path(previous);
    result.out = slurp(out);
    result.err = slurp(err);
    std::fclose(out);
    std::fclose(err);
    return result;
}

std::string mask_times(const std::string& out) {
    // Every "<digits>.<digits> sec" becomes "T sec".
    std::string masked;
    std::size_t i = 0;
    auto digit = [&](std::size_t at) {
        return at < out.size() && out[at] >= '0' && out[at] <= '9';
    };
    while (i < out.size()) {
        std::size_t j = i;
        while (digit(j)) ++j;
        if (j > i && j < out.size() && out[j] == '.' && digit(j + 1)) {
            std::size_t k = j + 1;
            while (digit(k)) ++k;
            if (out.compare(k, 4, " sec") == 0) {
                masked += "T";
                i = k;
                continue;
            }
        }
        if (j > i) {
            masked.append(out, i, j - i);
            i = j;
        } else {
            masked += out[i++];
        }
    }
    return masked;
}

}  // namespace testsupport
