#pragma once
// What the benchmark programs share: the "min" statistic over repetitions and
// a reporter that keeps each benchmark's fastest time, so that a program can
// print its figures, from the same run, after Google Benchmark's table.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

// With --benchmark_repetitions the best repetition is what the figures use.
inline double fastest(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

#define QUORVEL_BENCHMARK(f) BENCHMARK(f)->ComputeStatistics("min", fastest)

// Keeps each benchmark's best time per iteration (over repetitions, when
// asked for with --benchmark_repetitions).
class FastestRunReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "min") continue;
            const double t = run.GetAdjustedRealTime();
            auto it = times_.find(run.run_name.str());
            if (it == times_.end() || t < it->second) times_[run.run_name.str()] = t;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The fastest time of the benchmark of that name, in its unit; 0 when it
    // did not run.
    double find(const std::string& name) const {
        auto it = times_.find(name);
        return it == times_.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> times_;
};

// The main of a benchmark program: runs the benchmarks asked for with a
// Reporter (a FastestRunReporter with printFigures()), then prints its figures.
template <class Reporter>
int runBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printFigures();
    benchmark::Shutdown();
    return 0;
}
