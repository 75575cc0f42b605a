// Every program that takes one of the encoder's options takes the same
// values for it: each row runs the program with the option on a missing
// file and tells by the program's answer whether the value was accepted
// (the run goes on to the missing file) or refused (a usage message).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/common/files.h"
#include "tests/common/process.h"

namespace {

struct Program {
    const char* name;
    // Arguments around the option, "@" standing for it.
    std::vector<std::string> args;
    // Standard error holds this when the command line was refused.
    const char* refusal;
    bool linux_only;
};

const Program kPrograms[] = {
    {"brenvik", {"@", "missing.bmp"}, "usage: ", false},
    {"brenvik-view", {"missing.bVK", "@"}, "Try 'brenvik-view --help'", false},
    {"ste-host",
     {"embed", "missing.img", "missing.bVK", "--mode=0", "@", "-o", "out.img"},
     "usage: ste-host",
     true},
    {"brenvik-video", {"missing.mp4", "out.ZRP", "@"}, "Try 'brenvik-video --help'", false},
};

struct Row {
    const char* option;  // with its value, as brenvik spells it
    bool accepted;
    std::vector<const char*> programs;  // the programs that take it
};

const std::vector<const char*> kAll = {"brenvik", "brenvik-view", "ste-host", "brenvik-video"};
const std::vector<const char*> kEncoders = {"brenvik", "brenvik-video"};
const std::vector<const char*> kLayouts = {"brenvik", "brenvik-view", "ste-host"};

const Row kRows[] = {
    {"--blockoflines=0", true, kAll},  // one-line blocks
    {"--blockoflines=6", true, kAll},
    {"--blockoflines=9", true, kAll},  // one-line blocks
    {"--blockoflines=10", false, kAll},
    {"--blockoflines=-1", false, kAll},
    {"--shiftpixels=0", true, kAll},
    {"--shiftpixels=9", true, kAll},
    {"--shiftpixels=10", false, kAll},
    {"--pixpal=0", false, kLayouts},
    {"--pixpal=1", true, kLayouts},
    {"--pixpal=3", true, kLayouts},
    {"--pixpal=4", false, kLayouts},
    {"--mode=4", true, kLayouts},
    {"--mode=5", false, kLayouts},
    {"--dither=0", true, kEncoders},
    {"--dither=5", true, kEncoders},
    {"--dither=6", false, kEncoders},
    {"--ed=3", true, kEncoders},
    {"--ed=4", false, kEncoders},
    {"--seed=0", true, kEncoders},
    {"--seed=-5", true, kEncoders},
    {"--seed=2147483647", true, kEncoders},
    {"--seed=-2147483648", true, kEncoders},
    {"--distance=plain", true, kEncoders},
    {"--distance=phased", true, kEncoders},
    {"--distance=flat", false, kEncoders},
    {"--distance=", false, kEncoders},
    {"--threads=0", true, kEncoders},
    {"--threads=1", true, kEncoders},
    {"--threads=4096", true, kEncoders},
    {"--threads=4097", false, kEncoders},
    {"--threads=-1", false, kEncoders},
};

std::string program_path(const char* name) {
    return std::string(BIN_DIR) + "/" + name + EXE_SUFFIX;
}

class OptionRanges : public testing::TestWithParam<Row> {};

TEST_P(OptionRanges, EveryProgramTakesTheSameValues) {
    const Row& row = GetParam();
    testsupport::TempDir dir;
    for (const Program& program : kPrograms) {
        bool takes = false;
        for (const char* name : row.programs) takes = takes || std::string(name) == program.name;
        if (!takes) continue;
#ifdef _WIN32
        if (program.linux_only) continue;
#endif
        if (!std::filesystem::exists(program_path(program.name))) continue;
        std::vector<std::string> argv{program_path(program.name)};
        for (const std::string& arg : program.args) argv.push_back(arg == "@" ? row.option : arg);
        const testsupport::ProcessResult run = testsupport::run_process(argv, dir.path().string());
        EXPECT_NE(run.status, 0) << program.name << " " << row.option << ": the file is missing";
        const bool refused = run.err.find(program.refusal) != std::string::npos;
        EXPECT_EQ(!refused, row.accepted) << program.name << " " << row.option
                                          << (row.accepted ? " refused" : " accepted") << ":\n"
                                          << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, OptionRanges, testing::ValuesIn(kRows));

}  // namespace
