// The same picture and options give the same bytes and the same standard
// output, run after run and whatever the number of worker threads.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/common/fixtures.h"

namespace {

using testsupport::TempDir;

struct Snapshot {
    std::string out;
    std::map<std::string, std::vector<std::uint8_t>> files;
};

struct Params {
    std::vector<std::string> options;
    int height;  // 200, 20 for mode 4, 229 for mode 3 (416 wide)
};

Snapshot encode(const Params& params, unsigned threads, bool portable_search = false) {
    TempDir dir;
    testsupport::write_file(
        dir.path() / "pic.bmp",
        testsupport::synthetic_picture(params.height == 229 ? 416 : 320, params.height, 77));
    std::vector<std::string> args = params.options;
    args.push_back("pic.bmp");
    const auto run = testsupport::run_encoder(dir.path(), args, threads, portable_search);
    EXPECT_EQ(run.status, 0) << run.err;
    Snapshot snap;
    snap.out = testsupport::mask_times(run.out);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        snap.files[entry.path().filename().string()] = testsupport::read_file(entry.path());
    }
    return snap;
}

void PrintTo(const Params& params, std::ostream* os) {
    for (const auto& option : params.options) *os << option << ' ';
}

class DeterminismTest : public ::testing::TestWithParam<Params> {};

TEST_P(DeterminismTest, SameBytesForAnyThreadCount) {
    const Snapshot one = encode(GetParam(), 1);
    ASSERT_GE(one.files.size(), 2u);
    for (unsigned threads : {1u, 2u, 7u}) {
        const Snapshot other = encode(GetParam(), threads);
        EXPECT_EQ(other.out, one.out) << threads << " threads";
        EXPECT_TRUE(other.files == one.files) << threads << " threads";
    }
}

// The search has a portable build and, where the processor has it, an AVX2
// build; both must choose the same colours.
TEST_P(DeterminismTest, PortableSearchGivesTheSameBytes) {
    const Snapshot fast = encode(GetParam(), 2);
    const Snapshot portable = encode(GetParam(), 2, true);
    ASSERT_GE(fast.files.size(), 2u);
    EXPECT_EQ(portable.out, fast.out);
    EXPECT_TRUE(portable.files == fast.files);
}

INSTANTIATE_TEST_SUITE_P(
    Options, DeterminismTest,
    ::testing::Values(
        Params{{"-0", "--preview=1"}, 200},
        Params{{"-0", "--mode=4", "--pixpal=3", "--blockoflines=4"}, 20},
        Params{{"-0", "--mode=1", "--dith=5", "--verbose"}, 200},
        Params{{"-1", "--mode=3", "--shiftpixels=9"}, 229}, Params{{"-1", "--blockoflines=3"}, 200},
        Params{{"-0", "--mode=2", "--dith=3", "--distance=plain"}, 200},
        Params{{"-0", "--mode=4", "--pixpal=3", "--blockoflines=3", "--distance=plain"}, 20}));

}  // namespace
