#pragma once
// Balloon help: when the pointer rests on a control of a window, a speech
// balloon shows the control's help text beside the pointer, stays for a time
// that grows with the text, then fades out.
//
// StartHelp runs a hover timer on the window; each tick looks up the control
// under the pointer in a help table and, on the eleventh tick after the one
// that first found it, opens a BalloonWindow there. The balloon is a layered
// pop-up of class "WindowsHelperClass", shaped like a speech balloon, tiled
// with a bitmap resource; its display timer ends in a fade (a click advances
// the fade). A balloon never takes the activation, so the window keeps its
// keyboard focus and stays below its balloon. Texts are code page 1251.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/balloon_geometry.h"
#include "ui/help_table.h"
#include "ui/window_win.h"

// The class description of balloon windows: own device context, the help
// cursor, no background brush (the balloon paints all of itself), no icon.
class BalloonClassInfo : public WindowClassInfo {
public:
    void FillClass(WNDCLASSEXW& description) override;
};

class BalloonWindow : public PopupWindow {
public:
    static constexpr char kClassName[] = "WindowsHelperClass";
    static constexpr UINT_PTR kDisplayTimer = 1;

    // bitmapId: the program's bitmap resource tiled as the background; a
    // missing one leaves the balloon filled with the info background colour.
    // shape, count, textBox: an outline of its own (see balloon::BalloonShape);
    // the default speech balloon otherwise.
    explicit BalloonWindow(int bitmapId, const balloon::Point* shape = nullptr, size_t count = 0,
                           const balloon::ShapeBox* textBox = nullptr);
    ~BalloonWindow() override;

    // Destroys the balloon's window, if there is one.
    void Hide();
    // Opens the balloon for the point (x, y) in screen pixels, owned by
    // `parent`, with `text` (code page 1251); it stays for postDelayMs
    // (500..60000) per whole ten words, at least once, then fades. Returns
    // the window, or null for a text without words or a failed creation.
    HWND Show(HWND parent, const char* text, int32_t x, int32_t y, int32_t postDelayMs);

    const MessageMapEntry* GetMessageMap() override { return messageMap; }
    // Kills the display timer and forgets the window.
    void OnDestroyed() override;
    void OnPaint(HDC dc, const RECT& clientRect) override;

    uint32_t mirrorFlags() const { return mirror_; }  // balloon::kTailRight, balloon::kBelowPoint
    int32_t durationMs() const { return duration_; }
    int32_t alpha() const { return alpha_; }  // 0..200; 0 without a fade function
    const RECT& textRect() const { return textRect_; }
    bool hasBackground() const { return background_ != nullptr; }
    const std::string& text() const { return text_; }

private:
    using FadeFunction = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

    int32_t onCreate();
    int32_t onFadeStep();
    // Showing and clicking leave the activation where it is.
    int32_t onPositionChanging(LPARAM position);
    int32_t onMouseActivate();

    // The text's size on the parent's device context; false for no words.
    bool measure(HWND parent, balloon::Size& size, int32_t& wordCount) const;
    void buildOutline();
    void loadBackground(int bitmapId);

    BalloonClassInfo balloonClass_;
    FadeFunction fade_ = nullptr;
    int32_t alpha_ = 0;
    HRGN frameRegion_ = nullptr;  // a copy of the outline for the border; the window owns the outline
    RECT textRect_ = {};          // window pixels
    uint32_t mirror_ = 0;
    int32_t duration_ = 4000;  // ms before the fade; Show sets it
    std::string text_;
    HBITMAP background_ = nullptr;  // tiled on the grid of its origin
    int32_t backgroundOriginX_ = 0;
    int32_t backgroundOriginY_ = 0;
    balloon::BalloonShape shape_;
    std::vector<POINT> windowPoints_;

    static const MessageMapEntry messageMap[];
};

// Starts the balloon help of `window`: closes a balloon still shown, keeps
// the help table (which must outlive the help: until HideHelp at the latest),
// the bitmap and the delays, and starts the hover timer (timer 0 of the
// window with its own procedure) at max(preDelayMs / 10, 10) ms. A pre delay
// of 0 or less starts no timer: help is off.
void StartHelp(HWND window, const HelpEntry* table, int bitmapId, int32_t preDelayMs, int32_t postDelayMs);

// Hides and releases the current balloon.
void HideHelp();

// Ends the help started on `window` (or on its top-level window): its
// balloon, its hover timer and what it holds. For a window that goes.
void StopHelp(HWND window);

// One tick of the hover timer. The timer calls it; tests call it directly.
void CALLBACK HelpHoverTick(HWND, UINT, UINT_PTR, DWORD);

// Whether `control` counts as busy for its balloon: a combo box whose list is
// dropped down.
bool IsBusyForHelp(HWND control);

// The current balloon, shown or last shown, or null.
BalloonWindow* CurrentHelpBalloon();
