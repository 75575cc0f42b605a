// The encoder used as a library, through its public header only: a picture
// in memory gives the bytes the brenvik program writes for the same picture
// saved as a BMP, and the same text.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "brenvik/encode.h"
#include "tests/common/files.h"
#include "tests/common/fixtures.h"
#include "tests/common/process.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A picture with gradients and sharp edges, rows from the top.
brenvik::RgbPicture test_picture(int width, int height, int salt) {
    brenvik::RgbPicture picture{width, height, Bytes(static_cast<std::size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &picture.rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<std::uint8_t>((x * 255) / width);
            p[1] = static_cast<std::uint8_t>((y * 255) / height + salt);
            p[2] = static_cast<std::uint8_t>(((x / 24 + y / 16) % 2) != 0 ? 230 - salt : 40);
        }
    }
    return picture;
}

// The picture as a 24-bit BMP, bottom row first, with its 54-byte header.
Bytes bmp_of(const brenvik::RgbPicture& picture, const std::array<std::uint8_t, 54>& header) {
    Bytes bytes(header.begin(), header.end());
    const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
    for (int y = picture.height - 1; y >= 0; --y) {
        const std::uint8_t* from = &picture.rgb[static_cast<std::size_t>(y) * row];
        for (std::size_t i = 0; i < row; i += 3) {
            bytes.insert(bytes.end(), {from[i + 2], from[i + 1], from[i]});
        }
    }
    return bytes;
}

std::array<std::uint8_t, 54> bmp_header(int width, int height) {
    std::array<std::uint8_t, 54> h{};
    const auto le32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) h[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    const std::uint32_t data = static_cast<std::uint32_t>(width * height * 3);
    h[0] = 'B';
    h[1] = 'M';
    le32(2, 54 + data);
    le32(10, 54);
    le32(14, 40);
    le32(18, static_cast<std::uint32_t>(width));
    le32(22, static_cast<std::uint32_t>(height));
    h[26] = 1;
    h[28] = 24;
    le32(34, data);
    le32(38, 2835);  // resolutions: copied into the previews
    le32(42, 2835);
    return h;
}

struct Case {
    const char* name;
    std::vector<std::string> args;   // brenvik's options
    brenvik::EncodeOptions options;  // the same, for the library
    bool companion = false;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const Case kCases[] = {
    {"quality_1", {"-1"}, {.quality = 1}},
    {"two_palettes_previews_blocks",
     {"-1", "--pixpal=3", "--preview=1", "--blockoflines=2"},
     {.quality = 1, .pixpal = 3, .previews = true, .blockoflines = 2}},
    {"mode_2_atkinson_seed",
     {"-0", "--mode=2", "--ed=3", "--seed=7"},
     {.quality = 0, .mode = 2, .diffusion = 3, .seed = 7}},
    {"overscan_shifted",
     {"-0", "--mode=3", "--shiftpixels=8"},
     {.quality = 0, .mode = 3, .shiftpixels = 8}},
    {"companion_two_bitmaps",
     {"-0", "--pixpal=2", "--preview=1", "--dither=3"},
     {.quality = 0, .dither = 3, .pixpal = 2, .previews = true},
     true},
    {"plain_distance_mode_2",
     {"-0", "--mode=2", "--distance=plain"},
     {.quality = 0, .mode = 2, .distance = brenvik::Distance::plain}},
    {"plain_distance_two_palettes",
     {"-0", "--pixpal=3", "--distance=plain", "--preview=1"},
     {.quality = 0, .pixpal = 3, .previews = true, .distance = brenvik::Distance::plain}},
};

class PublicApi : public testing::TestWithParam<Case> {};

TEST_P(PublicApi, PictureInMemoryGivesTheProgramsFilesAndText) {
    const Case& c = GetParam();
    const brenvik::PictureSize size = brenvik::picture_size(c.options.mode);
    const brenvik::RgbPicture picture = test_picture(size.width, size.height, 3);
    const brenvik::RgbPicture companion = test_picture(size.width, size.height, 60);
    const auto header = bmp_header(size.width, size.height);

    testsupport::TempDir dir;
    testsupport::write_file(dir.path() / "pic.bmp", bmp_of(picture, header));
    if (c.companion) testsupport::write_file(dir.path() / "pic_bis.bmp", bmp_of(companion, header));
    std::vector<std::string> argv{BRENVIK_PATH};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.push_back("pic.bmp");
    const testsupport::ProcessResult program = testsupport::run_process(argv, dir.path().string());
    ASSERT_EQ(program.status, 0) << program.err;

    brenvik::EncodeRequest request;
    request.picture = picture;
    if (c.companion) request.companion = companion;
    request.options = c.options;
    request.input_name = "pic.bmp";
    request.preview_header_base = header;
    std::string text;
    request.trace = [&text](std::string_view piece) { text += piece; };
    const brenvik::EncodeResult result = brenvik::encode(request);
    ASSERT_TRUE(result.ok) << result.message;

    std::map<std::string, Bytes> written;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name != "pic.bmp" && name != "pic_bis.bmp") {
            written[name] = testsupport::read_file(entry.path());
        }
    }
    std::map<std::string, Bytes> encoded;
    for (const brenvik::EncodedFile& file : result.files) encoded[file.name] = file.bytes;
    EXPECT_EQ(encoded.size(), written.size());
    for (const auto& [name, bytes] : written) {
        ASSERT_TRUE(encoded.count(name)) << name << " missing";
        EXPECT_TRUE(encoded[name] == bytes) << name << " differs";
    }
    EXPECT_EQ(testsupport::mask_times(text), testsupport::mask_times(program.out));
}

INSTANTIATE_TEST_SUITE_P(Options, PublicApi, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

TEST(PublicApi, ConcurrentCallsAndThreadCountsGiveTheSameBytes) {
    brenvik::EncodeRequest request;
    request.picture = test_picture(320, 200, 9);
    request.options.quality = 0;
    request.threads = 1;
    const brenvik::EncodeResult alone = brenvik::encode(request);
    ASSERT_TRUE(alone.ok) << alone.message;
    std::vector<brenvik::EncodeResult> results(3);
    std::vector<std::thread> callers;
    for (unsigned i = 0; i < results.size(); ++i) {
        callers.emplace_back([&, i] {
            brenvik::EncodeRequest own = request;
            own.threads = i + 1;
            results[i] = brenvik::encode(own);
        });
    }
    for (auto& t : callers) t.join();
    for (const brenvik::EncodeResult& r : results) {
        ASSERT_TRUE(r.ok) << r.message;
        ASSERT_EQ(r.files.size(), alone.files.size());
        for (std::size_t f = 0; f < r.files.size(); ++f) {
            EXPECT_EQ(r.files[f].name, alone.files[f].name);
            EXPECT_TRUE(r.files[f].bytes == alone.files[f].bytes) << r.files[f].name;
        }
        EXPECT_EQ(r.mean_best_distance, alone.mean_best_distance);
    }
}

TEST(PublicApi, RefusesWhatTheProgramWouldRefuse) {
    struct Refused {
        const char* name;
        brenvik::EncodeOptions options;
        int width, height;
        const char* message;
    };
    const Refused cases[] = {
        {"mode out of range", {.mode = 9}, 320, 200, "--mode=9: expected 0..4"},
        {"quality out of range", {.quality = 10}, 320, 200, "quality digit=10: expected 0..9"},
        {"pixpal 0", {.pixpal = 0}, 320, 200, "--pixpal=0: expected 1..3"},
        {"negative shift", {.shiftpixels = -1}, 320, 200, "--shiftpixels=-1: expected 0..9"},
        {"no such distance",
         {.distance = static_cast<brenvik::Distance>(7)},
         320,
         200,
         "--distance=7: expected phased or plain"},
        {"wrong size",
         {.mode = 3},
         320,
         200,
         "the picture is 320x200 pixels, the mode takes 416x229"},
    };
    for (const Refused& c : cases) {
        brenvik::EncodeRequest request;
        request.options = c.options;
        request.picture = test_picture(c.width, c.height, 1);
        const brenvik::EncodeResult result = brenvik::encode(request);
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_EQ(result.message, c.message) << c.name;
        EXPECT_TRUE(result.files.empty()) << c.name;
    }
    brenvik::EncodeRequest short_companion;
    short_companion.picture = test_picture(320, 200, 1);
    short_companion.companion = test_picture(320, 199, 1);
    EXPECT_EQ(brenvik::encode(short_companion).message,
              "the companion picture is 320x199 pixels, the mode takes 320x200");
}

}  // namespace
