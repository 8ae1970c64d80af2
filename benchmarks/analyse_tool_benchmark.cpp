// Speed of quorvel-analyse on a 1 GiB recording (8 channels, 2^25 rows)
// with N = 64K, window 12 and averaging 10, against its two yardsticks
// measured in the same run: reading the file alone (the same slices the
// tool reads, into the same buffer) and the FFTs alone (the 8 x 512
// transforms of 64K points that the analysis makes, on one thread and on
// the lanes the tool uses); and, to show what the file adds, the bench's
// own work on the windows in memory. The tool's converter tests beside
// them: the sine fit of every window and channel against the spectrum pass
// it accompanies (the bench's work) and the FFTs, the code-density
// histogram of every sample in memory, and the whole analysis with both.
// And a batch of 16 recordings of 64 MiB on all cores against one thread.
// The recordings are made once in a temporary folder, before the
// benchmarks, and deleted after them.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "analysis/channel_workers.h"
#include "analysis/fft_window.h"
#include "benchmarks/figures.h"
#include "recording/record_format.h"
#include "tools/quorvel-analyse/code_density.h"
#include "tools/quorvel-analyse/command.h"
#include "tools/quorvel-analyse/file_analysis.h"
#include "tools/quorvel-analyse/recording_file.h"
#include "tools/quorvel-analyse/sine_fit.h"

namespace {

constexpr uint32_t kChannels = 8;
constexpr int32_t kWindow = 1 << 16;
constexpr int64_t kWindows = 512;
constexpr int64_t kRows = kWindow * kWindows;
constexpr double kRate = 1048576.0;
constexpr double kFileMegabytes = double(kRows) * kChannels * sizeof(float) / 1048576.0;
// The tool's read slice (file_analysis.cpp).
constexpr size_t kSliceBytes = size_t(1) << 21;

namespace fs = std::filesystem;

// The batch: 16 files of 2^21 rows (64 MiB) each.
constexpr int kBatchFiles = 16;
constexpr int64_t kBatchRows = int64_t(1) << 21;
constexpr double kBatchMegabytes = double(kBatchRows) * kChannels * sizeof(float) / 1048576.0 * kBatchFiles;

std::string& recordingPath() {
    static std::string path;
    return path;
}

std::vector<std::string>& batchPaths() {
    static std::vector<std::string> paths;
    return paths;
}

// 8 channels of a tone with two harmonics and a little noise, each its own
// bin of the 64K window, written window by window.
bool writeRecording(const std::string& path, int64_t windows = kWindows) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const RecordHeader header = makeRecordHeader(kChannels, kRate);
    bool good = std::fwrite(&header, sizeof header, 1, file) == 1;
    std::vector<float> tone(size_t(kWindow) * kChannels);
    for (uint32_t c = 0; c < kChannels; ++c) {
        const double bin = 1021.0 + 997.0 * c;
        for (int32_t i = 0; i < kWindow; ++i) {
            const double phase = 6.283185307179586 * bin * i / kWindow;
            tone[size_t(i) * kChannels + c] =
                float(8.0 * std::sin(phase) + 8e-4 * std::sin(2 * phase) + 2.5e-4 * std::sin(3 * phase));
        }
    }
    std::vector<float> rows(tone.size());
    uint32_t noise = 12345;
    for (int64_t w = 0; w < windows && good; ++w) {
        for (size_t k = 0; k < rows.size(); ++k) {
            noise = noise * 1664525u + 1013904223u;
            rows[k] = tone[k] + float(int32_t(noise >> 20) - 2048) * 2e-7f;
        }
        good = std::fwrite(rows.data(), sizeof(float), rows.size(), file) == rows.size();
    }
    return std::fclose(file) == 0 && good;
}

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void BM_ReadFile(benchmark::State& state) {
    std::vector<float> slice(kSliceBytes / sizeof(float));
    const size_t sliceRows = kSliceBytes / (kChannels * sizeof(float));
    for (auto _ : state) {
        RecordingFile file;
        std::string reason;
        if (!file.open(recordingPath(), reason)) {
            state.SkipWithError(reason.c_str());
            return;
        }
        for (uint64_t rows = 0; rows < file.rowCount(); rows += sliceRows) {
            if (!file.readRows(slice.data(), sliceRows)) state.SkipWithError("short read");
        }
        benchmark::DoNotOptimize(slice.data());
    }
}

// The transforms of the whole file: one per channel and window.
void BM_Transforms(benchmark::State& state) {
    const int lanes = static_cast<int>(state.range(0));
    ChannelWorkers workers(lanes);
    std::vector<std::unique_ptr<FftWindow>> windows;
    for (int lane = 0; lane < lanes; ++lane) {
        windows.push_back(std::make_unique<FftWindow>());
        if (!windows.back()->resize(kWindow)) {
            state.SkipWithError("out of memory");
            return;
        }
        for (int32_t i = 0; i < kWindow; ++i) windows.back()->workBuffer[i] = std::sin(0.01 * i);
    }
    for (auto _ : state) {
        workers.run([&](int lane) {
            FftWindow& window = *windows[size_t(lane)];
            for (int64_t w = 0; w < kWindows; ++w) {
                for (uint32_t c = uint32_t(lane); c < kChannels; c += uint32_t(lanes)) {
                    window.transform(0);
                }
            }
        });
        benchmark::ClobberMemory();
    }
}

// A third yardstick: the bench's own work on each window (block
// statistics and the spectrum pass, on the same lanes), with the windows
// filled once in memory: what the analysis costs without the file.
void BM_BenchWork(benchmark::State& state) {
    ChannelWorkers workers;
    FileAnalysis analysis(&workers);
    AnalysisSettings settings;
    settings.windowLength = kWindow;
    settings.windowId = 12;
    settings.averaging = 10;
    RecordingFile file;
    std::string reason;
    std::vector<float> rows(size_t(kWindow) * kChannels);
    if (!file.open(recordingPath(), reason) || !analysis.prepare(settings, kChannels, kRate) ||
        !file.readRows(rows.data(), kWindow)) {
        state.SkipWithError("cannot prepare the windows");
        return;
    }
    analysis.fillRows(rows.data(), 0, kWindow);
    for (auto _ : state) {
        for (int64_t w = 0; w < kWindows; ++w) analysis.analyseWindow();
        benchmark::ClobberMemory();
    }
}

// The windows of the file in memory as the tool holds them (doubles per
// channel): the first window of each channel, reused for every window.
struct WindowsInMemory {
    bool prepare(benchmark::State& state) {
        RecordingFile file;
        std::string reason;
        std::vector<float> rows(size_t(kWindow) * kChannels);
        if (!file.open(recordingPath(), reason) || !file.readRows(rows.data(), kWindow)) {
            state.SkipWithError("cannot read the first window");
            return false;
        }
        samples.assign(kChannels, std::vector<double>(kWindow));
        for (uint32_t c = 0; c < kChannels; ++c) {
            for (int32_t i = 0; i < kWindow; ++i) samples[c][size_t(i)] = rows[size_t(i) * kChannels + c];
        }
        return true;
    }
    std::vector<std::vector<double>> samples;
};

// The sine fit of every window of every channel, started from the tone's
// bin, on the tool's lanes: what --sine-fit adds to the analysis.
void BM_SineFit(benchmark::State& state) {
    WindowsInMemory windows;
    if (!windows.prepare(state)) return;
    ChannelWorkers workers;
    int64_t unsettled = 0;
    for (auto _ : state) {
        for (int64_t w = 0; w < kWindows; ++w) {
            forEachChannel(&workers, int(kChannels), [&](int c) {
                const double tone = (1021.0 + 997.0 * c) * kRate / kWindow;
                const SineFit fit = fitSine(windows.samples[size_t(c)].data(), kWindow, kRate, tone * 1.00001, 10.0);
                if (!fit.converged) ++unsettled;
            });
        }
    }
    if (unsettled > 0) state.SkipWithError("a fit did not settle");
}

// The code-density histogram of every sample, one thread, from the doubles
// of the windows (as the tool adds them): the recording's bytes per second.
void BM_Histogram(benchmark::State& state) {
    WindowsInMemory windows;
    if (!windows.prepare(state)) return;
    for (auto _ : state) {
        CodeHistogram histogram(16, 10.0);
        for (int64_t w = 0; w < kWindows; ++w) {
            for (uint32_t c = 0; c < kChannels; ++c) histogram.add(windows.samples[c].data(), kWindow);
        }
        benchmark::DoNotOptimize(histogram.total());
    }
}

// The same histogram from float32 rows, every 8th value per channel, as a
// reader that adds the file's slices directly would.
void BM_HistogramRows(benchmark::State& state) {
    RecordingFile file;
    std::string reason;
    std::vector<float> rows(size_t(kWindow) * kChannels);
    if (!file.open(recordingPath(), reason) || !file.readRows(rows.data(), kWindow)) {
        state.SkipWithError("cannot read the first window");
        return;
    }
    for (auto _ : state) {
        CodeHistogram histogram(16, 10.0);
        for (int64_t w = 0; w < kWindows; ++w) {
            for (uint32_t c = 0; c < kChannels; ++c) histogram.add(rows.data() + c, kWindow, kChannels);
        }
        benchmark::DoNotOptimize(histogram.total());
    }
}

void BM_AnalyseConverterTests(benchmark::State& state) {
    NullBuffer nothing;
    std::ostream out(&nothing), err(&nothing);
    const std::string path = recordingPath();
    const std::string histogram = (fs::path(path).parent_path() / "histogram.csv").string();
    // A full scale of 8 V: the tones of 8 V with their harmonics and noise
    // overdrive it slightly, as the histogram test needs.
    const char* argv[] = {"quorvel-analyse",
                          "-q",
                          "-n",
                          "64K",
                          "-w",
                          "12",
                          "-a",
                          "10",
                          "--csv",
                          "--sine-fit",
                          "--histogram",
                          histogram.c_str(),
                          "--bits",
                          "16",
                          "--full-scale",
                          "8",
                          path.c_str()};
    for (auto _ : state) {
        if (runQuorvelAnalyse(int(std::size(argv)), argv, out, err, false) != kExitDone) {
            state.SkipWithError("analysis failed");
        }
    }
}

// The batch of 16 files with -j threads.
void BM_Batch(benchmark::State& state) {
    NullBuffer nothing;
    std::ostream out(&nothing), err(&nothing);
    const std::string jobs = std::to_string(state.range(0));
    std::vector<const char*> argv = {
        "quorvel-analyse", "-q", "-j", jobs.c_str(), "-n", "64K", "-w", "12", "-a", "10", "--csv"};
    for (const std::string& path : batchPaths()) argv.push_back(path.c_str());
    for (auto _ : state) {
        if (runQuorvelAnalyse(int(argv.size()), argv.data(), out, err, false) != kExitDone) {
            state.SkipWithError("analysis failed");
        }
    }
}

void BM_Analyse(benchmark::State& state) {
    NullBuffer nothing;
    std::ostream out(&nothing), err(&nothing);
    const std::string path = recordingPath();
    const char* argv[] = {"quorvel-analyse", "-q", "-n", "64K", "-w", "12", "-a", "10", "--csv", path.c_str()};
    for (auto _ : state) {
        if (runQuorvelAnalyse(int(std::size(argv)), argv, out, err, false) != kExitDone) {
            state.SkipWithError("analysis failed");
        }
    }
}

QUORVEL_BENCHMARK(BM_ReadFile)->Iterations(1)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_Transforms)
    ->Arg(1)
    ->Arg(ChannelWorkers::defaultLanes())
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_BenchWork)->Iterations(1)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_Analyse)->Iterations(1)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_SineFit)->Iterations(1)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_Histogram)->Iterations(1)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_HistogramRows)->Iterations(1)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_AnalyseConverterTests)->Iterations(1)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_Batch)->Arg(1)->Arg(ChannelWorkers::defaultLanes())->Iterations(1)->Unit(benchmark::kMillisecond);

class FigureReporter : public FastestRunReporter {
public:
    void printFigures() const {
        const int lanes = ChannelWorkers::defaultLanes();
        const double read = find("BM_ReadFile/iterations:1");
        const double fftOne = find("BM_Transforms/1/iterations:1");
        const double fftLanes = find("BM_Transforms/" + std::to_string(lanes) + "/iterations:1");
        const double analyse = find("BM_Analyse/iterations:1");
        const double benchWork = find("BM_BenchWork/iterations:1");
        if (read <= 0 || fftOne <= 0 || fftLanes <= 0 || analyse <= 0) return;
        auto rate = [](double ms) { return kFileMegabytes / (ms * 1e-3); };
        std::printf(
            "\nquorvel-analyse, %.0f MiB recording: %u channels, N = 64K, window 12, averaging 10, "
            "%d lane%s\n",
            kFileMegabytes, kChannels, lanes, lanes == 1 ? "" : "s");
        std::printf("  analysis        %9.1f ms  %7.0f MB/s\n", analyse, rate(analyse));
        std::printf("  reading alone   %9.1f ms  %7.0f MB/s\n", read, rate(read));
        std::printf("  FFTs alone      %9.1f ms  %7.0f MB/s  (%lld transforms of 64K, %d lane%s)\n", fftLanes,
                    rate(fftLanes), static_cast<long long>(kWindows * kChannels), lanes, lanes == 1 ? "" : "s");
        std::printf("  FFTs alone      %9.1f ms  %7.0f MB/s  (one thread)\n", fftOne, rate(fftOne));
        if (benchWork > 0) {
            std::printf(
                "  the bench's work on the windows alone (statistics, spectrum pass; in memory) %9.1f ms  "
                "%7.0f MB/s\n",
                benchWork, rate(benchWork));
        }
        const double floor = std::max(read, fftLanes);
        std::printf("  analysis / larger yardstick (same lanes): %.2f (goal: 1.5)\n", analyse / floor);
        std::printf("  analysis / larger yardstick (FFTs on one thread): %.2f\n", analyse / std::max(read, fftOne));
        if (benchWork > 0) std::printf("  analysis / the bench's work alone: %.2f\n", analyse / benchWork);

        const double fit = find("BM_SineFit/iterations:1");
        const double histogram = find("BM_Histogram/iterations:1");
        const double histogramRows = find("BM_HistogramRows/iterations:1");
        const double converter = find("BM_AnalyseConverterTests/iterations:1");
        std::printf("\nConverter tests on the same recording (%d lane%s)\n", lanes, lanes == 1 ? "" : "s");
        if (fit > 0) {
            std::printf("  sine fit of every window    %9.1f ms  %7.0f MB/s", fit, rate(fit));
            if (benchWork > 0) std::printf("  fit / spectrum pass: %.2f (goal: 1)", fit / benchWork);
            std::printf("  fit / FFTs: %.2f\n", fit / fftLanes);
        }
        if (histogram > 0) {
            std::printf("  histogram, one thread       %9.1f ms  %7.0f MB/s  (goal: 1000)\n", histogram,
                        rate(histogram));
        }
        if (histogramRows > 0) {
            std::printf("  histogram of float32 rows   %9.1f ms  %7.0f MB/s\n", histogramRows, rate(histogramRows));
        }
        if (converter > 0) {
            std::printf("  analysis with --sine-fit --histogram %9.1f ms  %7.0f MB/s  (%.2f x the plain analysis)\n",
                        converter, rate(converter), converter / analyse);
        }
        const double batchOne = find("BM_Batch/1/iterations:1");
        const double batchAll = find("BM_Batch/" + std::to_string(lanes) + "/iterations:1");
        if (batchOne > 0 && batchAll > 0) {
            auto batchRate = [](double ms) { return kBatchMegabytes / (ms * 1e-3); };
            std::printf("\nBatch of %d files of %.0f MiB\n", kBatchFiles, kBatchMegabytes / kBatchFiles);
            std::printf("  -j 1            %9.1f ms  %7.0f MB/s\n", batchOne, batchRate(batchOne));
            std::printf("  -j %-2d           %9.1f ms  %7.0f MB/s  speed-up %.2f (goal: 1.8 on two cores)\n", lanes,
                        batchAll, batchRate(batchAll), batchOne / batchAll);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    const fs::path folder = fs::temp_directory_path() / ("quorvel-analyse-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    recordingPath() = (folder / "Bench.MRF").string();
    int result = 1;
    bool made = writeRecording(recordingPath());
    const std::string first = (folder / "Batch00.MRF").string();
    made = made && writeRecording(first, kBatchRows / kWindow);
    for (int k = 0; k < kBatchFiles && made; ++k) {
        const std::string name =
            (folder / ("Batch" + std::to_string(k / 10) + std::to_string(k % 10) + ".MRF")).string();
        std::error_code error;
        if (k > 0) made = fs::copy_file(first, name, error);
        batchPaths().push_back(name);
    }
    if (made) result = runBenchmarks<FigureReporter>(argc, argv);
    else std::fprintf(stderr, "cannot write the recordings in %s\n", folder.string().c_str());
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return result;
}
