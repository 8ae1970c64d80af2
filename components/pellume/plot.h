#pragma once
// One plot drawn with GDI. A frame is composed off-screen, in a memory
// device context with a 32-bit DIB section of the client size that is kept
// from frame to frame, and copied onto the plot's device context in one
// transfer at the end, so nothing half-drawn is ever seen. Curves are
// reduced to pixel columns and each column written into the pixels as one
// vertical span; GDI draws the rest. The cursor read-out and the drag
// rectangle are drawn over a copy of the finished frame, which itself stays
// as it is.
//
// Frames drawn in answer to a mouse event. The program redraws after every
// mouse event that changed the view, with the data of its last frame; a
// cursor that moved changes nothing but the overlay. Such a frame is
// recognised and not composed again: each curve's inputs (count, colour,
// markers, a fingerprint of its values) are compared with the last frame's,
// and when the frame's range, zoom, layout and look are the same too, the
// kept frame is shown as it is. Otherwise the curves whose inputs are
// unchanged are drawn from pixel columns kept for the last few x windows
// they were shown in (always including the whole curve), so that a zoom
// step reduces only a window not seen yet. This is done only for the first
// frame after a mouse event reported to any plot of the library (so the top
// plot, redrawn along with the main one, profits too); every other frame is
// composed from its data. The fingerprint samples a long curve (about 2000
// values) rather than reading all of it; the one frame it could miss a
// change in is one that follows a move the program chose not to redraw
// (while acquisition runs, the next tick redraws with new data), and the
// frame after it is composed afresh.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "components/pellume/geometry.h"
#include "components/pellume/zoom.h"
#include "display/plot_interface.h"

namespace pellume {

class Plot {
public:
    Plot();
    ~Plot();
    Plot(const Plot&) = delete;
    Plot& operator=(const Plot&) = delete;

    // The record stays in place for the run; null keeps the built-in look.
    void setStyle(const PlotStyle* style) { style_ = style; }
    // kPlotPropertyXUnit, kPlotPropertyYUnit (texts are copied),
    // kPlotPropertyCursor, kPlotPropertyViewKind. False for another code or
    // a null value.
    bool setProperty(int32_t code, const void* value);

    // Background, grid, frame, scale numbers and unit texts of the zoomed
    // part of the range. pointsPerCurve (0: not known) limits how far x
    // zooms in.
    bool beginDraw(HDC dc, const PlotRect& client, const PlotRange& range, int32_t pointsPerCurve);
    // One curve of `count` values spread evenly from x min to x max; the
    // points inside the zoomed x range are reduced to pixel columns (each
    // column's minimum to maximum, joined to its neighbours), clipped to the
    // interior; then the markers (null or kMarkersPerChannel records).
    bool drawCurve(const float* values, int32_t count, const uint32_t* colour, const MarkerRecord* markers);
    // Copies the frame, with the cursor read-out over it, onto the device
    // context given to beginDraw.
    bool endDraw();

    // The mouse: the packed point (x | (y << 16), signed 16-bit halves, in
    // client coordinates) or kPlotPointOutside; `client` is not needed, the
    // last frame's layout is used. True: what the plot shows changed.
    bool onMouseMove(int32_t keys, int32_t point);
    bool onMouseButton(int32_t button, int32_t point, int32_t kind);

private:
    // Colours and font of the style, or the built-in ones.
    struct Look {
        COLORREF background, frame, grid, text;
        int32_t marginX, marginY, frameWidth, gridX, gridY, fontPoints;
        char face[LF_FACESIZE];
    };
    static constexpr int32_t kMostDivisions = 100;
    // The scale numbers of a frame, laid out before anything is painted.
    struct Scales {
        int32_t textHeight;
        char y[kMostDivisions + 1][32];  // bottom (0) to top; empty: left out
        char x[kMostDivisions][32];      // left to right; empty: left out
        char xLast[128];                 // x max and the x unit
        bool xShown;
    };
    // Everything a frame's look depends on besides its curves; compared
    // byte for byte.
    struct FrameKey {
        int32_t width, height;
        Look look;
        char xUnit[64], yUnit[64];
        ViewRange full, shown;
        PixelRect interior;
    };
    struct CurveKey {
        int32_t count;
        COLORREF colour;
        int32_t hasMarkers;
        MarkerRecord markers[kMarkersPerChannel];
        uint64_t fingerprint;
    };
    // A curve's pixel columns for one x window and interior width.
    struct Columns {
        PointWindow window{0.0, 0.0};
        int32_t width = 0;
        std::vector<ColumnExtent> extents;
        // The nearest points just outside a zoomed x range, to draw the
        // lines that leave the interior.
        int64_t beforeIndex = -1, afterIndex = -1;
        float before = 0.0f, after = 0.0f;
    };
    // A curve of the last frame: its inputs and its columns for the last few
    // x windows it was drawn in (most recent first), so that stepping back
    // out of a zoom finds them.
    static constexpr size_t kKeptWindows = 4;
    struct KeptCurve {
        CurveKey key;
        float markerValues[kMarkersPerChannel];  // value at each bin marker
        std::vector<Columns> windows;
    };

    Look look() const;
    bool prepareSurface(HDC dc, int32_t width, int32_t height);
    void prepareFont(const Look& look);
    void releaseSurface();
    void layoutScales(const Look& look);
    void paintFrame();
    // The columns of a kept curve for the frame's x window, or null.
    const Columns* columnsFor(const KeptCurve& curve) const;
    void paintCurve(const KeptCurve& curve, const Columns& columns);
    void paintMarkers(const KeptCurve& curve, const Columns& columns, const ValueMap& map);
    // Composes the frame now after all: frame and the first n kept curves.
    void materialise(size_t curves);
    void paintOverlay();
    void fillRect(HDC dc, const PixelRect& r, COLORREF colour);
    void noteMouseEvent();

    const PlotStyle* style_ = nullptr;
    char xUnit_[64] = "";
    char yUnit_[64] = "";
    COLORREF cursorColour_ = 0;
    int32_t viewKind_ = 0;

    HDC memory_ = nullptr;        // off-screen context of the frame, kept between frames
    HBITMAP bitmap_ = nullptr;    // a DIB section: pixels_, top-down rows of width_
    uint32_t* pixels_ = nullptr;  // 0x00RRGGBB
    HGDIOBJ previousBitmap_ = nullptr;
    HDC overlay_ = nullptr;  // the frame with the cursor read-out over it
    HBITMAP overlayBitmap_ = nullptr;
    HGDIOBJ previousOverlayBitmap_ = nullptr;
    int32_t width_ = 0, height_ = 0;
    HFONT font_ = nullptr;
    HGDIOBJ previousFont_ = nullptr;
    HGDIOBJ previousOverlayFont_ = nullptr;
    char fontFace_[LF_FACESIZE] = "";
    int32_t fontHeight_ = 0;  // logical units, negative: character height

    HDC target_ = nullptr;  // set from beginDraw to endDraw
    PlotRect client_{};
    Look look_{};
    ViewRange shown_{};
    Layout layout_{};
    Scales scales_{};
    // A curve's columns as vertical spans: x, the rows of the first and last
    // value, and the span's top and bottom rows.
    struct NodeSpan {
        int32_t x, first, last, top, bottom;
    };
    std::vector<NodeSpan> nodes_;
    std::vector<POINT> points_;
    std::vector<DWORD> segmentCounts_;

    MouseZoom mouse_;
    bool laidOut_ = false;  // layout_ holds a frame's layout: the mouse can be placed

    FrameKey frameKey_{};    // of the frame being drawn
    FrameKey keptKey_{};     // of the frame in memory_
    bool kept_ = false;      // memory_ holds a whole frame, keptKey_ and keptCurves_ tell it
    bool reuse_ = false;     // this frame answers a mouse event
    bool deferred_ = false;  // nothing painted yet: the kept frame may stand
    size_t curveIndex_ = 0;
    std::vector<KeptCurve> keptCurves_;
    uint32_t framedMouseEvents_ = 0;
};

}  // namespace pellume
