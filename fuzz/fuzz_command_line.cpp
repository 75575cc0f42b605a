// Fuzz target: the encoder's command line. The input, split on NUL bytes, is
// the argument list after the invocation name; it goes through the parser and
// the derived settings, then through the whole run.
//
// Arguments that start with "-" are passed as they are. A file name without
// "/" is kept too (it names a file in the private work folder, the current
// folder); one with "/" is replaced by one of the fixtures below, so that no
// run reads or writes outside the work folder. The fixtures: a valid 320x20
// picture (mode row 4), the same with a valid companion, with a broken
// companion, with no extension, in a folder whose name has a dot, a missing
// file and a folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "encoder/frontend/bmp.h"
#include "encoder/frontend/fit_input.h"
#include "encoder/frontend/options.h"
#include "encoder/frontend/run.h"
#include "format/picture_file.h"
#include "format/screen_modes.h"
#include "fuzz_support.h"

namespace {

constexpr const char* kFixtures[] = {
    "small.bmp", "pair.bmp", "broken.bmp", "plain", "d.x/small", "missing.bmp", "folder.bmp",
};

std::string g_work;

std::uint32_t input_hash(const std::uint8_t* data, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string root = fuzzing::scratch_root("fuzz-cmdline");
    g_work = root + "/w";
    fuzzing::reset_folder(g_work);
    if (::chdir(g_work.c_str()) != 0) std::abort();
    const fuzzing::Bytes small = fuzzing::bmp_file(320, 20, 1);
    fuzzing::write_file("small.bmp", small);
    fuzzing::write_file("pair.bmp", small);
    fuzzing::write_file("pair_bis.bmp", fuzzing::bmp_file(320, 20, 2));
    fuzzing::write_file("broken.bmp", small);
    fuzzing::write_file("broken_bis.bmp", fuzzing::Bytes{'B', 'M', 0, 0});
    fuzzing::write_file("plain", small);
    if (::mkdir("d.x", 0700) != 0 || ::mkdir("folder.bmp", 0700) != 0) std::abort();
    fuzzing::write_file("d.x/small", small);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args = {"brenvik"};
    std::string current;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string& a = args[i];
        if (!a.empty() && a[0] != '-' && a.find('/') != std::string::npos) {
            a = kFixtures[static_cast<unsigned char>(a[0]) % std::size(kFixtures)];
        }
    }

    brenvik::RunSettings settings;
    std::string parse_error;
    const bool parsed = brenvik::parse_command_line(args, settings, &parse_error);
    if (parsed) {
        brenvik::derive_settings(settings);
        FUZZ_CHECK(settings.mode_row >= 0 && settings.mode_row < format::kScreenModeCount,
                   "mode row");
        FUZZ_CHECK(settings.quality >= 0 && settings.quality <= 9, "quality digit");
        FUZZ_CHECK(settings.dither_mode >= 0 && settings.dither_mode <= 5, "dither");
        FUZZ_CHECK(settings.diffusion_kernel >= 0 && settings.diffusion_kernel <= 3, "ed");
        FUZZ_CHECK(settings.palette_mode >= 1 && settings.palette_mode <= 3, "pixpal");
        FUZZ_CHECK(settings.write_previews == 0 || settings.write_previews == 1, "preview");
        FUZZ_CHECK(settings.schedule_shift >= -5 && settings.schedule_shift <= 4, "shiftpixels");
        FUZZ_CHECK(settings.block_lines_option >= 0 && settings.block_lines_option <= 9,
                   "blockoflines");
        const brenvik::BlockGeometry& g = settings.block_geometry;
        FUZZ_CHECK(g.row_count() >= 1 && g.row_count() <= 6 && g.block_height == g.row_count(),
                   "block geometry");
        FUZZ_CHECK(g.first_row_offset <= 0 && g.last_row_offset >= 0,
                   "block rows around the centre");
        FUZZ_CHECK(settings.initial_move_budget == 100 * settings.quality + 50,
                   "nb_loop_fast_init");
        FUZZ_CHECK(settings.cooling_factor > 0.0 && settings.cooling_factor < 1.0, "power_quality");
        FUZZ_CHECK(settings.temperature_divisor > 0, "power_temperature");
        // The file name is the first argument that does not start with "-";
        // at most one more argument may follow it.
        std::size_t file = 1;
        while (file < args.size() && !args[file].empty() && args[file][0] == '-') ++file;
        FUZZ_CHECK(file < args.size() && args[file] == settings.input_name, "file name");
        FUZZ_CHECK(args.size() - file <= 2, "arguments after the file name");
    }

    // A complete encoding (mode row 4, a regular file: a fixture or a picture
    // an earlier run wrote) takes about 0.1 s at quality 0 without sanitizers,
    // so it runs only at quality 0 and for one input in 64 (by a hash of the
    // input, so that a run stays reproducible); the other runs that could
    // encode are left out to keep the executions per second up.
    struct stat status {};
    const bool may_encode = parsed && settings.mode_row == 4 &&
                            ::stat(settings.input_name.c_str(), &status) == 0 &&
                            S_ISREG(status.st_mode);
    if (may_encode && (settings.quality != 0 || input_hash(data, size) % 64 != 0)) return 0;

    std::FILE* sink = std::fopen("/dev/null", "w");
    fuzzing::CapturedStream err;
    const int exit_status = brenvik::run_brenvik(args, sink, err.file(), {1});
    std::fclose(sink);
    const std::string& message = err.text();
    FUZZ_CHECK(exit_status == 0 || exit_status == 1, "exit status " + std::to_string(exit_status));
    if (!parsed) {
        // The help text, then the line that names the wrong option (none for
        // a wrong number of names).
        const std::string help = brenvik::usage_text("brenvik") + brenvik::fit_usage_text();
        const std::string tail = parse_error.empty() ? "" : "brenvik: " + parse_error + "\n";
        FUZZ_CHECK(exit_status == 1 && message == help + tail,
                   "a refused command line must print the help text and exit 1");
    } else if (exit_status != 0) {
        FUZZ_CHECK(!message.empty() && message.back() == '\n', "failure without a message");
        FUZZ_CHECK(fuzzing::contains(message, settings.input_name) ||
                       fuzzing::contains(message, format::companion_name(settings.input_name)),
                   "message does not name the file: " + message);
    } else {
        FUZZ_CHECK(may_encode, "exit 0 without a picture to encode: " + settings.input_name);
        FUZZ_CHECK(message.empty(), "message on success: " + message);
    }
    return 0;
}
