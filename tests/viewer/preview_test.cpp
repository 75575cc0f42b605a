// zorpa-preview: container frames rendered as the STE shows them, and the
// video ffmpeg makes of them (frame count and duration read back by ffprobe).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "container_reader.h"
#include "container_writer.h"
#include "tests/common/fixtures.h"
#include "tests/robustness/program_runner.h"
#include "viewer/picture_file.h"
#include "viewer/preview_video.h"

namespace {

using namespace brenvik::viewer;
using testsupport::read_file;
using testsupport::write_file;

// Full name of a program found on PATH, or empty.
std::string on_path(const std::string& program) {
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

// Two encoded mode-2 pictures packed as frames 0..frames-1 (alternating)
// with a WAV of a rising tone.
class PackedClip : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new robustness::ScratchFolder();
        for (unsigned seed : {31u, 32u}) {
            const std::string name = "P" + std::to_string(seed) + ".bmp";
            write_file(dir_->file(name), testsupport::synthetic_picture(320, 200, seed));
            ASSERT_EQ(testsupport::run_encoder(dir_->path(), {"-0", "--mode=2", name}).status, 0);
        }
        for (std::uint32_t f = 0; f < kFrames; ++f) {
            const auto bytes = read_file(dir_->file(f % 2 == 0 ? "P31.bVK" : "P32.bVK"));
            char name[32];
            std::snprintf(name, sizeof name, "CLIP%05u.bVK", f);
            write_file(dir_->file(name), bytes);
        }
        std::vector<std::uint8_t> wav(44 + 60000);
        for (std::size_t i = 44; i < wav.size(); ++i) {
            wav[i] =
                static_cast<std::uint8_t>(128 + 90 * std::sin(static_cast<double>(i) * i / 4e6));
        }
        write_file(dir_->file("tone.wav"), wav);
        zorpa::ContainerRequest request;
        request.picture_name = dir_->file("CLIP00000.bVK");
        request.sound_name = dir_->file("tone.wav");
        request.last_frame = kFrames - 1;
        request.container_name = dir_->file("clip.zrp");
        ASSERT_TRUE(zorpa::write_container(request).ok);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string file(const std::string& name) { return dir_->file(name); }

    static constexpr std::uint32_t kFrames = 30;
    static robustness::ScratchFolder* dir_;
};

robustness::ScratchFolder* PackedClip::dir_ = nullptr;

robustness::RunResult preview(const std::vector<std::string>& arguments,
                              const std::string& path_variable = "") {
    std::vector<std::string> argv;
    if (!path_variable.empty()) {
        argv = {"/usr/bin/env", "PATH=" + path_variable};
    }
    argv.push_back(ZORPA_PREVIEW_PATH);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return robustness::run_program(argv, robustness::ChildSetup{});
}

// The container's frame is the picture's lines 22..179 (its window) with
// their palettes, black above and below.
TEST_F(PackedClip, FrameShowsThePicturesWindowLines) {
    zorpa::FileSource source;
    ASSERT_TRUE(source.open(file("clip.zrp"))) << source.error();
    for (std::uint32_t f : {0u, 1u}) {
        Image frame;
        ASSERT_TRUE(render_container_frame(source, f, frame));
        const auto bytes = read_file(file(f == 0 ? "P31.bVK" : "P32.bVK"));
        const Image picture = render_picture(bytes, {2, 1, false}, {}).first;
        ASSERT_EQ(frame.width, 320);
        ASSERT_EQ(frame.height, 200);
        int black_outside = 0;
        for (int y = 0; y < 200; ++y) {
            const bool window = y >= 21 && y <= 178;
            for (int x = 0; x < 320; ++x) {
                const std::uint8_t* a = frame.at(x, y);
                const std::uint8_t* e = picture.at(x, y);
                if (window) {
                    ASSERT_TRUE(a[0] == e[0] && a[1] == e[1] && a[2] == e[2]) << x << "," << y;
                } else {
                    black_outside += (a[0] | a[1] | a[2]) == 0;
                }
            }
        }
        EXPECT_EQ(black_outside, 42 * 320);
    }
}

TEST_F(PackedClip, SoundOfAContainerWithoutSoundIsSilence) {
    zorpa::ContainerRequest request;
    request.picture_name = file("CLIP00000.bVK");
    request.last_frame = 3;
    request.container_name = file("mute.zrp");
    ASSERT_TRUE(zorpa::write_container(request).ok);
    zorpa::FileSource source;
    ASSERT_TRUE(source.open(file("mute.zrp")));
    const auto samples = preview_sound(source, 4);
    EXPECT_EQ(samples, std::vector<unsigned char>(8192, 0x80));

    zorpa::FileSource with_sound;
    ASSERT_TRUE(with_sound.open(file("clip.zrp")));
    const auto tone = read_file(file("tone.wav"));
    const auto packed = preview_sound(with_sound, kFrames);
    ASSERT_GT(packed.size(), 8192u);
    EXPECT_TRUE(std::equal(packed.begin(), packed.end(), tone.begin() + 44));
}

TEST_F(PackedClip, VideoHasEveryFrameAtTwentyFivePerSecond) {
    const std::string ffprobe = on_path("ffprobe");
    if (on_path("ffmpeg").empty() || ffprobe.empty()) {
        GTEST_SKIP()
            << "ffmpeg and ffprobe are not installed (tools/setup-debian.sh installs them)";
    }
    const std::string video = file("clip.mp4");
    const auto run = preview({file("clip.zrp"), "-o", video, "--scale=2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const auto probe = robustness::run_program(
        {ffprobe, "-v", "error", "-count_frames", "-show_entries",
         "stream=codec_type,nb_read_frames,width,height,sample_rate:format=duration", "-of",
         "default=noprint_wrappers=1", video},
        robustness::ChildSetup{});
    ASSERT_EQ(probe.status, 0) << probe.err;
    EXPECT_NE(probe.out.find("codec_type=video\nwidth=640\nheight=400\nnb_read_frames=30\n"),
              std::string::npos)
        << probe.out;
    EXPECT_NE(probe.out.find("codec_type=audio\nsample_rate=48000\n"), std::string::npos)
        << probe.out;
    const std::size_t at = probe.out.find("duration=");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NEAR(std::stod(probe.out.substr(at + 9)), kFrames / 25.0, 0.03) << probe.out;
}

TEST_F(PackedClip, RefusalsLeaveNoVideo) {
    robustness::ScratchFolder scratch;
    auto damaged = read_file(file("clip.zrp"));
    damaged.resize(damaged.size() - 1);
    write_file(scratch.file("damaged.zrp"), damaged);
    const std::string video = scratch.file("out.mp4");
    struct Case {
        std::vector<std::string> args;
        std::string path_variable;
        std::string in_message;
    };
    const std::vector<Case> cases = {
        {{scratch.file("damaged.zrp"), "-o", video}, "", "damaged.zrp"},
        {{scratch.file("missing.zrp"), "-o", video}, "", "missing.zrp"},
        {{scratch.path().string(), "-o", video}, "", scratch.path().string()},
        {{file("clip.zrp"), "-o", scratch.file("no/folder/out.mp4")}, "", "out.mp4"},
        {{file("clip.zrp")}, "", "no output file"},
        {{file("clip.zrp"), "-o", video}, scratch.path().string(), "ffmpeg"},
    };
    for (const Case& c : cases) {
        const auto run = preview(c.args, c.path_variable);
        EXPECT_EQ(run.status, 1) << c.args[0];
        EXPECT_NE(run.err.find(c.in_message), std::string::npos) << run.err;
        EXPECT_FALSE(robustness::exists(video));
    }
    EXPECT_EQ(robustness::list_folder(scratch.path().string()).size(), 1u);
}

}  // namespace
