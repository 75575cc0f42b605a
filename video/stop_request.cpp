#include "video/stop_request.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

namespace brenvik::video {
namespace {

// Lock-free, so that a signal handler may set it.
std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kInterrupted = 130;  // 128 + SIGINT, as a shell reports it
constexpr int kTerminated = 143;   // 128 + SIGTERM
constexpr int kHungUp = 129;       // 128 + SIGHUP

#ifdef _WIN32

BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            request_stop(kInterrupted);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The process ends when this returns: the run gets the time
            // the system allows to clean up (it ends the process itself).
            request_stop(kHungUp);
            ::Sleep(10000);
            return TRUE;
        default:
            return FALSE;
    }
}

#else

void on_signal(int signal) {
    request_stop(signal == SIGINT ? kInterrupted : signal == SIGTERM ? kTerminated : kHungUp);
}

#endif

}  // namespace

void catch_stop_requests() {
#ifdef _WIN32
    ::SetConsoleCtrlHandler(on_console_event, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored from the start stays ignored (nohup, a shell's
        // background job), as a shell's trap leaves it.
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
#endif
}

int stop_status() {
    return requested.load();
}

void request_stop(int status) {
    int none = 0;
    requested.compare_exchange_strong(none, status);
}

}  // namespace brenvik::video
