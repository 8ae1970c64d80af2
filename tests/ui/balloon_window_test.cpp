// Balloon windows and the hover detection on a real window. Needs a display.
#include <gtest/gtest.h>

#include <string>

#include "tests/ui/test_support.h"
#include "ui/balloon_win.h"
#include "ui/help_table.h"
#include "ui/text_win.h"

namespace {

// "Выбрать файл для записи." in code page 1251: four words.
constexpr char kFourWords[] = "\xC2\xFB\xE1\xF0\xE0\xF2\xFC \xF4\xE0\xE9\xEB \xE4\xEB\xFF \xE7\xE0\xEF\xE8\xF1\xE8.";
constexpr int kMissingBitmap = 999;

POINT screenCentre() { return {GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2}; }

// A plain visible owner window for the balloons.
class OwnerWindow {
public:
    OwnerWindow() {
        hwnd = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               moduleInstance(), nullptr);
    }
    ~OwnerWindow() {
        if (hwnd != nullptr) DestroyWindow(hwnd);
        pumpMessages();
    }
    HWND hwnd;
};

int layeredAlpha(HWND hwnd) {
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags)) return -1;
    return (flags & LWA_ALPHA) ? alpha : -1;
}

TEST(BalloonWindow, ShowsTheTextInAShapedLayeredWindowOfItsClass) {
    OwnerWindow owner;
    ASSERT_NE(owner.hwnd, nullptr);
    SetForegroundWindow(owner.hwnd);
    ASSERT_EQ(GetActiveWindow(), owner.hwnd);
    BalloonWindow balloon(IDB_BALLOON);
    EXPECT_TRUE(balloon.hasBackground()) << "bitmap 102 is a resource of the program";
    const POINT at = screenCentre();
    const HWND hwnd = balloon.Show(owner.hwnd, kFourWords, at.x, at.y, 5000);
    ASSERT_NE(hwnd, nullptr) << "error " << GetLastError();
    pumpMessages();
    EXPECT_EQ(GetActiveWindow(), owner.hwnd) << "the balloon takes no activation";
    EXPECT_EQ(SendMessageW(hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(owner.hwnd),
                           MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_NOACTIVATE)
        << "nor does a click on it";

    EXPECT_EQ(className(hwnd), L"WindowsHelperClass") << "got " << narrow(className(hwnd));
    EXPECT_EQ(windowText(hwnd), widenCp1251(kFourWords)) << "the help text is the window's title";
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), owner.hwnd);
    EXPECT_TRUE(balloon.windowExists);
    const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    EXPECT_EQ(exStyle & (WS_EX_LAYERED | WS_EX_TOPMOST), WS_EX_LAYERED | WS_EX_TOPMOST);
    EXPECT_EQ(layeredAlpha(hwnd), 200);
    EXPECT_EQ(balloon.durationMs(), 5000) << "four words stay one post delay";

    WNDCLASSEXW registered = {};
    registered.cbSize = sizeof registered;
    ASSERT_TRUE(GetClassInfoExW(moduleInstance(), L"WindowsHelperClass", &registered));
    EXPECT_EQ(registered.style, static_cast<UINT>(CS_OWNDC));
    EXPECT_EQ(registered.hCursor, LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HELP)));
    EXPECT_EQ(registered.hbrBackground, GetStockObject(NULL_BRUSH));
    EXPECT_EQ(registered.hIcon, nullptr);

    // In mid-screen the balloon opens above and right of the point, the tail
    // at its bottom left.
    const RECT rect = screenRect(hwnd);
    EXPECT_EQ(balloon.mirrorFlags(), 0u);
    EXPECT_EQ(rect.left, at.x) << "got " << rect.left;
    EXPECT_EQ(rect.bottom, at.y) << "got " << rect.bottom;
    EXPECT_GT(rect.right - rect.left, rect.bottom - rect.top) << "the text is wrapped wider than high";

    // The outline: the text lies inside it, the top right corner does not.
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(hwnd, region), ERROR) << "the window has its outline";
    const RECT& text = balloon.textRect();
    EXPECT_LT(text.left, text.right);
    EXPECT_LT(text.top, text.bottom);
    EXPECT_TRUE(PtInRegion(region, (text.left + text.right) / 2, (text.top + text.bottom) / 2));
    EXPECT_FALSE(PtInRegion(region, rect.right - rect.left - 1, 0));
    DeleteObject(region);
}

TEST(BalloonWindow, OpensAwayFromTheScreensRightAndTopEdges) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        const char* name;
        int x, y;
        uint32_t wantMirror;
    };
    const Case cases[] = {
        {"middle", screenWidth / 2, screenHeight / 2, 0},
        {"right edge", screenWidth - 3, screenHeight / 2, balloon::kTailRight},
        {"top edge", screenWidth / 2, 3, balloon::kBelowPoint},
        {"top right corner", screenWidth - 3, 3, balloon::kTailRight | balloon::kBelowPoint},
    };
    OwnerWindow owner;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BalloonWindow balloon(IDB_BALLOON);
        const HWND hwnd = balloon.Show(owner.hwnd, kFourWords, c.x, c.y, 5000);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(balloon.mirrorFlags(), c.wantMirror);
        const RECT rect = screenRect(hwnd);
        // The tail is at the point: the balloon's corner on the tail's side.
        const int tailX = (c.wantMirror & balloon::kTailRight) ? rect.right : rect.left;
        const int tailY = (c.wantMirror & balloon::kBelowPoint) ? rect.top : rect.bottom;
        EXPECT_EQ(tailX, c.x) << "got " << rect.left << ".." << rect.right;
        EXPECT_EQ(tailY, c.y) << "got " << rect.top << ".." << rect.bottom;
        EXPECT_LE(rect.right, screenWidth);
        EXPECT_GE(rect.top, 0);

        // The text rectangle follows the body of the balloon.
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(GetWindowRgn(hwnd, region), ERROR);
        const RECT& text = balloon.textRect();
        EXPECT_TRUE(PtInRegion(region, text.left + 1, (text.top + text.bottom) / 2));
        EXPECT_TRUE(PtInRegion(region, text.right - 1, (text.top + text.bottom) / 2));
        DeleteObject(region);
    }
    pumpMessages();
}

TEST(BalloonWindow, ATextWithoutWordsOpensNothing) {
    struct Case {
        const char* name;
        const char* text;
    };
    const Case cases[] = {{"null", nullptr}, {"empty", ""}, {"spaces", "   "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BalloonWindow balloon(IDB_BALLOON);
        const POINT at = screenCentre();
        EXPECT_EQ(balloon.Show(nullptr, c.text, at.x, at.y, 5000), nullptr);
        EXPECT_EQ(balloon.hwnd, nullptr);
        EXPECT_FALSE(balloon.windowExists);
        balloon.Hide();
    }
}

TEST(BalloonWindow, EveryClickAdvancesTheFadeToTheEnd) {
    BalloonWindow balloon(IDB_BALLOON);
    const POINT at = screenCentre();
    const HWND hwnd = balloon.Show(nullptr, kFourWords, at.x, at.y, 60000);
    ASSERT_NE(hwnd, nullptr);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(layeredAlpha(hwnd), 200) << "the first step applies the starting opacity";
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(layeredAlpha(hwnd), 195);
    EXPECT_EQ(balloon.alpha(), 190);
    for (int click = 3; click < 40; ++click) SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    ASSERT_TRUE(IsWindow(hwnd)) << "after 39 steps it shows opacity 10";
    EXPECT_EQ(layeredAlpha(hwnd), 10);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_FALSE(IsWindow(hwnd)) << "the fortieth step ends the balloon";
    EXPECT_EQ(balloon.hwnd, nullptr);
    EXPECT_FALSE(balloon.windowExists);
    balloon.Hide();
    pumpMessages();
}

// Pumps messages until the window is gone or `seconds` have passed.
bool waitDestroyed(HWND hwnd, int seconds) {
    const DWORD start = GetTickCount();
    while (IsWindow(hwnd)) {
        if (GetTickCount() - start > static_cast<DWORD>(seconds) * 1000) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        pumpMessages();
    }
    return true;
}

TEST(BalloonWindow, GoesAwayByItselfAfterItsTime) {
    BalloonWindow balloon(IDB_BALLOON);
    const POINT at = screenCentre();
    const HWND hwnd = balloon.Show(nullptr, kFourWords, at.x, at.y, 500);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(waitDestroyed(hwnd, 20)) << "half a second and the fade";
    EXPECT_FALSE(balloon.windowExists);
}

TEST(BalloonWindow, HideDestroysAndShowReplaces) {
    BalloonWindow balloon(IDB_BALLOON);
    const POINT at = screenCentre();
    const HWND first = balloon.Show(nullptr, kFourWords, at.x, at.y, 5000);
    ASSERT_NE(first, nullptr);
    const HWND second = balloon.Show(nullptr, "two words", at.x, at.y, 5000);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(windowText(second), L"two words");
    balloon.Hide();
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(balloon.hwnd, nullptr);
    balloon.Hide();
    pumpMessages();
}

// The colour the balloon shows at a point of its body left of the text.
COLORREF bodyColour(const BalloonWindow& balloon, POINT& where) {
    const RECT& text = balloon.textRect();
    where = {text.left - 3, (text.top + text.bottom) / 2};
    const HDC dc = GetDC(balloon.hwnd);
    const COLORREF colour = GetPixel(dc, where.x, where.y);
    ReleaseDC(balloon.hwnd, dc);
    return colour;
}

TEST(BalloonWindow, PaintsTheTiledBitmapOrTheInfoColour) {
    const HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(moduleInstance(), MAKEINTRESOURCEW(IDB_BALLOON), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    ASSERT_GT(info.bmWidth, 0);
    const HDC memory = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(memory, bitmap);

    struct Case {
        const char* name;
        int bitmapId;
    };
    const Case cases[] = {{"bitmap 102", IDB_BALLOON}, {"missing bitmap", kMissingBitmap}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BalloonWindow balloon(c.bitmapId);
        EXPECT_EQ(balloon.hasBackground(), c.bitmapId == IDB_BALLOON);
        const POINT at = screenCentre();
        ASSERT_NE(balloon.Show(nullptr, kFourWords, at.x, at.y, 5000), nullptr);
        RedrawWindow(balloon.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        POINT where;
        const COLORREF got = bodyColour(balloon, where);
        const COLORREF want = c.bitmapId == IDB_BALLOON
                                  ? GetPixel(memory, where.x % info.bmWidth, where.y % info.bmHeight)
                                  : GetSysColor(COLOR_INFOBK);
        EXPECT_EQ(got, want) << "at " << where.x << "," << where.y << std::hex << ": got 0x" << got << ", want 0x"
                             << want;
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    pumpMessages();
}

// ---- Hover detection ---------------------------------------------------------

constexpr int kButton = 1002;
constexpr int kCombo = 1010;
constexpr int kNoHelp = 1006;
constexpr int kMissing = 1003;

// A window with a button, a combo box and a static without help, and a
// table that names a control the window lacks first.
class HoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        main = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"main", WS_POPUP | WS_VISIBLE, 100, 100, 500, 300, nullptr,
                               nullptr, moduleInstance(), nullptr);
        ASSERT_NE(main, nullptr);
        button = child(L"BUTTON", kButton, 10, 10, 120, 30, BS_PUSHBUTTON);
        combo = child(L"COMBOBOX", kCombo, 10, 60, 120, 150, CBS_DROPDOWNLIST | WS_VSCROLL);
        child(L"STATIC", kNoHelp, 200, 10, 250, 200, SS_BLACKRECT);
        for (const wchar_t* item : {L"one", L"two", L"three"}) {
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
        pumpMessages();
    }
    void TearDown() override {
        HideHelp();
        StartHelp(nullptr, nullptr, 0, 0, 0);
        DestroyWindow(main);
        pumpMessages();
    }

    HWND child(const wchar_t* cls, int id, int x, int y, int w, int h, DWORD style) {
        return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, main,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), moduleInstance(), nullptr);
    }

    // Puts the pointer on the middle of a control; returns where.
    POINT pointAt(int id) {
        const RECT rect = screenRect(GetDlgItem(main, id));
        POINT p = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        SetCursorPos(p.x, p.y);
        return p;
    }

    // Starts help without a running timer: the test makes the ticks.
    void startHelpByHand() {
        StartHelp(main, table, IDB_BALLOON, 2000, 5000);
        ASSERT_TRUE(KillTimer(main, 0)) << "StartHelp runs timer 0 on the window";
    }

    static void tick(int times = 1) {
        for (int i = 0; i < times; ++i) HelpHoverTick(nullptr, WM_TIMER, 0, 0);
    }

    static HWND balloonWindow() {
        BalloonWindow* balloon = CurrentHelpBalloon();
        return balloon != nullptr && balloon->hwnd != nullptr && IsWindow(balloon->hwnd) ? balloon->hwnd : nullptr;
    }

    static constexpr HelpEntry table[] = {
        {kMissing, "missing control"},
        {kButton, "the button's help"},
        {kCombo, "the combo box's help"},
        {0, nullptr},
    };
    HWND main = nullptr;
    HWND button = nullptr;
    HWND combo = nullptr;
};

TEST_F(HoverTest, TheBalloonOpensAtThePointerOnTheEleventhTickAfterTheFirst) {
    startHelpByHand();
    const POINT at = pointAt(kButton);
    POINT got;
    ASSERT_TRUE(GetCursorPos(&got));
    ASSERT_EQ(got.x, at.x) << "the pointer could not be placed";

    tick(11);
    EXPECT_EQ(balloonWindow(), nullptr) << "not before the twelfth tick on the control";
    tick();
    const HWND shown = balloonWindow();
    ASSERT_NE(shown, nullptr) << "the balloon opens on the eleventh tick after the first";
    EXPECT_EQ(windowText(shown), L"the button's help");
    EXPECT_EQ(GetWindow(shown, GW_OWNER), main);
    const RECT rect = screenRect(shown);
    EXPECT_EQ(rect.left, at.x);
    EXPECT_EQ(rect.bottom, at.y);

    tick(20);
    EXPECT_EQ(balloonWindow(), shown) << "once per stay: no other balloon";

    // A control without help: the balloon stays, the control is forgotten.
    pointAt(kNoHelp);
    tick();
    EXPECT_EQ(balloonWindow(), shown);
    // Back on the button: a new stay, the old balloon goes.
    pointAt(kButton);
    tick();
    EXPECT_FALSE(IsWindow(shown));
    EXPECT_EQ(CurrentHelpBalloon(), nullptr);
}

TEST_F(HoverTest, HideHelpClosesTheBalloon) {
    startHelpByHand();
    pointAt(kButton);
    tick(12);
    const HWND shown = balloonWindow();
    ASSERT_NE(shown, nullptr);
    HideHelp();
    EXPECT_FALSE(IsWindow(shown));
    EXPECT_EQ(CurrentHelpBalloon(), nullptr);
    HideHelp();
}

// A window that goes ends its help: the balloon closes, the hover timer
// stops and later ticks open nothing.
TEST_F(HoverTest, StopHelpEndsTheHelpOfTheWindow) {
    StartHelp(main, table, IDB_BALLOON, 2000, 5000);
    pointAt(kButton);
    tick(12);
    const HWND shown = balloonWindow();
    ASSERT_NE(shown, nullptr);
    StopHelp(button);  // any window under the same top-level window
    EXPECT_FALSE(IsWindow(shown));
    EXPECT_EQ(CurrentHelpBalloon(), nullptr);
    EXPECT_FALSE(KillTimer(main, 0)) << "the hover timer still runs";
    tick(12);
    EXPECT_EQ(CurrentHelpBalloon(), nullptr) << "a tick after the end opened a balloon";
    StopHelp(main);
}

TEST_F(HoverTest, AComboBoxWithItsListDownOpensNoBalloon) {
    EXPECT_FALSE(IsBusyForHelp(combo));
    EXPECT_FALSE(IsBusyForHelp(button));
    EXPECT_FALSE(IsBusyForHelp(nullptr));

    startHelpByHand();
    pointAt(kCombo);
    tick(11);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    ASSERT_TRUE(IsBusyForHelp(combo)) << "the list is dropped down";
    tick();
    EXPECT_EQ(balloonWindow(), nullptr) << "busy at the showing tick";
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    pumpMessages();
    EXPECT_FALSE(IsBusyForHelp(combo));
    pointAt(kCombo);
    tick(20);
    EXPECT_EQ(balloonWindow(), nullptr) << "none until the pointer leaves and comes back";

    pointAt(kButton);
    tick();
    pointAt(kCombo);
    tick(12);
    const HWND shown = balloonWindow();
    ASSERT_NE(shown, nullptr) << "back on the combo box, its balloon opens";
    EXPECT_EQ(windowText(shown), L"the combo box's help");
}

TEST_F(HoverTest, APreDelayOfZeroOrLessTurnsHelpOff) {
    struct Case {
        int32_t preDelay;
        bool wantTimer;
    };
    const Case cases[] = {{0, false}, {-5, false}, {50, true}, {2000, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE("pre delay " + std::to_string(c.preDelay));
        StartHelp(main, table, IDB_BALLOON, c.preDelay, 5000);
        EXPECT_EQ(KillTimer(main, 0) != FALSE, c.wantTimer);
    }
}

TEST_F(HoverTest, TheTimerOpensTheBalloon) {
    // 100 ms: 10 ms ticks, so the balloon opens after about 120 ms.
    StartHelp(main, table, IDB_BALLOON, 100, 5000);
    pointAt(kButton);
    const DWORD start = GetTickCount();
    while (balloonWindow() == nullptr && GetTickCount() - start < 10000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        pumpMessages();
    }
    ASSERT_NE(balloonWindow(), nullptr) << "no balloon within 10 s";
    EXPECT_EQ(windowText(balloonWindow()), L"the button's help");
}

}  // namespace
