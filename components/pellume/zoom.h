#pragma once
// The plot's zoom and cursor, portable: which part of the full range the
// interior shows, the zoom levels that the mouse steps through, the cursor
// cross-hair and drag rectangle, and the values read out under the pointer.
// Pixels are those of the plot's client area (origin top left, y down), as
// in geometry.h; plot.cpp draws with this and hands it the mouse calls.
//
// Zoom levels are kept in the plot's own units (x units, y scale units), so
// that they survive frames whose range moves a little (auto scale, a dB
// scale that follows the strongest bin): a level shows the same values on
// its scales from frame to frame. They are dropped when the axes start to
// mean something else: another x range (view, window length or rate),
// other unit texts or another view kind, or, at the first frame after the
// program read its controls back, the same scale values standing for other
// data values (the two dB views share their axes and units but not their
// reference).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "components/pellume/geometry.h"

namespace pellume {

// x from the interior's left edge to its right edge; the scale pair (what
// the y scale shows at the bottom and top row) and the data pair (the
// plotted value that falls there). The scale maps linearly onto the data.
struct ViewRange {
    double xMin, xMax;
    double scaleBottom, scaleTop;
    double dataBottom, dataTop;
};

// Whether x can be zoomed: finite, xMax > xMin.
bool xZoomable(const ViewRange& range);
// Whether y can be zoomed: both pairs finite and neither flat.
bool yZoomable(const ViewRange& range);

// Part of one axis: `from` at the interior's left (bottom) edge, `to` at its
// right (top) edge.
struct Span {
    double from, to;
};
inline bool operator==(const Span& a, const Span& b) { return a.from == b.from && a.to == b.to; }

// The values at pixels of the interior `in` while it shows `shown`.
// Column c shows x from xAt(c) up to xAt(c + 1): the column of a curve's
// point (geometry.h) holds the points from its left edge on. Row r shows
// scaleAt(r): the interior's first row the scale top, its last row the
// scale bottom, as ValueMap places data.
double xAt(const PixelRect& in, const ViewRange& shown, int32_t column);
double scaleAt(const PixelRect& in, const ViewRange& shown, int32_t row);
// The data value of a scale value under the range's linear mapping.
double dataAtScale(const ViewRange& range, double scale);

// Where the points of a curve of `count` points, spread evenly from
// full.xMin (point 0) towards full.xMax, fall while the interior shows
// shown.xMin .. shown.xMax. The whole curve when x is not zoomable.
PointWindow pointWindow(const ViewRange& full, const ViewRange& shown, int32_t count);

// The read-out texts: "<value> <unit>" with the unit's blanks trimmed (just
// the value without a unit), with the decimals that tell neighbouring
// pixels apart. An empty text where the axis cannot be read.
struct Readout {
    char x[48];
    char y[48];
};
// The values under the pixel (column, row).
Readout readOut(const PixelRect& in, const ViewRange& shown, int32_t column, int32_t row, const char* xUnit,
                const char* yUnit);
// The extent from one pixel to another: both differences as positive values.
Readout readOutExtent(const PixelRect& in, const ViewRange& shown, int32_t column1, int32_t row1, int32_t column2,
                      int32_t row2, const char* xUnit, const char* yUnit);

// The zoom levels of one plot. With no level it shows the full range.
class Zoom {
public:
    // At most this many levels; a deeper zoom is refused.
    static constexpr size_t kMostLevels = 64;
    // A level shows at least this many point intervals across (when the
    // point count is known), else this fraction of the full x range.
    static constexpr double kFewestPoints = 4.0;
    static constexpr double kNarrowestX = 1e-9;
    // A level shows at least this fraction of the full scale range.
    static constexpr double kNarrowestY = 1e-6;

    // Each frame: its full range, unit texts, view kind and points per
    // curve (0: not known). Drops the levels when x min or max, a unit text
    // or the view kind differ from the last frame's, or x is not zoomable;
    // returns whether it dropped any.
    bool setFrame(const ViewRange& full, const char* xUnit, const char* yUnit, int32_t viewKind, int32_t points);
    // The program read its controls back (the view may have changed): the
    // next frame also drops the levels when its scale pair is the last
    // frame's but its data pair is not. That frame shows the data of the
    // last one, redrawn for the controls, so within one view both pairs
    // stay as they were.
    void controlsRead() { controlsRead_ = true; }

    const ViewRange& full() const { return full_; }
    // The part of the full range the interior shows now: x and the scale
    // pair of the deepest level (the full ones where it leaves an axis
    // alone or y is not zoomable), the data pair mapped from the scale pair.
    ViewRange shown() const;
    size_t depth() const { return levels_.size(); }

    // One level deeper, `factor` times narrower, with the value (x, scale)
    // kept where it is on the interior; clamped to the full range. A value
    // that is not finite leaves its axis as it is. False, and no level, when
    // no axis can narrow.
    bool zoomAbout(double x, double scale, double factor);
    // One level deeper showing x and scale spans (null: that axis as it
    // is), clamped to the full range and widened to the narrowest allowed.
    // False, and no level, when that changes nothing.
    bool zoomTo(const Span* x, const Span* scale);
    // One level back; false at the full range.
    bool back();
    // Back to the full range; false when already there.
    bool toFull();

private:
    struct Level {
        bool xZoomed, yZoomed;
        Span x, scale;
    };
    Level current() const;
    double narrowestX() const;
    bool push(const Level& level);

    ViewRange full_{0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    std::string xUnit_, yUnit_;
    int32_t viewKind_ = 0;
    int32_t points_ = 0;
    bool controlsRead_ = false;
    std::vector<Level> levels_;
};

// What is drawn over the frame: the cross-hair at (x, y), and while the
// left button drags, the rectangle from the anchor to (x, y).
struct Overlay {
    bool cursor = false;
    int32_t x = 0, y = 0;
    bool rectangle = false;
    int32_t anchorX = 0, anchorY = 0;
};
bool operator==(const Overlay& a, const Overlay& b);
inline bool operator!=(const Overlay& a, const Overlay& b) { return !(a == b); }

// The plot's mouse working. Moving over the interior shows the cursor; a
// left click (press and release within kDragPixels) zooms x in by two about
// the press point when the button comes up (y stays: a signal keeps its
// height, and the scale numbers, so the point stays under the pointer); a
// left drag (the button held and the pointer kDragPixels or more away) draws
// a rectangle and zooms to it when the button comes up inside the plot (an
// axis that the rectangle spans by fewer pixels stays as it is: a sideways
// sweep zooms x only). The program reports the release as the first move
// without the button; one outside the plot (leave) drops the click or the
// drag. A right press steps one level back (while the left button is down it
// only drops the click or drag); a double-click of either button goes back
// to the full range. Nothing zooms at the press itself, so a press that
// becomes a drag never shows an intermediate level.
class MouseZoom {
public:
    static constexpr int32_t kLeftButtonHeld = 1;  // keys flag: MK_LBUTTON
    static constexpr int32_t kDragPixels = 3;
    static constexpr int32_t kPress = 0;
    static constexpr int32_t kDoubleClick = 3;

    Zoom& zoom() { return zoom_; }
    const Zoom& zoom() const { return zoom_; }
    const Overlay& overlay() const { return overlay_; }

    // `in` is the interior of the last frame; without one (empty) nothing
    // happens. Returns whether what the plot shows changed: the zoom, the
    // cursor's pixel, the rectangle; a move to the same pixel, or outside
    // the interior with no cursor shown, changes nothing.
    bool move(const PixelRect& in, int32_t keys, int32_t x, int32_t y);
    // The pointer is outside the plot: the cursor goes; without the left
    // button a click or drag is dropped, with it a drag keeps its rectangle.
    bool leave(const PixelRect& in, int32_t keys);
    // button 1 left, 2 right; kind kPress or kDoubleClick.
    bool button(const PixelRect& in, int32_t button, int32_t x, int32_t y, int32_t kind);

private:
    enum class State { Idle, Pressed, Dragging };
    bool finishDrag(const PixelRect& in);

    Zoom zoom_;
    Overlay overlay_;
    State state_ = State::Idle;
};

}  // namespace pellume
