#include "video/progress.h"

#include "platform_files.h"
#include "video/video_options.h"

namespace brenvik::video {

std::string progress_line(std::size_t done, std::size_t total, double elapsed) {
    const unsigned percent = total == 0 ? 100u : static_cast<unsigned>(100 * done / total);
    std::string line = std::string(kProgram) + ": " + std::to_string(done) + " of " +
                       std::to_string(total) + " frames encoded (" + std::to_string(percent) + "%)";
    if (done > 0 && done < total) {
        const auto left = static_cast<long long>(
            elapsed / static_cast<double>(done) * static_cast<double>(total - done) + 0.5);
        char time[32];
        std::snprintf(time, sizeof time, "%lld:%02lld", left / 60, left % 60);
        line += std::string(", about ") + time + " left";
    }
    return line;
}

TerminalProgress::TerminalProgress(std::FILE* err)
    : err_(err), shown_(err == stderr && platform::standard_error_is_terminal()) {}

void TerminalProgress::show(std::size_t done, std::size_t total) {
    if (!shown_ || done == last_done_) return;
    last_done_ = done;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    std::string line = progress_line(done, total, elapsed);
    const std::size_t width = line.size();
    // Blanks over the end of a longer line drawn before.
    if (width < last_width_) line.append(last_width_ - width, ' ');
    last_width_ = width;
    std::fprintf(err_, "\r%s", line.c_str());
    std::fflush(err_);
    drawn_ = true;
}

void TerminalProgress::end() {
    if (drawn_) std::fputc('\n', err_);
    drawn_ = false;
}

}  // namespace brenvik::video
