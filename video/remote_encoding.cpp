#include "video/remote_encoding.h"

#include <filesystem>
#include <random>
#include <sstream>
#include <string_view>
#include <system_error>

#include "atomic_output_file.h"
#include "platform_files.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace brenvik::video {
namespace {

namespace fs = std::filesystem;

constexpr const char* kParallel = "parallel";
constexpr const char* kList = "encoder.list";
constexpr const char* kJobLog = "encoder.joblog";
constexpr const char* kOutput = "encoder.log";
constexpr const char* kEncoderCopy = "brenvik";

std::string text_of(const std::string& name) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!platform::read_whole_file(name, bytes, error)) return {};
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> split(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t at; (at = line.find(separator, start)) != std::string::npos; start = at + 1) {
        fields.push_back(line.substr(start, at - start));
    }
    fields.push_back(line.substr(start));
    return fields;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

// The folder's name on every machine: this host, this process, a random number.
std::string far_folder_name() {
    std::string host = "host";
#ifndef _WIN32
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0) host = name;
#endif
    host = host.substr(0, host.find('.'));
    std::random_device device;
    std::uniform_int_distribution<int> number(0, 32767);
    return ".brenvik-video-" + host + "-" + std::to_string(platform::process_id()) + "-" +
           std::to_string(number(device)) + std::to_string(number(device));
}

// The last "frameNNNNN.bmp" in `text`, or "".
std::string last_frame_name(const std::string& text) {
    constexpr std::string_view kStart = "frame", kEnd = ".bmp";
    constexpr std::size_t kDigits = 5;
    std::string last;
    for (std::size_t at = text.find(kStart); at != std::string::npos;
         at = text.find(kStart, at + 1)) {
        const std::size_t digits = at + kStart.size();
        if (text.size() < digits + kDigits + kEnd.size()) break;
        bool numbered = true;
        for (std::size_t i = digits; i < digits + kDigits; ++i) {
            numbered = numbered && text[i] >= '0' && text[i] <= '9';
        }
        if (numbered && text.compare(digits + kDigits, kEnd.size(), kEnd) == 0) {
            last = text.substr(at, kStart.size() + kDigits + kEnd.size());
        }
    }
    return last;
}

// The frame of the first job that ended with a status of its own (the
// others were stopped), from GNU parallel's job log.
std::string first_failed_frame(const std::string& job_log) {
    const std::vector<std::string> lines = lines_of(job_log);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> fields = split(lines[i], '\t');
        if (fields.size() < 9 || fields[6] == "0" || fields[7] != "0") continue;
        return last_frame_name(fields.back());
    }
    return {};
}

}  // namespace

std::string shell_quoted(const std::string& text) {
    const bool plain = !text.empty() && text.find_first_not_of(
                                            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                            "0123456789_-./=:,+@%") == std::string::npos;
    if (plain) return text;
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

RemoteEncoding::RemoteEncoding(const RemoteRequest& request, const WorkFolder& folder)
    : request_(request), folder_(folder) {}

std::vector<std::string> RemoteEncoding::common_options() const {
    std::vector<std::string> words = {kParallel, "--will-cite"};
    for (const std::string& login : request_.sshlogins)
        words.insert(words.end(), {"--sshlogin", login});
    for (const std::string& file : request_.sshloginfiles) {
        words.insert(words.end(), {"--sshloginfile", file});
    }
    return words;
}

bool RemoteEncoding::start(const std::vector<std::string>& frames, std::string& error) {
    std::string list;
    for (const std::string& frame : frames) list += frame + "\n";
    if (!fileout::write_whole_file(folder_.file(kList), list.data(), list.size(), error)) {
        return false;
    }
    // The same folder name on every machine, under the login's home; ":"
    // (this machine) finds the frames through a link of that name to the
    // work folder.
    far_folder_ = far_folder_name();
    std::error_code failure;
    fs::create_directory_symlink(".", path_of(folder_.file(far_folder_)), failure);
    std::string command = request_.remote_encoder;
    std::vector<std::string> words = common_options();
    words.insert(words.end(), {"--halt", "now,fail=1", "--joblog", kJobLog, "--tag"});
    if (request_.jobs > 0) words.insert(words.end(), {"--jobs", std::to_string(request_.jobs)});
    if (request_.bar) words.push_back("--bar");
    words.insert(words.end(), {"--workdir", far_folder_, "--transferfile", "{}", "--return",
                               "{.}.bVK", "--return", "F{.}.bVK", "--cleanup"});
    const bool send_encoder = command.empty();
    if (send_encoder) {
        fs::copy_file(path_of(request_.brenvik), path_of(folder_.file(kEncoderCopy)),
                      fs::copy_options::overwrite_existing, failure);
        if (failure) {
            error =
                "cannot copy " + request_.brenvik + " into the work folder: " + failure.message();
            return false;
        }
        command = std::string("./") + kEncoderCopy;
    }
    // One file sent once for the whole run, the encoder or else the frame
    // list: GNU parallel's clean-up after each job removes the far folder
    // when it is empty, which another job's transfer into it may meet
    // half-way; the file keeps it until the run's own clean-up.
    const char* kept = send_encoder ? kEncoderCopy : kList;
    words.insert(words.end(), {"--basefile", folder_.path() + "/./" + kept});
    // The encoder's trace is of no use here; its messages come back tagged
    // with the frame.
    std::string quoted = shell_quoted(command) + " --mode=2";
    for (const std::string& argument : request_.encoder_arguments) {
        quoted += " " + shell_quoted(argument);
    }
    words.insert(words.end(), {quoted + " {} 2>&1 >/dev/null", "::::", kList});
    // A session of its own: a terminal's Ctrl-C reaches this program alone,
    // which then stops GNU parallel and its jobs (stop()), rather than
    // racing with it.
    platform::ChildSetup setup;
    setup.folder = folder_.path();
    setup.output_file = folder_.file(kOutput);
    setup.share_error = true;
    setup.own_session = true;
    return parallel_.start(kParallel, words, setup, error);
}

void RemoteEncoding::stop() {
    if (!parallel_.running()) return;
    // Twice: GNU parallel then stops its running jobs too instead of
    // waiting for them.
    parallel_.terminate();
    if (!parallel_.wait_for(500)) parallel_.terminate();
    while (!parallel_.wait_for(1000)) {
    }
}

std::string RemoteEncoding::failure_message() const {
    const std::string failed = first_failed_frame(text_of(folder_.file(kJobLog)));
    const std::vector<std::string> output = lines_of(text_of(folder_.file(kOutput)));
    if (!failed.empty()) {
        std::vector<std::string> said;
        for (const std::string& line : output) {
            if (line.compare(0, failed.size() + 1, failed + "\t") == 0) {
                said.push_back(line.substr(failed.size() + 1));
            }
        }
        const std::string message = joined(said);
        return "frame " + failed + " could not be encoded: " +
               (message.empty() ? "the encoder failed without a message" : message);
    }
    const std::size_t first = output.size() > 5 ? output.size() - 5 : 0;
    return "encoding stopped (GNU parallel status " + std::to_string(parallel_.status()) +
           "): " + joined(std::vector<std::string>(output.begin() + first, output.end()));
}

void RemoteEncoding::remove_helpers() const {
    std::error_code ignored;
    fs::remove(path_of(folder_.file(far_folder_)), ignored);
    fs::remove(path_of(folder_.file(kEncoderCopy)), ignored);
}

void RemoteEncoding::clean_far_side() const {
    std::vector<std::string> words = common_options();
    words.insert(words.end(), {"--nonall", "rm -rf -- ~/" + far_folder_});
    platform::ChildProcess cleaner;
    std::string error;
    if (!cleaner.start(kParallel, words, {}, error)) return;
    while (!cleaner.wait_for(1000)) {
    }
}

}  // namespace brenvik::video
