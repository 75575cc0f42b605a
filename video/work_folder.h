// The folder a run keeps its work files in: the frames as BMPs, the
// encoded picture files, the sound, the record of the settings.
//
// The user's folder (--workdir) may hold other files: only the work files'
// names are removed from it, and the folder itself only when that leaves it
// empty. A temporary folder of the run's own goes whole.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace brenvik::video {

// UTF-8 names and paths, on Windows too.
std::filesystem::path path_of(const std::string& name);
std::string utf8_name(const std::filesystem::path& path);

// `name` as an absolute name: unchanged when it is one, else the current
// folder's name, a separator and `name` (on Linux not normalised, as the
// shell's $PWD/NAME).
std::string absolute_name(const std::string& name);

// The folder part of an absolute name ("/a/b/c.ZRP" gives "/a/b").
std::string folder_of(const std::string& name);

class WorkFolder {
  public:
    // `requested` (created with its parents if needed) or, when empty, a
    // new private folder brenvik-video.XXXXXX in the system's temporary
    // folder. False with the message when it cannot.
    bool create(const std::string& requested, std::string& error);

    const std::string& path() const { return path_; }
    bool own() const { return own_; }
    // The name of `file` in the folder.
    std::string file(const std::string& name) const;

    // The work files removed, as the class comment says.
    void remove_work_files() const;
    // The frames' BMPs removed (frame*.bmp).
    void remove_frames() const;

  private:
    // Removes the files (and links) whose names `doomed` picks; folders stay.
    void remove_files(const std::function<bool(const std::string&)>& doomed) const;

    std::string path_;
    bool own_ = false;
};

// Does `name` name a work file of the program (frame00012.bmp,
// Fframe00012.bVK, sound.wav, settings, ...)?
bool is_work_file(const std::string& name);

// Is `name` a complete picture file (a regular file of a picture file's size)?
bool is_complete_picture(const std::string& name);

// A name that is free in `folder`: PREFIX and six random letters or digits.
std::string unused_name(const std::string& folder, const std::string& prefix);

}  // namespace brenvik::video
