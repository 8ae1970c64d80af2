#include "components/pellume/zoom.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pellume {

namespace {

bool finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

bool inside(const PixelRect& in, int32_t x, int32_t y) {
    return x >= in.left && x < in.right && y >= in.top && y < in.bottom;
}

// Positions on an axis as fractions of the full span: 0 at `from`, 1 at `to`.
double fractionOf(const Span& full, double value) { return (value - full.from) / (full.to - full.from); }
double valueAt(const Span& full, double fraction) { return full.from + fraction * (full.to - full.from); }

// The span of fractions [first, first + length], moved inside 0 .. 1; the
// full span itself, exactly, when it covers all of it.
Span placeInside(const Span& full, double first, double length) {
    if (!(length < 1.0)) return full;
    first = std::clamp(first, 0.0, 1.0 - length);
    return {valueAt(full, first), valueAt(full, first + length)};
}

// `shown`, narrowed by `factor` with `at` kept at its place; `shown` itself
// when it is as narrow as allowed already.
Span narrowAbout(const Span& full, const Span& shown, double at, double factor, double narrowest) {
    const double a = fractionOf(full, shown.from);
    const double b = fractionOf(full, shown.to);
    const double length = std::max((b - a) / factor, narrowest);
    if (!(length < b - a)) return shown;
    const double p = std::clamp(fractionOf(full, at), a, b);
    return placeInside(full, p - (p - a) * length / (b - a), length);
}

// `wanted` in either order, widened about its middle to the narrowest
// allowed, moved inside the full span.
Span fitInside(const Span& full, const Span& wanted, double narrowest) {
    double a = fractionOf(full, wanted.from);
    double b = fractionOf(full, wanted.to);
    if (a > b) std::swap(a, b);
    const double length = std::max(b - a, narrowest);
    return placeInside(full, 0.5 * (a + b) - 0.5 * length, length);
}

// The unit text without its leading and trailing blanks.
std::string trimmed(const char* unit) {
    if (!unit) return {};
    const char* begin = unit;
    while (*begin == ' ') ++begin;
    const char* end = begin + std::strlen(begin);
    while (end > begin && end[-1] == ' ') --end;
    return std::string(begin, end);
}

void writeValue(char* out, size_t size, double value, double step, const char* unit) {
    out[0] = '\0';
    if (!std::isfinite(value)) return;
    char number[32];
    formatLabel(number, sizeof number, value, labelDecimals(step));
    const std::string u = trimmed(unit);
    std::snprintf(out, size, u.empty() ? "%s" : "%s %s", number, u.c_str());
}

// Value steps of one column and one row.
double columnStep(const PixelRect& in, const ViewRange& shown) {
    return (shown.xMax - shown.xMin) / std::max(in.width(), 1);
}
double rowStep(const PixelRect& in, const ViewRange& shown) {
    return (shown.scaleTop - shown.scaleBottom) / std::max(in.height() - 1, 1);
}

}  // namespace

bool xZoomable(const ViewRange& r) { return finite(r.xMin, r.xMax) && r.xMax > r.xMin; }

bool yZoomable(const ViewRange& r) {
    return finite(r.scaleBottom, r.scaleTop) && finite(r.dataBottom, r.dataTop) && r.scaleTop != r.scaleBottom &&
           r.dataTop != r.dataBottom;
}

double xAt(const PixelRect& in, const ViewRange& shown, int32_t column) {
    return shown.xMin + (column - in.left) * columnStep(in, shown);
}

double scaleAt(const PixelRect& in, const ViewRange& shown, int32_t row) {
    const int32_t lastRow = in.bottom - 1;
    if (lastRow <= in.top) return 0.5 * (shown.scaleBottom + shown.scaleTop);
    return shown.scaleBottom + (lastRow - row) * rowStep(in, shown);
}

double dataAtScale(const ViewRange& r, double scale) {
    return r.dataBottom + (scale - r.scaleBottom) * (r.dataTop - r.dataBottom) / (r.scaleTop - r.scaleBottom);
}

PointWindow pointWindow(const ViewRange& full, const ViewRange& shown, int32_t count) {
    const double n = std::max(count, 0);
    if (!xZoomable(full) || (shown.xMin == full.xMin && shown.xMax == full.xMax)) return {0.0, n};
    const double span = full.xMax - full.xMin;
    return {(shown.xMin - full.xMin) / span * n, (shown.xMax - shown.xMin) / span * n};
}

Readout readOut(const PixelRect& in, const ViewRange& shown, int32_t column, int32_t row, const char* xUnit,
                const char* yUnit) {
    Readout r{};
    if (finite(shown.xMin, shown.xMax))
        writeValue(r.x, sizeof r.x, xAt(in, shown, column), columnStep(in, shown), xUnit);
    if (finite(shown.scaleBottom, shown.scaleTop))
        writeValue(r.y, sizeof r.y, scaleAt(in, shown, row), rowStep(in, shown), yUnit);
    return r;
}

Readout readOutExtent(const PixelRect& in, const ViewRange& shown, int32_t column1, int32_t row1, int32_t column2,
                      int32_t row2, const char* xUnit, const char* yUnit) {
    Readout r{};
    if (finite(shown.xMin, shown.xMax)) {
        const double dx = std::fabs(xAt(in, shown, column2) - xAt(in, shown, column1));
        writeValue(r.x, sizeof r.x, dx, columnStep(in, shown), xUnit);
    }
    if (finite(shown.scaleBottom, shown.scaleTop)) {
        const double dy = std::fabs(scaleAt(in, shown, row2) - scaleAt(in, shown, row1));
        writeValue(r.y, sizeof r.y, dy, rowStep(in, shown), yUnit);
    }
    return r;
}

bool Zoom::setFrame(const ViewRange& full, const char* xUnit, const char* yUnit, int32_t viewKind, int32_t points) {
    const std::string x = xUnit ? xUnit : "";
    const std::string y = yUnit ? yUnit : "";
    const bool sameScale = full.scaleBottom == full_.scaleBottom && full.scaleTop == full_.scaleTop;
    const bool sameData = full.dataBottom == full_.dataBottom && full.dataTop == full_.dataTop;
    const bool sameReference = !controlsRead_ || !sameScale || sameData;
    controlsRead_ = false;
    const bool sameAxes = full.xMin == full_.xMin && full.xMax == full_.xMax && x == xUnit_ && y == yUnit_ &&
                          viewKind == viewKind_ && sameReference;
    full_ = full;
    xUnit_ = x;
    yUnit_ = y;
    viewKind_ = viewKind;
    points_ = points;
    if (levels_.empty() || (sameAxes && xZoomable(full))) return false;
    levels_.clear();
    return true;
}

// The deepest level, with the full range's spans on the axes it leaves alone.
Zoom::Level Zoom::current() const {
    Level level = levels_.empty() ? Level{false, false, {}, {}} : levels_.back();
    if (!level.xZoomed) level.x = {full_.xMin, full_.xMax};
    if (!level.yZoomed) level.scale = {full_.scaleBottom, full_.scaleTop};
    return level;
}

ViewRange Zoom::shown() const {
    ViewRange r = full_;
    if (levels_.empty()) return r;
    const Level& level = levels_.back();
    if (level.xZoomed && xZoomable(full_)) {
        r.xMin = level.x.from;
        r.xMax = level.x.to;
    }
    if (level.yZoomed && yZoomable(full_)) {
        r.scaleBottom = level.scale.from;
        r.scaleTop = level.scale.to;
        r.dataBottom = dataAtScale(full_, level.scale.from);
        r.dataTop = dataAtScale(full_, level.scale.to);
    }
    return r;
}

double Zoom::narrowestX() const { return std::min(points_ > 0 ? kFewestPoints / points_ : kNarrowestX, 1.0); }

bool Zoom::push(const Level& level) {
    if (levels_.size() >= kMostLevels) return false;
    levels_.push_back(level);
    return true;
}

bool Zoom::zoomAbout(double x, double scale, double factor) {
    if (!(factor > 1.0)) return false;
    const Level now = current();
    Level next = now;
    if (xZoomable(full_) && std::isfinite(x)) {
        const Span full{full_.xMin, full_.xMax};
        next.x = narrowAbout(full, now.x, x, factor, narrowestX());
        next.xZoomed = !(next.x == full);
    }
    if (yZoomable(full_) && std::isfinite(scale)) {
        const Span full{full_.scaleBottom, full_.scaleTop};
        next.scale = narrowAbout(full, now.scale, scale, factor, kNarrowestY);
        next.yZoomed = !(next.scale == full);
    }
    const bool changed = !(next.x == now.x) || !(next.scale == now.scale);
    return changed && push(next);
}

bool Zoom::zoomTo(const Span* x, const Span* scale) {
    const Level now = current();
    Level next = now;
    if (x && xZoomable(full_) && finite(x->from, x->to)) {
        const Span full{full_.xMin, full_.xMax};
        next.x = fitInside(full, *x, narrowestX());
        next.xZoomed = !(next.x == full);
    }
    if (scale && yZoomable(full_) && finite(scale->from, scale->to)) {
        const Span full{full_.scaleBottom, full_.scaleTop};
        next.scale = fitInside(full, *scale, kNarrowestY);
        next.yZoomed = !(next.scale == full);
    }
    const bool changed = !(next.x == now.x) || !(next.scale == now.scale);
    return changed && push(next);
}

bool Zoom::back() {
    if (levels_.empty()) return false;
    levels_.pop_back();
    return true;
}

bool Zoom::toFull() {
    if (levels_.empty()) return false;
    levels_.clear();
    return true;
}

bool operator==(const Overlay& a, const Overlay& b) {
    if (a.cursor != b.cursor || a.rectangle != b.rectangle) return false;
    if (a.cursor && (a.x != b.x || a.y != b.y)) return false;
    if (a.rectangle && (a.anchorX != b.anchorX || a.anchorY != b.anchorY)) return false;
    return true;
}

bool MouseZoom::move(const PixelRect& in, int32_t keys, int32_t x, int32_t y) {
    if (in.width() <= 0 || in.height() <= 0) return false;
    const Overlay before = overlay_;
    bool changed = false;
    const bool held = (keys & kLeftButtonHeld) != 0;
    if (state_ == State::Pressed) {
        if (!held) {
            // A click: it zooms now, about the press point.
            state_ = State::Idle;
            const ViewRange shown = zoom_.shown();
            if (inside(in, overlay_.anchorX, overlay_.anchorY))
                changed = zoom_.zoomAbout(xAt(in, shown, overlay_.anchorX), NAN, 2.0);
        } else if (std::abs(x - overlay_.anchorX) >= kDragPixels || std::abs(y - overlay_.anchorY) >= kDragPixels) {
            state_ = State::Dragging;
        }
    }
    if (state_ == State::Dragging) {
        // The rectangle's corner follows the pointer, kept on the interior;
        // without the button this is where it came up.
        overlay_.cursor = overlay_.rectangle = true;
        overlay_.x = std::clamp(x, in.left, in.right - 1);
        overlay_.y = std::clamp(y, in.top, in.bottom - 1);
        if (!held) {
            changed = finishDrag(in) || changed;
            state_ = State::Idle;
        }
    }
    if (state_ != State::Dragging) {
        overlay_.rectangle = false;
        overlay_.cursor = inside(in, x, y);
        overlay_.x = overlay_.cursor ? x : 0;
        overlay_.y = overlay_.cursor ? y : 0;
    }
    return changed || overlay_ != before;
}

bool MouseZoom::leave(const PixelRect& in, int32_t keys) {
    if (in.width() <= 0 || in.height() <= 0) return false;
    const Overlay before = overlay_;
    const bool held = (keys & kLeftButtonHeld) != 0;
    if (state_ == State::Dragging && held) return false;  // the rectangle stays as it is
    if (!held) state_ = State::Idle;
    overlay_ = Overlay{};
    overlay_.anchorX = before.anchorX;
    overlay_.anchorY = before.anchorY;
    return overlay_ != before;
}

// The rectangle's corners are the anchor and the point where the button
// came up (overlay_, kept on the interior).
bool MouseZoom::finishDrag(const PixelRect& in) {
    const ViewRange shown = zoom_.shown();
    const int32_t left = std::min(overlay_.anchorX, overlay_.x);
    const int32_t right = std::max(overlay_.anchorX, overlay_.x);
    const int32_t top = std::min(overlay_.anchorY, overlay_.y);
    const int32_t bottom = std::max(overlay_.anchorY, overlay_.y);
    const Span x{xAt(in, shown, left), xAt(in, shown, right)};
    const Span scale{scaleAt(in, shown, bottom), scaleAt(in, shown, top)};
    return zoom_.zoomTo(right - left >= kDragPixels ? &x : nullptr, bottom - top >= kDragPixels ? &scale : nullptr);
}

bool MouseZoom::button(const PixelRect& in, int32_t button, int32_t x, int32_t y, int32_t kind) {
    if (in.width() <= 0 || in.height() <= 0) return false;
    const Overlay before = overlay_;
    bool changed = false;
    const bool leftWasDown = state_ != State::Idle;
    // Every press starts afresh.
    state_ = State::Idle;
    overlay_.rectangle = false;
    if (kind == kDoubleClick) {
        // Also undoes the level of the click just before it.
        changed = zoom_.toFull();
    } else if (kind == kPress && button == 1) {
        if (inside(in, x, y)) {
            state_ = State::Pressed;
            overlay_.anchorX = x;
            overlay_.anchorY = y;
        }
    } else if (kind == kPress && button == 2) {
        if (!leftWasDown) changed = zoom_.back();  // a pending click or drag is only dropped
    }
    overlay_.cursor = inside(in, x, y);
    overlay_.x = overlay_.cursor ? x : 0;
    overlay_.y = overlay_.cursor ? y : 0;
    return changed || overlay_ != before;
}

}  // namespace pellume
