// A program run with its standard input fed through a pipe by this process,
// its standard output discarded and its standard error written to a file:
// posix_spawn on Linux, CreatePipe / CreateProcessW on Windows.
//
// Names and arguments are UTF-8 on both systems (UTF-16 on the Windows
// command line, quoted as the C runtime reads it back).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

class PipedProcess {
  public:
    PipedProcess() = default;
    // A process still running is waited for (its input closed first).
    ~PipedProcess();
    PipedProcess(const PipedProcess&) = delete;
    PipedProcess& operator=(const PipedProcess&) = delete;

    // Starts `program` (a path, or a name looked up on PATH) with
    // `arguments` (argument 0 first). False with `error` when it cannot.
    bool start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& error_log, std::string& error);

    // Writes all of `data` to the program's input; false once the program
    // no longer reads it (it stopped or failed).
    bool write(const void* data, std::size_t size);

    // Closes the program's input and waits for it: its exit status, or -1
    // when it did not end normally.
    int finish();

  private:
    bool running_ = false;
#ifdef _WIN32
    void* process_ = nullptr;
    void* input_ = nullptr;
#else
    int pid_ = -1;
    int input_ = -1;
#endif
};

// The Windows command line (UTF-8 here) that hands `arguments` to a
// program unchanged: each quoted where needed, as the C runtime splits it.
std::string windows_command_line(const std::vector<std::string>& arguments);

// Where the program `name` (such as "ffmpeg") is run from: on Windows
// NAME.exe beside this program if there is one, else the first on PATH;
// on Linux the name itself, which PATH resolves. Empty when not found.
std::string find_helper_program(const std::string& name);

}  // namespace platform
