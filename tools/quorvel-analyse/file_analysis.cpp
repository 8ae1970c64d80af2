#include "tools/quorvel-analyse/file_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>

#include "display/channel_colours.h"

namespace {

// Rows are read this many bytes at a time at most, whatever N is.
constexpr size_t kSliceBytes = size_t(1) << 21;
// Rows distributed to the channel windows together (16 KB of 8 channels).
constexpr int32_t kRowBlock = 512;
// Below this many samples per window (all channels) waking the workers
// costs more than it saves.
constexpr int64_t kSamplesWorthSharing = int64_t(1) << 15;

}  // namespace

bool FileAnalysis::prepare(const AnalysisSettings& settings, int32_t channelCount, double channelRate) {
    settings_ = settings;
    channelCount_ = std::clamp(channelCount, 1, kChannelRecordCount);
    channelRate_ = channelRate;
    windows_ = 0;
    skipped_ = 0;
    holdsAnalysed_ = false;
    std::fill(std::begin(nonFinite_), std::end(nonFinite_), NonFiniteCount{});
    const int32_t n = settings.windowLength;
    bool complete = true;
    for (int32_t c = 0; c < kChannelRecordCount; ++c) {
        ChannelRecord& channel = channels[c];
        if (c >= channelCount_) {
            channel.releaseBuffers();
            continue;
        }
        channel.clearMeasurements();
        channel.channelNumber = c;
        channel.gain = 1;
        channel.powerPeak = 0.0;
        std::fill(std::begin(channel.markers), std::end(channel.markers), MarkerRecord{});
        if (!channel.allocateBuffers(n)) complete = false;
    }
    // As the engine sizes its buffers: the transform's length, the window and
    // the dither; the analyser starts as the bench's does at its start.
    if (!analyser.prepare(n, settings.windowId)) complete = false;
    analyser.spectrumAverageCount = 1;
    analyser.ditherState = 1;

    sliceRows_ = static_cast<int32_t>(std::clamp<size_t>(kSliceBytes / (size_t(channelCount_) * sizeof(float)), 1, n));
    slice_.reset(new (std::nothrow) float[size_t(sliceRows_) * channelCount_]);
    if (!slice_) complete = false;

    shareWork_ =
        workers_ && workers_->lanes() > 1 && channelCount_ > 1 && int64_t(n) * channelCount_ >= kSamplesWorthSharing;
    analyser.setWorkers(shareWork_ ? workers_ : nullptr);
    return complete;
}

bool FileAnalysis::runsSpectrum() const { return isSpectrumView(settings_.view) || settings_.spectrumInScope; }

void FileAnalysis::fillRows(const float* rows, int32_t firstRow, int32_t rowCount) {
    const int32_t count = channelCount_;
    double* out[kChannelRecordCount];
    for (int32_t c = 0; c < count; ++c) out[c] = channels[c].samples + firstRow;
    // Rows from..to-1, a block of rows at a time: the block stays in the
    // first-level cache while each channel's values are taken from it.
    auto distribute = [&](int32_t from, int32_t to) {
        for (int32_t block = from; block < to; block += kRowBlock) {
            const int32_t end = std::min(block + kRowBlock, to);
            for (int32_t c = 0; c < count; ++c) {
                const float* in = rows + static_cast<size_t>(block) * count + c;
                double* values = out[c];
                for (int32_t r = block; r < end; ++r, in += count) values[r] = *in;
            }
        }
    };
    if (!shareWork_) {
        distribute(0, rowCount);
        return;
    }
    // Each lane takes a run of whole blocks.
    const int lanes = workers_->lanes();
    const int32_t blocks = (rowCount + kRowBlock - 1) / kRowBlock;
    workers_->run([&](int lane) {
        const int32_t from = static_cast<int32_t>(int64_t(blocks) * lane / lanes) * kRowBlock;
        const int32_t to = std::min(static_cast<int32_t>(int64_t(blocks) * (lane + 1) / lanes) * kRowBlock, rowCount);
        if (from < to) distribute(from, to);
    });
}

void FileAnalysis::analyseWindow() {
    const int32_t count = channelCount_;
    auto measure = [&](int c) { updateBlockStatistics(channels[c], settings_.averageCounter); };
    forEachChannel(shareWork_ ? workers_ : nullptr, count, measure);

    if (runsSpectrum()) {
        uint32_t colours[kChannelRecordCount];
        for (int32_t c = 0; c < kChannelRecordCount; ++c) colours[c] = presetChannelColour(c);
        const ViewMode view = isSpectrumView(settings_.view) ? settings_.view : ViewMode::SpectrumDb;
        const int32_t n = settings_.windowLength;
        const SpectrumPassInput input{n,      n, count, view, settings_.averaging - 1, settings_.windowId, channelRate_,
                                      colours};
        analyser.runSpectrumPass(channels, input);
    }
    ++windows_;
}

bool FileAnalysis::countNonFinite(const float* values, int32_t rows, uint64_t firstRow) {
    const size_t count = size_t(rows) * channelCount_;
    // NaN and the infinities are the floats whose exponent bits are all ones:
    // one pass of integer maxima, which the compiler vectorises, tells whether
    // the slice needs a closer look.
    constexpr uint32_t kExponent = 0x7F800000u;
    uint32_t largest = 0;
    for (size_t i = 0; i < count; ++i) {
        uint32_t bits;
        std::memcpy(&bits, values + i, sizeof bits);
        largest = std::max(largest, bits & kExponent);
    }
    if (largest != kExponent) return false;
    for (int32_t r = 0; r < rows; ++r) {
        for (int32_t c = 0; c < channelCount_; ++c) {
            if (std::isfinite(values[size_t(r) * channelCount_ + c])) continue;
            NonFiniteCount& bad = nonFinite_[c];
            if (bad.samples++ == 0) bad.firstRow = firstRow + static_cast<uint64_t>(r);
        }
    }
    return true;
}

bool FileAnalysis::run(SampleSource& file, const ProgressCallback& progress, const WindowCallback& analysed) {
    return run(file, RowRange{0, file.rowCount()}, progress, analysed);
}

bool FileAnalysis::run(SampleSource& file, const RowRange& range, const ProgressCallback& progress,
                       const WindowCallback& analysed) {
    const int32_t n = settings_.windowLength;
    const uint64_t windows = range.rows / static_cast<uint64_t>(n);
    if (range.firstRow != 0 && !file.skipRows(range.firstRow)) return false;
    for (uint64_t w = 0; w < windows; ++w) {
        const uint64_t windowRow = range.firstRow + w * static_cast<uint64_t>(n);
        bool clean = true;
        for (int32_t first = 0; first < n; first += sliceRows_) {
            const int32_t rows = std::min(sliceRows_, n - first);
            if (!file.readRows(slice_.get(), static_cast<size_t>(rows))) return false;
            if (countNonFinite(slice_.get(), rows, windowRow + static_cast<uint64_t>(first))) clean = false;
            if (clean) fillRows(slice_.get(), first, rows);
        }
        holdsAnalysed_ = clean;
        if (clean) {
            analyseWindow();
            if (analysed) analysed(WindowPlace{static_cast<int64_t>(w), windowRow});
        } else {
            ++skipped_;
        }
        if (progress) progress((w + 1) * static_cast<uint64_t>(n));
    }
    return true;
}
