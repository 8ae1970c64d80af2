#include "display/plot_painter.h"

#include <algorithm>

#include "display/plot_view.h"
#include "platform/page_memory.h"

namespace {

// Property 14 of the main plot: which kind of view it shows.
constexpr int32_t kPlotKindSpectrum = 10;
constexpr int32_t kPlotKindScope = 0;

// The components' cursor: kind 3 in light green.
constexpr uint32_t kCursorStyle[5] = {3, 0x0080FF80, 0, 0, 0};

}  // namespace

PlotPainter::PlotPainter(ChannelWorkers& workers) : workers_(workers) {}

PlotPainter::~PlotPainter() { releaseScratch(); }

void PlotPainter::attach(IPellumE* mainPlot, IPellumE* topPlot) {
    main_ = mainPlot;
    top_ = topPlot;
}

void PlotPainter::passStyle(void* window) {
    style_.window = window;
    style_.fontNamePtr = style_.fontName;
    for (IPellumE* plot : {main_, top_}) {
        if (!plot) continue;
        plot->SetStyle(&style_);
        plot->SetProperty(kPlotPropertyCursor, kCursorStyle);
    }
}

void PlotPainter::showViewKind(ViewMode view) {
    if (!main_) return;
    const int32_t kind = view != ViewMode::Scope ? kPlotKindSpectrum : kPlotKindScope;
    main_->SetProperty(kPlotPropertyViewKind, &kind);
}

void PlotPainter::releaseScratch() {
    releasePages(scratch_, static_cast<size_t>(scratchLength_) * sizeof(float));
    scratch_ = nullptr;
    scratchLength_ = 0;
}

bool PlotPainter::allocateScratch(int32_t length) {
    if (scratchLength_ == length && scratch_) return true;
    releaseScratch();
    scratch_ = static_cast<float*>(allocatePages(static_cast<size_t>(length) * sizeof(float)));
    if (!scratch_) return false;
    scratchLength_ = length;
    return true;
}

void PlotPainter::followColours(const uint32_t* colours) {
    std::copy_n(colours, kChannelRecordCount, style_.channelColour);
}

void PlotPainter::drawTop(PlotSurfaces& surfaces, const PlotChannels& in, double oscScale) {
    if (!top_) return;
    followColours(in.colours);
    PlotRect client{};
    void* dc = surfaces.beginPlotPaint(PlotId::Top, &client);
    if (!dc) return;
    const PlotFrame frame = topPlotFrame(in.windowLength, in.channelRate, oscScale);
    top_->SetProperty(kPlotPropertyXUnit, frame.xUnit);
    top_->BeginDraw(dc, &client, &frame.range, frame.points, 0, 0);
    if (scratch_) {
        for (int32_t i = 0; i < in.active && i < kChannelRecordCount; ++i) {
            if (convertCurve(in.channels[i], ViewMode::Scope, 0.0) == 0) continue;
            top_->DrawCurve(scratch_, frame.points, 1, 0, &style_.channelColour[i], 0, nullptr, 0);
        }
    }
    top_->EndDraw();
    surfaces.endPlotPaint(PlotId::Top, dc);
}

void PlotPainter::drawMain(PlotSurfaces& surfaces, const PlotChannels& in, const PlotScales& scales) {
    if (!main_) return;
    followColours(in.colours);
    PlotRect client{};
    void* dc = surfaces.beginPlotPaint(PlotId::Main, &client);
    if (!dc) return;
    const ViewMode view = scales.view;
    const bool spectrumView = in.windowLength != 0 && isSpectrumView(view);
    const int32_t active = std::min(in.active, kChannelRecordCount);
    double peakPower = in.channels[0].powerPeak;
    for (int32_t i = 1; i < active; ++i) peakPower = std::max(peakPower, in.channels[i].powerPeak);
    const MainPlotInput input{
        view,        scales.autoScale, in.windowLength, in.channelRate,  scales.fftScaleV, scales.fftScaleDb,
        scales.enbw, peakPower,        scales.scopeMin, scales.scopeMax, scales.oscScale};
    const PlotFrame frame = mainPlotFrame(input);
    main_->SetProperty(kPlotPropertyXUnit, frame.xUnit);
    main_->SetProperty(kPlotPropertyYUnit, frame.yUnit);
    main_->BeginDraw(dc, &client, &frame.range, frame.points, 0, 0);
    if (scratch_) {
        for (int32_t i = 0; i < active; ++i) {
            if (!in.shown[i]) continue;
            const ChannelRecord& channel = in.channels[i];
            if (convertCurve(channel, view, scales.fftScaleV) == 0) continue;
            main_->DrawCurve(scratch_, frame.points, 1, 0, &style_.channelColour[i], 0,
                             spectrumView ? channel.markers : nullptr, 0);
        }
    }
    main_->EndDraw();
    surfaces.endPlotPaint(PlotId::Main, dc);
}

void PlotPainter::pressMain(const PlotRect& client, int32_t button, int32_t point, int32_t kind) {
    if (main_) main_->OnMouseButton(&client, button, point, kind);
}

bool PlotPainter::moveMain(const PlotRect& client, int32_t keys, int32_t point) {
    return main_ && main_->OnMouseMove(&client, keys, point) != 0;
}

// Long curves are converted by every lane, each a part of the points.
int32_t PlotPainter::convertCurve(const ChannelRecord& channel, ViewMode view, double fftScaleV) {
    constexpr int32_t kPointsWorthSharing = 1 << 16;
    const int32_t count = plotPointCount(channel, view);
    if (count > scratchLength_) return 0;
    const int lanes = workers_.lanes();
    if (count < kPointsWorthSharing || lanes == 1) {
        convertForPlot(channel, view, fftScaleV, scratch_, 0, count);
        return count;
    }
    workers_.run([&](int lane) {
        const int32_t first = static_cast<int32_t>(int64_t(count) * lane / lanes);
        const int32_t last = static_cast<int32_t>(int64_t(count) * (lane + 1) / lanes);
        convertForPlot(channel, view, fftScaleV, scratch_, first, last);
    });
    return count;
}
