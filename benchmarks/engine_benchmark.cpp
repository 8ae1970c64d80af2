// Speed of the acquisition engine, with its yardsticks measured in the same
// run and the figures printed at the end:
//   - distributeBlock for 32 channels, N = 2^20, B = 2^15, against the floor
//     of one memmove of N - B doubles plus one conversion pass per channel,
//     and the share of one core that 32 channels at 1 MS/s each cost;
//   - a whole acquisition tick at N = 2^20 with 32 channels shown in the volt
//     spectrum, DisplayTime 20 ms and DisplayBlocks 10: ten blocks slid,
//     statistics, spectrum pass, plot conversion and results lines (the plot
//     component draws nothing here), and the per-channel rate it keeps up
//     with, on one thread and on a thread per processor as the program runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "acquisition/engine.h"
#include "app/bench_controller.h"
#include "benchmarks/figures.h"

namespace {

constexpr int kChannels = 32;
constexpr int32_t kWindow = 1 << 20;
constexpr int32_t kBlock = 1 << 15;
constexpr double kRatePerChannel = 1e6;  // Hz

// A block of kChannels interleaved channels, each a sine with some noise.
std::vector<int16_t> makeBlock(int32_t frames) {
    std::vector<int16_t> block(static_cast<size_t>(frames) * kChannels);
    uint32_t state = 1;
    for (int32_t j = 0; j < frames; ++j) {
        for (int c = 0; c < kChannels; ++c) {
            state = state * 1664525u + 1013904223u;
            const double v = 20000.0 * std::sin(0.01 * (c + 1) * j) + ((state >> 20) & 63) - 32;
            block[static_cast<size_t>(j) * kChannels + c] = static_cast<int16_t>(v);
        }
    }
    return block;
}

// The dialog, reduced to what a tick needs.
class QuietDialog final : public BenchView {
public:
    bool isDown(BenchControl button) override { return button == BenchControl::Start; }
    void showDown(BenchControl, bool) override {}
    void enable(BenchControl, bool) override {}
    void fillList(BenchControl, const std::vector<std::string>&, int32_t) override {}
    BenchChoices readChoices() override {
        BenchChoices choices;
        choices.size = choices.averaging = choices.window = 0;
        choices.view = 1;
        return choices;
    }
    void showResults(const ResultsLines& lines) override { benchmark::DoNotOptimize(lines.line[0]); }
    void showDiskTexts(const DiskTexts&) override {}
    void* beginPlotPaint(PlotId, PlotRect* client) override {
        *client = {0, 0, 900, 400};
        return this;
    }
    void endPlotPaint(PlotId, void*) override {}
    bool pointerInMainPlot(PlotPoint*, PlotRect*) override { return false; }
    void showError(const char* text) override { std::fprintf(stderr, "unexpected message: %s\n", text); }
    bool chooseRecordFile(const char*, std::string&) override { return false; }
    void redrawLater() override {}
    void close() override {}
    void armTimer(uint32_t) override {}
    void killTimer() override {}
    uint32_t tickCount() override { return ++tick_; }

private:
    uint32_t tick_ = 1;
};

// A plot component that draws nothing, so that the tick is measured without
// the drawing.
class IdlePlot final : public IPellumE {
public:
    int32_t QV_CALL AddRef() override { return 1; }
    int32_t QV_CALL Release() override { return 0; }
    int32_t QV_CALL SetStyle(const PlotStyle*) override { return 1; }
    int32_t QV_CALL SetProperty(int32_t, const void*) override { return 1; }
    int32_t QV_CALL BeginDraw(void*, const PlotRect*, const PlotRange*, int32_t, int32_t, int32_t) override {
        return 1;
    }
    int32_t QV_CALL Reserved6() override { return 0; }
    int32_t QV_CALL Reserved7() override { return 0; }
    int32_t QV_CALL DrawCurve(const float* values, int32_t, int32_t, int32_t, const uint32_t*, int32_t,
                              const MarkerRecord*, int32_t) override {
        benchmark::DoNotOptimize(values);
        return 1;
    }
    int32_t QV_CALL EndDraw() override { return 1; }
    int32_t QV_CALL OnMouseMove(const PlotRect*, int32_t, int32_t) override { return 0; }
    int32_t QV_CALL OnMouseButton(const PlotRect*, int32_t, int32_t, int32_t) override { return 0; }
};

// A board of kChannels channels at 1 MS/s each that always has blocks ready.
class ReadyBoard final : public IADCUtility, public IADCDevice {
public:
    explicit ReadyBoard(int32_t frames) : block_(makeBlock(frames)) {}
    int32_t QV_CALL AddRef() override { return 1; }
    int32_t QV_CALL Release() override { return 0; }
    int32_t QV_CALL Open(const char*, int32_t, int32_t, int32_t) override { return 1; }
    int32_t QV_CALL Start(AcquisitionParameters*, int32_t) override { return 1; }
    int32_t QV_CALL GetBlock(const int16_t** block, int32_t*) override {
        *block = block_.data();
        return 1;
    }
    int32_t QV_CALL ReleaseBlock() override { return 1; }
    int32_t QV_CALL Property(int32_t code, void* value) override {
        if (code == kUtilityPropertyReadyBlocks) *static_cast<int32_t*>(value) = 10;
        if (code == kUtilityPropertyConnected) *static_cast<int32_t*>(value) = 1;
        return 1;
    }
    int32_t QV_CALL Stop() override { return 1; }
    int32_t QV_CALL Control(int32_t command, void* record, int32_t) override {
        if (command != kControlRead) return 1;
        auto* header = static_cast<uint32_t*>(record);
        if (header[0] == kBoardParametersType) {
            auto* p = static_cast<BoardParameters*>(record);
            p->channelCount = kChannels;
            p->acquisition.aggregateRate = kRatePerChannel * kChannels;
            for (int k = 0; k < kChannels; ++k) {
                p->channels[k].shown = 1;
                p->gainWords[k] = 1;
                p->channelWords[k] = static_cast<uint32_t>(k);
            }
            return 1;
        }
        return 0;
    }
    int32_t QV_CALL GetProperty(int32_t, void*) override { return 0; }

private:
    std::vector<int16_t> block_;
};

// The yardstick: per channel one memmove of N - B doubles and one pass that
// converts B interleaved codes.
void BM_SlideFloor(benchmark::State& state) {
    const std::vector<int16_t> block = makeBlock(kBlock);
    std::vector<std::vector<double>> windows(kChannels, std::vector<double>(kWindow));
    const double scale = 10.0 / 32768.0;
    for (auto _ : state) {
        for (int c = 0; c < kChannels; ++c) {
            double* w = windows[c].data();
            std::memmove(w, w + kBlock, (kWindow - kBlock) * sizeof(double));
            double* tail = w + (kWindow - kBlock);
            const int16_t* source = block.data() + c;
            for (int32_t j = 0; j < kBlock; ++j) tail[j] = source[int64_t(j) * kChannels] * scale;
        }
        benchmark::ClobberMemory();
    }
}

void BM_DistributeBlock(benchmark::State& state) {
    SignalAnalyser analysis;
    AcquisitionEngine engine(analysis);
    ReadyBoard board(kBlock);
    engine.attachBoard(nullptr, &board, 10.0 / 32768.0);
    engine.refreshBoardParameters();
    engine.configure(StartRequest{kWindow, 0, 200, 10, 0x10000000, 1});
    engine.allocateBuffers();
    if (engine.channelCount() != kChannels || engine.windowLength() != kWindow) {
        state.SkipWithError("the engine was not set up");
        return;
    }
    const std::vector<int16_t> block = makeBlock(kBlock);
    // The steady state of a running engine: every page of the windows has
    // been touched (fresh page allocations are mapped on first use).
    for (int i = 0; i < 4 * kWindow / kBlock; ++i) engine.distributeBlock(block.data(), kBlock);
    for (auto _ : state) {
        engine.distributeBlock(block.data(), kBlock);
        benchmark::ClobberMemory();
    }
}

// One whole tick of the running program, from the timer message to the
// results lines.
void BM_Tick(benchmark::State& state) {
    BenchController app;
    presetDefaults(app.settings, {0, 0});
    app.settings.displayTime = 20;
    app.settings.displayBlocks = 10;
    app.settings.sizeArray[0] = kWindow;
    app.settings.sizeCount = 1;
    app.settings.maxUsedMemory = 0x10000000;
    app.viewState = {0, ViewMode::SpectrumVolts, 0, 0, 12};

    QuietDialog dialog;
    IdlePlot mainPlot, topPlot;
    const int32_t block = blockLengthFor(20, kRatePerChannel, kWindow);
    ReadyBoard board(block);
    app.attachPlots(&mainPlot, &topPlot);
    app.utility = &board;
    app.device = &board;
    app.engine.attachBoard(&board, &board, 10.0 / 32768.0);
    app.bindView(&dialog);
    // Argument 1: one thread; 0: a thread per processor, as the program runs.
    if (state.range(0) == 1) {
        app.analysis.setWorkers(nullptr);
        app.engine.setWorkers(nullptr);
    }
    app.fillControls();
    app.startAcquisition(0);
    if (app.engine.windowLength() != kWindow || app.engine.blockLength() != block || !app.engine.running()) {
        state.SkipWithError("the acquisition did not start as set up");
        return;
    }
    // Fill the windows, so that every tick runs the spectrum pass, and touch
    // every page of them.
    const std::vector<int16_t> samples = makeBlock(block);
    for (int i = 0; i < 4 * kWindow / block; ++i) app.engine.distributeBlock(samples.data(), block);
    // The first ticks touch the pages of the spectra and of the further
    // lanes' window records for the first time.
    for (int i = 0; i < 2; ++i) app.onAcquisitionTimer();
    for (auto _ : state) {
        app.onAcquisitionTimer();
        benchmark::ClobberMemory();
    }
    state.counters["block"] = block;
    app.bindView(nullptr);
    app.attachPlots(nullptr, nullptr);
    app.utility = nullptr;
    app.device = nullptr;
}

QUORVEL_BENCHMARK(BM_SlideFloor)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_DistributeBlock)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_Tick)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

class FigureReporter : public FastestRunReporter {
public:
    void printFigures() const {
        const double slide = find("BM_DistributeBlock");
        const double floor = find("BM_SlideFloor");
        if (slide > 0 && floor > 0) {
            // At 1 MS/s per channel a block of B samples arrives every B us.
            const double blockPeriodMs = kBlock / kRatePerChannel * 1000.0;
            std::printf("\nSlide and convert, %d channels, N = 2^20, B = 2^15\n", kChannels);
            std::printf("  distributeBlock %.3f ms, floor (memmove + conversion) %.3f ms, ratio %.3f\n", slide, floor,
                        slide / floor);
            std::printf("  share of one core at %d x 1 MS/s: %.1f %% (the floor: %.1f %%)\n", kChannels,
                        100.0 * slide / blockPeriodMs, 100.0 * floor / blockPeriodMs);
        }
        const int32_t block = blockLengthFor(20, kRatePerChannel, kWindow);
        const double samples = 10.0 * block;
        bool heading = false;
        for (int lanes : {1, 0}) {
            const double tick = find("BM_Tick/" + std::to_string(lanes));
            if (tick <= 0) continue;
            if (!heading) {
                std::printf("\nWhole tick, %d channels in the volt spectrum, N = 2^20, 10 blocks of %d\n", kChannels,
                            block);
                heading = true;
            }
            const int threads = lanes == 1 ? 1 : ChannelWorkers::defaultLanes();
            std::printf("  %d thread%s: %.1f ms per tick; keeps up with %.2f MS/s per channel (goal: 1.5)\n", threads,
                        threads == 1 ? "" : "s", tick, samples / (tick * 1e-3) / 1e6);
        }
    }
};

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<FigureReporter>(argc, argv); }
