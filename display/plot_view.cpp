#include "display/plot_view.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr double kSqrtHalf = 0.7071067811865476;

constexpr char kSeconds[] = "Sec";
constexpr char kHertz[] = "Hz";
constexpr char kVolts[] = "V  ";
constexpr char kVoltsRms[] = "Rms  ";
constexpr char kDecibels[] = "dB  ";

constexpr double kLn2 = 0.6931471805599453;
constexpr double kLog10E = 0.4342944819032518;
constexpr double kSmallestNormal = 2.2250738585072014e-308;
constexpr double kLargestDouble = 1.7976931348623157e308;

// 10 log10(x) of a positive normal double, to within about 1e-11 dB, far
// finer than the float32 it ends in; libm's log10 costs several times as
// much, and a dB view converts up to 2M bins per channel and tick. x = 2^e m
// with m in [sqrt 1/2, sqrt 2); ln m = 2 atanh t, t = (m - 1) / (m + 1),
// |t| < 0.172, by its series to t^13. Branch-free, so that the loop over the
// bins vectorises; other values are mended afterwards.
inline double decibelsOfNormal(double x) {
    // The bits of sqrt(1/2): subtracting them splits x into 2^e and an m in
    // [sqrt 1/2, sqrt 2) without a branch.
    constexpr uint64_t kOffset = 0x3FE6A09E667F3BCDull;
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const uint64_t shifted = bits - kOffset;
    // The top 12 bits of `shifted` as a signed number: the exponent e.
    const int32_t top = static_cast<int32_t>(shifted >> 52);
    const double e = static_cast<double>(top - ((top >> 11) << 12));
    const uint64_t mantissa = bits - (shifted & 0xFFF0000000000000ull);
    double m;
    std::memcpy(&m, &mantissa, sizeof m);
    const double t = (m - 1.0) / (m + 1.0);
    const double t2 = t * t;
    const double series =
        1.0 + t2 * (1.0 / 3 + t2 * (1.0 / 5 + t2 * (1.0 / 7 + t2 * (1.0 / 9 + t2 * (1.0 / 11 + t2 * (1.0 / 13))))));
    return (e * kLn2 + 2.0 * t * series) * (10.0 * kLog10E);
}

PlotRange rangeOf(double xMin, double xMax, double scaleBottom, double scaleTop, double dataBottom, double dataTop) {
    return {static_cast<float>(xMin),     static_cast<float>(xMax),       static_cast<float>(scaleBottom),
            static_cast<float>(scaleTop), static_cast<float>(dataBottom), static_cast<float>(dataTop)};
}

}  // namespace

PlotFrame topPlotFrame(int32_t windowLength, double channelRate, double oscScale) {
    return {rangeOf(0.0, windowLength / channelRate, -oscScale, oscScale, -oscScale, oscScale), kSeconds, nullptr,
            windowLength};
}

PlotFrame mainPlotFrame(const MainPlotInput& in) {
    const double n = in.windowLength;
    const double halfRate = in.channelRate * 0.5;
    const double v = in.fftScaleV;
    const double d = in.fftScaleDb;
    const int32_t bins = in.windowLength / 2;
    switch (in.view) {
    case ViewMode::SpectrumVolts: {
        if (in.autoScale) {
            const double m = 1.1 * in.peakPower;
            return {rangeOf(0.0, halfRate, 0.0, std::sqrt(in.enbw * m), 0.0, std::sqrt(m)), kHertz, kVoltsRms, bins};
        }
        return {rangeOf(0.0, halfRate, 0.0, v * kSqrtHalf, 0.0, v / std::sqrt(2.0 * in.enbw)), kHertz, kVoltsRms, bins};
    }
    case ViewMode::SpectrumDb0: {
        const double top = 10.0 * std::log10(in.peakPower / (v * v));
        return {rangeOf(0.0, halfRate, -d, 0.0, top - d, top), kHertz, kDecibels, bins};
    }
    case ViewMode::SpectrumDb: {
        const double top = 10.0 * std::log10(v);
        return {rangeOf(0.0, halfRate, -d, 0.0, top - d, top), kHertz, kDecibels, bins};
    }
    case ViewMode::Scope:
    default:
        break;
    }
    const double seconds = n / in.channelRate;
    if (in.autoScale) {
        const double margin = 0.1 * (in.scopeMax - in.scopeMin);
        const double bottom = in.scopeMin - margin;
        const double top = in.scopeMax + margin;
        return {rangeOf(0.0, seconds, bottom, top, bottom, top), kSeconds, kVolts, in.windowLength};
    }
    return {rangeOf(0.0, seconds, -in.oscScale, in.oscScale, -in.oscScale, in.oscScale), kSeconds, kVolts,
            in.windowLength};
}

int32_t plotPointCount(const ChannelRecord& channel, ViewMode view) {
    if (!channel.hasBuffers()) return 0;
    return isSpectrumView(view) ? channel.sampleCount / 2 : channel.sampleCount;
}

void convertForPlot(const ChannelRecord& channel, ViewMode view, double fftScaleV, float* out, int32_t first,
                    int32_t last) {
    if (!out) return;
    if (first < 0) first = 0;
    last = std::min(last, plotPointCount(channel, view));
    const double* power = channel.powerSpectrum;
    switch (view) {
    case ViewMode::SpectrumVolts:
        for (int32_t k = first; k < last; ++k) out[k] = static_cast<float>(std::sqrt(power[k]));
        return;
    case ViewMode::SpectrumDb0:
    case ViewMode::SpectrumDb: {
        const double reference = fftScaleV * fftScaleV;
        for (int32_t k = first; k < last; ++k) out[k] = static_cast<float>(decibelsOfNormal(power[k] / reference));
        // Bins whose ratio may not be a positive normal number (zero gives
        // minus infinity) are done again the plain way. The bounds leave a
        // factor of 4 of room, so no such ratio slips through.
        const double low = std::max(4.0 * kSmallestNormal * reference, kSmallestNormal);
        const double high = reference < 1.0 ? 0.25 * kLargestDouble * reference : 0.25 * kLargestDouble;
        for (int32_t k = first; k < last; ++k) {
            const double p = power[k];
            if (!(p >= low && p <= high)) out[k] = static_cast<float>(10.0 * std::log10(p / reference));
        }
        return;
    }
    case ViewMode::Scope:
    default:
        break;
    }
    const double* samples = channel.samples;
    for (int32_t j = first; j < last; ++j) out[j] = static_cast<float>(samples[j]);
}

int32_t convertForPlot(const ChannelRecord& channel, ViewMode view, double fftScaleV, float* out) {
    if (!out) return 0;
    const int32_t count = plotPointCount(channel, view);
    convertForPlot(channel, view, fftScaleV, out, 0, count);
    return count;
}
