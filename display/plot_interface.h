#pragma once
// The plot component (IPellumE) and the records handed to it.
//
// Platform types in this header:
//   window, device context  void* here; HWND and HDC on Windows.
//   PlotRect                layout of the Windows RECT (left, top, right, bottom).
//   colours                 uint32_t, a Windows COLORREF 0x00BBGGRR.
// PlotStyle holds two pointers; its layout is that of the 32-bit build, which
// is asserted there (in the 64-bit build the pointers are wider and the
// fields after them move).
#include <cstddef>
#include <cstdint>

#include "abi/calling_convention.h"
#include "analysis/markers.h"

struct PlotRect {
    int32_t left, top, right, bottom;
};

// A pointer position in a plot's client coordinates, as the program reads it.
// It crosses the interface packed (packPlotPoint).
struct PlotPoint {
    int32_t x, y;
};

// The packed point handed to OnMouseMove and OnMouseButton: x | (y << 16),
// both halves signed 16-bit values; kPlotPointOutside when the pointer is
// outside the plot.
inline constexpr int32_t kPlotPointOutside = -1;
inline constexpr int32_t packPlotXY(int32_t x, int32_t y) {
    return static_cast<int32_t>((static_cast<uint32_t>(x) & 0xFFFFu) | (static_cast<uint32_t>(y) << 16));
}
inline constexpr PlotPoint unpackPlotPoint(int32_t packed) {
    return PlotPoint{static_cast<int16_t>(static_cast<uint32_t>(packed) & 0xFFFFu),
                     static_cast<int16_t>(static_cast<uint32_t>(packed) >> 16)};
}

// The six values handed to BeginDraw.
struct PlotRange {
    float xMin, xMax;
    float scaleBottom, scaleTop;  // what the vertical scale shows at bottom and top
    float dataBottom, dataTop;    // the plotted value that falls there
};
static_assert(sizeof(PlotRange) == 24);

// Appearance of a plot, handed to SetStyle; it must stay in place for the
// whole run. The numeric members without a configuration key are read by our
// plot component as named here.
struct PlotStyle {
    int32_t styleVersion;     // 768
    int32_t marginX;          // 10: pixels left and right of the frame
    int32_t marginY;          // 10: pixels above and below the frame
    int32_t gridLinesY;       // 5: horizontal grid divisions
    uint32_t bgColor;         // key BgColor
    uint32_t oscColor;        // key OscColor
    uint32_t oscGridColor;    // key OscGridColor
    uint32_t textColor;       // key TextColor
    int32_t flags;            // 0
    int32_t frameWidth;       // 2: pixels of the frame line
    const char* fontNamePtr;  // points at fontName below
    int32_t fontSize;         // key FontSize, points
    int32_t gridLinesX;       // 8: vertical grid divisions
    void* window;             // the main dialog, stored before SetStyle
    uint32_t channelColour[32];
    char fontName[100];  // key FontName, NUL-terminated
};
#if defined(__i386__) || defined(_M_IX86)
static_assert(offsetof(PlotStyle, bgColor) == 16);
static_assert(offsetof(PlotStyle, textColor) == 28);
static_assert(offsetof(PlotStyle, fontNamePtr) == 40);
static_assert(offsetof(PlotStyle, fontSize) == 44);
static_assert(offsetof(PlotStyle, gridLinesX) == 48);
static_assert(offsetof(PlotStyle, window) == 52);
static_assert(offsetof(PlotStyle, channelColour) == 56);
static_assert(offsetof(PlotStyle, fontName) == 184);
static_assert(sizeof(PlotStyle) == 284);
#endif

// OnMouseButton's button and kind.
inline constexpr int32_t kPlotLeftButton = 1;
inline constexpr int32_t kPlotRightButton = 2;
inline constexpr int32_t kPlotPress = 0;
inline constexpr int32_t kPlotDoubleClick = 3;

// SetProperty codes.
inline constexpr int32_t kPlotPropertyXUnit = 3;      // const char*, NUL-terminated
inline constexpr int32_t kPlotPropertyYUnit = 4;      // const char*, NUL-terminated
inline constexpr int32_t kPlotPropertyCursor = 12;    // const uint32_t[5]: {3, colour, 0, 0, 0}
inline constexpr int32_t kPlotPropertyViewKind = 14;  // const int32_t: 10 spectrum, 0 scope

// The plot component. Slots 6 and 7 are reserved and never called.
struct IPellumE {
    virtual int32_t QV_CALL AddRef() = 0;                                      // 1
    virtual int32_t QV_CALL Release() = 0;                                     // 2
    virtual int32_t QV_CALL SetStyle(const PlotStyle* style) = 0;              // 3
    virtual int32_t QV_CALL SetProperty(int32_t code, const void* value) = 0;  // 4
    // Paints background, grid, scales and unit texts for the range; the
    // following DrawCurve calls add to the same frame.                         // 5
    virtual int32_t QV_CALL BeginDraw(void* dc, const PlotRect* client, const PlotRange* range, int32_t pointsPerCurve,
                                      int32_t reserved1, int32_t reserved2) = 0;
    virtual int32_t QV_CALL Reserved6() = 0;  // 6
    virtual int32_t QV_CALL Reserved7() = 0;  // 7
    // One curve, evenly spaced over the x range; `markers` is null or points at
    // kMarkersPerChannel records. The arrays are read during the call only.    // 8
    virtual int32_t QV_CALL DrawCurve(const float* values, int32_t count, int32_t step, int32_t reserved1,
                                      const uint32_t* colour, int32_t reserved2, const MarkerRecord* markers,
                                      int32_t reserved3) = 0;
    // The frame is complete and visible when this returns.                    // 9
    virtual int32_t QV_CALL EndDraw() = 0;
    // `point` is the packed point (packPlotXY), or kPlotPointOutside.
    // Nonzero: the view changed and must be redrawn.                          // 10
    virtual int32_t QV_CALL OnMouseMove(const PlotRect* client, int32_t keys, int32_t point) = 0;
    virtual int32_t QV_CALL OnMouseButton(const PlotRect* client, int32_t button, int32_t point,
                                          int32_t kind) = 0;  // 11
};
