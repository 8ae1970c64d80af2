#pragma once
// What the tool makes of an analysed file: the bench's results list lines
// in UTF-8, one record per shown channel (CSV row or JSON object, numbers
// in full precision) and the averaged power spectrum as CSV rows.
//
// A record's fields, in order, CSV columns and JSON keys alike:
//   file, channel (1-based, as the list's header), gain, channel_rate_hz,
//   size (N), windows (analysed), window_id, window (list name), averaging,
//   average_counter, view (scope, volts, db0, db), then what the view's list
//   lines show: min_v, max_v and
//     spectrum views: freq_hz, ampl0_v, ampl0_rms, total_rms, sinad_db, enb,
//                     pp, sfdr_db, snr_db, thd_db
//     scope view:     avg_v, rms_v, ueff_v
// and then the tool's own fields (not the bench's):
//   spectrum views: <figure>_mean, <figure>_std, <figure>_min, <figure>_max
//                   over the analysed windows for sinad_db, enb, sfdr_db,
//                   snr_db and thd_db; tone_bin_offset, coherent_cycles,
//                   coherent_frequency_hz (null, or nan in CSV, without a tone)
//   --sine-fit:     fit_frequency_hz, fit_amplitude_v, fit_phase_rad,
//                   fit_offset_v, fit_residual_rms_v, fit_sinad_db, fit_enob
//                   (the last window's fit), then _mean, _std, _min, _max over
//                   the windows of each but the phase
//   --histogram:    dnl_min_lsb, dnl_max_lsb, inl_min_lsb, inl_max_lsb,
//                   missing_codes (JSON: an array; CSV: codes separated by
//                   blanks)
//
// The per-window rows have file, channel, window (index in the analysed
// range), first_row, start_s, then the view's fields from min_v on, and the
// window's fit with --sine-fit.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/quorvel-analyse/code_density.h"
#include "tools/quorvel-analyse/coherence.h"
#include "tools/quorvel-analyse/file_analysis.h"
#include "tools/quorvel-analyse/sine_fit.h"
#include "tools/quorvel-analyse/window_series.h"

// The figures followed over the windows, in the spectrum views.
inline constexpr int kSeriesFigureCount = 5;  // sinad_db, enb, sfdr_db, snr_db, thd_db

// The fit figures followed over the windows (all but the phase).
inline constexpr int kFitSeriesCount = 6;

// The tool's own figures of one channel, gathered over a file's windows.
struct ChannelFigures {
    WindowSeries series[kSeriesFigureCount];
    // Adds the channel's figures after a window.
    void addWindow(const ChannelRecord& channel);

    bool hasTone = false;       // the bench's analysis found a tone
    CoherenceAdvice coherence;  // of the last window's tone
    bool fitted = false;        // a fit was made (a window had a tone)
    SineFit fit;                // the last fitted window's
    WindowSeries fitSeries[kFitSeriesCount];
    void addFit(const SineFit& windowFit);
    bool hasDensity = false;  // the histogram was analysed
    CodeDensity density;
};

// Which of the optional groups of fields the records have.
struct RecordFields {
    ViewMode view = ViewMode::SpectrumDb;
    bool sineFit = false;
    bool histogram = false;
};

// The sine fit's list lines of the shown channels, after the bench's lines:
// a heading of their own per channel, then the fit's figures.
std::vector<std::string> sineFitLines(const std::vector<int32_t>& shown, const std::vector<ChannelFigures>& figures);

// The code-density CSV: the header, then per channel a row per code:
// file, channel, code (signed), count, dnl_lsb, inl_lsb.
void writeHistogramHeader(std::ostream& out);
void writeHistogramRows(std::ostream& out, const std::string& file, int32_t channel, const CodeHistogram& histogram,
                        const CodeDensity& density);

// The results list of the shown channels (0-based numbers) in the analysis's
// view, converted from the bench's code page 1251 to UTF-8.
std::vector<std::string> resultsLines(const FileAnalysis& analysis, const std::vector<int32_t>& shown);

// A text that reads back as the same double, with the fewest digits from
// 15 on ("0.1", "100000", "1e-07", "-inf", "nan").
std::string fullPrecision(double value);

// CSV: one header line for the view, then a row per shown channel. Fields
// with a comma, quote or line break are quoted.
// `figures` holds the tool's figures of every channel of the analysis.
void writeCsvHeader(std::ostream& out, const RecordFields& fields);
void writeCsvRecords(std::ostream& out, const std::string& file, const FileAnalysis& analysis,
                     const std::vector<int32_t>& shown, const std::vector<ChannelFigures>& figures,
                     const RecordFields& fields);

// JSON: the records of the shown channels appended to `records` (an array).
// Numbers that are not finite become null.
void appendJsonRecords(nlohmann::ordered_json& records, const std::string& file, const FileAnalysis& analysis,
                       const std::vector<int32_t>& shown, const std::vector<ChannelFigures>& figures,
                       const RecordFields& fields);

// The per-window CSV: its header, then after each analysed window a row per
// shown channel.
void writePerWindowHeader(std::ostream& out, const RecordFields& fields);
// `fits` holds the window's fit of every channel (with --sine-fit).
void writePerWindowRows(std::ostream& out, const std::string& file, const FileAnalysis& analysis,
                        const std::vector<int32_t>& shown, const WindowPlace& place, const std::vector<SineFit>& fits,
                        const RecordFields& fields);

// The averaged power spectrum: the header line, then per shown channel a
// row per bin k < N/2: file, channel, bin, frequency_hz (k x rate / N),
// v_rms (sqrt of the bin's power) and db_fs (10 log10 of the power over
// fullScale^2, the reference of the bench's dB view with FftScaleV =
// fullScale).
void writeSpectrumHeader(std::ostream& out);
void writeSpectrumRows(std::ostream& out, const std::string& file, const FileAnalysis& analysis,
                       const std::vector<int32_t>& shown, double fullScale);
