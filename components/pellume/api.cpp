// The plot component's objects: IPellumE over a GDI plot, and the factory
// that the library exports.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <new>

#include "components/pellume/plot.h"
#include "display/plot_interface.h"
#include "platform/component_abi.h"

namespace {

// Starts with one reference, its creator's, and deletes itself when the
// last is released.
class PellumE final : public IPellumE {
public:
    int32_t QV_CALL AddRef() override { return ++references_; }
    int32_t QV_CALL Release() override {
        const int32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }
    int32_t QV_CALL SetStyle(const PlotStyle* style) override {
        if (!style) return 0;
        plot_.setStyle(style);
        return 1;
    }
    int32_t QV_CALL SetProperty(int32_t code, const void* value) override {
        try {
            return plot_.setProperty(code, value) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    // pointsPerCurve limits how far x zooms in; each DrawCurve gives its own
    // count.
    int32_t QV_CALL BeginDraw(void* dc, const PlotRect* client, const PlotRange* range, int32_t pointsPerCurve,
                              int32_t reserved1, int32_t reserved2) override {
        try {
            if (!client || !range) return 0;
            return plot_.beginDraw(static_cast<HDC>(dc), *client, *range, pointsPerCurve) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    int32_t QV_CALL Reserved6() override { return 0; }
    int32_t QV_CALL Reserved7() override { return 0; }
    // The values are taken as consecutive; `step` (always 1) is not used.
    int32_t QV_CALL DrawCurve(const float* values, int32_t count, int32_t step, int32_t reserved1,
                              const uint32_t* colour, int32_t reserved2, const MarkerRecord* markers,
                              int32_t reserved3) override {
        try {
            return plot_.drawCurve(values, count, colour, markers) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    int32_t QV_CALL EndDraw() override {
        try {
            return plot_.endDraw() ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    // The packed point is in the client coordinates of the last frame; its
    // layout places the pointer, `client` is not needed.
    int32_t QV_CALL OnMouseMove(const PlotRect* client, int32_t keys, int32_t point) override {
        try {
            return plot_.onMouseMove(keys, point) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    int32_t QV_CALL OnMouseButton(const PlotRect* client, int32_t button, int32_t point, int32_t kind) override {
        try {
            return plot_.onMouseButton(button, point, kind) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }

private:
    pellume::Plot plot_;
    std::atomic<int32_t> references_{1};
};

}  // namespace

// The exported factory: a new, independent plot per call.
class PellumEFactory final : public IComponentFactory {
public:
    void* QV_CALL CreateInterface(const char* interfaceName, int32_t reserved) override {
        try {
            if (!interfaceName || std::strcmp(interfaceName, "IPellumE") != 0) return nullptr;
            return static_cast<IPellumE*>(new (std::nothrow) PellumE());
        } catch (...) {
            return nullptr;
        }
    }
};

extern "C" {
__declspec(dllexport) PellumEFactory StaticFactory;
}
