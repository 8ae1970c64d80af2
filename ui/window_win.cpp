#include "ui/window_win.h"

#include <cstring>

#include "ui/text_win.h"

namespace {

// Bytes of window extra data of a pop-up class; the object pointer is at 0.
constexpr int kPopupExtraBytes = 8;
static_assert(sizeof(void*) <= kPopupExtraBytes);

// Window title buffer of ShowMessage: 99 characters and the terminator.
constexpr int kTitleChars = 100;

// No exception may leave a window procedure: it would unwind through the
// system's frames. A throwing handler counts as not handled.
int32_t dispatchSafely(Window& window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return window.Dispatch(message, wParam, lParam);
    } catch (...) {
        return kNotHandled;
    }
}

void paintSafely(Window& window, HDC dc, const RECT& clientRect) {
    try {
        window.OnPaint(dc, clientRect);
    } catch (...) {
    }
}

void destroyedSafely(Window& window) {
    try {
        window.OnDestroyed();
    } catch (...) {
    }
}

DialogWindow* dialogObject(HWND hwnd) { return reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER)); }

Window* popupObject(HWND hwnd) { return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, 0)); }

// A dialog procedure answers TRUE or FALSE: not handled (-1) and 0 give FALSE.
INT_PTR dialogResult(int32_t result) { return (result != kNotHandled && result != 0) ? TRUE : FALSE; }

// Keeps the window's final screen rectangle in the object.
void recordRectangle(Window& window) {
    RECT rect;
    if (window.hwnd == nullptr || !GetWindowRect(window.hwnd, &rect)) return;
    window.left = rect.left;
    window.top = rect.top;
    window.width = rect.right - rect.left;
    window.height = rect.bottom - rect.top;
}

bool isControlColourMessage(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

// Messages that the subclass procedure offers to the object before the
// dialog's own procedure sees them.
bool isDispatchedFirst(UINT message) {
    switch (message) {
    case WM_ACTIVATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_SETCURSOR:
    case WM_SETHOTKEY:
    case WM_GETHOTKEY:
    case WM_NCHITTEST:
    case WM_NCPAINT:
    case WM_MOUSEMOVE:
    case WM_HOTKEY:
        return true;
    default:
        return (message >= WM_NCMOUSEMOVE && message <= WM_NCMBUTTONDBLCLK) ||
               (message >= WM_KEYDOWN && message <= WM_SYSDEADCHAR) || isControlColourMessage(message);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Message maps

int32_t MessageHandler::call(Window& window, WPARAM wParam, LPARAM lParam) const {
    switch (kind_) {
    case Args::None:
        return (window.*noArgs_)();
    case Args::WParam:
        return (window.*wParamArg_)(wParam);
    case Args::LParam:
        return (window.*lParamArg_)(lParam);
    case Args::Both:
        return (window.*bothArgs_)(wParam, lParam);
    default:
        return kNotHandled;
    }
}

// ---------------------------------------------------------------------------
// Window

const MessageMapEntry* Window::GetMessageMap() { return nullptr; }

void Window::OnDestroyed() { hwnd = nullptr; }

void Window::OnPaint(HDC, const RECT&) {}

int32_t Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    currentMessage = 0;
    const MessageMapEntry* row = GetMessageMap();
    if (row == nullptr) return kNotHandled;
    const uint32_t id = LOWORD(wParam);
    for (; !row->handler.empty(); ++row) {
        if (row->message != message) continue;
        const bool idMatches =
            row->firstId == 0 || row->firstId == id || (row->lastId != 0 && row->firstId <= id && id <= row->lastId);
        if (!idMatches) continue;
        currentMessage = message;
        // An inert row (kind outside 0..3) matches but passes the message on.
        if (row->argKind != row->handler.kind()) continue;
        return row->handler.call(*this, wParam, lParam);
    }
    return kNotHandled;
}

int32_t Window::ShowMessage(const char* text, UINT style) {
    wchar_t title[kTitleChars] = {};
    if (hwnd != nullptr) GetWindowTextW(hwnd, title, kTitleChars);
    const HWND focus = GetFocus();
    const int result = MessageBoxW(hwnd, widenCp1251(text).c_str(), title, style);
    if (focus != nullptr && IsWindow(focus)) SetFocus(focus);
    return result;
}

void Window::Place(int32_t newLeft, int32_t newTop) {
    if (hwnd == nullptr) return;
    RECT rect;
    if (!GetWindowRect(hwnd, &rect)) return;
    if (newLeft < -9999 && newTop < -9999) {
        newLeft = rect.left;
        newTop = rect.top;
    }
    const int32_t windowWidth = rect.right - rect.left;
    const int32_t windowHeight = rect.bottom - rect.top;

    // Room is negative for a window larger than the screen; it then ends at 0.
    const int32_t roomX = GetSystemMetrics(SM_CXSCREEN) - windowWidth;
    if (newLeft < -999) newLeft = roomX >> 1;
    if (newLeft < 0) {
        newLeft = 0;
    } else if (newLeft > roomX) {
        newLeft = roomX;
    }
    const int32_t roomY = GetSystemMetrics(SM_CYSCREEN) - windowHeight;
    if (newTop < -999) newTop = roomY >> 1;
    if (newTop < 0) {
        newTop = 0;
    } else if (newTop > roomY) {
        newTop = roomY;
    }

    const bool visible = (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
    const UINT flags = visible ? (SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW) : SWP_HIDEWINDOW;
    SetWindowPos(hwnd, nullptr, newLeft, newTop, windowWidth, windowHeight, flags);
}

// ---------------------------------------------------------------------------
// DialogWindow

DialogWindow::~DialogWindow() {
    // Only a window that still names this object is ours to take down.
    if (hwnd == nullptr || !IsWindow(hwnd) || dialogObject(hwnd) != this) return;
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    if (previousProc != nullptr && GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&SubclassProc)) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
    }
    previousProc = nullptr;
    DestroyWindow(hwnd);
    hwnd = nullptr;
}

HWND DialogWindow::CreateModeless(HINSTANCE instance, int resourceId, HWND owner) {
    const HWND created =
        CreateDialogParamW(instance, MAKEINTRESOURCEW(resourceId), owner, &DialogProc, reinterpret_cast<LPARAM>(this));
    if (created == nullptr) hwnd = nullptr;
    return created;
}

bool DialogWindow::Subclass() {
    if (hwnd == nullptr || dialogObject(hwnd) != this) return false;
    if (previousProc != nullptr) return true;
    const LONG_PTR previous = SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc));
    if (previous == 0) return false;
    previousProc = reinterpret_cast<WNDPROC>(previous);
    return true;
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<DialogWindow*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        if (self == nullptr) return FALSE;
        self->hwnd = hwnd;
        return dialogResult(dispatchSafely(*self, message, wParam, lParam));
    }
    // The subclass procedure has dispatched these already; no control of the
    // program is owner-drawn, so item sizes stay as proposed.
    if (message == WM_PAINT || message == WM_SETCURSOR || message == WM_MOUSEMOVE || isControlColourMessage(message) ||
        message == WM_MEASUREITEM) {
        return FALSE;
    }
    DialogWindow* self = dialogObject(hwnd);
    if (self == nullptr) return FALSE;
    return dialogResult(dispatchSafely(*self, message, wParam, lParam));
}

LRESULT CALLBACK DialogWindow::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogWindow* self = dialogObject(hwnd);
    if (self == nullptr) return 0;

    switch (message) {
    case WM_DESTROY:
        recordRectangle(*self);
        break;

    case WM_PAINT: {
        if (self->icon != nullptr && IsIconic(hwnd)) {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(hwnd, &paint);
            DefWindowProcW(hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            DrawIcon(dc, 0, 0, self->icon);
            EndPaint(hwnd, &paint);
            return 0;
        }
        // The object paints over the dialog after its default painting.
        const LRESULT result = DefDlgProcW(hwnd, message, wParam, lParam);
        const HDC dc = GetDC(hwnd);
        if (dc != nullptr) {
            RECT client;
            GetClientRect(hwnd, &client);
            paintSafely(*self, dc, client);
            ReleaseDC(hwnd, dc);
        }
        return result;
    }

    case WM_ERASEBKGND:
        if (IsIconic(hwnd)) return 1;
        {
            const int32_t result = dispatchSafely(*self, message, wParam, lParam);
            if (result != kNotHandled) return result;
        }
        break;

    case WM_QUERYDRAGICON:
    case WM_GETICON:
        return reinterpret_cast<LRESULT>(self->icon);

    case WM_NCDESTROY: {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        const WNDPROC previous = self->previousProc;
        if (previous != nullptr) {
            CallWindowProcW(previous, hwnd, message, wParam, lParam);
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
            self->previousProc = nullptr;
        }
        destroyedSafely(*self);
        return 0;
    }

    default:
        if (isDispatchedFirst(message)) {
            const int32_t result = dispatchSafely(*self, message, wParam, lParam);
            if (result != kNotHandled) return result;
        }
        break;
    }

    if (self->previousProc == nullptr) return 0;
    return CallWindowProcW(self->previousProc, hwnd, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// PopupWindow

void WindowClassInfo::FillClass(WNDCLASSEXW&) {}

PopupWindow::PopupWindow(const char* ownClassName, WindowClassInfo* classInfo)
    : classInfo_(classInfo != nullptr ? classInfo : &plainClassInfo_),
      ownClassName_(ownClassName != nullptr ? ownClassName : kDefaultPopupClassName) {}

PopupWindow::~PopupWindow() {
    if (hwnd == nullptr || !IsWindow(hwnd) || popupObject(hwnd) != static_cast<Window*>(this)) return;
    SetWindowLongPtrW(hwnd, 0, 0);
    DestroyWindow(hwnd);
    hwnd = nullptr;
}

HWND PopupWindow::Create(HWND parent, const char* title, int32_t newLeft, int32_t newTop, int32_t newWidth,
                         int32_t newHeight) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WindowClassInfo& info = *classInfo_;
    if (info.className[0] == '\0') {
        const size_t length = strnlen(ownClassName_, WindowClassInfo::kMaxClassNameChars);
        std::memcpy(info.className, ownClassName_, length);
        info.className[length] = '\0';

        WNDCLASSEXW description = {};
        description.cbSize = sizeof(description);
        description.style = 0;
        description.hIcon = nullptr;
        description.hIconSm = nullptr;
        description.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        description.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        description.lpszMenuName = nullptr;
        info.FillClass(description);

        const std::wstring className = widenCp1251(info.className);
        description.lpszClassName = className.c_str();
        description.lpfnWndProc = &PopupProc;
        description.cbClsExtra = 0;
        description.cbWndExtra = kPopupExtraBytes;
        description.hInstance = instance;
        // Fails when the class exists already (another object registered it):
        // the existing class serves.
        RegisterClassExW(&description);
    }

    if (windowExists && hwnd != nullptr) {
        DestroyWindow(hwnd);
        windowExists = false;
    }

    title_ = title != nullptr ? title : "";
    const HWND created = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST, widenCp1251(info.className).c_str(),
                                         widenCp1251(title_.c_str()).c_str(), WS_POPUP | WS_VISIBLE, newLeft, newTop,
                                         newWidth, newHeight, parent, nullptr, instance, static_cast<Window*>(this));
    if (created != nullptr) {
        left = newLeft;
        top = newTop;
        Place(newLeft, newTop);
    }
    windowExists = hwnd != nullptr;
    return hwnd;
}

LRESULT CALLBACK PopupWindow::PopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self;
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(self));
        if (self != nullptr) self->hwnd = hwnd;
    } else {
        self = popupObject(hwnd);
    }
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);

    switch (message) {
    case WM_DESTROY:
        recordRectangle(*self);
        break;

    case WM_PAINT: {
        RECT client;
        GetClientRect(hwnd, &client);
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(hwnd, &paint);
        paintSafely(*self, dc, client);
        EndPaint(hwnd, &paint);
        return 0;
    }

    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, 0, 0);
        destroyedSafely(*self);
        return DefWindowProcW(hwnd, message, wParam, lParam);

    default:
        break;
    }

    const int32_t result = dispatchSafely(*self, message, wParam, lParam);
    if (result == kNotHandled) return DefWindowProcW(hwnd, message, wParam, lParam);
    return result;
}
