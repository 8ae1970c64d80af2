#include "ui/balloon_win.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "ui/text_win.h"

namespace {

// The hover timer of the help's window; it has its own timer procedure, so
// it never reaches the window's message map.
constexpr UINT_PTR kHoverTimer = 0;

// Parents walked up from the window under the pointer; far more than any
// window nesting.
constexpr int kMaxParentDepth = 64;

// Class names are read with at most this many characters.
constexpr int kClassNameChars = 101;

HGDIOBJ balloonFont() { return GetStockObject(SYSTEM_FONT); }

// Tiles `bitmap` over `rect` (right and bottom inclusive) on `dc`, on the
// grid that starts at originX, originY. Drawing is clipped to `clip`, or to
// the rectangle when there is none. Draws nothing without a context, a
// rectangle or a bitmap.
void tileBitmap(HDC dc, const RECT* rect, HBITMAP bitmap, int32_t originX, int32_t originY, HRGN clip) {
    if (dc == nullptr || rect == nullptr || bitmap == nullptr) return;
    BITMAP info = {};
    if (GetObjectW(bitmap, sizeof info, &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0) return;
    const HDC memory = CreateCompatibleDC(dc);
    if (memory == nullptr) return;
    const HGDIOBJ previous = SelectObject(memory, bitmap);

    HRGN ownClip = nullptr;
    if (clip == nullptr) {
        ownClip = CreateRectRgn(rect->left, rect->top, rect->right + 1, rect->bottom + 1);
        clip = ownClip;
    }
    if (clip != nullptr) SelectClipRgn(dc, clip);

    const int32_t x0 = balloon::firstTile(rect->left, originX, info.bmWidth);
    const int32_t y0 = balloon::firstTile(rect->top, originY, info.bmHeight);
    for (int32_t y = y0; y <= rect->bottom; y += info.bmHeight) {
        for (int32_t x = x0; x <= rect->right; x += info.bmWidth) {
            BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
        }
    }

    SelectClipRgn(dc, nullptr);
    if (ownClip != nullptr) DeleteObject(ownClip);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

// ---- The help of a window ------------------------------------------------

// The window property that holds a window's help.
constexpr wchar_t kHelpProperty[] = L"Quorvel.BalloonHelp";

bool isInside(HWND found, HWND window) {
    for (int depth = 0; found != nullptr && depth < kMaxParentDepth; ++depth) {
        if (found == window) return true;
        found = GetParent(found);
    }
    return false;
}

// The balloon help of one window: its help table, bitmap and delays, the
// hover timer that runs on the window, the counting of its ticks and the
// balloon shown. StartHelp makes one and hangs it on the window's top-level
// window as a property, which is how the timer and the functions of the
// help find it; it lives until StartHelp replaces or removes it.
class BalloonHelp {
public:
    BalloonHelp(HWND window, const HelpEntry* table, int bitmapId, int32_t preDelayMs, int32_t postDelayMs)
        : window_(window), table_(table), bitmapId_(bitmapId), postDelay_(postDelayMs) {
        const int32_t period = balloon::hoverPeriodMs(preDelayMs);
        if (period > 0 && window != nullptr && table != nullptr) {
            timerRunning_ = SetTimer(window, kHoverTimer, static_cast<UINT>(period), &HelpHoverTick) != 0;
        }
    }
    BalloonHelp(const BalloonHelp&) = delete;
    BalloonHelp& operator=(const BalloonHelp&) = delete;

    // No balloon and no timer outlive the help.
    ~BalloonHelp() {
        hideBalloon();
        // Killed by the identifier it was started with: SetTimer's return
        // value for a window timer is only a success flag.
        if (timerRunning_) KillTimer(window_, kHoverTimer);
    }

    HWND window() const { return window_; }
    BalloonWindow* balloon() const { return balloon_.get(); }

    void hideBalloon() {
        std::unique_ptr<BalloonWindow> shown = std::move(balloon_);
        if (shown != nullptr) shown->Hide();
    }

    void tick() {
        if (window_ == nullptr || table_ == nullptr) return;

        POINT point;
        if (!GetCursorPos(&point)) return;
        if (!isInside(WindowFromPoint(point), window_)) {
            tracker_.pointerAway();
            return;
        }
        if (!GetCursorPos(&point)) return;

        const HelpEntry* hit = nullptr;
        HWND control = nullptr;
        for (const HelpEntry* row = table_; row->text != nullptr; ++row) {
            const HWND candidate = row->controlId == 0 ? window_ : GetDlgItem(window_, row->controlId);
            RECT rect;
            if (candidate == nullptr || !GetWindowRect(candidate, &rect)) continue;
            if (PtInRect(&rect, point)) {
                hit = row;
                control = candidate;
                break;
            }
        }
        if (hit == nullptr) {
            tracker_.pointerAway();
            return;
        }

        const HWND focus = GetFocus();
        switch (tracker_.pointerOver(hit->controlId, IsBusyForHelp(control))) {
        case HoverTracker::Action::HideBalloon:
            hideBalloon();
            break;
        case HoverTracker::Action::ShowBalloon:
            showBalloon(hit->text, point);
            break;
        case HoverTracker::Action::None:
            break;
        }
        // The keyboard focus stays where it was, whatever opening a balloon did.
        if (focus != nullptr && IsWindow(focus)) SetFocus(focus);
    }

private:
    void showBalloon(const char* text, POINT point) {
        hideBalloon();
        // The balloon becomes the current one only after Show, so that
        // nothing that Show sets off can release it while it is being shown.
        auto shown = std::make_unique<BalloonWindow>(bitmapId_);
        shown->Show(window_, text, point.x, point.y, postDelay_);
        balloon_ = std::move(shown);
    }

    std::unique_ptr<BalloonWindow> balloon_;  // shown or last shown
    HWND window_ = nullptr;                   // the window whose controls have help
    const HelpEntry* table_ = nullptr;
    int bitmapId_ = 0;
    int32_t postDelay_ = 0;
    bool timerRunning_ = false;  // timer kHoverTimer of window_
    HoverTracker tracker_;
};

// The top-level window that holds the help of `window`.
HWND helpHolder(HWND window) { return window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr; }

BalloonHelp* helpOn(HWND holder) {
    return holder != nullptr ? static_cast<BalloonHelp*>(GetPropW(holder, kHelpProperty)) : nullptr;
}

BOOL CALLBACK findHelp(HWND window, LPARAM found) {
    BalloonHelp* help = helpOn(window);
    if (help == nullptr) return TRUE;
    *reinterpret_cast<BalloonHelp**>(found) = help;
    return FALSE;
}

// The help started on one of this thread's windows, or null.
BalloonHelp* installedHelp() {
    BalloonHelp* found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &findHelp, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Takes the help off its window and ends it.
void removeHelp(BalloonHelp* help) {
    if (help == nullptr) return;
    const HWND holder = helpHolder(help->window());
    if (helpOn(holder) == help) RemovePropW(holder, kHelpProperty);
    delete help;
}

}  // namespace

// ---------------------------------------------------------------------------
// BalloonWindow

// clang-format off
const MessageMapEntry BalloonWindow::messageMap[] = {
//  message               first id  last id  handler
  { WM_CREATE,            0,        0,       handler(&BalloonWindow::onCreate) },
  { WM_LBUTTONDOWN,       0,        0,       handler(&BalloonWindow::onFadeStep) },
  { WM_TIMER,             0,        0,       handler(&BalloonWindow::onFadeStep) },
  { WM_WINDOWPOSCHANGING, 0,        0,       handler(&BalloonWindow::onPositionChanging) },
  { WM_MOUSEACTIVATE,     0,        0,       handler(&BalloonWindow::onMouseActivate) },
  { 0,                    0,        0,       nullptr },
};
// clang-format on

void BalloonClassInfo::FillClass(WNDCLASSEXW& description) {
    description.style = CS_OWNDC;
    description.hIcon = nullptr;
    description.hIconSm = nullptr;
    description.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HELP));
    description.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    description.lpszMenuName = nullptr;
}

BalloonWindow::BalloonWindow(int bitmapId, const balloon::Point* shape, size_t count, const balloon::ShapeBox* textBox)
    : PopupWindow(kClassName, &balloonClass_), shape_(shape, count, textBox) {
    loadBackground(bitmapId);
}

BalloonWindow::~BalloonWindow() {
    // The window itself is taken down by ~PopupWindow, detached first.
    if (frameRegion_ != nullptr) DeleteObject(frameRegion_);
    if (background_ != nullptr) DeleteObject(background_);
}

void BalloonWindow::Hide() {
    if (hwnd != nullptr && IsWindow(hwnd)) DestroyWindow(hwnd);
}

HWND BalloonWindow::Show(HWND parent, const char* text, int32_t x, int32_t y, int32_t postDelayMs) {
    text_ = text != nullptr ? text : "";
    balloon::Size measured = {};
    int32_t wordCount = 0;
    if (!measure(parent, measured, wordCount)) return nullptr;

    const balloon::Size size = {measured.width + 1, measured.height + 1};
    const balloon::Size screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const balloon::Placement place = balloon::placeBalloon(x, y, size, screen);
    mirror_ = place.mirror;
    duration_ = balloon::displayTimeMs(wordCount, postDelayMs);
    return Create(parent, text_.c_str(), place.left, place.top, size.width, size.height);
}

bool BalloonWindow::measure(HWND parent, balloon::Size& size, int32_t& wordCount) const {
    // Words are found in the text as drawn, one UTF-16 unit per character.
    const std::wstring wide = widenCp1251(text_.c_str());
    std::string spaces(wide.size(), 'x');
    for (size_t i = 0; i < wide.size(); ++i) {
        if (wide[i] == L' ') spaces[i] = ' ';
    }
    const std::vector<balloon::WordSpan> words = balloon::findWords(spaces);
    if (words.empty()) return false;

    const HDC dc = GetDC(parent);
    if (dc == nullptr) return false;
    const int saved = SaveDC(dc);
    SelectObject(dc, balloonFont());
    SetMapMode(dc, MM_TEXT);

    int32_t widest = 0;
    for (const balloon::WordSpan& word : words) {
        SIZE extent = {};
        if (GetTextExtentPoint32W(dc, wide.c_str() + word.start, static_cast<int>(word.measuredLength), &extent)) {
            widest = std::max<int32_t>(widest, extent.cx);
        }
    }
    SIZE zeros = {};
    GetTextExtentPoint32W(dc, L"000", 3, &zeros);

    RECT rect = {0, 0, balloon::wrappingWidth(widest, zeros.cx, words.size()), 0};
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    size = balloon::measuredSize(shape_, rect.right, rect.bottom);
    wordCount = static_cast<int32_t>(words.size());

    RestoreDC(dc, saved);
    ReleaseDC(parent, dc);
    return true;
}

int32_t BalloonWindow::onCreate() {
    buildOutline();

    const HMODULE user32 = GetModuleHandleW(L"User32.dll");
    const FARPROC found = user32 != nullptr ? GetProcAddress(user32, "SetLayeredWindowAttributes") : nullptr;
    fade_ = reinterpret_cast<FadeFunction>(reinterpret_cast<void*>(found));
    if (fade_ != nullptr) {
        alpha_ = balloon::kFadeStartAlpha;
        fade_(hwnd, 0, static_cast<BYTE>(alpha_), LWA_ALPHA);
    } else {
        // A layered window is never drawn until its attributes are set: the
        // balloon shows opaque instead, and ends without a fade.
        alpha_ = 0;
        SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) & ~WS_EX_LAYERED);
    }

    SetWindowTextW(hwnd, widenCp1251(text_.c_str()).c_str());
    windowExists = true;
    SetTimer(hwnd, kDisplayTimer, static_cast<UINT>(duration_), nullptr);
    return 1;
}

void BalloonWindow::buildOutline() {
    if (frameRegion_ != nullptr) {
        DeleteObject(frameRegion_);
        frameRegion_ = nullptr;
    }
    windowPoints_.clear();
    RECT rect;
    if (!GetWindowRect(hwnd, &rect)) return;

    const balloon::Outline outline =
        balloon::scaleOutline(shape_, rect.right - rect.left, rect.bottom - rect.top, mirror_);
    for (const balloon::Point& p : outline.points) windowPoints_.push_back({p.x, p.y});
    textRect_ = {outline.textRect.left, outline.textRect.top, outline.textRect.right, outline.textRect.bottom};

    const HRGN region = CreatePolygonRgn(windowPoints_.data(), static_cast<int>(windowPoints_.size()), WINDING);
    if (region == nullptr) return;
    frameRegion_ = CreateRectRgn(0, 0, 0, 0);
    if (frameRegion_ != nullptr && CombineRgn(frameRegion_, region, nullptr, RGN_COPY) == ERROR) {
        DeleteObject(frameRegion_);
        frameRegion_ = nullptr;
    }
    // The window owns the region once it has it.
    if (!SetWindowRgn(hwnd, region, TRUE)) DeleteObject(region);
}

int32_t BalloonWindow::onFadeStep() {
    const balloon::FadeStep step = balloon::fadeStep(alpha_, fade_ != nullptr);
    if (step.apply) fade_(hwnd, 0, static_cast<BYTE>(step.appliedAlpha), LWA_ALPHA);
    if (step.restartTimer) SetTimer(hwnd, kDisplayTimer, balloon::kFadePeriodMs, nullptr);
    if (step.destroy) {
        KillTimer(hwnd, kDisplayTimer);
        DestroyWindow(hwnd);
    }
    return 0;
}

int32_t BalloonWindow::onPositionChanging(LPARAM position) {
    reinterpret_cast<WINDOWPOS*>(position)->flags |= SWP_NOACTIVATE;
    return kNotHandled;
}

int32_t BalloonWindow::onMouseActivate() { return MA_NOACTIVATE; }

void BalloonWindow::OnDestroyed() {
    if (hwnd != nullptr) KillTimer(hwnd, kDisplayTimer);
    windowExists = false;
    PopupWindow::OnDestroyed();
}

void BalloonWindow::OnPaint(HDC dc, const RECT& clientRect) {
    if (dc == nullptr) return;
    // The context is the class's own: leave it as it was found.
    const int saved = SaveDC(dc);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, GetSysColorBrush(COLOR_INFOBK));
    SelectObject(dc, balloonFont());
    SetPolyFillMode(dc, WINDING);

    if (background_ != nullptr) {
        tileBitmap(dc, &clientRect, background_, backgroundOriginX_, backgroundOriginY_, nullptr);
    } else if (!windowPoints_.empty()) {
        Polygon(dc, windowPoints_.data(), static_cast<int>(windowPoints_.size()));
    }
    if (frameRegion_ != nullptr) FrameRgn(dc, frameRegion_, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)), 1, 1);

    const std::wstring wide = widenCp1251(text_.c_str());
    RECT textRect = textRect_;
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &textRect, DT_WORDBREAK | DT_CENTER);
    RestoreDC(dc, saved);
}

// The bitmap resource as a device-dependent bitmap of the screen. A resource
// that is missing, or smaller than its header says, leaves no background.
void BalloonWindow::loadBackground(int bitmapId) {
    if (background_ != nullptr) {
        DeleteObject(background_);
        background_ = nullptr;
    }
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(bitmapId), reinterpret_cast<LPCWSTR>(RT_BITMAP));
    if (found == nullptr) return;
    const HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = static_cast<const BYTE*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    const uint64_t available = SizeofResource(module, found);
    if (bytes == nullptr || available < sizeof(BITMAPINFOHEADER)) return;

    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    const int bits = header->biBitCount;
    if (header->biSize < sizeof(BITMAPINFOHEADER) || header->biWidth <= 0 || header->biHeight == 0 ||
        header->biPlanes != 1) {
        return;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return;

    // The colour table: 2^bits entries up to 8 bits, unless the header says
    // fewer are used; none above 8 bits.
    uint64_t colours = 0;
    if (bits <= 8) {
        colours = uint64_t{1} << bits;
        if (header->biClrUsed != 0 && header->biClrUsed < colours) colours = header->biClrUsed;
    }
    uint64_t pixelOffset = header->biSize + colours * sizeof(RGBQUAD);
    if (header->biCompression == BI_BITFIELDS && header->biSize == sizeof(BITMAPINFOHEADER)) pixelOffset += 3 * 4;
    uint64_t imageBytes;
    if (header->biCompression == BI_RGB || header->biCompression == BI_BITFIELDS) {
        const uint64_t stride = ((uint64_t(header->biWidth) * uint64_t(bits) + 31) / 32) * 4;
        imageBytes = stride * uint64_t(std::llabs(header->biHeight));
    } else {
        imageBytes = header->biSizeImage;
    }
    if (pixelOffset + imageBytes > available) return;

    const HDC screen = GetDC(nullptr);
    if (screen == nullptr) return;
    background_ = CreateDIBitmap(screen, header, CBM_INIT, bytes + pixelOffset,
                                 reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
}

// ---------------------------------------------------------------------------
// Help

void StartHelp(HWND window, const HelpEntry* table, int bitmapId, int32_t preDelayMs, int32_t postDelayMs) {
    removeHelp(installedHelp());
    // Counting starts afresh: ids of an earlier window mean nothing here.
    const HWND holder = helpHolder(window);
    if (holder == nullptr) return;
    auto* help = new BalloonHelp(window, table, bitmapId, preDelayMs, postDelayMs);
    if (!SetPropW(holder, kHelpProperty, help)) delete help;
}

void HideHelp() {
    if (BalloonHelp* help = installedHelp()) help->hideBalloon();
}

void StopHelp(HWND window) { removeHelp(helpOn(helpHolder(window))); }

void CALLBACK HelpHoverTick(HWND window, UINT, UINT_PTR, DWORD) {
    // No exception may unwind through the system's timer dispatch.
    try {
        BalloonHelp* help = window != nullptr ? helpOn(helpHolder(window)) : installedHelp();
        if (help != nullptr) help->tick();
    } catch (...) {
    }
}

bool IsBusyForHelp(HWND control) {
    if (control == nullptr) return false;
    wchar_t name[kClassNameChars] = {};
    if (GetClassNameW(control, name, kClassNameChars) == 0) return false;
    if (lstrcmpiW(name, L"COMBOBOX") != 0) return false;
    return SendMessageW(control, CB_GETDROPPEDSTATE, 0, 0) != 0;
}

BalloonWindow* CurrentHelpBalloon() {
    const BalloonHelp* help = installedHelp();
    return help != nullptr ? help->balloon() : nullptr;
}
