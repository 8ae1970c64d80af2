// Prints where a control of the running program's main window lies on the
// screen, as "x y" of its centre, so that a test can click it with the
// mouse as a user does (a button that opens a modal dialog cannot be pressed
// with a sent message: the sender would wait until the dialog closes).
// Usage: control_centre <control id>
// Exit codes: 0 done, 1 no main window, 2 bad command line, 3 no such
// control or it is not visible.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "main_window.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    wchar_t* end = nullptr;
    const long id = std::wcstol(argv[1], &end, 0);
    if (end == argv[1] || *end != L'\0') return 2;
    const HWND main = findMainWindow();
    if (!main) return 1;
    const HWND control = GetDlgItem(main, static_cast<int>(id));
    if (!control || !IsWindowVisible(control)) return 3;
    RECT client;
    if (!GetClientRect(control, &client)) return 3;
    POINT centre{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
    if (!ClientToScreen(control, &centre)) return 3;
    std::printf("%ld %ld\n", static_cast<long>(centre.x), static_cast<long>(centre.y));
    return 0;
}
