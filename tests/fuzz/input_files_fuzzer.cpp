// The inputs beside the bench's recordings, from any bytes: the first byte
// chooses a WAV file (read by the tool's own reader, as the Windows build
// reads it) or raw rows of int16, int32 or float32 with 1..4 channels; the
// rest is the file. The file is opened, its rows are counted and read a
// slice at a time, then analysed over short windows with the sine fit and
// the code-density histogram, as quorvel-analyse does.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tools/quorvel-analyse/code_density.h"
#include "tools/quorvel-analyse/file_analysis.h"
#include "tools/quorvel-analyse/input_files.h"
#include "tools/quorvel-analyse/sine_fit.h"
#include "tools/quorvel-analyse/wav_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const ScratchFile scratch("Fuzz.in");
    const uint8_t mode = data[0];
    const std::string path = scratch.write(data + 1, size - 1);
    const uint64_t fileSize = size - 1;

    InputOptions options;
    options.fullScale = 10.0;
    const int kind = mode % 4;  // 0 WAV, 1 int16, 2 int32, 3 float32
    if (kind != 0) {
        options.raw = kind == 1 ? RawSample::Int16 : kind == 2 ? RawSample::Int32 : RawSample::Float32;
        options.rawRate = 1000.0;
        options.rawChannels = 1 + (mode >> 2) % 4;
    }
    std::unique_ptr<SampleSource> source;
    std::string reason;
    if (kind == 0) {
        auto wav = std::make_unique<WavFile>();
        if (!wav->open(path, options.fullScale, reason)) {
            FUZZ_CHECK(!reason.empty());
            return 0;
        }
        source = std::move(wav);
    } else {
        FUZZ_CHECK(openSampleSource(path, options, source, reason));
    }
    const uint32_t channels = source->channelCount();
    FUZZ_CHECK(channels >= 1 && channels <= static_cast<uint32_t>(kChannelRecordCount));
    FUZZ_CHECK(source->channelRate() > 0.0 && std::isfinite(source->channelRate()));
    if (kind != 0) {
        const uint64_t rowBytes = uint64_t(channels) * (kind == 1 ? 2 : 4);
        FUZZ_CHECK(source->rowCount() * rowBytes + source->partialRowBytes() == fileSize);
    } else {
        FUZZ_CHECK(source->rowCount() <= fileSize);
    }

    // Windows of 32 rows with the tool's converter tests on each.
    AnalysisSettings settings;
    settings.windowLength = 32;
    settings.windowId = mode % 14;
    if (source->rowCount() >= 32) {
        static FileAnalysis analysis;
        FUZZ_CHECK(analysis.prepare(settings, static_cast<int32_t>(channels), source->channelRate()));
        CodeHistogram histogram(1 + mode % 12, options.fullScale);
        const bool read = analysis.run(*source, nullptr, [&](const WindowPlace&) {
            const ChannelRecord& channel = analysis.channels[0];
            histogram.add(channel.samples, 32);
            if (channel.freq > 0.0) {
                const SineFit fit = fitSine(channel.samples, 32, source->channelRate(), channel.freq, 10.0);
                FUZZ_CHECK(fit.iterations >= 0);
            }
        });
        FUZZ_CHECK(read);
        FUZZ_CHECK(static_cast<uint64_t>(analysis.windowsAnalysed() + analysis.windowsSkipped()) ==
                   source->rowCount() / 32);
        const CodeDensity density = analyseCodeDensity(histogram);
        FUZZ_CHECK(density.usable || !density.refusal.empty());
    } else {
        std::vector<float> rows(3 * channels);
        uint64_t left = source->rowCount();
        while (left > 0) {
            const size_t slice = left < 3 ? static_cast<size_t>(left) : 3;
            FUZZ_CHECK(source->readRows(rows.data(), slice));
            left -= slice;
        }
        FUZZ_CHECK(!source->readRows(rows.data(), 1));
    }
    return 0;
}
