#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "container_writer.h"
#include "test_support.h"
#include "tests/common/process.h"

namespace {

using namespace zorpa_test;

struct CliRun {
    int status = -1;  // exit status, -1 if the program did not exit normally
    std::string out;
    std::string err;
};

// Runs zorpamux-cli with the arguments, standard output and error captured.
CliRun run_cli(const std::vector<std::string>& arguments) {
    std::vector<std::string> words{ZORPAMUX_CLI_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const testsupport::ProcessResult result = testsupport::run_process(words);
    if (result.status < 0) ADD_FAILURE() << "cannot run " << words[0];
    return {result.status, result.out, result.err};
}

struct Inputs {
    TempDir dir;
    std::string stem = dir.file("CLIP");
    std::string picture = frame_name(stem, 0, ".bVK");
    std::string sound = dir.file("sound.wav");

    Inputs() {
        write_series(stem, 0, 30, ".bVK", 20000);
        write_file(sound, wav_bytes(120000));
    }
};

TEST(ZorpaCli, ShortOptionsGiveTheLibrarysContainer) {
    Inputs in;
    const std::string by_cli = in.dir.file("cli.zrp");
    const CliRun run =
        run_cli({"-p", in.picture, "-s", in.sound, "-S", "2", "-L", "30", "-V", "3", "-o", by_cli});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "") << "no progress bar when standard error is not a terminal";

    zorpa::ContainerRequest request;
    request.picture_name = in.picture;
    request.sound_name = in.sound;
    request.start_frame = 2;
    request.last_frame = 30;
    request.sound_offset = 3;
    request.container_name = in.dir.file("lib.zrp");
    ASSERT_TRUE(zorpa::write_container(request).ok);
    EXPECT_EQ(fs::file_size(by_cli), container_size(29));
    EXPECT_TRUE(same_bytes(read_file(by_cli), read_file(request.container_name)));
}

TEST(ZorpaCli, LongOptionsWithoutSound) {
    Inputs in;
    const std::string by_cli = in.dir.file("cli.zrp");
    const CliRun run =
        run_cli({"--picture=" + in.picture, "--start", "4", "--last=6", "--output=" + by_cli});
    EXPECT_EQ(run.status, 0) << run.err;

    zorpa::ContainerRequest request;
    request.picture_name = in.picture;
    request.start_frame = 4;
    request.last_frame = 6;
    request.container_name = in.dir.file("lib.zrp");
    ASSERT_TRUE(zorpa::write_container(request).ok);
    EXPECT_TRUE(same_bytes(read_file(by_cli), read_file(request.container_name)));
}

TEST(ZorpaCli, HelpDescribesTheOptions) {
    const CliRun run = run_cli({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* option :
         {"--picture", "--sound", "--start", "--last", "--offset", "--output"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
}

struct UsageCase {
    std::vector<std::string> arguments;  // "@" stands for a valid picture, "#" for an output
    std::string mentioned;
};

class ZorpaCliUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(ZorpaCliUsage, RefusedWithStatusOne) {
    Inputs in;
    const std::string output = in.dir.file("never.zrp");
    std::vector<std::string> arguments = GetParam().arguments;
    for (auto& argument : arguments) {
        if (argument == "@") {
            argument = in.picture;
        } else if (argument == "#") {
            argument = output;
        }
    }
    const CliRun run = run_cli(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(GetParam().mentioned), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(output));
}

INSTANTIATE_TEST_SUITE_P(
    BadCommandLines, ZorpaCliUsage,
    testing::Values(
        UsageCase{{"-p", "@", "-S", "12a", "-o", "#"}, "'12a'"},
        UsageCase{{"-p", "@", "-L", "-1", "-o", "#"}, "'-1'"},
        UsageCase{{"-p", "@", "-L", "+5", "-o", "#"}, "'+5'"},
        UsageCase{{"-p", "@", "-V", "", "-o", "#"}, "sound offset ''"},
        UsageCase{{"-p", "@", "-L", " 7", "-o", "#"}, "' 7'"},
        UsageCase{{"-p", "@", "-S", "4294967296", "-o", "#"}, "'4294967296'"},
        UsageCase{{"-p", "@", "-L", "99999999999999999999", "-o", "#"}, "'99999999999999999999'"},
        UsageCase{{"-p", "@", "-o", "#", "-S"}, "'-S' needs a value"},
        UsageCase{{"-p", "@", "-o", "#", "--bogus"}, "--bogus"},
        UsageCase{{"-p", "@", "-o", "#", "extra"}, "'extra'"}, UsageCase{{"-o", "#"}, "no picture"},
        UsageCase{{"-p", "@"}, "no output"},
        UsageCase{{"-p", "@", "-L", "100000", "-o", "#"}, "100000"},
        UsageCase{{"-p", "@", "-S", "9", "-L", "7", "-o", "#"}, "start frame 9"},
        UsageCase{{"-p", "@", "-s", "/nonexistent/s.wav", "-o", "#"}, "/nonexistent/s.wav"}));

TEST(ZorpaCli, MissingFrameKeepsTheContainerAndFails) {
    Inputs in;
    fs::remove(frame_name(in.stem, 3, ".bVK"));
    const std::string output = in.dir.file("cut.zrp");
    const CliRun run = run_cli({"-p", in.picture, "-L", "9", "-o", output});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "File open error!\n3\n");
    EXPECT_NE(run.err.find(frame_name(in.stem, 3, ".bVK")), std::string::npos) << run.err;
    EXPECT_EQ(fs::file_size(output), container_size(3));
}

TEST(ZorpaCli, UnwritableOutputFails) {
    Inputs in;
    const std::string output = in.dir.file("missing/folder/out.zrp");
    const CliRun run = run_cli({"-p", in.picture, "-o", output});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(output), std::string::npos) << run.err;
}

}  // namespace
