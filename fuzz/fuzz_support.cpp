#include "fuzz_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fuzzing {

namespace {

std::vector<std::string>& roots() {
    static std::vector<std::string> list;
    return list;
}

void remove_roots() {
    for (const std::string& root : roots()) remove_tree(root);
}

}  // namespace

void fail(const char* file, int line, const std::string& what) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string scratch_root(const char* tag) {
    std::string base = "/dev/shm";
    if (::access(base.c_str(), W_OK | X_OK) != 0) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    }
    std::string pattern = base + "/" + tag + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        fail(__FILE__, __LINE__, "cannot create a scratch folder under " + base);
    }
    const std::string root(name.data());
    if (roots().empty()) std::atexit(remove_roots);
    roots().push_back(root);
    return root;
}

void remove_tree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

void reset_folder(const std::string& folder) {
    remove_tree(folder);
    if (::mkdir(folder.c_str(), 0700) != 0) {
        fail(__FILE__, __LINE__, "cannot create " + folder + ": " + std::strerror(errno));
    }
}

void write_file(const std::string& path, const Bytes& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) fail(__FILE__, __LINE__, "cannot create " + path + ": " + std::strerror(errno));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) fail(__FILE__, __LINE__, "cannot write " + path);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

bool read_file(const std::string& path, Bytes& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    return true;
}

bool exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

std::vector<std::string> list_folder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

Bytes bmp_file(int width, int height, std::uint8_t seed) {
    const std::uint32_t pixels = static_cast<std::uint32_t>(width * height * 3);
    Bytes file(54 + pixels, 0);
    auto le32 = [&file](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    le32(2, 54 + pixels);
    le32(10, 54);
    le32(14, 40);
    le32(18, static_cast<std::uint32_t>(width));
    le32(22, static_cast<std::uint32_t>(height));
    file[26] = 1;
    file[28] = 24;
    le32(34, pixels);
    for (std::uint32_t i = 0; i < pixels; ++i) {
        file[54 + i] = static_cast<std::uint8_t>((i * 7 + (i / 960) * 13 + seed) & 0xFF);
    }
    return file;
}

std::uint8_t Input::u8() {
    return pos_ < size_ ? data_[pos_++] : 0;
}

std::uint16_t Input::u16() {
    const std::uint16_t low = u8();
    return static_cast<std::uint16_t>(low | u8() << 8);
}

std::uint32_t Input::u32() {
    const std::uint32_t low = u16();
    return low | static_cast<std::uint32_t>(u16()) << 16;
}

Bytes Input::take(std::size_t count) {
    count = std::min(count, remaining());
    Bytes part(data_ + pos_, data_ + pos_ + count);
    pos_ += count;
    return part;
}

Bytes Input::rest() {
    return take(remaining());
}

CapturedStream::CapturedStream() {
    file_ = ::open_memstream(&buffer_, &size_);
    if (file_ == nullptr) fail(__FILE__, __LINE__, "open_memstream failed");
}

CapturedStream::~CapturedStream() {
    text();
    std::free(buffer_);
}

const std::string& CapturedStream::text() {
    if (!closed_) {
        std::fclose(file_);
        closed_ = true;
        text_.assign(buffer_ != nullptr ? buffer_ : "", size_);
    }
    return text_;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace fuzzing
