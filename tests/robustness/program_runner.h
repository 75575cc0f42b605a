// Runs the real executables in a child process and collects what they print,
// and builds the scratch folders and files the robustness tests feed them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/common/files.h"

namespace robustness {

using Bytes = std::vector<std::uint8_t>;

struct ChildSetup {
    ChildSetup(std::string working_folder = "") : folder(std::move(working_folder)) {}

    // Working folder of the child.
    std::string folder;
    // RLIMIT_FSIZE for the child, with SIGXFSZ ignored so that a write past
    // the limit fails with EFBIG instead of killing it; 0 = no limit.
    std::uint64_t file_size_limit = 0;
    // A folder the child sees read-only: bind-mounted read-only in a private
    // mount namespace of the child.
    std::string read_only_folder;
};

struct RunResult {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

RunResult run_program(const std::vector<std::string>& argv, const ChildSetup& setup);

// True when a child can get a private mount namespace with a read-only bind
// mount (root, or a kernel that allows it otherwise).
bool read_only_bind_works();

// A private folder under the system's temporary folder, removed with its
// content: folders below it made read-only and trees deeper than PATH_MAX go
// too.
class ScratchFolder : public testsupport::TempDir {
  public:
    ScratchFolder() = default;
    ~ScratchFolder();
    // The folder's path, a separator and `name`, as UTF-8.
    std::string operator/(const std::string& name) const;
};

// A path from a UTF-8 name (on Windows std::filesystem reads narrow strings
// in the ANSI code page).
std::filesystem::path utf8_path(const std::string& name);
// Whole-file read and write of a UTF-8 name.
Bytes read_file(const std::string& name);
void write_file(const std::string& name, const Bytes& bytes);
bool exists(const std::string& path);
void make_folder(const std::string& path);
std::vector<std::string> list_folder(const std::string& folder);

// A 24-bit BMP of width x height pixels (54-byte header, pixel data at 54).
Bytes bmp_file(int width, int height, std::uint8_t seed);
// A picture file of the encoder's kind, `size` bytes of a pattern.
Bytes picture_file(std::size_t size, std::uint8_t seed);

// Makes folders below `base` whose names are `component` repeated until the
// relative path reaches `length` characters (made one level at a time, so
// the path may exceed PATH_MAX). Returns the relative path.
std::string nested_folders(const std::string& base, const std::string& component,
                           std::size_t length);

}  // namespace robustness
