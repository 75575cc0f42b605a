// zorpamux.exe: the STE Zorpa multiplexer window on Windows. No command-line
// options; the inputs are the window's fields.
#include "win32_dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    zorpamux::SystemServices services;
    zorpamux::Win32Dialog dialog(services);
    HWND window = dialog.create(instance);
    if (window == nullptr) {
        MessageBoxW(nullptr, L"The window could not be created.", L"zorpamux", MB_ICONERROR);
        return 1;
    }
    ShowWindow(window, show);
    MSG message;
    BOOL got = 0;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (!dialog.handles(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return got < 0 ? 1 : static_cast<int>(message.wParam);
}
