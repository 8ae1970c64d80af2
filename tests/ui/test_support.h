#pragma once
// Helpers shared by the window framework tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/resource.h"

inline HINSTANCE moduleInstance() { return GetModuleHandleW(nullptr); }

// Handles what is queued for this thread, at most `limit` messages, so that a
// window that keeps posting cannot hang a test.
inline void pumpMessages(int limit = 1000) {
    MSG msg;
    for (int i = 0; i < limit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

inline std::wstring windowText(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

inline std::wstring className(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

inline std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// Rectangle of a window in screen coordinates.
inline RECT screenRect(HWND hwnd) {
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    return rect;
}

// A fixture holding dialog 101 of the program's resources, created (hidden)
// through a dialog object of type D, and destroyed after the test.
template <class D>
class CreatedDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dialog.CreateModeless(moduleInstance(), IDD_MAIN, nullptr), nullptr)
            << "dialog 101 was not created (is there a display?), error " << GetLastError();
    }
    void TearDown() override {
        if (dialog.hwnd != nullptr) DestroyWindow(dialog.hwnd);
        pumpMessages();
    }
    D dialog;
};
