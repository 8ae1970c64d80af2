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
#include <cstdint>
#include <functional>
#include <memory>

#include "analysis/channel_workers.h"
#include "analysis/signal_metrics.h"
#include "analysis/view_mode.h"
#include "tools/quorvel-analyse/recording_file.h"

struct AnalysisSettings {
    int32_t windowLength = 1024;    // N: a power of two, kMinToolWindow..kMaxToolWindow
    int32_t windowId = 0;           // FFT window 0..13
    int32_t averaging = 1;          // spectrum averaging count, 1..40 (the Avg list)
    int32_t averageCounter = 1;     // block statistics averaging, 1..100 (AverageCounter)
    ViewMode view = ViewMode::SpectrumDb;
    bool spectrumInScope = false;   // in the scope view, run the spectrum pass too
};

// Called after every window with the rows analysed so far.
using ProgressCallback = std::function<void(uint64_t rowsDone)>;

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
    bool run(RecordingFile& file, const ProgressCallback& progress = nullptr);

    // One window: rows (N x channelCount float32 values) are distributed to
    // the channel windows a slice at a time with fillRows, then
    // analyseWindow measures them.
    void fillRows(const float* rows, int32_t firstRow, int32_t rowCount);
    void analyseWindow();

    // Whether the spectrum pass runs: in the spectrum views, and in the
    // scope view when asked for.
    bool runsSpectrum() const;

    const AnalysisSettings& settings() const { return settings_; }
    int32_t channelCount() const { return channelCount_; }
    double channelRate() const { return channelRate_; }
    int64_t windowsAnalysed() const { return windows_; }

    ChannelRecord channels[kChannelRecordCount];
    SignalAnalyser analyser;

private:
    ChannelWorkers* workers_;
    AnalysisSettings settings_;
    int32_t channelCount_ = 0;
    double channelRate_ = 0.0;
    int64_t windows_ = 0;
    bool shareWork_ = false;
    std::unique_ptr<float[]> slice_;
    int32_t sliceRows_ = 0;
};
