#include "tests/common/files.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace testsupport {

namespace fs = std::filesystem;

TempDir::TempDir() {
    // A random name, made by create_directory, which fails when it exists:
    // no two folders are ever shared, across threads or processes.
    static std::atomic<unsigned> serial{0};
    std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        serial.fetch_add(1));
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / ("brenvik-test-" + std::to_string(random() % 1000000000));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
        if (ec) throw std::runtime_error("cannot create a folder in " + base.string());
    }
    throw std::runtime_error("no free temporary folder name in " + base.string());
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> bmp_header(int width, int height) {
    const std::uint32_t data = static_cast<std::uint32_t>(width) * height * 3;
    std::vector<std::uint8_t> header(54, 0);
    auto put32 = [&header](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) header[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, 54 + data);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    header[26] = 1;   // planes
    header[28] = 24;  // bits per pixel
    put32(34, data);
    return header;
}

std::vector<std::uint8_t> bmp_file(int width, int height, const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> file = bmp_header(width, height);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

}  // namespace testsupport
