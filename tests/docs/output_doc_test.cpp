// docs/output.md checked against a run: its sample of a normal run's standard
// output is what the encoder prints for that picture and those options, the
// timings masked, and the relations the page states between the figures hold.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/common/files.h"
#include "tests/common/fixtures.h"

namespace {

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The line with every timing replaced by T and without trailing blanks.
std::string comparable(const std::string& line) {
    std::string masked = testsupport::mask_times(line);
    masked.erase(masked.find_last_not_of(' ') + 1);
    return masked;
}

// The first code block under the heading that starts with `heading`, with
// "(N empty lines)" expanded.
std::vector<std::string> sample_block(const std::string& heading) {
    std::ifstream in(OUTPUT_DOC_PATH);
    if (!in) throw std::runtime_error("cannot read " + std::string(OUTPUT_DOC_PATH));
    std::vector<std::string> block;
    bool under = false;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("#", 0) == 0 && !inside) under = line.rfind(heading, 0) == 0;
        if (!under) continue;
        if (line.rfind("```", 0) == 0) {
            if (inside) return block;
            inside = true;
            continue;
        }
        if (!inside) continue;
        const std::string empty_lines = " empty lines)";
        if (line.rfind("(", 0) == 0 && line.size() > empty_lines.size() &&
            line.compare(line.size() - empty_lines.size(), empty_lines.size(), empty_lines) == 0) {
            block.insert(block.end(), std::stoul(line.substr(1)), "");
        } else {
            block.push_back(comparable(line));
        }
    }
    throw std::runtime_error("no code block under " + heading);
}

long long figure(const std::string& line, const std::string& label) {
    const std::string key = label + "=";
    const auto at = line.find(key);
    if (at == std::string::npos) throw std::runtime_error(label + " not in " + line);
    return std::stoll(line.substr(at + key.size()));
}

TEST(OutputPage, NormalRunSampleIsWhatTheEncoderPrints) {
    const std::vector<std::string> page = sample_block("## brenvik: standard output");
    ASSERT_GT(page.size(), 320u);

    testsupport::TempDir dir;
    testsupport::write_file(dir.file("chelsea_320x200.bmp"), testsupport::read_file(SAMPLE_PATH));
    const testsupport::RunOutput run =
        testsupport::run_encoder(dir.path(), {"-1", "chelsea_320x200.bmp"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    std::vector<std::string> printed;
    for (const std::string& line : split_lines(run.out)) printed.push_back(comparable(line));
    ASSERT_EQ(printed.size(), page.size());
    for (std::size_t i = 0; i < page.size(); ++i)
        EXPECT_EQ(printed[i], page[i]) << "line " << i + 1;

    // The improvement counts split the total; timers 1, 2, 3 and 5 measure nothing.
    for (const std::string& line : split_lines(run.out)) {
        if (line.rfind("saved_nbOK=", 0) == 0) {
            EXPECT_EQ(figure(line, "saved_nbOK"),
                      figure(line, "saved_nb0OK") + figure(line, "saved_nb1OK") +
                          figure(line, "saved_nb2_9OK") + figure(line, "saved_nb10OK"));
        }
        for (const char* idle : {"timer1 ", "timer2 ", "timer3 ", "timer5 "}) {
            if (line.rfind(idle, 0) == 0) {
                EXPECT_EQ(line, std::string(idle) + "0.00000000 seconds ");
            }
        }
    }
}

}  // namespace
