#include "components/pellume/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pellume {

Layout computeLayout(int32_t width, int32_t height, int32_t marginX, int32_t marginY,
                     int32_t frameWidth, int32_t labelWidth, int32_t textHeight) {
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
    layout.xLabels = {marginX, in.bottom + frameWidth, width - marginX,
                      in.bottom + frameWidth + textHeight};
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

void reduceToColumns(const float* values, int32_t count, int32_t width, ColumnExtent* columns) {
    if (width <= 0) return;
    const int64_t n = count > 0 && values ? count : 0;
    for (int32_t c = 0; c < width; ++c) {
        // Points i with floor(i * width / n) == c.
        const int64_t begin = (int64_t(c) * n + width - 1) / width;
        const int64_t end = (int64_t(c + 1) * n + width - 1) / width;
        ColumnExtent e{0.0f, 0.0f, 0.0f, 0.0f, 0};
        for (int64_t i = begin; i < end; ++i) {
            const float v = values[i];
            if (v != v) continue;
            if (e.points == 0) {
                e.first = e.min = e.max = v;
            } else {
                e.min = std::min(e.min, v);
                e.max = std::max(e.max, v);
            }
            e.last = v;
            ++e.points;
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
