// The zorpamux window on Windows: a dialog from the resource script
// (zorpamux.rc) with the Qt window's controls, drawn with the system's
// controls and file choosers. What it does is the toolkit-free MuxModel's.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "container_writer.h"
#include "mux_model.h"

namespace zorpamux {

// Resource identifiers of the dialog template and the icon.
inline constexpr int kDialogResource = 100;
inline constexpr int kIconResource = 1;

// Everything the dialog asks of the outside world: the file choosers,
// message boxes and ending the program. Tests answer through their own.
class Win32Services {
  public:
    virtual ~Win32Services() = default;
    // The chosen full name, or nothing when cancelled.
    virtual std::optional<std::wstring> choose_file(HWND owner, Chooser which,
                                                    const std::wstring& start_directory) = 0;
    virtual void show_message(HWND owner, MessageKind kind, const std::wstring& title,
                              const std::wstring& text) = 0;
    virtual void quit(int status) = 0;
};

// The real thing: GetOpenFileNameW / GetSaveFileNameW, MessageBoxW and
// PostQuitMessage.
class SystemServices : public Win32Services {
  public:
    std::optional<std::wstring> choose_file(HWND owner, Chooser which,
                                            const std::wstring& start_directory) override;
    void show_message(HWND owner, MessageKind kind, const std::wstring& title,
                      const std::wstring& text) override;
    void quit(int status) override;
};

// A chooser's list of types as the system's choosers take it: text and
// pattern of each, every string ended by a zero, and one more zero.
std::wstring filter_list(const ChooserSpec& spec);

// UTF-8 to UTF-16 and back (the file layer's conversions).
std::wstring utf16(const std::string& utf8);
std::string utf8(const std::wstring& utf16);

class Win32Dialog : private WindowHost {
  public:
    // The services and the writer must outlive the dialog. The start
    // directory is the current directory at construction.
    explicit Win32Dialog(Win32Services& services, ContainerWriter writer = zorpa::write_container);
    ~Win32Dialog() override;
    Win32Dialog(const Win32Dialog&) = delete;
    Win32Dialog& operator=(const Win32Dialog&) = delete;

    // Creates the (modeless) dialog from the module's resources, centred
    // on the screen; nullptr on failure.
    HWND create(HINSTANCE instance);
    HWND window() const { return window_; }
    const MuxModel& model() const { return model_; }

    // The message loop's filter: keyboard navigation, Escape.
    bool handles(MSG& message) { return IsDialogMessageW(window_, &message) != 0; }

  private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    INT_PTR handle(UINT message, WPARAM w, LPARAM l);
    void initialise();
    void command(int id, int notification);
    void keep_digits(int field_id);

    std::optional<std::string> choose_file(Chooser which,
                                           const std::string& start_directory) override;
    void show_message(MessageKind kind, const std::string& title, const std::string& text) override;
    void quit(int status) override;
    std::u16string field_text(Field field) override;
    void show_name(Chooser which, const std::string& name) override;
    void set_busy(bool busy) override;
    void show_progress(const BarState& bar, bool writing) override;

    Win32Services& services_;
    MuxModel model_;
    HWND window_ = nullptr;
    HBRUSH background_ = nullptr;
    std::vector<HFONT> fonts_;  // condensed label fonts
    HCURSOR restored_cursor_ = nullptr;
    bool busy_ = false;
    bool filtering_ = false;
};

}  // namespace zorpamux
