// Pop-up windows of a framework-registered class, and Place. Needs a display.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "tests/ui/test_support.h"
#include "ui/window_win.h"

namespace {

constexpr UINT kThrowingMessage = WM_USER + 20;

class TestPopup : public PopupWindow {
public:
    using PopupWindow::PopupWindow;
    const MessageMapEntry* GetMessageMap() override { return messageMap; }

    int32_t onCreate() {
        hwndAtCreate = hwnd;
        return -1;
    }
    int32_t onThrow() { throw std::runtime_error("handler failed"); }
    void OnPaint(HDC dc, const RECT& client) override {
        ++paintCalls;
        paintDc = dc;
    }
    void OnDestroyed() override {
        ++destroyedCalls;
        extraBytesAtDestroyed = GetWindowLongPtrW(hwnd, 0);
        PopupWindow::OnDestroyed();
    }

    HWND hwndAtCreate = nullptr;
    int paintCalls = 0;
    HDC paintDc = nullptr;
    int destroyedCalls = 0;
    LONG_PTR extraBytesAtDestroyed = -1;
    static const MessageMapEntry messageMap[];
};

const MessageMapEntry TestPopup::messageMap[] = {
    {WM_CREATE, 0, 0, handler(&TestPopup::onCreate)},
    {kThrowingMessage, 0, 0, handler(&TestPopup::onThrow)},
    {0, 0, 0, nullptr},
};

class CountingClassInfo : public WindowClassInfo {
public:
    void FillClass(WNDCLASSEXW& description) override {
        ++fills;
        description.style = CS_DBLCLKS;
    }
    int fills = 0;
};

TEST(PopupWindow, CreateRegistersOnceAndReplacesTheWindow) {
    CountingClassInfo info;
    TestPopup popup("QuorvelTestPopupOnce", &info);
    const HWND first = popup.Create(nullptr, "first", 10, 20, 200, 100);
    ASSERT_NE(first, nullptr) << "error " << GetLastError();
    EXPECT_EQ(popup.hwndAtCreate, first) << "the handle is set from WM_NCCREATE on";
    EXPECT_TRUE(popup.windowExists);
    EXPECT_STREQ(info.className, "QuorvelTestPopupOnce");

    WNDCLASSEXW registered = {};
    registered.cbSize = sizeof(registered);
    ASSERT_TRUE(GetClassInfoExW(moduleInstance(), L"QuorvelTestPopupOnce", &registered));
    EXPECT_EQ(registered.cbWndExtra, 8);
    EXPECT_EQ(registered.style, static_cast<UINT>(CS_DBLCLKS)) << "FillClass adjusts the description";
    EXPECT_EQ(registered.hbrBackground, GetStockObject(WHITE_BRUSH));

    const LONG exStyle = GetWindowLongW(first, GWL_EXSTYLE);
    const LONG style = GetWindowLongW(first, GWL_STYLE);
    EXPECT_EQ(exStyle & (WS_EX_LAYERED | WS_EX_TOPMOST), WS_EX_LAYERED | WS_EX_TOPMOST);
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE), static_cast<LONG>(WS_POPUP | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongPtrW(first, 0), reinterpret_cast<LONG_PTR>(static_cast<Window*>(&popup)));

    const HWND second = popup.Create(nullptr, "second", 30, 40, 200, 100);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(info.fills, 1) << "the class is registered once per object";
    EXPECT_FALSE(IsWindow(first)) << "the previous window is destroyed";
    EXPECT_EQ(popup.destroyedCalls, 1);
    EXPECT_EQ(popup.hwnd, second);
    EXPECT_TRUE(popup.windowExists);
    EXPECT_EQ(popup.title(), "second");

    DestroyWindow(second);
    EXPECT_EQ(popup.destroyedCalls, 2);
    EXPECT_EQ(popup.extraBytesAtDestroyed, 0) << "the object is detached before OnDestroyed";
    EXPECT_EQ(popup.hwnd, nullptr);
    pumpMessages();
}

TEST(PopupWindow, ClassNames) {
    struct Case {
        const char* name;
        const char* ownName;
        std::wstring want;
    };
    const std::string longName = "QuorvelTest" + std::string(60, 'x');
    const Case cases[] = {
        {"no name of its own", nullptr, L"BrevikMainClass"},
        {"own name", "WindowsHelperClass", L"WindowsHelperClass"},
        {"at most 49 characters", longName.c_str(), std::wstring(L"QuorvelTest") + std::wstring(38, L'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestPopup popup(c.ownName);
        const HWND hwnd = popup.Create(nullptr, "", 0, 0, 50, 50);
        ASSERT_NE(hwnd, nullptr) << "error " << GetLastError();
        EXPECT_EQ(className(hwnd), c.want) << "got " << narrow(className(hwnd));
        EXPECT_EQ(std::strlen(popup.classInfo().className), c.want.size());
    }
    pumpMessages();
}

TEST(PopupWindow, TitleIsCodePage1251AndPlacementApplies) {
    TestPopup popup("QuorvelTestPopupTitle");
    // "Проба" in code page 1251, placed far beyond the bottom-right corner.
    const HWND hwnd = popup.Create(nullptr, "\xCF\xF0\xEE\xE1\xE0", 5000, 5000, 200, 100);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(windowText(hwnd), L"\x041F\x0440\x043E\x0431\x0430") << "got " << narrow(windowText(hwnd));
    const RECT rect = screenRect(hwnd);
    EXPECT_EQ(rect.left, GetSystemMetrics(SM_CXSCREEN) - 200) << "got " << rect.left;
    EXPECT_EQ(rect.top, GetSystemMetrics(SM_CYSCREEN) - 100) << "got " << rect.top;
    EXPECT_EQ(popup.left, 5000) << "the requested position is remembered";
    EXPECT_EQ(popup.top, 5000);
    pumpMessages();
}

TEST(PopupWindow, PaintAndExceptionsStayInsideTheProcedure) {
    TestPopup popup("QuorvelTestPopupPaint");
    const HWND hwnd = popup.Create(nullptr, "paint", 100, 100, 120, 80);
    ASSERT_NE(hwnd, nullptr);
    pumpMessages();
    popup.paintCalls = 0;
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
    EXPECT_EQ(popup.paintCalls, 1) << "got " << popup.paintCalls;
    EXPECT_NE(popup.paintDc, nullptr);

    EXPECT_EQ(SendMessageW(hwnd, kThrowingMessage, 0, 0), 0) << "the default procedure answers instead";
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST(PopupWindow, DestroyingTheObjectTakesItsWindowDown) {
    HWND hwnd;
    {
        TestPopup popup("QuorvelTestPopupScope");
        hwnd = popup.Create(nullptr, "scope", 0, 0, 50, 50);
        ASSERT_NE(hwnd, nullptr);
    }
    EXPECT_FALSE(IsWindow(hwnd));
    pumpMessages();
}

TEST(Place, ClampsCentresAndKeepsVisibility) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(screenWidth, 400);
    ASSERT_GT(screenHeight, 300);
    struct Case {
        const char* name;
        int startLeft, startTop, width, height;
        int32_t left, top;
        int wantLeft, wantTop;
    };
    const int w = 300, h = 200;
    const Case cases[] = {
        {"-1000 centres", 10, 10, w, h, -1000, -1000, (screenWidth - w) >> 1, (screenHeight - h) >> 1},
        {"beyond the bottom right", 10, 10, w, h, 5000, 5000, screenWidth - w, screenHeight - h},
        {"-999 is not centred but clamped", 10, 10, w, h, -999, -5, 0, 0},
        {"-20000 for both keeps an on-screen position", 100, 120, w, h, -20000, -20000, 100, 120},
        {"-20000 for both pulls the window back inside", -50, screenHeight - h / 2, w, h, -20000, -20000, 0,
         screenHeight - h},
        {"-20000 for one axis only centres it", 100, 120, w, h, -20000, 50, (screenWidth - w) >> 1, 50},
        {"wider than the screen and centred ends at 0", 10, 10, screenWidth + 100, h, -1000, 40, 0, 40},
    };
    for (bool visible : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (visible ? ", visible" : ", hidden"));
            Window window;
            window.hwnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | (visible ? WS_VISIBLE : 0), c.startLeft,
                                          c.startTop, c.width, c.height, nullptr, nullptr, moduleInstance(), nullptr);
            ASSERT_NE(window.hwnd, nullptr);
            window.Place(c.left, c.top);
            const RECT rect = screenRect(window.hwnd);
            EXPECT_EQ(rect.left, c.wantLeft) << "got " << rect.left << ", want " << c.wantLeft;
            EXPECT_EQ(rect.top, c.wantTop) << "got " << rect.top << ", want " << c.wantTop;
            EXPECT_EQ(rect.right - rect.left, c.width) << "the size is kept";
            EXPECT_EQ(rect.bottom - rect.top, c.height);
            EXPECT_EQ(IsWindowVisible(window.hwnd) != FALSE, visible);
            DestroyWindow(window.hwnd);
        }
    }
    pumpMessages();
}

}  // namespace
