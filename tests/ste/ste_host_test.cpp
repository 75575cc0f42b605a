// Host side of the STE display program: picture file sizes, embedding into
// the ROM template, palette words, the colour chart and table, and the frame
// comparison.
#include "ste/host/ste_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kRomSize = 0x40000;
constexpr std::size_t kPayload = 0x2000;

std::uint32_t long_at(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
           static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

int word_at(const Bytes& b, std::size_t at) {
    return b[at] << 8 | b[at + 1];
}

// A ROM template with the parameter block of ste/rom.S and an empty payload.
Bytes rom_template() {
    Bytes rom(kRomSize, 0xee);
    const std::string magic = "BVKROM01";
    std::copy(magic.begin(), magic.end(), rom.begin() + 0x30);
    auto put_long = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) rom[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    put_long(0x40, kPayload);
    put_long(0x4c, kRomSize);
    return rom;
}

Bytes numbered(std::size_t size, unsigned seed) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return b;
}

struct SizeCase {
    ste::PictureFormat format;
    std::size_t size;
};

TEST(PictureFileSize, FollowsModeBlocksAndPaletteSets) {
    const SizeCase cases[] = {
        {{0, 1, 1, 0}, 53600},  // the documented one-line sizes
        {{1, 1, 1, 0}, 64000},
        {{2, 1, 1, 0}, 51200},
        {{0, 2, 1, 0}, 32000 + 101 * 108},  // centre lines 1, 3, ..., 201
        {{0, 3, 1, 0}, 32000 + 67 * 108},   // 2, 5, ..., 200
        {{2, 4, 1, 0}, 32000 + 51 * 96},    // 2, 6, ..., 202
        {{2, 5, 2, 0}, 32000 + 41 * 96 + 200 * 96},
        {{1, 6, 2, 0}, 32000 + 34 * 160 + 200 * 160},
        {{3, 1, 1, -3}, 69616},  // overscan: 416 x 229, centre lines 1..229
        {{3, 1, 2, -3}, 91600},
        {{3, 3, 1, -3}, 47632 + 77 * 96},             // 2, 5, ..., 230
        {{3, 6, 2, -3}, 47632 + 39 * 96 + 229 * 96},  // 3, 9, ..., 231
        {{4, 1, 1, 0}, 0},                            // the test layout: not shown
        {{0, 7, 1, 0}, 0},
        {{0, 0, 1, 0}, 0},
        {{0, 1, 3, 0}, 0},
    };
    for (const SizeCase& c : cases) {
        EXPECT_EQ(ste::picture_file_size(c.format), c.size)
            << "mode " << c.format.mode << " lines " << c.format.block_lines << " sets "
            << c.format.palette_sets;
    }
}

TEST(ShiftSupported, OnlyShiftsOnTheFourColumnGrid) {
    for (int shift = -5; shift <= 4; ++shift) {
        EXPECT_TRUE(ste::shift_supported(0, shift));
        EXPECT_EQ(ste::shift_supported(1, shift), shift == -2 || shift == 2) << shift;
        EXPECT_EQ(ste::shift_supported(2, shift), shift == -4 || shift == 0 || shift == 4) << shift;
    }
    for (int shift = -5; shift <= 4; ++shift) {
        EXPECT_EQ(ste::shift_supported(3, shift), shift == -3) << shift;  // 1 is on the grid too
    }
    EXPECT_FALSE(ste::shift_supported(2, 8));
    EXPECT_FALSE(ste::shift_supported(4, 0));
}

TEST(EmbedPicture, CopiesThePictureAndFillsTheParameters) {
    Bytes rom = rom_template();
    const ste::PictureFormat format{2, 3, 2, 4};
    const Bytes picture = numbered(ste::picture_file_size(format), 1);
    const Bytes bitmap = numbered(ste::kBitmapBytes, 9);
    ASSERT_EQ(ste::embed_picture(rom, picture, format, &bitmap), "");
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), rom.begin() + kPayload));
    EXPECT_EQ(word_at(rom, 0x38), 2);
    EXPECT_EQ(word_at(rom, 0x3a), 3);
    EXPECT_EQ(word_at(rom, 0x3c), 2);
    EXPECT_EQ(word_at(rom, 0x3e), 1);
    EXPECT_EQ(long_at(rom, 0x44), picture.size());
    EXPECT_EQ(word_at(rom, 0x50), 4);
    const std::size_t second = long_at(rom, 0x48);
    EXPECT_EQ(second % 16, 0u);
    EXPECT_GE(second, kPayload + picture.size());
    EXPECT_TRUE(std::equal(bitmap.begin(), bitmap.end(),
                           rom.begin() + static_cast<std::ptrdiff_t>(second)));
    EXPECT_EQ(rom.size(), kRomSize);
}

TEST(EmbedPicture, TakesAnOverscanPictureAndItsSecondBitmap) {
    Bytes rom = rom_template();
    const ste::PictureFormat format{3, 2, 2, -3};
    const Bytes picture = numbered(ste::picture_file_size(format), 5);
    const Bytes bitmap = numbered(ste::bitmap_bytes(3), 11);
    ASSERT_EQ(bitmap.size(), 47632u);
    ASSERT_EQ(ste::embed_picture(rom, picture, format, &bitmap), "");
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), rom.begin() + kPayload));
    EXPECT_EQ(word_at(rom, 0x38), 3);
    EXPECT_EQ(word_at(rom, 0x50), 0xfffd);
    const std::size_t second = long_at(rom, 0x48);
    EXPECT_GE(second, kPayload + picture.size());
    EXPECT_TRUE(std::equal(bitmap.begin(), bitmap.end(),
                           rom.begin() + static_cast<std::ptrdiff_t>(second)));
}

TEST(EmbedPicture, NegativeShiftIsStoredAsASignedWordAndModeZeroIgnoresIt) {
    Bytes rom = rom_template();
    ste::PictureFormat format{1, 1, 1, -2};
    ASSERT_EQ(ste::embed_picture(rom, Bytes(ste::picture_file_size(format)), format, nullptr), "");
    EXPECT_EQ(word_at(rom, 0x50), 0xfffe);
    EXPECT_EQ(word_at(rom, 0x3e), 0);
    format = {0, 1, 1, -3};
    ASSERT_EQ(ste::embed_picture(rom, Bytes(ste::picture_file_size(format)), format, nullptr), "");
    EXPECT_EQ(word_at(rom, 0x50), 0);
}

TEST(EmbedPicture, RefusesWhatTheRoutineCannotShow) {
    const ste::PictureFormat mode0{0, 1, 1, 0};
    struct Case {
        const char* what;
        Bytes rom;
        Bytes picture;
        ste::PictureFormat format;
        Bytes second;
        bool with_second;
        const char* message;
    };
    Bytes no_magic = rom_template();
    no_magic[0x30] = 'X';
    Bytes short_rom = rom_template();
    short_rom.resize(kRomSize - 2);
    Bytes small_rom = rom_template();
    small_rom[0x40] = 0x03;  // payload at 0x3002000: past the end
    const Case cases[] = {
        {"size one byte short", rom_template(), Bytes(53599), mode0, {}, false, "53599 bytes"},
        {"size of another mode", rom_template(), Bytes(51200), mode0, {}, false, "needs 53600"},
        {"off-grid shift", rom_template(), Bytes(51200), {2, 1, 1, 1}, {}, false, "shiftpixels=6"},
        {"overscan, default shift",
         rom_template(),
         Bytes(69616),
         {3, 1, 1, 0},
         {},
         false,
         "shiftpixels=5"},
        {"test layout mode", rom_template(), Bytes(3200), {4, 1, 1, 0}, {}, false, "unsupported"},
        {"overscan, second bitmap of 320 x 200",
         rom_template(),
         Bytes(69616),
         {3, 1, 1, -3},
         Bytes(32000),
         true,
         "32000 bytes, not 47632"},
        {"no parameter block",
         no_magic,
         Bytes(53600),
         mode0,
         {},
         false,
         "not a ROM image template"},
        {"truncated template", short_rom, Bytes(53600), mode0, {}, false, "wrong size"},
        {"payload past the end", small_rom, Bytes(53600), mode0, {}, false, "does not fit"},
        {"short second bitmap", rom_template(), Bytes(53600), mode0, Bytes(31999), true,
         "31999 bytes"},
    };
    for (const Case& c : cases) {
        Bytes rom = c.rom;
        const Bytes before = rom;
        const std::string error =
            ste::embed_picture(rom, c.picture, c.format, c.with_second ? &c.second : nullptr);
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(rom, before) << c.what << ": the template must stay untouched";
    }
}

#ifdef STE_ROM_TEMPLATE
TEST(EmbedPicture, TheAssembledTemplateTakesAPicture) {
    FILE* f = std::fopen(STE_ROM_TEMPLATE, "rb");
    ASSERT_NE(f, nullptr);
    Bytes rom(kRomSize + 1);
    rom.resize(std::fread(rom.data(), 1, rom.size(), f));
    std::fclose(f);
    ASSERT_EQ(rom.size(), kRomSize);
    // bra.s over the header to the reset address, base 0xE00000.
    EXPECT_EQ(word_at(rom, 0) & 0xff00, 0x6000);
    EXPECT_EQ(0xe00000u + 2 + (word_at(rom, 0) & 0xff), long_at(rom, 4));
    EXPECT_EQ(long_at(rom, 8), 0xe00000u);
    const ste::PictureFormat format{1, 6, 2, 2};
    const Bytes picture = numbered(ste::picture_file_size(format), 3);
    ASSERT_EQ(ste::embed_picture(rom, picture, format, nullptr), "");
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), rom.begin() + long_at(rom, 0x40)));
}
#endif

TEST(PaletteWord, LowestLevelBitGoesToTheNibblesTopBit) {
    EXPECT_EQ(ste::palette_word(0xfff), 0x0fff);
    EXPECT_EQ(ste::palette_word(0x100), 0x0800);
    EXPECT_EQ(ste::palette_word(0x842), 0x0421);
    EXPECT_EQ(ste::palette_word(0xe00), 0x0700);
    for (int c = 0; c < 4096; ++c) ASSERT_EQ(ste::colour_of_word(ste::palette_word(c)), c) << c;
}

ste::ColourTable odd_table() {
    ste::ColourTable t;
    for (int i = 0; i < 4096; ++i) {
        t.rgb[i] = {static_cast<std::uint8_t>(255 - 16 * (i >> 8)),
                    static_cast<std::uint8_t>(3 * ((i >> 4) & 15)),
                    static_cast<std::uint8_t>(i & 15)};
    }
    return t;
}

TEST(ColourTable, TextRoundTrips) {
    const ste::ColourTable table = odd_table();
    const std::string text = ste::format_colour_table(table);
    ste::ColourTable back;
    std::string error;
    ASSERT_TRUE(ste::parse_colour_table(text, back, error)) << error;
    EXPECT_EQ(back.rgb, table.rgb);
    const std::string crlf_line = "# comment\r\n0,1,2,3\r\n";
    EXPECT_FALSE(ste::parse_colour_table(crlf_line, back, error));
    EXPECT_EQ(error, "table has 1 colours, not 4096");
}

TEST(ColourTable, RejectsMalformedTables) {
    const std::string good = ste::format_colour_table(odd_table());
    auto replace_line = [&](int index, const std::string& line) {
        const std::string key = "\n" + std::to_string(index) + ",";
        const std::size_t at = good.find(key) + 1;
        return good.substr(0, at) + line + good.substr(good.find('\n', at));
    };
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {good.substr(0, good.rfind("4095,")), "4095 colours"},
        {good + "4096,0,0,0\n", "more than 4096"},
        {replace_line(7, "8,0,0,0"), "index 8 where 7"},
        {replace_line(7, "7,0,256,0"), "outside 0..255"},
        {replace_line(7, "7,0,-1,0"), "outside 0..255"},
        {replace_line(7, "7,0,0"), "expected index,r,g,b"},
        {replace_line(7, "7,0,0,0,0"), "expected index,r,g,b"},
        {replace_line(7, "7;0;0;0"), "expected index,r,g,b"},
        {replace_line(7, "7,0,0,0 "), "expected index,r,g,b"},
    };
    for (const Case& c : cases) {
        ste::ColourTable t;
        std::string error;
        EXPECT_FALSE(ste::parse_colour_table(c.text, t, error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

// What the STE shows for a mode-2 picture file whose every slot of a
// register holds the same colour: register from the bitplanes, colour from
// the line's record of the given set, through `table`, pixels doubled.
ste::Image show_chart(const Bytes& file, int set, const ste::ColourTable& table) {
    ste::Image image{640, 400, Bytes(640 * 400 * 3)};
    const std::size_t record = 96;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const std::size_t group = static_cast<std::size_t>(y) * 160 + (x / 16) * 8;
            int reg = 0;
            for (int p = 0; p < 4; ++p) {
                const int word = file[group + 2 * p] << 8 | file[group + 2 * p + 1];
                if (word & (0x8000 >> (x % 16))) reg |= 1 << p;
            }
            const std::size_t at =
                32000 + (static_cast<std::size_t>(set) * 200 + y) * record + 2 * reg;
            const auto& rgb = table.rgb[ste::colour_of_word(
                static_cast<std::uint16_t>(file[at] << 8 | file[at + 1]))];
            for (int d = 0; d < 4; ++d) {
                std::uint8_t* p = &image.rgb[((2 * y + d / 2) * 640 + 2 * x + d % 2) * 3];
                p[0] = rgb[0];
                p[1] = rgb[1];
                p[2] = rgb[2];
            }
        }
    }
    return image;
}

// As on the STE, colour 0 (top left of the first set's frame) has less red
// than colour 2048 (the second set's); that tells the frames apart.
ste::ColourTable chart_table() {
    ste::ColourTable table;
    for (int i = 0; i < 4096; ++i) {
        table.rgb[i] = {static_cast<std::uint8_t>(i >> 8 << 4), static_cast<std::uint8_t>(i & 0xff),
                        static_cast<std::uint8_t>(i % 7)};
    }
    return table;
}

TEST(ColourChart, MeasuringTheShownChartGivesBackTheTable) {
    const Bytes chart = ste::colour_chart_picture();
    ASSERT_EQ(chart.size(), ste::picture_file_size({2, 1, 2, 0}));
    for (std::size_t slot = 16; slot < 48; ++slot) {  // every slot of a register alike
        ASSERT_EQ(chart[32000 + 5 * 96 + 2 * slot], chart[32000 + 5 * 96 + 2 * (slot % 16)]);
    }
    const ste::ColourTable table = chart_table();
    const ste::Image first = show_chart(chart, 0, table);
    const ste::Image second = show_chart(chart, 1, table);
    for (const bool swap : {false, true}) {
        ste::ColourTable measured;
        std::string error;
        ASSERT_TRUE(ste::measure_colour_chart(swap ? second : first, swap ? first : second,
                                              measured, error))
            << error;
        EXPECT_EQ(measured.rgb, table.rgb) << (swap ? "second frame first" : "first frame first");
    }
}

TEST(ColourChart, RefusesACellThatIsNotUniform) {
    const Bytes chart = ste::colour_chart_picture();
    const ste::ColourTable table = chart_table();
    const ste::Image first = show_chart(chart, 0, table);
    ste::Image second = show_chart(chart, 1, table);
    second.rgb[((2 * 100 + 1) * 640 + 2 * (20 * 7 + 19) + 1) * 3] ^= 1;  // last pixel of a cell
    ste::ColourTable measured;
    std::string error;
    EXPECT_FALSE(ste::measure_colour_chart(first, second, measured, error));
    EXPECT_EQ(error,
              "chart cell of colour " + std::to_string(2048 + 100 * 16 + 7) + " is not uniform");
    EXPECT_FALSE(ste::measure_colour_chart(first, ste::Image{320, 200, Bytes(320 * 200 * 3)},
                                           measured, error));
}

class CompareFrame : public ::testing::Test {
  protected:
    // A reference with step-17 and step-16 values and its exact capture.
    void SetUp() override {
        reference = {4, 3, Bytes(4 * 3 * 3)};
        for (std::size_t i = 0; i < reference.rgb.size(); ++i) {
            reference.rgb[i] = static_cast<std::uint8_t>(i % 2 ? 17 * (i % 16) : 16 * (i % 15));
        }
        capture = {8, 6, Bytes(8 * 6 * 3)};
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 8; ++x) {
                const std::uint8_t* r = reference.pixel(x / 2, y / 2);
                const int c = (level(r[0]) << 8) | (level(r[1]) << 4) | level(r[2]);
                std::copy(table.rgb[c].begin(), table.rgb[c].end(), &capture.rgb[(y * 8 + x) * 3]);
            }
        }
    }
    static int level(int v) { return v % 17 == 0 ? v / 17 : v / 16; }
    ste::Image reference;
    ste::Image capture;
    ste::ColourTable table = odd_table();
    ste::Comparison result;
    std::string error;
};

TEST_F(CompareFrame, EqualFrames) {
    ASSERT_TRUE(ste::compare_frame(reference, capture, 2, table, result, error)) << error;
    EXPECT_EQ(result.pixels, 12);
    EXPECT_EQ(result.differing, 0);
    EXPECT_EQ(ste::describe_columns(result), "");
}

TEST_F(CompareFrame, FindsOneWrongSubPixelAndNamesItsColumn) {
    capture.rgb[(5 * 8 + 5) * 3 + 1] ^= 0x40;  // picture pixel (2, 2), lower right copy
    ASSERT_TRUE(ste::compare_frame(reference, capture, 2, table, result, error)) << error;
    EXPECT_EQ(result.differing, 1);
    EXPECT_EQ(result.differing_per_column, (std::vector<long>{0, 0, 1, 0}));
    EXPECT_EQ(ste::describe_columns(result), "3 (1)");
    EXPECT_EQ(result.first_difference.rfind("column 3 line 3: emulator ", 0), 0u)
        << result.first_difference;
    // Limited to the other columns, the frames are equal.
    ASSERT_TRUE(ste::compare_frame(reference, capture, 2, table, result, error, 1, 2)) << error;
    EXPECT_EQ(result.differing, 0);
    EXPECT_EQ(result.pixels, 6);
}

TEST_F(CompareFrame, DescribesRunsOfColumns) {
    for (int y = 0; y < 6; ++y) {
        for (int x = 4; x < 8; ++x) capture.rgb[(y * 8 + x) * 3] ^= 1;
    }
    capture.rgb[0] ^= 1;
    ASSERT_TRUE(ste::compare_frame(reference, capture, 2, table, result, error)) << error;
    EXPECT_EQ(result.differing, 7);
    EXPECT_EQ(ste::describe_columns(result), "1 (1) 3-4 (6)");
}

TEST_F(CompareFrame, RefusesMismatchedSizesNonSteColoursAndBadColumns) {
    EXPECT_FALSE(ste::compare_frame(reference, capture, 1, table, result, error));
    EXPECT_EQ(error, "captured frame is 8 x 6, not 4 x 3");
    EXPECT_FALSE(ste::compare_frame(reference, capture, 2, table, result, error, 0, 2));
    EXPECT_FALSE(ste::compare_frame(reference, capture, 2, table, result, error, 3, 5));
    reference.rgb[4] = 100;  // neither 16 x n nor 17 x n
    EXPECT_FALSE(ste::compare_frame(reference, capture, 2, table, result, error));
    EXPECT_EQ(error.rfind("reference pixel 2,1 ", 0), 0u) << error;
}

TEST(ParsePpm, ReadsWhatFfmpegWritesAndRefusesTheRest) {
    const std::string header = "P6\n# made by hand\n2 1\n255\n";
    Bytes good(header.begin(), header.end());
    for (int i = 0; i < 6; ++i) good.push_back(static_cast<std::uint8_t>(10 * i));
    ste::Image image;
    std::string error;
    ASSERT_TRUE(ste::parse_ppm(good, image, error)) << error;
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 1);
    EXPECT_EQ(image.rgb, (Bytes{0, 10, 20, 30, 40, 50}));

    auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    Bytes short_pixels = good;
    short_pixels.pop_back();
    Bytes long_pixels = good;
    long_pixels.push_back(0);
    const Bytes bad[] = {text("P3\n2 1\n255\n"),
                         text("P6\n2 1\n"),
                         text("P6\n2 1\n65535\n"),
                         text("P6\n0 1\n255\n"),
                         text("P6\n99999999 1\n255\n"),
                         short_pixels,
                         long_pixels,
                         Bytes{}};
    for (const Bytes& b : bad) {
        EXPECT_FALSE(ste::parse_ppm(b, image, error)) << std::string(b.begin(), b.end());
    }
}

}  // namespace
