// How long the plot component takes to redraw the program's plots, measured
// on PellumE.dll as the program loads it, drawing into a real window:
//   main plot  900 x 450, 32 curves: the time signal (N = 2^22 points) or a
//              dB spectrum (2^21 points, markers on every channel);
//   top plot   900 x 130, the same 32 time signals, redrawn before the main
//              plot as the program does.
// Each case is one program redraw (BeginDraw, 32 DrawCurve, EndDraw on each
// plot) after what the case names: new data (an acquisition tick), a repaint
// with the same data, or a mouse event on the main plot. Only the
// component's calls are timed; filling the curve array before each DrawCurve
// (the program's conversion) is not. Every case runs several times; the
// fastest and the median time are printed. Nothing is checked: these are
// figures to read (the aim is 30 ms or less for a redraw after a mouse
// event).
//
// Built by the Windows build beside PellumE.dll; run by
// tests/components/measure_plot_redraw.sh under Wine with a display.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "display/plot_interface.h"
#include "platform/component_abi.h"

namespace {

constexpr int32_t kChannels = 32;
constexpr int32_t kTimePoints = 1 << 22;
constexpr int32_t kSpectrumPoints = 1 << 21;
constexpr int32_t kWidth = 900;
constexpr int32_t kMainHeight = 450;
constexpr int32_t kTopHeight = 130;
constexpr int kRuns = 7;
constexpr int32_t kLeftHeld = 1;  // MK_LBUTTON

double now() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perMs;
}

// Uniform in [-0.5, 0.5).
float noise(uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
}

// One channel's window as a sine with noise, and a dB spectrum with a noise
// floor, a tone and its harmonics. Channels and frames are drawn from them
// with a shift, as cheaply as the program converts its windows.
struct Signals {
    std::vector<float> time, spectrum;
    Signals() : time(kTimePoints), spectrum(kSpectrumPoints) {
        uint32_t seed = 5;
        for (int32_t i = 0; i < kTimePoints; ++i)
            time[i] = 9.0f * std::sin(0.00613f * static_cast<float>(i)) + 0.02f * noise(seed);
        for (int32_t i = 0; i < kSpectrumPoints; ++i) spectrum[i] = -125.0f + 6.0f * noise(seed);
        for (int32_t h = 1; h <= 10; ++h) spectrum[21 * 1024 * h] = -2.0f - 9.0f * h;
    }
};

class Window {
public:
    Window(const char* title, int32_t y, int32_t height) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "PlotRedrawMeasure";
        static const ATOM atom = RegisterClassA(&wc);
        (void)atom;
        hwnd_ = CreateWindowExA(0, "PlotRedrawMeasure", title, WS_POPUP | WS_VISIBLE, 10, y, kWidth, height, nullptr,
                                nullptr, wc.hInstance, nullptr);
        dc_ = hwnd_ ? GetDC(hwnd_) : nullptr;
        client_ = {0, 0, kWidth, height};
    }
    ~Window() {
        if (dc_) ReleaseDC(hwnd_, dc_);
        if (hwnd_) DestroyWindow(hwnd_);
    }
    bool ready() const { return dc_ != nullptr; }
    HDC dc() const { return dc_; }
    const PlotRect& client() const { return client_; }

private:
    HWND hwnd_ = nullptr;
    HDC dc_ = nullptr;
    PlotRect client_{};
};

void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

enum class View { Time, Spectrum };

class Bench {
public:
    Bench(IPellumE* main, IPellumE* top, const Window& mainWindow, const Window& topWindow, const Signals& signals)
        : main_(main),
          top_(top),
          mainWindow_(mainWindow),
          topWindow_(topWindow),
          signals_(signals),
          scratch_(kTimePoints) {
        std::memset(&style_, 0, sizeof style_);
        style_.styleVersion = 768;
        style_.marginX = 10;
        style_.marginY = 10;
        style_.gridLinesY = 5;
        style_.bgColor = GetSysColor(COLOR_BTNFACE);
        style_.oscColor = GetSysColor(COLOR_BTNSHADOW);
        style_.oscGridColor = GetSysColor(COLOR_BTNFACE);
        style_.textColor = 0;
        style_.frameWidth = 2;
        std::snprintf(style_.fontName, sizeof style_.fontName, "Courier New");
        style_.fontNamePtr = style_.fontName;
        style_.fontSize = 8;
        style_.gridLinesX = 8;
        for (int i = 0; i < kChannels; ++i) style_.channelColour[i] = RGB(40 + 6 * i, 200 - 5 * i, (i * 67) & 0xFF);
        const uint32_t cursor[5] = {3, 0x0080FF80, 0, 0, 0};
        for (IPellumE* plot : {main_, top_}) {
            plot->SetStyle(&style_);
            plot->SetProperty(kPlotPropertyCursor, cursor);
        }
        for (int c = 0; c < kChannels; ++c) {
            MarkerRecord* m = markers_[c];
            std::memset(m, 0, sizeof markers_[c]);
            m[0].kind = kMarkerLevelLine;
            m[0].colour = RGB(255, 0, 0);
            m[0].level = -100.0f;
            for (int h = 1; h <= 10; ++h) {
                m[h].kind = kMarkerBin;
                m[h].colour = style_.channelColour[c];
                m[h].bin = 21 * 1024 * h;
                m[h].channel = c;
            }
        }
    }

    void setView(View view) {
        view_ = view;
        const int32_t kind = view == View::Time ? 0 : 10;
        main_->SetProperty(kPlotPropertyViewKind, &kind);
    }
    void newData() { ++generation_; }

    // One program redraw; the component's time on each plot is added up.
    void redraw(double& mainMs, double& topMs) {
        const float seconds = kTimePoints / 100000.0f;
        const PlotRange topRange{0.0f, seconds, -10.0f, 10.0f, -10.0f, 10.0f};
        topMs = drawPlot(top_, topWindow_, topRange, "Sec", nullptr, View::Time, false);
        if (view_ == View::Time) {
            mainMs = drawPlot(main_, mainWindow_, topRange, "Sec", "V  ", View::Time, false);
        } else {
            const PlotRange range{0.0f, 50000.0f, -200.0f, 0.0f, -190.0f, 10.0f};
            mainMs = drawPlot(main_, mainWindow_, range, "Hz", "dB  ", View::Spectrum, true);
        }
        pump();
    }

    // The main plot's mouse, in its client coordinates. `thenRedraw`: the
    // program's redraw follows (after every press, after a move that changed
    // the plot), untimed; the event measured leaves it to the case.
    void move(int32_t keys, int32_t x, int32_t y, bool thenRedraw = true) {
        if (main_->OnMouseMove(&mainWindow_.client(), keys, packPlotXY(x, y)) != 0 && thenRedraw) redraw();
    }
    void press(int32_t button, int32_t x, int32_t y, int32_t kind = 0, bool thenRedraw = true) {
        main_->OnMouseButton(&mainWindow_.client(), button, packPlotXY(x, y), kind);
        if (thenRedraw) redraw();
    }
    void redraw() {
        double m, t;
        redraw(m, t);
    }

private:
    // The channel's values for this frame, in the program's scratch array.
    const float* fill(View view, int channel) {
        const bool time = view == View::Time;
        const std::vector<float>& source = time ? signals_.time : signals_.spectrum;
        const uint32_t mask = static_cast<uint32_t>(source.size()) - 1;
        const uint32_t shift = 7919u * channel + 4099u * generation_;
        const float gain = time ? 0.5f + channel / 64.0f : 1.0f;
        const float offset = time ? 0.0f : -0.5f * channel;
        float* out = scratch_.data();
        for (uint32_t i = 0; i <= mask; ++i) out[i] = source[(i + shift) & mask] * gain + offset;
        return out;
    }

    double drawPlot(IPellumE* plot, const Window& window, const PlotRange& range, const char* xUnit, const char* yUnit,
                    View view, bool withMarkers) {
        const int32_t points = view == View::Time ? kTimePoints : kSpectrumPoints;
        plot->SetProperty(kPlotPropertyXUnit, xUnit);
        if (yUnit) plot->SetProperty(kPlotPropertyYUnit, yUnit);
        double spent = 0.0;
        double t = now();
        plot->BeginDraw(window.dc(), &window.client(), &range, points, 0, 0);
        spent += now() - t;
        for (int c = 0; c < kChannels; ++c) {
            const float* values = fill(view, c);
            t = now();
            plot->DrawCurve(values, points, 1, 0, &style_.channelColour[c], 0, withMarkers ? markers_[c] : nullptr, 0);
            spent += now() - t;
        }
        t = now();
        plot->EndDraw();
        GdiFlush();
        spent += now() - t;
        return spent;
    }

    IPellumE* main_;
    IPellumE* top_;
    const Window& mainWindow_;
    const Window& topWindow_;
    const Signals& signals_;
    std::vector<float> scratch_;
    PlotStyle style_;
    MarkerRecord markers_[kChannels][kMarkersPerChannel];
    View view_ = View::Time;
    uint32_t generation_ = 0;
};

struct Figures {
    std::vector<double> main, top;
    void add(double m, double t) {
        main.push_back(m);
        top.push_back(t);
    }
};

double fastest(std::vector<double> v) { return *std::min_element(v.begin(), v.end()); }
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void print(const char* name, const Figures& f) {
    std::printf("  %-44s %8.1f %8.1f %10.1f %8.1f\n", name, fastest(f.main), median(f.main), fastest(f.top),
                median(f.top));
    std::fflush(stdout);
}

// Every case starts from the full range with the cursor off the plot, sets
// its scene up (the program redrawing after each mouse event), then times
// the redraw after `event`.
template <class Setup, class Event>
void measure(Bench& bench, const char* name, Setup setup, Event event) {
    Figures f;
    for (int run = 0; run < kRuns; ++run) {
        bench.press(1, 450, 225, 3);  // double-click: the full range
        bench.move(0, 0, 0);          // the cursor off the interior
        setup(run);
        event(run);
        double m = 0.0, t = 0.0;
        bench.redraw(m, t);
        f.add(m, t);
    }
    print(name, f);
}

void measureView(Bench& bench, View view) {
    bench.setView(view);
    std::printf("\n%s, %d curves of %d points, main plot %dx%d, top plot %dx%d\n",
                view == View::Time ? "Time signal" : "dB spectrum with markers", kChannels,
                view == View::Time ? kTimePoints : kSpectrumPoints, kWidth, kMainHeight, kWidth, kTopHeight);
    std::printf("  %-44s %8s %8s %10s %8s\n", "redraw after", "main min", "median", "top min", "median");
    constexpr bool kMeasured = false;  // the event's redraw is the one timed
    auto none = [](int) {};
    auto zoomIn = [&](int times) {
        for (int i = 0; i < times; ++i) {
            bench.press(1, 450, 225);
            bench.move(0, 450, 225);  // released where it was pressed
        }
    };
    measure(bench, "new data (an acquisition tick)", none, [&](int) { bench.newData(); });
    measure(bench, "the same data, no mouse event (a repaint)", none, [](int) {});
    measure(
        bench, "cursor moved one pixel", [&](int) { bench.move(0, 300, 200); },
        [&](int run) { bench.move(0, 301 + run % 2, 200, kMeasured); });
    measure(bench, "left press: zoomed in by 2", none, [&](int) { bench.press(1, 450, 225, 0, kMeasured); });
    measure(
        bench, "right press: back out to the full range", [&](int) { zoomIn(1); },
        [&](int) { bench.press(2, 450, 225, 0, kMeasured); });
    measure(
        bench, "drag started (the press's zoom undone)", [&](int) { bench.press(1, 300, 200); },
        [&](int) { bench.move(kLeftHeld, 320, 220, kMeasured); });
    measure(
        bench, "drag: rectangle grew by a pixel",
        [&](int) {
            bench.press(1, 300, 200);
            bench.move(kLeftHeld, 320, 220);
        },
        [&](int run) { bench.move(kLeftHeld, 321 + run % 2, 221, kMeasured); });
    measure(
        bench, "drag released: zoomed to 1/8 of x",
        [&](int) {
            bench.press(1, 300, 100);
            bench.move(kLeftHeld, 410, 300);
        },
        [&](int) { bench.move(0, 410, 300, kMeasured); });
    measure(
        bench, "left press: zoomed in to 1/1024 of x", [&](int) { zoomIn(9); },
        [&](int) { bench.press(1, 450, 225, 0, kMeasured); });
    measure(
        bench, "double-click from 1/1024 back to full",
        [&](int) {
            zoomIn(10);
            bench.press(1, 450, 225);
        },
        [&](int) { bench.press(1, 450, 225, 3, kMeasured); });
    measure(
        bench, "new data while zoomed to 1/1024 of x", [&](int) { zoomIn(10); }, [&](int) { bench.newData(); });
}

}  // namespace

int main() {
    HMODULE library = LoadLibraryA("PellumE.dll");
    if (!library) {
        std::fprintf(stderr, "PellumE.dll not found beside this program (error %lu)\n", GetLastError());
        return 1;
    }
    auto* factory =
        reinterpret_cast<IComponentFactory*>(reinterpret_cast<void*>(GetProcAddress(library, kFactoryExportName)));
    IPellumE* main = factory ? static_cast<IPellumE*>(factory->CreateInterface("IPellumE", 0)) : nullptr;
    IPellumE* top = factory ? static_cast<IPellumE*>(factory->CreateInterface("IPellumE", 0)) : nullptr;
    if (!main || !top) {
        std::fprintf(stderr, "no IPellumE from PellumE.dll\n");
        return 1;
    }
    {
        const Window topWindow("top plot", 10, kTopHeight);
        const Window mainWindow("main plot", 20 + kTopHeight, kMainHeight);
        if (!topWindow.ready() || !mainWindow.ready()) {
            std::fprintf(stderr, "no window to draw into (is there a display?)\n");
            return 1;
        }
        pump();
        const Signals signals;
        Bench bench(main, top, mainWindow, topWindow, signals);
        std::printf(
            "Plot component redraw, ms of the component's calls (BeginDraw, %d DrawCurve, "
            "EndDraw), %d runs each\n",
            kChannels, kRuns);
        measureView(bench, View::Time);
        measureView(bench, View::Spectrum);
    }
    main->Release();
    top->Release();
    FreeLibrary(library);
    return 0;
}
