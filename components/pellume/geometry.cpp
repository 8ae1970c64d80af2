#include "components/pellume/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pellume {

Layout computeLayout(int32_t width, int32_t height, int32_t marginX, int32_t marginY, int32_t frameWidth,
                     int32_t labelWidth, int32_t textHeight) {
    marginX = std::max(marginX, 0);
    marginY = std::max(marginY, 0);
    frameWidth = std::max(frameWidth, 0);
    labelWidth = std::max(labelWidth, 0);
    textHeight = std::max(textHeight, 0);

    Layout layout;
    layout.frameWidth = frameWidth;
    PixelRect& in = layout.interior;
    in.left = marginX + labelWidth + frameWidth;
    in.top = marginY + frameWidth;
    in.right = width - marginX - frameWidth;
    in.bottom = height - marginY - textHeight - frameWidth;
    // A client too small for all of this still gets a one-pixel interior.
    if (in.right <= in.left) in.right = in.left + 1;
    if (in.bottom <= in.top) in.bottom = in.top + 1;

    layout.yLabels = {marginX, 0, in.left - frameWidth, height};
    layout.xLabels = {marginX, in.bottom + frameWidth, width - marginX, in.bottom + frameWidth + textHeight};
    return layout;
}

ValueMap::ValueMap(double dataBottom, double dataTop, const PixelRect& interior)
    : bottom_(dataBottom),
      top_(dataTop),
      firstRow_(interior.top),
      lastRow_(interior.bottom - 1),
      valid_(std::isfinite(dataBottom) && std::isfinite(dataTop)) {}

int32_t ValueMap::row(double value) const {
    const double lowest = static_cast<double>(firstRow_) - kFarRows;
    const double highest = static_cast<double>(lastRow_) + kFarRows;
    const double span = top_ - bottom_;
    double r;
    if (span == 0.0) {
        r = value > top_ ? lowest : value < top_ ? highest : 0.5 * (firstRow_ + lastRow_);
    } else {
        r = lastRow_ - (value - bottom_) / span * (lastRow_ - firstRow_);
    }
    if (!(r >= lowest)) r = r != r ? highest : lowest;  // also -inf
    if (r > highest) r = highest;
    return static_cast<int32_t>(std::floor(r + 0.5));
}

namespace {

// Extremes of v[0 .. n-1], n >= 1, v[0] a number; NaN values are skipped.
// Returns whether any value is NaN. The running extremes are updated as
// `x < low ? x : low`, which is false for a NaN x and is exactly what the
// processor's min and max instructions do with x first, so the vector and
// the scalar parts agree and need no branch. The lanes see the values out
// of order: of -0 and +0 in one column, either may come out as the extreme.
bool extremesSkippingNaN(const float* v, int64_t n, float& low, float& high) {
    int64_t i = 0;
    float lo = v[0], hi = v[0];
    bool nan = false;
#if defined(__SSE2__)
    if (n >= 24) {
        // Up to the first 16-byte boundary one by one, so that no load
        // straddles two cache lines.
        for (; (reinterpret_cast<uintptr_t>(v + i) & 15) != 0; ++i) {
            const float x = v[i];
            lo = x < lo ? x : lo;
            hi = x > hi ? x : hi;
            nan |= x != x;
        }
        // Two sets of four running extremes, so that neither waits for the
        // last instruction's result; sixteen values a turn.
        __m128 lo0 = _mm_set1_ps(lo), lo1 = lo0, hi0 = lo0, hi1 = lo0;
        __m128 unordered = _mm_setzero_ps();
        for (; i + 16 <= n; i += 16) {
            const __m128 a = _mm_load_ps(v + i);
            const __m128 b = _mm_load_ps(v + i + 4);
            const __m128 c = _mm_load_ps(v + i + 8);
            const __m128 d = _mm_load_ps(v + i + 12);
            lo0 = _mm_min_ps(a, lo0);
            lo1 = _mm_min_ps(b, lo1);
            hi0 = _mm_max_ps(a, hi0);
            hi1 = _mm_max_ps(b, hi1);
            lo0 = _mm_min_ps(c, lo0);
            lo1 = _mm_min_ps(d, lo1);
            hi0 = _mm_max_ps(c, hi0);
            hi1 = _mm_max_ps(d, hi1);
            unordered = _mm_or_ps(unordered, _mm_or_ps(_mm_cmpunord_ps(a, b), _mm_cmpunord_ps(c, d)));
        }
        nan |= _mm_movemask_ps(unordered) != 0;
        alignas(16) float l[4], h[4];
        _mm_store_ps(l, _mm_min_ps(lo0, lo1));
        _mm_store_ps(h, _mm_max_ps(hi0, hi1));
        for (int j = 0; j < 4; ++j) {
            lo = l[j] < lo ? l[j] : lo;
            hi = h[j] > hi ? h[j] : hi;
        }
    }
#else
    if (n >= 8) {
        float l[8], h[8];
        for (int j = 0; j < 8; ++j) l[j] = h[j] = lo;
        for (; i + 8 <= n; i += 8) {
            for (int j = 0; j < 8; ++j) {
                const float x = v[i + j];
                l[j] = x < l[j] ? x : l[j];
                h[j] = x > h[j] ? x : h[j];
                nan |= x != x;
            }
        }
        for (int j = 0; j < 8; ++j) {
            lo = l[j] < lo ? l[j] : lo;
            hi = h[j] > hi ? h[j] : hi;
        }
    }
#endif
    for (; i < n; ++i) {
        const float x = v[i];
        lo = x < lo ? x : lo;
        hi = x > hi ? x : hi;
        nan |= x != x;
    }
    low = lo;
    high = hi;
    return nan;
}

int64_t countNaN(const float* v, int64_t n) {
    int64_t i = 0, count = 0;
#if defined(__SSE2__)
    // Each lane counts down by one (adds an all-ones mask) per NaN; a
    // column holds fewer than 2^31 values, so no lane overflows.
    __m128i lanes = _mm_setzero_si128();
    for (; i + 4 <= n; i += 4) {
        const __m128 x = _mm_loadu_ps(v + i);
        lanes = _mm_add_epi32(lanes, _mm_castps_si128(_mm_cmpunord_ps(x, x)));
    }
    alignas(16) int32_t l[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(l), lanes);
    count = -(int64_t(l[0]) + l[1] + l[2] + l[3]);
#endif
    for (; i < n; ++i) count += v[i] != v[i];
    return count;
}

}  // namespace

namespace {

bool usable(const PointWindow& window) {
    return std::isfinite(window.first) && std::isfinite(window.length) && window.length > 0.0;
}

// (i - first) * width / length, unclamped; its floor is the column.
double columnPosition(int64_t i, const PointWindow& window, int32_t width) {
    return (static_cast<double>(i) - window.first) * width / window.length;
}

// The first point of column c: the smallest i in [0, count] whose column is
// c or more. The estimate from the window is corrected against the column
// formula itself, so that the columns of the reduction and those of
// windowColumn never disagree by a rounding.
int64_t firstPointOfColumn(int32_t c, int64_t count, const PointWindow& window, int32_t width) {
    double estimate = std::ceil(window.first + static_cast<double>(c) * window.length / width);
    estimate = std::clamp(estimate, 0.0, static_cast<double>(count));
    auto i = static_cast<int64_t>(estimate);
    while (i > 0 && std::floor(columnPosition(i - 1, window, width)) >= c) --i;
    while (i < count && std::floor(columnPosition(i, window, width)) < c) ++i;
    return i;
}

}  // namespace

int32_t windowColumn(int64_t i, const PointWindow& window, int32_t width) {
    if (!usable(window) || width <= 0) return -kFarColumns;
    const double column = std::floor(columnPosition(i, window, width));
    const double lowest = -static_cast<double>(kFarColumns);
    const double highest = static_cast<double>(width) - 1 + kFarColumns;
    return static_cast<int32_t>(std::clamp(column, lowest, highest));
}

IndexRange visiblePoints(int32_t count, const PointWindow& window, int32_t width) {
    if (count <= 0 || width <= 0 || !usable(window)) return {0, 0};
    return {firstPointOfColumn(0, count, window, width), firstPointOfColumn(width, count, window, width)};
}

void reduceToColumns(const float* values, int32_t count, int32_t width, ColumnExtent* columns) {
    reduceToColumns(values, count, PointWindow{0.0, static_cast<double>(count)}, width, columns);
}

void reduceToColumns(const float* values, int32_t count, const PointWindow& window, int32_t width,
                     ColumnExtent* columns) {
    if (width <= 0) return;
    const int64_t n = count > 0 && values ? count : 0;
    const bool shown = n > 0 && usable(window);
    int64_t end = shown ? firstPointOfColumn(0, n, window, width) : 0;
    for (int32_t c = 0; c < width; ++c) {
        // The points whose column is c.
        const int64_t begin = end;
        end = shown ? firstPointOfColumn(c + 1, n, window, width) : 0;
        ColumnExtent e{0.0f, 0.0f, 0.0f, 0.0f, 0};
        int64_t first = begin;
        while (first < end && values[first] != values[first]) ++first;
        if (first < end) {
            // Most columns hold no NaN: one pass, and the last value is the
            // column's end. A column with NaN takes two more looks: back
            // from its end for the last number, and over it for the count.
            int64_t last = end - 1;
            int64_t points = end - first;
            if (extremesSkippingNaN(values + first, end - first, e.min, e.max)) {
                while (values[last] != values[last]) --last;
                points = last + 1 - first - countNaN(values + first, last + 1 - first);
            }
            e.first = values[first];
            e.last = values[last];
            e.points = static_cast<int32_t>(points);
        }
        columns[c] = e;
    }
}

int32_t labelDecimals(double step) {
    step = std::fabs(step);
    if (!(step > 0.0) || !std::isfinite(step)) return 0;
    // Two significant digits at most; fewer when the step is round.
    const int32_t most = std::clamp(1 - static_cast<int32_t>(std::floor(std::log10(step))), 0, 9);
    double scaled = step;
    for (int32_t decimals = 0; decimals < most; ++decimals, scaled *= 10.0) {
        if (std::fabs(scaled - std::round(scaled)) <= 1e-6 * scaled) return decimals;
    }
    return most;
}

void formatLabel(char* out, size_t size, double value, int32_t decimals) {
    if (size == 0) return;
    decimals = std::clamp(decimals, 0, 9);
    if (!std::isfinite(value) || std::fabs(value) >= 1e9) {
        std::snprintf(out, size, "%.3g", value);
        return;
    }
    // Round first, so that a value that rounds to zero loses its sign.
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale) / scale;
    if (rounded == 0.0) rounded = 0.0;
    std::snprintf(out, size, "%.*f", static_cast<int>(decimals), rounded);
}

}  // namespace pellume
