// fit_filter_tool FILTER FIT WIDTH HEIGHT INPUT OUTPUT.bmp: the picture fitted
// as brenvik --fit does, with the named resampling filter (lanczos3 or
// catmull-rom), written as a 24-bit BMP. bench/fit_filters.sh compares the
// filters by encoding these.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "input/fit.h"
#include "input/read_picture.h"

int main(int argc, char** argv) {
    using namespace brenvik::input;
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s lanczos3|catmull-rom pad|crop|stretch W H INPUT OUT.bmp\n",
                     argv[0]);
        return 2;
    }
    const std::string filter = argv[1];
    FitOptions options;
    options.filter = filter == "catmull-rom" ? Filter::catmull_rom : Filter::lanczos3;
    options.fit = fit_from_name(argv[2]).value_or(Fit::crop);
    const Size target{std::stoi(argv[3]), std::stoi(argv[4])};
    std::ifstream in(argv[5], std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    DecodedPicture picture;
    PictureInfo info;
    std::string message;
    if (!decode_picture(bytes, picture, info, message)) {
        std::fprintf(stderr, "%s: %s\n", argv[5], message.c_str());
        return 1;
    }
    const std::vector<std::uint8_t> file = bmp_file(fit_picture(picture, target, options));
    std::ofstream out(argv[6], std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    return out ? 0 : 1;
}
