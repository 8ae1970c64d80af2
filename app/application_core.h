#pragma once
// The state that the application object owns, and its start-up sequence, in
// portable form: the Windows application object derives from this class and
// adds the window. Start-up reaches the system only through StartupServices.
#include <cstdint>

#include "acquisition/board_interface.h"
#include "acquisition/engine.h"
#include "analysis/signal_metrics.h"
#include "app/component_loader.h"
#include "config/settings.h"
#include "config/view_state.h"
#include "display/plot_interface.h"
#include "platform/dialog_services.h"
#include "recording/recorder.h"

inline constexpr const char kConfigFileName[] = "Quorvel.cfg";
inline constexpr const char kViewStateFileName[] = "Quorvel.sav";
inline constexpr const char kComponentMaker[] = "Tarnwell";
inline constexpr const char kDriverGroup[] = "Drivers";
inline constexpr const char kLibraryGroup[] = "Base library";
inline constexpr const char kComponentVersion[] = "1.0";
inline constexpr const char kPlotComponent[] = "PellumE";
inline constexpr const char kExtendedPlotComponent[] = "PellumE1";

// Process exit code when start-up fails.
inline constexpr int kStartupFailedExitCode = -2;

// What start-up needs from the system.
class StartupServices {
public:
    // The component loader (see component_loader.h).
    virtual void* LoadComponent(ComponentHandle& handle, const char* maker, const char* group,
                                const char* version, const char* name,
                                const char* exportName) = 0;
    // Shows a start-up error (code page 1251 text) and returns when the user
    // has closed it.
    virtual void showStartupError(const char* text) = 0;
    virtual SystemColours systemColours() = 0;

protected:
    ~StartupServices() = default;
};

// Why start-up stopped.
enum class StartupError {
    None,
    NoComponent,        // the driver or the utility gives no interface
    NoPlotComponent,    // no plot component for the main plot
    BadBase,            // Base = 0 in the configuration
    OpenFailed,         // the utility could not open the board
    NoDevice,           // the utility handed out no device
    NotSupported,       // the board failed the capability check
};

// The running program's portable side: the parts that the application object
// composes (acquisition engine, analysis state, view state) and the main
// dialog's operations that need no window of their own. The dialog reaches
// them, and they reach the dialog, through DialogServices.
class ApplicationCore : public EngineClient {
public:
    ApplicationCore();
    virtual ~ApplicationCore() = default;

    // Presets, configuration, components, board check and saved view state, in
    // this order. Shows the message of the first failure and returns it; on
    // success the main window may be created.
    StartupError start(StartupServices& services);

    // Releases mainPlot, topPlot, device and utility, in this order.
    void releaseComponents();

    // The main dialog, from its initialisation to its destruction; null
    // detaches it.
    void bindDialog(DialogServices* dialog);

    // Fills the View mode, Size, Avg and FFT Window lists and the Auto Scale
    // button from the view state, then refreshes the board parameters and
    // reads the controls back.
    void fillControls();
    // Copies the lists' selections (signed 16-bit) and the Auto Scale state
    // into the view state and tells the main plot which kind of view it shows.
    void readControls() override;
    // Top plot, then main plot; with analysis the spectrum pass runs first and
    // the results list is rebuilt last.
    void redrawPlots(bool withAnalysis);
    void redrawWithAnalysis() override { redrawPlots(true); }
    void rebuildResultsList();

    // Recording, as the engine drives it.
    bool isRecording() const override { return recorder.isRecording(); }
    bool writeBlock(const int16_t* block, int32_t blockLength) override;
    void haltRecording() override { recorder.halt(); }
    void buildRecordName() override { recorder.buildRecordName(); }
    void showDiskSpace() override { recorder.showDiskSpace(); }
    // WM_COMMAND of the Record button; a nonzero notification means the F4
    // accelerator, which toggles the button first.
    void onRecordButton(int32_t notification);
    // After the file choice dialog closed, confirmed or not.
    void onRecordFileChosen();

    // Mouse messages over the main plot: the button (1 left, 2 right) and
    // kind (0 press, 3 double-click) of a press, the key state of a move.
    // A press returns whether it was inside the plot (and went to the
    // component). A move outside the plot goes to the component once, as
    // the point kPlotPointOutside, after the pointer was last seen inside,
    // so that the component can take its cursor away.
    bool onPlotButton(int32_t button, int32_t kind);
    void onPlotMove(int32_t keys);
    // The left button came up after a press in the plot (the dialog holds
    // the mouse from the press on, so this comes wherever the pointer is):
    // the component sees a move without the button, at the point where it
    // came up, or kPlotPointOutside when that is outside the plot, so a drag
    // zooms only when let go inside. `cancelled`: the dialog lost the mouse
    // before the release; the component sees the button up outside.
    void onPlotButtonUp(int32_t keys, bool cancelled);
    // The pointer left the dialog's own area (for another window or a
    // control) without a move outside the plot.
    void onPlotLeave();

    // Commands of the main dialog that the engine does not take itself.
    void onAutoScale();
    // WM_COMMAND of any other control: list closings.
    void onControlCommand(int32_t control, int32_t notification);

    // Component interfaces; null when not loaded.
    IPellumE* mainPlot = nullptr;       // draws the main plot
    IPellumE* topPlot = nullptr;        // draws the top plot; may stay null
    IADCUtility* utility = nullptr;
    IADCDevice* device = nullptr;       // handed out by the utility

    Settings settings{};
    ViewState viewState{};
    double voltsPerCount = 0.0;         // board full scale / 32768

    ChannelWorkers workers;             // threads for the per-channel work of a tick
    SignalAnalyser analysis;            // window record, averaging, scope extremes
    AcquisitionEngine engine;           // channel set, windows, block flow
    Recorder recorder;                  // data file, naming, disk texts

protected:
    DialogServices* dialog() const { return dialog_; }

private:
    StartupError fail(StartupServices& services, StartupError error, const char* name = nullptr);
    IPellumE* loadPlot(StartupServices& services, ComponentHandle& handle, const char* name);
    bool boardIsSupported();
    void applyFullScale();
    void drawTopPlot();
    void drawMainPlot(bool withAnalysis);
    // The channel's curve for `view` into the engine's plot scratch; returns
    // its number of points, 0 when there is nothing to draw.
    int32_t convertCurve(const ChannelRecord& channel, ViewMode view);
    // One move for the component; redraws what it reports changed.
    void passPlotMove(const PlotRect& client, int32_t keys, int32_t point);

    DialogServices* dialog_ = nullptr;
    bool plotPointerInside_ = false;    // the component last saw the pointer inside
};

// The pointer as the plot component takes it: x | (y << 16) when (x, y) lies
// in the rectangle (its left and top edges inside, its right and bottom
// edges outside) and both fit a signed 16-bit half, else -1.
int32_t packPlotPoint(PlotPoint point, const PlotRect& client);

// Whether a view change that the component reports at `now` is drawn at
// once: always when idle (lastUpdateTick 0), while running only within 10 ms
// of the last tick's redraw (an unsigned 32-bit difference, so the tick
// count may wrap); otherwise the next tick draws it.
bool redrawsMoveAt(uint32_t now, uint32_t lastUpdateTick);

// The Size list's text of a window length: "512", "1.0K", "1.5K", "2.0M".
void formatSizeText(char (&text)[256], int32_t value);

// The message shown for a start-up error; `name` is the component for
// NoComponent. Code page 1251, at most 255 bytes.
void formatStartupError(char (&text)[256], StartupError error, const char* name);
