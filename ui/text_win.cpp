#include "ui/text_win.h"

#include <windows.h>

namespace {
constexpr UINT kCodePage1251 = 1251;
}

std::wstring widenCp1251(const char* text) {
    if (text == nullptr || text[0] == '\0') return std::wstring();
    // The count includes the terminator; every byte of code page 1251 is one
    // UTF-16 unit.
    const int units = MultiByteToWideChar(kCodePage1251, 0, text, -1, nullptr, 0);
    if (units <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(kCodePage1251, 0, text, -1, &wide[0], units);
    wide.resize(static_cast<size_t>(units - 1));
    return wide;
}

std::string narrowCp1251(const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0') return std::string();
    const int bytes = WideCharToMultiByte(kCodePage1251, 0, text, -1, nullptr, 0, "?", nullptr);
    if (bytes <= 1) return std::string();
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(kCodePage1251, 0, text, -1, &narrow[0], bytes, "?", nullptr);
    narrow.resize(static_cast<size_t>(bytes - 1));
    return narrow;
}
