// Temporary folders, whole-file reads and writes, and BMP files built byte by
// byte, for any test executable (no dependency on the programs under test).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// A fresh empty folder of its own under the system's temporary folder,
// removed with its contents when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Names of the entries of the folder, sorted.
    std::vector<std::string> entries() const;

  private:
    std::filesystem::path path_;
};

// The whole content of a file; throws std::runtime_error when it cannot be
// read.
std::vector<std::uint8_t> read_file(const std::filesystem::path& path);
// Creates or truncates the file and writes `bytes`; throws std::runtime_error
// when that fails.
void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// The 54-byte header of a 24-bit BMP of width x height pixels (14-byte file
// header, 40-byte info header) whose pixel data, width * height * 3 bytes,
// starts at byte 54.
std::vector<std::uint8_t> bmp_header(int width, int height);
// That header followed by `pixels` (BMP order: bottom line first, B, G, R).
std::vector<std::uint8_t> bmp_file(int width, int height, const std::vector<std::uint8_t>& pixels);

}  // namespace testsupport
