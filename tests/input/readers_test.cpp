// The picture readers on files made at test time: every PNG kind, the BMP
// variants and JPEG (baseline, progressive, grey, CMYK) decode to the pixels
// written; EXIF orientation turns the picture as shown; damaged and foreign
// files are refused with a message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>

#include "input/exif.h"
#include "input/read_picture.h"
#include "tests/input/picture_files.h"

namespace {

using brenvik::input::DecodedPicture;
using brenvik::input::PictureInfo;
using input_test::Bytes;
using input_test::Pattern;
using input_test::Rgba16;

// A pattern with every sample value in use and no two neighbours alike.
Rgba16 busy(int x, int y) {
    return {static_cast<std::uint16_t>((x * 2741 + y * 977) & 0xFFFF),
            static_cast<std::uint16_t>((x * 397 + y * 3187 + 12345) & 0xFFFF),
            static_cast<std::uint16_t>((x * x * 31 + y * 1511) & 0xFFFF),
            static_cast<std::uint16_t>(65535 - ((x * 1237 + y * 211) & 0x7FFF))};
}

// At most `colours` colours, in 3x3 blocks.
Pattern blocks(int colours) {
    return [colours](int x, int y) {
        const int i = (x / 3 + 5 * (y / 3)) % colours;
        return input_test::from_8_bits(i * 37 % 256, 255 - i * 11 % 256, i * 73 % 256);
    };
}

// Smooth, for the lossy JPEG checks.
Rgba16 smooth(int x, int y) {
    return input_test::from_8_bits(40 + x * 3 % 180, 60 + y * 2 % 150, 200 - (x + y) % 160);
}

// Sample c (0 R, 1 G, 2 B, 3 alpha) of pixel (x, y), 16-bit files as 16-bit values.
unsigned sample(const DecodedPicture& p, int x, int y, int c) {
    const std::size_t at = static_cast<std::size_t>(y) * p.row_bytes() +
                           static_cast<std::size_t>(x) * p.pixel_bytes() +
                           static_cast<std::size_t>(c) * (p.bits / 8);
    return p.bits == 16 ? (p.samples[at] << 8 | p.samples[at + 1]) : p.samples[at];
}

DecodedPicture decode(const Bytes& file, PictureInfo& info) {
    DecodedPicture picture;
    std::string message;
    EXPECT_TRUE(brenvik::input::decode_picture(file, picture, info, message)) << message;
    return picture;
}

// --- lossless formats: every sample as written ----------------------------------

struct LosslessCase {
    const char* name;
    std::function<Bytes()> file;
    int channels;
    int bits;
    std::string description;
    // The expected sample c of pixel (x, y) at the decoded depth.
    std::function<unsigned(int x, int y, int c)> expected;
};

void PrintTo(const LosslessCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr int W = 37;
constexpr int H = 23;

unsigned high(std::uint16_t v) {
    return v >> 8;
}
unsigned rgba8(const Rgba16& v, int c) {
    const std::uint16_t s[4] = {v.r, v.g, v.b, v.a};
    return high(s[c]);
}
unsigned rgba16(const Rgba16& v, int c) {
    const std::uint16_t s[4] = {v.r, v.g, v.b, v.a};
    return s[c];
}
// A channel kept to `bits` bits, then scaled back to 0..255 as the reader does.
unsigned widened(unsigned v8, int bits) {
    const unsigned largest = (1u << bits) - 1;
    const unsigned kept = v8 >> (8 - bits);
    return (kept * 255 + largest / 2) / largest;
}

using input_test::BmpOptions;
using input_test::PngKind;

std::vector<LosslessCase> lossless_cases() {
    const Pattern p = busy;
    return {
        {"png_rgb_8", [p] { return input_test::png_file(W, H, PngKind::rgb, 8, p); }, 3, 8,
         "a 37x23 PNG picture (8-bit RGB)",
         [](int x, int y, int c) { return rgba8(busy(x, y), c); }},
        {"png_rgba_8", [p] { return input_test::png_file(W, H, PngKind::rgba, 8, p); }, 4, 8,
         "a 37x23 PNG picture (8-bit RGB with alpha)",
         [](int x, int y, int c) { return rgba8(busy(x, y), c); }},
        {"png_grey_8", [p] { return input_test::png_file(W, H, PngKind::grey, 8, p); }, 3, 8,
         "a 37x23 PNG picture (8-bit grey)", [](int x, int y, int) { return high(busy(x, y).g); }},
        {"png_grey_alpha_8", [p] { return input_test::png_file(W, H, PngKind::grey_alpha, 8, p); },
         4, 8, "a 37x23 PNG picture (8-bit grey with alpha)",
         [](int x, int y, int c) { return c == 3 ? high(busy(x, y).a) : high(busy(x, y).g); }},
        {"png_rgb_16", [p] { return input_test::png_file(W, H, PngKind::rgb, 16, p); }, 3, 16,
         "a 37x23 PNG picture (16-bit RGB)",
         [](int x, int y, int c) { return rgba16(busy(x, y), c); }},
        {"png_rgba_16_interlaced",
         [p] { return input_test::png_file(W, H, PngKind::rgba, 16, p, true); }, 4, 16,
         "a 37x23 PNG picture (16-bit RGB with alpha, interlaced)",
         [](int x, int y, int c) { return rgba16(busy(x, y), c); }},
        {"png_grey_16", [p] { return input_test::png_file(W, H, PngKind::grey, 16, p); }, 3, 16,
         "a 37x23 PNG picture (16-bit grey)",
         [](int x, int y, int) { return unsigned{busy(x, y).g}; }},
        {"png_palette", [] { return input_test::png_file(W, H, PngKind::palette, 8, blocks(200)); },
         3, 8, "a 37x23 PNG picture (8-bit palette)",
         [](int x, int y, int c) { return rgba8(blocks(200)(x, y), c); }},
        {"bmp_24_bottom_up", [p] { return input_test::bmp_file(W, H, {}, p); }, 3, 8,
         "a 37x23 BMP picture (24-bit)", [](int x, int y, int c) { return rgba8(busy(x, y), c); }},
        {"bmp_24_top_down", [p] { return input_test::bmp_file(W, H, {.top_down = true}, p); }, 3, 8,
         "a 37x23 BMP picture (24-bit, top-down)",
         [](int x, int y, int c) { return rgba8(busy(x, y), c); }},
        {"bmp_32_no_alpha", [p] { return input_test::bmp_file(W, H, {.bits = 32}, p); }, 3, 8,
         "a 37x23 BMP picture (32-bit)", [](int x, int y, int c) { return rgba8(busy(x, y), c); }},
        {"bmp_32_alpha_v5_header",
         [p] {
             return input_test::bmp_file(W, H, {.bits = 32, .header_size = 124, .bit_fields = true},
                                         p);
         },
         4, 8, "a 37x23 BMP picture (32-bit with alpha)",
         [](int x, int y, int c) { return rgba8(busy(x, y), c); }},
        {"bmp_16_555", [p] { return input_test::bmp_file(W, H, {.bits = 16}, p); }, 3, 8,
         "a 37x23 BMP picture (16-bit)",
         [](int x, int y, int c) { return widened(rgba8(busy(x, y), c), 5); }},
        {"bmp_16_565_masks",
         [p] { return input_test::bmp_file(W, H, {.bits = 16, .bit_fields = true}, p); }, 3, 8,
         "a 37x23 BMP picture (16-bit)",
         [](int x, int y, int c) { return widened(rgba8(busy(x, y), c), c == 1 ? 6 : 5); }},
        {"bmp_8_palette", [] { return input_test::bmp_file(W, H, {.bits = 8}, blocks(200)); }, 3, 8,
         "a 37x23 BMP picture (8-bit palette)",
         [](int x, int y, int c) { return rgba8(blocks(200)(x, y), c); }},
        {"bmp_8_palette_top_down",
         [] { return input_test::bmp_file(W, H, {.bits = 8, .top_down = true}, blocks(90)); }, 3, 8,
         "a 37x23 BMP picture (8-bit palette, top-down)",
         [](int x, int y, int c) { return rgba8(blocks(90)(x, y), c); }},
        {"bmp_4_palette", [] { return input_test::bmp_file(W, H, {.bits = 4}, blocks(16)); }, 3, 8,
         "a 37x23 BMP picture (4-bit palette)",
         [](int x, int y, int c) { return rgba8(blocks(16)(x, y), c); }},
        {"bmp_1_palette", [] { return input_test::bmp_file(W, H, {.bits = 1}, blocks(2)); }, 3, 8,
         "a 37x23 BMP picture (1-bit palette)",
         [](int x, int y, int c) { return rgba8(blocks(2)(x, y), c); }},
        {"bmp_8_core_header",
         [] { return input_test::bmp_file(W, H, {.bits = 8, .header_size = 12}, blocks(50)); }, 3,
         8, "a 37x23 BMP picture (8-bit palette)",
         [](int x, int y, int c) { return rgba8(blocks(50)(x, y), c); }},
    };
}

class LosslessFile : public testing::TestWithParam<LosslessCase> {};

TEST_P(LosslessFile, DecodesToTheSamplesWritten) {
    const LosslessCase& c = GetParam();
    const Bytes file = c.file();
    PictureInfo info;
    const DecodedPicture picture = decode(file, info);
    ASSERT_EQ(picture.width, W);
    ASSERT_EQ(picture.height, H);
    ASSERT_EQ(picture.channels, c.channels);
    ASSERT_EQ(picture.bits, c.bits);
    ASSERT_EQ(picture.samples.size(), picture.row_bytes() * H);
    EXPECT_EQ(brenvik::input::describe_picture(info), c.description);
    int wrong = 0;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            for (int ch = 0; ch < c.channels; ++ch) {
                if (sample(picture, x, y, ch) != c.expected(x, y, ch) && ++wrong <= 5) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " channel " << ch << ": "
                                  << sample(picture, x, y, ch) << " instead of "
                                  << c.expected(x, y, ch);
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    // What the header alone says agrees with the decoding.
    PictureInfo header;
    std::string message;
    ASSERT_TRUE(brenvik::input::identify_picture(file, header, message)) << message;
    EXPECT_EQ(brenvik::input::describe_picture(header), c.description);
}

INSTANTIATE_TEST_SUITE_P(Input, LosslessFile, testing::ValuesIn(lossless_cases()),
                         [](const testing::TestParamInfo<LosslessCase>& info) {
                             return std::string(info.param.name);
                         });

// --- JPEG: close to the samples written ------------------------------------------

struct JpegCase {
    const char* name;
    input_test::JpegKind kind;
    bool progressive;
    std::string description;
};

void PrintTo(const JpegCase& c, std::ostream* os) {
    *os << c.name;
}

const JpegCase kJpegCases[] = {
    {"baseline", input_test::JpegKind::colour, false, "a 64x48 JPEG picture (baseline)"},
    {"progressive", input_test::JpegKind::colour, true, "a 64x48 JPEG picture (progressive)"},
    {"grey", input_test::JpegKind::grey, false, "a 64x48 JPEG picture (baseline, grey)"},
    {"grey_progressive", input_test::JpegKind::grey, true,
     "a 64x48 JPEG picture (progressive, grey)"},
    {"cmyk", input_test::JpegKind::cmyk, false, "a 64x48 JPEG picture (baseline, CMYK)"},
};

class JpegFile : public testing::TestWithParam<JpegCase> {};

TEST_P(JpegFile, DecodesCloseToTheSamplesWritten) {
    const JpegCase& c = GetParam();
    const Bytes file = input_test::jpeg_file(64, 48, c.kind, c.progressive, 1, smooth);
    PictureInfo info;
    const DecodedPicture picture = decode(file, info);
    ASSERT_EQ(picture.width, 64);
    ASSERT_EQ(picture.height, 48);
    ASSERT_EQ(picture.channels, 3);
    ASSERT_EQ(picture.bits, 8);
    EXPECT_EQ(brenvik::input::describe_picture(info), c.description);
    long long error = 0;
    int worst = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            for (int ch = 0; ch < 3; ++ch) {
                const int want = c.kind == input_test::JpegKind::grey
                                     ? static_cast<int>(high(smooth(x, y).g))
                                     : static_cast<int>(rgba8(smooth(x, y), ch));
                const int d = std::abs(static_cast<int>(sample(picture, x, y, ch)) - want);
                error += d;
                worst = std::max(worst, d);
            }
        }
    }
    EXPECT_LT(static_cast<double>(error) / (64 * 48 * 3), 2.5);
    EXPECT_LT(worst, 40);
}

INSTANTIATE_TEST_SUITE_P(Input, JpegFile, testing::ValuesIn(kJpegCases),
                         [](const testing::TestParamInfo<JpegCase>& info) {
                             return std::string(info.param.name);
                         });

// --- EXIF orientation -------------------------------------------------------------

// Four flat quarters of different colours, so the picture's turn shows.
Rgba16 quarters(int x, int y) {
    const bool right = x >= 40;
    const bool bottom = y >= 24;
    if (!right && !bottom) return input_test::from_8_bits(230, 30, 30);
    if (right && !bottom) return input_test::from_8_bits(30, 230, 30);
    if (!right) return input_test::from_8_bits(30, 30, 230);
    return input_test::from_8_bits(230, 230, 230);
}

class Orientation : public testing::TestWithParam<int> {};

TEST_P(Orientation, JpegIsShownAsTheCameraMeantIt) {
    const int orientation = GetParam();
    const Bytes file = input_test::jpeg_file(80, 48, input_test::JpegKind::colour,
                                             orientation % 3 == 0, orientation, quarters);
    PictureInfo info;
    const DecodedPicture picture = decode(file, info);
    EXPECT_EQ(info.orientation, orientation);
    ASSERT_EQ(picture.width, 80);
    ASSERT_EQ(picture.height, 48);
    for (const auto& [x, y] : {std::pair{8, 8}, {70, 8}, {8, 40}, {70, 40}, {30, 16}, {50, 30}}) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(static_cast<int>(sample(picture, x, y, c)),
                        static_cast<int>(rgba8(quarters(x, y), c)), 12)
                << "orientation " << orientation << " pixel " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Input, Orientation, testing::Range(1, 9));

TEST(Orientation, PngExifChunkTurnsThePicture) {
    // A 48x80 stored picture with orientation 8 (a quarter turn anticlockwise)
    // is shown 80x48: stored (x, y) shows at (y, 47 - x).
    const Pattern stored = [](int x, int y) { return quarters(y, 47 - x); };
    Bytes file = input_test::png_file(48, 80, PngKind::rgb, 8, stored);
    // An eXIf chunk before IDAT: length, type, data, CRC (libpng checks it).
    const Bytes exif = input_test::exif_tiff(8, true);
    Bytes chunk = {0, 0, 0, static_cast<std::uint8_t>(exif.size()), 'e', 'X', 'I', 'f'};
    chunk.insert(chunk.end(), exif.begin(), exif.end());
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 4; i < chunk.size(); ++i) {
        crc ^= chunk[i];
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    crc ^= 0xFFFFFFFF;
    for (int i = 3; i >= 0; --i) chunk.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
    file.insert(file.begin() + 33, chunk.begin(), chunk.end());  // after the signature and IHDR
    PictureInfo info;
    const DecodedPicture picture = decode(file, info);
    EXPECT_EQ(info.orientation, 8);
    EXPECT_EQ(brenvik::input::describe_picture(info),
              "a 80x48 PNG picture (8-bit RGB, EXIF orientation 8)");
    ASSERT_EQ(picture.width, 80);
    ASSERT_EQ(picture.height, 48);
    for (const auto& [x, y] : {std::pair{8, 8}, {70, 8}, {8, 40}, {70, 40}}) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(sample(picture, x, y, c), rgba8(quarters(x, y), c)) << x << "," << y;
        }
    }
}

struct ExifCase {
    const char* name;
    Bytes data;
    int expected;
};

void PrintTo(const ExifCase& c, std::ostream* os) {
    *os << c.name;
}

Bytes with(Bytes b, std::size_t at, std::uint8_t value) {
    b[at] = value;
    return b;
}
Bytes cut(Bytes b, std::size_t size) {
    b.resize(size);
    return b;
}

std::vector<ExifCase> exif_cases() {
    const Bytes little6 = input_test::exif_tiff(6, false, 3);
    const Bytes big3 = input_test::exif_tiff(3, true);
    // The orientation entry of little6 is the fourth: value at 10 + 36 + 8.
    return {
        {"little_endian_after_other_entries", little6, 6},
        {"big_endian", big3, 3},
        {"value_0_is_1", with(little6, 54, 0), 1},
        {"value_9_is_1", with(little6, 54, 9), 1},
        {"type_long", with(with(little6, 48, 4), 55, 0), 6},
        {"type_ascii_is_refused", with(little6, 48, 2), 1},
        {"cut_in_the_entry", cut(little6, 52), 1},
        {"cut_in_the_header", cut(little6, 7), 1},
        {"bad_byte_order", with(with(little6, 0, 'X'), 1, 'X'), 1},
        {"bad_magic", with(little6, 2, 43), 1},
        {"directory_past_the_end", with(little6, 5, 0x7F), 1},
        // The entries are read up to the tag: a count that is too large is no harm.
        {"entry_count_past_the_end", with(little6, 9, 0x40), 6},
        {"empty", {}, 1},
    };
}

class ExifData : public testing::TestWithParam<ExifCase> {};

TEST_P(ExifData, GivesTheOrientationOr1) {
    const ExifCase& c = GetParam();
    EXPECT_EQ(brenvik::input::exif_orientation(c.data.data(), c.data.size()), c.expected);
    Bytes app1 = {'E', 'x', 'i', 'f', 0, 0};
    app1.insert(app1.end(), c.data.begin(), c.data.end());
    EXPECT_EQ(brenvik::input::jpeg_app1_orientation(app1.data(), app1.size()), c.expected);
    app1[0] = 'e';
    EXPECT_EQ(brenvik::input::jpeg_app1_orientation(app1.data(), app1.size()), 1);
}

INSTANTIATE_TEST_SUITE_P(Input, ExifData, testing::ValuesIn(exif_cases()),
                         [](const testing::TestParamInfo<ExifCase>& info) {
                             return std::string(info.param.name);
                         });

// --- files refused ------------------------------------------------------------------

struct RefusedCase {
    const char* name;
    std::function<Bytes()> file;
    std::string message;  // what the message must contain
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::vector<RefusedCase> refused_cases() {
    return {
        {"empty", [] { return Bytes{}; }, "not a picture this program reads (BMP, PNG or JPEG)"},
        {"text", [] { return text("hello, world\n"); }, "not a picture this program reads"},
        {"gif", [] { return text("GIF89a\x10\x00\x10\x00"); }, "a GIF picture, which this program"},
        {"webp", [] { return text(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16)); }, "a WebP picture"},
        {"heif",
         [] {
             return text(
                 std::string("\0\0\0\x18"
                             "ftypheic",
                             12));
         },
         "a HEIF picture"},
        {"tiff", [] { return text(std::string("II*\0\x08\0\0\0", 8)); }, "a TIFF picture"},
        {"png_cut_in_the_pixels",
         [] { return cut(input_test::png_file(W, H, PngKind::rgb, 8, busy), 200); },
         "PNG file is damaged: "},
        {"png_bad_header_crc",
         [] {
             Bytes b = input_test::png_file(W, H, PngKind::rgb, 8, busy);
             b[29] ^= 1;
             return b;
         },
         "PNG file is damaged: IHDR: CRC error"},
        {"png_signature_only", [] { return text("\x89PNG\r\n\x1a\n"); }, "PNG file is damaged: "},
        {"jpeg_cut_in_the_pixels",
         [] {
             const Bytes b =
                 input_test::jpeg_file(320, 240, input_test::JpegKind::colour, false, 1, smooth);
             return cut(b, b.size() / 2);
         },
         "JPEG file is truncated"},
        {"jpeg_cut_in_the_header",
         [] {
             return cut(
                 input_test::jpeg_file(64, 48, input_test::JpegKind::colour, true, 1, smooth), 40);
         },
         "JPEG file is damaged: "},
        {"jpeg_garbage_after_the_start", [] { return text("\xFF\xD8\xFF\x01garbage"); },
         "JPEG file is damaged: "},
        {"bmp_run_length",
         [] { return with(input_test::bmp_file(W, H, {.bits = 8}, blocks(9)), 30, 1); },
         "run-length compressed BMP is not read"},
        {"bmp_cut_in_the_pixels", [] { return cut(input_test::bmp_file(W, H, {}, busy), 300); },
         "BMP pixel data is truncated"},
        {"bmp_no_width", [] { return with(input_test::bmp_file(W, H, {}, busy), 18, 0); },
         "BMP picture has no pixels"},
        {"bmp_huge",
         [] {
             Bytes b = input_test::bmp_file(W, H, {}, busy);
             b[21] = 0x40;  // width 2^30 + 37
             return b;
         },
         "larger than this program takes"},
        {"bmp_2_bits",
         [] { return with(input_test::bmp_file(W, H, {.bits = 4}, blocks(3)), 28, 2); },
         "BMP with 2 bits per pixel is not read"},
        {"bmp_unknown_header", [] { return with(input_test::bmp_file(W, H, {}, busy), 14, 20); },
         "BMP header of an unknown kind (20 bytes)"},
        {"bmp_header_cut", [] { return text("BM\x10\x00"); }, "BMP header is truncated"},
    };
}

class RefusedFile : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedFile, GivesAMessageAndNoPicture) {
    const RefusedCase& c = GetParam();
    const Bytes file = c.file();
    DecodedPicture picture;
    PictureInfo info;
    std::string message;
    EXPECT_FALSE(brenvik::input::decode_picture(file, picture, info, message));
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(Input, RefusedFile, testing::ValuesIn(refused_cases()),
                         [](const testing::TestParamInfo<RefusedCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(PixelLimit, IsCheckedBeforeDecoding) {
    brenvik::input::ReadLimits small;
    small.max_pixels = W * H - 1;
    for (const Bytes& file :
         {input_test::png_file(W, H, PngKind::rgb, 8, busy), input_test::bmp_file(W, H, {}, busy),
          input_test::jpeg_file(W, H, input_test::JpegKind::colour, false, 1, smooth)}) {
        DecodedPicture picture;
        PictureInfo info;
        std::string message;
        EXPECT_FALSE(brenvik::input::decode_picture(file, picture, info, message, small));
        EXPECT_NE(message.find("37x23 pixels is larger than this program takes"), std::string::npos)
            << message;
        small.max_pixels = W * H;
        EXPECT_TRUE(brenvik::input::decode_picture(file, picture, info, message, small)) << message;
        small.max_pixels = W * H - 1;
    }
}

}  // namespace
