// Helpers shared by the fuzz targets: a private scratch folder, files built
// from the fuzzer's bytes, captured output streams and checks that abort.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace fuzzing {

using Bytes = std::vector<std::uint8_t>;

// Aborts with a message when a property of the code under test does not hold;
// libFuzzer reports the abort as a crash and saves the input.
[[noreturn]] void fail(const char* file, int line, const std::string& what);
#define FUZZ_CHECK(condition, what)                                               \
    do {                                                                          \
        if (!(condition)) ::fuzzing::fail(__FILE__, __LINE__, std::string(what)); \
    } while (false)

// Creates a private folder under /dev/shm (or the system's temporary folder)
// that is removed again when the process exits. Returns its absolute path.
std::string scratch_root(const char* tag);

// Empties `folder` (creating it when missing).
void reset_folder(const std::string& folder);
void remove_tree(const std::string& path);

void write_file(const std::string& path, const Bytes& bytes);
bool read_file(const std::string& path, Bytes& bytes);
bool exists(const std::string& path);
// Names in a folder, sorted; "." and ".." left out.
std::vector<std::string> list_folder(const std::string& folder);

// A 24-bit BMP of w x h pixels with a 54-byte header; pixel bytes follow a
// simple pattern that depends on `seed`.
Bytes bmp_file(int width, int height, std::uint8_t seed);

// Reads the fuzzer's input front to back; reads past its end give zeros.
class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    Bytes take(std::size_t count);
    Bytes rest();
    std::size_t remaining() const { return size_ - pos_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A FILE* whose text can be read back after use.
class CapturedStream {
  public:
    CapturedStream();
    ~CapturedStream();
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;
    std::FILE* file() { return file_; }
    // Closes the stream and returns what was written to it.
    const std::string& text();

  private:
    std::FILE* file_ = nullptr;
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::string text_;
    bool closed_ = false;
};

bool contains(const std::string& text, const std::string& part);

}  // namespace fuzzing
