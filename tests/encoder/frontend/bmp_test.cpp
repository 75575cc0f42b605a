// BMP input: the pixel data of valid pictures, the messages for pictures
// that cannot be used, the companion picture's name, and the second picture.
#include "encoder/frontend/bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "encoder/api/request.h"
#include "format/picture_file.h"
#include "format/screen_modes.h"
#include "frontend_support.h"

namespace {

using frontend_test::BmpFields;
using frontend_test::Bytes;
using frontend_test::Capture;
using frontend_test::TempDir;

const brenvik::ScreenMode& kMode4 = format::kScreenModes[4];  // 320 x 20
constexpr int W = 320;
constexpr int H = 20;

struct Loaded {
    bool ok = false;
    brenvik::InputPictures pictures;
    std::string out;
    std::string err;

    const Bytes& first() const { return pictures.picture.rgb; }
};

// BMP pixel data (B, G, R, bottom row first) as the reader hands pictures
// on: R, G, B, top row first.
Bytes rgb_rows_from_top(const Bytes& bmp_pixels, int width, int height) {
    Bytes rgb(bmp_pixels.size());
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = &bmp_pixels[static_cast<std::size_t>(height - 1 - y) * row];
        std::uint8_t* to = &rgb[static_cast<std::size_t>(y) * row];
        for (std::size_t i = 0; i < row; i += 3) {
            to[i] = from[i + 2];
            to[i + 1] = from[i + 1];
            to[i + 2] = from[i];
        }
    }
    return rgb;
}

Loaded load(const std::string& name, int palette_mode = 1, int verbose = 0,
            const brenvik::ScreenMode& mode = kMode4) {
    brenvik::RunSettings s;
    s.program_name = "brenvik";
    s.input_name = name;
    s.palette_mode = palette_mode;
    s.verbose = verbose;
    Loaded result;
    brenvik::TextSink out;
    Capture err;
    result.ok = brenvik::load_pictures(s, mode, result.pictures, out, err.file());
    result.out = out.text();
    result.err = err.text();
    return result;
}

// --- Valid pictures -------------------------------------------------------

TEST(BmpInput, ReadsTheBottomUpPixelDataIntoRowsFromTheTop) {
    TempDir dir;
    const Bytes pixels = frontend_test::pattern_pixels(W, H, 5);
    frontend_test::write_file(dir.file("p.bmp"), frontend_test::make_bmp({W, H}, pixels));
    const Loaded r = load(dir.file("p.bmp"));
    ASSERT_TRUE(r.ok) << r.err;
    EXPECT_EQ(r.pictures.picture.width, W);
    EXPECT_EQ(r.pictures.picture.height, H);
    EXPECT_EQ(r.first(), rgb_rows_from_top(pixels, W, H));
    EXPECT_EQ(r.err, "");
    // The first three bytes are R, G, B of the top line's first pixel, the
    // last three those of the bottom line's last pixel.
    EXPECT_EQ(r.first()[0], frontend_test::pattern_byte(0, 1, 2, 5));
    EXPECT_EQ(r.first()[2], frontend_test::pattern_byte(0, 1, 0, 5));
    EXPECT_EQ(r.first().back(), frontend_test::pattern_byte(W - 1, H, 0, 5));
    EXPECT_FALSE(r.pictures.companion);
    EXPECT_EQ(r.pictures.header[0], 'B');
}

TEST(BmpInput, PixelOffsetLocatesThePixelsWhateverTheHeaderSize) {
    const Bytes pixels = frontend_test::pattern_pixels(W, H, 9);
    for (std::uint32_t offset : {54u, 55u, 122u, 138u, 1078u}) {
        TempDir dir;
        frontend_test::write_file(dir.file("p.bmp"),
                                  frontend_test::make_bmp({.pixel_offset = offset}, pixels));
        const Loaded r = load(dir.file("p.bmp"));
        ASSERT_TRUE(r.ok) << "offset " << offset << ": " << r.err;
        EXPECT_EQ(r.first(), rgb_rows_from_top(pixels, W, H)) << "offset " << offset;
    }
}

TEST(BmpInput, TopDownPictureIsReadWithLine1AtTheTop) {
    TempDir dir;
    frontend_test::write_file(
        dir.file("up.bmp"),
        frontend_test::make_bmp({W, -H}, frontend_test::pattern_pixels(W, H, 2, true)));
    const Loaded r = load(dir.file("up.bmp"));
    ASSERT_TRUE(r.ok) << r.err;
    // The same picture as stored bottom-up.
    EXPECT_EQ(r.first(), rgb_rows_from_top(frontend_test::pattern_pixels(W, H, 2, false), W, H));
    const std::size_t last_row = static_cast<std::size_t>(H - 1) * W * 3;
    EXPECT_EQ(r.first()[2], frontend_test::pattern_byte(0, 1, 0, 2));
    EXPECT_EQ(r.first()[last_row + 2], frontend_test::pattern_byte(0, H, 0, 2));
    EXPECT_EQ(r.first()[W * 3 + 2], frontend_test::pattern_byte(0, 2, 0, 2));
}

TEST(BmpInput, ExtraBytesAfterThePixelsAreIgnored) {
    TempDir dir;
    const Bytes pixels = frontend_test::pattern_pixels(W, H, 4);
    Bytes file = frontend_test::make_bmp({W, H}, pixels);
    file.insert(file.end(), 100, 0xAB);
    frontend_test::write_file(dir.file("p.bmp"), file);
    const Loaded r = load(dir.file("p.bmp"));
    ASSERT_TRUE(r.ok) << r.err;
    EXPECT_EQ(r.first(), rgb_rows_from_top(pixels, W, H));
}

// --- Pictures that cannot be used -----------------------------------------

Bytes valid_file() {
    return frontend_test::make_bmp({W, H}, frontend_test::pattern_pixels(W, H, 1));
}

Bytes cut(Bytes b, std::size_t size) {
    b.resize(size);
    return b;
}

struct BadCase {
    const char* name;
    Bytes file;
    const char* message;
    // What the picture is, when --fit would read it: the line that follows.
    const char* fit_hint = nullptr;
};

// The line that follows a refusal of a picture --fit reads, in mode 4.
std::string fit_hint(const std::string& name, const char* hint) {
    if (hint == nullptr) return "";
    return "brenvik: " + name + ": " + hint +
           "; use --fit=pad, --fit=crop or --fit=stretch to make it 320x20\n";
}

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kNotBmp = "must be in BMP format";
const std::string kFormat = "BMP format must be uncompressed 24-bit";
const std::string kSize = "BMP picture must be 320x20 pixels";
const std::string kTruncatedHeader = "BMP header is truncated";
const std::string kTruncatedPixels = "BMP pixel data is truncated";

std::vector<BadCase> bad_cases() {
    const Bytes pixels = frontend_test::uniform_pixels(W, H, 0x40);
    return {
        {"not_bm", frontend_test::make_bmp({.signature_ok = false}, pixels), kNotBmp.c_str()},
        {"empty_file", {}, kNotBmp.c_str()},
        {"one_byte", {'B'}, kNotBmp.c_str()},
        {"bm_then_nothing", {'B', 'M'}, kTruncatedHeader.c_str()},
        {"header_of_33_bytes", cut(valid_file(), 33), kTruncatedHeader.c_str()},
        {"header_of_34_bytes_without_pixels", cut(valid_file(), 34), kTruncatedPixels.c_str()},
        {"bits_32", frontend_test::make_bmp({.bits_per_pixel = 32}, pixels), kFormat.c_str(),
         "a 320x20 BMP picture (32-bit)"},
        {"bits_16", frontend_test::make_bmp({.bits_per_pixel = 16}, pixels), kFormat.c_str(),
         "a 320x20 BMP picture (16-bit)"},
        {"bits_8_rle8", frontend_test::make_bmp({.bits_per_pixel = 8, .compression = 1}, pixels),
         kFormat.c_str()},
        {"bits_24_compression_1", frontend_test::make_bmp({.compression = 1}, pixels),
         kFormat.c_str()},
        {"bits_32_bitfields",
         frontend_test::make_bmp({.bits_per_pixel = 32, .compression = 3}, pixels), kFormat.c_str(),
         "a 320x20 BMP picture (32-bit)"},
        {"format_tested_before_size",
         frontend_test::make_bmp({.width = 100, .bits_per_pixel = 32}, pixels), kFormat.c_str(),
         "a 100x20 BMP picture (32-bit)"},
        {"width_319", frontend_test::make_bmp({.width = 319}, pixels), kSize.c_str(),
         "a 319x20 BMP picture (24-bit)"},
        {"width_321", frontend_test::make_bmp({.width = 321}, pixels), kSize.c_str(),
         "a 321x20 BMP picture (24-bit)"},
        {"width_negative", frontend_test::make_bmp({.width = -320}, pixels), kSize.c_str()},
        {"height_21", frontend_test::make_bmp({.height = 21}, pixels), kSize.c_str(),
         "a 320x21 BMP picture (24-bit)"},
        {"height_minus_19", frontend_test::make_bmp({.height = -19}, pixels), kSize.c_str(),
         "a 320x19 BMP picture (24-bit, top-down)"},
        {"height_200", frontend_test::make_bmp({.height = 200}, pixels), kSize.c_str(),
         "a 320x200 BMP picture (24-bit)"},
        {"pixels_one_byte_short", cut(valid_file(), 54 + W * H * 3 - 1), kTruncatedPixels.c_str()},
        {"pixels_missing", cut(valid_file(), 54), kTruncatedPixels.c_str()},
        {"offset_past_the_end", frontend_test::make_bmp({.pixel_offset = 100}, {}),
         kTruncatedPixels.c_str()},
        {"offset_pushes_pixels_past_the_end",
         [] {
             Bytes b = valid_file();
             b[10] = 55;  // pixel offset 55: the data end one byte short
             return b;
         }(),
         kTruncatedPixels.c_str()},
    };
}

class BadPicture : public testing::TestWithParam<BadCase> {};

TEST_P(BadPicture, IsReportedWithProgramFileAndMessage) {
    const BadCase& c = GetParam();
    TempDir dir;
    const std::string name = dir.file("bad.bmp");
    frontend_test::write_file(name, c.file);
    const Loaded r = load(name);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.err, "brenvik: " + name + ": " + c.message + "\n" + fit_hint(name, c.fit_hint));
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(BmpInput, BadPicture, testing::ValuesIn(bad_cases()),
                         [](const testing::TestParamInfo<BadCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(BmpInput, SizeMessageNamesTheModesSize) {
    TempDir dir;
    const std::string name = dir.file("small.bmp");
    frontend_test::write_pattern_bmp(name, W, H, 0);
    const std::string hint = "brenvik: " + name +
                             ": a 320x20 BMP picture (24-bit); use --fit=pad, --fit=crop or "
                             "--fit=stretch to make it ";
    for (int row : {0, 1, 2}) {
        const Loaded r = load(name, 1, 0, format::kScreenModes[static_cast<std::size_t>(row)]);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.err, "brenvik: " + name + ": BMP picture must be 320x200 pixels\n" + hint +
                             "320x200\n");
    }
    const Loaded r = load(name, 1, 0, format::kScreenModes[3]);
    EXPECT_EQ(r.err,
              "brenvik: " + name + ": BMP picture must be 416x229 pixels\n" + hint + "416x229\n");
}

TEST(BmpInput, MissingFileIsReportedWithTheSystemMessage) {
    TempDir dir;
    const std::string name = dir.file("absent.bmp");
    const Loaded r = load(name);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.err, name + ": No such file or directory\n");
}

// --- Companion picture ----------------------------------------------------

struct CompanionNameCase {
    const char* input;
    const char* companion;
};

void PrintTo(const CompanionNameCase& c, std::ostream* os) {
    *os << c.input;
}

class CompanionName : public testing::TestWithParam<CompanionNameCase> {};

TEST_P(CompanionName, ReplacesTheLastComponentsExtension) {
    EXPECT_EQ(format::companion_name(GetParam().input), GetParam().companion);
}

INSTANTIATE_TEST_SUITE_P(
    BmpInput, CompanionName,
    testing::Values(CompanionNameCase{"photo.bmp", "photo_bis.bmp"},
                    CompanionNameCase{"photo", "photo_bis.bmp"},
                    CompanionNameCase{"photo.", "photo_bis.bmp"},
                    CompanionNameCase{"photo.BMP", "photo_bis.bmp"},
                    CompanionNameCase{"my.photo.bmp", "my.photo_bis.bmp"},
                    CompanionNameCase{"old.dir/photo", "old.dir/photo_bis.bmp"},
                    CompanionNameCase{"old.dir/photo.bmp", "old.dir/photo_bis.bmp"},
                    CompanionNameCase{"old.dir\\photo", "old.dir\\photo_bis.bmp"},
                    CompanionNameCase{"c:\\pics.v2\\photo.bmp", "c:\\pics.v2\\photo_bis.bmp"},
                    CompanionNameCase{"a.b/c.d\\photo", "a.b/c.d\\photo_bis.bmp"},
                    CompanionNameCase{"a.b\\c.d/photo", "a.b\\c.d/photo_bis.bmp"},
                    CompanionNameCase{"./photo", "./photo_bis.bmp"},
                    CompanionNameCase{"../pics/photo", "../pics/photo_bis.bmp"},
                    CompanionNameCase{"dir/.bmp", "dir/_bis.bmp"}));

// Without a companion file the encoder makes up the second picture (black
// or a copy, by palette setting).
TEST(SecondPicture, WithoutCompanionFileThereIsNone) {
    TempDir dir;
    frontend_test::write_pattern_bmp(dir.file("p.bmp"), W, H, 7);
    for (int palette_mode : {1, 2, 3}) {
        const Loaded r = load(dir.file("p.bmp"), palette_mode);
        ASSERT_TRUE(r.ok) << r.err;
        EXPECT_FALSE(r.pictures.companion) << "pixpal " << palette_mode;
        EXPECT_EQ(r.err, "");
    }
}

TEST(SecondPicture, SourcePicturesMakeUpTheMissingCompanion) {
    brenvik::EncodeRequest request;
    request.picture = {W, H, rgb_rows_from_top(frontend_test::pattern_pixels(W, H, 7), W, H)};
    for (int palette_mode : {1, 2, 3}) {
        request.options.pixpal = palette_mode;
        const brenvik::SourcePictures p = brenvik::source_pictures(request);
        EXPECT_EQ(p.first_pixels, request.picture.rgb);
        EXPECT_EQ(p.second_pixels, palette_mode == 1 ? Bytes(static_cast<std::size_t>(W) * H * 3, 0)
                                                     : request.picture.rgb)
            << "pixpal " << palette_mode;
        EXPECT_EQ(p.has_companion, 0) << "pixpal " << palette_mode;
    }
    request.companion = brenvik::RgbPicture{W, H, Bytes(static_cast<std::size_t>(W) * H * 3, 9)};
    for (int palette_mode : {1, 2, 3}) {
        request.options.pixpal = palette_mode;
        const brenvik::SourcePictures p = brenvik::source_pictures(request);
        EXPECT_EQ(p.second_pixels, request.companion->rgb) << "pixpal " << palette_mode;
        EXPECT_EQ(p.has_companion, 1) << "pixpal " << palette_mode;
    }
}

TEST(SecondPicture, CompanionIsReadForEveryPaletteModeAndMarked) {
    TempDir dir;
    frontend_test::write_pattern_bmp(dir.file("p.bmp"), W, H, 7);
    // The companion has its own pixel offset and is stored top-down.
    frontend_test::write_file(
        dir.file("p_bis.bmp"),
        frontend_test::make_bmp({.height = -H, .pixel_offset = 90},
                                frontend_test::pattern_pixels(W, H, 11, true)));
    for (int palette_mode : {1, 2, 3}) {
        const Loaded r = load(dir.file("p.bmp"), palette_mode);
        ASSERT_TRUE(r.ok) << r.err;
        EXPECT_EQ(r.first(), rgb_rows_from_top(frontend_test::pattern_pixels(W, H, 7), W, H));
        ASSERT_TRUE(r.pictures.companion) << "pixpal " << palette_mode;
        EXPECT_EQ(r.pictures.companion->rgb,
                  rgb_rows_from_top(frontend_test::pattern_pixels(W, H, 11), W, H))
            << "pixpal " << palette_mode;
    }
}

TEST(SecondPicture, CompanionOfANameWithoutExtensionInADottedFolder) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "old.dir");
    const std::string input = dir.file("old.dir/photo");
    frontend_test::write_pattern_bmp(input, W, H, 1);
    frontend_test::write_pattern_bmp(dir.file("old.dir/photo_bis.bmp"), W, H, 2);
    // The dot of the folder name starts no extension, so old_bis.bmp is not
    // the companion.
    frontend_test::write_pattern_bmp(dir.file("old_bis.bmp"), W, H, 3);
    const Loaded r = load(input, 1, 1);
    ASSERT_TRUE(r.ok) << r.err;
    ASSERT_TRUE(r.pictures.companion);
    EXPECT_EQ(r.pictures.companion->rgb,
              rgb_rows_from_top(frontend_test::pattern_pixels(W, H, 2), W, H));
    EXPECT_EQ(r.out, "outfilename_bis=" + dir.file("old.dir/photo_bis.bmp") + " \n");
}

TEST(SecondPicture, VerboseNamesTheCompanionEvenWhenAbsent) {
    TempDir dir;
    frontend_test::write_pattern_bmp(dir.file("p.bmp"), W, H, 7);
    EXPECT_EQ(load(dir.file("p.bmp"), 1, 1).out,
              "outfilename_bis=" + dir.file("p_bis.bmp") + " \n");
    EXPECT_EQ(load(dir.file("p.bmp"), 1, 0).out, "");
}

struct BrokenCompanionCase {
    const char* name;
    Bytes file;
    std::string message;
    const char* fit_hint = nullptr;  // as in BadCase
};

void PrintTo(const BrokenCompanionCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<BrokenCompanionCase> broken_companions() {
    const Bytes pixels = frontend_test::uniform_pixels(W, H, 0x22);
    return {
        {"not_bm", frontend_test::make_bmp({.signature_ok = false}, pixels), kNotBmp},
        {"bits_32", frontend_test::make_bmp({.bits_per_pixel = 32}, pixels), kFormat,
         "a 320x20 BMP picture (32-bit)"},
        {"rle", frontend_test::make_bmp({.bits_per_pixel = 8, .compression = 1}, pixels), kFormat},
        {"wrong_height", frontend_test::make_bmp({.height = 200}, pixels), kSize,
         "a 320x200 BMP picture (24-bit)"},
        {"truncated_pixels", cut(frontend_test::make_bmp({W, H}, pixels), 54 + 100),
         kTruncatedPixels},
        {"truncated_header", cut(frontend_test::make_bmp({W, H}, pixels), 20), kTruncatedHeader},
    };
}

class BrokenCompanion : public testing::TestWithParam<BrokenCompanionCase> {};

TEST_P(BrokenCompanion, EndsTheLoadNamingTheCompanionWhateverPaletteMode) {
    const BrokenCompanionCase& c = GetParam();
    TempDir dir;
    frontend_test::write_pattern_bmp(dir.file("p.bmp"), W, H, 7);
    frontend_test::write_file(dir.file("p_bis.bmp"), c.file);
    for (int palette_mode : {1, 2, 3}) {
        const Loaded r = load(dir.file("p.bmp"), palette_mode);
        EXPECT_FALSE(r.ok) << "pixpal " << palette_mode;
        EXPECT_EQ(r.err, "brenvik: " + dir.file("p_bis.bmp") + ": " + c.message + "\n" +
                             fit_hint(dir.file("p_bis.bmp"), c.fit_hint))
            << "pixpal " << palette_mode;
    }
}

INSTANTIATE_TEST_SUITE_P(BmpInput, BrokenCompanion, testing::ValuesIn(broken_companions()),
                         [](const testing::TestParamInfo<BrokenCompanionCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
