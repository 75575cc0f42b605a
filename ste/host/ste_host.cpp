#include "ste/host/ste_host.h"

#include <charconv>
#include <cstdio>

#include "format/picture_file.h"
#include "format/screen_modes.h"
#include "format/ste_palette.h"

namespace ste {

namespace {

// Offsets in the ROM image template (see ste/rom.S).
constexpr std::size_t kMagicOffset = 0x30;
constexpr std::string_view kMagic = "BVKROM01";
constexpr std::size_t kModeOffset = 0x38;
constexpr std::size_t kBlockOffset = 0x3a;
constexpr std::size_t kSetsOffset = 0x3c;
constexpr std::size_t kBitmap2FlagOffset = 0x3e;
constexpr std::size_t kPayloadOffset = 0x40;
constexpr std::size_t kSizeOffset = 0x44;
constexpr std::size_t kBitmap2Offset = 0x48;
constexpr std::size_t kImageSizeOffset = 0x4c;
constexpr std::size_t kShiftOffset = 0x50;

constexpr int kChartLines = 128;
constexpr int kChartCellWidth = 20;

std::uint32_t read_long(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 |
           static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
}

void write_word(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(value);
}

void write_long(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    write_word(bytes, at, value >> 16);
    write_word(bytes, at + 2, value & 0xffff);
}

void append_word(std::vector<std::uint8_t>& bytes, std::uint16_t word) {
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    bytes.push_back(static_cast<std::uint8_t>(word));
}

// 4-bit level of an 8-bit channel of a rendering: level x 17 or level x 16.
int level_of_channel(int value) {
    if (value % 17 == 0) return value / 17;
    if (value % 16 == 0 && value / 16 <= 15) return value / 16;
    return -1;
}

int colour_at(const Image& image, int x, int y) {
    const std::uint8_t* p = image.pixel(x, y);
    const int r = level_of_channel(p[0]);
    const int g = level_of_channel(p[1]);
    const int b = level_of_channel(p[2]);
    if (r < 0 || g < 0 || b < 0) return -1;
    return r << 8 | g << 4 | b;
}

std::string rgb_text(const std::uint8_t* p) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x%02x%02x", p[0], p[1], p[2]);
    return text;
}

}  // namespace

int words_per_record(int mode) {
    if (mode < 0 || mode > 3) return 0;
    return format::record_words(format::kScreenModes[static_cast<std::size_t>(mode)]);
}

int picture_lines(int mode) {
    if (mode < 0 || mode > 3) return 0;
    return format::kScreenModes[static_cast<std::size_t>(mode)].height;
}

std::size_t bitmap_bytes(int mode) {
    if (mode < 0 || mode > 3) return 0;
    return format::bitmap_bytes(format::kScreenModes[static_cast<std::size_t>(mode)]);
}

bool shift_supported(int mode, int shift) {
    if (shift < -5 || shift > 4) return false;
    switch (mode) {
        case 0:
            return true;
        case 1:
            return (shift + 2) % 4 == 0;
        case 2:
            return shift % 4 == 0;
        case 3:
            return shift == -3;
        default:
            return false;
    }
}

std::size_t picture_file_size(const PictureFormat& format) {
    const int words = words_per_record(format.mode);
    if (words == 0 || format.block_lines < 1 || format.block_lines > 6) return 0;
    if (format.palette_sets != 1 && format.palette_sets != 2) return 0;
    return format::picture_file_bytes(format::kScreenModes[static_cast<std::size_t>(format.mode)],
                                      format.block_lines, format.palette_sets == 2);
}

std::string embed_picture(std::vector<std::uint8_t>& rom, const std::vector<std::uint8_t>& picture,
                          const PictureFormat& format,
                          const std::vector<std::uint8_t>* second_bitmap) {
    if (rom.size() < kImageSizeOffset + 4 ||
        std::string_view(reinterpret_cast<const char*>(&rom[kMagicOffset]), kMagic.size()) !=
            kMagic) {
        return "not a ROM image template (no parameter block)";
    }
    if (read_long(rom, kImageSizeOffset) != rom.size())
        return "ROM image template has the wrong size";
    const std::size_t expected = picture_file_size(format);
    if (expected == 0) return "unsupported mode, block height or palette sets";
    if (!shift_supported(format.mode, format.shift)) {
        return "mode " + std::to_string(format.mode) +
               " cannot be shown with shiftpixels=" + std::to_string(format.shift + 5) +
               " (palette writes land on every 4th column)";
    }
    if (picture.size() != expected) {
        return "picture file has " + std::to_string(picture.size()) + " bytes, the format needs " +
               std::to_string(expected);
    }
    const std::size_t bitmap = bitmap_bytes(format.mode);
    if (second_bitmap != nullptr && second_bitmap->size() != bitmap) {
        return "second bitmap has " + std::to_string(second_bitmap->size()) + " bytes, not " +
               std::to_string(bitmap);
    }
    const std::size_t payload = read_long(rom, kPayloadOffset);
    const std::size_t bitmap2_at = (payload + picture.size() + 15) / 16 * 16;
    const std::size_t end =
        second_bitmap != nullptr ? bitmap2_at + bitmap : payload + picture.size();
    if (payload < kImageSizeOffset + 4 || end > rom.size() - 2)
        return "picture does not fit the ROM image";

    std::copy(picture.begin(), picture.end(), rom.begin() + static_cast<std::ptrdiff_t>(payload));
    if (second_bitmap != nullptr) {
        std::copy(second_bitmap->begin(), second_bitmap->end(),
                  rom.begin() + static_cast<std::ptrdiff_t>(bitmap2_at));
    }
    write_word(rom, kModeOffset, static_cast<std::uint32_t>(format.mode));
    write_word(rom, kBlockOffset, static_cast<std::uint32_t>(format.block_lines));
    write_word(rom, kSetsOffset, static_cast<std::uint32_t>(format.palette_sets));
    write_word(rom, kBitmap2FlagOffset, second_bitmap != nullptr ? 1 : 0);
    write_word(rom, kShiftOffset,
               static_cast<std::uint32_t>(format.mode == 0 ? 0 : format.shift) & 0xffff);
    write_long(rom, kSizeOffset, static_cast<std::uint32_t>(picture.size()));
    write_long(rom, kBitmap2Offset,
               second_bitmap != nullptr ? static_cast<std::uint32_t>(bitmap2_at) : 0);
    return {};
}

bool parse_ppm(const std::vector<std::uint8_t>& bytes, Image& image, std::string& error) {
    // Header: "P6", width, height, maxval, separated by white space (with
    // optional comments), then exactly one white-space byte.
    std::size_t at = 0;
    auto skip_space = [&] {
        while (at < bytes.size()) {
            if (bytes[at] == '#') {
                while (at < bytes.size() && bytes[at] != '\n') ++at;
            } else if (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\n' ||
                       bytes[at] == '\r') {
                ++at;
            } else {
                break;
            }
        }
    };
    auto number = [&](long& value) {
        skip_space();
        value = 0;
        const std::size_t start = at;
        while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && at - start < 6) {
            value = value * 10 + (bytes[at] - '0');
            ++at;
        }
        return at > start;
    };
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') {
        error = "not a binary PPM (P6) picture";
        return false;
    }
    at = 2;
    long width = 0;
    long height = 0;
    long maxval = 0;
    if (!number(width) || !number(height) || !number(maxval) || at >= bytes.size()) {
        error = "PPM header is incomplete";
        return false;
    }
    if (width < 1 || height < 1 || width > 4096 || height > 4096 || maxval != 255) {
        error = "PPM must be 1..4096 pixels wide and high with maxval 255";
        return false;
    }
    ++at;  // the single white-space byte before the pixels
    const std::size_t size = static_cast<std::size_t>(width) * height * 3;
    if (bytes.size() - at != size) {
        error = "PPM pixel data has " + std::to_string(bytes.size() - at) + " bytes, not " +
                std::to_string(size);
        return false;
    }
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());
    return true;
}

std::uint16_t palette_word(int colour12) {
    return format::word_of_colour(colour12);
}

int colour_of_word(std::uint16_t word) {
    return format::colour_of_word(word);
}

std::string format_colour_table(const ColourTable& table) {
    std::string text = "# index,r,g,b: the emulator's colour for each 12-bit STE colour\n";
    char line[32];
    for (int i = 0; i < 4096; ++i) {
        const auto& c = table.rgb[i];
        std::snprintf(line, sizeof line, "%d,%d,%d,%d\n", i, c[0], c[1], c[2]);
        text += line;
    }
    return text;
}

bool parse_colour_table(std::string_view text, ColourTable& table, std::string& error) {
    int next = 0;
    int line_number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        int fields[4];
        const char* p = line.data();
        const char* const stop = line.data() + line.size();
        for (int f = 0; f < 4; ++f) {
            const auto [q, ec] = std::from_chars(p, stop, fields[f]);
            const bool last = f == 3;
            if (ec != std::errc() || (last ? q != stop : (q == stop || *q != ','))) {
                error = "line " + std::to_string(line_number) + ": expected index,r,g,b";
                return false;
            }
            p = last ? q : q + 1;
        }
        if (fields[0] != next) {
            error = "line " + std::to_string(line_number) + ": index " + std::to_string(fields[0]) +
                    " where " + std::to_string(next) + " was expected";
            return false;
        }
        if (next >= 4096) {
            error = "line " + std::to_string(line_number) + ": more than 4096 colours";
            return false;
        }
        for (int f = 1; f < 4; ++f) {
            if (fields[f] < 0 || fields[f] > 255) {
                error = "line " + std::to_string(line_number) + ": channel outside 0..255";
                return false;
            }
            table.rgb[next][f - 1] = static_cast<std::uint8_t>(fields[f]);
        }
        ++next;
    }
    if (next != 4096) {
        error = "table has " + std::to_string(next) + " colours, not 4096";
        return false;
    }
    return true;
}

std::vector<std::uint8_t> colour_chart_picture() {
    std::vector<std::uint8_t> file;
    file.reserve(picture_file_size({2, 1, 2}));
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int group = 0; group < kPictureWidth / 16; ++group) {
            std::uint16_t planes[4] = {0, 0, 0, 0};
            for (int bit = 0; bit < 16; ++bit) {
                const int reg = (group * 16 + bit) / kChartCellWidth;
                for (int p = 0; p < 4; ++p) {
                    if ((reg >> p) & 1)
                        planes[p] = static_cast<std::uint16_t>(planes[p] | 0x8000 >> bit);
                }
            }
            for (std::uint16_t word : planes) append_word(file, word);
        }
    }
    for (int set = 0; set < 2; ++set) {
        for (int y = 0; y < kPictureHeight; ++y) {
            for (int slot = 0; slot < words_per_record(2); ++slot) {
                const int reg = slot % 16;
                const std::uint16_t word =
                    y < kChartLines ? palette_word(set * 2048 + y * 16 + reg) : 0;
                append_word(file, word);
            }
        }
    }
    return file;
}

bool measure_colour_chart(const Image& first, const Image& second, ColourTable& table,
                          std::string& error) {
    for (const Image* image : {&first, &second}) {
        if (image->width != 2 * kPictureWidth || image->height != 2 * kPictureHeight ||
            image->rgb.size() != static_cast<std::size_t>(image->width) * image->height * 3) {
            error = "captured frames must be 640 x 400";
            return false;
        }
    }
    // Colour 0 (black) is the first frame's top left cell; the second set's
    // is 2048 (red level 8).
    const bool swapped = first.pixel(0, 0)[0] > second.pixel(0, 0)[0];
    const Image& low = swapped ? second : first;
    const Image& high = swapped ? first : second;
    for (int half = 0; half < 2; ++half) {
        const Image& image = half == 0 ? low : high;
        for (int y = 0; y < kChartLines; ++y) {
            for (int reg = 0; reg < 16; ++reg) {
                const std::uint8_t* cell = image.pixel(2 * reg * kChartCellWidth, 2 * y);
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2 * kChartCellWidth; ++dx) {
                        const std::uint8_t* p =
                            image.pixel(2 * reg * kChartCellWidth + dx, 2 * y + dy);
                        if (p[0] != cell[0] || p[1] != cell[1] || p[2] != cell[2]) {
                            error = "chart cell of colour " +
                                    std::to_string(half * 2048 + y * 16 + reg) + " is not uniform";
                            return false;
                        }
                    }
                }
                auto& entry = table.rgb[half * 2048 + y * 16 + reg];
                entry = {cell[0], cell[1], cell[2]};
            }
        }
    }
    return true;
}

bool compare_frame(const Image& reference, const Image& capture, int scale,
                   const ColourTable& table, Comparison& result, std::string& error,
                   int first_column, int last_column) {
    if (scale < 1 || capture.width != reference.width * scale ||
        capture.height != reference.height * scale) {
        error = "captured frame is " + std::to_string(capture.width) + " x " +
                std::to_string(capture.height) + ", not " +
                std::to_string(reference.width * scale) + " x " +
                std::to_string(reference.height * scale);
        return false;
    }
    if (last_column == 0) last_column = reference.width;
    if (first_column < 1 || last_column > reference.width || first_column > last_column) {
        error = "columns " + std::to_string(first_column) + ".." + std::to_string(last_column) +
                " are outside the picture";
        return false;
    }
    result = Comparison{};
    result.differing_per_column.assign(static_cast<std::size_t>(reference.width), 0);
    for (int y = 0; y < reference.height; ++y) {
        for (int x = first_column - 1; x < last_column; ++x) {
            const int colour = colour_at(reference, x, y);
            if (colour < 0) {
                error = "reference pixel " + std::to_string(x + 1) + "," + std::to_string(y + 1) +
                        " (" + rgb_text(reference.pixel(x, y)) + ") is not an STE colour";
                return false;
            }
            const auto& want = table.rgb[colour];
            bool same = true;
            const std::uint8_t* seen = nullptr;
            for (int dy = 0; dy < scale && same; ++dy) {
                for (int dx = 0; dx < scale && same; ++dx) {
                    seen = capture.pixel(x * scale + dx, y * scale + dy);
                    same = seen[0] == want[0] && seen[1] == want[1] && seen[2] == want[2];
                }
            }
            ++result.pixels;
            if (same) continue;
            ++result.differing;
            ++result.differing_per_column[static_cast<std::size_t>(x)];
            if (result.first_difference.empty()) {
                result.first_difference = "column " + std::to_string(x + 1) + " line " +
                                          std::to_string(y + 1) + ": emulator " + rgb_text(seen) +
                                          ", expected " + rgb_text(want.data());
            }
        }
    }
    return true;
}

std::string describe_columns(const Comparison& result) {
    std::string text;
    const auto& counts = result.differing_per_column;
    std::size_t x = 0;
    while (x < counts.size()) {
        if (counts[x] == 0) {
            ++x;
            continue;
        }
        std::size_t end = x;
        long total = 0;
        while (end < counts.size() && counts[end] != 0) total += counts[end++];
        if (!text.empty()) text += ' ';
        text += std::to_string(x + 1);
        if (end - x > 1) text += "-" + std::to_string(end);
        text += " (" + std::to_string(total) + ")";
        x = end;
    }
    return text;
}

}  // namespace ste
