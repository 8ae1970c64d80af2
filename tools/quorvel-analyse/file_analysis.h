#pragma once
// One recording analysed as the bench analyses its channel windows, over
// consecutive windows of N rows from the start of the file: per window each
// channel's window is filled with the rows' values, the block statistics
// are folded in (updateBlockStatistics with the AverageCounter) and, in the
// spectrum views, one spectrum pass runs (windowing with dither, transform,
// averaged power spectrum, tone analysis, markers) with the Avg list's
// averaging count. Every channel of the file is analysed, whether it is
// shown or not, as the bench does, so that the dither that each channel
// draws is the bench's. The results are those the bench shows after the
// last window; an incomplete last window is left out.
//
// A window that holds a sample that is not a finite number (NaN, infinite)
// is read but not analysed, so that one bad value cannot turn the averaged
// figures into nonsense; such samples are counted per channel with the
// first one's row.
#include <cstdint>
#include <functional>
#include <memory>

#include "analysis/channel_workers.h"
#include "analysis/signal_metrics.h"
#include "analysis/view_mode.h"
#include "tools/quorvel-analyse/sample_source.h"

struct AnalysisSettings {
    int32_t windowLength = 1024;  // N: a power of two, kMinToolWindow..kMaxToolWindow
    int32_t windowId = 0;         // FFT window 0..13
    int32_t averaging = 1;        // spectrum averaging count, 1..40 (the Avg list)
    int32_t averageCounter = 1;   // block statistics averaging, 1..100 (AverageCounter)
    ViewMode view = ViewMode::SpectrumDb;
    bool spectrumInScope = false;  // in the scope view, run the spectrum pass too
};

// Called after every window with the rows read so far.
using ProgressCallback = std::function<void(uint64_t rowsDone)>;

// Where a window lies: its index among the windows of the analysed range
// (from 0, skipped windows counted) and the file row it starts at.
struct WindowPlace {
    int64_t index;
    uint64_t firstRow;
};
// Called after each window that was analysed, with the channels' records
// holding that window's samples and figures.
using WindowCallback = std::function<void(const WindowPlace& place)>;

// Samples that are not finite numbers, per channel.
struct NonFiniteCount {
    uint64_t samples = 0;
    uint64_t firstRow = 0;  // file row of the first one (when samples > 0)
};

// The rows of a file that are analysed: `rows` rows from `firstRow`.
struct RowRange {
    uint64_t firstRow = 0;
    uint64_t rows = 0;
};

class FileAnalysis {
public:
    // `workers` (null: the calling thread alone) share each window's
    // per-channel work; the results are those of one thread.
    explicit FileAnalysis(ChannelWorkers* workers = nullptr) : workers_(workers) {}
    FileAnalysis(const FileAnalysis&) = delete;
    FileAnalysis& operator=(const FileAnalysis&) = delete;

    // Buffers for `channelCount` channels (1..32) and the window record, the
    // measurements cleared; false when memory runs out.
    bool prepare(const AnalysisSettings& settings, int32_t channelCount, double channelRate);

    // Analyses the file's whole windows, reading them row slice by row slice.
    // False when the file gives fewer rows than rowCount promised.
    bool run(SampleSource& file, const ProgressCallback& progress = nullptr, const WindowCallback& analysed = nullptr);
    // The same over the whole windows of `range` (within the file's rows).
    bool run(SampleSource& file, const RowRange& range, const ProgressCallback& progress = nullptr,
             const WindowCallback& analysed = nullptr);

    // One window: rows (N x channelCount float32 values) are distributed to
    // the channel windows a slice at a time with fillRows, then
    // analyseWindow measures them.
    void fillRows(const float* rows, int32_t firstRow, int32_t rowCount);
    void analyseWindow();

    // Whether the spectrum pass runs: in the spectrum views, and in the
    // scope view when asked for.
    bool runsSpectrum() const;
    // The workers that share each window's per-channel work, null when the
    // calling thread does it alone; a caller's own per-channel work after
    // each window may use them too.
    ChannelWorkers* windowWorkers() const { return shareWork_ ? workers_ : nullptr; }

    const AnalysisSettings& settings() const { return settings_; }
    int32_t channelCount() const { return channelCount_; }
    double channelRate() const { return channelRate_; }
    int64_t windowsAnalysed() const { return windows_; }
    // Windows read but left out because they held non-finite samples.
    int64_t windowsSkipped() const { return skipped_; }
    // Whether the channels' windows hold the last analysed window (false
    // when a window read after it was left out).
    bool holdsAnalysedWindow() const { return holdsAnalysed_; }
    const NonFiniteCount& nonFinite(int32_t channel) const { return nonFinite_[channel]; }

    ChannelRecord channels[kChannelRecordCount];
    SignalAnalyser analyser;

private:
    // Counts the non-finite values of `rows` rows that start at file row
    // `firstRow`; true when there was one.
    bool countNonFinite(const float* values, int32_t rows, uint64_t firstRow);

    ChannelWorkers* workers_;
    AnalysisSettings settings_;
    int32_t channelCount_ = 0;
    double channelRate_ = 0.0;
    int64_t windows_ = 0;
    int64_t skipped_ = 0;
    bool holdsAnalysed_ = false;
    NonFiniteCount nonFinite_[kChannelRecordCount];
    bool shareWork_ = false;
    std::unique_ptr<float[]> slice_;
    int32_t sliceRows_ = 0;
};
