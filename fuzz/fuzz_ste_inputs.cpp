// Fuzz target: what the STE host tool reads from outside: PPM frames, the
// colour table text, and picture files embedded into the ROM template; and
// the comparison of a parsed frame with a parsed reference.
//
// Input layout: byte 0 selects the reader (% 4):
//   0  the rest as a PPM; when it parses, compared with itself at scale 1
//   1  the rest as a colour table; when it parses, formatted and parsed again
//   2  bytes 1..4 the format (mode % 4, block lines % 8, sets % 3, shift % 10
//      - 5), the rest as a picture file, embedded into a template
//   3  the rest split at its middle into a reference and a capture PPM,
//      compared at scale 2 with the identity-like table
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "ste/host/ste_host.h"

using fuzzing::Bytes;

namespace {

Bytes rom_template() {
    Bytes rom(0x40000, 0);
    const std::string magic = "BVKROM01";
    std::copy(magic.begin(), magic.end(), rom.begin() + 0x30);
    rom[0x42] = 0x01;  // payload at 0x100
    rom[0x4d] = 0x04;  // image size 0x40000
    return rom;
}

ste::ColourTable steps_of_17() {
    ste::ColourTable table;
    for (int i = 0; i < 4096; ++i) {
        table.rgb[i] = {static_cast<std::uint8_t>(17 * (i >> 8)),
                        static_cast<std::uint8_t>(17 * ((i >> 4) & 15)),
                        static_cast<std::uint8_t>(17 * (i & 15))};
    }
    return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Bytes rest(data + 1, data + size);
    std::string error;
    switch (data[0] % 4) {
        case 0: {
            ste::Image image;
            if (!ste::parse_ppm(rest, image, error)) {
                FUZZ_CHECK(!error.empty(), "a refused PPM needs a reason");
                break;
            }
            FUZZ_CHECK(image.rgb.size() == static_cast<std::size_t>(image.width) * image.height * 3,
                       "pixel bytes must match the size");
            ste::Comparison result;
            if (ste::compare_frame(image, image, 1, steps_of_17(), result, error)) {
                FUZZ_CHECK(result.differing <= result.pixels, "more differences than pixels");
            }
            break;
        }
        case 1: {
            ste::ColourTable table;
            const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
            if (!ste::parse_colour_table(text, table, error)) {
                FUZZ_CHECK(!error.empty(), "a refused table needs a reason");
                break;
            }
            ste::ColourTable again;
            FUZZ_CHECK(ste::parse_colour_table(ste::format_colour_table(table), again, error),
                       "a formatted table must parse");
            FUZZ_CHECK(again.rgb == table.rgb, "a table must survive formatting");
            break;
        }
        case 2: {
            if (rest.size() < 4) break;
            const ste::PictureFormat format{rest[0] % 4, rest[1] % 8, rest[2] % 3,
                                            rest[3] % 10 - 5};
            const Bytes picture(rest.begin() + 4, rest.end());
            Bytes rom = rom_template();
            const Bytes before = rom;
            const std::string message = ste::embed_picture(rom, picture, format, nullptr);
            if (message.empty()) {
                FUZZ_CHECK(picture.size() == ste::picture_file_size(format),
                           "embedded a picture of the wrong size");
                FUZZ_CHECK(std::equal(picture.begin(), picture.end(), rom.begin() + 0x100),
                           "picture not copied");
            } else {
                FUZZ_CHECK(rom == before, "a refused picture must leave the template untouched");
            }
            FUZZ_CHECK(rom.size() == before.size(), "the ROM image changed size");
            break;
        }
        default: {
            const std::size_t half = rest.size() / 2;
            ste::Image reference;
            ste::Image capture;
            if (!ste::parse_ppm(
                    Bytes(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(half)),
                    reference, error) ||
                !ste::parse_ppm(Bytes(rest.begin() + static_cast<std::ptrdiff_t>(half), rest.end()),
                                capture, error)) {
                break;
            }
            ste::Comparison result;
            if (ste::compare_frame(reference, capture, 2, steps_of_17(), result, error)) {
                long sum = 0;
                for (long n : result.differing_per_column) sum += n;
                FUZZ_CHECK(sum == result.differing, "per-column counts must add up");
                FUZZ_CHECK(result.differing == 0 || !ste::describe_columns(result).empty(),
                           "differences must be described");
            }
            break;
        }
    }
    return 0;
}
