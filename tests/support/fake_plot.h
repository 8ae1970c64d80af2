#pragma once
// A plot component for tests: logs every call with the values that matter
// and keeps what each DrawCurve was given.
#include <cstdint>
#include <string>
#include <vector>

#include "display/plot_interface.h"

class FakePlot final : public IPellumE {
public:
    struct Curve {
        std::vector<float> values;
        uint32_t colour;
        bool hasMarkers;
        std::vector<MarkerRecord> markers;
    };

    explicit FakePlot(std::string name, std::vector<std::string>* log = nullptr)
        : name_(std::move(name)), log_(log ? log : &ownLog) {}

    int32_t QV_CALL AddRef() override { return 1; }
    int32_t QV_CALL Release() override {
        note("release");
        return 0;
    }
    int32_t QV_CALL SetStyle(const PlotStyle* s) override {
        style = s;
        note("style");
        return 1;
    }
    int32_t QV_CALL SetProperty(int32_t code, const void* value) override {
        if (code == kPlotPropertyXUnit || code == kPlotPropertyYUnit) {
            note("property " + std::to_string(code) + " '" + static_cast<const char*>(value) + "'");
        } else if (code == kPlotPropertyViewKind) {
            viewKind = *static_cast<const int32_t*>(value);
            note("property 14 " + std::to_string(viewKind));
        } else {
            note("property " + std::to_string(code));
        }
        return 1;
    }
    int32_t QV_CALL BeginDraw(void* dc, const PlotRect* client, const PlotRange* r, int32_t points, int32_t,
                              int32_t) override {
        range = *r;
        pointsPerCurve = points;
        curves.clear();
        note("begin " + std::to_string(points));
        return 1;
    }
    int32_t QV_CALL Reserved6() override { return 0; }
    int32_t QV_CALL Reserved7() override { return 0; }
    int32_t QV_CALL DrawCurve(const float* values, int32_t count, int32_t, int32_t, const uint32_t* colour, int32_t,
                              const MarkerRecord* markers, int32_t) override {
        Curve c{std::vector<float>(values, values + count), colour ? *colour : 0u, markers != nullptr, {}};
        if (markers) c.markers.assign(markers, markers + kMarkersPerChannel);
        curves.push_back(std::move(c));
        note("curve " + std::to_string(count));
        return 1;
    }
    int32_t QV_CALL EndDraw() override {
        note("end");
        ++frames;
        return 1;
    }
    int32_t QV_CALL OnMouseMove(const PlotRect*, int32_t keys, int32_t point) override {
        note("move " + std::to_string(keys) + " " + pointText(point));
        return moveResult;
    }
    int32_t QV_CALL OnMouseButton(const PlotRect*, int32_t button, int32_t point, int32_t kind) override {
        note("button " + std::to_string(button) + " " + pointText(point) + " " + std::to_string(kind));
        return 0;
    }

    std::vector<std::string> ownLog;
    const PlotStyle* style = nullptr;
    PlotRange range{};
    int32_t pointsPerCurve = 0;
    int32_t viewKind = -1;
    std::vector<Curve> curves;  // of the latest frame
    int frames = 0;
    int32_t moveResult = 0;  // what OnMouseMove answers

private:
    void note(const std::string& what) { log_->push_back(name_ + " " + what); }
    // The packed point as "x,y", or "outside".
    static std::string pointText(int32_t point) {
        if (point == kPlotPointOutside) return "outside";
        const PlotPoint p = unpackPlotPoint(point);
        return std::to_string(p.x) + "," + std::to_string(p.y);
    }
    std::string name_;
    std::vector<std::string>* log_;
};
