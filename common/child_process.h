// A program run as a child process that this one waits for while doing
// other things (watching for Ctrl-C): standard input empty, standard output
// and error to files, discarded or shared with this process; posix_spawn on
// Linux, CreateProcessW on Windows.
//
// Names and arguments are UTF-8 on both systems.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ChildSetup {
    std::string folder;        // working folder; empty: this process's
    std::string output_file;   // standard output written to this file; empty: discarded
    std::string error_file;    // standard error written to this file; empty: see below
    bool share_error = false;  // without an error file: standard error is this process's
                               // (else discarded)
    bool own_session = false;  // Linux: a session of its own, out of reach of the
                               // terminal's Ctrl-C (setsid); no effect on Windows
};

class ChildProcess {
  public:
    ChildProcess() = default;
    // A child still running is terminated and waited for.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` (a path, or a name looked up on PATH) with
    // `arguments` (argument 0 first). False with `error` when it cannot.
    bool start(const std::string& program, const std::vector<std::string>& arguments,
               const ChildSetup& setup, std::string& error);

    // Waits at most `milliseconds` for the child to end; true once it has.
    bool wait_for(int milliseconds);
    // Its exit status once it ended; -1 when it did not exit normally
    // (ended by a signal).
    int status() const { return status_; }
    bool running() const { return running_; }

    // Asks the child to stop: SIGTERM on Linux, TerminateProcess on
    // Windows. wait_for() then sees it end.
    void terminate();

  private:
    bool running_ = false;
    int status_ = -1;
#ifdef _WIN32
    void* process_ = nullptr;
#else
    int pid_ = -1;
#endif
};

// Where the program `name` is run from: on Windows NAME.exe beside this
// program, else the first on PATH (find_helper_program); on Linux the first
// executable NAME on PATH, or NAME itself when it holds a slash and is
// executable. Empty when not found.
std::string locate_program(const std::string& name);

// The folder this program's executable is in (UTF-8); empty when unknown.
std::string own_folder();

}  // namespace platform
