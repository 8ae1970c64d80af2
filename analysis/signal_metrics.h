#pragma once
// Per-channel time statistics and spectrum metrics: block statistics, the
// windowed transform input, the averaged power spectrum, the tone analysis
// (fundamental, SINAD, ENB, SFDR, SNR, THD) and the spectrum plot markers.
//
// Units: samples in volts, powers in volts squared per bin, levels in dB
// (10 log10 of power ratios), frequencies in Hz. A spectrum of a window of N
// samples has M = N/2 bins, bin k at k * rate / N.
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/channel_workers.h"
#include "analysis/fft_window.h"
#include "analysis/markers.h"
#include "analysis/view_mode.h"

inline constexpr int kChannelRecordCount = 32;
inline constexpr int kHarmonicCount = 9;  // orders 2..10

// Dither added while windowing: (r - 16383) steps of this many volts, r
// uniform in 0..32767, i.e. within +-1/4 of one 16-bit count of a 1 V full
// scale. The acquisition engine sets it whenever it sizes the buffers.
inline constexpr double kDitherAmplitude = (1.0 / 32767.0) / 65536.0;

// One channel of the acquisition list. The buffers are page allocations,
// held together or not at all.
struct ChannelRecord {
    ChannelRecord() = default;
    ~ChannelRecord();
    ChannelRecord(const ChannelRecord&) = delete;
    ChannelRecord& operator=(const ChannelRecord&) = delete;

    // Gives the record a window of `length` samples (length even, >= 2) and a
    // spectrum of length/2 bins. Buffers of that length already held are kept
    // and cleared to 0 (the window back at the start of its store); otherwise
    // they are replaced by new zero-filled ones.
    // On failure (or a bad length) none are held, sampleCount is 0 and the
    // result is false.
    bool allocateBuffers(int32_t length);
    // Releases both buffers; sampleCount becomes 0.
    void releaseBuffers();
    bool hasBuffers() const { return samples && powerSpectrum && sampleCount > 0; }
    // Sets the fourteen measured values from max to thd to 0.
    void clearMeasurements();

    int32_t channelNumber = 0;                      // hardware channel number, 0-based
    int32_t gain = 1;                               // channel gain
    double max = 0.0;                               // averaged block maximum, V
    double min = 0.0;                               // averaged block minimum, V
    double avg = 0.0;                               // averaged block mean, V
    double rms = 0.0;                               // averaged block standard deviation (AC RMS), V
    double ueff = 0.0;                              // averaged block root mean square (DC included), V
    double total = 0.0;                             // sqrt of the sum of the averaged power spectrum, V
    double freq = 0.0;                              // fundamental, Hz
    double ampl0 = 0.0;                             // peak amplitude of the fundamental, V
    double dcLevel = 0.0;                           // plain mean of the latest window, V
    double sinad = 0.0;                             // dB
    double enb = 0.0;                               // effective number of bits
    double sfdr = 0.0;                              // dB
    double snr = 0.0;                               // dB
    double thd = 0.0;                               // dB, negative when the harmonics are weaker
    int32_t sampleCount = 0;                        // N: samples in `samples`; 0 when no buffers are held
    double* samples = nullptr;                      // N samples, V, oldest first; inside sampleStore
    double* powerSpectrum = nullptr;                // N/2 bins, V^2 per bin, averaged
    double powerPeak = 0.0;                         // largest bin of powerSpectrum after the latest update
    MarkerRecord markers[kMarkersPerChannel] = {};  // 0 level line, 1 fundamental, 2..10 harmonics

    // The window is kept in a longer store: new samples are written after the
    // window and `samples` moves forward, so the window is moved back to the
    // start of the store only when the slack after it runs out (once per
    // storeLengthFor(N) - N appended samples), not on every block.
    static int32_t storeLengthFor(int32_t length);
    double* sampleStore = nullptr;  // sampleStoreLength doubles, a page allocation
    int32_t sampleStoreLength = 0;
};

struct ToneResults {
    double sinad;  // dB
    double enb;    // bits
    double sfdr;   // dB
    double snr;    // dB
    double thd;    // dB
};

// Folds the statistics of the channel's whole window into its exponential
// averages (weight 1/averageCount for the new values; a count below 1 is
// taken as 1) and stores the window's plain mean as dcLevel. A channel
// without buffers is left unchanged.
void updateBlockStatistics(ChannelRecord& channel, int averageCount);

// Sum of power[c-h .. c+h], cut to the bins 0..binCount-1. With `refined`,
// also the refined centre c + (R - L) / (R + L), L and R being the group's
// bins left and right of c without the two edge bins of the group; c itself
// when L + R is 0. Null power or binCount <= 0 gives 0 (and refined = c).
double sumBinGroup(const double* power, int32_t binCount, int32_t centre, int32_t halfWidth, double* refined);

// Looks for the fundamental tone in power[0..binCount-1] and measures it.
// windowBins is the window's bin count (taken as 1 when below 1). Results
// stay 0 unless a fundamental is found with a SINAD and an ENB above 0;
// harmonicBins (harmonicCount entries) are then written with the bins of
// the orders 2..harmonicCount+1, folded into 0..binCount. The fundamental
// bin is 0 when none is found; the refined bin is written when one is found.
// Output pointers other than results may be null. False only for a null
// power array or results, or binCount <= 0.
bool analyseTone(const double* power, int32_t binCount, int32_t harmonicCount, ToneResults* results, int32_t windowBins,
                 int32_t* harmonicBins, int32_t* fundamentalBin, double* refinedBin);

// The colour of the harmonic markers: red, green and blue each lowered by
// 64, to no less than 0.
uint32_t darkenedColour(uint32_t colour);

// What one spectrum pass reads from the acquisition engine and the dialog.
struct SpectrumPassInput {
    int32_t windowLength;           // N of the channel windows
    int32_t filledCount;            // samples appended since the start
    int32_t activeChannelCount;     // channels analysed, 0..32
    ViewMode viewMode;              // the pass runs in the spectrum views only
    int32_t averagingSelection;     // position in the Avg list: averaging count - 1
    int32_t windowId;               // selected FFT window
    double channelRate;             // Hz, one channel
    const uint32_t* channelColour;  // kChannelRecordCount colours 0x00BBGGRR
};

// The analysis state of the application: the window record, the spectrum
// averaging count, the scope extremes and the dither generator.
class SignalAnalyser {
public:
    // Sizes the window record for windows of N samples (raised to a power of
    // two), computes window `windowId` into it and sets the dither amplitude;
    // the bench does this at every start, the offline tool for every file.
    // False when the window record could not be sized (the spectrum pass
    // then skips).
    bool prepare(int32_t windowLength, int32_t windowId);

    // Largest max and smallest min over channels 0..channelCount-1 that are
    // shown; channel 0's when none is.
    void updateScopeExtremes(const ChannelRecord* channels, const int32_t* channelShown, int channelCount);

    // workBuffer[i] = ((x[i] - dcLevel) * w[i] + dither - m) * gainFactor for
    // i < count (count cut to the window length), m being the windowed sum
    // over coherentSum; the rest of workBuffer is set to 0. Nothing happens
    // without window buffers.
    void prepareTransformInput(const double* samples, int count, double dcLevel);

    // After the forward transform of workBuffer: folds the bins 0..binCount-1
    // (cut to length/2) into `spectrum` (replacing it when averageCount <= 1,
    // else with weight 1/averageCount), stores the largest bin in *peak and
    // returns sqrt of the spectrum's sum. Returns 0 and changes nothing
    // without a spectrum or without window buffers.
    double accumulatePowerSpectrum(int averageCount, double* spectrum, int binCount, double* peak);

    // Window, transform and spectrum update of one channel: stores total and
    // powerPeak, returns total and gives the fundamental's peak amplitude
    // sqrt(2 enbw powerPeak) through ampl0. A channel without buffers, or a
    // window record without them, is left as it is (the stored total is
    // returned, ampl0 untouched).
    double analyseChannel(ChannelRecord& channel, double* ampl0);

    // The spectrum pass of a plot update with new data: runs only in the
    // spectrum views, with full windows and window buffers held; analyses
    // every active channel that has buffers, stores its results and markers,
    // then sets spectrumAverageCount to the selected averaging count. Returns
    // whether the pass ran.
    bool runSpectrumPass(ChannelRecord* channels, const SpectrumPassInput& input);

    // Spreads the spectrum pass over the workers' lanes (null: the calling
    // thread alone). Each further lane keeps a window record of its own;
    // the results are those of one thread, dither included.
    void setWorkers(ChannelWorkers* workers);

    // Next value 0..32767 of the dither source: the 32-bit linear
    // congruential generator state * 214013 + 2531011, bits 16..30.
    int nextDither();

    FftWindow fftWindow;
    int32_t spectrumAverageCount = 1;  // averaging count of the next spectrum update
    double scopeMax = 0.0;             // V, for the oscilloscope auto scale
    double scopeMin = 0.0;             // V
    uint32_t ditherState = 1;          // never seeded from the clock

private:
    bool prepareLanes(int lanes);
    // Window, transform, spectrum, tone analysis and markers of one channel.
    void analyseSpectrumChannel(ChannelRecord& channel, int index, const SpectrumPassInput& input);

    ChannelWorkers* workers_ = nullptr;
    std::vector<std::unique_ptr<SignalAnalyser>> lanes_;
};
