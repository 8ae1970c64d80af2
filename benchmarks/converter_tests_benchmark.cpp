// Speed of quorvel-analyse's converter tests, with their yardsticks measured
// in the same run and the ratios printed at the end:
//   - the code-density histogram's add() on float32 values in memory, one
//     channel alone and one channel of eight interleaved, in MB/s of the
//     values read (goal: >= 1 GB/s);
//   - the four-parameter sine fit of a 64K window against one spectrum pass
//     of the same window (window, FFT, averaged spectrum, tone analysis;
//     goal: the fit costs no more);
//   - the DNL/INL analysis of a 16-bit histogram.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/signal_metrics.h"
#include "benchmarks/figures.h"
#include "tools/quorvel-analyse/code_density.h"
#include "tools/quorvel-analyse/sine_fit.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int64_t kHistogramValues = int64_t(1) << 24;  // 64 MiB of float32
constexpr int32_t kFitLength = 1 << 16;
constexpr double kRate = 1e6;
constexpr double kToneCycles = 2381.618;  // in a 64K window

// A slightly overdriven sine of many cycles, float32 volts of a 1 V scale.
std::vector<float> histogramSignal() {
    std::vector<float> values(static_cast<size_t>(kHistogramValues));
    for (int64_t i = 0; i < kHistogramValues; ++i) {
        values[i] = static_cast<float>(1.02 * std::sin(2 * kPi * 0.01234567 * double(i)));
    }
    return values;
}

// Every value once: the whole buffer as one channel, or as rows of 8
// interleaved channels read a slice of 16K rows (512 KiB) at a time, each
// channel of the slice added with a stride of 8, as a file is analysed.
void BM_HistogramAdd(benchmark::State& state) {
    const auto bits = static_cast<int32_t>(state.range(0));
    const auto channels = state.range(1);
    constexpr int64_t kSliceRows = 16384;
    static const std::vector<float> values = histogramSignal();
    CodeHistogram histogram(bits, 1.0);
    for (auto _ : state) {
        if (channels == 1) {
            histogram.add(values.data(), kHistogramValues);
        } else {
            const int64_t sliceValues = kSliceRows * channels;
            for (int64_t first = 0; first < kHistogramValues; first += sliceValues) {
                for (int64_t c = 0; c < channels; ++c) histogram.add(values.data() + first + c, kSliceRows, channels);
            }
        }
        benchmark::DoNotOptimize(histogram.counts().data());
    }
    state.SetBytesProcessed(state.iterations() * kHistogramValues * int64_t(sizeof(float)));
}

// A 12-bit quantised sine, the fit started 0.3 bin below the tone.
void BM_SineFit(benchmark::State& state) {
    std::vector<double> y(kFitLength);
    const double lsb = 1.0 / 2048;
    for (int32_t i = 0; i < kFitLength; ++i) {
        y[i] = std::round(0.9 * std::cos(2 * kPi * kToneCycles * i / kFitLength + 0.4) / lsb) * lsb;
    }
    const double start = (kToneCycles - 0.3) * kRate / kFitLength;
    int32_t iterations = 0;
    for (auto _ : state) {
        const SineFit fit = fitSine(y.data(), kFitLength, kRate, start, 1.0);
        iterations = fit.iterations;
        benchmark::DoNotOptimize(fit);
    }
    state.counters["steps"] = iterations;
}

// One spectrum pass of the same window with the 7-term window, as
// analysis_benchmark measures it.
void BM_SpectrumPass(benchmark::State& state) {
    ChannelRecord channel;
    SignalAnalyser analyser;
    if (!channel.allocateBuffers(kFitLength) || !analyser.fftWindow.resize(kFitLength)) {
        state.SkipWithError("out of memory");
        return;
    }
    analyser.fftWindow.computeWindow(12);
    analyser.fftWindow.ditherAmplitude = kDitherAmplitude;
    for (int32_t i = 0; i < kFitLength; ++i) {
        channel.samples[i] = 0.9 * std::cos(2 * kPi * kToneCycles * i / kFitLength + 0.4);
    }
    static const uint32_t colours[kChannelRecordCount] = {0x00FF00};
    const SpectrumPassInput input = {kFitLength, kFitLength, 1, ViewMode::SpectrumVolts, 0, 12, kRate, colours};
    for (auto _ : state) {
        analyser.runSpectrumPass(&channel, input);
        benchmark::ClobberMemory();
    }
}

void BM_CodeDensity16Bits(benchmark::State& state) {
    static const std::vector<float> values = histogramSignal();
    CodeHistogram histogram(16, 1.0);
    histogram.add(values.data(), kHistogramValues);
    for (auto _ : state) {
        const CodeDensity density = analyseCodeDensity(histogram);
        benchmark::DoNotOptimize(density.dnlLsb.data());
    }
}

QUORVEL_BENCHMARK(BM_HistogramAdd)
    ->Args({12, 1})
    ->Args({16, 1})
    ->Args({24, 1})
    ->Args({16, 8})
    ->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_SineFit)->Unit(benchmark::kMicrosecond);
QUORVEL_BENCHMARK(BM_SpectrumPass)->Unit(benchmark::kMicrosecond);
QUORVEL_BENCHMARK(BM_CodeDensity16Bits)->Unit(benchmark::kMillisecond);

class RatioReporter : public FastestRunReporter {
public:
    void printFigures() const {
        const double megabytes = kHistogramValues * sizeof(float) / 1e6;
        std::printf("\nHistogram add() of float32 values in memory (goal >= 1000 MB/s)\n");
        std::printf("%6s %10s %12s\n", "bits", "channels", "MB/s");
        for (const char* args : {"12/1", "16/1", "24/1", "16/8"}) {
            const double ms = find(std::string("BM_HistogramAdd/") + args);
            if (ms <= 0) continue;
            const std::string text = args;
            const size_t slash = text.find('/');
            std::printf("%6s %10s %12.0f\n", text.substr(0, slash).c_str(), text.substr(slash + 1).c_str(),
                        megabytes / (ms / 1e3));
        }
        const double fit = find("BM_SineFit");
        const double pass = find("BM_SpectrumPass");
        if (fit > 0 && pass > 0) {
            std::printf("\nSine fit of a 64K window against one spectrum pass of it (goal <= 1)\n");
            std::printf("%14s %14s %10s\n", "fit us", "pass us", "ratio");
            std::printf("%14.1f %14.1f %10.3f\n", fit, pass, fit / pass);
        }
    }
};

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<RatioReporter>(argc, argv); }
