#pragma once
// What the two plots are told: the range, unit texts and number of points of
// each view, and the values of one channel's curve. Every value is computed
// in double precision and handed over as float32.
#include <cstdint>

#include "analysis/signal_metrics.h"
#include "analysis/view_mode.h"
#include "display/plot_interface.h"

// Range, units and points per curve of one plot. The unit texts are static
// and keep their trailing blanks; a null y unit is not handed over.
struct PlotFrame {
    PlotRange range;
    const char* xUnit;
    const char* yUnit;
    int32_t points;
};

// What the main plot's frame depends on.
struct MainPlotInput {
    ViewMode view;
    bool autoScale;             // read in the scope and volt spectrum views only
    int32_t windowLength;       // N
    double channelRate;         // Hz
    double fftScaleV;           // V: the volt scale of the spectrum views
    double fftScaleDb;          // dB shown below the top of the dB views
    double enbw;                // bins, of the current window
    double peakPower;           // V^2: the largest powerPeak of the active channels
    double scopeMin, scopeMax;  // V: the scope extremes
    double oscScale;            // V: half span of the scope without auto scale
};

// The top plot: every active channel's time signal, +-oscScale volts.
PlotFrame topPlotFrame(int32_t windowLength, double channelRate, double oscScale);

// The main plot in the selected view.
PlotFrame mainPlotFrame(const MainPlotInput& input);

// Number of values of the channel's curve in `view`: N/2 bins in the
// spectrum views, otherwise N samples; 0 for a channel without buffers.
int32_t plotPointCount(const ChannelRecord& channel, ViewMode view);

// Fills out[first..last-1] (cut to plotPointCount) with the channel's values
// for `view`: in the spectrum views its bins (V RMS, or dB relative to
// fftScaleV^2, a bin of 0 giving minus infinity), otherwise its samples.
void convertForPlot(const ChannelRecord& channel, ViewMode view, double fftScaleV, float* out, int32_t first,
                    int32_t last);

// The whole curve: fills out[] (sampleCount floats) and returns the count
// written, as plotPointCount.
int32_t convertForPlot(const ChannelRecord& channel, ViewMode view, double fftScaleV, float* out);
