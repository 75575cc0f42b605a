#include "platform_files.h"

#include <cerrno>
#include <climits>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#endif

namespace platform {

#ifdef _WIN32

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                          size);
    return result;
}

std::string narrow(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.pop_back();  // the terminating zero
    return result;
}

std::string last_error_text() {
    wchar_t* text = nullptr;
    const DWORD error = ::GetLastError();
    ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = text != nullptr ? narrow(text) : "error " + std::to_string(error);
    if (text != nullptr) ::LocalFree(text);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

namespace {

int errno_of_last_error() {
    switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_INVALID_NAME:
            return EINVAL;
        default:
            return EIO;
    }
}

unsigned chunk(std::size_t size) {
    return size > INT_MAX ? static_cast<unsigned>(INT_MAX) : static_cast<unsigned>(size);
}

}  // namespace

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide_args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide_args == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) args.push_back(narrow(wide_args[i]));
    ::LocalFree(wide_args);
    return args;
}

void use_binary_standard_streams() {
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::FILE* open_stdio_file(const std::string& name, const char* mode) {
    if (kind_of(name) == FileKind::directory) {
        errno = EISDIR;
        return nullptr;
    }
    return ::_wfopen(wide(name).c_str(), wide(mode).c_str());
}

FileKind kind_of(const std::string& name, unsigned* mode) {
    struct _stat64 status {};
    if (name.empty() || ::_wstat64(wide(name).c_str(), &status) != 0) return FileKind::missing;
    if (mode != nullptr) *mode = static_cast<unsigned>(status.st_mode) & 0777u;
    if ((status.st_mode & _S_IFMT) == _S_IFDIR) return FileKind::directory;
    if ((status.st_mode & _S_IFMT) == _S_IFREG) return FileKind::regular;
    return FileKind::other;
}

int open_for_reading(const std::string& name) {
    // Windows refuses to open a folder with EACCES; report what it is.
    if (kind_of(name) == FileKind::directory) {
        errno = EISDIR;
        return -1;
    }
    return ::_wopen(wide(name).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int open_for_writing(const std::string& name) {
    return ::_wopen(wide(name).c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
}

int create_new_file(const std::string& name) {
    return ::_wopen(wide(name).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

bool is_directory(int fd) {
    struct _stat64 status {};
    return ::_fstat64(fd, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFDIR;
}

long long end_offset(int fd) {
    return ::_lseeki64(fd, 0, SEEK_END);
}

long long read_some(int fd, void* data, std::size_t size) {
    return ::_read(fd, data, chunk(size));
}

long long read_some_at(int fd, void* data, std::size_t size, std::uint64_t offset) {
    const long long position = ::_lseeki64(fd, 0, SEEK_CUR);
    if (position < 0 || ::_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0) return -1;
    const int got = ::_read(fd, data, chunk(size));
    const int saved = errno;
    ::_lseeki64(fd, position, SEEK_SET);
    errno = saved;
    return got;
}

long long write_some(int fd, const void* data, std::size_t size) {
    return ::_write(fd, data, chunk(size));
}

long long write_some_at(int fd, const void* data, std::size_t size, std::uint64_t offset) {
    const long long position = ::_lseeki64(fd, 0, SEEK_CUR);
    if (position < 0 || ::_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0) return -1;
    const int written = ::_write(fd, data, chunk(size));
    const int saved = errno;
    ::_lseeki64(fd, position, SEEK_SET);
    errno = saved;
    return written;
}

int sync_file(int fd) {
    return ::_commit(fd);
}

int close_file(int fd) {
    return ::_close(fd);
}

void set_mode(int, unsigned) {}

int replace_file(const std::string& from, const std::string& to) {
    if (::MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    return errno_of_last_error();
}

void remove_file(const std::string& name) {
    ::_wunlink(wide(name).c_str());
}

bool is_symbolic_link(const std::string&) {
    return false;
}

bool resolve_links(const std::string& name, std::string& resolved) {
    resolved = name;
    return true;
}

long process_id() {
    return static_cast<long>(::GetCurrentProcessId());
}

bool standard_error_is_terminal() {
    return ::_isatty(_fileno(stderr)) != 0;
}

#else  // POSIX

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void use_binary_standard_streams() {}

std::FILE* open_stdio_file(const std::string& name, const char* mode) {
    return std::fopen(name.c_str(), mode);
}

FileKind kind_of(const std::string& name, unsigned* mode) {
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) return FileKind::missing;
    if (mode != nullptr) *mode = static_cast<unsigned>(status.st_mode) & 07777u;
    if (S_ISDIR(status.st_mode)) return FileKind::directory;
    if (S_ISREG(status.st_mode)) return FileKind::regular;
    return FileKind::other;
}

int open_for_reading(const std::string& name) {
    return ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
}

int open_for_writing(const std::string& name) {
    return ::open(name.c_str(), O_WRONLY | O_CLOEXEC);
}

int create_new_file(const std::string& name) {
    return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

bool is_directory(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
}

long long end_offset(int fd) {
    return ::lseek(fd, 0, SEEK_END);
}

long long read_some(int fd, void* data, std::size_t size) {
    return ::read(fd, data, size);
}

long long read_some_at(int fd, void* data, std::size_t size, std::uint64_t offset) {
    return ::pread(fd, data, size, static_cast<off_t>(offset));
}

long long write_some(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

long long write_some_at(int fd, const void* data, std::size_t size, std::uint64_t offset) {
    return ::pwrite(fd, data, size, static_cast<off_t>(offset));
}

int sync_file(int fd) {
    return ::fsync(fd);
}

int close_file(int fd) {
    return ::close(fd);
}

void set_mode(int fd, unsigned mode) {
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
        // The replacement then simply gets the default permissions.
    }
}

int replace_file(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void remove_file(const std::string& name) {
    ::unlink(name.c_str());
}

bool is_symbolic_link(const std::string& name) {
    struct stat status {};
    return ::lstat(name.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool resolve_links(const std::string& name, std::string& resolved) {
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::weakly_canonical(name, ec);
    if (ec) {
        errno = ec.value();
        return false;
    }
    resolved = path.string();
    return true;
}

long process_id() {
    return static_cast<long>(::getpid());
}

bool standard_error_is_terminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

#endif

bool read_whole_file(const std::string& name, std::vector<std::uint8_t>& bytes, std::string& error,
                     std::size_t limit) {
    const auto failed = [&](int number) {
        error = "cannot read '" + name + "': " + std::strerror(number);
        return false;
    };
    const int fd = open_for_reading(name);
    if (fd < 0) return failed(errno);
    if (is_directory(fd)) {
        close_file(fd);
        return failed(EISDIR);
    }
    bytes.clear();
    std::uint8_t buffer[65536];
    for (;;) {
        const long long got = read_some(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int number = errno;
            close_file(fd);
            return failed(number);
        }
        if (got == 0) break;
        if (static_cast<std::size_t>(got) > limit - bytes.size()) {
            close_file(fd);
            error = "'" + name + "' is larger than " + std::to_string(limit) + " bytes";
            return false;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    close_file(fd);
    return true;
}

}  // namespace platform
