// Tests of the zorpamux dialog on Windows (run under Wine with a display).
// The file choosers, message boxes and quitting go through a fake
// Win32Services, so no system dialog ever opens; the buttons are pressed
// and the fields typed into as a user would, through window messages.
#include <gtest/gtest.h>

// clang-format off
// windows.h first: commctrl.h needs its types.
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mux_layout.h"
#include "tests/common/files.h"
#include "win32_dialog.h"

namespace {

namespace fs = std::filesystem;
using zorpamux::Chooser;
using zorpamux::MessageKind;
using zorpamux::Win32Dialog;

// A folder name outside every 8-bit code page.
const wchar_t* const kNonAsciiFolder = L"d\u00e9j\u00e0-\u5199\u771f";

struct Message {
    MessageKind kind;
    std::wstring title;
    std::wstring text;
};

class FakeServices : public zorpamux::Win32Services {
  public:
    std::deque<std::optional<std::wstring>> pictures, sounds, containers;
    std::vector<std::wstring> start_directories;
    std::vector<Message> messages;
    std::vector<int> quits;

    std::optional<std::wstring> choose_file(HWND, Chooser which,
                                            const std::wstring& start_directory) override {
        start_directories.push_back(start_directory);
        auto& queue = which == Chooser::Picture ? pictures
                      : which == Chooser::Sound ? sounds
                                                : containers;
        if (queue.empty()) return std::nullopt;
        std::optional<std::wstring> answer = queue.front();
        queue.pop_front();
        return answer;
    }
    void show_message(HWND, MessageKind kind, const std::wstring& title,
                      const std::wstring& text) override {
        messages.push_back({kind, title, text});
    }
    void quit(int status) override { quits.push_back(status); }
};

zorpa::ContainerResult unexpected_writer(const zorpa::ContainerRequest&, const zorpa::Progress&) {
    ADD_FAILURE() << "the container writer was called";
    return {};
}

// The dialog, created from the test program's resources and shown.
class Window {
  public:
    explicit Window(FakeServices& services,
                    zorpamux::ContainerWriter writer = zorpa::write_container)
        : dialog_(services, std::move(writer)) {
        window_ = dialog_.create(GetModuleHandleW(nullptr));
        if (window_ != nullptr) ShowWindow(window_, SW_SHOW);
        pump();
    }
    HWND window() const { return window_; }
    HWND item(int id) const { return GetDlgItem(window_, id); }
    const Win32Dialog& dialog() const { return dialog_; }

    // Runs the messages waiting, through the dialog's keyboard filter.
    void pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!dialog_.handles(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    void click(int id) {
        SendMessageW(item(id), BM_CLICK, 0, 0);
        pump();
    }
    std::wstring text(int id) const {
        wchar_t buffer[4096] = {};
        GetDlgItemTextW(window_, id, buffer, 4096);
        return buffer;
    }
    // Types into a field, one character message per character.
    void type(int id, const std::wstring& characters) {
        SetFocus(item(id));
        SendMessageW(item(id), EM_SETSEL, 0, -1);
        SendMessageW(item(id), WM_CHAR, VK_BACK, 0);
        for (wchar_t c : characters) SendMessageW(item(id), WM_CHAR, c, 0);
        pump();
    }
    int bar_position() const {
        return static_cast<int>(SendMessageW(item(ZORPAMUX_PROGRESS_ID), PBM_GETPOS, 0, 0));
    }
    PBRANGE bar_range() const {
        PBRANGE range{};
        SendMessageW(item(ZORPAMUX_PROGRESS_ID), PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
        return range;
    }

  private:
    Win32Dialog dialog_;
    HWND window_ = nullptr;
};

// A control's box in pixels: the dialog manager maps its place and its size
// from dialog units each on its own.
RECT dialog_box(HWND window, int x, int y, int w, int h) {
    RECT units{x, y, w, h};
    MapDialogRect(window, &units);
    return RECT{units.left, units.top, units.left + units.right, units.top + units.bottom};
}

RECT client_box(HWND window, int id) {
    RECT box;
    GetWindowRect(GetDlgItem(window, id), &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    return box;
}

bool same_box(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::wstring windows_name(const fs::path& path) {
    std::wstring name = path.wstring();
    for (wchar_t& c : name) {
        if (c == L'/') c = L'\\';
    }
    return name;
}

TEST(ZorpamuxWindow, FreshStart) {
    FakeServices services;
    Window w(services, unexpected_writer);
    ASSERT_NE(w.window(), nullptr);
    wchar_t title[128] = {};
    GetWindowTextW(w.window(), title, 128);
    EXPECT_EQ(std::wstring(title), L"STE Zorpa multiplexer");

    const struct {
        int id;
        const wchar_t* text;
        int x, y, width, height;
    } controls[] = {
        {ZORPAMUX_QUIT_ID, L"QUIT", ZORPAMUX_QUIT_BOX},
        {ZORPAMUX_SELECT_PICTURE_ID, L"Select BVK", ZORPAMUX_SELECT_PICTURE_BOX},
        {ZORPAMUX_SELECT_SOUND_ID, L"Select Audio", ZORPAMUX_SELECT_SOUND_BOX},
        {ZORPAMUX_CREATE_ID, L"Create ZRP", ZORPAMUX_CREATE_BOX},
        {ZORPAMUX_PICTURE_LABEL_ID, L"ANIM0000.BVK", ZORPAMUX_PICTURE_LABEL_BOX},
        {ZORPAMUX_SOUND_LABEL_ID, L"AUDIO.WAV", ZORPAMUX_SOUND_LABEL_BOX},
        {ZORPAMUX_START_LABEL_ID, L"Start frame:", ZORPAMUX_START_LABEL_BOX},
        {ZORPAMUX_START_FIELD_ID, L"0", ZORPAMUX_START_FIELD_BOX},
        {ZORPAMUX_OFFSET_FIELD_ID, L"0", ZORPAMUX_OFFSET_FIELD_BOX},
        {ZORPAMUX_LAST_LABEL_ID, L"Last frame # :", ZORPAMUX_LAST_LABEL_BOX},
        {ZORPAMUX_LAST_FIELD_ID, L"0", ZORPAMUX_LAST_FIELD_BOX},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(w.text(c.id), c.text) << c.id;
        EXPECT_TRUE(same_box(client_box(w.window(), c.id),
                             dialog_box(w.window(), c.x, c.y, c.width, c.height)))
            << c.id;
    }
    for (int id : {ZORPAMUX_START_FIELD_ID, ZORPAMUX_OFFSET_FIELD_ID, ZORPAMUX_LAST_FIELD_ID}) {
        const LONG_PTR style = GetWindowLongPtrW(w.item(id), GWL_STYLE);
        EXPECT_TRUE(style & ES_NUMBER) << id;
        EXPECT_TRUE(style & ES_RIGHT) << id;
    }
    const auto type_of = [&](int id) {
        return GetWindowLongPtrW(w.item(id), GWL_STYLE) & SS_TYPEMASK;
    };
    EXPECT_EQ(type_of(ZORPAMUX_PICTURE_LABEL_ID), SS_RIGHT);
    EXPECT_EQ(type_of(ZORPAMUX_START_LABEL_ID), SS_CENTER);
    EXPECT_EQ(type_of(ZORPAMUX_LAST_LABEL_ID), SS_LEFT);

    EXPECT_TRUE(same_box(client_box(w.window(), ZORPAMUX_PROGRESS_ID), RECT{10, 142, 346, 160}));
    EXPECT_EQ(w.bar_range().iLow, 0);
    EXPECT_EQ(w.bar_range().iHigh, 80);
    EXPECT_EQ(w.bar_position(), 0);
    EXPECT_NE(SendMessageW(w.window(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_TRUE(w.dialog().model().picture_name().empty());
}

TEST(ZorpamuxWindow, FieldsTakeDigitsOnly) {
    FakeServices services;
    Window w(services, unexpected_writer);
    for (int id : {ZORPAMUX_START_FIELD_ID, ZORPAMUX_OFFSET_FIELD_ID, ZORPAMUX_LAST_FIELD_ID}) {
        w.type(id, L"4a-2 b+9.");
        EXPECT_EQ(w.text(id), L"429") << id;
        // Pasted or set text is filtered too.
        SetDlgItemTextW(w.window(), id, L"1x2\u0663 3");
        EXPECT_EQ(w.text(id), L"123") << id;
    }
}

TEST(ZorpamuxWindow, ChoosersShowNamesAndCancelKeepsThem) {
    const std::wstring start = fs::current_path().wstring();
    FakeServices services;
    const std::wstring picture =
        L"C:\\films\\" + std::wstring(kNonAsciiFolder) + L"\\ANIM00000.BVK";
    const std::wstring sound = L"C:\\films\\\u97f3.WAV";
    services.pictures = {picture, std::nullopt};
    services.sounds = {sound};
    Window w(services, unexpected_writer);
    w.click(ZORPAMUX_SELECT_PICTURE_ID);
    w.click(ZORPAMUX_SELECT_PICTURE_ID);
    w.click(ZORPAMUX_SELECT_SOUND_ID);
    EXPECT_EQ(w.text(ZORPAMUX_PICTURE_LABEL_ID), picture);
    EXPECT_EQ(w.text(ZORPAMUX_SOUND_LABEL_ID), sound);
    EXPECT_EQ(zorpamux::utf16(w.dialog().model().picture_name()), picture);
    EXPECT_EQ(zorpamux::utf16(w.dialog().model().sound_name()), sound);
    EXPECT_EQ(services.start_directories, std::vector<std::wstring>(3, start));
    EXPECT_TRUE(services.messages.empty());
}

TEST(ZorpamuxWindow, CreatePassesFieldsAndNamesToWriter) {
    FakeServices services;
    const std::wstring picture = L"C:\\" + std::wstring(kNonAsciiFolder) + L"\\ANIM00000.BVK";
    services.pictures = {picture};
    services.containers = {std::nullopt, L"C:\\out\\\u5199.ZRP"};
    int calls = 0;
    zorpa::ContainerRequest seen;
    Window w(services, [&](const zorpa::ContainerRequest& request, const zorpa::Progress&) {
        ++calls;
        seen = request;
        zorpa::ContainerResult result;
        result.ok = true;
        return result;
    });
    w.click(ZORPAMUX_CREATE_ID);  // no picture yet: a message, nothing asked
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(services.messages[0].title, L"STE Zorpa multiplexer");
    EXPECT_NE(services.messages[0].text.find(L"\"Select BVK\""), std::wstring::npos);
    EXPECT_TRUE(services.start_directories.empty());

    w.click(ZORPAMUX_SELECT_PICTURE_ID);
    w.type(ZORPAMUX_START_FIELD_ID, L"12");
    w.type(ZORPAMUX_OFFSET_FIELD_ID, L"34");
    w.type(ZORPAMUX_LAST_FIELD_ID, L"56");
    w.click(ZORPAMUX_CREATE_ID);  // chooser cancelled
    EXPECT_EQ(calls, 0);
    w.click(ZORPAMUX_CREATE_ID);
    ASSERT_EQ(calls, 1);
    EXPECT_EQ(zorpamux::utf16(seen.picture_name), picture);
    EXPECT_TRUE(seen.sound_name.empty());
    EXPECT_EQ(zorpamux::utf16(seen.container_name), L"C:\\out\\\u5199.ZRP");
    EXPECT_EQ(seen.start_frame, 12u);
    EXPECT_EQ(seen.sound_offset, 34u);
    EXPECT_EQ(seen.last_frame, 56u);
    EXPECT_EQ(services.messages.size(), 1u);
}

TEST(ZorpamuxWindow, BarFollowsTheWriter) {
    FakeServices services;
    services.pictures = {L"C:\\ANIM00000.BVK"};
    services.containers = {L"C:\\out.ZRP"};
    std::vector<int> positions;
    bool writing = false;
    Window* self = nullptr;
    Window w(services, [&](const zorpa::ContainerRequest&, const zorpa::Progress& progress) {
        writing = self->dialog().model().writing();
        progress.set_range(0, 3);
        progress.set_position(0);
        positions.push_back(self->bar_position());
        for (int i = 0; i < 4; ++i) {
            progress.step();
            positions.push_back(self->bar_position());
        }
        zorpa::ContainerResult result;
        result.ok = true;
        return result;
    });
    self = &w;
    w.click(ZORPAMUX_SELECT_PICTURE_ID);
    w.click(ZORPAMUX_CREATE_ID);
    EXPECT_TRUE(writing);
    EXPECT_EQ(w.bar_range().iHigh, 3);
    // A step past the top of the range starts over from the bottom.
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_TRUE(services.messages.empty());
}

// The writer's message names the missing frame in UTF-8; the dialog shows
// it in UTF-16 with the name intact (an 8-bit code page cannot hold it).
TEST(ZorpamuxWindow, WriterMessageKeepsNonAsciiNames) {
    testsupport::TempDir dir;
    const fs::path folder = dir.path() / kNonAsciiFolder;
    fs::create_directories(folder);
    testsupport::write_file(folder / "ANIM00000.BVK", std::vector<std::uint8_t>(51200, 7));
    FakeServices services;
    services.pictures = {windows_name(folder / "ANIM00000.BVK")};
    services.containers = {windows_name(folder / "out.ZRP")};
    Window w(services);
    w.click(ZORPAMUX_SELECT_PICTURE_ID);
    w.type(ZORPAMUX_LAST_FIELD_ID, L"1");
    w.click(ZORPAMUX_CREATE_ID);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(services.messages[0].title, L"Error");
    EXPECT_NE(services.messages[0].text.find(windows_name(folder / "ANIM00001")),
              std::wstring::npos)
        << zorpamux::utf8(services.messages[0].text);
}

TEST(ZorpamuxWindow, QuitButtonEscapeAndCloseBoxQuit) {
    FakeServices services;
    Window w(services, unexpected_writer);
    w.click(ZORPAMUX_QUIT_ID);
    EXPECT_EQ(services.quits, std::vector<int>{0});
    SetFocus(w.item(ZORPAMUX_OFFSET_FIELD_ID));
    PostMessageW(w.item(ZORPAMUX_OFFSET_FIELD_ID), WM_KEYDOWN, VK_ESCAPE, 0);
    w.pump();
    EXPECT_EQ(services.quits, (std::vector<int>{0, 0}));
    SendMessageW(w.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    w.pump();
    EXPECT_EQ(services.quits, (std::vector<int>{0, 0, 0}));
    EXPECT_TRUE(IsWindow(w.window()));
    EXPECT_TRUE(services.messages.empty());
}

TEST(ZorpamuxWindow, SystemChoosersGetEachFilterAndPattern) {
    using namespace std::string_literals;
    EXPECT_EQ(zorpamux::filter_list(zorpamux::chooser_spec(Chooser::Picture)),
              L"BVK files (*.BVK)\0*.BVK\0All Files (*.*)\0*.*\0\0"s);
    EXPECT_EQ(zorpamux::filter_list(zorpamux::chooser_spec(Chooser::Container)),
              L"ZRP files (*.ZRP)\0*.ZRP\0\0"s);
}

// With ZORPAMUX_FIXTURE naming a folder made by zorpamux_window_test.sh
// (frames, a WAV, the fields' values and the container the Linux
// zorpamux-cli wrote from them, all in a subfolder with a non-ASCII name),
// the dialog writes the same bytes.
TEST(ZorpamuxWindow, ContainerMatchesLinuxWriter) {
    using namespace std::string_literals;
    const char* fixture = std::getenv("ZORPAMUX_FIXTURE");
    if (fixture == nullptr) GTEST_SKIP() << "ZORPAMUX_FIXTURE not set";
    const fs::path folder = fs::path(fixture) / kNonAsciiFolder;
    std::ifstream fields(folder / "fields.txt");
    int first = 0, offset = 0, last = 0;
    ASSERT_TRUE(fields >> first >> offset >> last);
    wchar_t number[8];
    swprintf(number, 8, L"%05d", first);
    FakeServices services;
    services.pictures = {windows_name(folder / (L"clip"s + number + L".BVK"))};
    services.sounds = {windows_name(folder / "sound.WAV")};
    services.containers = {windows_name(folder / "window.ZRP")};
    Window w(services);
    w.click(ZORPAMUX_SELECT_PICTURE_ID);
    w.click(ZORPAMUX_SELECT_SOUND_ID);
    w.type(ZORPAMUX_START_FIELD_ID, std::to_wstring(first));
    w.type(ZORPAMUX_OFFSET_FIELD_ID, std::to_wstring(offset));
    w.type(ZORPAMUX_LAST_FIELD_ID, std::to_wstring(last));
    w.click(ZORPAMUX_CREATE_ID);
    for (const Message& m : services.messages) ADD_FAILURE() << zorpamux::utf8(m.text);
    const std::vector<std::uint8_t> written = testsupport::read_file(folder / "window.ZRP");
    const std::vector<std::uint8_t> expected = testsupport::read_file(folder / "linux.ZRP");
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
    EXPECT_EQ(w.bar_position(), w.bar_range().iHigh);
}

}  // namespace
