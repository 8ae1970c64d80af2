// A recording from any bytes, opened and read as quorvel-analyse reads it:
// the header checked, the rows counted from the file's size, read a slice at
// a time and analysed over short windows. The four flag bytes of the format
// record, which the reader does not check, choose the analysis, so that the
// fuzzer reaches every view and window function.
#include <cmath>
#include <cstddef>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "tools/quorvel-analyse/file_analysis.h"
#include "tools/quorvel-analyse/recording_file.h"

namespace {

AnalysisSettings settingsFrom(const uint8_t* data, size_t size) {
    AnalysisSettings settings;
    uint8_t flags[4] = {1, 0, 0, 1};
    const size_t at = offsetof(RecordHeader, format.flags);
    for (size_t i = 0; i < 4 && at + i < size; ++i) flags[i] = data[at + i];
    settings.windowId = flags[0] % 14;
    settings.view = static_cast<ViewMode>(flags[1] % kViewModeCount);
    settings.spectrumInScope = (flags[1] & 0x80) != 0;
    settings.averaging = 1 + flags[2] % 40;
    settings.averageCounter = 1 + (flags[2] >> 4) % 3;
    settings.windowLength = 32 << (flags[3] % 3);  // 32, 64 or 128 rows
    return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile scratch("Fuzz.MRF");
    const std::string path = scratch.write(data, size);

    // The header check on the bytes alone agrees with the file's.
    const std::string verdict = checkRecordHeader(data, size < kRecordHeaderBytes ? size : kRecordHeaderBytes);
    RecordingFile file;
    std::string reason;
    const bool opened = file.open(path, reason);
    FUZZ_CHECK(opened == verdict.empty());
    if (!opened) {
        FUZZ_CHECK(reason == verdict && !reason.empty());
        return 0;
    }
    const uint32_t channels = file.channelCount();
    FUZZ_CHECK(channels >= 1 && channels <= static_cast<uint32_t>(kChannelRecordCount));
    FUZZ_CHECK(file.channelRate() > 0.0 && std::isfinite(file.channelRate()));
    const uint64_t rowBytes = uint64_t(channels) * sizeof(float);
    FUZZ_CHECK(file.partialRowBytes() < rowBytes);
    FUZZ_CHECK(kRecordHeaderBytes + file.rowCount() * rowBytes + file.partialRowBytes() == size);

    const AnalysisSettings settings = settingsFrom(data, size);
    const uint64_t n = static_cast<uint64_t>(settings.windowLength);
    if (file.rowCount() >= n) {
        // As the tool: whole windows, the rows of a cut window left out. One
        // analysis serves every input, as the tool's serves every file of its
        // command line: prepare starts each afresh (and reuses the buffers).
        static FileAnalysis analysis;
        FUZZ_CHECK(analysis.prepare(settings, static_cast<int32_t>(channels), file.channelRate()));
        FUZZ_CHECK(analysis.run(file));
        // Windows holding values that are not finite numbers are read and left out.
        FUZZ_CHECK(static_cast<uint64_t>(analysis.windowsAnalysed() + analysis.windowsSkipped()) ==
                   file.rowCount() / n);
    } else {
        // Too short for a window: every row in slices of 3, then nothing more.
        std::unique_ptr<float[]> rows(new float[3 * channels]);
        uint64_t left = file.rowCount();
        while (left > 0) {
            const size_t slice = left < 3 ? static_cast<size_t>(left) : 3;
            FUZZ_CHECK(file.readRows(rows.get(), slice));
            left -= slice;
        }
        FUZZ_CHECK(!file.readRows(rows.get(), 1));
    }
    return 0;
}
