#include "video/work_folder.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <random>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "format/container.h"

namespace brenvik::video {
namespace fs = std::filesystem;

namespace {

std::string utf8(const fs::path& path) {
    return utf8_name(path);
}

bool starts_with(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

bool ends_with(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Removes a file, or a folder with all it holds (`all`). On Windows a
// program that has just ended may hold its files open for a moment more
// (Wine does; a virus scanner does on Windows itself), which refuses the
// removal with a sharing violation: it is tried again for up to two seconds.
void remove_soon(const fs::path& path, bool all) {
#ifdef _WIN32
    constexpr int kAttempts = 40;
#else
    constexpr int kAttempts = 1;
#endif
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::error_code error;
        if (all) {
            fs::remove_all(path, error);
        } else {
            fs::remove(path, error);
        }
        if (!error || attempt + 1 == kAttempts) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace

fs::path path_of(const std::string& name) {
    return fs::path(std::u8string(name.begin(), name.end()));
}

std::string utf8_name(const fs::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

std::string absolute_name(const std::string& name) {
    const fs::path path = path_of(name);
    if (path.is_absolute()) return name;
    std::error_code error;
#ifdef _WIN32
    const fs::path absolute = fs::absolute(path, error);
    return error ? name : utf8(absolute);
#else
    const fs::path here = fs::current_path(error);
    return error ? name : utf8(here) + "/" + name;
#endif
}

std::string folder_of(const std::string& name) {
    return utf8(path_of(name).parent_path());
}

std::string unused_name(const std::string& folder, const std::string& prefix) {
    static constexpr std::string_view kLetters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::mt19937 random(device());
    for (;;) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i) name += kLetters[random() % kLetters.size()];
        std::error_code error;
        const std::string candidate = utf8(path_of(folder) / path_of(name));
        if (!fs::exists(path_of(candidate), error) && !error) return candidate;
    }
}

bool WorkFolder::create(const std::string& requested, std::string& error) {
    std::error_code failure;
    if (!requested.empty()) {
        fs::create_directories(path_of(requested), failure);
        if (failure || !fs::is_directory(path_of(requested), failure)) {
            error = "cannot create the work folder '" + requested + "'";
            return false;
        }
        path_ = absolute_name(requested);
        own_ = false;
        return true;
    }
    const fs::path base = fs::temp_directory_path(failure);
    for (int attempt = 0; !failure && attempt < 100; ++attempt) {
        const std::string candidate = unused_name(utf8(base), "brenvik-video.");
        if (fs::create_directory(path_of(candidate), failure)) {
            fs::permissions(path_of(candidate), fs::perms::owner_all, fs::perm_options::replace,
                            failure);
            path_ = candidate;
            own_ = true;
            return true;
        }
    }
    error = "cannot create a temporary folder";
    return false;
}

std::string WorkFolder::file(const std::string& name) const {
    return utf8(path_of(path_) / path_of(name));
}

bool is_work_file(const std::string& name) {
    static const std::array<std::string_view, 10> kNames = {
        "sound.raw",      "sound.wav",    "settings",   "extracted",    "encoder.log",
        "encoder.joblog", "encoder.list", "ffmpeg.log", "zorpamux.log", "brenvik"};
    for (const std::string_view known : kNames) {
        if (name == known) return true;
    }
    return (starts_with(name, "frame") && (ends_with(name, ".bmp") || ends_with(name, ".bVK"))) ||
           (starts_with(name, "Fframe") && ends_with(name, ".bVK")) ||
           starts_with(name, ".brenvik-video-");
}

void WorkFolder::remove_files(const std::function<bool(const std::string&)>& doomed) const {
    std::error_code error;
    std::vector<fs::path> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(path_of(path_), error)) {
        std::error_code ignored;
        // A link goes, whatever it points to; a folder stays.
        const bool folder = !entry.is_symlink(ignored) && entry.is_directory(ignored);
        if (!folder && doomed(utf8(entry.path().filename()))) names.push_back(entry.path());
    }
    for (const fs::path& name : names) remove_soon(name, false);
}

void WorkFolder::remove_work_files() const {
    if (own_) {
        remove_soon(path_of(path_), true);
        return;
    }
    remove_files(is_work_file);
    // Only an empty folder goes.
    std::error_code error;
    fs::remove(path_of(path_), error);
}

void WorkFolder::remove_frames() const {
    remove_files([](const std::string& name) {
        return starts_with(name, "frame") && ends_with(name, ".bmp");
    });
}

bool is_complete_picture(const std::string& name) {
    std::error_code error;
    const fs::path path = path_of(name);
    return fs::is_regular_file(path, error) &&
           fs::file_size(path, error) == format::container::kFramePictureBytes && !error;
}

}  // namespace brenvik::video
