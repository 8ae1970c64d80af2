#pragma once
// The main dialog: the one window of the program. It owns the bench's
// controller, hands it the dialog's messages and shows it through BenchView;
// with the resource files it is the only code that knows the controls' ids.
#include <windows.h>

#include <string>
#include <vector>

#include "app/bench_controller.h"
#include "app/bench_view.h"
#include "ui/window_win.h"

class MainDialog : public DialogWindow, public BenchView {
public:
    // Runs the whole start-up; afterwards hwnd is set exactly when it succeeded.
    explicit MainDialog(HINSTANCE instance);
    ~MainDialog() override;

    const MessageMapEntry* GetMessageMap() override { return messageMap; }
    // Saves the view state and releases the components.
    void OnDestroyed() override;
    void OnPaint(HDC dc, const RECT& clientRect) override;

    // Formats with printf conventions into at most 255 characters and shows a
    // modal box owned by the main window, captioned with its title; the
    // keyboard focus is given back afterwards. Code page 1251 texts.
    int32_t FormattedWindowMessage(UINT style, const char* format, ...) __attribute__((format(printf, 3, 4)));

    // BenchView.
    bool isDown(BenchControl button) override;
    void showDown(BenchControl button, bool down) override;
    void enable(BenchControl control, bool enabled) override;
    void fillList(BenchControl list, const std::vector<std::string>& texts, int32_t selection) override;
    BenchChoices readChoices() override;
    void showResults(const ResultsLines& lines) override;
    void showDiskTexts(const DiskTexts& texts) override;
    bool pointerInMainPlot(PlotPoint* point, PlotRect* client) override;
    void showError(const char* text) override;
    bool chooseRecordFile(const char* current, std::string& chosen) override;
    void redrawLater() override;
    void close() override;
    void armTimer(uint32_t periodMs) override;
    void killTimer() override;
    uint32_t tickCount() override;
    void* beginPlotPaint(PlotId plot, PlotRect* client) override;
    void endPlotPaint(PlotId plot, void* dc) override;

    HICON mainIcon = nullptr;

private:
    int32_t onTimer(WPARAM timer);
    int32_t onPlotLeftDown();
    int32_t onPlotLeftDoubleClick();
    int32_t onPlotRightDown();
    int32_t onPlotMouseMove(WPARAM keys);
    int32_t onPlotLeftUp(WPARAM keys);
    int32_t onCaptureChanged();
    int32_t onMouseLeave();
    int32_t onInitDialog();
    int32_t onDestroy();
    int32_t onMove();
    int32_t onAutoScaleCommand();
    int32_t onCancel();
    int32_t onStartStop(WPARAM wParam);
    int32_t onRefreshChannels();
    int32_t onRecordCommand(WPARAM wParam);
    int32_t onChooseFile();
    int32_t onComboCommand(WPARAM wParam, LPARAM lParam);

    void setListFont();
    void startHelp();
    // One line of text in a static control, composed off-screen.
    void drawStatusText(int control, const char* text, uint32_t colour);

    BenchController bench_;
    HINSTANCE instance_;
    HFONT listFont_ = nullptr;   // fixed-pitch font of the lists, for the whole run
    bool plotCapture_ = false;   // the mouse is ours from a left press in the plot on
    bool leaveTracked_ = false;  // WM_MOUSELEAVE is asked for
    static const MessageMapEntry messageMap[];
};
