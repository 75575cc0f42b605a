// Three frames of a little animation encoded with brenvik in the 48-colour
// mode, packed with a generated 8-bit WAV by zorpamux-cli: every frame record
// must hold the picture files' two byte ranges and the converted sound.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/fixtures.h"
#include "tests/common/process.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

int run(const std::vector<std::string>& argv, const std::string& folder = "") {
    return testsupport::run_process(argv, folder).status;
}

TEST(EndToEnd, EncodedFramesAndSoundArePackedIntoTheContainer) {
    testsupport::TempDir dir;
    const fs::path& d = dir.path();

    // Frames ANIM00000..ANIM00002: the same scene, shifted a little.
    for (int frame = 0; frame < 3; ++frame) {
        const std::string name = "ANIM0000" + std::to_string(frame);
        testsupport::write_file(d / (name + ".bmp"),
                                testsupport::synthetic_picture(320, 200, 100 + frame));
        ASSERT_EQ(run({BRENVIK_PATH, "-0", "--mode=2", name + ".bmp"}, d.string()), 0) << name;
        ASSERT_EQ(fs::file_size(d / (name + ".bVK")), 51200u);
    }

    // 8-bit unsigned WAV: 44-byte header, then samples that vary with position.
    Bytes wav(44, 0);
    for (int i = 0; i < 60000; ++i)
        wav.push_back(static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF));
    testsupport::write_file(d / "sound.wav", wav);

    const fs::path container = d / "anim.ZRP";
    ASSERT_EQ(run({ZORPAMUX_CLI_PATH, "-p", (d / "ANIM00000.bVK").string(), "-s",
                   (d / "sound.wav").string(), "-S", "0", "-L", "2", "-V", "0", "-o",
                   container.string()}),
              0);

    const Bytes zrp = testsupport::read_file(container);
    ASSERT_EQ(zrp.size(), 256u + 32512u + 3u * 42496u);
    EXPECT_EQ(std::string(zrp.begin(), zrp.begin() + 6), "STEAV3");
    EXPECT_EQ(zrp[6], 0);
    EXPECT_EQ(zrp[9], 3);
    // Pre-roll: the first 8192 sound bytes, converted to signed.
    for (std::size_t i = 0; i < 8192; ++i) {
        ASSERT_EQ(zrp[256 + i], static_cast<std::uint8_t>(wav[44 + i] + 128)) << i;
    }
    for (int frame = 0; frame < 3; ++frame) {
        const Bytes picture =
            testsupport::read_file(d / ("ANIM0000" + std::to_string(frame) + ".bVK"));
        const std::size_t record = 32768 + static_cast<std::size_t>(frame) * 42496;
        // Bitmap lines 22..179, then the palette records of the same lines.
        EXPECT_TRUE(
            std::equal(picture.begin() + 3360, picture.begin() + 28640, zrp.begin() + record))
            << "frame " << frame << " bitmap window";
        EXPECT_TRUE(std::equal(picture.begin() + 34016, picture.begin() + 49184,
                               zrp.begin() + record + 25280))
            << "frame " << frame << " palette window";
        // Fewer than nine frames: none is forced silent, and the sound goes on
        // from where the pre-roll stopped.
        const std::size_t sound = 44 + 8192 + static_cast<std::size_t>(frame) * 2048;
        for (std::size_t i = 0; i < 2048; ++i) {
            ASSERT_EQ(zrp[record + 40448 + i], static_cast<std::uint8_t>(wav[sound + i] + 128))
                << i;
        }
    }
}

}  // namespace
