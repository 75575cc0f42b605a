#include "viewer/preview_video.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <system_error>

#include "atomic_output_file.h"
#include "command_line.h"
#include "format/container.h"
#include "piped_process.h"
#include "platform_files.h"
#include "viewer/picture_file.h"

namespace brenvik::viewer {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram = "zorpa-preview";

std::string in_quotes(const std::string& name) {
    return "'" + name + "'";
}

std::string utf8_path(const fs::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

// A private folder under the system's temporary folder, removed with its
// content.
class ScratchFolder {
  public:
    bool create(std::string& error) {
        std::error_code failure;
        const fs::path base = fs::temp_directory_path(failure);
        if (failure) {
            error = "no temporary folder: " + failure.message();
            return false;
        }
        std::random_device random;
        const std::string prefix = "zorpa-preview-" + std::to_string(platform::process_id()) + "-";
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path candidate = base / (prefix + std::to_string(random() % 1000000));
            if (fs::create_directory(candidate, failure)) {
                path_ = candidate;
                return true;
            }
            if (failure) break;
        }
        error = "cannot create a temporary folder in " + in_quotes(utf8_path(base)) +
                (failure ? ": " + failure.message() : std::string());
        return false;
    }
    ~ScratchFolder() {
        if (!path_.empty()) {
            std::error_code ignored;
            fs::remove_all(path_, ignored);
        }
    }
    std::string file(const std::string& name) const { return utf8_path(path_ / name); }

  private:
    fs::path path_;
};

// The last lines ffmpeg wrote to its log, for the failure message.
std::string log_tail(const std::string& name) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!platform::read_whole_file(name, bytes, error)) return "";
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
    const cli::Parsed parsed =
        cli::parse(std::vector<std::string>(args.begin() + 1, args.end()),
                   {cli::text("--output", 'o', [&](const std::string& v) { options.output = v; }),
                    cli::number("--scale", 0, {}, 1, 8,
                                [&](long long v) { options.scale = static_cast<int>(v); }),
                    cli::flag("--help", 'h', [&] { options.help = true; })});
    if (!parsed.ok) {
        error = parsed.error;
        return false;
    }
    if (options.help) return true;
    if (parsed.positional.size() > 1) {
        error = "unexpected argument " + in_quotes(parsed.positional[1]);
        return false;
    }
    if (!parsed.positional.empty()) options.container = parsed.positional[0];
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
        : err_(err),
          total_(total),
          shown_(err == stderr && platform::standard_error_is_terminal()) {}
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
    image = render_picture(std::vector<std::uint8_t>(picture.begin(), picture.end()),
                           container_frame_layout(), {})
                .seen;
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
#ifdef _WIN32
    const char* const through =
        "(MPEG-4 and AAC through ffmpeg.exe, beside this program or on PATH,\n"
        "25 frames per second), as the STE plays it.\n";
#else
    const char* const through =
        "(H.264 and AAC through ffmpeg, 25 frames per second), as the STE plays it.\n";
#endif
    return std::string(
               "usage: zorpa-preview CONTAINER.ZRP -o OUTPUT.mp4 [--scale=N]\n"
               "Render every frame of a Zorpa container and its sound into a video\n") +
           through +
           "\n"
           "  -o, --output=FILE   video to write\n"
           "  --scale=N           nearest-neighbour enlargement 1..8 (default 1)\n"
           "  -h, --help          show this help\n";
}

namespace {

// ffmpeg's command: raw frames on its input, the sound from a WAV file, an
// MP4 out. Linux's ffmpeg has H.264 (libx264); the Windows ffmpeg built for
// the zip has only ffmpeg's own encoders, so MPEG-4 part 2 there.
std::vector<std::string> ffmpeg_arguments(const std::string& program, int scale,
                                          std::uint32_t frames, const std::string& sound_name,
                                          const std::string& video_name) {
    const format::ScreenMode& frame = format::kScreenModes[format::container::kFrameMode];
    const int width = frame.width * scale;
    const int height = frame.height * scale;
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.2f",
                  static_cast<double>(frames) / kPreviewFramesPerSecond);
#ifdef _WIN32
    const std::vector<std::string> video_codec = {"-c:v", "mpeg4", "-q:v", "2"};
#else
    const std::vector<std::string> video_codec = {"-c:v",     "libx264", "-preset",
                                                  "veryfast", "-crf",    "18"};
#endif
    std::vector<std::string> words = {
        program,       "-hide_banner",
        "-nostats",    "-loglevel",
        "error",       "-y",
        "-f",          "rawvideo",
        "-pix_fmt",    "rgb24",
        "-video_size", std::to_string(width) + "x" + std::to_string(height),
        "-framerate",  std::to_string(kPreviewFramesPerSecond),
        "-i",          "pipe:0",
        "-i",          sound_name,
        "-map",        "0:v:0",
        "-map",        "1:a:0"};
    words.insert(words.end(), video_codec.begin(), video_codec.end());
    const std::vector<std::string> rest = {
        "-pix_fmt", "yuv420p",
        // The sound is padded with silence or cut to the frames' length.
        "-c:a", "aac", "-b:a", "128k", "-ar", "48000", "-af", "apad", "-t", duration, "-movflags",
        "+faststart", "-f", "mp4", video_name};
    words.insert(words.end(), rest.begin(), rest.end());
    return words;
}

// Renders every frame into ffmpeg's input. False when a frame cannot be
// read (`frame_error` says which) or ffmpeg stopped reading.
bool pipe_frames(const zorpa::ByteSource& source, const PreviewOptions& options,
                 std::uint32_t frames, platform::PipedProcess& ffmpeg, std::FILE* err,
                 std::string& frame_error) {
    Progress progress(err, frames);
    Image frame;
    bool piped = true;
    for (std::uint32_t i = 0; i < frames && piped; ++i) {
        if (!render_container_frame(source, i, frame)) {
            frame_error =
                "cannot read frame " + std::to_string(i) + " of " + in_quotes(options.container);
            piped = false;
            break;
        }
        const Image shown = enlarge(frame, options.scale);
        piped = ffmpeg.write(shown.rgb.data(), shown.rgb.size());
        progress.frame(i + 1);
    }
    progress.finish();
    return piped;
}

// The video ffmpeg made of the container, or a message saying why not.
bool make_video(const zorpa::ByteSource& source, const PreviewOptions& options,
                std::uint32_t frames, const ScratchFolder& scratch, std::FILE* err,
                std::vector<std::uint8_t>& video, std::string& error) {
    const std::string sound_name = scratch.file("sound.wav");
    const std::string video_name = scratch.file("video.mp4");
    const std::string log_name = scratch.file("ffmpeg.log");
    const std::vector<unsigned char> wav = zorpa::wav_file(preview_sound(source, frames));
    if (!fileout::write_whole_file(sound_name, wav.data(), wav.size(), error)) {
        return false;
    }
    const std::string program = platform::find_helper_program("ffmpeg");
    if (program.empty()) {
        error = "cannot run ffmpeg: ffmpeg.exe is neither beside zorpa-preview.exe nor on PATH";
        return false;
    }
    platform::PipedProcess ffmpeg;
    const std::vector<std::string> words =
        ffmpeg_arguments(program, options.scale, frames, sound_name, video_name);
    if (!ffmpeg.start(program, words, log_name, error)) return false;
    std::string frame_error;
    const bool piped = pipe_frames(source, options, frames, ffmpeg, err, frame_error);
    const int status = ffmpeg.finish();
    if (!frame_error.empty()) {
        error = frame_error;
        return false;
    }
    if (!piped || status != 0) {
        const std::string tail = log_tail(log_name);
        error = "ffmpeg failed making " + in_quotes(options.output) +
                (tail.empty() ? std::string() : ":\n" + tail);
        return false;
    }
    std::string unread;
    if (!platform::read_whole_file(video_name, video, unread)) {
        error = "ffmpeg wrote no video";
        return false;
    }
    return true;
}

}  // namespace

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
    std::vector<std::uint8_t> video;
    if (!make_video(source, options, check.frames, scratch, err, video, error)) return fail(error);
    if (!output.write(video.data(), video.size()) || !output.commit()) return fail(output.error());
    return 0;
}

}  // namespace brenvik::viewer
