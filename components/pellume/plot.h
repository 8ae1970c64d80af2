#pragma once
// One plot drawn with GDI. A frame is composed off-screen, in a memory
// device context with a bitmap of the client size that is kept from frame to
// frame, and copied onto the plot's device context in one transfer at the
// end, so nothing half-drawn is ever seen.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "components/pellume/geometry.h"
#include "display/plot_interface.h"

namespace pellume {

class Plot {
public:
    Plot() = default;
    ~Plot();
    Plot(const Plot&) = delete;
    Plot& operator=(const Plot&) = delete;

    // The record stays in place for the run; null keeps the built-in look.
    void setStyle(const PlotStyle* style) { style_ = style; }
    // kPlotPropertyXUnit, kPlotPropertyYUnit (texts are copied),
    // kPlotPropertyCursor, kPlotPropertyViewKind. False for another code or
    // a null value.
    bool setProperty(int32_t code, const void* value);

    // Background, grid, frame, scale numbers and unit texts.
    bool beginDraw(HDC dc, const PlotRect& client, const PlotRange& range);
    // One curve of `count` values spread evenly from x min to x max, reduced
    // to pixel columns (each column's minimum to maximum, joined to its
    // neighbours), clipped to the interior; then the markers (null or
    // kMarkersPerChannel records).
    bool drawCurve(const float* values, int32_t count, const uint32_t* colour,
                   const MarkerRecord* markers);
    // Copies the frame onto the device context given to beginDraw.
    bool endDraw();

private:
    // Colours and font of the style, or the built-in ones.
    struct Look {
        COLORREF background, frame, grid, text;
        int32_t marginX, marginY, frameWidth, gridX, gridY, fontPoints;
        char face[LF_FACESIZE];
    };

    Look look() const;
    bool prepareSurface(HDC dc, int32_t width, int32_t height);
    void prepareFont(const Look& look);
    void releaseSurface();
    void drawScales(const Look& look, const PlotRange& range);
    void drawMarkers(const float* values, int32_t count, const MarkerRecord* markers);
    void fillRect(const PixelRect& r, COLORREF colour);

    const PlotStyle* style_ = nullptr;
    char xUnit_[64] = "";
    char yUnit_[64] = "";
    COLORREF cursorColour_ = 0;
    int32_t viewKind_ = 0;

    HDC memory_ = nullptr;          // off-screen context, kept between frames
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    int32_t width_ = 0, height_ = 0;
    HFONT font_ = nullptr;
    HGDIOBJ previousFont_ = nullptr;
    char fontFace_[LF_FACESIZE] = "";
    int32_t fontHeight_ = 0;        // logical units, negative: character height

    HDC target_ = nullptr;          // set from beginDraw to endDraw
    PlotRect client_{};
    PlotRange range_{};
    Layout layout_{};
    std::vector<ColumnExtent> columns_;
    std::vector<POINT> points_;
};

}  // namespace pellume
