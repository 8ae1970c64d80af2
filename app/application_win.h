#pragma once
// The one application object: the main window and the owner of all state.
// Its portable parts live in ApplicationCore; this class adds the window,
// binds the message map and serves the parts' view of the dialog.
#include <windows.h>

#include "app/application_core.h"
#include "app/dialog_services.h"
#include "ui/window_win.h"

class Application : public DialogWindow, public ApplicationCore, public DialogServices {
public:
    // Runs the whole start-up; afterwards hwnd is set exactly when it succeeded.
    explicit Application(HINSTANCE instance);
    ~Application() override;

    const MessageMapEntry* GetMessageMap() override { return messageMap; }
    // Saves the view state and releases the components.
    void OnDestroyed() override;
    void OnPaint(HDC dc, const RECT& clientRect) override;

    // Formats with printf conventions into at most 255 characters and shows a
    // modal box owned by the main window, captioned with its title; the
    // keyboard focus is given back afterwards. Code page 1251 texts.
    int32_t FormattedWindowMessage(UINT style, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    // DialogServices.
    bool isChecked(int32_t control) override;
    void setChecked(int32_t control, bool checked) override;
    void enableControl(int32_t control, bool enabled) override;
    void clearCombo(int32_t control) override;
    void addComboText(int32_t control, const char* text) override;
    void selectComboItem(int32_t control, int32_t index) override;
    int32_t comboSelection(int32_t control) override;
    int32_t beginListUpdate(int32_t control) override;
    void addListLine(int32_t control, const char* text) override;
    void endListUpdate(int32_t control, int32_t topIndex) override;
    void* beginPlotPaint(int32_t control, PlotRect* client) override;
    void endPlotPaint(int32_t control, void* dc) override;
    bool pointerPosition(int32_t control, PlotPoint* point, PlotRect* client) override;
    void drawStatusText(int32_t control, const char* text, uint32_t colour) override;
    void invalidate() override;
    void destroyWindow() override;
    void showError(const char* text) override;
    void armTimer(uint32_t periodMs) override;
    void killTimer() override;
    uint32_t tickCount() override;

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
    void passStyle(IPellumE* plot);
    void startHelp();
    // The save-file dialog that chooses the File setting.
    void chooseRecordFile();

    HINSTANCE instance_;
    HFONT listFont_ = nullptr;      // fixed-pitch font of the lists, for the whole run
    bool plotCapture_ = false;      // the mouse is ours from a left press in the plot on
    bool leaveTracked_ = false;     // WM_MOUSELEAVE is asked for
    static const MessageMapEntry messageMap[];
};
