#include "child_process.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <thread>

#include "piped_process.h"
#include "platform_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

extern char** environ;
#endif

namespace platform {

#ifdef _WIN32

namespace {

// A handle the child inherits: NUL or a file, opened for reading or writing.
HANDLE inheritable(const std::string& name, bool for_writing) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::wstring wide_name = name.empty() ? std::wstring(L"NUL") : wide(name);
    return ::CreateFileW(wide_name.c_str(), for_writing ? GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         for_writing && !name.empty() ? CREATE_ALWAYS : OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

// This process's standard error as a handle the child inherits (null when
// there is none).
HANDLE shared_error() {
    HANDLE own = ::GetStdHandle(STD_ERROR_HANDLE);
    HANDLE copy = nullptr;
    if (own == nullptr || own == INVALID_HANDLE_VALUE ||
        !::DuplicateHandle(::GetCurrentProcess(), own, ::GetCurrentProcess(), &copy, 0, TRUE,
                           DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return copy;
}

void close_handles(std::initializer_list<HANDLE> handles) {
    for (HANDLE h : handles) {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (!running_) return;
    terminate();
    ::WaitForSingleObject(process_, INFINITE);
    ::CloseHandle(process_);
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         const ChildSetup& setup, std::string& error) {
    HANDLE input = inheritable("", false);
    HANDLE output = inheritable(setup.output_file, true);
    HANDLE errors = !setup.error_file.empty() ? inheritable(setup.error_file, true)
                    : setup.share_error       ? shared_error()
                                              : inheritable("", true);
    if (output == INVALID_HANDLE_VALUE || errors == INVALID_HANDLE_VALUE) {
        error = "cannot create the output files of " + program + ": " + last_error_text();
        close_handles({input, output, errors});
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    std::wstring command = wide(windows_command_line(arguments));
    const std::wstring folder = wide(setup.folder);
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(
        wide(program).c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
        setup.folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    if (!started) error = "cannot run " + program + ": " + last_error_text();
    close_handles({input, output, errors});
    if (!started) return false;
    ::CloseHandle(process.hThread);
    process_ = process.hProcess;
    running_ = true;
    status_ = -1;
    return true;
}

bool ChildProcess::wait_for(int milliseconds) {
    if (!running_) return true;
    if (::WaitForSingleObject(process_, static_cast<DWORD>(milliseconds)) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD code = 0;
    status_ = ::GetExitCodeProcess(process_, &code) != 0 ? static_cast<int>(code) : -1;
    ::CloseHandle(process_);
    process_ = nullptr;
    running_ = false;
    return true;
}

void ChildProcess::terminate() {
    if (running_) ::TerminateProcess(process_, 1);
}

std::string locate_program(const std::string& name) {
    return find_helper_program(name);
}

std::string own_folder() {
    std::wstring self(32768, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, self.data(), 32768);
    self.resize(length);
    const std::size_t slash = self.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    self.resize(slash);
    return narrow(self.c_str());
}

#else

namespace {

// The spawn's file actions: input from /dev/null, output and error as the
// setup says, then the working folder (the files' names are taken from
// this process's folder).
void plan_streams(posix_spawn_file_actions_t& actions, const ChildSetup& setup) {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const int write_flags = O_WRONLY | O_CREAT | O_TRUNC;
    posix_spawn_file_actions_addopen(
        &actions, 1, setup.output_file.empty() ? "/dev/null" : setup.output_file.c_str(),
        write_flags, 0644);
    if (!setup.error_file.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, setup.error_file.c_str(), write_flags, 0644);
    } else if (!setup.share_error) {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    if (!setup.folder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, setup.folder.c_str());
    }
}

bool executable_file(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (!running_) return;
    terminate();
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         const ChildSetup& setup, std::string& error) {
    std::vector<std::string> words = arguments;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    plan_streams(actions, setup);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The child starts with the signals' default actions, whatever this
    // process does with them.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    short flags = POSIX_SPAWN_SETSIGDEF;
    if (setup.own_session) flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attributes, flags);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = "cannot run " + program + ": " + std::strerror(spawned);
        return false;
    }
    pid_ = pid;
    running_ = true;
    status_ = -1;
    return true;
}

bool ChildProcess::wait_for(int milliseconds) {
    if (!running_) return true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(pid_, &status, WNOHANG);
        if (ended == pid_ || (ended < 0 && errno != EINTR)) {
            status_ = ended == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            running_ = false;
            return true;
        }
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ChildProcess::terminate() {
    if (running_) ::kill(pid_, SIGTERM);
}

std::string locate_program(const std::string& name) {
    if (name.find('/') != std::string::npos) return executable_file(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    const std::string list = path != nullptr ? path : "";
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        // An empty entry is the current folder, as for the shell.
        const std::string folder = end == start ? "." : list.substr(start, end - start);
        const std::string candidate = folder + "/" + name;
        if (executable_file(candidate)) return candidate;
        start = end + 1;
    }
    return {};
}

std::string own_folder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}

#endif

}  // namespace platform
