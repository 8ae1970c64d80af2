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

namespace {

constexpr wchar_t kMainTitle[] = L"  Quorvel v3.1 [ May 18 2008 ]";
// Message boxes carry the main window's title too: the main window is the
// one that holds the main plot.
constexpr int kMainPlotId = 1005;

BOOL CALLBACK matchMain(HWND window, LPARAM data) {
    wchar_t title[128] = {};
    GetWindowTextW(window, title, 128);
    if (std::wcscmp(title, kMainTitle) != 0 || !GetDlgItem(window, kMainPlotId)) return TRUE;
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
}

void printLine(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr,
                        nullptr);
    utf8 += '\n';
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

}  // namespace

int wmain() {
    _setmode(_fileno(stdout), _O_BINARY);
    HWND main = nullptr;
    EnumWindows(matchMain, reinterpret_cast<LPARAM>(&main));
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
