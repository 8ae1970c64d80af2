#pragma once
// The main dialog as the bench controller sees it: what a bench shows and
// asks, named by what it is, never by a control of the window. The Win32
// main dialog implements it; tests implement it with a fake.
//
// Texts are code page 1251 bytes. The plot surfaces come with it (see
// display/plot_painter.h).
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/results_list.h"
#include "display/plot_painter.h"
#include "recording/recorder.h"

// The controls that the controller enables, presses or fills.
enum class BenchControl {
    Start,       // Start/Stop, a button that stays down while running
    Record,      // Record, a button that stays down while recording
    ChooseFile,  // the record file's choice
    AutoScale,   // a button that stays down
    Size,        // the lists
    ViewMode,
    Averaging,
    Window,
};

// What the four lists have selected (an index, -1 for none) and whether Auto
// Scale is down.
struct BenchChoices {
    int32_t size = -1;
    int32_t view = -1;
    int32_t averaging = -1;
    int32_t window = -1;
    bool autoScale = false;
};

class BenchView : public PlotSurfaces {
public:
    // Start, Record and Auto Scale stay down when pressed.
    virtual bool isDown(BenchControl button) = 0;
    virtual void showDown(BenchControl button, bool down) = 0;
    virtual void enable(BenchControl control, bool enabled) = 0;

    // A list's texts and its selection; an index outside the list leaves it
    // without one.
    virtual void fillList(BenchControl list, const std::vector<std::string>& texts, int32_t selection) = 0;
    virtual BenchChoices readChoices() = 0;

    // The results list's lines replace the shown ones; the line first
    // visible stays first as far as the new lines reach.
    virtual void showResults(const ResultsLines& lines) = 0;
    // The free-space and recorded-amount texts.
    virtual void showDiskTexts(const DiskTexts& texts) = 0;

    // The pointer, read from the system, in the main plot's client
    // coordinates, and that client rectangle; false without the plot.
    virtual bool pointerInMainPlot(PlotPoint* point, PlotRect* client) = 0;

    // A modal error box owned by the bench; returns when it was closed.
    virtual void showError(const char* text) = 0;
    // Asks for the record file, starting from `current`: true and the path
    // when one was confirmed, false when the choice was cancelled.
    virtual bool chooseRecordFile(const char* current, std::string& chosen) = 0;

    // The bench is drawn again soon (its plots and disk texts).
    virtual void redrawLater() = 0;
    // The bench's window goes, and with it the program.
    virtual void close() = 0;

    // The acquisition timer, and the system's millisecond tick count.
    virtual void armTimer(uint32_t periodMs) = 0;
    virtual void killTimer() = 0;
    virtual uint32_t tickCount() = 0;

protected:
    ~BenchView() = default;
};
