#include "components/pellume/plot.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace pellume {

namespace {

// Pixels between a scale number and the frame, and between two numbers.
constexpr int32_t kLabelGap = 3;
// Lines are handed to GDI in chunks of this many points (older systems cap
// one call).
constexpr size_t kPolylineChunk = 4096;
// A bin marker: a triangle pointing down, this many pixels above the value.
constexpr int32_t kMarkerLift = 2;
constexpr int32_t kMarkerHeight = 6;
constexpr int32_t kMarkerHalfWidth = 3;

// The cursor read-out's box: pixels between it and the pointer, and inside it.
constexpr int32_t kReadoutOffset = 8;
constexpr int32_t kReadoutPadding = 3;
// Curves of up to kFingerprintWhole values are fingerprinted whole; longer
// ones by about kFingerprintSamples values spread evenly over them (a prime
// count, so the spacing does not follow the powers of two of the blocks
// and windows), and their last ones.
constexpr int32_t kFingerprintWhole = 16384;
constexpr int32_t kFingerprintSamples = 2039;
constexpr int32_t kFingerprintTail = 16;

// Mouse events that any plot of the library has reported and the program
// answers with a redraw of its plots.
std::atomic<uint32_t> mouseEvents{0};

uint64_t mix(uint64_t h, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    h = (h ^ bits) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

bool isWholeCurve(const PointWindow& window, int32_t count) {
    return window.first == 0.0 && window.length == static_cast<double>(count);
}

uint64_t fingerprint(const float* v, int32_t count) {
    uint64_t h = static_cast<uint64_t>(count);
    if (count <= kFingerprintWhole) {
        for (int32_t i = 0; i < count; ++i) h = mix(h, v[i]);
        return h;
    }
    const int32_t stride = count / kFingerprintSamples;
    for (int32_t i = 0; i < count; i += stride) h = mix(h, v[i]);
    for (int32_t i = count - kFingerprintTail; i < count; ++i) h = mix(h, v[i]);
    return h;
}

COLORREF colourOf(uint32_t value) { return static_cast<COLORREF>(value & 0xFFFFFF); }

COLORREF midway(COLORREF a, COLORREF b) {
    return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2, (GetBValue(a) + GetBValue(b)) / 2);
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

Plot::Plot() : framedMouseEvents_(mouseEvents.load()) {}

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
        uint32_t record[5];  // {3, colour, 0, 0, 0}
        std::memcpy(record, value, sizeof record);
        cursorColour_ = colourOf(record[1]);
        return true;
    }
    case kPlotPropertyViewKind:
        // Sent whenever the program reads its controls back, also for a
        // change between views that share their axes.
        std::memcpy(&viewKind_, value, sizeof viewKind_);
        mouse_.zoom().controlsRead();
        return true;
    default:
        return false;
    }
}

Plot::Look Plot::look() const {
    Look k{};
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
    k.gridX = s ? std::clamp(s->gridLinesX, 1, kMostDivisions) : 8;
    k.gridY = s ? std::clamp(s->gridLinesY, 1, kMostDivisions) : 5;
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
    if (overlay_) {
        if (previousOverlayFont_) SelectObject(overlay_, previousOverlayFont_);
        if (previousOverlayBitmap_) SelectObject(overlay_, previousOverlayBitmap_);
        DeleteDC(overlay_);
    }
    if (bitmap_) DeleteObject(bitmap_);
    if (overlayBitmap_) DeleteObject(overlayBitmap_);
    memory_ = overlay_ = nullptr;
    bitmap_ = overlayBitmap_ = nullptr;
    pixels_ = nullptr;
    previousBitmap_ = previousOverlayBitmap_ = nullptr;
    previousFont_ = previousOverlayFont_ = nullptr;
    width_ = height_ = 0;
    kept_ = false;
}

bool Plot::prepareSurface(HDC dc, int32_t width, int32_t height) {
    if (memory_ && width == width_ && height == height_) return true;
    releaseSurface();
    memory_ = CreateCompatibleDC(dc);
    overlay_ = CreateCompatibleDC(dc);
    // The frame is a 32-bit top-down DIB section, so that curves can be
    // written into its pixels directly.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels_ = static_cast<uint32_t*>(bits);
    overlayBitmap_ = CreateCompatibleBitmap(dc, width, height);
    if (!memory_ || !overlay_ || !bitmap_ || !pixels_ || !overlayBitmap_) {
        releaseSurface();
        return false;
    }
    previousBitmap_ = SelectObject(memory_, bitmap_);
    previousOverlayBitmap_ = SelectObject(overlay_, overlayBitmap_);
    width_ = width;
    height_ = height;
    return true;
}

void Plot::prepareFont(const Look& look) {
    int dpi = GetDeviceCaps(memory_, LOGPIXELSY);
    if (dpi <= 0) dpi = 96;
    const int32_t height = -MulDiv(look.fontPoints, dpi, 72);
    HFONT replaced = nullptr;
    if (!font_ || height != fontHeight_ || std::strcmp(look.face, fontFace_) != 0) {
        HFONT font = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, look.face);
        if (font) {
            replaced = font_;
            font_ = font;
            fontHeight_ = height;
            copyText(fontFace_, sizeof fontFace_, look.face);
        }
    }
    if (font_) {
        HGDIOBJ old = SelectObject(memory_, font_);
        if (!previousFont_) previousFont_ = old;
        old = SelectObject(overlay_, font_);
        if (!previousOverlayFont_) previousOverlayFont_ = old;
    }
    if (replaced) DeleteObject(replaced);  // selected nowhere any more
}

void Plot::fillRect(HDC dc, const PixelRect& r, COLORREF colour) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    // ExtTextOut with an opaque rectangle fills without a brush object.
    const RECT rect{r.left, r.top, r.right, r.bottom};
    SetBkColor(dc, colour);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

bool Plot::beginDraw(HDC dc, const PlotRect& client, const PlotRange& range, int32_t pointsPerCurve) {
    target_ = nullptr;
    deferred_ = false;
    if (!dc) return false;
    const int32_t width = client.right - client.left;
    const int32_t height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return false;
    if (!prepareSurface(dc, width, height)) return false;

    look_ = look();
    prepareFont(look_);
    const ViewRange full{range.xMin, range.xMax, range.scaleBottom, range.scaleTop, range.dataBottom, range.dataTop};
    mouse_.zoom().setFrame(full, xUnit_, yUnit_, viewKind_, pointsPerCurve);
    shown_ = mouse_.zoom().shown();
    layoutScales(look_);
    laidOut_ = true;

    std::memset(&frameKey_, 0, sizeof frameKey_);
    frameKey_.width = width;
    frameKey_.height = height;
    frameKey_.look = look_;
    copyText(frameKey_.xUnit, sizeof frameKey_.xUnit, xUnit_);
    copyText(frameKey_.yUnit, sizeof frameKey_.yUnit, yUnit_);
    frameKey_.full = full;
    frameKey_.shown = shown_;
    frameKey_.interior = layout_.interior;

    const uint32_t events = mouseEvents.load();
    reuse_ = events != framedMouseEvents_;
    framedMouseEvents_ = events;
    deferred_ = reuse_ && kept_ && std::memcmp(&frameKey_, &keptKey_, sizeof frameKey_) == 0;
    if (!deferred_) paintFrame();
    curveIndex_ = 0;
    client_ = client;
    target_ = dc;
    return true;
}

void Plot::layoutScales(const Look& k) {
    TEXTMETRICA metrics{};
    GetTextMetricsA(memory_, &metrics);
    Scales& s = scales_;
    s.textHeight = metrics.tmHeight;

    // y numbers, bottom (0) to top.
    const int32_t rows = k.gridY;
    const double yStep = (shown_.scaleTop - shown_.scaleBottom) / rows;
    const int32_t yDecimals = labelDecimals(yStep);
    const bool yFinite = std::isfinite(shown_.scaleBottom) && std::isfinite(shown_.scaleTop);
    int32_t labelWidth = textSize(memory_, yUnit_).cx;
    for (int32_t i = 0; i <= rows; ++i) {
        s.y[i][0] = '\0';
        if (!yFinite) continue;
        formatLabel(s.y[i], sizeof s.y[i], shown_.scaleBottom + i * yStep, yDecimals);
        labelWidth = std::max(labelWidth, static_cast<int32_t>(textSize(memory_, s.y[i]).cx));
    }
    layout_ = computeLayout(width_, height_, k.marginX, k.marginY, k.frameWidth, labelWidth + kLabelGap, s.textHeight);

    // x numbers, left to right; the last with the x unit.
    const int32_t columns = k.gridX;
    s.xShown = std::isfinite(shown_.xMin) && std::isfinite(shown_.xMax);
    if (!s.xShown) return;
    const double xStep = (shown_.xMax - shown_.xMin) / columns;
    const int32_t xDecimals = labelDecimals(xStep);
    char number[32];
    formatLabel(number, sizeof number, shown_.xMax, xDecimals);
    std::snprintf(s.xLast, sizeof s.xLast, xUnit_[0] ? "%s %s" : "%s", number, xUnit_);
    for (int32_t i = 0; i < columns; ++i) formatLabel(s.x[i], sizeof s.x[i], shown_.xMin + i * xStep, xDecimals);
}

void Plot::paintFrame() {
    kept_ = false;
    const Look& k = look_;
    const Scales& s = scales_;
    fillRect(memory_, {0, 0, width_, height_}, k.background);
    const PixelRect& in = layout_.interior;
    const int32_t textHeight = s.textHeight;

    // Grid: dotted lines on the inner divisions.
    HPEN gridPen = CreatePen(PS_DOT, 1, k.grid);
    HGDIOBJ oldPen = SelectObject(memory_, gridPen);
    SetBkMode(memory_, TRANSPARENT);
    for (int32_t i = 1; i < k.gridX; ++i) {
        const int32_t x = in.left + pointColumn(i, k.gridX, in.width());
        MoveToEx(memory_, x, in.top, nullptr);
        LineTo(memory_, x, in.bottom);
    }
    const int32_t rows = k.gridY;
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
    fillRect(memory_, {in.left - f, in.top - f, in.right + f, in.top}, k.frame);
    fillRect(memory_, {in.left - f, in.bottom, in.right + f, in.bottom + f}, k.frame);
    fillRect(memory_, {in.left - f, in.top, in.left, in.bottom}, k.frame);
    fillRect(memory_, {in.right, in.top, in.right + f, in.bottom}, k.frame);

    SetTextColor(memory_, k.text);
    SetBkMode(memory_, TRANSPARENT);
    SetTextAlign(memory_, TA_LEFT | TA_TOP | TA_NOUPDATECP);

    // y numbers, right-aligned left of the frame, centred on their lines;
    // one that would overlap the one below it is left out.
    const int32_t yRight = layout_.yLabels.right - kLabelGap;
    int32_t freeAbove = height_;
    for (int32_t i = 0; i <= rows; ++i) {
        if (!s.y[i][0]) continue;
        int32_t top = divisions.row(i) - textHeight / 2;
        top = std::max(0, std::min(top, height_ - textHeight));
        if (top + textHeight > freeAbove) continue;
        drawText(memory_, yRight - textSize(memory_, s.y[i]).cx, top, s.y[i]);
        freeAbove = top;
    }
    // The y unit in the corner below the numbers.
    const int32_t rowTop = layout_.xLabels.top;
    drawText(memory_, yRight - textSize(memory_, yUnit_).cx, rowTop, yUnit_);

    // x numbers below the frame: the first starts at the left edge, the last
    // (with the x unit) ends at the right edge, the others are centred on
    // their lines; one that would overlap a neighbour is left out.
    if (!s.xShown) return;
    const int32_t lastLeft = in.right - textSize(memory_, s.xLast).cx;
    drawText(memory_, lastLeft, rowTop, s.xLast);
    int32_t freeFrom = 0;
    for (int32_t i = 0; i < k.gridX; ++i) {
        const int32_t w = textSize(memory_, s.x[i]).cx;
        const int32_t x = in.left + pointColumn(i, k.gridX, in.width());
        const int32_t left = i == 0 ? x : x - w / 2;
        if (left < freeFrom || left + w + kLabelGap > lastLeft) continue;
        drawText(memory_, left, rowTop, s.x[i]);
        freeFrom = left + w + kLabelGap;
    }
}

bool Plot::drawCurve(const float* values, int32_t count, const uint32_t* colour, const MarkerRecord* markers) {
    if (!target_ || !values || count <= 0) return false;
    CurveKey key;
    std::memset(&key, 0, sizeof key);
    key.count = count;
    key.colour = colour ? colourOf(*colour) : look_.frame;
    if (markers) {
        key.hasMarkers = 1;
        std::memcpy(key.markers, markers, sizeof key.markers);
    }
    key.fingerprint = fingerprint(values, count);
    auto sameKey = [&key](const KeptCurve& c) { return std::memcmp(&c.key, &key, sizeof key) == 0; };

    const size_t index = curveIndex_++;
    if (deferred_) {
        if (index < keptCurves_.size() && sameKey(keptCurves_[index])) return true;
        materialise(index);
    }
    if (keptCurves_.size() <= index) keptCurves_.resize(index + 1);
    KeptCurve& c = keptCurves_[index];
    // Columns kept for other data are of no use; nor is anything kept when
    // this frame does not answer a mouse event (the data may have changed
    // where the fingerprint does not look).
    if (!reuse_ || !sameKey(c)) {
        c.windows.clear();
        c.key = key;
        // A bin marker at bin 0 marks nothing found (no fundamental): it is
        // not drawn.
        for (int i = 0; i < kMarkersPerChannel; ++i) {
            const MarkerRecord& m = key.markers[i];
            const bool bin = key.hasMarkers && m.kind == kMarkerBin && m.bin > 0 && m.bin < count;
            c.markerValues[i] = bin ? values[m.bin] : NAN;
        }
    }
    // Nothing can be placed on a range with an infinite end.
    const PixelRect& in = layout_.interior;
    if (!ValueMap(shown_.dataBottom, shown_.dataTop, in).valid()) return true;

    const Columns* found = columnsFor(c);
    if (found) {
        // The most recent first.
        std::rotate(c.windows.begin(), c.windows.begin() + (found - c.windows.data()),
                    c.windows.begin() + (found - c.windows.data()) + 1);
    } else {
        // A new set replaces the least recent one, but never that of the
        // whole curve: going back to the full range is the commonest step.
        if (c.windows.size() < kKeptWindows) c.windows.emplace_back();
        auto replaced = c.windows.end() - 1;
        if (replaced != c.windows.begin() && isWholeCurve(replaced->window, count)) --replaced;
        std::rotate(c.windows.begin(), replaced, replaced + 1);
        Columns& k = c.windows.front();
        k.window = pointWindow(frameKey_.full, shown_, count);
        k.width = in.width();
        k.extents.resize(static_cast<size_t>(k.width));
        reduceToColumns(values, count, k.window, k.width, k.extents.data());
        const IndexRange visible = visiblePoints(count, k.window, k.width);
        k.beforeIndex = k.afterIndex = -1;
        if (visible.begin > 0 && values[visible.begin - 1] == values[visible.begin - 1]) {
            k.beforeIndex = visible.begin - 1;
            k.before = values[k.beforeIndex];
        }
        if (visible.end < count && values[visible.end] == values[visible.end]) {
            k.afterIndex = visible.end;
            k.after = values[k.afterIndex];
        }
    }
    paintCurve(c, c.windows.front());
    return true;
}

const Plot::Columns* Plot::columnsFor(const KeptCurve& c) const {
    const PointWindow window = pointWindow(frameKey_.full, shown_, c.key.count);
    const int32_t width = layout_.interior.width();
    for (const Columns& k : c.windows) {
        if (k.width == width && k.window.first == window.first && k.window.length == window.length) return &k;
    }
    return nullptr;
}

void Plot::materialise(size_t curves) {
    deferred_ = false;
    paintFrame();
    for (size_t i = 0; i < curves && i < keptCurves_.size(); ++i) {
        const Columns* columns = columnsFor(keptCurves_[i]);
        if (columns) paintCurve(keptCurves_[i], *columns);
    }
}

void Plot::paintCurve(const KeptCurve& curve, const Columns& c) {
    const PixelRect& in = layout_.interior;
    const ValueMap map(shown_.dataBottom, shown_.dataTop, in);
    if (!map.valid()) return;
    const COLORREF colour = curve.key.colour;

    // Each column is one vertical span from its highest to its lowest
    // value. A column joins the next one as a line between them would: the
    // rows up to half-way to the next column's first value belong to it,
    // the rest to the next column. Columns apart (an empty column between
    // them, or points that a zoom spread out) are joined by a line from the
    // last value to the next first value. The points just outside a zoomed
    // range carry the line to the interior's edges.
    nodes_.clear();
    auto addPoint = [&](int64_t index, float value) {
        const int32_t row = map.row(value);
        nodes_.push_back({in.left + windowColumn(index, c.window, c.width), row, row, row, row});
    };
    if (c.beforeIndex >= 0) addPoint(c.beforeIndex, c.before);
    for (int32_t i = 0; i < c.width; ++i) {
        const ColumnExtent& e = c.extents[static_cast<size_t>(i)];
        if (e.points == 0) continue;
        nodes_.push_back({in.left + i, map.row(e.first), map.row(e.last), map.row(e.max), map.row(e.min)});
    }
    if (c.afterIndex >= 0) addPoint(c.afterIndex, c.after);

    points_.clear();
    for (size_t i = 0; i + 1 < nodes_.size(); ++i) {
        NodeSpan& a = nodes_[i];
        NodeSpan& b = nodes_[i + 1];
        if (b.x == a.x + 1) {
            const int32_t half = a.last + (b.first - a.last) / 2;
            a.top = std::min(a.top, half);
            a.bottom = std::max(a.bottom, half);
            b.top = std::min(b.top, half);
            b.bottom = std::max(b.bottom, half);
        } else {
            points_.push_back(POINT{a.x, a.last});
            points_.push_back(POINT{b.x, b.first});
        }
    }

    const int saved = SaveDC(memory_);
    IntersectClipRect(memory_, in.left, in.top, in.right, in.bottom);
    if (!points_.empty()) {
        segmentCounts_.assign(points_.size() / 2, 2);
        HPEN pen = CreatePen(PS_SOLID, 1, colour);
        HGDIOBJ oldPen = SelectObject(memory_, pen);
        for (size_t start = 0; start < segmentCounts_.size(); start += kPolylineChunk / 2) {
            const size_t n = std::min(kPolylineChunk / 2, segmentCounts_.size() - start);
            PolyPolyline(memory_, &points_[2 * start], &segmentCounts_[start], static_cast<DWORD>(n));
        }
        SelectObject(memory_, oldPen);
        DeleteObject(pen);
    }
    // The spans straight into the pixels, clipped to the interior (the
    // lines above leave out their last pixel, which a span holds).
    GdiFlush();
    const uint32_t pixel = (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
    const auto stride = static_cast<size_t>(width_);
    for (const NodeSpan& n : nodes_) {
        if (n.x < in.left || n.x >= in.right) continue;
        const int32_t top = std::max(n.top, in.top);
        const int32_t bottom = std::min(n.bottom, in.bottom - 1);
        uint32_t* p = pixels_ + static_cast<size_t>(top) * stride + static_cast<size_t>(n.x);
        for (int32_t y = top; y <= bottom; ++y, p += stride) *p = pixel;
    }

    if (curve.key.hasMarkers) paintMarkers(curve, c, map);
    RestoreDC(memory_, saved);
}

// Called with the clip set to the interior.
void Plot::paintMarkers(const KeptCurve& curve, const Columns& c, const ValueMap& map) {
    const PixelRect& in = layout_.interior;
    for (int i = 0; i < kMarkersPerChannel; ++i) {
        const MarkerRecord& m = curve.key.markers[i];
        const COLORREF colour = colourOf(m.colour);
        if (m.kind == kMarkerLevelLine) {
            if (!std::isfinite(m.level)) continue;
            const int32_t y = map.row(m.level);
            fillRect(memory_, {in.left, y, in.right, y + 1}, colour);
        } else if (m.kind == kMarkerBin) {
            const float v = curve.markerValues[i];
            if (v != v) continue;  // no such bin, or no value there
            const int32_t column = windowColumn(m.bin, c.window, c.width);
            if (column < 0 || column >= c.width) continue;  // zoomed out of view
            const int32_t x = in.left + column;
            // Kept inside the interior, so a marker off the scale still shows.
            const int32_t lowest = in.top + kMarkerLift + kMarkerHeight;
            const int32_t y = std::max(lowest, std::min(map.row(v), in.bottom - 1));
            const POINT triangle[3] = {{x, y - kMarkerLift},
                                       {x - kMarkerHalfWidth, y - kMarkerLift - kMarkerHeight},
                                       {x + kMarkerHalfWidth, y - kMarkerLift - kMarkerHeight}};
            HPEN pen = CreatePen(PS_SOLID, 1, colour);
            HBRUSH brush = CreateSolidBrush(colour);
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
    // The kept frame stands only when this one has exactly its curves.
    if (deferred_ && curveIndex_ != keptCurves_.size()) materialise(curveIndex_);
    keptCurves_.resize(curveIndex_);
    keptKey_ = frameKey_;
    kept_ = true;
    deferred_ = false;

    BOOL copied;
    if (mouse_.overlay().cursor) {
        BitBlt(overlay_, 0, 0, width_, height_, memory_, 0, 0, SRCCOPY);
        paintOverlay();
        copied = BitBlt(target_, client_.left, client_.top, width_, height_, overlay_, 0, 0, SRCCOPY);
    } else {
        copied = BitBlt(target_, client_.left, client_.top, width_, height_, memory_, 0, 0, SRCCOPY);
    }
    target_ = nullptr;
    return copied != FALSE;
}

// The cross-hair through the pointer, the drag rectangle, and a box with
// the values under the pointer (and the rectangle's extent) beside it.
void Plot::paintOverlay() {
    const Overlay& o = mouse_.overlay();
    const PixelRect& in = layout_.interior;
    if (!o.cursor || o.x < in.left || o.x >= in.right || o.y < in.top || o.y >= in.bottom) return;
    COLORREF colour = cursorColour_;
    if (colour == look_.background) colour = look_.text;

    const int saved = SaveDC(overlay_);
    IntersectClipRect(overlay_, in.left, in.top, in.right, in.bottom);
    fillRect(overlay_, {o.x, in.top, o.x + 1, in.bottom}, colour);
    fillRect(overlay_, {in.left, o.y, in.right, o.y + 1}, colour);
    if (o.rectangle) {
        const int32_t left = std::min(o.anchorX, o.x), right = std::max(o.anchorX, o.x) + 1;
        const int32_t top = std::min(o.anchorY, o.y), bottom = std::max(o.anchorY, o.y) + 1;
        fillRect(overlay_, {left, top, right, top + 1}, colour);
        fillRect(overlay_, {left, bottom - 1, right, bottom}, colour);
        fillRect(overlay_, {left, top, left + 1, bottom}, colour);
        fillRect(overlay_, {right - 1, top, right, bottom}, colour);
    }

    // The texts as wide strings, for the delta sign.
    wchar_t lines[2][128];
    int lineCount = 0;
    auto compose = [&](const wchar_t* lead, const Readout& r) {
        char text[128];
        std::snprintf(text, sizeof text, "%s%s%s", r.x, r.x[0] && r.y[0] ? "  " : "", r.y);
        wchar_t* line = lines[lineCount++];
        const int n = std::swprintf(line, 8, L"%ls", lead);
        MultiByteToWideChar(CP_ACP, 0, text, -1, line + n, 128 - n);
    };
    compose(L"", readOut(in, shown_, o.x, o.y, xUnit_, yUnit_));
    if (o.rectangle) compose(L"\u0394 ", readOutExtent(in, shown_, o.anchorX, o.anchorY, o.x, o.y, xUnit_, yUnit_));
    int32_t textWidth = 0;
    for (int i = 0; i < lineCount; ++i) {
        SIZE size{0, 0};
        GetTextExtentPoint32W(overlay_, lines[i], static_cast<int>(wcslen(lines[i])), &size);
        textWidth = std::max(textWidth, static_cast<int32_t>(size.cx));
    }
    const int32_t lineHeight = scales_.textHeight;
    const int32_t boxWidth = textWidth + 2 * kReadoutPadding;
    const int32_t boxHeight = lineCount * lineHeight + 2 * kReadoutPadding;
    int32_t x = o.x + kReadoutOffset;
    if (x + boxWidth > in.right) x = o.x - kReadoutOffset - boxWidth;
    x = std::max(x, in.left);
    int32_t y = o.y + kReadoutOffset;
    if (y + boxHeight > in.bottom) y = o.y - kReadoutOffset - boxHeight;
    y = std::max(y, in.top);
    fillRect(overlay_, {x, y, x + boxWidth, y + boxHeight}, look_.background);
    fillRect(overlay_, {x, y, x + boxWidth, y + 1}, colour);
    fillRect(overlay_, {x, y + boxHeight - 1, x + boxWidth, y + boxHeight}, colour);
    fillRect(overlay_, {x, y, x + 1, y + boxHeight}, colour);
    fillRect(overlay_, {x + boxWidth - 1, y, x + boxWidth, y + boxHeight}, colour);
    SetTextColor(overlay_, look_.text);
    SetBkMode(overlay_, TRANSPARENT);
    SetTextAlign(overlay_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    for (int i = 0; i < lineCount; ++i)
        TextOutW(overlay_, x + kReadoutPadding, y + kReadoutPadding + i * lineHeight, lines[i],
                 static_cast<int>(wcslen(lines[i])));
    RestoreDC(overlay_, saved);
}

void Plot::noteMouseEvent() { mouseEvents.fetch_add(1); }

bool Plot::onMouseMove(int32_t keys, int32_t point) {
    const PixelRect in = laidOut_ ? layout_.interior : PixelRect{0, 0, 0, 0};
    bool changed;
    if (point < 0) {
        changed = mouse_.leave(in, keys);
    } else {
        const PlotPoint p = unpackPlotPoint(point);
        changed = mouse_.move(in, keys, p.x, p.y);
    }
    if (changed) noteMouseEvent();
    return changed;
}

bool Plot::onMouseButton(int32_t button, int32_t point, int32_t kind) {
    const PixelRect none{0, 0, 0, 0};
    const PlotPoint p = unpackPlotPoint(point);
    const bool changed = point < 0 ? false : mouse_.button(laidOut_ ? layout_.interior : none, button, p.x, p.y, kind);
    // The program redraws after every press in the plot.
    noteMouseEvent();
    return changed;
}

}  // namespace pellume
