#include "tests/common/process.h"

#include <cerrno>
#include <iterator>
#include <stdexcept>

#include "tests/common/files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testsupport {

namespace {

std::string text_of(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = read_file(path);
    return {bytes.begin(), bytes.end()};
}

#ifdef _WIN32

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size);
    return result;
}

// One argument as the C runtime's command-line parser reads it back:
// quotes around it, backslashes doubled only before a quote.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring result = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            result.append(backslashes * 2 + 1, L'\\');
        } else {
            result.append(backslashes, L'\\');
        }
        backslashes = 0;
        result += c;
    }
    result.append(backslashes * 2, L'\\');
    result += L'"';
    return result;
}

HANDLE inheritable(const std::wstring& name, DWORD access, DWORD creation) {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.bInheritHandle = TRUE;
    return CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                       creation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int run_child(const std::vector<std::string>& argv, const std::string& folder,
              const std::filesystem::path& out, const std::filesystem::path& err) {
    std::wstring command_line;
    for (const std::string& argument : argv) {
        if (!command_line.empty()) command_line += L' ';
        command_line += quoted(wide(argument));
    }
    HANDLE input = inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE output = inheritable(out.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE error = inheritable(err.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION child{};
    const std::wstring wide_folder = wide(folder);
    const BOOL started =
        CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.empty() ? nullptr : wide_folder.c_str(), &startup, &child);
    CloseHandle(input);
    CloseHandle(output);
    CloseHandle(error);
    if (!started) return -1;
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 0;
    const BOOL known = GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return known ? static_cast<int>(code) : -1;
}

#else

int run_child(const std::vector<std::string>& argv, const std::string& folder,
              const std::filesystem::path& out, const std::filesystem::path& err) {
    std::vector<std::string> words = argv;
    std::vector<char*> args;
    for (std::string& word : words) args.push_back(word.data());
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int input = ::open("/dev/null", O_RDONLY);
        const int output = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int error = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (input < 0 || output < 0 || error < 0) ::_exit(126);
        if (::dup2(input, 0) < 0 || ::dup2(output, 1) < 0 || ::dup2(error, 2) < 0) ::_exit(126);
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(126);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& folder) {
    if (argv.empty()) throw std::invalid_argument("run_process: no program");
    TempDir capture;
    const std::filesystem::path out = capture.path() / "out";
    const std::filesystem::path err = capture.path() / "err";
    ProcessResult result;
    result.status = run_child(argv, folder, out, err);
    if (std::filesystem::exists(out)) result.out = text_of(out);
    if (std::filesystem::exists(err)) result.err = text_of(err);
    return result;
}

}  // namespace testsupport
