#pragma once
// What the running program's portable side (ApplicationCore: the run, the
// plot calls, the results list, the disk texts) needs from the main dialog
// and the system: its controls by id, timer 1, the tick count, the error box
// and the plot surfaces. The Windows application object implements it over the real
// dialog; tests implement it with fakes.
//
// Platform types: a device context is void* here (HDC on Windows); PlotRect
// has the layout of the Windows RECT. Texts are code page 1251 bytes.
#include <cstdint>

#include "display/plot_interface.h"

class DialogServices {
public:
    // Push-like check boxes (Start/Stop, Record, Auto Scale).
    virtual bool isChecked(int32_t control) = 0;
    virtual void setChecked(int32_t control, bool checked) = 0;
    virtual void enableControl(int32_t control, bool enabled) = 0;

    // Combo boxes. selectComboItem with an index outside the list leaves the
    // box without a selection; comboSelection is then -1.
    virtual void clearCombo(int32_t control) = 0;
    virtual void addComboText(int32_t control, const char* text) = 0;
    virtual void selectComboItem(int32_t control, int32_t index) = 0;
    virtual int32_t comboSelection(int32_t control) = 0;

    // List box: beginListUpdate returns the first visible item, then stops
    // the list's redrawing and empties it; endListUpdate makes topIndex the
    // first visible item again and redraws.
    virtual int32_t beginListUpdate(int32_t control) = 0;
    virtual void addListLine(int32_t control, const char* text) = 0;
    virtual void endListUpdate(int32_t control, int32_t topIndex) = 0;

    // A plot control's device context and client rectangle; null when it
    // cannot be drawn. Every context taken is given back with endPlotPaint.
    virtual void* beginPlotPaint(int32_t control, PlotRect* client) = 0;
    virtual void endPlotPaint(int32_t control, void* dc) = 0;
    // The mouse pointer, read from the system, in the client coordinates of
    // a control, and the control's client rectangle; false without the control.
    virtual bool pointerPosition(int32_t control, PlotPoint* point, PlotRect* client) = 0;
    // One line of text in a static control, composed off-screen.
    virtual void drawStatusText(int32_t control, const char* text, uint32_t colour) = 0;

    // The main window: repaint it (without erasing), destroy it, or show a
    // modal error box that it owns (caption = its title).
    virtual void invalidate() = 0;
    virtual void destroyWindow() = 0;
    virtual void showError(const char* text) = 0;

    // Timer 1 of the main window, and the system's millisecond tick count.
    virtual void armTimer(uint32_t periodMs) = 0;
    virtual void killTimer() = 0;
    virtual uint32_t tickCount() = 0;

protected:
    ~DialogServices() = default;
};
