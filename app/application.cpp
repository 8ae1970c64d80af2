#include "app/application.h"

#include <float.h>

#include "app/message_box.h"
#include "resources/resource.h"
#include "ui/text_win.h"

namespace {

constexpr char kWindowTitle[] = "  Quorvel v3.1 [ May 18 2008 ]";
constexpr char kStartupCaption[] = "Quorvel";

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
//  message         first id   last id  kind          handler
  { WM_INITDIALOG,  0,         0,       Args::None,   handler(&Application::onInitDialog) },
  { WM_DESTROY,     0,         0,       Args::None,   handler(&Application::onDestroy) },
  { WM_MOVE,        0,         0,       Args::None,   handler(&Application::onMove) },
  { WM_COMMAND,     IDCANCEL,  0,       Args::None,   handler(&Application::onCancel) },
  { 0,              0,         0,       Args::None,   nullptr },
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

void Application::passStyle(IPellumE* plot) {
    if (!plot) return;
    plot->SetStyle(&settings.plotStyle);
    plot->SetProperty(kPlotPropertyCursor, kCursorStyle);
}

int32_t Application::onInitDialog() {
    if (!mainPlot || !utility || !device) return onDestroy();

    SetWindowTextW(hwnd, widenCp1251(kWindowTitle).c_str());
    const struct {
        int control;
        int icon;
    } buttonIcons[] = {{IDC_START_STOP, IDI_START}, {IDC_RECORD, IDI_RECORD}, {IDC_CHOOSE_FILE, IDI_FILE}};
    for (const auto& b : buttonIcons) {
        SendDlgItemMessageW(hwnd, b.control, BM_SETIMAGE, IMAGE_ICON,
                            reinterpret_cast<LPARAM>(LoadIconW(instance_, MAKEINTRESOURCEW(b.icon))));
    }

    settings.plotStyle.window = hwnd;
    settings.plotStyle.fontNamePtr = settings.plotStyle.fontName;
    passStyle(mainPlot);
    passStyle(topPlot);

    CheckDlgButton(hwnd, IDC_RECORD, BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_START_STOP, BST_UNCHECKED);
    device->Control(kControlWrite, &boardParameters, 0);
    return 0;
}

int32_t Application::onDestroy() {
    PostQuitMessage(0);
    return 0;
}

int32_t Application::onMove() { return kNotHandled; }

int32_t Application::onCancel() {
    DestroyWindow(hwnd);
    return 0;
}

void Application::OnDestroyed() {
    saveViewState(viewState, kViewStateFileName);
    releaseComponents();
    Window::OnDestroyed();
}

void Application::OnPaint(HDC, const RECT&) { redrawPlots(); }

// Draws both plots empty, with their scales, until acquisition fills them.
void Application::redrawPlots() {
    const double windowSeconds = windowLength / channelRate;
    const float scale = settings.oscScale;
    const PlotRange range{0.0f, static_cast<float>(windowSeconds), -scale, scale, -scale, scale};
    const struct {
        IPellumE* plot;
        int control;
        const char* yUnit;
    } plots[] = {{topPlot, IDC_TOP_PLOT, nullptr}, {mainPlot, IDC_MAIN_PLOT, "V  "}};
    for (const auto& p : plots) {
        if (!p.plot) continue;
        HWND control = GetDlgItem(hwnd, p.control);
        HDC dc = GetDC(control);
        RECT client;
        GetClientRect(control, &client);
        p.plot->SetProperty(kPlotPropertyXUnit, "Sec");
        if (p.yUnit) p.plot->SetProperty(kPlotPropertyYUnit, p.yUnit);
        p.plot->BeginDraw(dc, reinterpret_cast<const PlotRect*>(&client), &range, windowLength, 0, 0);
        p.plot->EndDraw();
        ReleaseDC(control, dc);
    }
}
