#include "container_writer.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using namespace zorpa_test;
using zorpa::ContainerRequest;
using zorpa::ContainerResult;
using zorpa::write_container;

// A series FILM00000.bvk ... in its own folder, written into out.zrp.
struct Series {
    TempDir dir;
    std::string stem = dir.file("FILM");
    std::string output = dir.file("out.zrp");

    ContainerRequest request(std::uint32_t first, std::uint32_t last,
                             const std::string& sound = "") const {
        ContainerRequest r;
        r.picture_name = frame_name(stem, 0, ".bvk");
        r.sound_name = sound;
        r.start_frame = first;
        r.last_frame = last;
        r.container_name = output;
        return r;
    }
};

ContainerResult write_quietly(const ContainerRequest& request,
                              const zorpa::Progress& progress = {}) {
    testing::internal::CaptureStdout();
    ContainerResult result = write_container(request, progress);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "") << "the writer prints nothing";
    return result;
}

// Sound file offsets: data from 44, the pre-roll takes 8192 bytes, so with
// V = 0 the frame chunks start at 8236.
constexpr std::size_t kFirstChunkOffset = 44 + 8192;

// Where the chunk of the k-th frame (from 0) starts when nothing runs short:
// 2048 bytes per frame, less 1134 before frame 21 and every 25th frame after.
std::size_t chunk_offset(std::size_t k) {
    const std::size_t moves = k < 21 ? 0 : 1 + (k - 21) / 25;
    return kFirstChunkOffset + 2048 * k - 1134 * moves;
}

// ---------------------------------------------------------------- layout

struct LayoutCase {
    std::uint32_t first;
    std::uint32_t last;
    std::uint64_t frames;
    Bytes count;  // header bytes 6..9
};

class ZorpaLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(ZorpaLayout, SizeAndFrameCount) {
    const LayoutCase& c = GetParam();
    Series s;
    if (c.frames > 0) {
        write_series(s.stem, c.first, c.last, ".bvk", 0);
    }
    const ContainerResult result = write_quietly(s.request(c.first, c.last));
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_TRUE(result.container_kept);
    EXPECT_EQ(result.frames_written, c.frames);
    EXPECT_EQ(fs::file_size(s.output), container_size(c.frames));
    const Container container(s.output);
    EXPECT_EQ(container.slice(0, 6), (Bytes{'S', 'T', 'E', 'A', 'V', '3'}));
    EXPECT_EQ(container.count_bytes(), c.count);
    EXPECT_EQ(container.slice(10, 246), Bytes(246, 0));
}

INSTANTIATE_TEST_SUITE_P(Counts, ZorpaLayout,
                         testing::Values(LayoutCase{0, 0, 1, {0, 0, 0, 1}},
                                         LayoutCase{0, 2, 3, {0, 0, 0, 3}},
                                         LayoutCase{5, 7, 3, {0, 0, 0, 3}},
                                         LayoutCase{3, 2, 0, {0, 0, 0, 0}},  // S = L + 1: no frame
                                         LayoutCase{0, 299, 300, {0, 0, 1, 0x2C}}));

TEST(ZorpaContainer, SilentContainerOfOneFrame) {
    Series s;
    write_series(s.stem, 0, 0, ".bvk");
    ASSERT_TRUE(write_quietly(s.request(0, 0)).ok);
    const Container container(s.output);
    Bytes pre_roll = silence(8192);
    pre_roll.resize(32512, 0);
    EXPECT_TRUE(same_bytes(container.pre_roll(), pre_roll));
    EXPECT_TRUE(same_bytes(container.record(0), expected_record(picture_bytes(0), silence())));
}

TEST(ZorpaContainer, RecordsTakeBothPictureRangesInFrameOrder) {
    Series s;
    write_series(s.stem, 3, 6, ".bvk");
    ASSERT_TRUE(write_quietly(s.request(3, 6)).ok);
    const Container container(s.output);
    for (std::uint32_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(
            same_bytes(container.record(i), expected_record(picture_bytes(3 + i), silence())))
            << "record " << i;
    }
}

// Picture files shorter than the record needs are zero-filled; longer ones
// give nothing past byte 49183.
class ZorpaShortPicture : public testing::TestWithParam<std::size_t> {};

TEST_P(ZorpaShortPicture, MissingBytesAreZero) {
    Series s;
    // A full frame first, so nothing of it may show through the short one.
    write_series(s.stem, 0, 0, ".bvk");
    write_series(s.stem, 1, 1, ".bvk", GetParam());
    ASSERT_TRUE(write_quietly(s.request(0, 1)).ok);
    EXPECT_TRUE(same_bytes(Container(s.output).record(1),
                           expected_record(picture_bytes(1, GetParam()), silence())));
}

TEST(ZorpaShortPicture, PictureEndingInTheGapGivesAZeroSecondRange) {
    Series s;
    write_series(s.stem, 0, 0, ".bvk", 30000);
    ASSERT_TRUE(write_quietly(s.request(0, 0)).ok);
    const Bytes record = Container(s.output).record(0);
    const Bytes picture = picture_bytes(0, 30000);
    EXPECT_TRUE(same_bytes(Bytes(record.begin(), record.begin() + 25280),
                           Bytes(picture.begin() + 3360, picture.begin() + 28640)));
    EXPECT_TRUE(same_bytes(Bytes(record.begin() + 25280, record.begin() + 40448), Bytes(15168, 0)));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ZorpaShortPicture,
                         testing::Values(0, 1000, 3360, 30000, 40000, 49183, 49184, 70000));

// ------------------------------------------------------------------ sound

TEST(ZorpaSound, ChunksFollowTheMoveBackEveryTwentyFiveFrames) {
    Series s;
    const std::uint32_t last = 80;  // frames 73..80 are the silent tail
    write_series(s.stem, 0, last, ".bvk", 0);
    const Bytes wav = wav_bytes(200000);
    const std::string sound = s.dir.file("sound.wav");
    write_file(sound, wav);
    ASSERT_TRUE(write_quietly(s.request(0, last, sound)).ok);

    const Container container(s.output);
    Bytes pre_roll = converted_sound(wav, 44, 8192);
    pre_roll.resize(32512, 0);
    EXPECT_TRUE(same_bytes(container.pre_roll(), pre_roll));
    for (std::size_t k = 0; k <= last; ++k) {
        const Bytes expected =
            k <= last - 8 ? converted_sound(wav, chunk_offset(k), 2048) : silence();
        EXPECT_TRUE(same_bytes(container.chunk(k), expected)) << "frame " << k;
    }
}

struct TailCase {
    std::uint32_t first;
    std::uint32_t last;
    std::uint32_t first_silent;  // frame number; above last when none is forced silent
};

class ZorpaSilentTail : public testing::TestWithParam<TailCase> {};

TEST_P(ZorpaSilentTail, LastEightFramesAreSilent) {
    const TailCase& c = GetParam();
    Series s;
    write_series(s.stem, c.first, c.last, ".bvk", 0);
    const Bytes wav = wav_bytes(100000);
    const std::string sound = s.dir.file("sound.wav");
    write_file(sound, wav);
    ASSERT_TRUE(write_quietly(s.request(c.first, c.last, sound)).ok);

    const Container container(s.output);
    for (std::uint32_t f = c.first; f <= c.last; ++f) {
        const std::size_t k = f - c.first;
        const Bytes expected =
            f < c.first_silent ? converted_sound(wav, chunk_offset(k), 2048) : silence();
        EXPECT_TRUE(same_bytes(container.chunk(k), expected)) << "frame " << f;
    }
}

INSTANTIATE_TEST_SUITE_P(Tails, ZorpaSilentTail,
                         testing::Values(TailCase{0, 20, 13}, TailCase{5, 20, 13},
                                         TailCase{0, 8, 1}, TailCase{0, 9, 2},
                                         TailCase{0, 7, 8},  // L < 8: the subtraction wraps
                                         TailCase{0, 0, 1},  // and none is silent
                                         TailCase{3, 7, 8}, TailCase{18, 20, 13}));

TEST(ZorpaSound, ShortSoundGivesSilenceUntilAMoveBackMakesAChunkReadable) {
    Series s;
    const std::uint32_t last = 40;
    write_series(s.stem, 0, last, ".bvk", 0);
    // Three full chunks after the pre-roll, then 1000 bytes: too few for a
    // chunk until the move back before frame 21 adds 1134.
    const Bytes wav = wav_bytes(8192 + 3 * 2048 + 1000);
    const std::string sound = s.dir.file("sound.wav");
    write_file(sound, wav);
    ASSERT_TRUE(write_quietly(s.request(0, last, sound)).ok);

    const Container container(s.output);
    for (std::size_t k = 0; k <= last; ++k) {
        Bytes expected = silence();
        if (k < 3) {
            expected = converted_sound(wav, kFirstChunkOffset + 2048 * k, 2048);
        } else if (k == 21) {
            expected = converted_sound(wav, kFirstChunkOffset + 3 * 2048 - 1134, 2048);
        }
        EXPECT_TRUE(same_bytes(container.chunk(k), expected)) << "frame " << k;
    }
}

TEST(ZorpaSound, ChunkEndingExactlyAtTheEndOfTheFileIsRead) {
    Series s;
    write_series(s.stem, 0, 9, ".bvk", 0);
    const Bytes wav = wav_bytes(8192 + 2048);
    const std::string sound = s.dir.file("sound.wav");
    write_file(sound, wav);
    ASSERT_TRUE(write_quietly(s.request(0, 9, sound)).ok);
    const Container container(s.output);
    EXPECT_TRUE(same_bytes(container.chunk(0), converted_sound(wav, kFirstChunkOffset, 2048)));
    EXPECT_TRUE(same_bytes(container.chunk(1), silence()));
}

TEST(ZorpaSound, SoundShorterThanThePreRollIsPaddedWithConvertedZeros) {
    Series s;
    write_series(s.stem, 0, 30, ".bvk", 0);
    const Bytes wav = wav_bytes(100);
    const std::string sound = s.dir.file("sound.wav");
    write_file(sound, wav);
    ASSERT_TRUE(write_quietly(s.request(0, 30, sound)).ok);

    const Container container(s.output);
    Bytes pre_roll = converted_sound(wav, 44, 100);
    pre_roll.resize(8192, 0x80);
    pre_roll.resize(32512, 0);
    EXPECT_TRUE(same_bytes(container.pre_roll(), pre_roll));
    for (std::size_t k = 0; k <= 30; ++k) {
        EXPECT_TRUE(same_bytes(container.chunk(k), silence())) << "frame " << k;
    }
}

struct OffsetCase {
    std::uint32_t offset;       // V
    std::size_t read_position;  // where the pre-roll starts in the file
};

class ZorpaSoundOffset : public testing::TestWithParam<OffsetCase> {};

TEST_P(ZorpaSoundOffset, PreRollStartsAtTheOffset) {
    Series s;
    write_series(s.stem, 0, 0, ".bvk", 0);
    const Bytes wav = wav_bytes(70000);
    const std::string sound = s.dir.file("sound.wav");
    write_file(sound, wav);
    ContainerRequest request = s.request(0, 0, sound);
    request.sound_offset = GetParam().offset;
    ASSERT_TRUE(write_quietly(request).ok);

    const Container container(s.output);
    EXPECT_TRUE(same_bytes(container.slice(256, 8192),
                           converted_sound(wav, GetParam().read_position, 8192)));
    EXPECT_TRUE(same_bytes(container.chunk(0),
                           converted_sound(wav, GetParam().read_position + 8192, 2048)));
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, ZorpaSoundOffset,
    testing::Values(OffsetCase{0, 44}, OffsetCase{1, 44 + 1001},
                    OffsetCase{3, 44 + 3003},  // 75099 / 25 truncates
                    OffsetCase{50, 44 + 50066},
                    // 171573 * 25033 wraps around 2^32 to 19613; 19613 / 25 = 784
                    OffsetCase{171573, 44 + 784}));

struct ConversionCase {
    unsigned char sample;
    unsigned char written;
};

class ZorpaConversion : public testing::TestWithParam<ConversionCase> {};

TEST_P(ZorpaConversion, TopBitFlips) {
    Series s;
    write_series(s.stem, 0, 0, ".bvk", 0);
    Bytes wav = wav_bytes(8192);
    wav[44] = GetParam().sample;
    const std::string sound = s.dir.file("sound.wav");
    write_file(sound, wav);
    ASSERT_TRUE(write_quietly(s.request(0, 0, sound)).ok);
    EXPECT_EQ(Container(s.output).bytes.at(256), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Samples, ZorpaConversion,
                         testing::Values(ConversionCase{0x00, 0x80}, ConversionCase{0x80, 0x00},
                                         ConversionCase{0xFF, 0x7F}, ConversionCase{0x7F, 0xFF},
                                         ConversionCase{0x01, 0x81}));

// ------------------------------------------------------------ frame names

class ZorpaFrameName : public testing::TestWithParam<std::pair<std::uint32_t, std::string>> {};

TEST_P(ZorpaFrameName, FiveDigitNumber) {
    const auto& [frame, digits] = GetParam();
    Series s;
    write_file(s.stem + digits + ".bvk", picture_bytes(frame));
    const ContainerResult result = write_quietly(s.request(frame, frame));
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_TRUE(same_bytes(Container(s.output).record(0),
                           expected_record(picture_bytes(frame), silence())));
}

INSTANTIATE_TEST_SUITE_P(Numbers, ZorpaFrameName,
                         testing::Values(std::pair<std::uint32_t, std::string>{0, "00000"},
                                         std::pair<std::uint32_t, std::string>{9, "00009"},
                                         std::pair<std::uint32_t, std::string>{10, "00010"},
                                         std::pair<std::uint32_t, std::string>{12345, "12345"},
                                         std::pair<std::uint32_t, std::string>{99999, "99999"}));

TEST(ZorpaFrameNames, StemDropsNineCharactersNotTheDigits) {
    TempDir dir;
    // Four digits in the chosen name: the stem loses the M as well.
    write_file(dir.file("ANI00001.BVK"), picture_bytes(1));
    ContainerRequest request;
    request.picture_name = dir.file("ANIM0000.BVK");
    request.start_frame = 1;
    request.last_frame = 1;
    request.container_name = dir.file("out.zrp");
    const ContainerResult result = write_quietly(request);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_TRUE(same_bytes(Container(request.container_name).record(0),
                           expected_record(picture_bytes(1), silence())));
}

struct ExtensionCase {
    std::string chosen;                // extension of the picture name
    std::vector<std::string> on_disk;  // frame 0 exists with these extensions
    int expected_source;               // index into on_disk; -1: none found
};

class ZorpaExtension : public testing::TestWithParam<ExtensionCase> {};

TEST_P(ZorpaExtension, OwnExtensionFirstThenLowerCase) {
    const ExtensionCase& c = GetParam();
#ifdef _WIN32
    if (c.expected_source < 0) GTEST_SKIP() << "file names are not case-sensitive on Windows";
#endif
    Series s;
    for (std::size_t i = 0; i < c.on_disk.size(); ++i) {
        // Each candidate file gets content of its own.
        write_file(frame_name(s.stem, 0, c.on_disk[i]), picture_bytes(100 + i));
    }
    ContainerRequest request = s.request(0, 0);
    request.picture_name = frame_name(s.stem, 0, c.chosen);

    testing::internal::CaptureStdout();
    const ContainerResult result = write_container(request);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the library prints nothing";
    if (c.expected_source < 0) {
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.missing_frame, 0u);
        EXPECT_EQ(result.frames_written, 0u);
        return;
    }
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_FALSE(result.missing_frame);
    EXPECT_TRUE(same_bytes(Container(s.output).record(0),
                           expected_record(picture_bytes(100 + c.expected_source), silence())));
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, ZorpaExtension,
    testing::Values(ExtensionCase{".bVK", {".bVK"}, 0},          // the encoder's own files
                    ExtensionCase{".BVK", {".bvk"}, 0},          // fallback
                    ExtensionCase{".bVK", {".bvk", ".bVK"}, 1},  // own extension wins
                    ExtensionCase{".bvk", {".bvk"}, 0},
                    ExtensionCase{".xyz", {".xyz"}, 0},     // any four characters
                    ExtensionCase{".bVK", {".BVK"}, -1}));  // names are case-sensitive

// ---------------------------------------------------------- missing frame

TEST(ZorpaMissingFrame, ContainerIsKeptWithTheCountOfItsRecords) {
    Series s;
    write_series(s.stem, 2, 4, ".bvk");
    write_series(s.stem, 6, 7, ".bvk");
    write_file(s.output, Bytes{'o', 'l', 'd'});

    const ContainerResult result = write_container(s.request(2, 7));
    EXPECT_EQ(result.missing_frame, 5u);

    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.container_kept);
    EXPECT_EQ(result.frames_written, 3u);
    EXPECT_NE(result.message.find(frame_name(s.stem, 5, ".bvk")), std::string::npos)
        << result.message;
    ASSERT_EQ(fs::file_size(s.output), container_size(3));
    const Container container(s.output);
    EXPECT_EQ(container.count_bytes(), (Bytes{0, 0, 0, 3}));
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(
            same_bytes(container.record(i), expected_record(picture_bytes(2 + i), silence())));
    }
    EXPECT_EQ(s.dir.entries().size(), 6u) << "five frames and the container, no temporary file";
}

TEST(ZorpaMissingFrame, MissingFirstFrameLeavesHeaderAndPreRoll) {
    Series s;
    const ContainerResult result = write_container(s.request(7, 9));
    EXPECT_EQ(result.missing_frame, 7u);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.container_kept);
    EXPECT_EQ(fs::file_size(s.output), container_size(0));
    EXPECT_EQ(Container(s.output).count_bytes(), (Bytes{0, 0, 0, 0}));
}

TEST(ZorpaMissingFrame, FolderInPlaceOfAFrameCountsAsMissing) {
    Series s;
    write_series(s.stem, 0, 0, ".bvk");
    fs::create_directory(frame_name(s.stem, 1, ".bvk"));
    const ContainerResult result = write_container(s.request(0, 1));
    EXPECT_EQ(result.missing_frame, 1u);
    EXPECT_TRUE(result.container_kept);
    EXPECT_EQ(result.frames_written, 1u);
    EXPECT_EQ(Container(s.output).count_bytes(), (Bytes{0, 0, 0, 1}));
}

// --------------------------------------------------------------- refusals

struct RefusalCase {
    std::string name;
    std::function<void(ContainerRequest&, const Series&)> change;
    std::string mentioned;  // the message names this ("@" stands for the series folder)
};

class ZorpaRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(ZorpaRefusal, NothingIsWritten) {
    const RefusalCase& c = GetParam();
    Series s;
    write_series(s.stem, 0, 3, ".bvk", 0);
    const Bytes old{'g', 'o', 'o', 'd'};
    write_file(s.output, old);
    write_file(s.dir.file("sound.wav"), wav_bytes(10000));
    const std::vector<std::string> before = s.dir.entries();

    ContainerRequest request = s.request(0, 3, s.dir.file("sound.wav"));
    c.change(request, s);
    int calls = 0;
    zorpa::Progress progress;
    progress.set_range = [&](std::uint32_t, std::uint32_t) { ++calls; };
    progress.set_position = [&](std::uint32_t) { ++calls; };
    progress.step = [&]() { ++calls; };

    const ContainerResult result = write_quietly(request, progress);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.container_kept);
    EXPECT_EQ(result.frames_written, 0u);
    std::string mentioned = c.mentioned;
    if (mentioned.rfind("@/", 0) == 0) {
        // As the request's names were made: the folder joined with the rest.
        mentioned = (s.dir.path() / mentioned.substr(2)).string();
    }
    EXPECT_NE(result.message.find(mentioned), std::string::npos) << result.message;
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(s.dir.entries(), before);
    EXPECT_EQ(read_file(s.output), old);
}

std::string refusal_name(const testing::TestParamInfo<RefusalCase>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    BadRequests, ZorpaRefusal,
    testing::Values(
        RefusalCase{"EmptyPictureName",
                    [](ContainerRequest& r, const Series&) { r.picture_name.clear(); },
                    "no picture"},
        RefusalCase{"PictureNameOfEightCharacters",
                    [](ContainerRequest& r, const Series&) { r.picture_name = "0000.BVK"; },
                    "'0000.BVK'"},
        RefusalCase{"LastFrameAbove99999",
                    [](ContainerRequest& r, const Series&) { r.last_frame = 100000; }, "100000"},
        RefusalCase{"LastFrameAtTheTopOfUnsigned",
                    [](ContainerRequest& r, const Series&) { r.last_frame = 4294967295u; },
                    "4294967295"},
        RefusalCase{"StartAboveLastPlusOne",
                    [](ContainerRequest& r, const Series&) {
                        r.start_frame = 5;
                        r.last_frame = 3;
                    },
                    "start frame 5"},
        RefusalCase{"StartAtTheTopOfUnsigned",
                    [](ContainerRequest& r, const Series&) { r.start_frame = 4294967295u; },
                    "start frame 4294967295"},
        RefusalCase{
            "MissingSound",
            [](ContainerRequest& r, const Series& s) { r.sound_name = s.dir.file("none.wav"); },
            "@/none.wav"},
        RefusalCase{
            "FolderAsSound",
            [](ContainerRequest& r, const Series& s) { r.sound_name = s.dir.path().string(); },
            "Is a directory"},
        RefusalCase{"EmptyContainerName",
                    [](ContainerRequest& r, const Series&) { r.container_name.clear(); },
                    "no container"},
        RefusalCase{"ContainerInAMissingFolder",
                    [](ContainerRequest& r, const Series& s) {
                        r.container_name = s.dir.file("no/such/folder/out.zrp");
                    },
                    "@/no/such/folder/out.zrp"},
        RefusalCase{
            "FolderAsContainer",
            [](ContainerRequest& r, const Series& s) { r.container_name = s.dir.path().string(); },
            "Is a directory"}),
    refusal_name);

// ----------------------------------------------------- atomic replacement

TEST(ZorpaAtomicWrite, SuccessReplacesTheOldContainerAndLeavesNoTemporaryFile) {
    Series s;
    write_series(s.stem, 0, 1, ".bvk", 0);
    write_file(s.output, Bytes{'o', 'l', 'd'});
#ifndef _WIN32
    ::chmod(s.output.c_str(), 0640);
#endif
    ASSERT_TRUE(write_quietly(s.request(0, 1)).ok);
    EXPECT_EQ(fs::file_size(s.output), container_size(2));
    EXPECT_EQ(s.dir.entries(),
              (std::vector<std::string>{"FILM00000.bvk", "FILM00001.bvk", "out.zrp"}));
#ifndef _WIN32
    // (Windows files have no permission bits of this kind.)
    struct stat status {};
    ASSERT_EQ(::stat(s.output.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u) << "the replacement keeps the old file's permissions";
#endif
}

TEST(ZorpaAtomicWrite, WriteFailureHalfWayLeavesTheOldContainerIntact) {
#ifdef _WIN32
    GTEST_SKIP() << "RLIMIT_FSIZE is POSIX-only";
#else
    Series s;
    write_series(s.stem, 0, 9, ".bvk", 0);
    const Bytes old{'g', 'o', 'o', 'd'};
    write_file(s.output, old);
    const std::vector<std::string> before = s.dir.entries();

    // A file size limit makes a write fail after the pre-roll and a few records.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = container_size(3) + 1000;
    const auto saved_handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const ContainerResult result = write_quietly(s.request(0, 9));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, saved_handler);

    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.container_kept);
    EXPECT_NE(result.message.find(s.output), std::string::npos) << result.message;
    EXPECT_EQ(read_file(s.output), old);
    EXPECT_EQ(s.dir.entries(), before);
#endif
}

TEST(ZorpaAtomicWrite, FullDeviceIsAWriteError) {
    if (!fs::is_character_file("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    Series s;
    write_series(s.stem, 0, 0, ".bvk", 0);
    ContainerRequest request = s.request(0, 0);
    request.container_name = "/dev/full";
    const ContainerResult result = write_quietly(request);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("/dev/full"), std::string::npos) << result.message;
    EXPECT_NE(result.message.find("No space left"), std::string::npos) << result.message;
    EXPECT_TRUE(fs::is_character_file("/dev/full")) << "a device is written to, never replaced";
}

TEST(ZorpaAtomicWrite, SymbolicLinkTargetIsFollowed) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need extra privileges on Windows and are not resolved there";
#else
    Series s;
    write_series(s.stem, 0, 0, ".bvk", 0);
    const std::string real = s.dir.file("real.zrp");
    write_file(real, Bytes{'o', 'l', 'd'});
    fs::create_symlink(real, s.output);
    ASSERT_TRUE(write_quietly(s.request(0, 0)).ok);
    EXPECT_TRUE(fs::is_symlink(s.output));
    EXPECT_EQ(fs::file_size(real), container_size(1));
#endif
}

// --------------------------------------------------------------- progress

struct ProgressCase {
    std::uint32_t frames;
    std::uint32_t high;
    std::vector<std::uint32_t> step_after;  // records written when each step comes
};

class ZorpaProgress : public testing::TestWithParam<ProgressCase> {};

TEST_P(ZorpaProgress, RangePositionAndSteps) {
    const ProgressCase& c = GetParam();
    TempDir dir;
    const std::string stem = dir.file("F");
    fs::create_directory(dir.path() / "out");
    if (c.frames > 0) {
        write_series(stem, 0, c.frames - 1, ".bvk", 0);
    }
    ContainerRequest request;
    request.picture_name = frame_name(stem, 0, ".bvk");
    request.start_frame = 0;
    request.last_frame = c.frames - 1;  // frames = 0 gives S = L + 1
    request.container_name = (dir.path() / "out" / "c.zrp").string();

    std::vector<std::string> events;
    zorpa::Progress progress;
    progress.set_range = [&](std::uint32_t low, std::uint32_t high) {
        events.push_back("range " + std::to_string(low) + " " + std::to_string(high));
    };
    progress.set_position = [&](std::uint32_t position) {
        events.push_back("position " + std::to_string(position));
    };
    progress.step = [&]() {
        // The output folder holds only the container being written.
        std::uintmax_t size = 0;
        for (const auto& entry : fs::directory_iterator(dir.path() / "out")) {
            size = entry.file_size();
        }
        events.push_back("step after " + std::to_string((size - container_size(0)) / kRecordSize));
    };
    if (c.frames == 0) {
        request.start_frame = 1;
        request.last_frame = 0;
    }
    ASSERT_TRUE(write_quietly(request, progress).ok);

    std::vector<std::string> expected{"range 0 " + std::to_string(c.high), "position 0"};
    for (const std::uint32_t after : c.step_after) {
        expected.push_back("step after " + std::to_string(after));
    }
    EXPECT_EQ(events, expected);
}

INSTANTIATE_TEST_SUITE_P(FrameCounts, ZorpaProgress,
                         testing::Values(ProgressCase{0, 0, {}}, ProgressCase{1, 0, {}},
                                         ProgressCase{81, 1, {}}, ProgressCase{82, 1, {82}},
                                         ProgressCase{161, 2, {82}},
                                         ProgressCase{162, 2, {82, 162}},
                                         ProgressCase{250, 3, {82, 162, 242}}));

}  // namespace
