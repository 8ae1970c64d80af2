#pragma once
// The bench's portable side: the state that the program owns, its start-up
// sequence and the main dialog's logic. The Win32 main dialog owns one
// controller and shows it through BenchView; start-up reaches the system
// only through StartupServices.
#include <cstdint>
#include <memory>

#include "acquisition/board_interface.h"
#include "acquisition/engine.h"
#include "analysis/results_list.h"
#include "analysis/signal_metrics.h"
#include "app/bench_view.h"
#include "app/component_loader.h"
#include "config/settings.h"
#include "config/view_state.h"
#include "display/plot_interface.h"
#include "display/plot_painter.h"
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
    virtual void* LoadComponent(ComponentHandle& handle, const char* maker, const char* group, const char* version,
                                const char* name, const char* exportName) = 0;
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
    NoComponent,      // the driver or the utility gives no interface
    NoPlotComponent,  // no plot component for the main plot
    BadBase,          // Base = 0 in the configuration
    OpenFailed,       // the utility could not open the board
    NoDevice,         // the utility handed out no device
    NotSupported,     // the board failed the capability check
};

// How a list's drop-down ended: closed up, or any other notification (a
// selection change while it is open among them), which the bench ignores.
enum class ListEvent { ClosedUp, Other };

// The bench's controller: it owns the parts (components, acquisition engine,
// recorder, analysis, plot painter, view state) and the main dialog's logic:
// Start and Record, the acquisition timer, the control states, the list
// close-ups, Auto Scale, the file choice, the mouse rules in the main plot,
// the results and disk texts, and the close. It reaches the dialog through
// BenchView; the engine and the recorder report to it in their results and
// know nothing of the dialog.
class BenchController {
public:
    // The recorder writes its files through `storage`.
    explicit BenchController(RecordStorage& storage = platformStorage());
    virtual ~BenchController();
    BenchController(const BenchController&) = delete;
    BenchController& operator=(const BenchController&) = delete;

    // Presets, configuration, components, board check and saved view state, in
    // this order. Shows the message of the first failure and returns it; on
    // success the main window may be created.
    StartupError start(StartupServices& services);

    // Releases mainPlot, topPlot, device and utility, in this order.
    void releaseComponents();

    // The plot components, as start-up loads them; null when absent. Not
    // released here: releaseComponents does that.
    void attachPlots(IPellumE* main, IPellumE* top) { painter.attach(main, top); }
    IPellumE* mainPlot() const { return painter.mainPlot(); }
    IPellumE* topPlot() const { return painter.topPlot(); }

    // The main dialog, from its initialisation to its destruction; null
    // detaches it.
    void bindView(BenchView* view);

    // The dialog is up: the lists and Auto Scale filled from the view state,
    // the board's parameters, the controls read back, the plot style given to
    // the components (drawn on `window`), both buttons up, the controls idle
    // and the board's parameters written.
    void onDialogReady(void* window);
    // The channel list asked of the board again (posted after start-up).
    void onRefreshChannels();
    // Fills the View mode, Size, Avg and FFT Window lists and the Auto Scale
    // button from the view state, then refreshes the board parameters and
    // reads the controls back.
    void fillControls();
    // Copies the lists' selections (signed 16-bit) and the Auto Scale state
    // into the view state and tells the main plot which kind of view it shows.
    virtual void readControls();
    // Top plot, then main plot; with analysis the spectrum pass runs first and
    // the results list is rebuilt last.
    void redrawPlots(bool withAnalysis);
    virtual void redrawWithAnalysis() { redrawPlots(true); }
    void rebuildResultsList();

    // Recording.
    virtual bool isRecording() const { return recorder.isRecording(); }
    // Every halt: the record file closed, recording off.
    virtual void haltRecording() { recorder.halt(); }
    // The next record file name (when files are numbered).
    virtual void buildRecordName();
    // Shows the free-space and recorded-amount texts.
    virtual void showDiskSpace();
    // The window is painted: both plots, then the disk texts.
    void onPaint();

    // Acquisition. The Start/Stop button was pressed (it stays down while
    // running); a nonzero `notification` means the F2 key, which toggles the
    // button first.
    void startAcquisition(int32_t notification);
    // Halt, read back the controls, both buttons up, refresh the board's
    // parameters and the channel list, controls idle.
    void stopAcquisition();
    // Timer off, board stopped, record file closed, recording off.
    void haltAcquisition();
    // A tick of the acquisition timer.
    void onAcquisitionTimer();
    // The board's parameters into the engine's channel set, then the
    // controls that follow them and the record name.
    void refreshBoardParameters();
    void updateControlStates(bool idle);
    // ms of the last display update; 0 when idle.
    uint32_t lastUpdateTick() const { return lastUpdateTick_; }
    // One curve's values for the plot component, allocated at every start.
    const float* plotScratch() const { return painter.scratch(); }
    int32_t plotScratchLength() const { return painter.scratchLength(); }
    // The Record button was pressed; a nonzero `notification` means the F4
    // key, which toggles the button first.
    void onRecordButton(int32_t notification);
    // The record file's choice: asked of the view, starting from the current
    // name; confirmed or cancelled, the numbering starts again and the name
    // is rebuilt.
    void onChooseFile();
    // After the file choice closed: the chosen path, or null when it was
    // cancelled.
    void onRecordFileChosen(const char* chosenPath);

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

    // Commands of the main dialog.
    void onAutoScale();
    // A notification of one of the lists: the View mode, Avg and FFT Window
    // lists act when they close up, on nothing else.
    void onListEvent(BenchControl list, ListEvent event);
    // The View mode, Avg and FFT Window lists closed up.
    void onViewModeClosed();
    void onAveragingClosed();
    void onWindowClosed();

    // The window is being destroyed: the run stopped (the board's Stop, an
    // open recording closed whole). Then, once it is gone, the view state is
    // saved and the components released: main plot, top plot, driver,
    // utility.
    void onClosing();
    void onClosed();

    // Board component interfaces; null when not loaded.
    IADCUtility* utility = nullptr;
    IADCDevice* device = nullptr;  // handed out by the utility

    Settings settings{};
    ViewState viewState{};
    double voltsPerCount = 0.0;  // board full scale / 32768

    ChannelWorkers workers;    // threads for the per-channel work of a tick
    SignalAnalyser analysis;   // window record, averaging, scope extremes
    AcquisitionEngine engine;  // channel set, windows, block flow
    Recorder recorder;         // data file, naming, disk texts
    PlotPainter painter;       // what the plot components are given

protected:
    BenchView* view() const { return view_; }

private:
    StartupError fail(StartupServices& services, StartupError error, const char* name = nullptr);
    IPellumE* loadPlot(StartupServices& services, ComponentHandle& handle, const char* name);
    bool boardIsSupported();
    void applyFullScale();
    void drawMainPlot(bool withAnalysis);
    PlotChannels plotChannels() const;
    // Steps of a tick after the timer is killed; false when the run stopped.
    bool tick();
    void autoScaleRule();
    // Formats a message (UTF-8 source text, shown as code page 1251).
    void show(const char* utf8Format, ...);

    // One move for the component; redraws what it reports changed.
    void passPlotMove(const PlotRect& client, int32_t keys, int32_t point);

    BenchView* view_ = nullptr;
    bool plotPointerInside_ = false;              // the component last saw the pointer inside
    std::unique_ptr<ResultsLines> resultsLines_;  // the list's lines of the latest rebuild
    uint32_t lastUpdateTick_ = 0;
    bool inTick_ = false;
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

// The message shown for a start-up error; `name` is the component for
// NoComponent. Code page 1251, at most 255 bytes.
void formatStartupError(char (&text)[256], StartupError error, const char* name);
