// Prints the text of the open message box with the given caption as UTF-8,
// for end-to-end tests that check what the program showed.
// Usage: message_box_text <caption>      Exit code 1 when there is no such box.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    // #32770 is the dialog class of message boxes; their text is control 0xFFFF.
    const HWND box = FindWindowW(L"#32770", argv[1]);
    if (!box) return 1;
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    char utf8[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    // Bytes as they are: no line-end translation of the text's line feeds.
    _setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(utf8, 1, std::char_traits<char>::length(utf8), stdout);
    return 0;
}
