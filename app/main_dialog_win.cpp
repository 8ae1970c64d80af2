#include "app/main_dialog_win.h"

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
    void* LoadComponent(ComponentHandle& handle, const char* maker, const char* group, const char* version,
                        const char* name, const char* exportName) override {
        return ::LoadComponent(handle, maker, group, version, name, exportName);
    }
    void showStartupError(const char* text) override {
        FormattedMessageBox(kStartupCaption, MB_ICONERROR | MB_OK, "%s", text);
    }
    SystemColours systemColours() override { return {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNSHADOW)}; }
};

// RECT and PlotRect share their layout.
static_assert(sizeof(RECT) == sizeof(PlotRect));

// The controls that the bench names, by their ids.
int controlId(BenchControl control) {
    switch (control) {
    case BenchControl::Start:
        return IDC_START_STOP;
    case BenchControl::Record:
        return IDC_RECORD;
    case BenchControl::ChooseFile:
        return IDC_CHOOSE_FILE;
    case BenchControl::AutoScale:
        return IDC_AUTO_SCALE;
    case BenchControl::Size:
        return IDC_SIZE_LIST;
    case BenchControl::ViewMode:
        return IDC_VIEW_MODE;
    case BenchControl::Averaging:
        return IDC_AVERAGING;
    case BenchControl::Window:
        return IDC_FFT_WINDOW;
    }
    return 0;
}

int plotId(PlotId plot) { return plot == PlotId::Main ? IDC_MAIN_PLOT : IDC_TOP_PLOT; }

}  // namespace

// clang-format off
const MessageMapEntry MainDialog::messageMap[] = {
//  message            first id              last id  handler
  { WM_TIMER,          0,                    0,       handler(&MainDialog::onTimer) },
  { WM_LBUTTONDOWN,    0,                    0,       handler(&MainDialog::onPlotLeftDown) },
  { WM_LBUTTONDBLCLK,  0,                    0,       handler(&MainDialog::onPlotLeftDoubleClick) },
  { WM_RBUTTONDOWN,    0,                    0,       handler(&MainDialog::onPlotRightDown) },
  { WM_MOUSEMOVE,      0,                    0,       handler(&MainDialog::onPlotMouseMove) },
  { WM_LBUTTONUP,      0,                    0,       handler(&MainDialog::onPlotLeftUp) },
  { WM_CAPTURECHANGED, 0,                    0,       handler(&MainDialog::onCaptureChanged) },
  { WM_MOUSELEAVE,     0,                    0,       handler(&MainDialog::onMouseLeave) },
  { WM_INITDIALOG,     0,                    0,       handler(&MainDialog::onInitDialog) },
  { WM_DESTROY,        0,                    0,       handler(&MainDialog::onDestroy) },
  { WM_MOVE,           0,                    0,       handler(&MainDialog::onMove) },
  { WM_COMMAND,        IDC_AUTO_SCALE,       0,       handler(&MainDialog::onAutoScaleCommand) },
  { WM_COMMAND,        IDCANCEL,             0,       handler(&MainDialog::onCancel) },
  { WM_COMMAND,        IDC_START_STOP,       0,       handler(&MainDialog::onStartStop) },
  { WM_COMMAND,        IDM_REFRESH_CHANNELS, 0,       handler(&MainDialog::onRefreshChannels) },
  { WM_COMMAND,        IDC_RECORD,           0,       handler(&MainDialog::onRecordCommand) },
  { WM_COMMAND,        IDC_CHOOSE_FILE,      0,       handler(&MainDialog::onChooseFile) },
  { WM_COMMAND,        0,                    0,       handler(&MainDialog::onComboCommand) },
  { 0,                 0,                    0,       nullptr },
};
// clang-format on

MainDialog::MainDialog(HINSTANCE instance) : instance_(instance) {
#if defined(__i386__)
    // The x87 unit computes with the full 64-bit mantissa for the whole run
    // (the 64-bit build computes with SSE2, where this setting does not apply).
    _controlfp(_PC_64, _MCW_PC);
#endif
    WindowsStartupServices services;
    if (bench_.start(services) != StartupError::None) return;

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

MainDialog::~MainDialog() {
    bench_.bindView(nullptr);
    if (listFont_) DeleteObject(listFont_);
}

// ---- Messages -----------------------------------------------------------------

int32_t MainDialog::onTimer(WPARAM timer) {
    if (timer == kAcquisitionTimer) bench_.onAcquisitionTimer();
    return 0;
}

// Mouse buttons and moves over the main plot go to its component. A left
// press in the plot takes the mouse until the button comes up, so that the
// release reaches the component wherever it happens: a drag let go outside
// the plot (or the window) zooms nothing. While the pointer is over the
// dialog its leaving is tracked, so that the component hears of it also
// when no move lands outside the plot.
int32_t MainDialog::onPlotLeftDown() {
    if (bench_.onPlotButton(kPlotLeftButton, kPlotPress)) {
        plotCapture_ = true;
        SetCapture(hwnd);
    }
    return 0;
}

int32_t MainDialog::onPlotLeftDoubleClick() {
    bench_.onPlotButton(kPlotLeftButton, kPlotDoubleClick);
    return 0;
}

int32_t MainDialog::onPlotRightDown() {
    bench_.onPlotButton(kPlotRightButton, kPlotPress);
    return 0;
}

int32_t MainDialog::onPlotMouseMove(WPARAM keys) {
    if (!leaveTracked_) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, 0};
        leaveTracked_ = TrackMouseEvent(&track) != FALSE;
    }
    bench_.onPlotMove(static_cast<int32_t>(keys));
    return 0;
}

int32_t MainDialog::onPlotLeftUp(WPARAM keys) {
    if (!plotCapture_) return 0;
    plotCapture_ = false;
    ReleaseCapture();
    bench_.onPlotButtonUp(static_cast<int32_t>(keys), false);
    return 0;
}

// Another window took the mouse before the button came up (a message box,
// a switch to another program): the drag is dropped.
int32_t MainDialog::onCaptureChanged() {
    if (!plotCapture_) return 0;
    plotCapture_ = false;
    bench_.onPlotButtonUp(0, true);
    return 0;
}

int32_t MainDialog::onMouseLeave() {
    leaveTracked_ = false;
    if (!plotCapture_) bench_.onPlotLeave();
    return 0;
}

int32_t MainDialog::onInitDialog() {
    if (!bench_.mainPlot() || !bench_.utility || !bench_.device) return onDestroy();
    bench_.bindView(this);

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
    bench_.onDialogReady(hwnd);
    startHelp();
    PostMessageW(hwnd, WM_COMMAND, IDM_REFRESH_CHANNELS, 0);
    return 0;
}

int32_t MainDialog::onDestroy() {
    bench_.onClosing();
    PostQuitMessage(0);
    return 0;
}

// A moving window leaves its help balloon behind: close it.
int32_t MainDialog::onMove() {
    HideHelp();
    return kNotHandled;
}

int32_t MainDialog::onAutoScaleCommand() {
    bench_.onAutoScale();
    return 0;
}

int32_t MainDialog::onCancel() {
    DestroyWindow(hwnd);
    return 0;
}

int32_t MainDialog::onStartStop(WPARAM wParam) {
    bench_.startAcquisition(HIWORD(wParam));
    return 0;
}

int32_t MainDialog::onRefreshChannels() {
    bench_.onRefreshChannels();
    return 0;
}

int32_t MainDialog::onRecordCommand(WPARAM wParam) {
    bench_.onRecordButton(HIWORD(wParam));
    return 0;
}

int32_t MainDialog::onChooseFile() {
    bench_.onChooseFile();
    return 0;
}

// The lists' notifications; the bench acts on a list's close-up only.
int32_t MainDialog::onComboCommand(WPARAM wParam, LPARAM) {
    const ListEvent event = HIWORD(wParam) == CBN_CLOSEUP ? ListEvent::ClosedUp : ListEvent::Other;
    for (BenchControl list : {BenchControl::ViewMode, BenchControl::Averaging, BenchControl::Window}) {
        if (LOWORD(wParam) == controlId(list)) bench_.onListEvent(list, event);
    }
    return 0;
}

void MainDialog::OnDestroyed() {
    bench_.onClosed();
    StopHelp(hwnd);
    Window::OnDestroyed();
}

void MainDialog::OnPaint(HDC, const RECT&) { bench_.onPaint(); }

// ---- Initialisation -------------------------------------------------------------

// A 10-point fixed-pitch font for the results list and three of the lists;
// the FFT Window list keeps the dialog's font.
void MainDialog::setListFont() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    if (!listFont_) {
        listFont_ =
            CreateFontW(-10 * dpi / 72, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier");
    }
    for (int control : {IDC_INFO, IDC_VIEW_MODE, IDC_AVERAGING, IDC_SIZE_LIST}) {
        SendDlgItemMessageW(hwnd, control, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_), FALSE);
    }
}

// The balloon help of the dialog's controls starts here.
void MainDialog::startHelp() {
    const Settings& settings = bench_.settings;
    StartHelp(hwnd, mainDialogHelp(), IDB_BALLOON, settings.helpPreDelay, settings.helpPostDelay);
}

// The save-file dialog starts in the current directory with the current
// record file.
bool MainDialog::chooseRecordFile(const char* current, std::string& chosen) {
    wchar_t directory[256] = L"";
    const DWORD length = GetCurrentDirectoryW(256, directory);
    if (length == 0 || length >= 256) directory[0] = L'\0';

    wchar_t file[256] = L"";
    lstrcpynW(file, widenCp1251(current).c_str(), 256);
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
    if (!GetSaveFileNameW(&dialog)) return false;
    chosen = narrowCp1251(file);
    return true;
}

// ---- Message boxes ----------------------------------------------------------------

int32_t MainDialog::FormattedWindowMessage(UINT style, const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return ShowMessage(text, style);
}

// ---- BenchView --------------------------------------------------------------------

bool MainDialog::isDown(BenchControl button) { return IsDlgButtonChecked(hwnd, controlId(button)) == BST_CHECKED; }

void MainDialog::showDown(BenchControl button, bool down) {
    CheckDlgButton(hwnd, controlId(button), down ? BST_CHECKED : BST_UNCHECKED);
}

void MainDialog::enable(BenchControl control, bool enabled) {
    HWND item = GetDlgItem(hwnd, controlId(control));
    if (!item) return;
    // A control that loses its input while it has the keyboard focus hands
    // the focus on, or the dialog would be left without one and ignore
    // Escape and Tab.
    if (!enabled && item == GetFocus()) SendMessageW(hwnd, WM_NEXTDLGCTL, 0, FALSE);
    EnableWindow(item, enabled);
}

void MainDialog::fillList(BenchControl list, const std::vector<std::string>& texts, int32_t selection) {
    const int control = controlId(list);
    SendDlgItemMessageW(hwnd, control, CB_RESETCONTENT, 0, 0);
    for (const std::string& text : texts) {
        SendDlgItemMessageW(hwnd, control, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(widenCp1251(text.c_str()).c_str()));
    }
    SendDlgItemMessageW(hwnd, control, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

BenchChoices MainDialog::readChoices() {
    const auto selection = [this](BenchControl list) {
        return static_cast<int32_t>(SendDlgItemMessageW(hwnd, controlId(list), CB_GETCURSEL, 0, 0));
    };
    BenchChoices choices;
    choices.size = selection(BenchControl::Size);
    choices.view = selection(BenchControl::ViewMode);
    choices.autoScale = isDown(BenchControl::AutoScale);
    choices.averaging = selection(BenchControl::Averaging);
    choices.window = selection(BenchControl::Window);
    return choices;
}

// The list is filled again without drawing, then scrolled back to the line
// that was first visible, and drawn once.
void MainDialog::showResults(const ResultsLines& lines) {
    const WPARAM firstVisible = static_cast<WPARAM>(SendDlgItemMessageW(hwnd, IDC_INFO, LB_GETTOPINDEX, 0, 0));
    SendDlgItemMessageW(hwnd, IDC_INFO, WM_SETREDRAW, FALSE, 0);
    SendDlgItemMessageW(hwnd, IDC_INFO, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < lines.count; ++i) {
        SendDlgItemMessageW(hwnd, IDC_INFO, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(widenCp1251(lines.line[i]).c_str()));
    }
    SendDlgItemMessageW(hwnd, IDC_INFO, LB_SETTOPINDEX, firstVisible, 0);
    SendDlgItemMessageW(hwnd, IDC_INFO, WM_SETREDRAW, TRUE, 0);
    if (HWND list = GetDlgItem(hwnd, IDC_INFO)) InvalidateRect(list, nullptr, TRUE);
}

void MainDialog::showDiskTexts(const DiskTexts& texts) {
    constexpr uint32_t kBlack = 0;
    drawStatusText(IDC_DISK_FREE, texts.freeText, kBlack);
    drawStatusText(IDC_RECORDED, texts.savedText, kBlack);
}

void* MainDialog::beginPlotPaint(PlotId plot, PlotRect* client) {
    HWND item = GetDlgItem(hwnd, plotId(plot));
    if (!item) return nullptr;
    RECT rect;
    GetClientRect(item, &rect);
    *client = {rect.left, rect.top, rect.right, rect.bottom};
    return GetDC(item);
}

void MainDialog::endPlotPaint(PlotId plot, void* dc) {
    if (dc) ReleaseDC(GetDlgItem(hwnd, plotId(plot)), static_cast<HDC>(dc));
}

bool MainDialog::pointerInMainPlot(PlotPoint* point, PlotRect* client) {
    HWND item = GetDlgItem(hwnd, IDC_MAIN_PLOT);
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
void MainDialog::drawStatusText(int control, const char* text, uint32_t colour) {
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
            BitBlt(dc, inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top, memory, inner.left,
                   inner.top, SRCCOPY);
            SelectObject(memory, oldFont);
            SelectObject(memory, oldBitmap);
            DeleteObject(face);
            DeleteObject(bitmap);
        }
    }
    DeleteDC(memory);
    ReleaseDC(item, dc);
}

void MainDialog::redrawLater() { InvalidateRect(hwnd, nullptr, FALSE); }

void MainDialog::close() { DestroyWindow(hwnd); }

void MainDialog::showError(const char* text) { FormattedWindowMessage(MB_ICONERROR | MB_OK, "%s", text); }

void MainDialog::armTimer(uint32_t periodMs) { SetTimer(hwnd, kAcquisitionTimer, periodMs, nullptr); }

void MainDialog::killTimer() { KillTimer(hwnd, kAcquisitionTimer); }

uint32_t MainDialog::tickCount() { return GetTickCount(); }
