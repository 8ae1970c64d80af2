// Prints the text of the open message box with the given caption as UTF-8,
// for end-to-end tests that check what the program showed.
// Usage: message_box_text <caption>      Exit code 1 when there is no such box.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
    const wchar_t* caption;
    HWND box = nullptr;
};

// #32770 is the dialog class of message boxes, but also that of a dialog
// program's main window, which may carry the same caption: a message box is
// the one with a push button of the standard answers.
BOOL CALLBACK matchBox(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<Search*>(data);
    wchar_t className[16] = {};
    wchar_t caption[256] = {};
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, caption, 256);
    if (std::wcscmp(className, L"#32770") != 0 || std::wcscmp(caption, search.caption) != 0) return TRUE;
    for (int answer : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        if (GetDlgItem(window, answer)) {
            search.box = window;
            return FALSE;
        }
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    Search search{argv[1]};
    EnumWindows(matchBox, reinterpret_cast<LPARAM>(&search));
    if (!search.box) return 1;
    // The box's text is its control 0xFFFF.
    wchar_t text[1024] = {};
    GetDlgItemTextW(search.box, 0xFFFF, text, 1024);
    char utf8[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    // Bytes as they are: no line-end translation of the text's line feeds.
    _setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(utf8, 1, std::char_traits<char>::length(utf8), stdout);
    return 0;
}
