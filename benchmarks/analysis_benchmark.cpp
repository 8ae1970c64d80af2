// Speed of the signal analysis, with its yardsticks measured in the same run
// and the ratios printed at the end:
//   - the real FFT against FFTW's real transform of the same length
//     (FFTW_MEASURE and FFTW_ESTIMATE, one thread), N = 2^10 .. 2^22;
//   - one spectrum pass of one channel (window, FFT, averaged spectrum, tone
//     analysis) at 2^16 and 2^22, against twice FFTW_MEASURE plus one pass
//     over the samples;
//   - generating the 11-term window at 2^22.
//
// Our transform runs in place on one buffer again and again; the values soon
// overflow to infinities and NaNs, which costs nothing extra on x86-64 (no
// branch depends on the data, and only subnormal numbers are slow).
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/fft_window.h"
#include "analysis/real_fft.h"
#include "analysis/signal_metrics.h"
#include "benchmarks/figures.h"

namespace {

constexpr int kMinLog2 = 10;
constexpr int kMaxLog2 = 22;

void fillSignal(double* x, size_t n) {
    for (size_t i = 0; i < n; ++i) x[i] = std::sin(0.001 * double(i)) + 0.25 * std::cos(0.37 * double(i));
}

void BM_RealFft(benchmark::State& state) {
    const auto n = static_cast<uint32_t>(state.range(0));
    std::vector<double> data(n);
    fillSignal(data.data(), n);
    for (auto _ : state) {
        realFft(data.data(), n, 0, nullptr);
        benchmark::ClobberMemory();
    }
}

void runFftw(benchmark::State& state, unsigned flags) {
    const auto n = static_cast<int>(state.range(0));
    double* in = fftw_alloc_real(n);
    fftw_complex* out = fftw_alloc_complex(n / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, flags);
    fillSignal(in, n);
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}

void BM_FftwMeasure(benchmark::State& state) { runFftw(state, FFTW_MEASURE); }
void BM_FftwEstimate(benchmark::State& state) { runFftw(state, FFTW_ESTIMATE); }

// One spectrum pass of one channel holding a sine with noise, with the
// 7-term window and no averaging.
void BM_SpectrumPass(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    ChannelRecord channel;
    SignalAnalyser analyser;
    if (!channel.allocateBuffers(n) || !analyser.fftWindow.resize(n)) {
        state.SkipWithError("out of memory");
        return;
    }
    analyser.fftWindow.computeWindow(12);
    analyser.fftWindow.ditherAmplitude = kDitherAmplitude;
    fillSignal(channel.samples, size_t(n));
    static const uint32_t colours[kChannelRecordCount] = {0x00FF00};
    const SpectrumPassInput input = {n, n, 1, ViewMode::SpectrumVolts, 0, 12, 1e6, colours};
    for (auto _ : state) {
        analyser.runSpectrumPass(&channel, input);
        benchmark::ClobberMemory();
    }
}

// One pass over a channel's samples: the part of a spectrum pass that no
// transform can avoid.
void BM_SamplePass(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    std::vector<double> samples(n), out(n);
    fillSignal(samples.data(), n);
    for (auto _ : state) {
        for (size_t i = 0; i < n; ++i) out[i] = samples[i] * 0.5;
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void BM_GenerateWindow(benchmark::State& state) {
    const auto n = static_cast<uint32_t>(state.range(0));
    std::vector<double> window(n);
    for (auto _ : state) {
        const WindowSums sums = generateWindow(window.data(), n, static_cast<int32_t>(state.range(1)));
        benchmark::DoNotOptimize(sums);
    }
}

QUORVEL_BENCHMARK(BM_RealFft)->RangeMultiplier(4)->Range(1 << kMinLog2, 1 << kMaxLog2)->Unit(benchmark::kMicrosecond);
QUORVEL_BENCHMARK(BM_FftwMeasure)
    ->RangeMultiplier(4)
    ->Range(1 << kMinLog2, 1 << kMaxLog2)
    ->Unit(benchmark::kMicrosecond);
QUORVEL_BENCHMARK(BM_FftwEstimate)
    ->RangeMultiplier(4)
    ->Range(1 << kMinLog2, 1 << kMaxLog2)
    ->Unit(benchmark::kMicrosecond);
QUORVEL_BENCHMARK(BM_SpectrumPass)->Arg(1 << 16)->Arg(1 << 22)->Unit(benchmark::kMicrosecond);
QUORVEL_BENCHMARK(BM_SamplePass)->Arg(1 << 16)->Arg(1 << 22)->Unit(benchmark::kMicrosecond);
QUORVEL_BENCHMARK(BM_GenerateWindow)->Args({1 << 22, 11})->Unit(benchmark::kMillisecond);

class RatioReporter : public FastestRunReporter {
public:
    void printFigures() const {
        std::printf("\nrealFft against FFTW (time ratio, lower is better)\n");
        std::printf("%10s %14s %14s %14s %10s %10s\n", "N", "realFft us", "MEASURE us", "ESTIMATE us", "/MEASURE",
                    "/ESTIMATE");
        for (int e = kMinLog2; e <= kMaxLog2; e += 2) {
            const std::string n = std::to_string(1 << e);
            const double ours = find("BM_RealFft/" + n);
            const double measure = find("BM_FftwMeasure/" + n);
            const double estimate = find("BM_FftwEstimate/" + n);
            if (ours <= 0 || measure <= 0 || estimate <= 0) continue;
            std::printf("%10s %14.2f %14.2f %14.2f %10.3f %10.3f\n", n.c_str(), ours, measure, estimate, ours / measure,
                        ours / estimate);
        }
        std::printf("\nSpectrum pass of one channel against 2 x FFTW_MEASURE + one pass over the samples\n");
        std::printf("%10s %14s %14s %14s %10s\n", "N", "pass us", "MEASURE us", "samples us", "ratio");
        for (int e : {16, 22}) {
            const std::string n = std::to_string(1 << e);
            const double pass = find("BM_SpectrumPass/" + n);
            const double measure = find("BM_FftwMeasure/" + n);
            const double samples = find("BM_SamplePass/" + n);
            if (pass <= 0 || measure <= 0 || samples <= 0) continue;
            std::printf("%10s %14.2f %14.2f %14.2f %10.3f\n", n.c_str(), pass, measure, samples,
                        pass / (2 * measure + samples));
        }
        const double window = find("BM_GenerateWindow/" + std::to_string(1 << kMaxLog2) + "/11");
        if (window > 0) std::printf("\n11-term window at N = %d: %.2f ms\n", 1 << kMaxLog2, window);
    }
};

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<RatioReporter>(argc, argv); }
