#include "components/pellume/plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace pellume {

namespace {

// Pixels between a scale number and the frame, and between two numbers.
constexpr int32_t kLabelGap = 3;
// Polyline is fed in chunks of this many points (older systems cap it).
constexpr size_t kPolylineChunk = 4096;
// A bin marker: a triangle pointing down, this many pixels above the value.
constexpr int32_t kMarkerLift = 2;
constexpr int32_t kMarkerHeight = 6;
constexpr int32_t kMarkerHalfWidth = 3;

COLORREF colourOf(uint32_t value) { return static_cast<COLORREF>(value & 0xFFFFFF); }

COLORREF midway(COLORREF a, COLORREF b) {
    return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2,
               (GetBValue(a) + GetBValue(b)) / 2);
}

void copyText(char* dest, size_t size, const char* text) {
    const size_t n = text ? strnlen(text, size - 1) : 0;
    std::memcpy(dest, text ? text : "", n);
    dest[n] = '\0';
}

SIZE textSize(HDC dc, const char* text) {
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    return size;
}

void drawText(HDC dc, int32_t x, int32_t y, const char* text) {
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

}  // namespace

Plot::~Plot() {
    releaseSurface();
    if (font_) DeleteObject(font_);
}

bool Plot::setProperty(int32_t code, const void* value) {
    if (!value) return false;
    switch (code) {
    case kPlotPropertyXUnit:
        copyText(xUnit_, sizeof xUnit_, static_cast<const char*>(value));
        return true;
    case kPlotPropertyYUnit:
        copyText(yUnit_, sizeof yUnit_, static_cast<const char*>(value));
        return true;
    case kPlotPropertyCursor: {
        uint32_t record[5];     // {3, colour, 0, 0, 0}
        std::memcpy(record, value, sizeof record);
        cursorColour_ = colourOf(record[1]);
        return true;
    }
    case kPlotPropertyViewKind:
        std::memcpy(&viewKind_, value, sizeof viewKind_);
        return true;
    default:
        return false;
    }
}

Plot::Look Plot::look() const {
    Look k;
    const PlotStyle* s = style_;
    k.background = s ? colourOf(s->bgColor) : GetSysColor(COLOR_BTNFACE);
    k.text = s ? colourOf(s->textColor) : RGB(0, 0, 0);
    k.frame = s ? colourOf(s->oscColor) : GetSysColor(COLOR_BTNSHADOW);
    if (k.frame == k.background) k.frame = k.text;
    // The grid colour is often configured equal to the background (both take
    // the button-face colour by default): the frame colour then serves.
    k.grid = s ? colourOf(s->oscGridColor) : k.frame;
    if (k.grid == k.background) k.grid = k.frame;
    if (k.grid == k.background) k.grid = midway(k.background, k.text);
    k.marginX = s ? std::clamp(s->marginX, 0, 200) : 10;
    k.marginY = s ? std::clamp(s->marginY, 0, 200) : 10;
    k.frameWidth = s ? std::clamp(s->frameWidth, 0, 20) : 2;
    k.gridX = s ? std::clamp(s->gridLinesX, 1, 100) : 8;
    k.gridY = s ? std::clamp(s->gridLinesY, 1, 100) : 5;
    k.fontPoints = s && s->fontSize > 0 ? std::min(s->fontSize, 96) : 8;
    const char* face = "Courier New";
    if (s) face = s->fontNamePtr ? s->fontNamePtr : s->fontName;
    copyText(k.face, sizeof k.face, face);
    return k;
}

void Plot::releaseSurface() {
    if (memory_) {
        if (previousFont_) SelectObject(memory_, previousFont_);
        if (previousBitmap_) SelectObject(memory_, previousBitmap_);
        DeleteDC(memory_);
    }
    if (bitmap_) DeleteObject(bitmap_);
    memory_ = nullptr;
    bitmap_ = nullptr;
    previousBitmap_ = nullptr;
    previousFont_ = nullptr;
    width_ = height_ = 0;
}

bool Plot::prepareSurface(HDC dc, int32_t width, int32_t height) {
    if (memory_ && width == width_ && height == height_) return true;
    releaseSurface();
    memory_ = CreateCompatibleDC(dc);
    if (!memory_) return false;
    bitmap_ = CreateCompatibleBitmap(dc, width, height);
    if (!bitmap_) {
        releaseSurface();
        return false;
    }
    previousBitmap_ = SelectObject(memory_, bitmap_);
    width_ = width;
    height_ = height;
    return true;
}

void Plot::prepareFont(const Look& look) {
    int dpi = GetDeviceCaps(memory_, LOGPIXELSY);
    if (dpi <= 0) dpi = 96;
    const int32_t height = -MulDiv(look.fontPoints, dpi, 72);
    if (!font_ || height != fontHeight_ || std::strcmp(look.face, fontFace_) != 0) {
        HFONT font = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, look.face);
        if (font) {
            HGDIOBJ old = SelectObject(memory_, font);
            if (!previousFont_) previousFont_ = old;
            if (font_) DeleteObject(font_);
            font_ = font;
            fontHeight_ = height;
            copyText(fontFace_, sizeof fontFace_, look.face);
            return;
        }
    }
    if (font_) {
        HGDIOBJ old = SelectObject(memory_, font_);
        if (!previousFont_) previousFont_ = old;
    }
}

void Plot::fillRect(const PixelRect& r, COLORREF colour) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    // ExtTextOut with an opaque rectangle fills without a brush object.
    const RECT rect{r.left, r.top, r.right, r.bottom};
    SetBkColor(memory_, colour);
    ExtTextOutA(memory_, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

bool Plot::beginDraw(HDC dc, const PlotRect& client, const PlotRange& range) {
    target_ = nullptr;
    if (!dc) return false;
    const int32_t width = client.right - client.left;
    const int32_t height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return false;
    if (!prepareSurface(dc, width, height)) return false;

    const Look k = look();
    prepareFont(k);
    fillRect({0, 0, width, height}, k.background);
    range_ = range;
    drawScales(k, range);
    client_ = client;
    target_ = dc;
    return true;
}

void Plot::drawScales(const Look& k, const PlotRange& range) {
    TEXTMETRICA metrics{};
    GetTextMetricsA(memory_, &metrics);
    const int32_t textHeight = metrics.tmHeight;

    // y numbers, bottom (k = 0) to top.
    char yText[101][32];
    const int32_t rows = k.gridY;
    const double yStep = (static_cast<double>(range.scaleTop) - range.scaleBottom) / rows;
    const int32_t yDecimals = labelDecimals(yStep);
    const bool yFinite = std::isfinite(range.scaleBottom) && std::isfinite(range.scaleTop);
    int32_t labelWidth = textSize(memory_, yUnit_).cx;
    for (int32_t i = 0; i <= rows; ++i) {
        yText[i][0] = '\0';
        if (!yFinite) continue;
        formatLabel(yText[i], sizeof yText[i], range.scaleBottom + i * yStep, yDecimals);
        labelWidth = std::max(labelWidth, static_cast<int32_t>(textSize(memory_, yText[i]).cx));
    }
    layout_ = computeLayout(width_, height_, k.marginX, k.marginY, k.frameWidth,
                            labelWidth + kLabelGap, textHeight);
    const PixelRect& in = layout_.interior;

    // Grid: dotted lines on the inner divisions.
    HPEN gridPen = CreatePen(PS_DOT, 1, k.grid);
    HGDIOBJ oldPen = SelectObject(memory_, gridPen);
    SetBkMode(memory_, TRANSPARENT);
    for (int32_t i = 1; i < k.gridX; ++i) {
        const int32_t x = in.left + pointColumn(i, k.gridX, in.width());
        MoveToEx(memory_, x, in.top, nullptr);
        LineTo(memory_, x, in.bottom);
    }
    const ValueMap divisions(0.0, rows, in);
    for (int32_t i = 1; i < rows; ++i) {
        const int32_t y = divisions.row(i);
        MoveToEx(memory_, in.left, y, nullptr);
        LineTo(memory_, in.right, y);
    }
    SelectObject(memory_, oldPen);
    DeleteObject(gridPen);

    // Frame.
    const int32_t f = layout_.frameWidth;
    fillRect({in.left - f, in.top - f, in.right + f, in.top}, k.frame);
    fillRect({in.left - f, in.bottom, in.right + f, in.bottom + f}, k.frame);
    fillRect({in.left - f, in.top, in.left, in.bottom}, k.frame);
    fillRect({in.right, in.top, in.right + f, in.bottom}, k.frame);

    SetTextColor(memory_, k.text);
    SetBkMode(memory_, TRANSPARENT);
    SetTextAlign(memory_, TA_LEFT | TA_TOP | TA_NOUPDATECP);

    // y numbers, right-aligned left of the frame, centred on their lines;
    // one that would overlap the one below it is left out.
    const int32_t yRight = layout_.yLabels.right - kLabelGap;
    int32_t freeAbove = height_;
    for (int32_t i = 0; i <= rows; ++i) {
        if (!yText[i][0]) continue;
        int32_t top = divisions.row(i) - textHeight / 2;
        top = std::max(0, std::min(top, height_ - textHeight));
        if (top + textHeight > freeAbove) continue;
        drawText(memory_, yRight - textSize(memory_, yText[i]).cx, top, yText[i]);
        freeAbove = top;
    }
    // The y unit in the corner below the numbers.
    const int32_t rowTop = layout_.xLabels.top;
    drawText(memory_, yRight - textSize(memory_, yUnit_).cx, rowTop, yUnit_);

    // x numbers below the frame: the first starts at x min, the last (with
    // the x unit) ends at x max, the others are centred on their lines; one
    // that would overlap a neighbour is left out.
    const int32_t columns = k.gridX;
    const double xStep = (static_cast<double>(range.xMax) - range.xMin) / columns;
    if (!std::isfinite(range.xMin) || !std::isfinite(range.xMax)) return;
    const int32_t xDecimals = labelDecimals(xStep);
    char text[128];
    char number[32];
    formatLabel(number, sizeof number, range.xMax, xDecimals);
    std::snprintf(text, sizeof text, xUnit_[0] ? "%s %s" : "%s", number, xUnit_);
    const int32_t lastLeft = in.right - textSize(memory_, text).cx;
    drawText(memory_, lastLeft, rowTop, text);
    int32_t freeFrom = 0;
    for (int32_t i = 0; i < columns; ++i) {
        formatLabel(number, sizeof number, range.xMin + i * xStep, xDecimals);
        const int32_t w = textSize(memory_, number).cx;
        const int32_t x = in.left + pointColumn(i, columns, in.width());
        const int32_t left = i == 0 ? x : x - w / 2;
        if (left < freeFrom || left + w + kLabelGap > lastLeft) continue;
        drawText(memory_, left, rowTop, number);
        freeFrom = left + w + kLabelGap;
    }
}

bool Plot::drawCurve(const float* values, int32_t count, const uint32_t* colour,
                     const MarkerRecord* markers) {
    if (!target_ || !values || count <= 0) return false;
    const PixelRect& in = layout_.interior;
    const ValueMap map(range_.dataBottom, range_.dataTop, in);
    if (!map.valid()) return true;     // nothing can be placed on this range
    const COLORREF c = colour ? colourOf(*colour) : look().frame;

    const int32_t width = in.width();
    columns_.resize(static_cast<size_t>(width));
    reduceToColumns(values, count, width, columns_.data());

    // Per column: first, minimum, maximum, last, all on the column's x; the
    // step to the next column joins the neighbours.
    points_.clear();
    auto add = [&](int32_t x, int32_t y) {
        if (points_.empty() || points_.back().x != x || points_.back().y != y)
            points_.push_back(POINT{x, y});
    };
    for (int32_t i = 0; i < width; ++i) {
        const ColumnExtent& e = columns_[static_cast<size_t>(i)];
        if (e.points == 0) continue;
        const int32_t x = in.left + i;
        add(x, map.row(e.first));
        add(x, map.row(e.min));
        add(x, map.row(e.max));
        add(x, map.row(e.last));
    }
    // A line leaves out its last pixel: one more step paints it.
    if (!points_.empty()) add(points_.back().x + 1, points_.back().y);

    const int saved = SaveDC(memory_);
    IntersectClipRect(memory_, in.left, in.top, in.right, in.bottom);
    HPEN pen = CreatePen(PS_SOLID, 1, c);
    HGDIOBJ oldPen = SelectObject(memory_, pen);
    if (points_.size() == 1) {
        SetPixel(memory_, points_[0].x, points_[0].y, c);
    } else {
        for (size_t start = 0; start + 1 < points_.size(); start += kPolylineChunk - 1) {
            const size_t n = std::min(kPolylineChunk, points_.size() - start);
            Polyline(memory_, &points_[start], static_cast<int>(n));
        }
    }
    SelectObject(memory_, oldPen);
    DeleteObject(pen);

    if (markers) drawMarkers(values, count, markers);
    RestoreDC(memory_, saved);
    return true;
}

// Called with the clip set to the interior.
void Plot::drawMarkers(const float* values, int32_t count, const MarkerRecord* markers) {
    const PixelRect& in = layout_.interior;
    const ValueMap map(range_.dataBottom, range_.dataTop, in);
    for (int i = 0; i < kMarkersPerChannel; ++i) {
        const MarkerRecord& m = markers[i];
        const COLORREF c = colourOf(m.colour);
        if (m.kind == kMarkerLevelLine) {
            if (!std::isfinite(m.level)) continue;
            const int32_t y = map.row(m.level);
            fillRect({in.left, y, in.right, y + 1}, c);
        } else if (m.kind == kMarkerBin) {
            if (m.bin < 0 || m.bin >= count) continue;
            const float v = values[m.bin];
            if (v != v) continue;
            const int32_t x = in.left + pointColumn(m.bin, count, in.width());
            // Kept inside the interior, so a marker off the scale still shows.
            const int32_t lowest = in.top + kMarkerLift + kMarkerHeight;
            const int32_t y = std::max(lowest, std::min(map.row(v), in.bottom - 1));
            const POINT triangle[3] = {{x, y - kMarkerLift},
                                       {x - kMarkerHalfWidth, y - kMarkerLift - kMarkerHeight},
                                       {x + kMarkerHalfWidth, y - kMarkerLift - kMarkerHeight}};
            HPEN pen = CreatePen(PS_SOLID, 1, c);
            HBRUSH brush = CreateSolidBrush(c);
            HGDIOBJ oldPen = SelectObject(memory_, pen);
            HGDIOBJ oldBrush = SelectObject(memory_, brush);
            Polygon(memory_, triangle, 3);
            SelectObject(memory_, oldBrush);
            SelectObject(memory_, oldPen);
            DeleteObject(brush);
            DeleteObject(pen);
        }
    }
}

bool Plot::endDraw() {
    if (!target_) return false;
    const BOOL copied = BitBlt(target_, client_.left, client_.top, width_, height_, memory_, 0, 0,
                               SRCCOPY);
    target_ = nullptr;
    return copied != FALSE;
}

}  // namespace pellume
