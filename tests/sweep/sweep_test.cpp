// brenvik-sweep on the bundled sample: the contact sheet holds each result at
// 1:1 with a label under it, every figure is the viewer's own --compare figure
// for that file, the printed best command makes that very file again, and the
// HTML table sorts in a real browser.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/files.h"

namespace {

namespace fs = std::filesystem;
using testsupport::read_file;
using testsupport::TempDir;

const std::string kSample = std::string(SOURCE_DIR) + "/samples/chelsea_320x200.bmp";

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string read_text(const fs::path& path) {
    const std::vector<std::uint8_t> bytes = read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs a shell command with its output caught in files of `scratch`.
Outcome run_shell(const std::string& command, const fs::path& scratch) {
    const fs::path out = scratch / "run.out", err = scratch / "run.err";
    const std::string full = "( " + command + " ) > " + quote(out.string()) + " 2> " +
                             quote(err.string()) + " < /dev/null";
    const int status = std::system(full.c_str());
    Outcome r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = read_text(out);
    r.err = read_text(err);
    return r;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    const std::uint8_t* at(int x, int y) const {
        return &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    }
};

Picture read_png(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture p;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << path << ": " << image.message;
        return p;
    }
    image.format = PNG_FORMAT_RGB;
    p.width = static_cast<int>(image.width);
    p.height = static_cast<int>(image.height);
    p.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr)) {
        ADD_FAILURE() << path << ": " << image.message;
        p = Picture{};
    }
    return p;
}

std::string unescape(std::string s) {
    const std::pair<const char*, const char*> entities[] = {
        {"&quot;", "\""}, {"&#x27;", "'"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities) {
        for (std::size_t at = s.find(from); at != std::string::npos;
             at = s.find(from, at + std::strlen(to)))
            s.replace(at, std::strlen(from), to);
    }
    return s;
}

// The data-* attributes of every table row, in document order.
using Row = std::map<std::string, std::string>;
std::vector<Row> table_rows(const std::string& page) {
    std::vector<Row> rows;
    for (std::size_t at = page.find("<tr data-"); at != std::string::npos;
         at = page.find("<tr data-", at + 1)) {
        const std::size_t end = page.find('>', at);
        const std::string tag = page.substr(at, end - at);
        Row row;
        for (std::size_t a = tag.find(" data-"); a != std::string::npos;
             a = tag.find(" data-", a + 1)) {
            const std::size_t equal = tag.find("=\"", a);
            const std::size_t close = tag.find('"', equal + 2);
            row[tag.substr(a + 6, equal - a - 6)] =
                unescape(tag.substr(equal + 2, close - equal - 2));
            a = close;
        }
        rows.push_back(row);
    }
    return rows;
}

double figure(const std::string& text) {
    return text == "inf" ? INFINITY : std::stod(text);
}

struct Combination {
    const char* options;       // the encoder options, one line of the set
    const char* view_options;  // what the viewer needs to read its files
    bool diffused_twin;        // the encoder also writes F<name>.bVK
};

// Three screen modes, three dithering kinds, both palette set-ups with a twin.
const Combination kSmallSet[] = {
    {"-0 --mode=0 --dither=0 --ed=1 --pixpal=1",
     "--mode=0 --shiftpixels=5 --blockoflines=1 --pixpal=1", true},
    {"-0 --mode=1 --dither=3 --ed=3 --pixpal=3 --distance=plain",
     "--mode=1 --shiftpixels=5 --blockoflines=1 --pixpal=3", true},
    {"-1 --mode=2 --dither=4 --ed=2 --blockoflines=2 --shiftpixels=3",
     "--mode=2 --shiftpixels=3 --blockoflines=2 --pixpal=1", true},
};

class SweepTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir.path() / "picture");
        fs::create_directories(dir.path() / "out");
        fs::copy_file(kSample, picture());
    }
    fs::path picture() const { return dir.path() / "picture" / "chelsea_320x200.bmp"; }
    fs::path sheet() const { return dir.path() / "out" / "sheet"; }

    // Runs the sweep over `lines` (one set line each) with the given extra
    // arguments.
    Outcome sweep(const std::vector<std::string>& lines, const std::string& extra = "") {
        std::string set;
        for (const std::string& line : lines) set += line + "\n";
        const fs::path set_file = dir.path() / "set.txt";
        testsupport::write_file(set_file, std::vector<std::uint8_t>(set.begin(), set.end()));
        return run_shell(quote(SWEEP_PATH) + " " + quote(picture().string()) + " -o " +
                             quote(sheet().string()) + " --set=" + quote(set_file.string()) +
                             " --jobs=2 " + extra,
                         dir.path());
    }

    TempDir dir;
};

std::vector<std::string> small_set_lines() {
    std::vector<std::string> lines;
    for (const Combination& c : kSmallSet) lines.push_back(c.options);
    return lines;
}

TEST_F(SweepTest, SheetFiguresAndBestCommandsMatchTheViewerAndTheEncoder) {
    const Outcome result = sweep(small_set_lines(), "--columns=4");
    ASSERT_EQ(result.status, 0) << result.out << result.err;

    const std::vector<Row> rows = table_rows(read_text(sheet().string() + ".html"));
    const std::size_t expected_results = 6;  // three plain files and their three twins
    ASSERT_EQ(rows.size(), expected_results);

    // The page shows the pictures and the source enlarged 2x, nearest neighbour.
    auto expect_doubled = [](const fs::path& one, const fs::path& two) {
        const Picture small = read_png(one), large = read_png(two);
        ASSERT_EQ(small.width, 320) << one;
        ASSERT_EQ(large.width, 640) << two;
        ASSERT_EQ(large.height, 400) << two;
        int differences = 0;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 640; ++x)
                differences +=
                    !std::equal(large.at(x, y), large.at(x, y) + 3, small.at(x / 2, y / 2));
        EXPECT_EQ(differences, 0) << two << " is not " << one << " enlarged 2x";
    };
    const fs::path files = dir.path() / "out" / "sheet_files";
    expect_doubled(files / "source.png", files / "source_2x.png");

    // Every row: measured, in set order, with each figure the viewer's own.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE("row " + row.at("index") + " " + row.at("options"));
        ASSERT_EQ(row.at("state"), "ok") << row.at("message");
        EXPECT_EQ(row.at("index"), std::to_string(i + 1));
        const Combination& c = kSmallSet[i / 2];
        EXPECT_EQ(row.at("combination"), std::to_string(i / 2 + 1));
        EXPECT_EQ(row.at("options"), c.options);
        const fs::path file = dir.path() / "out" / row.at("file");
        EXPECT_EQ(file.filename().string(),
                  i % 2 == 0 ? "chelsea_320x200.bVK" : "Fchelsea_320x200.bVK");
        const Outcome view = run_shell(quote(VIEWER_PATH) + " " + quote(file.string()) + " -o " +
                                           quote(dir.file("check.png")) + " " + c.view_options +
                                           " --compare=" + quote(kSample),
                                       dir.path());
        ASSERT_EQ(view.status, 0) << view.err;
        EXPECT_EQ(view.out, "psnr=" + row.at("psnr") + " weighted=" + row.at("weighted") +
                                " seen_psnr=" + row.at("seen_psnr") + " ssim=" + row.at("ssim") +
                                "\n");
        EXPECT_GT(std::stod(row.at("cpu")), 0.0);
        fs::path stem = file;
        stem.replace_extension();
        expect_doubled(stem.string() + ".png", stem.string() + "_2x.png");
        EXPECT_EQ(dir.path() / "out" / row.at("picture"), stem.string() + "_2x.png");
    }

    // Sheet and page can be read by others, like any file the programs write.
    for (const char* extension : {".png", ".html"}) {
        const fs::perms perms = fs::status(sheet().string() + extension).permissions();
        EXPECT_NE(perms & fs::perms::others_read, fs::perms::none) << extension;
    }

    // The sheet: four columns of 320 + 2 x 4 pixels, two rows (six pictures).
    const Picture png = read_png(sheet().string() + ".png");
    ASSERT_EQ(png.width, 4 * 328);
    ASSERT_EQ(png.height % 2, 0);
    const int tile_height = png.height / 2;
    ASSERT_GT(tile_height, 208 + 20) << "no room for a label";
    int labels = 0;
    for (int slot = 0; slot < 8; ++slot) {
        const int x0 = (slot % 4) * 328 + 4, y0 = (slot / 4) * tile_height + 4;
        int ink = 0, differences = 0, non_white = 0;
        Picture rendered;
        if (slot < 6) {
            fs::path file = dir.path() / "out" / rows[slot].at("file");
            rendered = read_png(file.replace_extension(".png"));
            ASSERT_EQ(rendered.width, 320);
            ASSERT_EQ(rendered.height, 200);
        }
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 320; ++x) {
                const std::uint8_t* p = png.at(x0 + x, y0 + y);
                non_white += p[0] != 255 || p[1] != 255 || p[2] != 255;
                if (slot < 6) differences += !std::equal(p, p + 3, rendered.at(x, y));
            }
        }
        for (int y = y0 + 200; y < y0 + tile_height - 4; ++y) {
            for (int x = x0; x < x0 + 320; ++x) {
                const std::uint8_t* p = png.at(x, y);
                ink += p[0] < 128 && p[1] < 128 && p[2] < 128;
            }
        }
        if (ink > 0) ++labels;
        if (slot < 6) {
            EXPECT_EQ(differences, 0) << "slot " << slot << " is not its result at 1:1";
            EXPECT_GT(ink, 100) << "slot " << slot << " has no label";
        } else {
            EXPECT_EQ(non_white, 0) << "empty slot " << slot << " holds a picture";
        }
    }
    EXPECT_EQ(labels, 6);

    // The best combination per figure, as an encoder command: run from the
    // picture's folder it makes the very file that was measured.
    const std::vector<std::pair<std::string, bool>> figures = {
        {"psnr", true}, {"weighted", false}, {"seen_psnr", true}, {"ssim", true}};
    for (const auto& [key, larger_is_better] : figures) {
        SCOPED_TRACE(key);
        const std::string head = "best " + key + ": ";
        const std::size_t at = result.out.find(head);
        ASSERT_NE(at, std::string::npos) << result.out;
        const std::size_t line_end = result.out.find('\n', at);
        const std::string line = result.out.substr(at, line_end - at);
        const std::size_t command_end = result.out.find('\n', line_end + 1);
        std::string command = result.out.substr(line_end + 1, command_end - line_end - 1);
        ASSERT_EQ(command.rfind("  ", 0), 0u) << "no command under " << line;
        command = command.substr(2);

        const Row* best = &rows[0];
        for (const Row& row : rows) {
            const double a = figure(row.at(key)), b = figure(best->at(key));
            if (larger_is_better ? a > b : a < b) best = &row;
        }
        const fs::path measured = dir.path() / "out" / best->at("file");
        EXPECT_EQ(line, head + best->at(key) + " (#" + best->at("index") + " " +
                            (measured.filename().string()[0] == 'F' ? "diffused: " : "plain: ") +
                            measured.filename().string() + ")");
        EXPECT_EQ(command, best->at("command"));

        for (const char* name : {"chelsea_320x200.bVK", "Fchelsea_320x200.bVK"})
            fs::remove(dir.path() / "picture" / name);
        const Outcome encoder = run_shell(command, dir.path());
        ASSERT_EQ(encoder.status, 0) << command << "\n" << encoder.err;
        const fs::path remade = dir.path() / "picture" / measured.filename();
        ASSERT_TRUE(fs::exists(remade)) << command;
        EXPECT_EQ(read_file(remade), read_file(measured)) << command;
    }
}

TEST_F(SweepTest, FailedCombinationIsShownWithTheEncodersMessageAndTheOthersComplete) {
    const Outcome result = sweep({"-0 --mode=3", kSmallSet[0].options, "-0 --ed=7"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<Row> rows = table_rows(read_text(sheet().string() + ".html"));
    ASSERT_EQ(rows.size(), 4u);  // failed, plain, twin, failed
    EXPECT_EQ(rows[0].at("state"), "failed");
    // The encoder's own words for a picture of the wrong size.
    EXPECT_NE(rows[0].at("message").find("416x229"), std::string::npos) << rows[0].at("message");
    EXPECT_EQ(rows[1].at("state"), "ok");
    EXPECT_EQ(rows[2].at("state"), "ok");
    EXPECT_EQ(rows[3].at("state"), "failed");
    EXPECT_EQ(rows[3].at("options"), "-0 --ed=7");
    EXPECT_NE(rows[3].at("message").find("does not take these options"), std::string::npos)
        << rows[3].at("message");
    EXPECT_NE(result.err.find("-0 --mode=3: failed"), std::string::npos) << result.err;
    // The sheet has a tile for each of the four, side by side.
    const Picture png = read_png(sheet().string() + ".png");
    EXPECT_EQ(png.width, 4 * 328);
    // The best commands name the only combination that worked.
    EXPECT_NE(result.out.find("best psnr: "), std::string::npos);
    EXPECT_EQ(result.out.find("--mode=3"), std::string::npos) << result.out;
}

// The plain file does not depend on the diffusion kernel: two combinations
// that differ only there make one plain tile and two diffused ones.
TEST_F(SweepTest, SameFileFromTwoCombinationsIsShownOnce) {
    const Outcome result = sweep({"-0 --mode=2 --ed=1", "-0 --mode=2 --ed=3"});
    ASSERT_EQ(result.status, 0) << result.err;
    const fs::path files = dir.path() / "out" / "sheet_files";
    ASSERT_EQ(read_file(files / "1" / "chelsea_320x200.bVK"),
              read_file(files / "2" / "chelsea_320x200.bVK"));
    ASSERT_NE(read_file(files / "1" / "Fchelsea_320x200.bVK"),
              read_file(files / "2" / "Fchelsea_320x200.bVK"));
    const std::string page = read_text(sheet().string() + ".html");
    const std::vector<Row> rows = table_rows(page);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("file"), "sheet_files/1/chelsea_320x200.bVK");
    EXPECT_EQ(rows[1].at("file"), "sheet_files/1/Fchelsea_320x200.bVK");
    EXPECT_EQ(rows[2].at("file"), "sheet_files/2/Fchelsea_320x200.bVK");
    EXPECT_NE(page.find("same file from: #2 -0 --mode=2 --ed=3"), std::string::npos);
    const Picture png = read_png(sheet().string() + ".png");
    EXPECT_EQ(png.width, 3 * 328);
}

// One job or several: the same rows in the same order with the same figures
// and files (only the times differ).
TEST_F(SweepTest, ResultsDoNotDependOnTheNumberOfJobs) {
    const std::vector<std::string> lines = {"-0 --mode=1 --dither=3", "-0 --mode=0", "-0 --ed=0"};
    std::vector<std::vector<Row>> runs;
    std::vector<std::vector<std::uint8_t>> files;
    for (const char* jobs : {"--jobs=1", "--jobs=3"}) {
        const Outcome result = sweep(lines, jobs);
        ASSERT_EQ(result.status, 0) << result.err;
        std::vector<Row> rows = table_rows(read_text(sheet().string() + ".html"));
        for (Row& row : rows) {
            files.push_back(read_file(dir.path() / "out" / row.at("file")));
            row.erase("cpu");
            row.erase("wall");
        }
        runs.push_back(rows);
    }
    // The plain file of "-0 --ed=0" is the one of "-0 --mode=0", shown once.
    ASSERT_EQ(runs[0].size(), 5u);
    EXPECT_EQ(runs[0], runs[1]);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(files[i], files[i + 5]) << "row " << i + 1;
}

TEST_F(SweepTest, NothingEncodedExitsWithOne) {
    const Outcome result = sweep({"-0 --mode=3", "-0 --pixpal=9"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("failed"), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find("best "), std::string::npos) << result.out;
}

TEST_F(SweepTest, BadArgumentsStopBeforeEncoding) {
    struct Case {
        std::string set_line;
        std::string expected_message;
    };
    const Case cases[] = {
        {"-0 --mode=1 other.bmp", "'other.bmp' is not an option"},
        {"-0 --mode='1", "set.txt:1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set_line);
        const Outcome result = sweep({c.set_line});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(c.expected_message), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(sheet().string() + "_files"));
    }
    // A results folder of the same name that the sweep did not make is left alone.
    fs::create_directories(sheet().string() + "_files");
    testsupport::write_file(sheet().string() + "_files/mine.txt", {'x'});
    const Outcome result = sweep({kSmallSet[0].options});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(fs::exists(sheet().string() + "_files/mine.txt"));
    EXPECT_NE(result.err.find("was not made by brenvik-sweep"), std::string::npos) << result.err;
}

// --fit and --gravity go to every encoding; each result is measured against
// the picture the encoder saw (NAME_source.bmp in its folder), and the best
// command, run again, makes the same file.
TEST_F(SweepTest, FitTakesAPhotoOfAnySizeAndMeasuresAgainstTheFittedSource) {
    const fs::path photo = dir.path() / "picture" / "photo.jpg";
    const Outcome made = run_shell(
        "convert " + quote(kSample) + " -resize 451x300! -quality 90 " + quote(photo.string()),
        dir.path());
    ASSERT_EQ(made.status, 0) << made.err;
    const fs::path set_file = dir.path() / "set.txt";
    const std::string set = "-0 --mode=4\n-0 --mode=4 --ed=3\n";
    testsupport::write_file(set_file, std::vector<std::uint8_t>(set.begin(), set.end()));
    const Outcome result = run_shell(
        quote(SWEEP_PATH) + " " + quote(photo.string()) + " -o " + quote(sheet().string()) +
            " --set=" + quote(set_file.string()) + " --jobs=2 --fit=crop --gravity=top",
        dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<Row> rows = table_rows(read_text(sheet().string() + ".html"));
    ASSERT_EQ(rows.size(), 3u);  // plain, twin, the second twin (the plain file is the same)
    for (const Row& row : rows) {
        ASSERT_EQ(row.at("state"), "ok");
        const fs::path file = dir.path() / "out" / row.at("file");
        const fs::path source = file.parent_path() / "photo_source.bmp";
        ASSERT_TRUE(fs::exists(source)) << source;
        const Outcome view = run_shell(quote(VIEWER_PATH) + " " + quote(file.string()) +
                                           " --mode=4 --compare=" + quote(source.string()),
                                       dir.path());
        ASSERT_EQ(view.status, 0) << view.err;
        EXPECT_EQ(view.out, "psnr=" + row.at("psnr") + " weighted=" + row.at("weighted") +
                                " seen_psnr=" + row.at("seen_psnr") + " ssim=" + row.at("ssim") +
                                "\n");
        EXPECT_NE(row.at("command").find(" --fit=crop --gravity=top "), std::string::npos)
            << row.at("command");
    }
    // The page's source is the fitted picture, 320x20.
    const Picture source_png = read_png(dir.path() / "out" / "sheet_files" / "source.png");
    EXPECT_EQ(source_png.width, 320);
    EXPECT_EQ(source_png.height, 20);
    // The best command makes the same file again.
    const std::string command = rows[0].at("command");
    const fs::path again = dir.path() / "again";
    fs::create_directories(again);
    const Outcome remade = run_shell("cd " + quote(again.string()) + " && " + command, dir.path());
    ASSERT_EQ(remade.status, 0) << remade.err;
    EXPECT_EQ(read_file(dir.path() / "picture" / "photo.bVK"),
              read_file(dir.path() / "out" / rows[0].at("file")));

    // Every combination must fit one picture size.
    const std::string mixed = "-0 --mode=4\n-0 --mode=3\n";
    testsupport::write_file(set_file, std::vector<std::uint8_t>(mixed.begin(), mixed.end()));
    const Outcome refused = run_shell(quote(SWEEP_PATH) + " " + quote(photo.string()) + " -o " +
                                          quote((dir.path() / "out" / "mixed").string()) +
                                          " --set=" + quote(set_file.string()) + " --fit=pad",
                                      dir.path());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("modes of one picture size"), std::string::npos) << refused.err;
    // --gravity needs --fit.
    const Outcome gravity = run_shell(
        quote(SWEEP_PATH) + " --print-set --gravity=top " + quote(photo.string()), dir.path());
    EXPECT_EQ(gravity.status, 2);
    EXPECT_NE(gravity.err.find("--gravity needs --fit"), std::string::npos) << gravity.err;
}

// The default set by picture size: screen modes x dithering 0, 3, 4 x
// diffusion 1, 3 x pixpal 1, 3 x distance phased, plain, at quality 3.
TEST(SweepDefaultSet, TakesTheModesThatFitThePictureSize) {
    struct Case {
        int width, height;
        std::vector<int> modes;
    };
    const Case cases[] = {{320, 200, {0, 1, 2}}, {416, 229, {3}}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const fs::path bmp = dir.path() / "p.bmp";
        testsupport::write_file(
            bmp, testsupport::bmp_file(c.width, c.height,
                                       std::vector<std::uint8_t>(c.width * c.height * 3, 90)));
        const Outcome result =
            run_shell(quote(SWEEP_PATH) + " --print-set " + quote(bmp.string()), dir.path());
        ASSERT_EQ(result.status, 0) << result.err;
        std::set<std::string> expected;
        for (int mode : c.modes)
            for (int dither : {0, 3, 4})
                for (int pixpal : {1, 3})
                    for (int ed : {1, 3})
                        for (const char* distance : {"phased", "plain"})
                            expected.insert("-3 --mode=" + std::to_string(mode) + " --dither=" +
                                            std::to_string(dither) + " --ed=" + std::to_string(ed) +
                                            " --pixpal=" + std::to_string(pixpal) +
                                            " --distance=" + distance);
        std::multiset<std::string> printed;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);) printed.insert(line);
        EXPECT_EQ(printed.size(), c.modes.size() * 24);
        EXPECT_EQ(std::set<std::string>(printed.begin(), printed.end()), expected);
    }
    // No default for a size the encoder has no mode for.
    const fs::path bmp = dir.path() / "odd.bmp";
    testsupport::write_file(bmp,
                            testsupport::bmp_file(64, 48, std::vector<std::uint8_t>(64 * 48 * 3)));
    const Outcome result =
        run_shell(quote(SWEEP_PATH) + " --print-set " + quote(bmp.string()), dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("no default set for a 64x48 picture"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("--fit=crop"), std::string::npos) << result.err;
    // With --fit, any picture gets the 320x200 set.
    const Outcome fitted =
        run_shell(quote(SWEEP_PATH) + " --print-set --fit=pad " + quote(bmp.string()), dir.path());
    ASSERT_EQ(fitted.status, 0) << fitted.err;
    EXPECT_EQ(std::count(fitted.out.begin(), fitted.out.end(), '\n'), 72);
    EXPECT_EQ(fitted.out.find("--mode=3"), std::string::npos);
}

// The page in headless Chromium: clicking a column title reorders the rows.
// The page clicks the titles named in "#sort=KEY,..." once it is loaded.
class SweepBrowserTest : public SweepTest {
  protected:
    std::string chromium(const std::string& url_hash, const std::string& action) {
        const fs::path profile = dir.path() / ("profile" + std::to_string(++profiles));
        const std::string url = "file://" + sheet().string() + ".html" + url_hash;
        const Outcome r = run_shell(
            "timeout 120 chromium --headless --no-sandbox --disable-gpu "
            "--disable-quic --no-first-run --disable-background-networking "
            "--disable-component-update --disable-sync --user-data-dir=" +
                quote(profile.string()) + " --virtual-time-budget=5000 " + action + " " +
                quote(url),
            dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    int profiles = 0;
};

std::vector<std::string> row_order(const std::vector<Row>& rows) {
    std::vector<std::string> order;
    for (const Row& row : rows) order.push_back(row.at("index"));
    return order;
}

TEST_F(SweepBrowserTest, ColumnTitlesSortTheTable) {
    if (run_shell("command -v chromium", dir.path()).status != 0)
        GTEST_SKIP() << "chromium is not installed (Debian package chromium)";
    ASSERT_EQ(sweep(small_set_lines()).status, 0);

    const std::vector<Row> loaded = table_rows(chromium("", "--dump-dom"));
    ASSERT_EQ(loaded.size(), 6u);
    const std::vector<std::string> initial = row_order(loaded);
    EXPECT_EQ(initial, (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));

    struct Case {
        std::string clicks;
        std::string key;
        bool descending;
    };
    const Case cases[] = {
        {"psnr", "psnr", true},           // first click: best first
        {"psnr,psnr", "psnr", false},     // second click: reversed
        {"weighted", "weighted", false},  // lower is better
        {"seen_psnr", "seen_psnr", true}, {"ssim", "ssim", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clicks);
        std::vector<Row> expected = loaded;
        std::stable_sort(expected.begin(), expected.end(), [&](const Row& a, const Row& b) {
            return c.descending ? figure(a.at(c.key)) > figure(b.at(c.key))
                                : figure(a.at(c.key)) < figure(b.at(c.key));
        });
        const std::vector<std::string> sorted =
            row_order(table_rows(chromium("#sort=" + c.clicks, "--dump-dom")));
        EXPECT_EQ(sorted, row_order(expected));
        EXPECT_NE(sorted, initial) << "the order did not change";
    }

    // A screenshot of the page with a row opened: the result and the source
    // enlarged 2x fill the window with picture colours.
    const fs::path shot = dir.path() / "shot.png";
    chromium("#open=2", "--window-size=1400,900 --screenshot=" + quote(shot.string()));
    const Picture picture = read_png(shot);
    ASSERT_EQ(picture.width, 1400);
    ASSERT_EQ(picture.height, 900);
    std::set<std::uint32_t> colours;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* p = picture.at(x, y);
            colours.insert(p[0] << 16 | p[1] << 8 | p[2]);
        }
    EXPECT_GT(colours.size(), 2000u) << "the enlarged pictures are not shown";
}

}  // namespace
