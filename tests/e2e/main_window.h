#pragma once
// What the end-to-end test helpers share: finding the running program's main
// window, and printing a line of text as UTF-8 with a bare line feed.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

inline constexpr wchar_t kMainTitle[] = L"  Quorvel v3.1 [ May 18 2008 ]";
// Message boxes of the program carry the same caption: the main window is the
// one that holds the main plot.
inline constexpr int kMainPlotId = 1005;

inline HWND findMainWindow() {
    struct Search {
        HWND found = nullptr;
    } search;
    // CALLBACK: the system calls it as __stdcall, which differs in 32 bits.
    EnumWindows(
        [](HWND window, LPARAM data) CALLBACK -> BOOL {
            wchar_t title[128] = {};
            GetWindowTextW(window, title, 128);
            if (std::wcscmp(title, kMainTitle) != 0 || !GetDlgItem(window, kMainPlotId)) return TRUE;
            reinterpret_cast<Search*>(data)->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Standard output must be in binary mode (_setmode), or the line feed
// becomes CR LF.
inline void printLine(const std::wstring& text) {
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
    utf8 += '\n';
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}
