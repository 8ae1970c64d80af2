// Speed of the real FFT against FFTW's real transform of the same length,
// measured in one run, with the ratios printed at the end.
//
// Our transform runs in place on one buffer again and again; the values soon
// overflow to infinities and NaNs, which costs nothing extra on x86-64 (no
// branch depends on the data, and only subnormal numbers are slow).
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "analysis/real_fft.h"

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

BENCHMARK(BM_RealFft)->RangeMultiplier(4)->Range(1 << kMinLog2, 1 << kMaxLog2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwMeasure)->RangeMultiplier(4)->Range(1 << kMinLog2, 1 << kMaxLog2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwEstimate)->RangeMultiplier(4)->Range(1 << kMinLog2, 1 << kMaxLog2)->Unit(benchmark::kMicrosecond);

// Keeps every run's time per iteration, to print the ratios after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const {
        std::printf("\nrealFft against FFTW (time ratio, lower is better)\n");
        std::printf("%10s %14s %14s %14s %10s %10s\n", "N", "realFft us", "MEASURE us", "ESTIMATE us",
                    "/MEASURE", "/ESTIMATE");
        for (int e = kMinLog2; e <= kMaxLog2; e += 2) {
            const std::string n = std::to_string(1 << e);
            const double ours = find("BM_RealFft/" + n);
            const double measure = find("BM_FftwMeasure/" + n);
            const double estimate = find("BM_FftwEstimate/" + n);
            if (ours <= 0 || measure <= 0 || estimate <= 0) continue;
            std::printf("%10s %14.2f %14.2f %14.2f %10.3f %10.3f\n", n.c_str(), ours, measure, estimate,
                        ours / measure, ours / estimate);
        }
    }

private:
    double find(const std::string& name) const {
        auto it = times_.find(name);
        return it == times_.end() ? 0.0 : it->second;
    }
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
