#pragma once
// Plot geometry of the plot component, in pixels of the plot's client area
// (origin top left, y down): the frame layout, the value-to-row mapping, the
// reduction of a curve to pixel columns and the texts of the scale numbers.
// Portable; plot.cpp draws with it.
#include <cstddef>
#include <cstdint>

namespace pellume {

// A half-open pixel rectangle: columns left .. right-1, rows top .. bottom-1.
struct PixelRect {
    int32_t left, top, right, bottom;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
};

// Where the parts of a plot go. The interior is where curves are drawn; the
// frame line, frameWidth pixels wide, surrounds it. The y scale numbers sit
// in a column left of the frame, the x scale numbers in a row below it.
struct Layout {
    PixelRect interior;
    int32_t frameWidth;
    PixelRect yLabels;  // column of the y numbers, right-aligned
    PixelRect xLabels;  // row of the x numbers
};

// width, height: client size; marginX, marginY: room left/right and
// above/below; labelWidth: widest y number or unit text; textHeight: one
// line. The interior keeps at least one pixel in each direction.
Layout computeLayout(int32_t width, int32_t height, int32_t marginX, int32_t marginY, int32_t frameWidth,
                     int32_t labelWidth, int32_t textHeight);

// Row of a value: `dataTop` on the interior's first row, `dataBottom` on its
// last, linear between. Rows far outside are clamped to kFarRows beyond the
// interior (enough for clipped lines to keep their slope on screen). With a
// zero span every value equal to it sits on the middle row.
class ValueMap {
public:
    static constexpr int32_t kFarRows = 100000;

    ValueMap(double dataBottom, double dataTop, const PixelRect& interior);
    // False when either end is not finite: nothing can be placed.
    bool valid() const { return valid_; }
    // Not-a-number must be filtered by the caller.
    int32_t row(double value) const;

private:
    double bottom_, top_;
    int32_t firstRow_, lastRow_;
    bool valid_;
};

// Column of point i of `count` spread evenly over `width` columns: point i
// sits at i / count of the width, so x min is column 0 and x max would be
// column `width`.
inline int32_t pointColumn(int64_t i, int64_t count, int32_t width) {
    return count > 0 ? static_cast<int32_t>(i * width / count) : 0;
}

// The values of one pixel column. Not-a-number values are left out; a
// column with none has points == 0.
struct ColumnExtent {
    float first, last, min, max;
    int32_t points;
};

// columns[c] for c < width gathers the values whose pointColumn is c.
void reduceToColumns(const float* values, int32_t count, int32_t width, ColumnExtent* columns);

// The part of a curve that the interior shows, in point positions: point i
// sits at position i, the interior's left edge at `first` and its right edge
// at first + length (length > 0). The whole curve is {0, count}.
struct PointWindow {
    double first, length;
};

// Column of point i in a window over `width` columns: floor((i - first) *
// width / length); points left of the window get negative columns, points
// right of it columns from `width` on. Clamped to kFarColumns either side,
// for lines drawn towards a point far off the interior. For the whole
// curve it is pointColumn.
inline constexpr int32_t kFarColumns = 1 << 20;
int32_t windowColumn(int64_t i, const PointWindow& window, int32_t width);

// The points of a curve of `count` whose windowColumn is 0 .. width-1.
struct IndexRange {
    int64_t begin, end;
};
IndexRange visiblePoints(int32_t count, const PointWindow& window, int32_t width);

// columns[c] for c < width gathers the values whose windowColumn is c; only
// the visible points are read.
void reduceToColumns(const float* values, int32_t count, const PointWindow& window, int32_t width,
                     ColumnExtent* columns);

// Decimals for scale numbers that are `step` apart: enough to tell
// neighbours apart: as many as the step needs, at most its two significant
// digits (and at most 9).
int32_t labelDecimals(double step);
// `value` with `decimals` decimals; "-0" is written as "0", values beyond
// the fixed-point range in exponent form. Writes nothing when size is 0.
void formatLabel(char* out, size_t size, double value, int32_t decimals);

}  // namespace pellume
