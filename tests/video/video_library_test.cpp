// brenvik-video's library: the command line and its hand-over to the
// encoder (the in-process encoder must write what brenvik writes for the
// same options), the pool of encoding threads (a failing frame stops the
// others, nothing is written once the run is abandoned) and the clean-up of
// a work folder the user named.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/files.h"
#include "tests/common/fixtures.h"
#include "video/frame_extraction.h"
#include "video/local_encoder.h"
#include "video/video_options.h"
#include "video/work_folder.h"

namespace {

namespace fs = std::filesystem;
using brenvik::video::FrameFile;
using brenvik::video::LocalEncoder;
using brenvik::video::VideoOptions;

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start) result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

// ---------------------------------------------------------------- command line

struct ArgumentsCase {
    const char* arguments;  // after INPUT OUTPUT
    const char* brenvik;    // brenvik's arguments for them, or "" when refused
    const char* message;    // the refusal's message, when refused
};

const ArgumentsCase kArgumentsCases[] = {
    {"", "--distance=plain", nullptr},
    {"--quality=007 --ed=0", "-7 --ed=0 --distance=plain", nullptr},
    {"--quality=2 --quality=0", "-2 -0 --distance=plain", nullptr},  // the last one counts
    {"--seed=-5 --blockoflines=9 --shiftpixels=0 --dither=5",
     "--seed=-5 --blockoflines=9 "
     "--shiftpixels=0 --dither=5 --distance=plain",
     nullptr},
    {"--seed=2147483647 --fit=crop --diffused --jobs=4096", "--seed=2147483647 --distance=plain",
     nullptr},
    // The distance goes last, wherever it was given; the threads change no byte
    // and are not among brenvik's arguments for the frames.
    {"--distance=phased --quality=1 --threads=0", "-1 --distance=phased", nullptr},
    {"--distance=plain --threads=4096", "--distance=plain", nullptr},
    {"--distance=exact", "", "invalid distance 'exact': expected plain or phased"},
    {"--threads=4097", "", "invalid threads '4097': expected 0..4096"},
    {"--threads=-1", "", "invalid threads '-1': expected 0..4096"},
    {"--quality=12", "", "invalid quality '12': expected 0..9"},
    {"--quality=-1", "", "invalid quality '-1': expected 0..9"},
    {"--dither=", "", "invalid dither '': expected 0..5"},
    {"--seed=2147483648", "", "invalid seed '2147483648': expected -2147483648..2147483647"},
    {"--seed=12345678901", "", "invalid seed '12345678901': expected -2147483648..2147483647"},
    {"--jobs=4097", "", "invalid jobs '4097': expected 1..4096"},
    {"--fit=zoom", "", "invalid fit 'zoom': expected pad, crop or stretch"},
    {"--start=", "", "option '--start=' needs a value"},
    {"--diffused=1", "", "option '--diffused=1' takes no value"},
    {"--quality", "", "option '--quality' needs a value"},
    {"--quality 4 --dither 2", "-4 --dither=2 --distance=plain", nullptr},  // values apart
    {"--frames=3", "", "unknown option '--frames=3'"},
    {"-x", "", "unknown option '-x'"},
    {"third.mkv", "", "one INPUT and one OUTPUT only ('third.mkv' is a third)"},
    {"--resume", "", "--resume needs the earlier run's --workdir=DIR"},
};

TEST(VideoArguments, EncoderOptionsAreHandedOnOrRefused) {
    for (const ArgumentsCase& c : kArgumentsCases) {
        std::vector<std::string> args = {"in.mkv", "out.ZRP"};
        for (const std::string& word : words(c.arguments)) args.push_back(word);
        VideoOptions options;
        std::string error;
        const bool ok = brenvik::video::parse_arguments(args, options, error);
        if (c.message != nullptr) {
            EXPECT_FALSE(ok) << c.arguments;
            EXPECT_EQ(error, c.message) << c.arguments;
            continue;
        }
        ASSERT_TRUE(ok) << c.arguments << ": " << error;
        EXPECT_EQ(brenvik::video::encoder_arguments(options), words(c.brenvik)) << c.arguments;
    }
}

TEST(VideoArguments, HelpIsSeenBeforeLaterMistakes) {
    VideoOptions options;
    std::string error;
    EXPECT_TRUE(brenvik::video::parse_arguments({"--help", "--quality=12"}, options, error));
    EXPECT_TRUE(options.help);
    EXPECT_FALSE(brenvik::video::parse_arguments({"--quality=12", "--help"}, options, error));
}

// ------------------------------------------- the encoder, in process and as brenvik

// Files brenvik writes, by name, with their bytes.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> picture_files(const fs::path& dir) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() == ".bVK") {
            files.emplace_back(entry.path().filename().string(),
                               testsupport::read_file(entry.path()));
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(VideoEncoder, FramesEncodedHereAreBrenviksFiles) {
    const std::vector<std::uint8_t> frame = testsupport::synthetic_picture(320, 200, 11);
    const char* const rows[] = {"--quality=0", "--quality=1 --ed=2 --seed=-5",
                                "--quality=0 --dither=3 --shiftpixels=2 --blockoflines=3",
                                "--quality=0 --ed=0 --blockoflines=8"};
    for (const char* row : rows) {
        std::vector<std::string> args = {"in.mkv", "out.ZRP"};
        for (const std::string& word : words(row)) args.push_back(word);
        VideoOptions options;
        std::string error;
        ASSERT_TRUE(brenvik::video::parse_arguments(args, options, error)) << error;

        testsupport::TempDir here;
        testsupport::write_file(here.file("frame00000.bmp"), frame);
        LocalEncoder encoder({{"frame00000.bmp", here.file("frame00000.bmp")}},
                             brenvik::video::encode_options(options), 1);
        encoder.start();
        while (!encoder.wait_for(1000)) {
        }
        ASSERT_FALSE(encoder.failure()) << encoder.failure()->message;

        testsupport::TempDir own;
        testsupport::write_file(own.file("frame00000.bmp"), frame);
        std::vector<std::string> brenvik_args = {"--mode=2"};
        for (const std::string& a : brenvik::video::encoder_arguments(options)) {
            brenvik_args.push_back(a);
        }
        brenvik_args.push_back("frame00000.bmp");
        const testsupport::RunOutput run = testsupport::run_encoder(own.path(), brenvik_args);
        ASSERT_EQ(run.status, 0) << run.err;
        const auto expected = picture_files(own.path());
        EXPECT_EQ(expected.size(), 2u) << row;
        EXPECT_TRUE(picture_files(here.path()) == expected) << row;
    }
}

// ----------------------------------------------------------- the pool of threads

std::vector<FrameFile> frames_in(const testsupport::TempDir& dir, int count) {
    std::vector<FrameFile> frames;
    const std::vector<std::uint8_t> bmp = testsupport::synthetic_picture(320, 200, 3);
    for (int i = 0; i < count; ++i) {
        const std::string name = brenvik::video::frame_stem(static_cast<std::size_t>(i)) + ".bmp";
        testsupport::write_file(dir.file(name), bmp);
        frames.push_back({name, dir.file(name)});
    }
    return frames;
}

// A stand-in for the encoder: one small file per frame, named after it.
brenvik::EncodeResult stand_in_files(const brenvik::EncodeRequest& request) {
    brenvik::EncodeResult result;
    result.ok = true;
    result.files.push_back({brenvik::FileRole::picture, request.input_name + ".bVK", {1, 2, 3}});
    return result;
}

TEST(VideoEncoderPool, TheFirstFailingFrameStopsTheRun) {
    testsupport::TempDir dir;
    const auto encode = [](const brenvik::EncodeRequest& request) {
        brenvik::EncodeResult result = stand_in_files(request);
        if (request.input_name.find("frame00003") != std::string::npos) {
            result = {};
            result.message = "refused for the test";
        }
        return result;
    };
    LocalEncoder encoder(frames_in(dir, 12), {.mode = 2}, 1, encode);
    encoder.start();
    while (!encoder.wait_for(1000)) {
    }
    ASSERT_TRUE(encoder.failure());
    EXPECT_EQ(encoder.failure()->frame, "frame00003.bmp");
    EXPECT_EQ(encoder.failure()->message, "refused for the test");
    EXPECT_EQ(encoder.done(), 3u);
    // One worker: the frames after the failing one were never written.
    EXPECT_TRUE(fs::exists(dir.file("frame00002.bmp.bVK")));
    EXPECT_FALSE(fs::exists(dir.file("frame00004.bmp.bVK")));
}

TEST(VideoEncoderPool, AFrameThatIsNoPictureIsNamed) {
    testsupport::TempDir dir;
    std::vector<FrameFile> frames = frames_in(dir, 2);
    testsupport::write_file(dir.file("frame00001.bmp"), testsupport::bmp_header(320, 199));
    LocalEncoder encoder(frames, {.mode = 2}, 2, stand_in_files);
    encoder.start();
    while (!encoder.wait_for(1000)) {
    }
    ASSERT_TRUE(encoder.failure());
    EXPECT_EQ(encoder.failure()->frame, "frame00001.bmp");
    EXPECT_NE(encoder.failure()->message.find("frame00001.bmp: "), std::string::npos)
        << encoder.failure()->message;
}

// Encodes that wait until the test lets them go.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    std::atomic<int> waiting{0};
};

TEST(VideoEncoderPool, NothingIsWrittenOnceAbandoned) {
    testsupport::TempDir dir;
    const auto gate = std::make_shared<Gate>();
    // The stand-in holds the gate, not the test's frame: it outlives the pool.
    const auto encode = [gate](const brenvik::EncodeRequest& request) {
        ++gate->waiting;
        std::unique_lock lock(gate->mutex);
        gate->opened.wait(lock, [&] { return gate->open; });
        return stand_in_files(request);
    };
    {
        LocalEncoder encoder(frames_in(dir, 4), {.mode = 2}, 2, encode);
        encoder.start();
        while (gate->waiting < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        encoder.abandon();
        EXPECT_TRUE(brenvik::video::workers_left_running());
    }
    {
        std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->opened.notify_all();
    // The two encodes under way end; their files must not appear.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < 4; ++i) {
        const std::string name = brenvik::video::frame_stem(static_cast<std::size_t>(i));
        EXPECT_FALSE(fs::exists(dir.file(name + ".bmp.bVK"))) << name;
    }
}

// ------------------------------------------------------------- the work folder

TEST(VideoWorkFolder, OnlyTheWorkFilesLeaveTheUsersFolder) {
    testsupport::TempDir dir;
    const fs::path work = dir.path() / "work";
    fs::create_directories(work / "frames.bmp");  // a folder of the user's, named like a frame
    for (const char* name :
         {"frame00000.bmp", "frame00000.bVK", "Fframe00000.bVK", "frame00000F2.bVK", "sound.wav",
          "settings", "extracted", "ffmpeg.log", ".brenvik-video-size.bmp", "holiday.txt",
          "Fholiday.bVK", "myframe.bmp"}) {
        testsupport::write_file(work / name, {1});
    }
#ifndef _WIN32
    fs::create_directory_symlink(".", work / ".brenvik-video-host-1-2");
#endif
    brenvik::video::WorkFolder folder;
    std::string error;
    ASSERT_TRUE(folder.create(work.string(), error)) << error;
    EXPECT_FALSE(folder.own());
    folder.remove_work_files();
    std::vector<std::string> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(work)) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"Fholiday.bVK", "frames.bmp", "holiday.txt",
                                              "myframe.bmp"}));

    // Emptied of what is left, the folder goes with the work files.
    fs::remove_all(work / "frames.bmp");
    for (const char* name : {"Fholiday.bVK", "holiday.txt", "myframe.bmp"}) fs::remove(work / name);
    testsupport::write_file(work / "sound.raw", {1});
    folder.remove_work_files();
    EXPECT_FALSE(fs::exists(work));
}

}  // namespace
