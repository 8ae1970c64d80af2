// Process entry and message loop.
#include <windows.h>

#include "app/main_dialog_win.h"
#include "resources/resource.h"

namespace {

// The entry routine's loop: accelerators and dialog navigation for the main
// window, then the usual translate and dispatch.
struct MessageLoop {
    HACCEL accelerators = nullptr;
    HWND acceleratorWindow = nullptr;  // window the accelerators are translated for
    HWND dialogWindow = nullptr;       // dialog whose keyboard navigation is handled
    MSG message{};
    bool waitWhenIdle = true;

    virtual ~MessageLoop() = default;
    virtual bool OnIdle() { return true; }

    int run() {
        for (;;) {
            if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (OnIdle() && waitWhenIdle) WaitMessage();
                continue;
            }
            if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
            if (acceleratorWindow && accelerators && TranslateAcceleratorW(acceleratorWindow, accelerators, &message)) {
                continue;
            }
            if (dialogWindow && IsDialogMessageW(dialogWindow, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    MessageLoop loop;
    loop.accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));

    MainDialog application(instance);
    if (!application.hwnd) return kStartupFailedExitCode;

    loop.acceleratorWindow = application.hwnd;
    loop.dialogWindow = application.hwnd;
    return loop.run();
}
