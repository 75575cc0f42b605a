// The check of a recorded playback: following the pictures through the
// recorded frames, and placing the recorded sound against the stream.
#include "ste/host/play_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Candidates = std::vector<std::vector<int>>;

struct FollowCase {
    std::string name;
    Candidates frames;  // per recorded frame, the pictures it equals
    int pictures;
    int shown, dropped, repeated, once, wrong;
    bool good;
};

void PrintTo(const FollowCase& c, std::ostream* out) {
    *out << c.name;
}

class FollowPictures : public ::testing::TestWithParam<FollowCase> {};

TEST_P(FollowPictures, CountsEveryPictureShowing) {
    const FollowCase& c = GetParam();
    const ste::Showing s = ste::follow_pictures(c.frames, c.pictures);
    EXPECT_EQ(s.shown, c.shown);
    EXPECT_EQ(s.dropped, c.dropped);
    EXPECT_EQ(s.repeated, c.repeated);
    EXPECT_EQ(s.once, c.once);
    EXPECT_EQ(s.wrong, c.wrong);
    EXPECT_EQ(s.every_picture_twice(), c.good);
}

INSTANTIATE_TEST_SUITE_P(
    PlayCheck, FollowPictures,
    ::testing::Values(
        // Black frames before and after the play do not count.
        FollowCase{
            "in_order", {{}, {}, {0}, {0}, {1}, {1}, {2}, {2}, {}, {}}, 3, 3, 0, 0, 0, 0, true},
        FollowCase{"picture_dropped", {{0}, {0}, {2}, {2}}, 3, 2, 1, 0, 0, 0, false},
        FollowCase{"held_three_frames", {{0}, {0}, {0}, {1}, {1}}, 2, 2, 0, 1, 0, 0, false},
        FollowCase{"shown_once", {{0}, {1}, {1}}, 2, 2, 0, 0, 1, 0, false},
        // Two equal pictures: each takes two of the four frames.
        FollowCase{
            "equal_neighbours", {{0, 1}, {0, 1}, {0, 1}, {0, 1}, {2}, {2}}, 3, 3, 0, 0, 0, 0, true},
        FollowCase{
            "earlier_picture_again", {{0}, {0}, {1}, {1}, {0}, {2}, {2}}, 3, 3, 0, 1, 0, 0, false},
        FollowCase{"odd_frame_between", {{0}, {0}, {}, {1}, {1}}, 2, 2, 0, 0, 0, 1, false},
        FollowCase{"never_started", {{}, {}, {1}, {1}}, 2, 0, 2, 0, 0, 0, false}),
    [](const ::testing::TestParamInfo<FollowCase>& info) { return info.param.name; });

// An aperiodic test sound: a sum of a few unrelated tones whose frequencies
// glide, plus a pseudo-random part.
std::vector<float> test_sound(std::size_t n) {
    std::vector<float> s(n);
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double t = static_cast<double>(i);
        s[i] = static_cast<float>(40 * std::sin(t * (0.031 + t * 2e-7)) +
                                  25 * std::sin(t * 0.173 + std::sin(t * 0.0011) * 3) +
                                  static_cast<double>(seed >> 24) / 16.0 - 8.0);
    }
    return s;
}

TEST(PlayCheck, SoundFoundAtItsPlaceWithEitherSign) {
    const std::vector<float> stream = test_sound(40000);
    for (const float gain : {3.0f, -3.0f}) {
        std::vector<float> recording(1500, 0.0f);
        for (const float v : stream) recording.push_back(gain * v);
        recording.resize(recording.size() + 3000, 0.0f);
        const ste::SoundAlignment a = ste::align_sound(stream, recording, 1200, 5000);
        ASSERT_TRUE(a.found);
        EXPECT_EQ(a.inverted, gain < 0);
        EXPECT_GT(a.correlation, 0.999);
        EXPECT_DOUBLE_EQ(a.recording_position(0), 1500);
        EXPECT_DOUBLE_EQ(a.recording_position(30000.5), 31500.5);
    }
}

TEST(PlayCheck, SoundFollowsDroppedSamples) {
    // The player dropped two samples at stream sample 20000 (a correction):
    // from there on the stream plays two samples earlier.
    const std::vector<float> stream = test_sound(40000);
    std::vector<float> recording(700, 0.0f);
    for (std::size_t i = 0; i < stream.size(); ++i) {
        if (i != 20000 && i != 20001) recording.push_back(stream[i]);
    }
    recording.resize(recording.size() + 2000, 0.0f);
    const ste::SoundAlignment a = ste::align_sound(stream, recording, 0, 5000, 4096, 16);
    ASSERT_TRUE(a.found);
    EXPECT_NEAR(a.recording_position(100), 800, 0.5);
    EXPECT_NEAR(a.recording_position(4096 * 6 + 10), 700 + 4096 * 6 + 10 - 2, 0.5);
    EXPECT_GT(a.correlation, 0.99);
}

TEST(PlayCheck, SoundPlayedAtAnotherRate) {
    // Played 0.1 % fast: the stream's sample s is heard at 900 + s / 1.001.
    const std::vector<float> stream = test_sound(60000);
    std::vector<float> recording(900, 0.0f);
    for (double t = 0; t < double(stream.size() - 1); t += 1.001) {
        const std::size_t i = static_cast<std::size_t>(t);
        const double f = t - double(i);
        recording.push_back(static_cast<float>(stream[i] * (1 - f) + stream[i + 1] * f));
    }
    recording.resize(recording.size() + 1000, 0.0f);
    const ste::SoundAlignment a = ste::align_sound(stream, recording, 1000, 5000);
    ASSERT_TRUE(a.found);
    EXPECT_NEAR(a.stretch, 1 / 1.001, 5e-5);
    EXPECT_NEAR(a.recording_position(50000), 900 + 50000 / 1.001, 1.0);
    EXPECT_GT(a.correlation, 0.99);
}

TEST(PlayCheck, OtherSoundDoesNotCorrelate) {
    const std::vector<float> stream = test_sound(30000);
    std::vector<float> recording = test_sound(60000);
    recording.erase(recording.begin(), recording.begin() + 29000);  // another part
    const ste::SoundAlignment a = ste::align_sound(stream, recording, 0, 1000);
    ASSERT_TRUE(a.found);
    EXPECT_LT(std::fabs(a.correlation), 0.5);
}

TEST(PlayCheck, NoSoundNoAlignment) {
    EXPECT_FALSE(ste::align_sound({}, std::vector<float>(1000, 1.0f), 0, 100).found);
}

}  // namespace
