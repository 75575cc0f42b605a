// Requests to stop a run from outside: Ctrl-C, a TERM or HUP signal on
// Linux; Ctrl-C, Ctrl-Break or the console window closing on Windows (a
// console control handler). The handlers only note the request; the run
// sees it where it waits, cleans up and ends with the status noted.
#pragma once

namespace brenvik::video {

// Installs the handlers (once, from the program's main thread).
void catch_stop_requests();

// The exit status a stop request asks for (130 for Ctrl-C, 143 for TERM,
// 129 for HUP or a closed console); 0 while none came.
int stop_status();

// Notes a request as the handlers do (the first one counts).
void request_stop(int status);

}  // namespace brenvik::video
