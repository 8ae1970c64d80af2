// A dialog window from resource 101: the dialog procedure, the subclass
// procedure (painting, dispatched-first messages, icons, destruction) and
// ShowMessage. Needs a display.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "resources/resource.h"
#include "tests/ui/test_support.h"
#include "ui/window_win.h"

namespace {

constexpr UINT kResultMessage = WM_USER + 10;  // handler returns `result`
constexpr UINT kThrowingMessage = WM_USER + 11;
constexpr COLORREF kPaintColour = RGB(255, 0, 255);

class TestDialog : public DialogWindow {
public:
    const MessageMapEntry* GetMessageMap() override { return messageMap; }

    int32_t onInitDialog() {
        initHwnd = hwnd;
        return 0;
    }
    int32_t onResult() {
        ++resultCalls;
        return result;
    }
    int32_t onKeyDown(WPARAM) {
        ++keyDownCalls;
        return 5;
    }
    int32_t onMouseMove(WPARAM) {
        ++mouseMoveCalls;
        return 2;
    }
    int32_t onDestroy() {
        ++destroyCalls;
        return 0;
    }
    int32_t onThrow() { throw std::runtime_error("handler failed"); }

    void OnPaint(HDC dc, const RECT& client) override {
        ++paintCalls;
        paintClient = client;
        // The default painting has validated the window before this runs.
        updatePendingAtPaint = GetUpdateRect(hwnd, nullptr, FALSE) != FALSE;
        const RECT corner = {0, 0, 4, 4};
        const HBRUSH brush = CreateSolidBrush(kPaintColour);
        FillRect(dc, &corner, brush);
        DeleteObject(brush);
    }

    void OnDestroyed() override {
        ++destroyedCalls;
        procAtDestroyed = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
        userAtDestroyed = GetWindowLongPtrW(hwnd, DWLP_USER);
        previousAtDestroyed = previousProc;
        DialogWindow::OnDestroyed();
    }

    HWND initHwnd = nullptr;
    int32_t result = 0;
    int resultCalls = 0;
    int keyDownCalls = 0;
    int mouseMoveCalls = 0;
    int destroyCalls = 0;
    int paintCalls = 0;
    RECT paintClient = {};
    bool updatePendingAtPaint = true;
    int destroyedCalls = 0;
    LONG_PTR procAtDestroyed = 0;
    LONG_PTR userAtDestroyed = -1;
    WNDPROC previousAtDestroyed = nullptr;

    static const MessageMapEntry messageMap[];
};

const MessageMapEntry TestDialog::messageMap[] = {
    {WM_INITDIALOG, 0, 0, handler(&TestDialog::onInitDialog)},
    {kResultMessage, 0, 0, handler(&TestDialog::onResult)},
    {WM_KEYDOWN, 0, 0, handler(&TestDialog::onKeyDown)},
    {WM_MOUSEMOVE, 0, 0, handler(&TestDialog::onMouseMove)},
    {WM_DESTROY, 0, 0, handler(&TestDialog::onDestroy)},
    {kThrowingMessage, 0, 0, handler(&TestDialog::onThrow)},
    {0, 0, 0, nullptr},
};

using DialogWindowTest = CreatedDialogTest<TestDialog>;

TEST_F(DialogWindowTest, InitDialogAttachesTheObject) {
    EXPECT_EQ(dialog.initHwnd, dialog.hwnd) << "WM_INITDIALOG is dispatched with the handle set";
    EXPECT_EQ(GetWindowLongPtrW(dialog.hwnd, DWLP_USER), reinterpret_cast<LONG_PTR>(&dialog));
}

TEST_F(DialogWindowTest, DialogProcedureMapsResults) {
    struct Case {
        const char* name;
        UINT message;
        int32_t handlerResult;
        INT_PTR want;
        int wantCalls;
    };
    const Case cases[] = {
        {"2 becomes 1", kResultMessage, 2, 1, 1},
        {"-1 (not handled) becomes 0", kResultMessage, -1, 0, 1},
        {"0 stays 0", kResultMessage, 0, 0, 1},
        {"-7 becomes 1", kResultMessage, -7, 1, 1},
        {"mouse move is not dispatched here", WM_MOUSEMOVE, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.result = c.handlerResult;
        dialog.resultCalls = 0;
        dialog.mouseMoveCalls = 0;
        const INT_PTR got = DialogWindow::DialogProc(dialog.hwnd, c.message, 0, 0);
        EXPECT_EQ(got, c.want) << "got " << got << ", want " << c.want;
        EXPECT_EQ(dialog.resultCalls + dialog.mouseMoveCalls, c.wantCalls);
    }
}

TEST_F(DialogWindowTest, SubclassDispatchesFirstAndReturnsTheResult) {
    const LONG_PTR original = GetWindowLongPtrW(dialog.hwnd, GWLP_WNDPROC);
    ASSERT_TRUE(dialog.Subclass());
    EXPECT_EQ(GetWindowLongPtrW(dialog.hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&DialogWindow::SubclassProc));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(dialog.previousProc), original);
    EXPECT_TRUE(dialog.Subclass()) << "a second call keeps the first subclassing";
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(dialog.previousProc), original);

    // The dialog path would answer 1; the subclass procedure returns the value.
    const LRESULT keyResult = SendMessageW(dialog.hwnd, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(keyResult, 5) << "got " << keyResult;
    EXPECT_EQ(dialog.keyDownCalls, 1);

    const LRESULT moveResult = SendMessageW(dialog.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(moveResult, 2) << "got " << moveResult;
    EXPECT_EQ(dialog.mouseMoveCalls, 1) << "dispatched once: the dialog procedure skips it";

    dialog.icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    EXPECT_EQ(SendMessageW(dialog.hwnd, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(dialog.icon));
    EXPECT_EQ(SendMessageW(dialog.hwnd, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dialog.icon));
}

TEST_F(DialogWindowTest, ExceptionInHandlerStaysInsideTheProcedure) {
    ASSERT_TRUE(dialog.Subclass());
    EXPECT_EQ(SendMessageW(dialog.hwnd, kThrowingMessage, 0, 0), 0);
    EXPECT_TRUE(IsWindow(dialog.hwnd));
}

TEST_F(DialogWindowTest, PaintReachesOnPaintOnceAfterDefaultPainting) {
    ASSERT_TRUE(dialog.Subclass());
    ShowWindow(dialog.hwnd, SW_SHOWNORMAL);
    pumpMessages();
    dialog.paintCalls = 0;

    InvalidateRect(dialog.hwnd, nullptr, TRUE);
    UpdateWindow(dialog.hwnd);  // sends exactly one WM_PAINT
    EXPECT_EQ(dialog.paintCalls, 1) << "got " << dialog.paintCalls;
    EXPECT_FALSE(dialog.updatePendingAtPaint) << "OnPaint ran before the default painting";
    RECT client;
    GetClientRect(dialog.hwnd, &client);
    EXPECT_TRUE(EqualRect(&client, &dialog.paintClient));

    // The default painting erased the background first, so what OnPaint drew stays.
    const HDC dc = GetDC(dialog.hwnd);
    const COLORREF pixel = GetPixel(dc, 1, 1);
    ReleaseDC(dialog.hwnd, dc);
    EXPECT_EQ(pixel, kPaintColour) << "got 0x" << std::hex << pixel << ", want 0x" << kPaintColour;

    // A paint message with nothing to paint still reaches OnPaint once.
    SendMessageW(dialog.hwnd, WM_PAINT, 0, 0);
    EXPECT_EQ(dialog.paintCalls, 2) << "got " << dialog.paintCalls;
}

TEST_F(DialogWindowTest, MinimisedWindowWithIconShowsOnlyTheIcon) {
    ASSERT_TRUE(dialog.Subclass());
    dialog.icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    ShowWindow(dialog.hwnd, SW_SHOWMINNOACTIVE);
    pumpMessages();
    if (!IsIconic(dialog.hwnd)) GTEST_SKIP() << "the window system did not minimise the window";
    dialog.paintCalls = 0;
    SendMessageW(dialog.hwnd, WM_PAINT, 0, 0);
    EXPECT_EQ(dialog.paintCalls, 0) << "got " << dialog.paintCalls;
    EXPECT_EQ(SendMessageW(dialog.hwnd, WM_ERASEBKGND, 0, 0), 1);

    dialog.icon = nullptr;  // without an icon the dialog paints as usual
    SendMessageW(dialog.hwnd, WM_PAINT, 0, 0);
    EXPECT_EQ(dialog.paintCalls, 1) << "got " << dialog.paintCalls;
}

TEST_F(DialogWindowTest, NcDestroyRestoresProcedureThenCallsOnDestroyed) {
    const LONG_PTR original = GetWindowLongPtrW(dialog.hwnd, GWLP_WNDPROC);
    ASSERT_TRUE(dialog.Subclass());
    SetWindowPos(dialog.hwnd, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT before = screenRect(dialog.hwnd);

    DestroyWindow(dialog.hwnd);

    EXPECT_EQ(dialog.destroyCalls, 1) << "WM_DESTROY reaches the map through the dialog procedure";
    EXPECT_EQ(dialog.destroyedCalls, 1);
    EXPECT_EQ(dialog.procAtDestroyed, original) << "the previous procedure is back before OnDestroyed";
    EXPECT_EQ(dialog.userAtDestroyed, 0) << "the user data slot is cleared";
    EXPECT_EQ(dialog.previousAtDestroyed, nullptr);
    EXPECT_EQ(dialog.hwnd, nullptr) << "the base OnDestroyed forgets the handle";
    EXPECT_EQ(dialog.left, before.left);
    EXPECT_EQ(dialog.top, before.top);
    EXPECT_EQ(dialog.width, before.right - before.left);
    EXPECT_EQ(dialog.height, before.bottom - before.top);
}

TEST_F(DialogWindowTest, DestroyingTheObjectTakesItsWindowDown) {
    ASSERT_TRUE(dialog.Subclass());
    HWND hwnd;
    {
        TestDialog second;
        hwnd = second.CreateModeless(moduleInstance(), IDD_MAIN, nullptr);
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(second.Subclass());
    }
    EXPECT_FALSE(IsWindow(hwnd));
    pumpMessages();
}

// Closes the message box that ShowMessage opens, after reading its caption and
// text; the box runs its own message loop, which delivers this thread timer.
struct BoxReader {
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;
    int ticks = 0;
};
BoxReader* activeReader = nullptr;

BOOL CALLBACK collectStaticText(HWND child, LPARAM) {
    if (_wcsicmp(className(child).c_str(), L"Static") == 0) activeReader->text += windowText(child);
    return TRUE;
}

BOOL CALLBACK findBox(HWND hwnd, LPARAM found) {
    if (hwnd != activeReader->owner && IsWindowVisible(hwnd) && className(hwnd) == L"#32770") {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK closeBox(HWND, UINT, UINT_PTR, DWORD) {
    ++activeReader->ticks;
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findBox, reinterpret_cast<LPARAM>(&box));
    if (box == nullptr) return;
    activeReader->caption = windowText(box);
    activeReader->text.clear();
    EnumChildWindows(box, collectStaticText, 0);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(DialogWindowTest, ShowMessageConvertsTextAndRestoresFocus) {
    ASSERT_TRUE(dialog.Subclass());
    // "Ошибка... \n Тест" in code page 1251.
    const char text[] = "\xCE\xF8\xE8\xE1\xEA\xE0... \n \xD2\xE5\xF1\xF2";
    SetWindowTextW(dialog.hwnd, L"  Quorvel \x0442\x0435\x0441\x0442");
    ShowWindow(dialog.hwnd, SW_SHOWNORMAL);
    pumpMessages();
    const HWND focused = GetDlgItem(dialog.hwnd, IDC_SIZE_LIST);
    SetFocus(focused);
    ASSERT_EQ(GetFocus(), focused);

    BoxReader reader;
    reader.owner = dialog.hwnd;
    activeReader = &reader;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, closeBox);
    const int32_t result = dialog.ShowMessage(text, MB_ICONERROR | MB_OK);
    KillTimer(nullptr, timer);
    activeReader = nullptr;

    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(reader.caption, L"  Quorvel \x0442\x0435\x0441\x0442") << "got " << narrow(reader.caption);
    EXPECT_NE(reader.text.find(L"\x041E\x0448\x0438\x0431\x043A\x0430... \n \x0422\x0435\x0441\x0442"),
              std::wstring::npos)
        << "got " << narrow(reader.text);
    EXPECT_EQ(GetFocus(), focused) << "the focus goes back to the control that had it";
}

}  // namespace
