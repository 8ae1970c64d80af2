#pragma once
// The plot file: an SVG document with one panel per analysed recording, as
// the bench's main plot shows it after the last window. In the spectrum
// views the averaged spectrum (dB to full scale, dB to the strongest bin, or
// V RMS) with the fundamental and harmonic markers; in the scope view the
// last window's time signal. One path per shown channel in the bench's
// channel colours, each reduced to the smallest and largest value of every
// pixel column (as the plot component draws it), so that a spectrum of
// millions of bins stays a small file.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/quorvel-analyse/file_analysis.h"

struct PlotPoint2 {
    double x, y;  // data units
};

struct PlotCurve {
    uint32_t colour;    // 0x00BBGGRR
    std::string label;  // UTF-8
    std::vector<PlotPoint2> points;
};

struct PlotMarker {
    double x;           // data units
    uint32_t colour;    // 0x00BBGGRR
    std::string label;  // "F" for the fundamental, "2".."10" for harmonics
};

struct PlotPanel {
    std::string title;   // UTF-8
    std::string xTitle;  // quantity without unit: "Frequency", "Time"
    std::string xUnit;   // base unit: "Hz", "s" (ticks may use kHz, ms, ...)
    std::string yTitle;  // with unit: "dB to full scale", "V RMS", "V"
    double xMin, xMax, yMin, yMax;
    std::vector<PlotCurve> curves;
    std::vector<PlotMarker> markers;
};

// Plot area width in pixels: curves are reduced to this many columns.
inline constexpr int kPlotColumns = 900;

// The panel of one analysed file, its shown channels (0-based) in order.
// fullScale: volts, the reference of the dB to full scale view.
PlotPanel makePlotPanel(const FileAnalysis& analysis, const std::vector<int32_t>& shown, const std::string& title,
                        double fullScale);

// values[0..count-1] at x = x0 + i dx reduced to at most 2 points per pixel
// column of `columns`: each column's smallest and largest value, in the
// order they come; all points when there are at most 2 per column. Values
// that are not numbers are left out; minus infinity becomes `floor`.
std::vector<PlotPoint2> reduceToColumns(const double* values, int64_t count, double x0, double dx, int columns,
                                        double floor);

// The whole document, panels one below the other.
std::string svgDocument(const std::vector<PlotPanel>& panels);
