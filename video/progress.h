// The frames encoded so far, on one line of standard error that rewrites
// itself, when standard error is a terminal: "brenvik-video: 12 of 50
// frames encoded (24%), about 0:42 left".
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

namespace brenvik::video {

// The line for `done` of `total` frames after `elapsed` seconds.
std::string progress_line(std::size_t done, std::size_t total, double elapsed);

class TerminalProgress {
  public:
    // Shown only when `err` is standard error and that is a terminal.
    explicit TerminalProgress(std::FILE* err);
    // Redraws the line when `done` changed.
    void show(std::size_t done, std::size_t total);
    // Ends the line, so that what follows starts on a line of its own.
    void end();

  private:
    std::FILE* err_;
    bool shown_;
    bool drawn_ = false;
    std::size_t last_done_ = static_cast<std::size_t>(-1);
    std::size_t last_width_ = 0;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

}  // namespace brenvik::video
