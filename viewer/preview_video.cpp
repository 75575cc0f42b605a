#include "viewer/preview_video.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "atomic_output_file.h"
#include "format/container.h"
#include "viewer/picture_file.h"

extern char** environ;

namespace brenvik::viewer {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram = "zorpa-preview";

std::string in_quotes(const std::string& name) {
    return "'" + name + "'";
}

// A private folder under the system's temporary folder, removed with its
// content.
class ScratchFolder {
  public:
    bool create(std::string& error) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zorpa-preview-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            error = "cannot create a temporary folder " + in_quotes(pattern) + ": " +
                    std::strerror(errno);
            return false;
        }
        path_ = pattern;
        return true;
    }
    ~ScratchFolder() {
        if (!path_.empty()) {
            std::error_code ignored;
            fs::remove_all(path_, ignored);
        }
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// SIGPIPE ignored while the frames are piped, so a failed ffmpeg shows as a
// write error instead of ending the program.
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

bool write_all(int fd, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool write_whole_file(const std::string& name, const std::vector<unsigned char>& bytes,
                      std::string& error) {
    fileout::AtomicOutputFile file(name);
    if (!file.open() || !file.write(bytes.data(), bytes.size()) || !file.commit()) {
        error = file.error();
        return false;
    }
    return true;
}

bool read_whole_file(const std::string& name, std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) return false;
    bytes.clear();
    unsigned char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

// The last lines ffmpeg wrote to its log, for the failure message.
std::string log_tail(const std::string& name) {
    std::vector<unsigned char> bytes;
    if (!read_whole_file(name, bytes)) return "";
    std::string text(bytes.begin(), bytes.end());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.size() > 600) text = "..." + text.substr(text.size() - 600);
    return text;
}

struct PreviewOptions {
    std::string container;
    std::string output;
    int scale = 1;
    bool help = false;
};

bool parse(const std::vector<std::string>& args, PreviewOptions& options, std::string& error) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--output") {
            if (i + 1 == args.size()) {
                error = "option " + in_quotes(a) + " needs a file name";
                return false;
            }
            options.output = args[++i];
        } else if (a.rfind("--output=", 0) == 0) {
            options.output = a.substr(9);
        } else if (a.rfind("--scale=", 0) == 0) {
            const std::string value = a.substr(8);
            if (value.size() != 1 || value[0] < '1' || value[0] > '8') {
                error = "invalid value in " + in_quotes(a) + ": expected 1..8";
                return false;
            }
            options.scale = value[0] - '0';
        } else if (a == "-h" || a == "--help") {
            options.help = true;
            return true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + in_quotes(a);
            return false;
        } else if (options.container.empty()) {
            options.container = a;
        } else {
            error = "unexpected argument " + in_quotes(a);
            return false;
        }
    }
    if (options.container.empty()) {
        error = "no container given";
        return false;
    }
    if (options.output.empty()) {
        error = "no output file given (-o OUTPUT.mp4)";
        return false;
    }
    return true;
}

// Progress shown on standard error when it is a terminal.
class Progress {
  public:
    Progress(std::FILE* err, std::uint32_t total)
        : err_(err), total_(total), shown_(::isatty(::fileno(err)) == 1) {}
    void frame(std::uint32_t done) {
        if (!shown_ || (done % 10 != 0 && done != total_)) return;
        std::fprintf(err_, "\r%s: frame %u of %u (%u%%)", kProgram, done, total_,
                     total_ == 0 ? 100u : static_cast<unsigned>(100ull * done / total_));
        std::fflush(err_);
        drawn_ = true;
    }
    void finish() {
        if (drawn_) std::fputc('\n', err_);
        drawn_ = false;
    }

  private:
    std::FILE* err_;
    std::uint32_t total_;
    bool shown_;
    bool drawn_ = false;
};

}  // namespace

bool render_container_frame(const zorpa::ByteSource& source, std::uint32_t index, Image& image) {
    std::vector<unsigned char> picture;
    if (!zorpa::extract_frame(source, index, picture)) return false;
    const FileLayout layout{2, 1, false};
    image =
        render_picture(std::vector<std::uint8_t>(picture.begin(), picture.end()), layout, {}).seen;
    return true;
}

std::vector<unsigned char> preview_sound(const zorpa::ByteSource& source, std::uint32_t frames) {
    std::vector<unsigned char> samples;
    if (!zorpa::extract_sound(source, frames, samples)) samples.clear();
    // No sound: a short silent track, padded to the frames' length by ffmpeg.
    if (samples.empty())
        samples.assign(format::container::kPreRollSoundBytes, format::container::kSilence);
    return samples;
}

std::string preview_usage_text() {
    return "usage: zorpa-preview CONTAINER.ZRP -o OUTPUT.mp4 [--scale=N]\n"
           "Render every frame of a Zorpa container and its sound into a video\n"
           "(H.264 and AAC through ffmpeg, 25 frames per second), as the STE plays it.\n"
           "\n"
           "  -o, --output=FILE   video to write\n"
           "  --scale=N           nearest-neighbour enlargement 1..8 (default 1)\n"
           "  -h, --help          show this help\n";
}

int run_preview(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    PreviewOptions options;
    std::string error;
    const auto fail = [&](const std::string& message) {
        std::fprintf(err, "%s: %s\n", kProgram, message.c_str());
        return 1;
    };
    if (!parse(args, options, error)) {
        return fail(error + "\nTry 'zorpa-preview --help' for more information.");
    }
    if (options.help) {
        std::fputs(preview_usage_text().c_str(), out);
        return 0;
    }

    zorpa::FileSource source;
    if (!source.open(options.container)) return fail(source.error());
    const zorpa::CheckResult check = zorpa::check_container(source);
    if (!check.ok) return fail(in_quotes(options.container) + ": " + check.message);
    if (check.frames == 0) return fail(in_quotes(options.container) + " holds no frame");

    // The output's folder must take a file before any work is done.
    fileout::AtomicOutputFile output(options.output);
    if (!output.open()) return fail(output.error());

    ScratchFolder scratch;
    if (!scratch.create(error)) return fail(error);
    const std::string sound_name = scratch.file("sound.wav");
    const std::string video_name = scratch.file("video.mp4");
    const std::string log_name = scratch.file("ffmpeg.log");
    if (!write_whole_file(sound_name, zorpa::wav_file(preview_sound(source, check.frames)),
                          error)) {
        return fail(error);
    }

    const int width = 320 * options.scale;
    const int height = 200 * options.scale;
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.2f",
                  static_cast<double>(check.frames) / kPreviewFramesPerSecond);
    std::vector<std::string> words = {
        "ffmpeg", "-hide_banner", "-nostats", "-loglevel", "error", "-y", "-f", "rawvideo",
        "-pix_fmt", "rgb24", "-video_size", std::to_string(width) + "x" + std::to_string(height),
        "-framerate", std::to_string(kPreviewFramesPerSecond), "-i", "pipe:0", "-i", sound_name,
        "-map", "0:v:0", "-map", "1:a:0", "-c:v", "libx264", "-preset", "veryfast", "-crf", "18",
        "-pix_fmt", "yuv420p",
        // The sound is padded with silence or cut to the frames' length.
        "-c:a", "aac", "-b:a", "128k", "-ar", "48000", "-af", "apad", "-t", duration, "-movflags",
        "+faststart", "-f", "mp4", video_name};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0)
        return fail(std::string("pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, log_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[0]);
    if (spawned != 0) {
        ::close(pipe_fds[1]);
        return fail(std::string("cannot run ffmpeg: ") + std::strerror(spawned));
    }

    bool piped = true;
    std::string frame_error;
    {
        PipeSignalIgnored ignore_pipe;
        Progress progress(err, check.frames);
        Image frame;
        for (std::uint32_t i = 0; i < check.frames && piped; ++i) {
            if (!render_container_frame(source, i, frame)) {
                frame_error = "cannot read frame " + std::to_string(i) + " of " +
                              in_quotes(options.container);
                piped = false;
                break;
            }
            const Image shown = enlarge(frame, options.scale);
            piped = write_all(pipe_fds[1], shown.rgb.data(), shown.rgb.size());
            progress.frame(i + 1);
        }
        ::close(pipe_fds[1]);
        progress.finish();
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!frame_error.empty()) return fail(frame_error);
    if (!piped || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        const std::string tail = log_tail(log_name);
        return fail("ffmpeg failed making " + in_quotes(options.output) +
                    (tail.empty() ? std::string() : ":\n" + tail));
    }

    std::vector<unsigned char> video;
    if (!read_whole_file(video_name, video)) return fail("ffmpeg wrote no video");
    if (!output.write(video.data(), video.size()) || !output.commit()) return fail(output.error());
    return 0;
}

}  // namespace brenvik::viewer
