// Speed of the plot component's curve reduction, with its yardstick measured
// in the same run and the figures printed at the end:
//   - reduceToColumns of the longest curve the program draws (4,194,304
//     float32 points, 16 MB) into 900 pixel columns;
//   - one plain pass over the same values that finds their minimum and
//     maximum: what any reduction has to pay to read them.
//
// The curve is a sine with noise and no NaN, the common case of a live
// channel; a second run puts a NaN in every column, the slow case.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "benchmarks/figures.h"
#include "components/pellume/geometry.h"

namespace {

constexpr int32_t kPoints = 4194304;
constexpr int32_t kColumns = 900;
constexpr int32_t kNanEvery = 4096;  // columns hold 4660 points: each gets a NaN or two

// nanEvery > 0: every nanEvery-th value is NaN.
std::vector<float> makeCurve(int32_t n, int32_t nanEvery = 0) {
    std::vector<float> values(static_cast<size_t>(n));
    uint32_t seed = 1;
    for (int32_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float noise = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        values[static_cast<size_t>(i)] = 9.0f * std::sin(0.0037f * static_cast<float>(i)) + 0.01f * noise;
        if (nanEvery > 0 && i % nanEvery == nanEvery - 1) values[static_cast<size_t>(i)] = NAN;
    }
    return values;
}

void BM_ReduceToColumns(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    const auto width = static_cast<int32_t>(state.range(1));
    const std::vector<float> values = makeCurve(n, static_cast<int32_t>(state.range(2)));
    std::vector<pellume::ColumnExtent> columns(static_cast<size_t>(width));
    for (auto _ : state) {
        pellume::reduceToColumns(values.data(), n, width, columns.data());
        benchmark::DoNotOptimize(columns.data());
        benchmark::ClobberMemory();
    }
}

// Minimum and maximum of all values, four lanes at a time with two sets of
// running extremes: the plainest pass at the processor's vector speed.
void BM_MinMaxPass(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    const std::vector<float> values = makeCurve(static_cast<int32_t>(n));
    const float* v = values.data();
    for (auto _ : state) {
#if defined(__SSE__)
        __m128 low0 = _mm_set1_ps(v[0]), low1 = low0, high0 = low0, high1 = low0;
        for (size_t i = 0; i + 8 <= n; i += 8) {
            const __m128 a = _mm_loadu_ps(v + i);
            const __m128 b = _mm_loadu_ps(v + i + 4);
            low0 = _mm_min_ps(a, low0);
            low1 = _mm_min_ps(b, low1);
            high0 = _mm_max_ps(a, high0);
            high1 = _mm_max_ps(b, high1);
        }
        __m128 low = _mm_min_ps(low0, low1), high = _mm_max_ps(high0, high1);
#else
        float low[8], high[8];
        for (int j = 0; j < 8; ++j) low[j] = high[j] = v[0];
        for (size_t i = 0; i + 8 <= n; i += 8) {
            for (int j = 0; j < 8; ++j) {
                low[j] = v[i + j] < low[j] ? v[i + j] : low[j];
                high[j] = v[i + j] > high[j] ? v[i + j] : high[j];
            }
        }
#endif
        benchmark::DoNotOptimize(low);
        benchmark::DoNotOptimize(high);
        benchmark::ClobberMemory();
    }
}

QUORVEL_BENCHMARK(BM_ReduceToColumns)
    ->Args({kPoints, kColumns, 0})
    ->Args({kPoints, kColumns, kNanEvery})
    ->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_MinMaxPass)->Arg(kPoints)->Unit(benchmark::kMillisecond);

class FigureReporter : public FastestRunReporter {
public:
    void printFigures() const {
        const std::string curve =
            "BM_ReduceToColumns/" + std::to_string(kPoints) + "/" + std::to_string(kColumns) + "/";
        const double reduce = find(curve + "0");
        const double withNan = find(curve + std::to_string(kNanEvery));
        const double pass = find("BM_MinMaxPass/" + std::to_string(kPoints));
        if (reduce <= 0 && withNan <= 0) return;
        std::printf("\nCurve of %d points to %d columns against one min/max pass over it\n", kPoints, kColumns);
        std::printf("%-28s %10s %10s\n", "", "ms", "ratio");
        if (pass > 0) std::printf("%-28s %10.3f %10s\n", "min/max pass", pass, "1");
        const struct {
            const char* name;
            double time;
        } rows[] = {{"reduceToColumns", reduce}, {"  with NaN in every column", withNan}};
        for (const auto& row : rows) {
            if (row.time <= 0) continue;
            if (pass > 0) {
                std::printf("%-28s %10.3f %10.3f\n", row.name, row.time, row.time / pass);
            } else {
                std::printf("%-28s %10.3f %10s\n", row.name, row.time, "-");
            }
        }
    }
};

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<FigureReporter>(argc, argv); }
