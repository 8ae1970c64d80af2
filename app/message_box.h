#pragma once
// A printf-style message box without an owner window (start-up errors).

// Formats into a 256-byte text (a longer one is cut), shows it in a modal box
// with no owner, the caption and the style (a Windows MB_ style; code page
// 1251 texts), gives the keyboard focus back to the window that had it and
// returns the box's result.
int FormattedMessageBox(const char* caption, unsigned int style, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
