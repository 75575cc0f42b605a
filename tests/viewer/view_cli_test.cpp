// brenvik-view as a program: its output files, the --compare line and its
// refusals (each names the file, exits 1 and leaves no output behind).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/fixtures.h"
#include "tests/robustness/program_runner.h"
#include "viewer/image.h"
#include "viewer/picture_file.h"

namespace {

using namespace brenvik::viewer;
using testsupport::read_file;
using testsupport::write_file;

robustness::RunResult view(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{BRENVIK_VIEW_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return robustness::run_program(argv, robustness::ChildSetup{});
}

// One mode-2 picture and one two-palette mode-0 picture, encoded once for
// the whole suite.
class ViewProgram : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new robustness::ScratchFolder();
        write_file(dir_->file("pic.bmp"), testsupport::synthetic_picture(320, 200, 21));
        ASSERT_EQ(testsupport::run_encoder(dir_->path(), {"-0", "--mode=2", "pic.bmp"}).status, 0);
        write_file(dir_->file("two.bmp"), testsupport::synthetic_picture(320, 200, 22));
        write_file(dir_->file("two_bis.bmp"), testsupport::synthetic_picture(320, 200, 23));
        ASSERT_EQ(testsupport::run_encoder(dir_->path(), {"-0", "--pixpal=3", "two.bmp"}).status,
                  0);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string file(const std::string& name) { return dir_->file(name); }

    static Rendering rendered(const std::string& name) {
        const auto bytes = read_file(file(name));
        return render_picture(bytes, layouts_of_size(bytes.size(), {}).front(), {});
    }
    static std::vector<std::uint8_t> png_of(const Image& image) {
        std::vector<std::uint8_t> png;
        std::string error;
        EXPECT_TRUE(encode_png(image, png, error)) << error;
        return png;
    }
    static Image bmp(const std::string& name) {
        Image image;
        std::string error;
        EXPECT_TRUE(decode_bmp(read_file(file(name)), image, error)) << error;
        return image;
    }

    static robustness::ScratchFolder* dir_;
};

robustness::ScratchFolder* ViewProgram::dir_ = nullptr;

TEST_F(ViewProgram, WritesThePngBesideThePictureByDefault) {
    const auto run = view({file("pic.bVK")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(read_file(file("pic.png")), png_of(rendered("pic.bVK").seen));
}

TEST_F(ViewProgram, ScaleEachAndOutputName) {
    const std::string out = file("scaled.png");
    auto run = view({file("two.bVK"), "-o", out, "--scale=2", "--each"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Rendering r = rendered("two.bVK");
    EXPECT_EQ(read_file(out), png_of(enlarge(r.seen, 2)));
    EXPECT_EQ(read_file(file("scaled_1.png")), png_of(enlarge(r.first, 2)));
    EXPECT_EQ(read_file(file("scaled_2.png")), png_of(enlarge(r.second, 2)));
}

TEST_F(ViewProgram, CompareLineAndStrip) {
    const std::string strip_name = file("strip.png");
    const auto run = view({file("two.bVK"), "-o", file("cmp.png"), "--compare=" + file("two.bmp"),
                           "--strip=" + strip_name});
    ASSERT_EQ(run.status, 0) << run.err;
    const Image source = bmp("two.bmp");
    const Image seen = rendered("two.bVK").seen;
    EXPECT_EQ(run.out, comparison_line(compare(source, seen)));
    EXPECT_EQ(run.out.find("inf"), std::string::npos);
    EXPECT_EQ(read_file(strip_name), png_of(strip(source, seen)));
}

TEST_F(ViewProgram, RefusalsNameTheFileAndLeaveNothing) {
    robustness::ScratchFolder scratch;
    write_file(scratch.file("short.bVK"), std::vector<std::uint8_t>(51199, 0));
    write_file(scratch.file("empty.bVK"), {});
    robustness::make_folder(scratch.file("folder.bVK"));
    robustness::make_folder(scratch.file("taken.png"));
    write_file(scratch.file("small.bmp"), testsupport::synthetic_picture(16, 16, 1));
    const std::string pic = file("pic.bVK");
    const std::string out = scratch.file("out.png");
    struct Case {
        std::vector<std::string> args;
        std::string in_message;
    };
    const std::vector<Case> cases = {
        {{scratch.file("short.bVK"), "-o", out}, "short.bVK"},
        {{scratch.file("empty.bVK"), "-o", out}, "empty.bVK"},
        {{scratch.file("folder.bVK"), "-o", out}, "folder.bVK"},
        {{scratch.file("missing.bVK"), "-o", out}, "missing.bVK"},
        {{pic, "-o", scratch.file("taken.png")}, "taken.png"},
        {{pic, "-o", scratch.file("no/such/folder.png")}, "folder.png"},
        {{pic, "-o", out, "--mode=0"}, "with the options given"},
        {{pic, "-o", out, "--compare=" + scratch.file("small.bmp")}, "small.bmp"},
        {{pic, "-o", out, "--compare=" + scratch.file("missing.bmp")}, "missing.bmp"},
        {{pic, "-o", out, "--compare=" + pic}, "not a BMP"},
        {{pic, "-o", out, "--each"}, "one palette set"},
        {{pic, "-o", out, "--strip=" + scratch.file("s.png")}, "--strip needs --compare"},
        {{pic, "-o", out, "--scale=0"}, "--scale=0"},
        {{pic, "-o", out, "--levelstep=15"}, "--levelstep=15"},
        {{pic, "-o", out, "--bogus"}, "--bogus"},
        {{"/dev/zero", "-o", out}, "/dev/zero"},
    };
    for (const Case& c : cases) {
        const auto run = view(c.args);
        EXPECT_EQ(run.status, 1) << c.args[0] << " " << c.args.back();
        EXPECT_NE(run.err.find(c.in_message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(robustness::exists(out)) << c.args.back();
        EXPECT_FALSE(robustness::exists(scratch.file("s.png")));
    }
    // Nothing but the fixtures is left: no temporary files either.
    EXPECT_EQ(robustness::list_folder(scratch.path().string()).size(), 5u);
}

}  // namespace
