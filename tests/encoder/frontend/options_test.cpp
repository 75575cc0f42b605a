// Command line: which arguments are accepted and what they set, the help
// text, the settings derived from the quality digit, and the block geometry.
#include "encoder/frontend/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "encoder/frontend/run.h"
#include "frontend_support.h"

namespace {

using brenvik::RunSettings;
using Args = std::vector<std::string>;

// The settings a command line leaves behind; the member initialisers are the
// values of a command line that names only the picture.
struct Expected {
    int quality = 3;
    int dither_mode = 0;
    int diffusion_kernel = 1;
    int palette_mode = 1;
    int write_previews = 0;
    int schedule_shift = 0;
    int block_lines_option = 1;
    int verbose = 0;
    int seed = 42;
    int mode_row = 0;
    bool plain_distance = false;
    unsigned threads = 0;
    std::string input_name = "pic.bmp";
    std::string fit = "";
    std::string gravity = "";
};

struct AcceptedCase {
    const char* name;
    Args options;  // what follows the invocation name
    Expected expected;
};

void PrintTo(const AcceptedCase& c, std::ostream* os) {
    *os << c.name;
}

const AcceptedCase kAccepted[] = {
    {"picture_only", {"pic.bmp"}, {}},
    {"quality_digit_7", {"-7", "pic.bmp"}, {.quality = 7}},
    {"quality_digit_0", {"-0", "pic.bmp"}, {.quality = 0}},
    {"quality_digit_9", {"-9", "pic.bmp"}, {.quality = 9}},
    {"mode_0", {"--mode=0", "pic.bmp"}, {.mode_row = 0}},
    {"mode_1", {"--mode=1", "pic.bmp"}, {.mode_row = 1}},
    {"mode_3", {"--mode=3", "pic.bmp"}, {.mode_row = 3}},
    {"mode_4_unlisted_row", {"--mode=4", "pic.bmp"}, {.mode_row = 4}},
    {"mode_without_digits_is_0", {"--mode=x", "pic.bmp"}, {.mode_row = 0}},
    {"mode_digits_then_text", {"--mode=2abc", "pic.bmp"}, {.mode_row = 2}},
    {"mode_leading_blank", {"--mode= 3", "pic.bmp"}, {.mode_row = 3}},
    {"mode_plus_sign", {"--mode=+1", "pic.bmp"}, {.mode_row = 1}},
    {"verbose", {"--verbose", "pic.bmp"}, {.verbose = 1}},
    {"verbose_prefix_with_value_0", {"--verbose=0", "pic.bmp"}, {.verbose = 1}},
    {"verbose_prefix_with_text", {"--verboseXYZ", "pic.bmp"}, {.verbose = 1}},
    {"dith_0", {"--dith=0", "pic.bmp"}, {.dither_mode = 0}},
    {"dith_2", {"--dith=2", "pic.bmp"}, {.dither_mode = 2}},
    {"dith_5", {"--dith=5", "pic.bmp"}, {.dither_mode = 5}},
    {"dither_spelling_2", {"--dither=2", "pic.bmp"}, {.dither_mode = 2}},
    {"dither_spelling_5", {"--dither=5", "pic.bmp"}, {.dither_mode = 5}},
    {"ed_0", {"--ed=0", "pic.bmp"}, {.diffusion_kernel = 0}},
    {"ed_3", {"--ed=3", "pic.bmp"}, {.diffusion_kernel = 3}},
    {"pixpal_1", {"--pixpal=1", "pic.bmp"}, {.palette_mode = 1}},
    {"pixpal_3", {"--pixpal=3", "pic.bmp"}, {.palette_mode = 3}},
    {"preview_0", {"--preview=0", "pic.bmp"}, {.write_previews = 0}},
    {"preview_1", {"--preview=1", "pic.bmp"}, {.write_previews = 1}},
    {"shiftpixels_0_is_minus_5", {"--shiftpixels=0", "pic.bmp"}, {.schedule_shift = -5}},
    {"shiftpixels_5_is_centred", {"--shiftpixels=5", "pic.bmp"}, {.schedule_shift = 0}},
    {"shiftpixels_9_is_4", {"--shiftpixels=9", "pic.bmp"}, {.schedule_shift = 4}},
    {"blockoflines_0", {"--blockoflines=0", "pic.bmp"}, {.block_lines_option = 0}},
    {"blockoflines_6", {"--blockoflines=6", "pic.bmp"}, {.block_lines_option = 6}},
    {"blockoflines_8_kept_as_typed", {"--blockoflines=8", "pic.bmp"}, {.block_lines_option = 8}},
    {"blockoflines_9", {"--blockoflines=9", "pic.bmp"}, {.block_lines_option = 9}},
    {"seed_number", {"--seed=1234", "pic.bmp"}, {.seed = 1234}},
    {"seed_negative_not_range_tested", {"--seed=-7", "pic.bmp"}, {.seed = -7}},
    {"seed_text_is_0", {"--seed=abc", "pic.bmp"}, {.seed = 0}},
    {"seed_huge_saturates", {"--seed=99999999999", "pic.bmp"}, {.seed = INT_MAX}},
    {"distance_plain", {"--distance=plain", "pic.bmp"}, {.plain_distance = true}},
    {"distance_phased", {"--distance=phased", "pic.bmp"}, {.plain_distance = false}},
    {"distance_last_wins", {"--distance=plain", "--distance=phased", "pic.bmp"}, {}},
    {"threads_1", {"--threads=1", "pic.bmp"}, {.threads = 1}},
    {"threads_0_is_one_per_core", {"--threads=0", "pic.bmp"}, {.threads = 0}},
    {"threads_4096", {"--threads=4096", "pic.bmp"}, {.threads = 4096}},
    {"later_option_wins",
     {"--mode=1", "--mode=2", "-5", "-1", "pic.bmp"},
     {.quality = 1, .mode_row = 2}},
    {"every_option",
     {"--mode=3", "--verbose", "--dith=4", "--ed=2", "--pixpal=2", "--preview=1", "--shiftpixels=7",
      "--blockoflines=5", "--seed=17", "--distance=plain", "--threads=3", "-9", "in.bmp"},
     {.quality = 9,
      .dither_mode = 4,
      .diffusion_kernel = 2,
      .palette_mode = 2,
      .write_previews = 1,
      .schedule_shift = 2,
      .block_lines_option = 5,
      .verbose = 1,
      .seed = 17,
      .mode_row = 3,
      .plain_distance = true,
      .threads = 3,
      .input_name = "in.bmp"}},
    {"second_name_accepted_and_unused", {"pic.bmp", "other.bmp"}, {}},
    {"option_after_name_not_parsed", {"pic.bmp", "--mode=1"}, {.mode_row = 0}},
    {"bad_option_after_name_not_parsed", {"pic.bmp", "-35"}, {}},
    {"fit_pad", {"--fit=pad", "photo.jpg"}, {.input_name = "photo.jpg", .fit = "pad"}},
    {"fit_stretch", {"--fit=stretch", "pic.bmp"}, {.fit = "stretch"}},
    {"gravity_before_fit",
     {"--gravity=bottom-left", "--fit=crop", "photo.png"},
     {.input_name = "photo.png", .fit = "crop", .gravity = "bottom-left"}},
    {"gravity_center_spelling",
     {"--fit=crop", "--gravity=center", "pic.bmp"},
     {.fit = "crop", .gravity = "center"}},
    {"later_fit_wins", {"--fit=crop", "--fit=pad", "pic.bmp"}, {.fit = "pad"}},
    {"name_with_directory_kept_as_typed",
     {"-1", "old.dir/photo"},
     {.quality = 1, .input_name = "old.dir/photo"}},
};

class AcceptedCommandLine : public testing::TestWithParam<AcceptedCase> {};

TEST_P(AcceptedCommandLine, SetsExactlyTheNamedSettings) {
    const AcceptedCase& c = GetParam();
    Args args{"brenvik"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    RunSettings s;
    ASSERT_TRUE(brenvik::parse_command_line(args, s));
    const Expected& e = c.expected;
    EXPECT_EQ(s.quality, e.quality);
    EXPECT_EQ(s.dither_mode, e.dither_mode);
    EXPECT_EQ(s.diffusion_kernel, e.diffusion_kernel);
    EXPECT_EQ(s.palette_mode, e.palette_mode);
    EXPECT_EQ(s.write_previews, e.write_previews);
    EXPECT_EQ(s.schedule_shift, e.schedule_shift);
    EXPECT_EQ(s.block_lines_option, e.block_lines_option);
    EXPECT_EQ(s.verbose, e.verbose);
    EXPECT_EQ(s.seed, e.seed);
    EXPECT_EQ(s.mode_row, e.mode_row);
    EXPECT_EQ(s.plain_distance, e.plain_distance);
    EXPECT_EQ(s.threads, e.threads);
    EXPECT_EQ(s.input_name, e.input_name);
    EXPECT_EQ(s.fit, e.fit);
    EXPECT_EQ(s.gravity, e.gravity);
    EXPECT_EQ(s.program_name, "brenvik");
}

INSTANTIATE_TEST_SUITE_P(Options, AcceptedCommandLine, testing::ValuesIn(kAccepted),
                         [](const testing::TestParamInfo<AcceptedCase>& info) {
                             return std::string(info.param.name);
                         });

// The help text as the program prints it, line by line; "%s" in the usage
// line is the invocation name. The encoder's original 32 lines, unchanged,
// then the options added since.
std::vector<std::string> original_help_lines(const std::string& prog) {
    return {
        "Brenvik",
        "A hicolor pictures encoder for Atari ST/STE displaying system",
        "usage: " + prog + " [OPTION] file.bmp ",
        "",
        "Options are:",
        "  -1\t\t\tLight optimization, very fast",
        "  -3\t\t\tOptimize faster (default)",
        "  -5\t\t\tOptimize better but longer",
        "  --mode=VALUE\t\tPalette and screen mode",
        "\t\t\t0: 320x200, 54 colors/scanline, ST/STE (default)",
        "\t\t\t1: 320x200, 80 colors/scanline, ST/STE",
        "\t\t\t2: 320x200, 48 colors/scanline, ST/STE",
        "\t\t\t3: 416x229, 48 colors/scanline overscan, ST/STE",
        "  --dither=VALUE\t\tDithering mode",
        "\t\t\t0: Post-dithering (after optimization) (default)",
        "\t\t\t1: Pre-dithering '(X+Y) mod 2' ",
        "\t\t\t2: Pre-dithering 'TV scanline' for 2 pals mode ",
        "\t\t\t3: Dithering '(X+Y) mod 2' during calculation ",
        "\t\t\t4: Pre-dithering Sierra 2-4 12 bits ",
        "\t\t\t5: dither 3+4 Sierra 15b and (X+Y) mod 2 ",
        "  --ed=VALUE\t\tPost-error diffusion method",
        "\t\t\t1: Floyd Steinberg (default)",
        "\t\t\t2: Sierra 24' ",
        "\t\t\t3: Atkinson (preserve detail well, light and dark areas may appear blown out)' ",
        "  --pixpal=VALUE\t\tNumber of bitmaps/palettes to generate ",
        "\t\t\t1 (1 bitmap, 1 palette, default)",
        "\t\t\t2 (2 bitmaps, 2 palettes)",
        "\t\t\t3 (1 bitmap, 2 palettes)",
        "  --preview=VALUE\t\t0=no preview (defalt) 1=make a preview picture",
        "  --shiftpixels=VALUE\t0 to 9, 5 (default) is centered, decrease to shift left, increase "
        "to "
        "shift right",
        "  --blockoflines=VALUE\t1 (default) to 6",
        "",
    };
}

std::string expected_help(const std::string& prog) {
    std::vector<std::string> lines = original_help_lines(prog);
    for (const char* line : {
             "  --distance=VALUE\tphased (default) or plain: the same colour distance in",
             "\t\t\tboth dither phases, truer colours in smooth gradients",
             "  --threads=VALUE\t0 (default): one worker per core; 1 to 4096 workers",
             "",
         }) {
        lines.push_back(line);
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// The lines of --fit and --gravity, printed after the help text.
std::string expected_fit_help() {
    return "  --fit=pad|crop|stretch\tRead a BMP, PNG or JPEG picture of any size and scale it\n"
           "\t\t\tto the mode's size: pad shows all of it with black bars,\n"
           "\t\t\tcrop fills the screen and cuts the overflow, stretch\n"
           "\t\t\tfills it whatever the aspect; the scaled picture is kept\n"
           "\t\t\tas NAME_source.bmp\n"
           "  --gravity=VALUE\tThe part --fit=crop keeps, or where --fit=pad puts the picture:\n"
           "\t\t\tcentre (default), top, bottom, left, right, top-left,\n"
           "\t\t\ttop-right, bottom-left, bottom-right\n"
           "\n";
}

TEST(HelpText, MatchesTheExpectedLinesByteForByte) {
    EXPECT_EQ(brenvik::usage_text("brenvik"), expected_help("brenvik"));
    EXPECT_EQ(brenvik::usage_text("/opt/bin/brenvik.exe"), expected_help("/opt/bin/brenvik.exe"));
}

TEST(HelpText, StartsWithTheOriginalThirtyTwoLinesAndEndsWithAnEmptyLine) {
    const std::string text = brenvik::usage_text("x");
    std::string original;
    for (const std::string& line : original_help_lines("x")) original += line + "\n";
    EXPECT_EQ(std::count(original.begin(), original.end(), '\n'), 32);
    EXPECT_TRUE(original.ends_with("to 6\n\n"));
    EXPECT_TRUE(text.starts_with(original));
    EXPECT_TRUE(text.ends_with("workers\n\n"));
    EXPECT_TRUE(text.starts_with("Brenvik\n"));
}

struct RejectedCase {
    const char* name;
    Args options;
    // The line after the help text that names what was wrong; empty when
    // the names were too few or too many.
    std::string says;
};

void PrintTo(const RejectedCase& c, std::ostream* os) {
    *os << c.name;
}

const RejectedCase kRejected[] = {
    {"no_arguments", {}, ""},
    {"only_options", {"-5", "--verbose"}, ""},
    {"three_names", {"a.bmp", "b.bmp", "c.bmp"}, ""},
    {"mode_5", {"--mode=5", "pic.bmp"}, "--mode=5: expected 0..4"},
    {"mode_minus_1", {"--mode=-1", "pic.bmp"}, "--mode=-1: expected 0..4"},
    {"mode_2_pow_32_does_not_wrap_to_0",
     {"--mode=4294967296", "pic.bmp"},
     "--mode=4294967296: expected 0..4"},
    {"mode_2_pow_32_plus_4_does_not_wrap_to_4",
     {"--mode=4294967300", "pic.bmp"},
     "--mode=4294967300: expected 0..4"},
    {"mode_without_equals", {"--mode", "pic.bmp"}, "unknown option '--mode'"},
    {"mode_shorter_literal", {"--mod=1", "pic.bmp"}, "unknown option '--mod=1'"},
    {"mode_upper_case", {"--MODE=1", "pic.bmp"}, "unknown option '--MODE=1'"},
    {"dith_6", {"--dith=6", "pic.bmp"}, "--dith=6: expected 0..5"},
    {"dith_minus_1", {"--dith=-1", "pic.bmp"}, "--dith=-1: expected 0..5"},
    {"dither_6", {"--dither=6", "pic.bmp"}, "--dither=6: expected 0..5"},
    {"dith_without_equals", {"--dith", "pic.bmp"}, "unknown option '--dith'"},
    {"ed_4", {"--ed=4", "pic.bmp"}, "--ed=4: expected 0..3"},
    {"ed_minus_1", {"--ed=-1", "pic.bmp"}, "--ed=-1: expected 0..3"},
    {"pixpal_0", {"--pixpal=0", "pic.bmp"}, "--pixpal=0: expected 1..3"},
    {"pixpal_4", {"--pixpal=4", "pic.bmp"}, "--pixpal=4: expected 1..3"},
    {"pixpal_text_is_0", {"--pixpal=two", "pic.bmp"}, "--pixpal=two: expected 1..3"},
    {"preview_2", {"--preview=2", "pic.bmp"}, "--preview=2: expected 0..1"},
    {"shiftpixels_10", {"--shiftpixels=10", "pic.bmp"}, "--shiftpixels=10: expected 0..9"},
    {"shiftpixels_minus_1", {"--shiftpixels=-1", "pic.bmp"}, "--shiftpixels=-1: expected 0..9"},
    {"blockoflines_10", {"--blockoflines=10", "pic.bmp"}, "--blockoflines=10: expected 0..9"},
    {"blockoflines_huge",
     {"--blockoflines=99999999999999999999", "pic.bmp"},
     "--blockoflines=99999999999999999999: expected 0..9"},
    {"seed_without_equals", {"--seed", "pic.bmp"}, "unknown option '--seed'"},
    {"distance_unknown_word",
     {"--distance=flat", "pic.bmp"},
     "--distance=flat: expected phased or plain"},
    {"distance_upper_case",
     {"--distance=PLAIN", "pic.bmp"},
     "--distance=PLAIN: expected phased or plain"},
    {"distance_empty", {"--distance=", "pic.bmp"}, "--distance=: expected phased or plain"},
    {"distance_word_and_more",
     {"--distance=plainer", "pic.bmp"},
     "--distance=plainer: expected phased or plain"},
    {"distance_without_equals", {"--distance", "pic.bmp"}, "unknown option '--distance'"},
    {"threads_4097", {"--threads=4097", "pic.bmp"}, "--threads=4097: expected 0..4096"},
    {"threads_minus_1", {"--threads=-1", "pic.bmp"}, "--threads=-1: expected 0..4096"},
    {"two_digit_quality", {"-35", "pic.bmp"}, "unknown option '-35'"},
    {"letter_quality", {"-x", "pic.bmp"}, "unknown option '-x'"},
    {"digit_then_letter", {"-7x", "pic.bmp"}, "unknown option '-7x'"},
    {"lone_minus", {"-", "pic.bmp"}, "unknown option '-'"},
    {"double_minus", {"--", "pic.bmp"}, "unknown option '--'"},
    {"unknown_option", {"--quality=3", "pic.bmp"}, "unknown option '--quality=3'"},
    {"bad_option_after_good_one", {"-1", "--nope", "pic.bmp"}, "unknown option '--nope'"},
    {"fit_fill", {"--fit=fill", "pic.bmp"}, "--fit=fill: expected pad, crop or stretch"},
    {"fit_upper_case", {"--fit=PAD", "pic.bmp"}, "--fit=PAD: expected pad, crop or stretch"},
    {"fit_without_value", {"--fit", "pic.bmp"}, "unknown option '--fit'"},
    {"gravity_without_fit", {"--gravity=top", "pic.bmp"}, "--gravity=top needs --fit"},
    {"gravity_unknown",
     {"--fit=crop", "--gravity=middle", "pic.bmp"},
     "--gravity=middle: expected centre, top, bottom, left, right, top-left, top-right, "
     "bottom-left or bottom-right"},
};

class RejectedCommandLine : public testing::TestWithParam<RejectedCase> {};

// Standard error carries the help text, then one line naming the option
// that was wrong; standard output nothing.
TEST_P(RejectedCommandLine, PrintsTheHelpTextAndWhatWasWrongOnStandardErrorAndExits1) {
    const RejectedCase& c = GetParam();
    Args args{"brenvik-under-test"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    RunSettings s;
    std::string error;
    EXPECT_FALSE(brenvik::parse_command_line(args, s, &error));
    EXPECT_EQ(error, c.says);

    frontend_test::Capture out;
    frontend_test::Capture err;
    EXPECT_EQ(brenvik::run_brenvik(args, out.file(), err.file()), 1);
    EXPECT_EQ(err.text(), expected_help("brenvik-under-test") + expected_fit_help() +
                              (c.says.empty() ? "" : "brenvik-under-test: " + c.says + "\n"));
    EXPECT_EQ(out.text(), "");
}

INSTANTIATE_TEST_SUITE_P(Options, RejectedCommandLine, testing::ValuesIn(kRejected),
                         [](const testing::TestParamInfo<RejectedCase>& info) {
                             return std::string(info.param.name);
                         });

struct AtoiCase {
    const char* text;
    int value;
};

void PrintTo(const AtoiCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class AtoiSaturating : public testing::TestWithParam<AtoiCase> {};

TEST_P(AtoiSaturating, ConvertsLikeAtoiAndSaturatesOutOfRange) {
    EXPECT_EQ(cli::atoi_saturating(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Options, AtoiSaturating,
    testing::Values(AtoiCase{"", 0}, AtoiCase{"abc", 0}, AtoiCase{"12abc", 12},
                    AtoiCase{"  42", 42}, AtoiCase{"\t7", 7}, AtoiCase{"-5", -5}, AtoiCase{"+5", 5},
                    AtoiCase{"- 5", 0}, AtoiCase{"1 2", 1}, AtoiCase{"007", 7},
                    AtoiCase{"2147483647", INT_MAX}, AtoiCase{"2147483648", INT_MAX},
                    AtoiCase{"4294967296", INT_MAX}, AtoiCase{"99999999999999999999999", INT_MAX},
                    AtoiCase{"-2147483648", INT_MIN}, AtoiCase{"-2147483649", INT_MIN},
                    AtoiCase{"-99999999999999999999999", INT_MIN}));

// Settings per quality digit: the loop count, the starting temperature
// (divided by 1.5 and truncated q times), the acceptance quality and the
// final temperature.
struct QualityRow {
    int q;
    int initial_move_budget;
    int temperature_divisor;
    double cooling_factor;
    double minimum_temperature;
};

void PrintTo(const QualityRow& c, std::ostream* os) {
    *os << "q=" << c.q;
}

const QualityRow kQualityRows[] = {
    {0, 50, 1000000, 0.9, 1e-4},
    {1, 150, 666666, 0.97, 3.3333e-5},
    {2, 250, 444444, 0.991, 1.1111e-5},
    {3, 350, 296296, 0.9973, 3.7037e-6},
    {4, 450, 197530, 0.99919, 1.2346e-6},
    {5, 550, 131686, 0.999757, 4.1152e-7},
    {6, 650, 87790, 0.9999271, 1.3717e-7},
    {7, 750, 58526, 0.99997813, 4.5725e-8},
    {8, 850, 39017, 0.999993439, 1.5242e-8},
    {9, 950, 26011, 0.9999980317, 5.0805e-9},
};

class QualitySettings : public testing::TestWithParam<QualityRow> {};

TEST_P(QualitySettings, FollowTheTableForTheDigit) {
    const QualityRow& row = GetParam();
    RunSettings s;
    s.quality = row.q;
    brenvik::derive_settings(s);
    EXPECT_EQ(s.initial_move_budget, row.initial_move_budget);
    EXPECT_EQ(s.temperature_divisor, row.temperature_divisor);
    // The quality values are exact decimals; only binary rounding separates them.
    EXPECT_NEAR(s.cooling_factor, row.cooling_factor, 1e-12);
    // The final temperatures are given to five significant digits.
    EXPECT_NEAR(s.minimum_temperature, row.minimum_temperature, row.minimum_temperature * 1e-4);
    EXPECT_EQ(s.new_colour_distance, 0);
}

TEST_P(QualitySettings, CommandLineDigitReachesTheSettings) {
    const QualityRow& row = GetParam();
    RunSettings s;
    ASSERT_TRUE(brenvik::parse_command_line({"brenvik", "-" + std::to_string(row.q), "p.bmp"}, s));
    brenvik::derive_settings(s);
    EXPECT_EQ(s.initial_move_budget, row.initial_move_budget);
    EXPECT_EQ(s.temperature_divisor, row.temperature_divisor);
}

INSTANTIATE_TEST_SUITE_P(Options, QualitySettings, testing::ValuesIn(kQualityRows),
                         [](const testing::TestParamInfo<QualityRow>& info) {
                             return "q" + std::to_string(info.param.q);
                         });

TEST(QualitySettings, DefaultDigitIs3) {
    RunSettings s;
    ASSERT_TRUE(brenvik::parse_command_line({"brenvik", "p.bmp"}, s));
    brenvik::derive_settings(s);
    EXPECT_EQ(s.quality, 3);
    EXPECT_EQ(s.initial_move_budget, 350);
    EXPECT_EQ(s.temperature_divisor, 296296);
}

struct DitherPhaseCase {
    int dither_mode;
    int phase_per_line;
    int phase_per_column;
};

void PrintTo(const DitherPhaseCase& c, std::ostream* os) {
    *os << "dither=" << c.dither_mode;
}

class DitherPhase : public testing::TestWithParam<DitherPhaseCase> {};

TEST_P(DitherPhase, CoefficientsFollowTheDitheringMode) {
    RunSettings s;
    s.dither_mode = GetParam().dither_mode;
    brenvik::derive_settings(s);
    EXPECT_EQ(s.phase_per_line, GetParam().phase_per_line);
    EXPECT_EQ(s.phase_per_column, GetParam().phase_per_column);
}

INSTANTIATE_TEST_SUITE_P(Options, DitherPhase,
                         testing::Values(DitherPhaseCase{0, 0, 0}, DitherPhaseCase{1, 0, 0},
                                         DitherPhaseCase{2, 1, 0}, DitherPhaseCase{3, 1, 1},
                                         DitherPhaseCase{4, 0, 0}, DitherPhaseCase{5, 1, 1}));

struct GeometryRow {
    int block_lines_option;
    int block_height;
    int first_row_offset;
    int last_row_offset;
    int first_centre_line;
};

void PrintTo(const GeometryRow& c, std::ostream* os) {
    *os << "ligneX3=" << c.block_lines_option;
}

class BlockGeometry : public testing::TestWithParam<GeometryRow> {};

TEST_P(BlockGeometry, FollowsTheTableAndStartsTheFirstBlockOnLine1) {
    const GeometryRow& row = GetParam();
    const brenvik::BlockGeometry g = format::block_geometry(row.block_lines_option);
    EXPECT_EQ(g.block_height, row.block_height);
    EXPECT_EQ(g.first_row_offset, row.first_row_offset);
    EXPECT_EQ(g.last_row_offset, row.last_row_offset);
    EXPECT_EQ(g.first_centre_line, row.first_centre_line);
    // The first block covers lines 1..block_height, and blocks tile the picture.
    EXPECT_EQ(g.first_centre_line + g.first_row_offset, 1);
    EXPECT_EQ(g.first_centre_line + g.last_row_offset, g.block_height);
    EXPECT_EQ(g.row_count(), g.block_height);

    RunSettings s;
    s.block_lines_option = row.block_lines_option;
    brenvik::derive_settings(s);
    EXPECT_EQ(s.block_geometry.block_height, row.block_height);
    EXPECT_EQ(s.block_geometry.first_row_offset, row.first_row_offset);
    EXPECT_EQ(s.block_lines_option, row.block_lines_option) << "the typed value is kept";
}

INSTANTIATE_TEST_SUITE_P(Options, BlockGeometry,
                         testing::Values(GeometryRow{0, 1, 0, 0, 1}, GeometryRow{1, 1, 0, 0, 1},
                                         GeometryRow{2, 2, 0, 1, 1}, GeometryRow{3, 3, -1, 1, 2},
                                         GeometryRow{4, 4, -1, 2, 2}, GeometryRow{5, 5, -2, 2, 3},
                                         GeometryRow{6, 6, -2, 3, 3}, GeometryRow{7, 1, 0, 0, 1},
                                         GeometryRow{8, 1, 0, 0, 1}, GeometryRow{9, 1, 0, 0, 1}),
                         [](const testing::TestParamInfo<GeometryRow>& info) {
                             return "lines" + std::to_string(info.param.block_lines_option);
                         });

}  // namespace
