// Speed of quorvel-analyse on a 1 GiB recording (8 channels, 2^25 rows)
// with N = 64K, window 12 and averaging 10, against its two yardsticks
// measured in the same run: reading the file alone (the same slices the
// tool reads, into the same buffer) and the FFTs alone (the 8 x 512
// transforms of 64K points that the analysis makes, on one thread and on
// the lanes the tool uses); and, to show what the file adds, the bench's
// own work on the windows in memory. The recording is made once in a temporary
// folder, before the benchmarks, and deleted after them.
#include <benchmark/benchmark.h>

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
#include <unistd.h>
#include <vector>

#include "analysis/channel_workers.h"
#include "analysis/fft_window.h"
#include "benchmarks/figures.h"
#include "recording/record_format.h"
#include "tools/quorvel-analyse/command.h"
#include "tools/quorvel-analyse/file_analysis.h"
#include "tools/quorvel-analyse/recording_file.h"

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

std::string& recordingPath() {
    static std::string path;
    return path;
}

// 8 channels of a tone with two harmonics and a little noise, each its own
// bin of the 64K window, written window by window.
bool writeRecording(const std::string& path) {
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
    for (int64_t w = 0; w < kWindows && good; ++w) {
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
QUORVEL_BENCHMARK(BM_Transforms)->Arg(1)->Arg(ChannelWorkers::defaultLanes())->Iterations(1)
    ->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_BenchWork)->Iterations(1)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_Analyse)->Iterations(1)->Unit(benchmark::kMillisecond);

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
        std::printf("\nquorvel-analyse, %.0f MiB recording: %u channels, N = 64K, window 12, averaging 10, "
                    "%d lane%s\n",
                    kFileMegabytes, kChannels, lanes, lanes == 1 ? "" : "s");
        std::printf("  analysis        %9.1f ms  %7.0f MB/s\n", analyse, rate(analyse));
        std::printf("  reading alone   %9.1f ms  %7.0f MB/s\n", read, rate(read));
        std::printf("  FFTs alone      %9.1f ms  %7.0f MB/s  (%lld transforms of 64K, %d lane%s)\n", fftLanes,
                    rate(fftLanes), static_cast<long long>(kWindows * kChannels), lanes, lanes == 1 ? "" : "s");
        std::printf("  FFTs alone      %9.1f ms  %7.0f MB/s  (one thread)\n", fftOne, rate(fftOne));
        if (benchWork > 0) {
            std::printf("  the bench's work on the windows alone (statistics, spectrum pass; in memory) %9.1f ms  "
                        "%7.0f MB/s\n",
                        benchWork, rate(benchWork));
        }
        const double floor = std::max(read, fftLanes);
        std::printf("  analysis / larger yardstick (same lanes): %.2f (goal: 1.5)\n", analyse / floor);
        std::printf("  analysis / larger yardstick (FFTs on one thread): %.2f\n", analyse / std::max(read, fftOne));
        if (benchWork > 0) std::printf("  analysis / the bench's work alone: %.2f\n", analyse / benchWork);
    }
};

}  // namespace

int main(int argc, char** argv) {
    const fs::path folder = fs::temp_directory_path() / ("quorvel-analyse-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    recordingPath() = (folder / "Bench.MRF").string();
    int result = 1;
    if (writeRecording(recordingPath())) result = runBenchmarks<FigureReporter>(argc, argv);
    else std::fprintf(stderr, "cannot write %s\n", recordingPath().c_str());
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return result;
}
