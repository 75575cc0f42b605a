// The container reader against containers made by the writer: frames and
// sound read back byte for byte, the structure check on damaged copies, and
// the zorpamux-cli subcommands.
#include "container_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "container_writer.h"
#include "test_support.h"
#include "tests/robustness/program_runner.h"

namespace {

using namespace zorpa_test;

// Frames 0..last of a 51200-byte series and a WAV of `sound_size` sample
// bytes, packed with offset 0.
struct Packed {
    TempDir dir;
    std::string stem = dir.file("ANIM");
    std::string sound = dir.file("sound.wav");
    std::string container = dir.file("clip.zrp");
    Bytes wav;
    std::uint32_t frames;

    Packed(std::uint32_t last, std::size_t sound_size, bool with_sound = true)
        : wav(wav_bytes(sound_size)), frames(last + 1) {
        write_series(stem, 0, last, ".bVK");
        write_file(sound, wav);
        zorpa::ContainerRequest request;
        request.picture_name = frame_name(stem, 0, ".bVK");
        request.sound_name = with_sound ? sound : "";
        request.last_frame = last;
        request.container_name = container;
        const zorpa::ContainerResult result = zorpa::write_container(request);
        EXPECT_TRUE(result.ok) << result.message;
    }
};

// Samples the writer takes for `frames` frames when the WAV holds enough:
// the pre-roll, then 2048 per chunk less 1134 for each moved-back chunk;
// the last eight frames are silent.
std::size_t samples_for_frames(std::uint32_t frames) {
    std::size_t total = 8192;
    for (std::uint32_t k = 0; k + 8 < frames; ++k) {
        total += 2048;
        if (k >= 21 && (k - 21) % 25 == 0) total -= 1134;
    }
    return total;
}

TEST(ContainerReader, FramesComeBackWithTheirWindowAndZerosElsewhere) {
    const Packed packed(5, 60000);
    zorpa::FileSource file;
    ASSERT_TRUE(file.open(packed.container)) << file.error();
    ASSERT_TRUE(zorpa::check_container(file).ok);
    for (std::uint32_t i = 0; i < packed.frames; ++i) {
        Bytes expected = picture_bytes(i);
        for (std::size_t b = 0; b < expected.size(); ++b) {
            const bool in_window = (b >= 3360 && b < 28640) || (b >= 34016 && b < 49184);
            if (!in_window) expected[b] = 0;
        }
        Bytes picture;
        ASSERT_TRUE(zorpa::extract_frame(file, i, picture));
        EXPECT_TRUE(same_bytes(picture, expected)) << "frame " << i;
    }
}

struct SoundCase {
    const char* name;
    std::uint32_t last;
    std::size_t sound_size;
    std::size_t expected_samples;  // 0: computed from the frame count
};

class SoundRoundTrip : public ::testing::TestWithParam<SoundCase> {};

// The sound read back equals the WAV's samples from its start, over the
// expected length: enough sound for every frame (with moves back at the
// 22nd, 47th and 72nd chunks), or sound that runs out before the frames do.
TEST_P(SoundRoundTrip, SamplesEqualTheWavsFromItsStart) {
    const SoundCase& c = GetParam();
    const Packed packed(c.last, c.sound_size);
    zorpa::FileSource file;
    ASSERT_TRUE(file.open(packed.container)) << file.error();
    Bytes samples;
    ASSERT_TRUE(zorpa::extract_sound(file, packed.frames, samples));
    const std::size_t expected =
        c.expected_samples != 0 ? c.expected_samples : samples_for_frames(packed.frames);
    ASSERT_EQ(samples.size(), expected);
    const Bytes wav_samples(packed.wav.begin() + 44,
                            packed.wav.begin() + 44 + static_cast<std::ptrdiff_t>(expected));
    EXPECT_TRUE(same_bytes(samples, wav_samples));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SoundRoundTrip,
    ::testing::Values(
        // Plenty of sound: 90 frames, 82 with sound, three moves back.
        SoundCase{"long_sound", 89, 400000, 0},
        // Sound for the pre-roll and 10 chunks only: the 11th would pass the end.
        SoundCase{"short_sound", 40, 8192 + 10 * 2048 + 100, 8192 + 10 * 2048},
        // Fewer than nine frames: the unsigned rule forces none silent.
        SoundCase{"few_frames", 3, 100000, 8192 + 4 * 2048}),
    [](const ::testing::TestParamInfo<SoundCase>& info) { return std::string(info.param.name); });

TEST(ContainerReader, NoSoundGivesNoSamples) {
    const Packed packed(30, 1000, false);
    zorpa::FileSource file;
    ASSERT_TRUE(file.open(packed.container));
    Bytes samples{1, 2, 3};
    ASSERT_TRUE(zorpa::extract_sound(file, packed.frames, samples));
    EXPECT_TRUE(samples.empty());
}

TEST(ContainerReader, WavHeaderIsCanonical) {
    const Bytes samples = {0x80, 0x00, 0xFF};
    const Bytes wav = zorpa::wav_file(samples);
    const Bytes expected = {'R',  'I',  'F', 'F', 39,   0,    0, 0, 'W',  'A',  'V', 'E',
                            'f',  'm',  't', ' ', 16,   0,    0, 0, 1,    0,    1,   0,
                            0x92, 0xC3, 0,   0,   0x92, 0xC3, 0, 0, 1,    0,    8,   0,
                            'd',  'a',  't', 'a', 3,    0,    0, 0, 0x80, 0x00, 0xFF};
    EXPECT_TRUE(same_bytes(wav, expected));
}

constexpr std::size_t kWhole = ~std::size_t{0};

// A two-frame container in memory, damaged in one way per case.
struct Damage {
    const char* name;
    std::size_t keep;     // bytes kept from the start (kWhole: all)
    std::size_t flip_at;  // byte changed (0: none; byte 0 is never flipped here)
    std::uint64_t fault;  // offset the check must name
    const char* words;    // part of the message
};

class ContainerCheck : public ::testing::TestWithParam<Damage> {};

Bytes two_frame_container() {
    Packed packed(1, 50000);
    return read_file(packed.container);
}

TEST_P(ContainerCheck, NamesTheOffsetOfTheFault) {
    const Damage& d = GetParam();
    Bytes bytes = two_frame_container();
    ASSERT_EQ(bytes.size(), container_size(2));
    if (d.keep != kWhole) bytes.resize(d.keep);
    if (d.flip_at != 0) bytes[d.flip_at] ^= 0x41;
    const zorpa::MemorySource source(bytes.data(), bytes.size());
    const zorpa::CheckResult check = zorpa::check_container(source);
    ASSERT_FALSE(check.ok);
    EXPECT_EQ(check.fault_offset, d.fault);
    EXPECT_NE(check.message.find("byte offset " + std::to_string(d.fault)), std::string::npos)
        << check.message;
    EXPECT_NE(check.message.find(d.words), std::string::npos) << check.message;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ContainerCheck,
    ::testing::Values(Damage{"empty", 0, 0, 0, "mark"}, Damage{"inside_mark", 4, 0, 4, "mark"},
                      Damage{"wrong_mark", kWhole, 3, 3, "mark"},
                      Damage{"inside_count", 8, 0, 8, "frame count"},
                      Damage{"header_padding", kWhole, 200, 200, "padding"},
                      Damage{"inside_header", 100, 0, 100, "header"},
                      Damage{"inside_pre_roll", 5000, 0, 5000, "pre-roll"},
                      Damage{"pre_roll_padding", kWhole, 256 + 9000, 256 + 9000,
                             "pre-roll padding"},
                      Damage{"inside_second_record", 32768 + 42496 + 7, 0, 32768 + 42496 + 7,
                             "inside frame record 1 (which starts at byte 75264)"},
                      Damage{"frame_count_too_high", kWhole, 9, 32768 + 2 * 42496, "announces"}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST(ContainerCheck, FirstByteAndTrailingBytesAreFaults) {
    Bytes bytes = two_frame_container();
    bytes[0] = 'X';
    zorpa::CheckResult check =
        zorpa::check_container(zorpa::MemorySource(bytes.data(), bytes.size()));
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.fault_offset, 0u);

    bytes[0] = 'S';
    bytes.push_back(0);
    check = zorpa::check_container(zorpa::MemorySource(bytes.data(), bytes.size()));
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.fault_offset, container_size(2));
    EXPECT_NE(check.message.find("1 bytes past"), std::string::npos) << check.message;

    bytes.pop_back();
    check = zorpa::check_container(zorpa::MemorySource(bytes.data(), bytes.size()));
    EXPECT_TRUE(check.ok) << check.message;
    EXPECT_EQ(check.frames, 2u);
}

TEST(ContainerCheck, EveryTruncationIsRefusedWithoutCrashing) {
    const Bytes bytes = two_frame_container();
    for (std::size_t keep = 0; keep < bytes.size(); keep += 997) {
        const zorpa::CheckResult check =
            zorpa::check_container(zorpa::MemorySource(bytes.data(), keep));
        ASSERT_FALSE(check.ok) << keep;
        EXPECT_LE(check.fault_offset, keep);
    }
}

// --- zorpamux-cli subcommands ---

robustness::RunResult cli(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{ZORPAMUX_CLI_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return robustness::run_program(argv, robustness::ChildSetup{});
}

TEST(ZorpaCliReader, ListAndCheck) {
    const Packed packed(2, 30000);
    robustness::RunResult run = cli({"list", packed.container});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "frames=3 bytes=" + std::to_string(container_size(3)) +
                           "\nframe=0 offset=32768\nframe=1 offset=75264\nframe=2 offset=117760\n");
    run = cli({"check", packed.container});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "ok frames=3\n");
}

TEST(ZorpaCliReader, ExtractFrameAndSoundWriteTheFiles) {
    const Packed packed(30, 300000);
    const std::string picture = packed.dir.file("frame.bVK");
    robustness::RunResult run = cli({"extract-frame", packed.container, "7", "-o", picture});
    ASSERT_EQ(run.status, 0) << run.err;
    Bytes from_file = read_file(picture);
    zorpa::FileSource file;
    ASSERT_TRUE(file.open(packed.container));
    Bytes from_library;
    ASSERT_TRUE(zorpa::extract_frame(file, 7, from_library));
    EXPECT_TRUE(same_bytes(from_file, from_library));
    EXPECT_EQ(from_file[3360], picture_bytes(7)[3360]);

    const std::string sound = packed.dir.file("sound_out.wav");
    run = cli({"extract-sound", packed.container, "-o", sound});
    ASSERT_EQ(run.status, 0) << run.err;
    const Bytes wav = read_file(sound);
    const std::size_t expected = samples_for_frames(31);
    ASSERT_EQ(wav.size(), 44 + expected);
    EXPECT_TRUE(same_bytes(Bytes(wav.begin() + 44, wav.end()),
                           Bytes(packed.wav.begin() + 44,
                                 packed.wav.begin() + 44 + static_cast<std::ptrdiff_t>(expected))));
}

TEST(ZorpaCliReader, BadInputsFailNamingTheFileAndLeaveNoOutput) {
    const Packed packed(1, 30000);
    Bytes damaged = read_file(packed.container);
    damaged.resize(damaged.size() - 10);
    const std::string broken = packed.dir.file("broken.zrp");
    write_file(broken, damaged);
    const std::string out = packed.dir.file("out.bVK");

    struct Case {
        std::vector<std::string> args;
        std::string in_message;
    };
    const std::vector<Case> cases = {
        {{"check", broken}, "byte offset " + std::to_string(damaged.size())},
        {{"list", broken}, "broken.zrp"},
        {{"extract-frame", broken, "0", "-o", out}, "broken.zrp"},
        {{"extract-frame", packed.container, "2", "-o", out}, "no frame 2"},
        {{"extract-sound", packed.dir.path().string(), "-o", out}, packed.dir.path().string()},
        {{"check", packed.dir.file("missing.zrp")}, "missing.zrp"},
        {{"extract-frame", packed.container, "0", "-o", packed.dir.path().string()},
         packed.dir.path().string()},
        {{"extract-frame", packed.container, "0"}, "no output file"},
    };
    for (const Case& c : cases) {
        const robustness::RunResult run = cli(c.args);
        EXPECT_EQ(run.status, 1) << c.args[0] << " " << c.args[1];
        EXPECT_NE(run.err.find(c.in_message), std::string::npos) << run.err;
        EXPECT_FALSE(robustness::exists(out)) << c.args[0];
    }
}

TEST(ZorpaCliReader, PackingStillWorksBesideTheSubcommands) {
    TempDir dir;
    write_series(dir.file("list"), 0, 0, ".bVK");
    const std::string container = dir.file("c.zrp");
    const robustness::RunResult run =
        cli({"-p", frame_name(dir.file("list"), 0, ".bVK"), "-o", container});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(container).size(), container_size(1));
}

}  // namespace
