#include "analysis/signal_metrics.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/page_memory.h"

namespace {

constexpr double kSqrtHalf = 0.7071067811865476;
constexpr double kSmallestNormal = 2.2250738585072014e-308;
constexpr double kOneOverSixPointOhTwo = 0.16611295681063123;
// Bins below this never count as the fundamental or as noise (DC and the
// lowest frequencies), whatever the window.
constexpr int32_t kFirstToneBin = 6;
// Half-width of the spur and harmonic groups (7 bins), whatever the window.
constexpr int32_t kSpurHalfWidth = 3;
// Bins between the fundamental group and the start of the spur search.
constexpr int32_t kSpurGap = 4;
constexpr uint32_t kLevelLineColour = 0x000000FF;  // red
// Full-scale sine of a 16-bit converter over its quantization noise, dB.
constexpr double kLevelLineFloorDb = 98.08;

// The dither generator x' = x * 214013 + 2531011 (mod 2^32) and its steps of
// 2, 3 and 4 (x_{i+k} = A_k x_i + C_k), so that four consecutive values are
// formed independently of each other.
constexpr uint32_t kLcgA = 214013u;
constexpr uint32_t kLcgC = 2531011u;
constexpr uint32_t kLcgA2 = kLcgA * kLcgA;
constexpr uint32_t kLcgC2 = kLcgC * kLcgA + kLcgC;
constexpr uint32_t kLcgA3 = kLcgA2 * kLcgA;
constexpr uint32_t kLcgC3 = kLcgC2 * kLcgA + kLcgC;
constexpr uint32_t kLcgA4 = kLcgA3 * kLcgA;
constexpr uint32_t kLcgC4 = kLcgC3 * kLcgA + kLcgC;
constexpr int kDitherCentre = 16383;

inline double ditherSteps(uint32_t state) {
    return static_cast<double>(static_cast<int>((state >> 16) & 0x7FFF) - kDitherCentre);
}

// The dither generator's state `steps` values on: the affine map
// x -> A x + C applied `steps` times, by squaring.
uint32_t advanceDither(uint32_t state, uint64_t steps) {
    uint32_t a = kLcgA, c = kLcgC;    // the map applied 2^k times
    uint32_t totalA = 1, totalC = 0;  // the map applied so far
    for (; steps; steps >>= 1) {
        if (steps & 1) {
            totalC = a * totalC + c;
            totalA = a * totalA;
        }
        c = a * c + c;
        a = a * a;
    }
    return totalA * state + totalC;
}

size_t storeBytes(int32_t storeLength) { return static_cast<size_t>(storeLength) * sizeof(double); }
size_t spectrumBytes(int32_t length) { return static_cast<size_t>(length / 2) * sizeof(double); }

// y[i] = (r_i - 16383) * amplitude + (x[i] - c) * w[i] for i < n, r_i the next
// dither values drawn from `state` (the term is left out when not Dithered);
// four at a time with four partial sums. Returns the sum of the y[i].
template <bool Dithered>
double windowSamples(const double* x, const double* w, double c, double amplitude, uint32_t n, double* y,
                     uint32_t& state) {
    double sum0 = 0.0, sum1 = 0.0, sum2 = 0.0, sum3 = 0.0;
    uint32_t s = state;
    uint32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        double v0 = (x[i] - c) * w[i];
        double v1 = (x[i + 1] - c) * w[i + 1];
        double v2 = (x[i + 2] - c) * w[i + 2];
        double v3 = (x[i + 3] - c) * w[i + 3];
        if (Dithered) {
            const uint32_t s1 = kLcgA * s + kLcgC;
            const uint32_t s2 = kLcgA2 * s + kLcgC2;
            const uint32_t s3 = kLcgA3 * s + kLcgC3;
            s = kLcgA4 * s + kLcgC4;
            v0 = ditherSteps(s1) * amplitude + v0;
            v1 = ditherSteps(s2) * amplitude + v1;
            v2 = ditherSteps(s3) * amplitude + v2;
            v3 = ditherSteps(s) * amplitude + v3;
        }
        y[i] = v0;
        y[i + 1] = v1;
        y[i + 2] = v2;
        y[i + 3] = v3;
        sum0 += v0;
        sum1 += v1;
        sum2 += v2;
        sum3 += v3;
    }
    for (; i < n; ++i) {
        double v = (x[i] - c) * w[i];
        if (Dithered) {
            s = kLcgA * s + kLcgC;
            v = ditherSteps(s) * amplitude + v;
        }
        y[i] = v;
        sum0 += v;
    }
    state = s;
    return (sum0 + sum1) + (sum2 + sum3);
}

struct SpectrumSums {
    double peak;  // largest bin, at least the floor given
    double sum;   // sum of all bins
};

// p[k] = fresh * |y_k|^2, plus keep * p[k] when Averaged, for k < bins, where
// y_k = (y[2k], y[2k+1]); two bins at a time with two partial sums.
template <bool Averaged>
SpectrumSums updateSpectrum(const double* y, double* p, uint32_t bins, double fresh, double keep, double peakFloor) {
    double top = peakFloor;
    double sum0 = 0.0, sum1 = 0.0;
    uint32_t k = 0;
    for (; k + 2 <= bins; k += 2) {
        double v0 = fresh * (y[2 * k] * y[2 * k] + y[2 * k + 1] * y[2 * k + 1]);
        double v1 = fresh * (y[2 * k + 2] * y[2 * k + 2] + y[2 * k + 3] * y[2 * k + 3]);
        if (Averaged) {
            v0 += keep * p[k];
            v1 += keep * p[k + 1];
        }
        p[k] = v0;
        p[k + 1] = v1;
        top = v0 > top ? v0 : top;
        top = v1 > top ? v1 : top;
        sum0 += v0;
        sum1 += v1;
    }
    for (; k < bins; ++k) {
        double v = fresh * (y[2 * k] * y[2 * k] + y[2 * k + 1] * y[2 * k + 1]);
        if (Averaged) v += keep * p[k];
        p[k] = v;
        top = v > top ? v : top;
        sum0 += v;
    }
    return {top, sum0 + sum1};
}

}  // namespace

// ---- ChannelRecord ----------------------------------------------------------

ChannelRecord::~ChannelRecord() { releaseBuffers(); }

int32_t ChannelRecord::storeLengthFor(int32_t length) { return length + length / 4; }

bool ChannelRecord::allocateBuffers(int32_t length) {
    if (length == sampleCount && samples && powerSpectrum && length > 0) {
        std::memset(sampleStore, 0, storeBytes(sampleStoreLength));
        std::memset(powerSpectrum, 0, spectrumBytes(length));
        samples = sampleStore;
        return true;
    }
    releaseBuffers();
    if (length < 2 || length > INT32_MAX / 5 * 4) return false;
    sampleStoreLength = storeLengthFor(length);
    sampleStore = static_cast<double*>(allocatePages(storeBytes(sampleStoreLength)));
    powerSpectrum = static_cast<double*>(allocatePages(spectrumBytes(length)));
    samples = sampleStore;
    sampleCount = length;
    if (!sampleStore || !powerSpectrum) {
        releaseBuffers();
        return false;
    }
    return true;
}

void ChannelRecord::releaseBuffers() {
    releasePages(sampleStore, storeBytes(sampleStoreLength));
    releasePages(powerSpectrum, spectrumBytes(sampleCount));
    sampleStore = nullptr;
    sampleStoreLength = 0;
    samples = nullptr;
    powerSpectrum = nullptr;
    sampleCount = 0;
}

void ChannelRecord::clearMeasurements() {
    max = min = avg = rms = ueff = 0.0;
    total = freq = ampl0 = dcLevel = 0.0;
    sinad = enb = sfdr = snr = thd = 0.0;
}

// ---- Block statistics ---------------------------------------------------------

void updateBlockStatistics(ChannelRecord& channel, int averageCount) {
    if (!channel.samples || channel.sampleCount <= 0) return;
    const int k = averageCount < 1 ? 1 : averageCount;
    const double a = 1.0 / k;
    const double b = 1.0 - a;

    const double* x = channel.samples;
    const int32_t n = channel.sampleCount;
    double low = 1e32, high = -1e32;
    double s0 = 0.0, s1 = 0.0, q0 = 0.0, q1 = 0.0;
    int32_t i = 0;
    for (; i + 2 <= n; i += 2) {
        const double v0 = x[i], v1 = x[i + 1];
        low = v0 < low ? v0 : low;
        high = v0 > high ? v0 : high;
        low = v1 < low ? v1 : low;
        high = v1 > high ? v1 : high;
        s0 += v0;
        s1 += v1;
        q0 += v0 * v0;
        q1 += v1 * v1;
    }
    for (; i < n; ++i) {
        const double v = x[i];
        low = v < low ? v : low;
        high = v > high ? v : high;
        s0 += v;
        q0 += v * v;
    }
    const double mean = (s0 + s1) / n;
    const double meanSquare = (q0 + q1) / n;
    channel.dcLevel = mean;
    const double variance = meanSquare - mean * mean;
    const double deviation = variance > 0.0 ? std::sqrt(variance) : 0.0;
    const double rootMeanSquare = std::sqrt(meanSquare);

    channel.min = b * channel.min + a * low;
    channel.max = b * channel.max + a * high;
    channel.avg = b * channel.avg + a * mean;
    channel.rms = b * channel.rms + a * deviation;
    channel.ueff = b * channel.ueff + a * rootMeanSquare;
}

// ---- Tone analysis ------------------------------------------------------------

double sumBinGroup(const double* power, int32_t binCount, int32_t centre, int32_t halfWidth, double* refined) {
    if (refined) *refined = centre;
    if (!power || binCount <= 0) return 0.0;
    const int64_t lo = std::max<int64_t>(int64_t{centre} - halfWidth, 0);
    const int64_t hi = std::min<int64_t>(int64_t{centre} + halfWidth + 1, binCount);
    double sum = 0.0;
    for (int64_t j = lo; j < hi; ++j) sum += power[j];
    if (refined) {
        // The edge bins lo and hi - 1 stay out of both sides.
        double left = 0.0, right = 0.0;
        for (int64_t j = lo + 1; j < std::min<int64_t>(centre, hi - 1); ++j) left += power[j];
        for (int64_t j = std::max<int64_t>(int64_t{centre} + 1, lo + 1); j < hi - 1; ++j) right += power[j];
        if (left + right != 0.0) *refined = centre + (right - left) / (right + left);
    }
    return sum;
}

bool analyseTone(const double* power, int32_t binCount, int32_t harmonicCount, ToneResults* results, int32_t windowBins,
                 int32_t* harmonicBins, int32_t* fundamentalBin, double* refinedBin) {
    if (results) *results = ToneResults{0.0, 0.0, 0.0, 0.0, 0.0};
    if (fundamentalBin) *fundamentalBin = 0;
    if (!power || !results || binCount <= 0) return false;
    const int32_t bins = windowBins < 1 ? 1 : windowBins;
    const int32_t m = binCount;

    // One scan above the lowest bins: peak, smallest bin and total.
    const int32_t start = bins > kFirstToneBin ? bins : kFirstToneBin;
    if (start >= m) return true;
    double peak = power[start], smallest = power[start], total = 0.0;
    int32_t peakBin = 0, smallestBin = 0;
    for (int32_t i = start; i < m; ++i) {
        const double v = power[i];
        if (v > peak) {
            peak = v;
            peakBin = i;
        }
        if (v < smallest) {
            smallest = v;
            smallestBin = i;
        }
        total += v;
    }
    // The fundamental's group must lie whole above the lowest bins and below
    // the top of the spectrum.
    if (peakBin < start + bins || int64_t{peakBin} + bins >= m) return true;
    const int32_t k = peakBin;
    if (fundamentalBin) *fundamentalBin = k;

    // Largest spur above the fundamental's group.
    double spur = smallest;
    int32_t spurBin = smallestBin;
    for (int64_t j = int64_t{k} + bins + kSpurGap; j < int64_t{m} - 3; ++j) {
        if (power[j] > spur) {
            spur = power[j];
            spurBin = static_cast<int32_t>(j);
        }
    }

    double refined = k;
    double pf = sumBinGroup(power, m, k, bins, &refined);
    const double ps = sumBinGroup(power, m, spurBin, kSpurHalfWidth, nullptr);
    if (refinedBin) *refinedBin = refined;

    if (pf <= 0.0) pf = kSmallestNormal;
    double noise = total - pf;
    if (noise <= 0.0) noise = 0.1 * ps;
    // A spectrum without any noise or spur (only synthetic input has one)
    // would give an infinite SINAD.
    if (noise <= 0.0) noise = kSmallestNormal;
    const double sinad = 10.0 * (std::log10(pf) - std::log10(noise));
    const double enb = (sinad - 1.76) * kOneOverSixPointOhTwo;
    if (!(enb > 0.0 && sinad > 0.0)) return true;

    results->sinad = sinad;
    results->enb = enb;
    if (ps > 0.0) results->sfdr = 10.0 * (std::log10(pf) - std::log10(ps));

    // Harmonics of orders 2..harmonicCount+1, folded at the Nyquist bin m.
    double harmonics = 0.0;
    for (int32_t order = 2; order <= harmonicCount + 1; ++order) {
        const int64_t b = static_cast<int64_t>(order * refined + 0.5);
        const int64_t q = b / m;
        const int64_t r = b % m;
        const int32_t bin = static_cast<int32_t>(q % 2 != 0 ? m - r : r);
        harmonics += sumBinGroup(power, m, bin, kSpurHalfWidth, nullptr);
        if (harmonicBins) harmonicBins[order - 2] = bin;
    }
    if (noise - harmonics > 0.0) results->snr = 10.0 * (std::log10(pf) - std::log10(noise - harmonics));
    if (harmonics > 0.0) results->thd = 10.0 * (std::log10(harmonics) - std::log10(pf));
    return true;
}

uint32_t darkenedColour(uint32_t colour) {
    uint32_t result = colour & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t byte = (colour >> shift) & 0xFFu;
        result |= (byte > 64 ? byte - 64 : 0) << shift;
    }
    return result;
}

// ---- SignalAnalyser -------------------------------------------------------------

int SignalAnalyser::nextDither() {
    ditherState = ditherState * kLcgA + kLcgC;
    return static_cast<int>((ditherState >> 16) & 0x7FFF);
}

bool SignalAnalyser::prepare(int32_t windowLength, int32_t windowId) {
    int64_t length = 1;
    while (length < windowLength) length <<= 1;
    const bool sized = fftWindow.resize(length);
    fftWindow.computeWindow(windowId);
    fftWindow.ditherAmplitude = kDitherAmplitude;
    return sized;
}

void SignalAnalyser::updateScopeExtremes(const ChannelRecord* channels, const int32_t* channelShown, int channelCount) {
    if (!channels) return;
    const int count = channelCount > kChannelRecordCount ? kChannelRecordCount : channelCount;
    bool any = false;
    for (int i = 0; i < count && channelShown; ++i) {
        if (!channelShown[i]) continue;
        if (!any || channels[i].min < scopeMin) scopeMin = channels[i].min;
        if (!any || channels[i].max > scopeMax) scopeMax = channels[i].max;
        any = true;
    }
    if (!any) {
        scopeMin = channels[0].min;
        scopeMax = channels[0].max;
    }
}

void SignalAnalyser::prepareTransformInput(const double* samples, int count, double dcLevel) {
    FftWindow& window = fftWindow;
    if (!window.workBuffer || !window.windowBuffer || window.length == 0) return;
    const uint32_t length = window.length;
    const uint32_t n = !samples || count <= 0 ? 0 : (static_cast<uint32_t>(count) < length ? count : length);
    const double* x = samples;
    const double* w = window.windowBuffer;
    double* y = window.workBuffer;
    const double c = dcLevel;

    const double amplitude = window.ditherAmplitude;
    const double sum = amplitude > 0.0 ? windowSamples<true>(x, w, c, amplitude, n, y, ditherState)
                                       : windowSamples<false>(x, w, c, 0.0, n, y, ditherState);

    // Remove the windowed mean (the residue of the offset and the dither's
    // mean) and normalise the window's power gain.
    const double mean = window.coherentSum != 0.0 ? sum / window.coherentSum : 0.0;
    const double gain = window.gainFactor;
    for (uint32_t j = 0; j < n; ++j) y[j] = (y[j] - mean) * gain;
    // A window shorter than the transform is padded with zeros.
    if (n < length) std::memset(y + n, 0, static_cast<size_t>(length - n) * sizeof(double));
}

double SignalAnalyser::accumulatePowerSpectrum(int averageCount, double* spectrum, int binCount, double* peak) {
    if (!spectrum) return 0.0;
    FftWindow& window = fftWindow;
    if (!window.workBuffer || !window.windowBuffer || window.length == 0) return 0.0;
    const uint32_t length = window.length;
    const uint32_t bins = binCount <= 0 ? 0 : (static_cast<uint32_t>(binCount) < length / 2 ? binCount : length / 2);
    double* y = window.workBuffer;
    double* p = spectrum;

    // data[0] holds the DC term, data[1] the Nyquist term, which is dropped.
    y[0] *= kSqrtHalf;
    y[1] = 0.0;
    const double scale = 2.0 / (static_cast<double>(length) * length);

    // With a count above 1 an exponential average: the new spectrum weighs
    // 1/averageCount. The peak search starts from the smallest normal double.
    const SpectrumSums sums = averageCount <= 1 ? updateSpectrum<false>(y, p, bins, scale, 0.0, kSmallestNormal)
                                                : updateSpectrum<true>(y, p, bins, scale / averageCount,
                                                                       1.0 - 1.0 / averageCount, kSmallestNormal);
    if (peak) *peak = sums.peak;
    return std::sqrt(sums.sum);
}

double SignalAnalyser::analyseChannel(ChannelRecord& channel, double* ampl0) {
    FftWindow& window = fftWindow;
    if (!channel.hasBuffers() || !window.workBuffer || !window.windowBuffer || window.length == 0) return channel.total;
    // A channel window and a transform of different lengths meet on the
    // shorter one.
    const uint32_t length = window.length;
    const uint32_t count = static_cast<uint32_t>(channel.sampleCount) < length ? channel.sampleCount : length;
    prepareTransformInput(channel.samples, static_cast<int>(count), channel.dcLevel);
    if (!window.transform(0)) return channel.total;
    const int bins = static_cast<int>(std::min<uint32_t>(channel.sampleCount / 2, length / 2));
    channel.total = accumulatePowerSpectrum(spectrumAverageCount, channel.powerSpectrum, bins, &channel.powerPeak);
    if (ampl0) *ampl0 = std::sqrt(2.0 * window.enbw * channel.powerPeak);
    return channel.total;
}

bool SignalAnalyser::runSpectrumPass(ChannelRecord* channels, const SpectrumPassInput& input) {
    if (!channels || input.windowLength <= 0 || !isSpectrumView(input.viewMode) ||
        input.filledCount < input.windowLength)
        return false;
    FftWindow& window = fftWindow;
    if (!window.workBuffer || !window.windowBuffer || window.length == 0) return false;

    int count = input.activeChannelCount;
    if (count > kChannelRecordCount) count = kChannelRecordCount;
    if (workers_ && workers_->lanes() > 1 && count > 1 && prepareLanes(workers_->lanes())) {
        // Each channel starts from the dither state that it would find one
        // thread analysing the channels in order, so the lanes measure
        // exactly what one thread would.
        uint32_t ditherStart[kChannelRecordCount];
        uint32_t state = ditherState;
        for (int i = 0; i < count; ++i) {
            ditherStart[i] = state;
            const ChannelRecord& channel = channels[i];
            if (!channel.hasBuffers() || !(window.ditherAmplitude > 0.0)) continue;
            state = advanceDither(state, std::min<uint32_t>(static_cast<uint32_t>(channel.sampleCount), window.length));
        }
        const int lanes = workers_->lanes();
        workers_->run([&](int lane) {
            SignalAnalyser& analyser = lane == 0 ? *this : *lanes_[lane - 1];
            analyser.spectrumAverageCount = spectrumAverageCount;
            for (int i = lane; i < count; i += lanes) {
                analyser.ditherState = ditherStart[i];
                analyser.analyseSpectrumChannel(channels[i], i, input);
            }
        });
        ditherState = state;
    } else {
        for (int i = 0; i < count; ++i) analyseSpectrumChannel(channels[i], i, input);
    }
    const int32_t averaging = input.averagingSelection + 1;
    spectrumAverageCount = averaging < 1 ? 1 : averaging;
    return true;
}

void SignalAnalyser::setWorkers(ChannelWorkers* workers) {
    workers_ = workers;
    if (!workers_) lanes_.clear();
}

// Every further lane holds the same window in a record of its own.
bool SignalAnalyser::prepareLanes(int lanes) {
    const uint32_t length = fftWindow.length;
    const int32_t id = fftWindow.windowId;
    while (static_cast<int>(lanes_.size()) < lanes - 1) lanes_.push_back(std::make_unique<SignalAnalyser>());
    for (int lane = 0; lane < lanes - 1; ++lane) {
        FftWindow& mirror = lanes_[static_cast<size_t>(lane)]->fftWindow;
        const bool resized = mirror.length != length;
        if (resized && !mirror.resize(length)) {
            lanes_.clear();
            return false;
        }
        if (resized || mirror.windowId != id) mirror.computeWindow(id);
        mirror.ditherAmplitude = fftWindow.ditherAmplitude;
    }
    return true;
}

void SignalAnalyser::analyseSpectrumChannel(ChannelRecord& channel, int index, const SpectrumPassInput& input) {
    if (!channel.hasBuffers()) return;
    const uint32_t length = fftWindow.length;
    const int32_t windowBins = windowBinCount(input.windowId);
    const float level = static_cast<float>(-(10.0 * std::log10(length / 2.0) + kLevelLineFloorDb));
    const double binWidth = input.channelRate / length;

    double ampl0 = channel.ampl0;
    channel.total = analyseChannel(channel, &ampl0);
    channel.ampl0 = ampl0;

    int32_t harmonicBins[kHarmonicCount] = {};
    int32_t fundamentalBin = 0;
    double refinedBin = 0.0;
    ToneResults results = {0.0, 0.0, 0.0, 0.0, 0.0};
    const int32_t bins = static_cast<int32_t>(std::min<uint32_t>(channel.sampleCount / 2, length / 2));
    analyseTone(channel.powerSpectrum, bins, kHarmonicCount, &results, windowBins, harmonicBins, &fundamentalBin,
                &refinedBin);
    channel.freq = binWidth * refinedBin;
    channel.sinad = results.sinad;
    channel.enb = results.enb;
    channel.sfdr = results.sfdr;
    channel.snr = results.snr;
    channel.thd = results.thd;

    const uint32_t colour = input.channelColour ? input.channelColour[index] : 0;
    const uint32_t dark = darkenedColour(colour);
    MarkerRecord& line = channel.markers[0];
    line.kind = kMarkerLevelLine;
    line.colour = kLevelLineColour;
    line.reserved = 0;
    line.bin = 0;
    line.level = level;
    for (int r = 1; r <= 1 + kHarmonicCount; ++r) {
        MarkerRecord& marker = channel.markers[r];
        marker.kind = kMarkerBin;
        marker.colour = r == 1 ? colour : dark;
        marker.reserved = 0;
        marker.bin = r == 1 ? fundamentalBin : harmonicBins[r - 2];
        marker.channel = index;
    }
}
