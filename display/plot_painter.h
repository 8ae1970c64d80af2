#pragma once
// What the two plot components are given and in which order: their style and
// cursor, the kind of view of the main plot, each frame's range and units,
// one curve per shown channel with its colour and markers, and the mouse.
// The painter owns the plot style and the scratch that one curve's values are
// converted into; the plot surfaces (device contexts) come from the window.
#include <cstdint>

#include "analysis/channel_workers.h"
#include "analysis/signal_metrics.h"
#include "analysis/view_mode.h"
#include "display/plot_interface.h"

enum class PlotId { Main, Top };

// Where the plots are drawn: a plot's device context (HDC on Windows) and
// client rectangle, null when it cannot be drawn. Every context taken is
// given back with endPlotPaint.
class PlotSurfaces {
public:
    virtual void* beginPlotPaint(PlotId plot, PlotRect* client) = 0;
    virtual void endPlotPaint(PlotId plot, void* dc) = 0;

protected:
    ~PlotSurfaces() = default;
};

// The channels as the plots show them.
struct PlotChannels {
    const ChannelRecord* channels;
    int32_t active;           // channels of the run, at most kChannelRecordCount
    const int32_t* shown;     // per channel: drawn in the main plot
    const uint32_t* colours;  // per channel
    int32_t windowLength;     // N
    double channelRate;       // Hz
};

// The scales of the main plot's views.
struct PlotScales {
    ViewMode view;
    bool autoScale;
    double fftScaleV;
    double fftScaleDb;
    double oscScale;
    double enbw;                // bins, of the current window
    double scopeMin, scopeMax;  // V
};

class PlotPainter {
public:
    // Long curves are converted by every lane of `workers`.
    explicit PlotPainter(ChannelWorkers& workers);
    ~PlotPainter();
    PlotPainter(const PlotPainter&) = delete;
    PlotPainter& operator=(const PlotPainter&) = delete;

    // The components, null when absent; the painter does not release them.
    void attach(IPellumE* mainPlot, IPellumE* topPlot);
    IPellumE* mainPlot() const { return main_; }
    IPellumE* topPlot() const { return top_; }

    // The style handed to both components; it stays in place for the whole
    // run. Its channel colours follow the channels' at every draw.
    void setStyle(const PlotStyle& style) { style_ = style; }
    const PlotStyle& style() const { return style_; }
    // Gives both components the style, drawn on `window`, and the cursor.
    void passStyle(void* window);
    // Tells the main plot which kind of view it shows.
    void showViewKind(ViewMode view);

    // One curve's values for the components, sized for N values; false when
    // they cannot be had (the scratch is then empty and no curve is drawn).
    bool allocateScratch(int32_t length);
    const float* scratch() const { return scratch_; }
    int32_t scratchLength() const { return scratchLength_; }

    // The top plot: every active channel's time signal, +-oscScale volts.
    void drawTop(PlotSurfaces& surfaces, const PlotChannels& channels, double oscScale);
    // The main plot in the view of `scales`; markers in the spectrum views.
    void drawMain(PlotSurfaces& surfaces, const PlotChannels& channels, const PlotScales& scales);

    // The mouse in the main plot: a button (press or double-click), a move.
    // A move returns whether the component wants the plots drawn again.
    void pressMain(const PlotRect& client, int32_t button, int32_t point, int32_t kind);
    bool moveMain(const PlotRect& client, int32_t keys, int32_t point);

private:
    void releaseScratch();
    void followColours(const uint32_t* colours);
    // The channel's curve for `view` into the scratch; returns its number of
    // points, 0 when there is nothing to draw.
    int32_t convertCurve(const ChannelRecord& channel, ViewMode view, double fftScaleV);

    ChannelWorkers& workers_;
    IPellumE* main_ = nullptr;
    IPellumE* top_ = nullptr;
    PlotStyle style_{};
    float* scratch_ = nullptr;  // scratchLength_ floats, one curve at a time
    int32_t scratchLength_ = 0;
};
