#include "win32_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <utility>
#include <vector>

#include "mux_layout.h"
#include "platform_files.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");

namespace zorpamux {

namespace {

// Longest name the choosers return, in UTF-16 units.
constexpr DWORD kNameCapacity = 32768;

std::wstring current_directory() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring name(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, name.data());
    name.resize(length < size ? length : 0);
    return name;
}

COLORREF colour(int red, int green, int blue) {
    return RGB(red, green, blue);
}

COLORREF background_colour() {
    return colour(ZORPAMUX_BACKGROUND);
}

int field_id(Field field) {
    switch (field) {
        case Field::Start:
            return ZORPAMUX_START_FIELD_ID;
        case Field::Offset:
            return ZORPAMUX_OFFSET_FIELD_ID;
        case Field::Last:
            break;
    }
    return ZORPAMUX_LAST_FIELD_ID;
}

std::wstring window_text(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Labels were laid out for the narrow fonts of another system; when a fixed
// label's text is wider than its box with the font here, give it a
// condensed copy of the font, just narrow enough, instead of letting it
// wrap out of sight. Returns the font made (for the caller to delete), or
// nullptr when the text fits.
HFONT condense_to_fit(HWND label) {
    const std::wstring text = window_text(label);
    RECT box;
    GetClientRect(label, &box);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    HDC context = GetDC(label);
    const auto width_with = [&](HFONT candidate) {
        const HGDIOBJ previous = SelectObject(context, candidate);
        SIZE extent{};
        GetTextExtentPoint32W(context, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(context, previous);
        return extent.cx;
    };
    HFONT condensed = nullptr;
    if (width_with(font) > box.right) {
        LOGFONTW shape{};
        GetObjectW(font, sizeof shape, &shape);
        TEXTMETRICW metrics{};
        const HGDIOBJ previous = SelectObject(context, font);
        GetTextMetricsW(context, &metrics);
        SelectObject(context, previous);
        for (int stretch = 98; stretch >= 60; stretch -= 2) {
            if (condensed != nullptr) DeleteObject(condensed);
            shape.lfWidth = metrics.tmAveCharWidth * stretch / 100;
            condensed = CreateFontIndirectW(&shape);
            if (width_with(condensed) <= box.right) break;
        }
        SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(condensed), FALSE);
    }
    ReleaseDC(label, context);
    return condensed;
}

void centre_on_screen(HWND window) {
    RECT outer;
    GetWindowRect(window, &outer);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    SetWindowPos(window, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

std::wstring utf16(const std::string& text) {
    return platform::wide(text);
}

std::string utf8(const std::wstring& text) {
    return platform::narrow(text.c_str());
}

std::wstring filter_list(const ChooserSpec& spec) {
    std::wstring list;
    for (const NameFilter& filter : spec.filters) {
        list += utf16(filter.text);
        list += L'\0';
        list += utf16(filter.pattern);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

std::optional<std::wstring> SystemServices::choose_file(HWND owner, Chooser which,
                                                        const std::wstring& start_directory) {
    const ChooserSpec& spec = chooser_spec(which);
    const std::wstring filters = filter_list(spec);
    const std::wstring title = utf16(spec.title);
    const std::wstring suffix = utf16(spec.default_suffix);
    std::vector<wchar_t> name(kNameCapacity, L'\0');
    OPENFILENAMEW chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = owner;
    chooser.lpstrFilter = filters.c_str();
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = name.data();
    chooser.nMaxFile = kNameCapacity;
    chooser.lpstrInitialDir = start_directory.c_str();
    chooser.lpstrTitle = title.c_str();
    chooser.lpstrDefExt = suffix.empty() ? nullptr : suffix.c_str();
    chooser.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (spec.save) {
        chooser.Flags |= OFN_OVERWRITEPROMPT;
        if (GetSaveFileNameW(&chooser) == 0) return std::nullopt;
    } else {
        chooser.Flags |= OFN_FILEMUSTEXIST;
        if (GetOpenFileNameW(&chooser) == 0) return std::nullopt;
    }
    std::wstring chosen(name.data());
    if (chosen.empty()) return std::nullopt;
    return chosen;
}

void SystemServices::show_message(HWND owner, MessageKind kind, const std::wstring& title,
                                  const std::wstring& text) {
    const UINT icon = kind == MessageKind::Error ? MB_ICONERROR : MB_ICONINFORMATION;
    MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | icon);
}

void SystemServices::quit(int status) {
    PostQuitMessage(status);
}

Win32Dialog::Win32Dialog(Win32Services& services, ContainerWriter writer)
    : services_(services), model_(*this, std::move(writer), utf8(current_directory())) {}

Win32Dialog::~Win32Dialog() {
    if (window_ != nullptr) DestroyWindow(window_);
    if (background_ != nullptr) DeleteObject(background_);
    for (HFONT font : fonts_) DeleteObject(font);
}

HWND Win32Dialog::create(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    background_ = CreateSolidBrush(background_colour());
    window_ = CreateDialogParamW(instance, MAKEINTRESOURCEW(kDialogResource), nullptr, procedure,
                                 reinterpret_cast<LPARAM>(this));
    if (window_ == nullptr) return nullptr;
    const auto icon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    if (icon != nullptr) {
        SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    centre_on_screen(window_);
    return window_;
}

INT_PTR CALLBACK Win32Dialog::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32Dialog*>(l);
        SetWindowLongPtrW(window, DWLP_USER, l);
        self->window_ = window;
        self->initialise();
        return TRUE;
    }
    auto* self = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return self == nullptr ? FALSE : self->handle(message, w, l);
}

void Win32Dialog::initialise() {
    // The bar sits below the controls and is placed in pixels.
    HWND bar = GetDlgItem(window_, ZORPAMUX_PROGRESS_ID);
    SetWindowPos(bar, nullptr, ZORPAMUX_PROGRESS_PIXELS, SWP_NOZORDER | SWP_NOACTIVATE);
    for (const int id :
         {ZORPAMUX_START_FIELD_ID, ZORPAMUX_OFFSET_FIELD_ID, ZORPAMUX_LAST_FIELD_ID}) {
        SetDlgItemTextW(window_, id, L"" ZORPAMUX_FIELD_TEXT);
    }
    for (const int id : {ZORPAMUX_START_LABEL_ID, ZORPAMUX_LAST_LABEL_ID}) {
        if (HFONT font = condense_to_fit(GetDlgItem(window_, id))) fonts_.push_back(font);
    }
    show_progress(model_.bar(), false);
}

INT_PTR Win32Dialog::handle(UINT message, WPARAM w, LPARAM) {
    switch (message) {
        case WM_COMMAND:
            command(LOWORD(w), HIWORD(w));
            return TRUE;
        case WM_CLOSE:
            // Ending the program is up to the services; the window stays.
            model_.quit_clicked();
            return TRUE;
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(background_);
        case WM_CTLCOLORSTATIC: {
            // Black text on the window's background.
            const auto context = reinterpret_cast<HDC>(w);
            SetTextColor(context, RGB(0, 0, 0));
            SetBkColor(context, background_colour());
            return reinterpret_cast<INT_PTR>(background_);
        }
        case WM_SETCURSOR:
            if (!busy_) return FALSE;
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        default:
            return FALSE;
    }
}

void Win32Dialog::command(int id, int notification) {
    switch (id) {
        case ZORPAMUX_QUIT_ID:
        case IDCANCEL:  // Escape
            if (notification == BN_CLICKED) model_.quit_clicked();
            break;
        case ZORPAMUX_SELECT_PICTURE_ID:
            if (notification == BN_CLICKED) model_.select_picture_clicked();
            break;
        case ZORPAMUX_SELECT_SOUND_ID:
            if (notification == BN_CLICKED) model_.select_sound_clicked();
            break;
        case ZORPAMUX_CREATE_ID:
            if (notification == BN_CLICKED) model_.create_clicked();
            break;
        case ZORPAMUX_START_FIELD_ID:
        case ZORPAMUX_OFFSET_FIELD_ID:
        case ZORPAMUX_LAST_FIELD_ID:
            if (notification == EN_CHANGE) keep_digits(id);
            break;
        default:
            break;
    }
}

void Win32Dialog::keep_digits(int id) {
    // ES_NUMBER refuses typed characters other than digits; pasted or set
    // text is filtered here.
    if (filtering_) return;
    HWND field = GetDlgItem(window_, id);
    const std::wstring text = window_text(field);
    const std::u16string_view view(reinterpret_cast<const char16_t*>(text.data()), text.size());
    if (field_text_acceptable(view)) return;
    const std::u16string digits = digits_only(view);
    filtering_ = true;
    SetWindowTextW(field, reinterpret_cast<const wchar_t*>(digits.c_str()));
    SendMessageW(field, EM_SETSEL, digits.size(), digits.size());
    filtering_ = false;
}

std::optional<std::string> Win32Dialog::choose_file(Chooser which,
                                                    const std::string& start_directory) {
    const std::optional<std::wstring> chosen =
        services_.choose_file(window_, which, utf16(start_directory));
    if (!chosen) return std::nullopt;
    return utf8(*chosen);
}

void Win32Dialog::show_message(MessageKind kind, const std::string& title,
                               const std::string& text) {
    services_.show_message(window_, kind, utf16(title), utf16(text));
}

void Win32Dialog::quit(int status) {
    services_.quit(status);
}

std::u16string Win32Dialog::field_text(Field field) {
    const std::wstring text = window_text(GetDlgItem(window_, field_id(field)));
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

void Win32Dialog::show_name(Chooser which, const std::string& name) {
    const int id = which == Chooser::Sound ? ZORPAMUX_SOUND_LABEL_ID : ZORPAMUX_PICTURE_LABEL_ID;
    SetDlgItemTextW(window_, id, utf16(name).c_str());
    // The label is transparent: repaint the background under the old text.
    HWND label = GetDlgItem(window_, id);
    RECT box;
    GetWindowRect(label, &box);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&box), 2);
    InvalidateRect(window_, &box, TRUE);
    UpdateWindow(window_);
}

void Win32Dialog::set_busy(bool busy) {
    busy_ = busy;
    if (busy) {
        UpdateWindow(window_);
        restored_cursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    } else {
        SetCursor(restored_cursor_ != nullptr ? restored_cursor_ : LoadCursorW(nullptr, IDC_ARROW));
    }
}

void Win32Dialog::show_progress(const BarState& bar, bool writing) {
    HWND control = GetDlgItem(window_, ZORPAMUX_PROGRESS_ID);
    SendMessageW(control, PBM_SETRANGE32, static_cast<WPARAM>(bar.low), bar.high);
    SendMessageW(control, PBM_SETPOS, static_cast<WPARAM>(bar.position), 0);
    if (writing) {
        // Repaint while the writer works, but leave mouse and keyboard input
        // queued until it returns.
        UpdateWindow(control);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
            DispatchMessageW(&message);
        }
    }
}

}  // namespace zorpamux
