#include "piped_process.h"

#include <cerrno>
#include <cstring>

#include "platform_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace platform {

std::string windows_command_line(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += argument;
            continue;
        }
        // Backslashes count only before a quote: doubled there (and before
        // the closing quote), kept as they are elsewhere.
        line += '"';
        std::size_t backslashes = 0;
        for (const char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
            backslashes = 0;
            line += c;
        }
        line.append(backslashes * 2, '\\');
        line += '"';
    }
    return line;
}

#ifdef _WIN32

namespace {

// A handle the child inherits: a file opened for writing, or NUL.
HANDLE inheritable_output(const std::wstring& name, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

PipedProcess::~PipedProcess() {
    if (running_) finish();
}

bool PipedProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& error_log, std::string& error) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!::CreatePipe(&read_end, &write_end, &inherit, 0)) {
        error = "pipe: " + last_error_text();
        return false;
    }
    // Only the child's end is inherited.
    ::SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, 0);
    HANDLE output = inheritable_output(L"NUL", OPEN_EXISTING);
    HANDLE log = inheritable_output(wide(error_log), CREATE_ALWAYS);
    if (log == INVALID_HANDLE_VALUE) {
        error = "cannot create " + error_log + ": " + last_error_text();
        ::CloseHandle(read_end);
        ::CloseHandle(write_end);
        if (output != INVALID_HANDLE_VALUE) ::CloseHandle(output);
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read_end;
    startup.hStdOutput = output;
    startup.hStdError = log;
    std::wstring command = wide(windows_command_line(arguments));
    PROCESS_INFORMATION process{};
    const BOOL started =
        ::CreateProcessW(wide(program).c_str(), command.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    if (!started) error = "cannot run " + program + ": " + last_error_text();
    ::CloseHandle(read_end);
    ::CloseHandle(log);
    if (output != INVALID_HANDLE_VALUE) ::CloseHandle(output);
    if (!started) {
        ::CloseHandle(write_end);
        return false;
    }
    ::CloseHandle(process.hThread);
    process_ = process.hProcess;
    input_ = write_end;
    running_ = true;
    return true;
}

bool PipedProcess::write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(input_, bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

int PipedProcess::finish() {
    if (!running_) return -1;
    running_ = false;
    ::CloseHandle(input_);
    ::WaitForSingleObject(process_, INFINITE);
    DWORD status = 0;
    const bool got = ::GetExitCodeProcess(process_, &status) != 0;
    ::CloseHandle(process_);
    return got ? static_cast<int>(status) : -1;
}

std::string find_helper_program(const std::string& name) {
    const std::wstring file = wide(name) + L".exe";
    std::wstring self(32768, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, self.data(), 32768);
    self.resize(length);
    const std::size_t slash = self.find_last_of(L"\\/");
    if (slash != std::wstring::npos) {
        const std::wstring beside = self.substr(0, slash + 1) + file;
        if (::GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return narrow(beside.c_str());
        }
    }
    // Then the folders of PATH only (not the current folder).
    const DWORD path_size = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (path_size == 0) return {};
    std::wstring path(path_size, L'\0');
    path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), path_size));
    std::wstring found(32768, L'\0');
    const DWORD found_length =
        ::SearchPathW(path.c_str(), file.c_str(), nullptr, 32768, found.data(), nullptr);
    if (found_length == 0 || found_length >= 32768) return {};
    found.resize(found_length);
    return narrow(found.c_str());
}

#else

namespace {

// SIGPIPE ignored while the process's input is written, so a program that
// stopped reading shows as a write error instead of ending this one.
class PipeSignalIgnored {
  public:
    PipeSignalIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGPIPE, &ignore, &previous_);
    }
    ~PipeSignalIgnored() { ::sigaction(SIGPIPE, &previous_, nullptr); }
    PipeSignalIgnored(const PipeSignalIgnored&) = delete;
    PipeSignalIgnored& operator=(const PipeSignalIgnored&) = delete;

  private:
    struct sigaction previous_ {};
};

}  // namespace

PipedProcess::~PipedProcess() {
    if (running_) finish();
}

bool PipedProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& error_log, std::string& error) {
    std::vector<std::string> words = arguments;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, error_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[0]);
    if (spawned != 0) {
        ::close(pipe_fds[1]);
        error = "cannot run " + program + ": " + std::strerror(spawned);
        return false;
    }
    pid_ = pid;
    input_ = pipe_fds[1];
    running_ = true;
    return true;
}

bool PipedProcess::write(const void* data, std::size_t size) {
    PipeSignalIgnored ignore_pipe;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(input_, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

int PipedProcess::finish() {
    if (!running_) return -1;
    running_ = false;
    ::close(input_);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string find_helper_program(const std::string& name) {
    return name;
}

#endif

}  // namespace platform
