#include "app/application_win.h"

#include <commdlg.h>
#include <float.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "app/message_box.h"
#include "platform/text_cp1251.h"
#include "resources/resource.h"
#include "ui/balloon_win.h"
#include "ui/help_table.h"
#include "ui/text_win.h"

namespace {

constexpr char kWindowTitle[] = "  Quorvel v3.1 [ May 18 2008 ]";
constexpr char kStartupCaption[] = "Quorvel";

// The acquisition timer of the main window.
constexpr UINT_PTR kAcquisitionTimer = 1;

// Start-up's view of the system.
class WindowsStartupServices final : public StartupServices {
public:
    void* LoadComponent(ComponentHandle& handle, const char* maker, const char* group,
                        const char* version, const char* name, const char* exportName) override {
        return ::LoadComponent(handle, maker, group, version, name, exportName);
    }
    void showStartupError(const char* text) override {
        FormattedMessageBox(kStartupCaption, MB_ICONERROR | MB_OK, "%s", text);
    }
    SystemColours systemColours() override {
        return {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNSHADOW)};
    }
};

// RECT and PlotRect share their layout.
static_assert(sizeof(RECT) == sizeof(PlotRect));

// The plot components' cursor: kind 3 in light green.
constexpr uint32_t kCursorStyle[5] = {3, 0x0080FF80, 0, 0, 0};

}  // namespace

// clang-format off
const MessageMapEntry Application::messageMap[] = {
//  message            first id              last id  handler
  { WM_TIMER,          0,                    0,       handler(&Application::onTimer) },
  { WM_LBUTTONDOWN,    0,                    0,       handler(&Application::onPlotLeftDown) },
  { WM_LBUTTONDBLCLK,  0,                    0,       handler(&Application::onPlotLeftDoubleClick) },
  { WM_RBUTTONDOWN,    0,                    0,       handler(&Application::onPlotRightDown) },
  { WM_MOUSEMOVE,      0,                    0,       handler(&Application::onPlotMouseMove) },
  { WM_LBUTTONUP,      0,                    0,       handler(&Application::onPlotLeftUp) },
  { WM_CAPTURECHANGED, 0,                    0,       handler(&Application::onCaptureChanged) },
  { WM_MOUSELEAVE,     0,                    0,       handler(&Application::onMouseLeave) },
  { WM_INITDIALOG,     0,                    0,       handler(&Application::onInitDialog) },
  { WM_DESTROY,        0,                    0,       handler(&Application::onDestroy) },
  { WM_MOVE,           0,                    0,       handler(&Application::onMove) },
  { WM_COMMAND,        IDC_AUTO_SCALE,       0,       handler(&Application::onAutoScaleCommand) },
  { WM_COMMAND,        IDCANCEL,             0,       handler(&Application::onCancel) },
  { WM_COMMAND,        IDC_START_STOP,       0,       handler(&Application::onStartStop) },
  { WM_COMMAND,        IDM_REFRESH_CHANNELS, 0,       handler(&Application::onRefreshChannels) },
  { WM_COMMAND,        IDC_RECORD,           0,       handler(&Application::onRecordCommand) },
  { WM_COMMAND,        IDC_CHOOSE_FILE,      0,       handler(&Application::onChooseFile) },
  { WM_COMMAND,        0,                    0,       handler(&Application::onComboCommand) },
  { 0,                 0,                    0,       nullptr },
};
// clang-format on

Application::Application(HINSTANCE instance) : instance_(instance) {
#if defined(__i386__)
    // The x87 unit computes with the full 64-bit mantissa for the whole run
    // (the 64-bit build computes with SSE2, where this setting does not apply).
    _controlfp(_PC_64, _MCW_PC);
#endif
    WindowsStartupServices services;
    if (start(services) != StartupError::None) return;

    mainIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_MAIN));
    icon = mainIcon;
    if (!CreateModeless(instance_, IDD_MAIN, nullptr)) return;
    Subclass();
    if (mainIcon) SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(mainIcon));
    left = top = -1000;
    Place(-1000, -1000);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
}

Application::~Application() {
    bindDialog(nullptr);
    if (listFont_) DeleteObject(listFont_);
}

// ---- Messages -----------------------------------------------------------------

int32_t Application::onTimer(WPARAM timer) {
    if (timer == kAcquisitionTimer) onAcquisitionTimer();
    return 0;
}

// Mouse buttons and moves over the main plot go to its component. A left
// press in the plot takes the mouse until the button comes up, so that the
// release reaches the component wherever it happens: a drag let go outside
// the plot (or the window) zooms nothing. While the pointer is over the
// dialog its leaving is tracked, so that the component hears of it also
// when no move lands outside the plot.
int32_t Application::onPlotLeftDown() {
    if (onPlotButton(kPlotLeftButton, kPlotPress)) {
        plotCapture_ = true;
        SetCapture(hwnd);
    }
    return 0;
}

int32_t Application::onPlotLeftDoubleClick() {
    onPlotButton(kPlotLeftButton, kPlotDoubleClick);
    return 0;
}

int32_t Application::onPlotRightDown() {
    onPlotButton(kPlotRightButton, kPlotPress);
    return 0;
}

int32_t Application::onPlotMouseMove(WPARAM keys) {
    if (!leaveTracked_) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, 0};
        leaveTracked_ = TrackMouseEvent(&track) != FALSE;
    }
    onPlotMove(static_cast<int32_t>(keys));
    return 0;
}

int32_t Application::onPlotLeftUp(WPARAM keys) {
    if (!plotCapture_) return 0;
    plotCapture_ = false;
    ReleaseCapture();
    onPlotButtonUp(static_cast<int32_t>(keys), false);
    return 0;
}

// Another window took the mouse before the button came up (a message box,
// a switch to another program): the drag is dropped.
int32_t Application::onCaptureChanged() {
    if (!plotCapture_) return 0;
    plotCapture_ = false;
    onPlotButtonUp(0, true);
    return 0;
}

int32_t Application::onMouseLeave() {
    leaveTracked_ = false;
    if (!plotCapture_) onPlotLeave();
    return 0;
}

int32_t Application::onInitDialog() {
    if (!mainPlot || !utility || !device) return onDestroy();
    bindDialog(this);

    SetWindowTextW(hwnd, widenCp1251(kWindowTitle).c_str());
    const struct {
        int control;
        int icon;
    } buttonIcons[] = {{IDC_START_STOP, IDI_START}, {IDC_RECORD, IDI_RECORD}, {IDC_CHOOSE_FILE, IDI_FILE}};
    for (const auto& b : buttonIcons) {
        SendDlgItemMessageW(hwnd, b.control, BM_SETIMAGE, IMAGE_ICON,
                            reinterpret_cast<LPARAM>(LoadIconW(instance_, MAKEINTRESOURCEW(b.icon))));
    }

    setListFont();
    fillControls();

    plotStyle.window = hwnd;
    plotStyle.fontNamePtr = plotStyle.fontName;
    passStyle(mainPlot);
    passStyle(topPlot);

    CheckDlgButton(hwnd, IDC_RECORD, BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_START_STOP, BST_UNCHECKED);
    updateControlStates(true);
    startHelp();
    engine.writeBoardParameters();
    PostMessageW(hwnd, WM_COMMAND, IDM_REFRESH_CHANNELS, 0);
    return 0;
}

int32_t Application::onDestroy() {
    stopAcquisition();
    PostQuitMessage(0);
    return 0;
}

// A moving window leaves its help balloon behind: close it.
int32_t Application::onMove() {
    HideHelp();
    return kNotHandled;
}

int32_t Application::onAutoScaleCommand() {
    onAutoScale();
    return 0;
}

int32_t Application::onCancel() {
    DestroyWindow(hwnd);
    return 0;
}

int32_t Application::onStartStop(WPARAM wParam) {
    startAcquisition(HIWORD(wParam));
    return 0;
}

int32_t Application::onRefreshChannels() {
    engine.refreshChannelList();
    return 0;
}

int32_t Application::onRecordCommand(WPARAM wParam) {
    onRecordButton(HIWORD(wParam));
    return 0;
}

int32_t Application::onChooseFile() {
    chooseRecordFile();
    return 0;
}

int32_t Application::onComboCommand(WPARAM wParam, LPARAM) {
    onControlCommand(LOWORD(wParam), HIWORD(wParam));
    return 0;
}

void Application::OnDestroyed() {
    saveViewState(viewState, kViewStateFileName);
    bindDialog(nullptr);
    releaseComponents();
    HideHelp();
    Window::OnDestroyed();
}

void Application::OnPaint(HDC, const RECT&) {
    redrawPlots(false);
    showDiskSpace();
}

// ---- Initialisation -------------------------------------------------------------

// A 10-point fixed-pitch font for the results list and three of the lists;
// the FFT Window list keeps the dialog's font.
void Application::setListFont() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    if (!listFont_) {
        listFont_ = CreateFontW(-10 * dpi / 72, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                                FIXED_PITCH | FF_MODERN, L"Courier");
    }
    for (int control : {IDC_INFO, IDC_VIEW_MODE, IDC_AVERAGING, IDC_SIZE_LIST}) {
        SendDlgItemMessageW(hwnd, control, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_), FALSE);
    }
}

void Application::passStyle(IPellumE* plot) {
    if (!plot) return;
    plot->SetStyle(&plotStyle);
    plot->SetProperty(kPlotPropertyCursor, kCursorStyle);
}

// The balloon help of the dialog's controls starts here.
void Application::startHelp() {
    StartHelp(hwnd, mainDialogHelp(), IDB_BALLOON, settings.helpPreDelay, settings.helpPostDelay);
}

// The dialog starts in the current directory with the File setting and
// writes the chosen path straight back into it; whether it was confirmed or
// cancelled, the numbering then starts again and the name is rebuilt.
void Application::chooseRecordFile() {
    wchar_t directory[256] = L"";
    const DWORD length = GetCurrentDirectoryW(256, directory);
    if (length == 0 || length >= 256) directory[0] = L'\0';

    wchar_t file[256] = L"";
    const std::wstring current = widenCp1251(recorder.fileName());
    lstrcpynW(file, current.c_str(), 256);
    const std::wstring title = widenCp1251(utf8ToCp1251("Файл для записи").c_str());

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd;
    dialog.lpstrFilter = L"Data Files\0*.dat\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = 256;
    dialog.lpstrInitialDir = directory[0] ? directory : nullptr;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = L"dat";
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT;
    std::string chosen;
    const bool confirmed = GetSaveFileNameW(&dialog) != 0;
    if (confirmed) chosen = narrowCp1251(file);
    onRecordFileChosen(confirmed ? chosen.c_str() : nullptr);
}

// ---- Message boxes ----------------------------------------------------------------

int32_t Application::FormattedWindowMessage(UINT style, const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return ShowMessage(text, style);
}

// ---- DialogServices ---------------------------------------------------------------

bool Application::isChecked(int32_t control) { return IsDlgButtonChecked(hwnd, control) == BST_CHECKED; }

void Application::setChecked(int32_t control, bool checked) {
    CheckDlgButton(hwnd, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Application::enableControl(int32_t control, bool enabled) {
    HWND item = GetDlgItem(hwnd, control);
    if (!item) return;
    // A control that loses its input while it has the keyboard focus hands
    // the focus on, or the dialog would be left without one and ignore
    // Escape and Tab.
    if (!enabled && item == GetFocus()) SendMessageW(hwnd, WM_NEXTDLGCTL, 0, FALSE);
    EnableWindow(item, enabled);
}

void Application::clearCombo(int32_t control) { SendDlgItemMessageW(hwnd, control, CB_RESETCONTENT, 0, 0); }

void Application::addComboText(int32_t control, const char* text) {
    SendDlgItemMessageW(hwnd, control, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(widenCp1251(text).c_str()));
}

void Application::selectComboItem(int32_t control, int32_t index) {
    SendDlgItemMessageW(hwnd, control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int32_t Application::comboSelection(int32_t control) {
    return static_cast<int32_t>(SendDlgItemMessageW(hwnd, control, CB_GETCURSEL, 0, 0));
}

int32_t Application::beginListUpdate(int32_t control) {
    const int32_t topIndex = static_cast<int32_t>(SendDlgItemMessageW(hwnd, control, LB_GETTOPINDEX, 0, 0));
    SendDlgItemMessageW(hwnd, control, WM_SETREDRAW, FALSE, 0);
    SendDlgItemMessageW(hwnd, control, LB_RESETCONTENT, 0, 0);
    return topIndex;
}

void Application::addListLine(int32_t control, const char* text) {
    SendDlgItemMessageW(hwnd, control, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(widenCp1251(text).c_str()));
}

void Application::endListUpdate(int32_t control, int32_t topIndex) {
    SendDlgItemMessageW(hwnd, control, LB_SETTOPINDEX, static_cast<WPARAM>(topIndex), 0);
    SendDlgItemMessageW(hwnd, control, WM_SETREDRAW, TRUE, 0);
    if (HWND list = GetDlgItem(hwnd, control)) InvalidateRect(list, nullptr, TRUE);
}

void* Application::beginPlotPaint(int32_t control, PlotRect* client) {
    HWND item = GetDlgItem(hwnd, control);
    if (!item) return nullptr;
    RECT rect;
    GetClientRect(item, &rect);
    *client = {rect.left, rect.top, rect.right, rect.bottom};
    return GetDC(item);
}

void Application::endPlotPaint(int32_t control, void* dc) {
    if (dc) ReleaseDC(GetDlgItem(hwnd, control), static_cast<HDC>(dc));
}

bool Application::pointerPosition(int32_t control, PlotPoint* point, PlotRect* client) {
    HWND item = GetDlgItem(hwnd, control);
    POINT pointer;
    RECT rect;
    if (!item || !GetCursorPos(&pointer) || !ScreenToClient(item, &pointer) || !GetClientRect(item, &rect)) {
        return false;
    }
    *point = {pointer.x, pointer.y};
    *client = {rect.left, rect.top, rect.right, rect.bottom};
    return true;
}

// The text is composed in a bitmap that spans from the control's client
// origin to its inner area's bottom-right corner, then only the inner area
// (2 pixels inside the etched frame) is copied in one transfer.
void Application::drawStatusText(int32_t control, const char* text, uint32_t colour) {
    HWND item = GetDlgItem(hwnd, control);
    if (!item) return;
    HDC dc = GetDC(item);
    if (!dc) return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) {
        ReleaseDC(item, dc);
        return;
    }
    RECT inner;
    GetClientRect(item, &inner);
    InflateRect(&inner, -2, -2);
    if (inner.right > inner.left && inner.bottom > inner.top) {
        HBITMAP bitmap = CreateCompatibleBitmap(dc, inner.right, inner.bottom);
        if (bitmap) {
            HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
            RECT whole{0, 0, inner.right, inner.bottom};
            HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
            FillRect(memory, &whole, face);
            HGDIOBJ oldFont = SelectObject(memory, GetStockObject(DEFAULT_GUI_FONT));
            SetTextColor(memory, colour & 0xFFFFFF);
            SetBkMode(memory, TRANSPARENT);
            DrawTextW(memory, widenCp1251(text).c_str(), -1, &whole, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
            BitBlt(dc, inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top, memory,
                   inner.left, inner.top, SRCCOPY);
            SelectObject(memory, oldFont);
            SelectObject(memory, oldBitmap);
            DeleteObject(face);
            DeleteObject(bitmap);
        }
    }
    DeleteDC(memory);
    ReleaseDC(item, dc);
}

void Application::invalidate() { InvalidateRect(hwnd, nullptr, FALSE); }

void Application::destroyWindow() { DestroyWindow(hwnd); }

void Application::showError(const char* text) { FormattedWindowMessage(MB_ICONERROR | MB_OK, "%s", text); }

void Application::armTimer(uint32_t periodMs) { SetTimer(hwnd, kAcquisitionTimer, periodMs, nullptr); }

void Application::killTimer() { KillTimer(hwnd, kAcquisitionTimer); }

uint32_t Application::tickCount() { return GetTickCount(); }
