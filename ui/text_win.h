#pragma once
// Conversions between the program's texts (code page 1251 bytes, whatever the
// system's ANSI code page is) and the UTF-16 of the wide Windows APIs.
#include <string>

// Code page 1251 bytes, NUL-terminated, to UTF-16. Null gives an empty text.
std::wstring widenCp1251(const char* text);
// UTF-16, NUL-terminated, to code page 1251; characters that the code page
// lacks become '?'. Null gives an empty text.
std::string narrowCp1251(const wchar_t* text);
