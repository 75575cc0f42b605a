#include "video/video_run.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

#include "atomic_output_file.h"
#include "child_process.h"
#include "container_writer.h"
#include "format/container.h"
#include "platform_files.h"
#include "video/frame_extraction.h"
#include "video/local_encoder.h"
#include "video/progress.h"
#include "video/remote_encoding.h"
#include "video/stop_request.h"
#include "video/video_options.h"
#include "video/work_folder.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace brenvik::video {
namespace {

namespace fs = std::filesystem;

// How often a wait looks for a stop request.
constexpr int kPollMilliseconds = 50;
constexpr const char* kSettings = "settings";
constexpr const char* kExtracted = "extracted";

bool exists(const std::string& name) {
    std::error_code error;
    return fs::exists(path_of(name), error);
}

void remove(const std::string& name) {
    std::error_code error;
    fs::remove(path_of(name), error);
}

// A file's text without its trailing newlines (as the shell's $(<FILE)).
std::string text_of(const std::string& name) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    platform::read_whole_file(name, bytes, error);
    std::string text(bytes.begin(), bytes.end());
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// Anything but a protocol's URL (http://..., pipe:...) is a path: a file or
// an image-sequence pattern such as shots/img%04d.png.
bool is_url(const std::string& name) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (name.empty() || !letter(name[0])) return false;
    for (std::size_t i = 1; i < name.size(); ++i) {
        const char c = name[i];
        if (c == ':') return true;
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '.' && c != '-') return false;
    }
    return false;
}

bool writable_folder(const std::string& name) {
    std::error_code error;
    if (!fs::is_directory(path_of(name), error)) return false;
#ifdef _WIN32
    return true;
#else
    return ::access(name.c_str(), W_OK) == 0;
#endif
}

class VideoRun {
  public:
    VideoRun(VideoOptions options, std::FILE* out, std::FILE* err)
        : options_(std::move(options)), out_(out), err_(err) {}

    int run() {
        if (find_programs() && check_paths() && open_work_folder() && go_on() && check_settings() &&
            extract() && go_on() && read_frame_count() && encode() && go_on() && check_pictures() &&
            pack() && go_on()) {
            print_summary();
        }
        return finish();
    }

  private:
    bool find_programs();
    bool check_paths();
    bool open_work_folder();
    bool check_settings();
    bool extract();
    bool extract_frames(bool sound);
    bool run_ffmpeg(const std::vector<std::string>& words, int& status);
    bool read_frame_count();
    bool encode();
    bool encode_here(const std::vector<std::string>& frames);
    bool encode_remotely(const std::vector<std::string>& frames);
    bool check_pictures();
    bool pack();
    void print_summary();
    int finish();

    // Names the failure; the run then ends with status 1.
    bool fail(const std::string& message) {
        std::fprintf(err_, "%s: %s\n", kProgram, message.c_str());
        status_ = 1;
        return false;
    }
    // False, with the status asked for, once a stop request came.
    bool go_on() {
        status_ = stop_status();
        return status_ == 0;
    }
    std::string picture_name(std::size_t frame) const {
        return folder_.file((options_.diffused ? "F" : "") + frame_stem(frame) + ".bVK");
    }

    VideoOptions options_;
    std::FILE* out_;
    std::FILE* err_;
    int status_ = 0;
    std::string ffmpeg_;
    std::string brenvik_;
    bool folder_open_ = false;
    WorkFolder folder_;
    std::string settings_;
    std::chrono::steady_clock::time_point started_;
    std::size_t frame_count_ = 0;
    std::size_t encode_count_ = 0;
    std::unique_ptr<LocalEncoder> local_;
    std::unique_ptr<RemoteEncoding> remote_;
    std::string container_temporary_;
};

bool VideoRun::find_programs() {
    ffmpeg_ = platform::locate_program("ffmpeg");
#ifdef _WIN32
    if (ffmpeg_.empty()) {
        return fail(
            "cannot run ffmpeg: ffmpeg.exe is neither beside brenvik-video.exe nor on PATH");
    }
#else
    if (ffmpeg_.empty()) return fail("cannot find ffmpeg on PATH (Debian: ffmpeg)");
    if (!options_.remote()) return true;
    if (platform::locate_program("parallel").empty()) {
        return fail("cannot find parallel on PATH (Debian: parallel)");
    }
    if (!options_.remote_encoder.empty()) return true;
    // The encoder sent to the other machines: the one beside this program
    // first, then one on PATH.
    const std::string here = platform::own_folder();
    brenvik_ = platform::locate_program(here + "/brenvik");
    if (brenvik_.empty()) brenvik_ = platform::locate_program("brenvik");
    if (brenvik_.empty()) return fail("cannot find brenvik beside " + here + " or on PATH");
#endif
    return true;
}

bool VideoRun::check_paths() {
    // Names the user gave stay valid whatever folder a helper runs in.
    if (!is_url(options_.input)) options_.input = absolute_name(options_.input);
    options_.output = absolute_name(options_.output);
    const std::string& output = options_.output;
    if (!writable_folder(folder_of(output))) {
        return fail("cannot write the container '" + output +
                    "': its folder is missing or not writable");
    }
    std::error_code error;
    if (fs::is_directory(path_of(output), error)) {
        return fail("cannot write the container '" + output + "': it is a folder");
    }
    for (std::string& file : options_.sshloginfiles) file = absolute_name(file);
    return true;
}

bool VideoRun::open_work_folder() {
    std::string error;
    if (!folder_.create(options_.workdir, error)) return fail(error);
    folder_open_ = true;
    return true;
}

// What decides the frames' content: a resumed run must have made them the
// same way.
bool VideoRun::check_settings() {
    std::string encoder;
    for (const std::string& argument : encoder_arguments(options_)) {
        encoder += (encoder.empty() ? "" : " ") + argument;
    }
    settings_ = "input=" + options_.input + "\nstart=" + options_.start +
                "\nduration=" + options_.duration + "\ninput_rate=" + options_.input_rate +
                "\nfit=" + input::fit_name(options_.fit) + "\nencoder=" + encoder;
    const std::string recorded = folder_.file(kSettings);
    if (options_.resume && exists(recorded)) {
        const std::string earlier = text_of(recorded);
        if (earlier != settings_) {
            return fail("cannot resume in '" + folder_.path() +
                        "': it was made with other settings:\n" + earlier);
        }
    }
    started_ = std::chrono::steady_clock::now();
    return true;
}

// Runs ffmpeg in the work folder, its messages into ffmpeg.log; false
// when the run must end (it could not start, or a stop request came).
bool VideoRun::run_ffmpeg(const std::vector<std::string>& words, int& status) {
    platform::ChildSetup setup;
    setup.folder = folder_.path();
    setup.error_file = folder_.file(kLog);
    platform::ChildProcess ffmpeg;
    std::string error;
    if (!ffmpeg.start(ffmpeg_, words, setup, error)) return fail(error);
    while (!ffmpeg.wait_for(kPollMilliseconds)) {
        if (!go_on()) {
            ffmpeg.terminate();
            while (!ffmpeg.wait_for(1000)) {
            }
            return false;
        }
    }
    status = ffmpeg.status();
    return true;
}

ExtractionSettings extraction_settings(const VideoOptions& options, const std::string& ffmpeg) {
    return {ffmpeg,           options.input,      options.start,
            options.duration, options.input_rate, options.fit};
}

bool VideoRun::extract() {
    if (options_.resume && exists(folder_.file(kExtracted)) && exists(folder_.file(kSettings))) {
        return true;  // the frames of the earlier run are there
    }
    for (const char* name : {kExtracted, kRawSound, kSound}) remove(folder_.file(name));
    folder_.remove_frames();
    const std::string settings = settings_ + "\n";
    std::string message;
    if (!fileout::write_whole_file(folder_.file(kSettings), settings.data(), settings.size(),
                                   message)) {
        return fail(message);
    }
    int status = 0;
    if (!run_ffmpeg(sound_probe_arguments(extraction_settings(options_, ffmpeg_)), status)) {
        return false;
    }
    const bool sound = status == 0;
    std::fprintf(err_, "%s: taking the frames%s from %s\n", kProgram, sound ? " and the sound" : "",
                 options_.input.c_str());
    return extract_frames(sound);
}

bool VideoRun::extract_frames(bool sound) {
    const ExtractionSettings settings = extraction_settings(options_, ffmpeg_);
    const auto ffmpeg_failed = [&] {
        const std::string log = text_of(folder_.file(kLog));
        remove(folder_.file(kLog));
        return fail("ffmpeg cannot read '" + options_.input + "': " + log);
    };
    int status = 0;
    if (!run_ffmpeg(size_probe_arguments(settings), status)) return false;
    if (status != 0) return ffmpeg_failed();
    input::Size shown;
    const bool any_frame = bmp_size(folder_.file(kSizeProbe), shown);
    remove(folder_.file(kSizeProbe));
    // Nothing in the part asked for: no frame to take.
    if (any_frame) {
        if (!run_ffmpeg(extraction_arguments(settings, shown, sound), status)) return false;
        if (status != 0) return ffmpeg_failed();
    }
    remove(folder_.file(kLog));
    std::string error;
    if (exists(folder_.file(kRawSound)) &&
        !make_wav(folder_.file(kRawSound), folder_.file(kSound), error)) {
        return fail(error);
    }
    const std::string count = std::to_string(count_frames(folder_.path())) + "\n";
    if (!fileout::write_whole_file(folder_.file(kExtracted), count.data(), count.size(), error)) {
        return fail(error);
    }
    return true;
}

bool VideoRun::read_frame_count() {
    const std::string count = text_of(folder_.file(kExtracted));
    frame_count_ = 0;
    for (const char c : count) {
        if (c < '0' || c > '9') break;
        frame_count_ = frame_count_ * 10 + static_cast<std::size_t>(c - '0');
    }
    if (frame_count_ == 0) {
        return fail("no frame in '" + options_.input + "'" +
                    (options_.start.empty() ? "" : " from " + options_.start));
    }
    if (frame_count_ >= static_cast<std::size_t>(kMostFrames)) {
        std::fprintf(err_, "%s: the container holds at most %d frames: the rest is left out\n",
                     kProgram, kMostFrames);
    }
    return true;
}

bool VideoRun::encode() {
    // A frame is done when the picture file to be packed is there at its
    // full size (each file is renamed into place only once complete).
    std::vector<std::string> frames;
    for (std::size_t frame = 0; frame < frame_count_; ++frame) {
        if (options_.resume && is_complete_picture(picture_name(frame))) continue;
        frames.push_back(frame_stem(frame) + ".bmp");
    }
    encode_count_ = frames.size();
    if (encode_count_ > 0) {
        std::fprintf(err_, "%s: encoding %zu of %zu frames\n", kProgram, encode_count_,
                     frame_count_);
        const bool encoded = options_.remote() ? encode_remotely(frames) : encode_here(frames);
        if (!encoded) return false;
    }
    if (remote_) remote_->remove_helpers();
    return true;
}

bool VideoRun::encode_here(const std::vector<std::string>& frames) {
    std::vector<FrameFile> files;
    for (const std::string& name : frames) files.push_back({name, folder_.file(name)});
    const unsigned jobs =
        options_.jobs > 0 ? options_.jobs : std::max(1u, std::thread::hardware_concurrency());
    local_ = std::make_unique<LocalEncoder>(std::move(files), encode_options(options_), jobs,
                                            brenvik::encode, options_.threads);
    local_->start();
    TerminalProgress progress(err_);
    while (!local_->wait_for(kPollMilliseconds * 4)) {
        progress.show(local_->done(), local_->total());
        if (!go_on()) {
            progress.end();
            return false;
        }
    }
    progress.show(local_->done(), local_->total());
    progress.end();
    if (const std::optional<FrameFailure> failure = local_->failure()) {
        return fail("frame " + failure->frame + " could not be encoded: " + failure->message);
    }
    return true;
}

bool VideoRun::encode_remotely(const std::vector<std::string>& frames) {
    RemoteRequest request;
    request.sshlogins = options_.sshlogins;
    request.sshloginfiles = options_.sshloginfiles;
    request.remote_encoder = options_.remote_encoder;
    request.brenvik = brenvik_;
    request.jobs = options_.jobs;
    request.bar = err_ == stderr && platform::standard_error_is_terminal();
    request.encoder_arguments = encoder_arguments(options_);
    // Not part of the recorded settings: the threads do not change the bytes.
    request.encoder_arguments.push_back(std::string(options::kThreads.name) + "=" +
                                        std::to_string(options_.threads));
    remote_ = std::make_unique<RemoteEncoding>(request, folder_);
    std::string error;
    if (!remote_->start(frames, error)) return fail(error);
    while (!remote_->wait_for(kPollMilliseconds)) {
        if (!go_on()) return false;
    }
    if (remote_->status() != 0) return fail(remote_->failure_message());
    return true;
}

bool VideoRun::check_pictures() {
    for (std::size_t frame = 0; frame < frame_count_; ++frame) {
        const std::string picture = picture_name(frame);
        if (!is_complete_picture(picture)) {
            return fail("frame " + frame_stem(frame) + ".bmp has no complete picture file " +
                        utf8_name(path_of(picture).filename()));
        }
    }
    return true;
}

bool VideoRun::pack() {
    container_temporary_ = unused_name(folder_of(options_.output), ".brenvik-video.");
    zorpa::ContainerRequest request;
    request.picture_name = picture_name(0);
    if (exists(folder_.file(kSound))) request.sound_name = folder_.file(kSound);
    request.start_frame = 0;
    request.last_frame = static_cast<std::uint32_t>(frame_count_ - 1);
    request.sound_offset = 0;
    request.container_name = container_temporary_;
    const zorpa::ContainerResult result = zorpa::write_container(request);
    if (!go_on()) return false;
    if (!result.ok) return fail("cannot pack the container: " + result.message);
    if (platform::replace_file(container_temporary_, options_.output) != 0) {
        return fail("cannot write the container '" + options_.output + "'");
    }
    container_temporary_.clear();
    return true;
}

void VideoRun::print_summary() {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    std::error_code error;
    const std::uintmax_t bytes = fs::file_size(path_of(options_.output), error);
    std::fprintf(out_, "frames=%zu encoded=%zu seconds=%.2f fps=%.2f bytes=%ju container=%s\n",
                 frame_count_, encode_count_, seconds,
                 seconds > 0 ? static_cast<double>(frame_count_) / seconds : 0.0, bytes,
                 options_.output.c_str());
}

// The clean-up every run ends with, whatever stopped it.
int VideoRun::finish() {
    if (!folder_open_) return status_;
    if (remote_) remote_->stop();
    if (local_ && status_ != 0) local_->abandon();
    if (!container_temporary_.empty()) remove(container_temporary_);
    if (remote_ && remote_->started()) remote_->clean_far_side();
    const bool keep = options_.keep;
    if ((status_ == 0 && !keep) || (folder_.own() && !keep)) {
        folder_.remove_work_files();
    } else if (status_ != 0) {
        std::fprintf(err_, "%s: work files kept in %s (go on with --resume --workdir=%s)\n",
                     kProgram, folder_.path().c_str(), folder_.path().c_str());
    } else {
        std::fprintf(err_, "%s: work files kept in %s\n", kProgram, folder_.path().c_str());
    }
    return status_;
}

}  // namespace

int run_video(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    VideoOptions options;
    std::string error;
    const std::vector<std::string> arguments(args.begin() + (args.empty() ? 0 : 1), args.end());
    if (!parse_arguments(arguments, options, error)) {
        std::fprintf(err, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                     error.c_str(), kProgram);
        return 1;
    }
    if (options.help) {
        std::fputs(usage_text().c_str(), out);
        return 0;
    }
    return VideoRun(std::move(options), out, err).run();
}

}  // namespace brenvik::video
