// Tells where the keyboard input of the running program goes: the title of
// its active window (the main window, or a dialog or message box it shows)
// and the window that has the keyboard focus, for end-to-end tests that must
// know a dialog is ready for keys, or why keys were not taken.
// Usage: keyboard_focus
// Prints two lines in UTF-8: the active window's title, then
// "<class> <control id>" of the focused window, or "none" when no window of
// the program has the focus. Exit code 1 when the program's main window is
// not there.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "main_window.h"

int wmain() {
    _setmode(_fileno(stdout), _O_BINARY);
    const HWND main = findMainWindow();
    if (!main) return 1;
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) return 1;
    wchar_t title[256] = {};
    if (info.hwndActive) GetWindowTextW(info.hwndActive, title, 256);
    printLine(title);
    if (!info.hwndFocus) {
        printLine(L"none");
        return 0;
    }
    wchar_t className[64] = {};
    GetClassNameW(info.hwndFocus, className, 64);
    printLine(std::wstring(className) + L" " + std::to_wstring(GetDlgCtrlID(info.hwndFocus)));
    return 0;
}
