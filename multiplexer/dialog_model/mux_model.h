// What the zorpamux window does, apart from any window toolkit: the file
// choosers it asks for, how the fields are read and checked, the messages it
// shows and the container it has written. The Qt window (Linux) and the
// Win32 dialog (Windows) are thin layers over this model: they draw the
// controls, pass the button presses in, and answer the WindowHost calls.
//
// Text crosses this interface as UTF-8 (file names, messages) or UTF-16
// (the fields' text, as both toolkits hold it); the container writer takes
// UTF-8 names on every system, and its messages come back in UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "container_writer.h"
#include "mux_layout.h"

namespace zorpamux {

inline constexpr const char* kWindowTitle = ZORPAMUX_TITLE;
inline constexpr const char* kErrorTitle = "Error";
inline constexpr const char* kChoosePictureFirst =
    "Please choose the first picture file of the series with \"Select BVK\" first.";
inline constexpr const char* kWriteFailed = "The container could not be written.";

enum class MessageKind { Information, Error };
enum class Field { Start, Offset, Last };
enum class Chooser { Picture, Sound, Container };

// One line of a chooser's list of file types: the text shown and the
// pattern it stands for, matched without regard to case.
struct NameFilter {
    const char* text;
    const char* pattern;
};

// How each chooser is set up.
struct ChooserSpec {
    const char* title;
    bool save;                        // asks for a new name (and confirms overwriting)
    std::vector<NameFilter> filters;  // the first one is selected
    const char* default_suffix;       // added to a name typed without one ("" = none)
};
const ChooserSpec& chooser_spec(Chooser which);

// Longest field text that is read, as a 64-byte buffer would hold it.
inline constexpr std::size_t kFieldTextLimit = 63;

// A field's text as a number, read like the C runtime's atoi: leading blanks,
// an optional sign, then decimal digits up to the first other character. Only
// the first 63 characters count; values beyond the int range saturate.
int field_number(std::u16string_view text);

// The fields take decimal digits only (an empty field is fine).
bool field_text_acceptable(std::u16string_view text);
// The text with every character other than a decimal digit left out.
std::u16string digits_only(std::u16string_view text);

// The bar as the window shows it: a range of ints and a position inside it.
// An empty range shows as an empty bar of 0..1.
struct BarState {
    int low = 0;
    int high = 80;
    int position = 0;
};

// Everything the model asks of the window around it.
class WindowHost {
  public:
    virtual ~WindowHost() = default;

    // The chosen file's full name in UTF-8, or nothing when cancelled.
    virtual std::optional<std::string> choose_file(Chooser which,
                                                   const std::string& start_directory) = 0;
    virtual void show_message(MessageKind kind, const std::string& title,
                              const std::string& text) = 0;
    // Ends the program with the given exit status.
    virtual void quit(int status) = 0;

    virtual std::u16string field_text(Field field) = 0;
    // Shows a chosen name in the picture's (Chooser::Picture) or the
    // sound's (Chooser::Sound) label.
    virtual void show_name(Chooser which, const std::string& name) = 0;
    // The wait cursor, while a file is taken in or the container written.
    virtual void set_busy(bool busy) = 0;
    // Shows the bar; while the writer works (`writing`), the window repaints
    // but leaves mouse and keyboard input queued until it returns.
    virtual void show_progress(const BarState& bar, bool writing) = 0;
};

using ContainerWriter =
    std::function<zorpa::ContainerResult(const zorpa::ContainerRequest&, const zorpa::Progress&)>;

// The writer's request from what the window holds.
zorpa::ContainerRequest make_request(const std::string& picture_name, const std::string& sound_name,
                                     std::u16string_view start_text,
                                     std::u16string_view offset_text, std::u16string_view last_text,
                                     const std::string& container_name);

class MuxModel {
  public:
    // The host and the writer must outlive the model.
    MuxModel(WindowHost& host, ContainerWriter writer, std::string start_directory);

    const std::string& picture_name() const { return picture_name_; }
    const std::string& sound_name() const { return sound_name_; }
    const std::string& start_directory() const { return start_directory_; }
    bool writing() const { return writing_; }
    BarState bar() const;

    // The buttons, in their order. Escape and the close box quit too.
    void quit_clicked();
    void select_picture_clicked();
    void select_sound_clicked();
    void create_clicked();

  private:
    // The bar as the writer drives it: a range, a position and a step of one
    // that starts over from the low end when it passes the high end.
    void progress_set_range(std::uint32_t low, std::uint32_t high);
    void progress_set_position(std::uint32_t position);
    void progress_step();
    void show_progress();
    zorpa::ContainerResult run_writer(const zorpa::ContainerRequest& request);

    WindowHost& host_;
    ContainerWriter writer_;
    std::string picture_name_;
    std::string sound_name_;
    std::string start_directory_;

    long long progress_low_ = 0;
    long long progress_high_ = 80;
    long long progress_position_ = 0;

    bool writing_ = false;
    bool quit_pending_ = false;
};

}  // namespace zorpamux
