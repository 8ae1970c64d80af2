#include "display/plot_view.h"

#include <cmath>

namespace {

constexpr double kSqrtHalf = 0.7071067811865476;

constexpr char kSeconds[] = "Sec";
constexpr char kHertz[] = "Hz";
constexpr char kVolts[] = "V  ";
constexpr char kVoltsRms[] = "Rms  ";
constexpr char kDecibels[] = "dB  ";

PlotRange rangeOf(double xMin, double xMax, double scaleBottom, double scaleTop, double dataBottom,
                  double dataTop) {
    return {static_cast<float>(xMin),        static_cast<float>(xMax),
            static_cast<float>(scaleBottom), static_cast<float>(scaleTop),
            static_cast<float>(dataBottom),  static_cast<float>(dataTop)};
}

}  // namespace

PlotFrame topPlotFrame(int32_t windowLength, double channelRate, double oscScale) {
    return {rangeOf(0.0, windowLength / channelRate, -oscScale, oscScale, -oscScale, oscScale),
            kSeconds, nullptr, windowLength};
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
            return {rangeOf(0.0, halfRate, 0.0, std::sqrt(in.enbw * m), 0.0, std::sqrt(m)), kHertz,
                    kVoltsRms, bins};
        }
        return {rangeOf(0.0, halfRate, 0.0, v * kSqrtHalf, 0.0, v / std::sqrt(2.0 * in.enbw)), kHertz,
                kVoltsRms, bins};
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
    return {rangeOf(0.0, seconds, -in.oscScale, in.oscScale, -in.oscScale, in.oscScale),
            kSeconds, kVolts, in.windowLength};
}

int32_t convertForPlot(const ChannelRecord& channel, ViewMode view, double fftScaleV, float* out) {
    if (!out || !channel.hasBuffers()) return 0;
    const int32_t bins = channel.sampleCount / 2;
    const double* power = channel.powerSpectrum;
    switch (view) {
    case ViewMode::SpectrumVolts:
        for (int32_t k = 0; k < bins; ++k) out[k] = static_cast<float>(std::sqrt(power[k]));
        return bins;
    case ViewMode::SpectrumDb0:
    case ViewMode::SpectrumDb: {
        const double reference = fftScaleV * fftScaleV;
        for (int32_t k = 0; k < bins; ++k) {
            out[k] = static_cast<float>(10.0 * std::log10(power[k] / reference));
        }
        return bins;
    }
    case ViewMode::Scope:
    default:
        break;
    }
    const double* samples = channel.samples;
    for (int32_t j = 0; j < channel.sampleCount; ++j) out[j] = static_cast<float>(samples[j]);
    return channel.sampleCount;
}
