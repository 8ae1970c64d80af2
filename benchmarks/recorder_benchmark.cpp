// Speed of the recorder, with its yardsticks measured in the same run and the
// figures printed at the end: writeBlock for 32 channels, B = 2^15, from
// windows of 2^16 doubles into a real temporary file, against one plain write
// of the same number of bytes, and against that write plus one pass that
// reads the window values the rows are made of; the recorder's throughput and
// the share of one core that 32 channels at 1 MS/s each (128 MB/s of rows)
// cost.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "benchmarks/figures.h"
#include "platform/file_io.h"
#include "recording/recorder.h"

namespace {

constexpr int32_t kChannels = 32;
constexpr int32_t kBlock = 1 << 15;
constexpr int32_t kWindow = 1 << 16;
constexpr size_t kBlockBytes = size_t(kBlock) * kChannels * sizeof(float);
// Files are started again after this many blocks (256 MB), so that a long
// run does not fill the disk.
constexpr int kBlocksPerFile = 64;

namespace fs = std::filesystem;

// A folder of its own under the system's temporary folder, removed at the end.
class TemporaryFolder {
public:
    TemporaryFolder() {
        path_ = fs::temp_directory_path() / ("quorvel-bench-" + std::to_string(::getpid()));
        fs::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string file(const char* name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

void BM_PlainWrite(benchmark::State& state) {
    TemporaryFolder folder;
    const std::string path = folder.file("plain.bin");
    std::vector<float> bytes(kBlockBytes / sizeof(float), 0.5f);
    FileHandle file = createDataFile(path.c_str(), true);
    int blocks = 0;
    for (auto _ : state) {
        if (!writeFile(file, bytes.data(), kBlockBytes)) state.SkipWithError("write failed");
        if (++blocks == kBlocksPerFile) {
            state.PauseTiming();
            closeFile(file);
            file = createDataFile(path.c_str(), true);
            blocks = 0;
            state.ResumeTiming();
        }
    }
    closeFile(file);
}

// The windows that the recorder reads, filled once.
ChannelRecord* windows() {
    static ChannelRecord channels[kChannels];
    static bool filled = false;
    if (!filled) {
        for (int c = 0; c < kChannels; ++c) {
            channels[c].allocateBuffers(kWindow);
            for (int32_t i = 0; i < kWindow; ++i) channels[c].samples[i] = std::sin(0.001 * (c + 1) * i);
        }
        filled = true;
    }
    return channels;
}

// A second yardstick: reading the values that one block writes (the B oldest
// doubles of every window), which a plain write of ready bytes does not do.
void BM_ReadWindows(benchmark::State& state) {
    ChannelRecord* channels = windows();
    for (auto _ : state) {
        double sum = 0.0;
        for (int c = 0; c < kChannels; ++c) {
            const double* v = channels[c].samples;
            for (int32_t i = 0; i < kBlock; ++i) sum += v[i];
        }
        benchmark::DoNotOptimize(sum);
    }
}

void BM_WriteBlock(benchmark::State& state) {
    TemporaryFolder folder;
    const std::string base = folder.file("Bench");
    Recorder recorder;
    recorder.setFile(base.c_str(), 0);  // one file, replaced each time

    const RecordedBlock block{windows(), kChannels, 1e6, kBlock, nullptr, 10.0 / 32768.0};
    recorder.setRecording(true);
    int blocks = 0;
    for (auto _ : state) {
        if (!recorder.writeBlock(block)) state.SkipWithError("write failed");
        if (++blocks == kBlocksPerFile) {
            state.PauseTiming();
            recorder.closeRecordFile();
            blocks = 0;
            state.ResumeTiming();
        }
    }
    recorder.halt();
}

QUORVEL_BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_ReadWindows)->Unit(benchmark::kMillisecond);
QUORVEL_BENCHMARK(BM_WriteBlock)->Unit(benchmark::kMillisecond);

class FigureReporter : public FastestRunReporter {
public:
    void printFigures() const {
        const double block = find("BM_WriteBlock");
        const double plain = find("BM_PlainWrite");
        if (block <= 0) return;
        const double megabytes = kBlockBytes / 1048576.0;
        std::printf("\nwriteBlock, %d channels, B = 2^15 (%.0f MB of rows), into a temporary file\n", kChannels,
                    megabytes);
        std::printf("  %.3f ms per block, %.0f MB/s", block, megabytes / (block * 1e-3));
        if (plain > 0) std::printf("; one plain write %.3f ms, ratio %.2f (goal: 1.3)", plain, block / plain);
        const double read = find("BM_ReadWindows");
        if (plain > 0 && read > 0) {
            std::printf("\n  one plain write plus one read of the window values %.3f ms, ratio %.2f", plain + read,
                        block / (plain + read));
        }
        // 32 channels at 1 MS/s: a block of 2^15 rows every 32.768 ms.
        const double periodMs = kBlock / 1e6 * 1000.0;
        std::printf("\n  share of one core at %d x 1 MS/s (128 MB/s of rows): %.1f %%\n", kChannels,
                    100.0 * block / periodMs);
    }
};

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<FigureReporter>(argc, argv); }
