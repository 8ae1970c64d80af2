#include "app/message_box.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "ui/text_win.h"

int FormattedMessageBox(const char* caption, unsigned int style, const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);

    HWND focus = GetFocus();
    const int result = MessageBoxW(nullptr, widenCp1251(text).c_str(), widenCp1251(caption).c_str(), style);
    if (focus) SetFocus(focus);
    return result;
}
