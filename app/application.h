#pragma once
// The one application object: the main window and the owner of all state.
#include <windows.h>

#include "app/application_core.h"
#include "ui/window.h"

class Application : public DialogWindow, public ApplicationCore {
public:
    // Runs the whole start-up; afterwards hwnd is set exactly when it succeeded.
    explicit Application(HINSTANCE instance);

    const MessageMapEntry* GetMessageMap() override { return messageMap; }
    // Saves the view state and releases the components.
    void OnDestroyed() override;
    void OnPaint(HDC dc, const RECT& clientRect) override;

    HICON mainIcon = nullptr;

private:
    int32_t onInitDialog();
    int32_t onDestroy();
    int32_t onMove();
    int32_t onCancel();

    void redrawPlots();
    void passStyle(IPellumE* plot);

    HINSTANCE instance_;
    static const MessageMapEntry messageMap[];
};
