#include "program_runner.h"

#ifdef _WIN32
#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "tests/common/process.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#endif

namespace robustness {

#ifdef _WIN32

// Windows: the children run through the test library's process runner; the
// POSIX-only setups (a file size limit, a read-only bind mount) do not exist.
namespace fs = std::filesystem;

fs::path utf8_path(const std::string& name) {
    return fs::path(std::u8string(name.begin(), name.end()));
}

std::string utf8_string(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

RunResult run_program(const std::vector<std::string>& argv, const ChildSetup& setup) {
    if (setup.file_size_limit != 0 || !setup.read_only_folder.empty()) {
        throw std::logic_error("file size limits and read-only mounts are POSIX-only");
    }
    const testsupport::ProcessResult result = testsupport::run_process(argv, setup.folder);
    return {result.status, result.out, result.err};
}

bool read_only_bind_works() {
    return false;
}

ScratchFolder::~ScratchFolder() = default;

std::string ScratchFolder::operator/(const std::string& name) const {
    return utf8_string(path()) + "/" + name;
}

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(utf8_path(path), ec));
}

void make_folder(const std::string& path) {
    std::error_code ec;
    if (!fs::create_directory(utf8_path(path), ec)) {
        throw std::runtime_error("cannot make the folder " + path);
    }
}

std::vector<std::string> list_folder(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(utf8_path(folder))) {
        names.push_back(utf8_string(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string nested_folders(const std::string&, const std::string&, std::size_t) {
    throw std::logic_error("nested_folders: the rows past PATH_MAX are POSIX-only");
}

#else

namespace {

[[noreturn]] void child_failure(const char* what) {
    const int error = errno;
    const char* reason = std::strerror(error);
    (void)!::write(STDERR_FILENO, "child setup: ", 13);
    (void)!::write(STDERR_FILENO, what, std::strlen(what));
    (void)!::write(STDERR_FILENO, ": ", 2);
    (void)!::write(STDERR_FILENO, reason, std::strlen(reason));
    (void)!::write(STDERR_FILENO, "\n", 1);
    ::_exit(125);
}

// In the child: a private mount namespace in which `folder` is read-only.
void make_read_only(const char* folder) {
    if (::unshare(CLONE_NEWNS) != 0) child_failure("unshare");
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        child_failure("mount private");
    }
    if (::mount(folder, folder, nullptr, MS_BIND, nullptr) != 0) child_failure("bind");
    if (::mount(nullptr, folder, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        child_failure("remount read-only");
    }
}

// Removes everything in the open folder `dir`, working relative to open
// folders so that trees deeper than PATH_MAX go too.
void remove_content(int dir) {
    const int listing = ::dup(dir);
    DIR* stream = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (stream == nullptr) return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(stream);
    for (const std::string& name : names) {
        struct stat status {};
        if (::fstatat(dir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(status.st_mode)) {
            ::fchmodat(dir, name.c_str(), 0700, 0);
            const int child = ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (child >= 0) {
                remove_content(child);
                ::close(child);
            }
            ::unlinkat(dir, name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(dir, name.c_str(), 0);
        }
    }
}

std::runtime_error system_error(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

RunResult run_program(const std::vector<std::string>& argv, const ChildSetup& setup) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int out_pipe[2];
    int err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
        throw system_error("pipe");
    }
    const pid_t pid = ::fork();
    if (pid < 0) throw system_error("fork");
    if (pid == 0) {
        ::dup2(out_pipe[1], STDOUT_FILENO);
        ::dup2(err_pipe[1], STDERR_FILENO);
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, STDIN_FILENO);
        if (!setup.read_only_folder.empty()) make_read_only(setup.read_only_folder.c_str());
        if (!setup.folder.empty() && ::chdir(setup.folder.c_str()) != 0) child_failure("chdir");
        if (setup.file_size_limit != 0) {
            const rlimit limit{setup.file_size_limit, setup.file_size_limit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) child_failure("setrlimit");
            std::signal(SIGXFSZ, SIG_IGN);
        }
        ::execv(args[0], args.data());
        child_failure("execv");
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);

    RunResult result;
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open_count = 2;
    while (open_count > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            throw system_error("poll");
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open_count;
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw system_error("waitpid");
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

bool read_only_bind_works() {
    static const bool works = [] {
        ScratchFolder probe;
        ChildSetup setup(probe.path());
        setup.read_only_folder = probe.path();
        const RunResult r =
            run_program({"/bin/sh", "-c", "touch probe 2>/dev/null; test ! -e probe"}, setup);
        return r.status == 0 && !exists(probe / "probe");
    }();
    return works;
}

ScratchFolder::~ScratchFolder() {
    // What is left, the empty folder, goes with the base object.
    const int dir = ::open(path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        remove_content(dir);
        ::close(dir);
    }
}

bool exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

void make_folder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0) throw system_error("mkdir " + path);
}

std::vector<std::string> list_folder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) throw system_error("opendir " + folder);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ScratchFolder::operator/(const std::string& name) const {
    return file(name);
}

std::filesystem::path utf8_path(const std::string& name) {
    return name;
}

std::string nested_folders(const std::string& base, const std::string& component,
                           std::size_t length) {
    int dir = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) throw system_error("open " + base);
    std::string path;
    while (path.size() < length) {
        if (::mkdirat(dir, component.c_str(), 0755) != 0) throw system_error("mkdirat");
        const int next = ::openat(dir, component.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(dir);
        if (next < 0) throw system_error("openat");
        dir = next;
        path += (path.empty() ? "" : "/") + component;
    }
    ::close(dir);
    return path;
}

#endif

Bytes read_file(const std::string& name) {
    return testsupport::read_file(utf8_path(name));
}

void write_file(const std::string& name, const Bytes& bytes) {
    testsupport::write_file(utf8_path(name), bytes);
}

Bytes bmp_file(int width, int height, std::uint8_t seed) {
    Bytes pixels(static_cast<std::size_t>(width * height * 3));
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>((i * 7 + (i / 960) * 13 + seed) & 0xFF);
    }
    return testsupport::bmp_file(width, height, pixels);
}

Bytes picture_file(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + seed);
    return bytes;
}

}  // namespace robustness
