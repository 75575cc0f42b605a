// Fuzz target: the viewer's readers of outside data. The input is taken as a
// BMP for the comparison reader; when its size is that of a picture file it
// is rendered as well (sizes of every layout are in the seed corpus, so the
// renderer meets arbitrary bitplanes and palette words).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "viewer/image.h"
#include "viewer/picture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    brenvik::viewer::Image image;
    std::string error;
    if (brenvik::viewer::decode_bmp(bytes, image, error)) {
        if (image.rgb.size() != static_cast<std::size_t>(image.width) * image.height * 3) {
            std::abort();
        }
    } else if (error.empty()) {
        std::abort();  // a refusal always says why
    }
    for (const auto& layout : brenvik::viewer::layouts_of_size(size, {})) {
        brenvik::viewer::RenderSettings settings;
        settings.shiftpixels = data[0] % 10;
        settings.level_step = 16 + data[size - 1] % 2;
        const auto rendering = brenvik::viewer::render_picture(bytes, layout, settings);
        if (rendering.seen.rgb.empty()) std::abort();
    }
    return 0;
}
