#include "tools/quorvel-analyse/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <utility>

#include "display/channel_colours.h"
#include "platform/text_cp1251.h"
#include "tools/quorvel-analyse/exports.h"

namespace {

// ---- A small SVG writer --------------------------------------------------------

using Attributes = std::initializer_list<std::pair<const char*, std::string>>;

// Length of the UTF-8 sequence at text[i], or 0 when the bytes there are
// not one (file names need not be UTF-8, the document must be).
size_t utf8Length(const std::string& text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80             ? 1
                          : (lead & 0xE0) == 0xC0 ? 2
                          : (lead & 0xF0) == 0xE0 ? 3
                          : (lead & 0xF8) == 0xF0 ? 4
                                                  : 0;
    if (length == 0 || i + length > text.size() || (length == 2 && lead < 0xC2)) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

// Text for an attribute or element: markup characters as entities, control
// characters as blanks, bytes that are no UTF-8 as U+FFFD.
std::string escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        const size_t length = utf8Length(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            // Control characters other than tab and line breaks are not XML.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') out += ' ';
            else out += c;
        }
        ++i;
    }
    return out;
}

// Coordinates to a hundredth of a pixel.
std::string num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string colourText(uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return text;
}

class SvgWriter {
public:
    void open(const char* name, Attributes attributes) {
        start(name, attributes);
        text_ += ">\n";
        ++depth_;
    }
    void close(const char* name) {
        --depth_;
        indent();
        text_ += "</";
        text_ += name;
        text_ += ">\n";
    }
    void element(const char* name, Attributes attributes) {
        start(name, attributes);
        text_ += "/>\n";
    }
    void element(const char* name, Attributes attributes, const std::string& content) {
        start(name, attributes);
        text_ += '>';
        text_ += escaped(content);
        text_ += "</";
        text_ += name;
        text_ += ">\n";
    }
    std::string& text() { return text_; }

private:
    void indent() { text_.append(static_cast<size_t>(depth_) * 2, ' '); }
    void start(const char* name, Attributes attributes) {
        indent();
        text_ += '<';
        text_ += name;
        for (const auto& [key, value] : attributes) {
            text_ += ' ';
            text_ += key;
            text_ += "=\"";
            text_ += escaped(value);
            text_ += '"';
        }
    }

    std::string text_;
    int depth_ = 0;
};

// ---- Layout ----------------------------------------------------------------------

constexpr double kPageWidth = 1000;
constexpr double kPlotLeft = 80;
constexpr double kPlotWidth = kPlotColumns;
constexpr double kPlotHeight = 360;
constexpr double kLegendTop = 46;
constexpr double kLegendRowHeight = 18;
constexpr int kLegendPerRow = 2;
constexpr double kBelowPlot = 56;  // tick labels and the axis title

// The bench's plot colours: the dialog face, the plot area (button shadow)
// and its grid.
const std::string kPageColour = "#F0F0F0";
const std::string kAreaColour = "#A0A0A0";
const std::string kGridColour = "#F0F0F0";
const std::string kTextColour = "#000000";

constexpr double kLowestDb = -1000.0;   // where a bin of no power is drawn
constexpr double kDbSpanLimit = 200.0;  // the dB axis shows at most this span

int legendRows(const PlotPanel& panel) {
    return std::max<int>(1, static_cast<int>((panel.curves.size() + kLegendPerRow - 1) / kLegendPerRow));
}

double plotTop(const PlotPanel& panel) { return kLegendTop + kLegendRowHeight * legendRows(panel) + 6; }

double panelHeight(const PlotPanel& panel) { return plotTop(panel) + kPlotHeight + kBelowPlot; }

// A step of 1, 2 or 5 times a power of ten that divides `span` into about
// `parts` parts.
double niceStep(double span, int parts) {
    const double raw = span / parts;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / magnitude;
    return (norm < 1.5 ? 1.0 : norm < 3.0 ? 2.0 : norm < 7.0 ? 5.0 : 10.0) * magnitude;
}

std::string tickText(double value, double step) {
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    return s == "-0" ? "0" : s;
}

// The unit that the x ticks are written in, and its size in base units.
std::pair<std::string, double> xTickUnit(const PlotPanel& panel) {
    const double top = std::max(std::fabs(panel.xMin), std::fabs(panel.xMax));
    if (panel.xUnit == "s") {
        if (top < 1e-3) return {"\xC2\xB5s", 1e-6};
        if (top < 1.0) return {"ms", 1e-3};
        return {"s", 1.0};
    }
    if (top >= 1e6) return {"M" + panel.xUnit, 1e6};
    if (top >= 1e3) return {"k" + panel.xUnit, 1e3};
    return {panel.xUnit, 1.0};
}

void writePanel(SvgWriter& svg, const PlotPanel& panel, int index, double top) {
    const double areaTop = plotTop(panel);
    const double areaBottom = areaTop + kPlotHeight;
    const double xSpan = panel.xMax > panel.xMin ? panel.xMax - panel.xMin : 1.0;
    const double ySpan = panel.yMax > panel.yMin ? panel.yMax - panel.yMin : 1.0;
    auto px = [&](double x) { return kPlotLeft + (x - panel.xMin) / xSpan * kPlotWidth; };
    auto py = [&](double y) { return areaTop + (panel.yMax - y) / ySpan * kPlotHeight; };
    const std::string clipId = "plot-area-" + std::to_string(index + 1);

    svg.open("g", {{"class", "panel"}, {"transform", "translate(0," + num(top) + ")"}});
    svg.element("text", {{"x", num(kPlotLeft)}, {"y", "24"}, {"font-size", "14"}, {"font-weight", "bold"}},
                panel.title);

    // Legend: a swatch and the channel's text per curve.
    for (size_t k = 0; k < panel.curves.size(); ++k) {
        const double x = kPlotLeft + (kPlotWidth / kLegendPerRow) * static_cast<double>(k % kLegendPerRow);
        const double y = kLegendTop + kLegendRowHeight * static_cast<double>(k / kLegendPerRow);
        svg.element("rect", {{"x", num(x)},
                             {"y", num(y - 9)},
                             {"width", "18"},
                             {"height", "10"},
                             {"fill", colourText(panel.curves[k].colour)},
                             {"stroke", kTextColour},
                             {"stroke-width", "0.5"}});
        svg.element("text", {{"x", num(x + 24)}, {"y", num(y)}}, panel.curves[k].label);
    }

    // Plot area, grid and ticks.
    svg.open("defs", {});
    svg.open("clipPath", {{"id", clipId}});
    svg.element("rect",
                {{"x", num(kPlotLeft)}, {"y", num(areaTop)}, {"width", num(kPlotWidth)}, {"height", num(kPlotHeight)}});
    svg.close("clipPath");
    svg.close("defs");
    svg.element("rect", {{"x", num(kPlotLeft)},
                         {"y", num(areaTop)},
                         {"width", num(kPlotWidth)},
                         {"height", num(kPlotHeight)},
                         {"fill", kAreaColour},
                         {"stroke", kTextColour}});

    const auto [unit, unitSize] = xTickUnit(panel);
    const double xStep = niceStep(xSpan / unitSize, 8) * unitSize;
    for (double x = std::ceil(panel.xMin / xStep - 1e-9) * xStep; x <= panel.xMax + xStep * 1e-9; x += xStep) {
        const std::string at = num(px(x));
        svg.element("line", {{"x1", at},
                             {"y1", num(areaTop)},
                             {"x2", at},
                             {"y2", num(areaBottom)},
                             {"stroke", kGridColour},
                             {"stroke-width", "0.5"}});
        svg.element("text", {{"x", at}, {"y", num(areaBottom + 16)}, {"text-anchor", "middle"}},
                    tickText(x / unitSize, xStep / unitSize));
    }
    const double yStep = niceStep(ySpan, 8);
    for (double y = std::ceil(panel.yMin / yStep - 1e-9) * yStep; y <= panel.yMax + yStep * 1e-9; y += yStep) {
        const std::string at = num(py(y));
        svg.element("line", {{"x1", num(kPlotLeft)},
                             {"y1", at},
                             {"x2", num(kPlotLeft + kPlotWidth)},
                             {"y2", at},
                             {"stroke", kGridColour},
                             {"stroke-width", "0.5"}});
        svg.element("text", {{"x", num(kPlotLeft - 6)}, {"y", num(py(y) + 4)}, {"text-anchor", "end"}},
                    tickText(y, yStep));
    }
    svg.element("text",
                {{"x", num(kPlotLeft + kPlotWidth / 2)}, {"y", num(areaBottom + 40)}, {"text-anchor", "middle"}},
                panel.xTitle + ", " + unit);
    const std::string yTitleX = num(kPlotLeft - 56);
    const std::string yTitleY = num(areaTop + kPlotHeight / 2);
    svg.element("text",
                {{"x", yTitleX},
                 {"y", yTitleY},
                 {"text-anchor", "middle"},
                 {"transform", "rotate(-90 " + yTitleX + " " + yTitleY + ")"}},
                panel.yTitle);

    // Curves, then the markers over them, inside the plot area.
    svg.open("g", {{"clip-path", "url(#" + clipId + ")"}, {"fill", "none"}});
    for (const PlotCurve& curve : panel.curves) {
        std::string d;
        d.reserve(curve.points.size() * 16);
        for (size_t i = 0; i < curve.points.size(); ++i) {
            d += i == 0 ? "M" : " L";
            d += num(px(curve.points[i].x));
            d += ' ';
            d += num(py(std::clamp(curve.points[i].y, panel.yMin - ySpan, panel.yMax + ySpan)));
        }
        // A path needs at least its move; an empty curve stays at the corner.
        if (d.empty()) d = "M" + num(kPlotLeft) + " " + num(areaBottom);
        svg.element("path", {{"class", "curve"},
                             {"stroke", colourText(curve.colour)},
                             {"stroke-width", "1"},
                             {"stroke-linejoin", "round"},
                             {"d", d}});
    }
    for (const PlotMarker& marker : panel.markers) {
        const std::string at = num(px(marker.x));
        const std::string colour = colourText(marker.colour);
        svg.element("line", {{"class", "marker"},
                             {"x1", at},
                             {"y1", num(areaTop + 14)},
                             {"x2", at},
                             {"y2", num(areaBottom)},
                             {"stroke", colour},
                             {"stroke-dasharray", "4 3"}});
        svg.element(
            "text",
            {{"x", at}, {"y", num(areaTop + 11)}, {"text-anchor", "middle"}, {"fill", colour}, {"font-size", "10"}},
            marker.label);
    }
    svg.close("g");
    svg.close("g");
}

// ---- What each view plots ----------------------------------------------------------

void roundDbRange(PlotPanel& panel, double low, double high) {
    if (!(high > kLowestDb)) high = 0.0;
    panel.yMax = 10.0 * std::ceil(high / 10.0);
    panel.yMin = std::max(10.0 * std::floor(std::max(low, kLowestDb) / 10.0), panel.yMax - kDbSpanLimit);
    if (panel.yMin >= panel.yMax) panel.yMin = panel.yMax - 10.0;
}

std::string channelLabel(const ChannelRecord& channel, bool spectrum) {
    char text[160];
    if (spectrum) {
        std::snprintf(text, sizeof text, "Channel \xB9%d: %.3f Hz, SINAD %.2f dB, ENB %.2f", channel.channelNumber + 1,
                      channel.freq, channel.sinad, channel.enb);
    } else {
        std::snprintf(text, sizeof text, "Channel \xB9%d: min %.3f V, max %.3f V, RMS %.3f V",
                      channel.channelNumber + 1, channel.min, channel.max, channel.rms);
    }
    return cp1251ToUtf8(text);
}

}  // namespace

std::vector<PlotPoint2> reduceToColumns(const double* values, int64_t count, double x0, double dx, int columns,
                                        double floor) {
    std::vector<PlotPoint2> points;
    auto value = [&](int64_t i) {
        const double v = values[i];
        return v == -std::numeric_limits<double>::infinity() ? floor : v;
    };
    if (count <= 0 || columns <= 0) return points;
    if (count <= 2 * int64_t{columns}) {
        for (int64_t i = 0; i < count; ++i) {
            const double v = value(i);
            if (!std::isnan(v)) points.push_back({x0 + static_cast<double>(i) * dx, v});
        }
        return points;
    }
    points.reserve(static_cast<size_t>(columns) * 2);
    for (int c = 0; c < columns; ++c) {
        const int64_t first = count * c / columns;
        const int64_t last = count * (c + 1) / columns;
        int64_t low = -1, high = -1;
        for (int64_t i = first; i < last; ++i) {
            const double v = value(i);
            if (std::isnan(v)) continue;
            if (low < 0 || v < value(low)) low = i;
            if (high < 0 || v > value(high)) high = i;
        }
        if (low < 0) continue;
        const double x = x0 + (static_cast<double>(first + last - 1) / 2.0) * dx;
        const int64_t a = std::min(low, high), b = std::max(low, high);
        points.push_back({x, value(a)});
        if (b != a) points.push_back({x, value(b)});
    }
    return points;
}

PlotPanel makePlotPanel(const FileAnalysis& analysis, const std::vector<int32_t>& shown, const std::string& title,
                        double fullScale) {
    PlotPanel panel;
    panel.title = title;
    const AnalysisSettings& settings = analysis.settings();
    const ViewMode view = settings.view;
    const int32_t n = settings.windowLength;
    const double rate = analysis.channelRate();
    const bool spectrum = isSpectrumView(view);

    std::vector<double> values(static_cast<size_t>(spectrum ? n / 2 : n));
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    // The dB0 view's reference: the strongest bin of the shown channels.
    double strongest = 0.0;
    for (int32_t c : shown) strongest = std::max(strongest, analysis.channels[c].powerPeak);

    for (int32_t c : shown) {
        const ChannelRecord& channel = analysis.channels[c];
        if (!channel.hasBuffers()) continue;
        PlotCurve curve{presetChannelColour(c), channelLabel(channel, spectrum), {}};
        const int64_t count = static_cast<int64_t>(values.size());
        for (size_t i = 0; i < values.size(); ++i) {
            const double p = spectrum ? channel.powerSpectrum[i] : channel.samples[i];
            switch (view) {
            case ViewMode::SpectrumDb:
                values[i] = 10.0 * std::log10(p / (fullScale * fullScale));
                break;
            case ViewMode::SpectrumDb0:
                values[i] = 10.0 * std::log10(p / strongest);
                break;
            case ViewMode::SpectrumVolts:
                values[i] = std::sqrt(p);
                break;
            case ViewMode::Scope:
                values[i] = p;
                break;
            }
        }
        curve.points = spectrum ? reduceToColumns(values.data(), count, 0.0, rate / n, kPlotColumns, kLowestDb)
                                : reduceToColumns(values.data(), count, 0.0, 1.0 / rate, kPlotColumns, kLowestDb);
        for (const PlotPoint2& point : curve.points) {
            if (!isDecibelView(view) || point.y > kLowestDb) low = std::min(low, point.y);
            high = std::max(high, point.y);
        }
        panel.curves.push_back(std::move(curve));

        // Markers where the tone analysis found a fundamental.
        if (spectrum && channel.markers[1].kind == kMarkerBin && channel.markers[1].bin > 0) {
            for (int r = 1; r <= kHarmonicCount + 1; ++r) {
                const MarkerRecord& marker = channel.markers[r];
                if (marker.bin <= 0) continue;
                panel.markers.push_back({marker.bin * rate / n, marker.colour, r == 1 ? "F" : std::to_string(r)});
            }
        }
    }
    if (low > high) low = high = 0.0;

    panel.xMin = 0.0;
    if (spectrum) {
        panel.xTitle = "Frequency";
        panel.xUnit = "Hz";
        panel.xMax = rate / 2.0;
    } else {
        panel.xTitle = "Time";
        panel.xUnit = "s";
        panel.xMax = n / rate;
    }
    switch (view) {
    case ViewMode::SpectrumDb:
        panel.yTitle = "dB to full scale (" + fullPrecision(fullScale) + " V)";
        roundDbRange(panel, low, high);
        break;
    case ViewMode::SpectrumDb0:
        panel.yTitle = "dB to the strongest bin";
        roundDbRange(panel, low, high);
        break;
    case ViewMode::SpectrumVolts: {
        panel.yTitle = "V RMS";
        panel.yMin = 0.0;
        const double step = niceStep(high > 0.0 ? high * 1.05 : 1.0, 8);
        panel.yMax = step * std::ceil((high > 0.0 ? high * 1.05 : 1.0) / step);
        break;
    }
    case ViewMode::Scope: {
        // The bench's auto scale: the extremes with a tenth of their span
        // either side.
        panel.yTitle = "V";
        const double margin = high > low ? 0.1 * (high - low) : 1.0;
        panel.yMin = low - margin;
        panel.yMax = high + margin;
        break;
    }
    }
    return panel;
}

std::string svgDocument(const std::vector<PlotPanel>& panels) {
    double height = 0.0;
    for (const PlotPanel& panel : panels) height += panelHeight(panel);
    if (panels.empty()) height = 40.0;
    SvgWriter svg;
    svg.text() = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg.open("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
                     {"version", "1.1"},
                     {"width", num(kPageWidth)},
                     {"height", num(height)},
                     {"viewBox", "0 0 " + num(kPageWidth) + " " + num(height)},
                     {"font-family", "Arial, Helvetica, sans-serif"},
                     {"font-size", "12"},
                     {"fill", kTextColour}});
    svg.element("rect", {{"width", num(kPageWidth)}, {"height", num(height)}, {"fill", kPageColour}});
    double top = 0.0;
    for (size_t k = 0; k < panels.size(); ++k) {
        writePanel(svg, panels[k], static_cast<int>(k), top);
        top += panelHeight(panels[k]);
    }
    svg.close("svg");
    return std::move(svg.text());
}
