#include "video/frame_extraction.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "atomic_output_file.h"
#include "format/bmp.h"
#include "format/container.h"
#include "format/wav.h"
#include "platform_files.h"
#include "video/work_folder.h"

namespace brenvik::video {
namespace {

namespace fs = std::filesystem;

// Pixels made square first, so that the aspect kept is the one seen.
constexpr const char* kSquarePixels = "scale=w='trunc(iw*if(gt(sar,0),sar,1))':h=ih";

std::vector<std::string> input_arguments(const ExtractionSettings& settings, bool from_start) {
    std::vector<std::string> words = {settings.ffmpeg, "-nostdin", "-hide_banner", "-loglevel",
                                      "error"};
    if (!settings.input_rate.empty())
        words.insert(words.end(), {"-framerate", settings.input_rate});
    if (from_start && !settings.start.empty()) words.insert(words.end(), {"-ss", settings.start});
    words.insert(words.end(), {"-i", settings.input});
    return words;
}

void add_cut(std::vector<std::string>& words, const ExtractionSettings& settings) {
    if (!settings.duration.empty()) words.insert(words.end(), {"-t", settings.duration});
}

}  // namespace

std::vector<std::string> sound_probe_arguments(const ExtractionSettings& settings) {
    std::vector<std::string> words = input_arguments(settings, false);
    words.insert(words.end(), {"-map", "0:a:0", "-c", "copy", "-t", "0", "-f", "null", "-"});
    return words;
}

std::vector<std::string> size_probe_arguments(const ExtractionSettings& settings) {
    std::vector<std::string> words = input_arguments(settings, true);
    words.insert(words.end(), {"-map", "0:v:0", "-vf", kSquarePixels, "-frames:v", "1", "-c:v",
                               "bmp", "-update", "1", "-y", kSizeProbe});
    return words;
}

std::string frame_filter(input::Size shown, input::Fit fit) {
    const input::Placement placement =
        input::place_picture(shown, kWindow, fit, input::Gravity::centre);
    const int window_top = format::container::kFirstWindowLine - 1;
    return std::string(kSquarePixels) +
           ",fps=" + std::to_string(format::container::kFramesPerSecond) + "," +
           input::ffmpeg_filter(placement, kWindow) + ",pad=" + std::to_string(kFrame.width) + ":" +
           std::to_string(kFrame.height) + ":0:" + std::to_string(window_top) + ":black,setsar=1";
}

std::vector<std::string> extraction_arguments(const ExtractionSettings& settings, input::Size shown,
                                              bool sound) {
    std::vector<std::string> words = input_arguments(settings, true);
    words.insert(words.end(), {"-map", "0:v:0"});
    add_cut(words, settings);
    words.insert(words.end(), {"-vf", frame_filter(shown, settings.fit), "-frames:v",
                               std::to_string(kMostFrames), "-c:v", "bmp", "-pix_fmt", "bgr24",
                               "-start_number", "0", "-y", kFramePattern});
    if (sound) {
        words.insert(words.end(), {"-map", "0:a:0"});
        add_cut(words, settings);
        words.insert(words.end(), {"-ac", "1", "-ar", std::to_string(format::container::kSoundRate),
                                   "-f", "u8", kRawSound});
    }
    return words;
}

bool bmp_size(const std::string& name, input::Size& size) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!platform::read_whole_file(name, bytes, error) ||
        bytes.size() < format::bmp::kRequiredHeaderBytes || bytes[0] != 'B' || bytes[1] != 'M') {
        return false;
    }
    const auto width =
        static_cast<std::int32_t>(format::bmp::read_le32(&bytes[format::bmp::kWidthOffset]));
    const auto height =
        static_cast<std::int32_t>(format::bmp::read_le32(&bytes[format::bmp::kHeightOffset]));
    size = {width, height < 0 ? -height : height};
    return size.width > 0 && size.height > 0;
}

bool make_wav(const std::string& raw_name, const std::string& wav_name, std::string& error) {
    std::error_code failure;
    const fs::path raw = path_of(raw_name);
    const std::uintmax_t size = fs::file_size(raw, failure);
    std::FILE* samples = platform::open_stdio_file(raw_name, "rb");
    if (failure || samples == nullptr || size > 0xFFFFFFFFu - 36) {
        if (samples != nullptr) std::fclose(samples);
        error = "cannot read the sound ffmpeg wrote ('" + raw_name + "')";
        return false;
    }
    fileout::AtomicOutputFile wav(wav_name);
    const auto header =
        format::wav_header(static_cast<std::uint32_t>(size), format::container::kSoundRate);
    bool ok = wav.open() && wav.write(header.data(), header.size());
    std::vector<char> buffer(1 << 16);
    for (std::size_t got = 0;
         ok && (got = std::fread(buffer.data(), 1, buffer.size(), samples)) > 0;) {
        ok = wav.write(buffer.data(), got);
    }
    ok = ok && !std::ferror(samples) && wav.commit();
    std::fclose(samples);
    if (!ok) {
        error = wav.error().empty() ? "cannot read '" + raw_name + "'" : wav.error();
        return false;
    }
    fs::remove(raw, failure);
    return true;
}

std::size_t count_frames(const std::string& folder) {
    std::size_t count = 0;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(path_of(folder), error)) {
        const std::u8string name = entry.path().filename().u8string();
        // frame?????.bmp
        if (name.size() == 14 && name.compare(0, 5, u8"frame") == 0 &&
            name.compare(10, 4, u8".bmp") == 0) {
            ++count;
        }
    }
    return count;
}

std::string frame_stem(std::size_t index) {
    char stem[32];
    std::snprintf(stem, sizeof stem, "frame%05zu", index);
    return stem;
}

}  // namespace brenvik::video
