#include "analysis/signal_metrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// The analyser with a window of length n holding window `id`, the dither the
// acquisition engine sets, and the 32 channel records.
class AnalysisBench {
public:
    AnalysisBench(uint32_t n, int32_t id) : length(n), windowId(id) {
        EXPECT_TRUE(analyser.fftWindow.resize(n));
        analyser.fftWindow.computeWindow(id);
        analyser.fftWindow.ditherAmplitude = kDitherAmplitude;
        for (int i = 0; i < kChannelRecordCount; ++i) colours[i] = 0x00102030u + static_cast<uint32_t>(i);
    }

    // Gives channel c a window of `samples` values x(i).
    void fill(int c, int32_t samples, const std::function<double(int32_t)>& x) {
        ChannelRecord& channel = channels[c];
        // Reallocating would clear the averaged spectrum too.
        if (channel.sampleCount != samples) {
            ASSERT_TRUE(channel.allocateBuffers(samples));
        }
        for (int32_t i = 0; i < samples; ++i) channel.samples[i] = x(i);
        updateBlockStatistics(channel, 1);
    }

    SpectrumPassInput input(int32_t activeChannels, int32_t viewMode = 1, int32_t averagingSelection = 0) const {
        return {static_cast<int32_t>(length),
                static_cast<int32_t>(length),
                activeChannels,
                static_cast<ViewMode>(viewMode),
                averagingSelection,
                windowId,
                rate,
                colours};
    }

    bool pass(int32_t activeChannels = 1, int32_t averagingSelection = 0) {
        return analyser.runSpectrumPass(channels, input(activeChannels, 1, averagingSelection));
    }

    uint32_t length;
    int32_t windowId;
    double rate = 48000.0;
    uint32_t colours[kChannelRecordCount];
    SignalAnalyser analyser;
    ChannelRecord channels[kChannelRecordCount];
};

std::function<double(int32_t)> sine(double amplitude, double cycles, uint32_t n, double offset = 0.0) {
    return [=](int32_t i) { return offset + amplitude * std::sin(2.0 * kPi * cycles * i / n); };
}

// The tone figures worked out bin by bin from their definitions, as a check
// on analyseTone: peak above start = max(B, 6), the fundamental's 2B + 1 bins,
// the largest bin from 4 bins past that group to M - 4 as the spur with its
// 7 bins, the harmonics' 7-bin groups at the rounded multiples of the refined
// bin folded at M, and a noise sum that is never taken below a tenth of the
// spur.
struct ReferenceTone {
    bool found = false;  // a fundamental whose SINAD and ENB are above 0
    int32_t fundamental = 0;
    double refined = 0.0;
    double sinad = 0.0, enb = 0.0, sfdr = 0.0, snr = 0.0, thd = 0.0;
    std::vector<int32_t> harmonicBins;
};

ReferenceTone referenceTone(const double* p, int32_t m, int32_t windowBins) {
    ReferenceTone tone;
    const int32_t b = windowBins < 1 ? 1 : windowBins;
    const int32_t start = b > 6 ? b : 6;
    const auto group = [&](int32_t centre, int32_t half) {
        double sum = 0.0;
        for (int32_t j = centre - half; j <= centre + half; ++j)
            if (j >= 0 && j < m) sum += p[j];
        return sum;
    };

    // The first largest and the first smallest bin after `start` (a maximum
    // or minimum at `start` itself counts as bin 0).
    int32_t peak = 0, smallest = 0;
    double total = 0.0;
    for (int32_t i = start; i < m; ++i) {
        if (p[i] > p[peak == 0 ? start : peak]) peak = i;
        if (p[i] < p[smallest == 0 ? start : smallest]) smallest = i;
        total += p[i];
    }
    if (peak < start + b || peak + b >= m) return tone;
    tone.fundamental = peak;

    int32_t spur = smallest;
    double spurValue = p[smallest == 0 ? start : smallest];
    for (int32_t j = peak + b + 4; j < m - 3; ++j)
        if (p[j] > spurValue) spurValue = p[spur = j];

    double left = 0.0, right = 0.0;
    for (int32_t d = 1; d < b; ++d) {
        left += p[peak - d];
        right += p[peak + d];
    }
    tone.refined = left + right != 0.0 ? peak + (right - left) / (right + left) : peak;

    const double pf = group(peak, b);
    const double ps = group(spur, 3);
    double noise = total - pf;
    if (noise <= 0.0) noise = 0.1 * ps;
    tone.sinad = 10.0 * std::log10(pf / noise);
    tone.enb = (tone.sinad - 1.76) / 6.02;
    if (!(tone.sinad > 0.0 && tone.enb > 0.0)) return tone;
    tone.found = true;
    if (ps > 0.0) tone.sfdr = 10.0 * std::log10(pf / ps);

    double harmonics = 0.0;
    for (int32_t order = 2; order <= 10; ++order) {
        const int64_t position = static_cast<int64_t>(std::floor(order * tone.refined + 0.5));
        const int64_t turn = position % (2 * int64_t{m});
        const int32_t bin = static_cast<int32_t>(turn > m ? 2 * m - turn : turn);
        tone.harmonicBins.push_back(bin);
        harmonics += group(bin, 3);
    }
    if (noise - harmonics > 0.0) tone.snr = 10.0 * std::log10(pf / (noise - harmonics));
    if (harmonics > 0.0) tone.thd = 10.0 * std::log10(harmonics / pf);
    return tone;
}

// ---- Tone metrics against signals of known power ---------------------------------

// A bin-centred sine of peak amplitude A: ampl0 = A, total = A / sqrt 2 and
// the frequency of its bin, with every window, the rectangle included.
TEST(SpectrumPass, BinCentredSineGivesItsAmplitudeLevelAndFrequency) {
    const uint32_t n = 4096;
    const int32_t bin = 100;
    for (int32_t id = 0; id < kFftWindowCount; ++id) {
        for (double amplitude : {1.0, 0.25}) {
            SCOPED_TRACE("window " + std::to_string(id) + ", A " + std::to_string(amplitude));
            AnalysisBench bench(n, id);
            bench.fill(0, n, sine(amplitude, bin, n, 0.3));
            ASSERT_TRUE(bench.pass());
            const ChannelRecord& channel = bench.channels[0];
            // The dither (a few microvolts) is all that separates them.
            EXPECT_NEAR(channel.ampl0, amplitude, 1e-7);
            EXPECT_NEAR(channel.total, amplitude / std::sqrt(2.0), 1e-6);
            EXPECT_NEAR(channel.freq, bin * 48000.0 / n, 1e-4);
            EXPECT_EQ(channel.markers[1].bin, bin);
            EXPECT_GT(channel.sinad, 80.0);
        }
    }
}

// An ideal 16-bit converter (rounding to the nearest code) sampling a
// coherent sine of 0.99 of full scale: its quantization noise of 1/12 code^2
// alone sets SINAD, 10 log10((A^2 / 2) / (1 / 12)) = 98.0 dB, close to
// 6.02 * 16 + 1.76 dB.
TEST(SpectrumPass, IdealSixteenBitQuantizerGivesSixteenBits) {
    const uint32_t n = 1u << 16;
    const double amplitude = 32767.0 * 0.99;
    const double idealSinad = 10.0 * std::log10(amplitude * amplitude / 2.0 * 12.0);
    for (int32_t id : {12, 13}) {
        for (double cycles : {1999.0, 4099.0, 257.0}) {
            SCOPED_TRACE("window " + std::to_string(id) + ", cycles " + std::to_string(cycles));
            AnalysisBench bench(n, id);
            bench.fill(0, n,
                       [&](int32_t i) { return std::nearbyint(amplitude * std::sin(2.0 * kPi * cycles * i / n)); });
            ASSERT_TRUE(bench.pass());
            const ChannelRecord& channel = bench.channels[0];
            EXPECT_NEAR(channel.sinad, idealSinad, 0.1);
            EXPECT_NEAR(channel.sinad, 98.1, 0.3);
            EXPECT_NEAR(channel.enb, 16.0, 0.05);
            EXPECT_NEAR(channel.freq, cycles * 48000.0 / n, 1e-6);
            EXPECT_GT(channel.sfdr, channel.sinad);
        }
    }
}

// Second and third harmonics at -60 and -70 dBc: THD = 10 log10(1e-6 + 1e-7),
// the second harmonic is the largest spur, and noise and distortion are the
// harmonics.
TEST(SpectrumPass, HarmonicsGiveThdAndSfdr) {
    const uint32_t n = 8192;
    const int32_t bin = 301;
    for (int32_t id : {12, 13}) {
        SCOPED_TRACE(id);
        AnalysisBench bench(n, id);
        bench.fill(0, n, [&](int32_t i) {
            const double phase = 2.0 * kPi * bin * i / n;
            return std::sin(phase) + 1e-3 * std::sin(2.0 * phase + 0.4) + std::pow(10.0, -3.5) * std::cos(3.0 * phase);
        });
        ASSERT_TRUE(bench.pass());
        const ChannelRecord& channel = bench.channels[0];
        EXPECT_NEAR(channel.thd, -59.586, 0.02);
        EXPECT_NEAR(channel.sfdr, 60.0, 0.02);
        EXPECT_NEAR(channel.sinad, 59.586, 0.02);
        EXPECT_GT(channel.snr, 80.0);
        EXPECT_EQ(channel.markers[2].bin, 2 * bin);
        EXPECT_EQ(channel.markers[3].bin, 3 * bin);
    }
}

// Tones between bins, with and without harmonics, through the whole pass:
// the figures are those of the reference worked out on the pass's own
// averaged spectrum. Between bins a tone leaks into the bins next to its
// group and its harmonics spread past 7 bins, which is where the spur search
// and the group widths show.
TEST(SpectrumPass, TonesBetweenBinsAgreeWithTheReferenceAnalysis) {
    const uint32_t n = 8192;
    const struct {
        int32_t windowId;
        double cycles;
        std::vector<double> harmonicsDbc;  // orders 2, 3, ...
    } cases[] = {
        {0, 130.5, {}},
        {1, 200.37, {}},
        {1, 321.5, {-70.0, -80.0}},
        {2, 150.5, {-90.0}},
        {3, 333.25, {}},
        {4, 401.5, {-60.0, -75.0}},
        {5, 255.7, {}},
        {6, 87.8, {-80.0}},
        {7, 612.5, {}},
        {8, 190.2, {-70.0}},
        {9, 250.5, {-65.0}},
        {10, 1000.6, {}},
        {11, 301.33, {-70.0, -70.0}},
        {12, 777.5, {}},
        {12, 457.25, {-85.0, -95.0}},
        {13, 123.45, {-100.0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("window " + std::to_string(c.windowId) + ", cycles " + std::to_string(c.cycles));
        AnalysisBench bench(n, c.windowId);
        bench.fill(0, n, [&](int32_t i) {
            const double phase = 2.0 * kPi * c.cycles * i / n;
            double x = 0.9 * std::sin(phase + 0.3) + 0.05;
            for (size_t h = 0; h < c.harmonicsDbc.size(); ++h)
                x += 0.9 * std::pow(10.0, c.harmonicsDbc[h] / 20.0) * std::cos((h + 2) * phase + 0.7 * h);
            return x;
        });
        ASSERT_TRUE(bench.pass());
        const ChannelRecord& channel = bench.channels[0];
        const ReferenceTone want = referenceTone(channel.powerSpectrum, n / 2, windowBinCount(c.windowId));
        ASSERT_TRUE(want.found);
        EXPECT_EQ(channel.markers[1].bin, want.fundamental);
        EXPECT_NEAR(channel.freq, want.refined * 48000.0 / n, 1e-9);
        EXPECT_NEAR(channel.sinad, want.sinad, 1e-9);
        EXPECT_NEAR(channel.enb, want.enb, 1e-9);
        EXPECT_NEAR(channel.sfdr, want.sfdr, 1e-9);
        EXPECT_NEAR(channel.snr, want.snr, 1e-9);
        EXPECT_NEAR(channel.thd, want.thd, 1e-9);
        for (int r = 0; r < kHarmonicCount; ++r)
            EXPECT_EQ(channel.markers[2 + r].bin, want.harmonicBins[static_cast<size_t>(r)]) << "order " << r + 2;
    }
}

// A constant input leaves only the dither: its largest bin becomes the
// fundamental, far below 1.76 dB SINAD, so the five results stay 0.
TEST(SpectrumPass, ConstantInputGivesNoResults) {
    AnalysisBench bench(4096, 1);
    bench.fill(0, 4096, [](int32_t) { return -0.75; });
    ChannelRecord& channel = bench.channels[0];
    channel.sinad = channel.enb = channel.sfdr = channel.snr = channel.thd = 99.0;
    ASSERT_TRUE(bench.pass());
    EXPECT_EQ(channel.sinad, 0.0);
    EXPECT_EQ(channel.enb, 0.0);
    EXPECT_EQ(channel.sfdr, 0.0);
    EXPECT_EQ(channel.snr, 0.0);
    EXPECT_EQ(channel.thd, 0.0);
    EXPECT_LT(channel.total, 1e-4);
    EXPECT_EQ(channel.rms, 0.0);
    EXPECT_EQ(channel.avg, -0.75);
    EXPECT_EQ(channel.ueff, 0.75);
}

// ---- Averaging ---------------------------------------------------------------------

// The first pass after a restart replaces the spectrum; later passes blend
// the new one in with weight 1 / count.
TEST(SpectrumPass, AveragingCountBlendsLaterPasses) {
    const uint32_t n = 2048;
    AnalysisBench bench(n, 1);
    bench.fill(0, n, sine(1.0, 50, n));
    ASSERT_TRUE(bench.pass(1, 3));
    EXPECT_EQ(bench.analyser.spectrumAverageCount, 4);
    EXPECT_NEAR(bench.channels[0].ampl0, 1.0, 2e-6);

    // Amplitude 2: the peak power is (4 + 3 * 1) / 4 of the first one's.
    bench.fill(0, n, sine(2.0, 50, n));
    ASSERT_TRUE(bench.pass(1, 3));
    EXPECT_NEAR(bench.channels[0].ampl0, std::sqrt(7.0 / 4.0), 2e-6);
    EXPECT_NEAR(bench.channels[0].total, std::sqrt(7.0 / 8.0), 2e-6);

    // A restart (count 1) replaces it again.
    bench.analyser.spectrumAverageCount = 1;
    ASSERT_TRUE(bench.pass(1, 0));
    EXPECT_NEAR(bench.channels[0].ampl0, 2.0, 2e-6);
    EXPECT_EQ(bench.analyser.spectrumAverageCount, 1);
}

// accumulatePowerSpectrum on a hand-made transform of length 32: bin k power
// 2 |X_k|^2 / N^2, DC scaled by 1/2, the Nyquist term dropped.
TEST(PowerSpectrum, ScalesReplacesAndBlends) {
    const uint32_t n = 32;
    const struct {
        int averageCount;
        double keep;  // weight of the old spectrum
    } cases[] = {{1, 0.0}, {0, 0.0}, {-3, 0.0}, {2, 0.5}, {5, 0.8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.averageCount);
        SignalAnalyser analyser;
        ASSERT_TRUE(analyser.fftWindow.resize(n));
        analyser.fftWindow.computeWindow(0);
        double* y = analyser.fftWindow.workBuffer;
        y[0] = 32.0;  // DC: power 32^2 / 2 * 2 / 32^2 = 1
        y[1] = 1e6;   // Nyquist, dropped
        y[6] = 48.0;  // bin 3: 2 * (48^2 + 64^2) / 32^2 = 12.5
        y[7] = -64.0;
        std::vector<double> spectrum(n / 2, 4.0);
        double peak = -1.0;
        const double total = analyser.accumulatePowerSpectrum(c.averageCount, spectrum.data(), n / 2, &peak);

        const double fresh = 1.0 - c.keep;
        std::vector<double> want(n / 2, 4.0 * c.keep);
        want[0] += fresh * 1.0;
        want[3] += fresh * 12.5;
        double sum = 0.0;
        for (uint32_t k = 0; k < n / 2; ++k) {
            EXPECT_NEAR(spectrum[k], want[k], 1e-12) << "bin " << k;
            sum += want[k];
        }
        EXPECT_NEAR(peak, want[3], 1e-12);
        EXPECT_NEAR(total, std::sqrt(sum), 1e-12);
    }
}

TEST(PowerSpectrum, OnlyTheGivenBinsAndOnlyWithBuffers) {
    SignalAnalyser analyser;
    std::vector<double> spectrum(16, 4.0);
    double peak = -1.0;
    // No window buffers: nothing changes.
    EXPECT_EQ(analyser.accumulatePowerSpectrum(1, spectrum.data(), 16, &peak), 0.0);
    EXPECT_EQ(peak, -1.0);
    EXPECT_EQ(spectrum, std::vector<double>(16, 4.0));

    ASSERT_TRUE(analyser.fftWindow.resize(32));
    analyser.fftWindow.computeWindow(0);
    EXPECT_EQ(analyser.accumulatePowerSpectrum(1, nullptr, 16, &peak), 0.0);
    EXPECT_EQ(peak, -1.0);

    // Ten bins asked for: the others keep their values. An empty transform
    // leaves the peak at the smallest normal double.
    analyser.accumulatePowerSpectrum(1, spectrum.data(), 10, &peak);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(spectrum[k], k < 10 ? 0.0 : 4.0) << "bin " << k;
    EXPECT_EQ(peak, 2.2250738585072014e-308);

    // More bins than the transform has: cut to N/2.
    std::vector<double> wide(40, 4.0);
    analyser.accumulatePowerSpectrum(1, wide.data(), 40, &peak);
    for (int k = 0; k < 40; ++k) EXPECT_EQ(wide[k], k < 16 ? 0.0 : 4.0) << "bin " << k;
}

// ---- Transform input -------------------------------------------------------------------

// The dither source is the classic 32-bit generator, first values from state 1.
TEST(TransformInput, DitherIsTheClassicGeneratorFromStateOne) {
    SignalAnalyser analyser;
    const int want[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int v : want) EXPECT_EQ(analyser.nextDither(), v);
}

// With zero samples and the rectangle, each transform input is its dither
// step less the common mean, so consecutive inputs differ as the dither
// values do, in the generator's order, however many samples there are.
TEST(TransformInput, DitherFollowsTheGeneratorSampleBySample) {
    for (int count : {32, 31, 30, 29, 7}) {
        SCOPED_TRACE(count);
        SignalAnalyser analyser;
        ASSERT_TRUE(analyser.fftWindow.resize(32));
        analyser.fftWindow.computeWindow(0);
        analyser.fftWindow.ditherAmplitude = 0.5;
        analyser.nextDither();  // not from the first state
        SignalAnalyser reference;
        reference.nextDither();

        const std::vector<double> zeros(32, 0.0);
        analyser.prepareTransformInput(zeros.data(), count, 0.0);
        std::vector<int> values(count);
        for (int& v : values) v = reference.nextDither();
        const double* y = analyser.fftWindow.workBuffer;
        for (int i = 1; i < count; ++i) EXPECT_NEAR(y[i] - y[0], 0.5 * (values[i] - values[0]), 1e-9) << "i = " << i;
        EXPECT_EQ(analyser.ditherState, reference.ditherState);
        EXPECT_EQ(analyser.nextDither(), reference.nextDither());
    }
}

// Without dither: ((x - c) w - m) * gainFactor, m the windowed sum over the
// window's sum; a window shorter than the transform is padded with zeros and
// a longer one is cut.
TEST(TransformInput, RemovesTheMeanNormalisesAndPads) {
    const uint32_t n = 64;
    SignalAnalyser analyser;
    ASSERT_TRUE(analyser.fftWindow.resize(n));
    analyser.fftWindow.computeWindow(0);
    double* y = analyser.fftWindow.workBuffer;

    std::vector<double> x(2 * n);
    for (uint32_t i = 0; i < 2 * n; ++i) x[i] = 1.0 + (i % 3);  // 1, 2, 3, ...
    for (int count : {64, 128, 48, 0}) {
        SCOPED_TRACE(count);
        for (uint32_t i = 0; i < n; ++i) y[i] = 1e9;
        analyser.prepareTransformInput(x.data(), count, 0.5);
        const int used = count < 64 ? count : 64;
        double sum = 0.0;
        for (int i = 0; i < used; ++i) sum += x[i] - 0.5;
        const double mean = sum / n;
        for (uint32_t i = 0; i < n; ++i) {
            const double want = static_cast<int>(i) < used ? x[i] - 0.5 - mean : 0.0;
            EXPECT_NEAR(y[i], want, 1e-12) << "i = " << i;
        }
    }
    // No samples at all: a zero transform input.
    analyser.prepareTransformInput(nullptr, 64, 0.0);
    for (uint32_t i = 0; i < n; ++i) EXPECT_EQ(y[i], 0.0) << "i = " << i;
}

// With a window other than the rectangle the windowed mean m is taken from
// every windowed sample as it is (not scaled by w[i]):
// y[i] = ((x[i] - c) w[i] + (r_i - 16383) a - m) gainFactor, m = S / sum w,
// S the sum of the windowed, dithered samples. Without dither and with the
// reference generator's values r_i for the dither.
TEST(TransformInput, WindowedSamplesLessTheWindowedMeanTimesTheGain) {
    const uint32_t n = 256;
    std::vector<double> x(n);
    for (uint32_t i = 0; i < n; ++i) x[i] = 0.4 + 0.002 * i + std::sin(0.37 * i);
    const double c = 0.25;
    for (int32_t id : {1, 4, 8, 12}) {
        for (double dither : {0.0, 1e-4}) {
            SCOPED_TRACE("window " + std::to_string(id) + ", dither " + std::to_string(dither));
            SignalAnalyser analyser;
            ASSERT_TRUE(analyser.fftWindow.resize(n));
            analyser.fftWindow.computeWindow(id);
            analyser.fftWindow.ditherAmplitude = dither;
            SignalAnalyser reference;

            analyser.prepareTransformInput(x.data(), n, c);

            const double* w = analyser.fftWindow.windowBuffer;
            std::vector<long double> v(n);
            long double sum = 0.0L, windowSum = 0.0L, windowSquares = 0.0L;
            for (uint32_t i = 0; i < n; ++i) {
                v[i] = (x[i] - c) * static_cast<long double>(w[i]);
                if (dither > 0.0) v[i] += (reference.nextDither() - 16383) * static_cast<long double>(dither);
                sum += v[i];
                windowSum += w[i];
                windowSquares += w[i] * static_cast<long double>(w[i]);
            }
            const long double mean = sum / windowSum;
            const long double gain = std::sqrt(n / windowSquares);
            const double* y = analyser.fftWindow.workBuffer;
            for (uint32_t i = 0; i < n; ++i)
                ASSERT_NEAR(y[i], static_cast<double>((v[i] - mean) * gain), 1e-12) << "i = " << i;
            if (dither > 0.0) {
                EXPECT_EQ(analyser.ditherState, reference.ditherState);
            }
        }
    }
}

TEST(TransformInput, NothingHappensWithoutWindowBuffers) {
    SignalAnalyser analyser;
    analyser.fftWindow.ditherAmplitude = kDitherAmplitude;
    const std::vector<double> x(64, 1.0);
    analyser.prepareTransformInput(x.data(), 64, 0.0);
    EXPECT_EQ(analyser.fftWindow.workBuffer, nullptr);
    EXPECT_EQ(analyser.ditherState, 1u);

    ChannelRecord channel;
    ASSERT_TRUE(channel.allocateBuffers(64));
    channel.total = 5.0;
    double ampl0 = 6.0;
    EXPECT_EQ(analyser.analyseChannel(channel, &ampl0), 5.0);
    EXPECT_EQ(ampl0, 6.0);
}

// ---- Bin groups and tone analysis ------------------------------------------------------------

TEST(BinGroup, SumsAndRefinedCentres) {
    // power[j] = j + 1, ten bins.
    std::vector<double> power(10);
    for (int j = 0; j < 10; ++j) power[j] = j + 1;
    const struct {
        const char* name;
        int32_t centre, halfWidth;
        double sum, refined;
    } cases[] = {
        {"inside", 5, 2, 4 + 5 + 6 + 7 + 8, 5 + (7.0 - 5.0) / (7.0 + 5.0)},
        {"cut at 0", 1, 3, 1 + 2 + 3 + 4 + 5, 1 + (7.0 - 0.0) / 7.0},
        {"cut at the top", 9, 2, 8 + 9 + 10, 9 + (0.0 - 9.0) / 9.0},
        {"rectangle: no neighbours", 5, 1, 5 + 6 + 7, 5.0},
        {"one bin", 5, 0, 6, 5.0},
        {"whole spectrum", 4, 20, 55, 4 + (30.0 - 9.0) / (30.0 + 9.0)},  // L bins 1..3, R bins 5..8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double refined = -1.0;
        EXPECT_DOUBLE_EQ(sumBinGroup(power.data(), 10, c.centre, c.halfWidth, &refined), c.sum);
        EXPECT_DOUBLE_EQ(refined, c.refined);
        EXPECT_DOUBLE_EQ(sumBinGroup(power.data(), 10, c.centre, c.halfWidth, nullptr), c.sum);
    }
    double refined = -1.0;
    EXPECT_EQ(sumBinGroup(nullptr, 10, 5, 2, &refined), 0.0);
    EXPECT_EQ(refined, 5.0);
    EXPECT_EQ(sumBinGroup(power.data(), 0, 5, 2, &refined), 0.0);
}

// A flat floor with one tone: a peak bin and its two neighbours at half its
// power on each side (so the refined bin is the peak bin, plus `skew` to the
// right when the right neighbour is stronger).
std::vector<double> toneSpectrum(int32_t bins, int32_t peak, double floor = 1e-12) {
    std::vector<double> power(bins, floor);
    power[peak] = 1.0;
    for (int d : {1, 2}) {
        if (peak - d >= 0) power[peak - d] = 0.5 / d;
        if (peak + d < bins) power[peak + d] = 0.5 / d;
    }
    return power;
}

// Where the folded harmonic should land: frequencies above the Nyquist bin M
// mirror back into 0..M, with period 2M.
int32_t foldedBin(int64_t b, int32_t m) {
    const int64_t r = b % (2 * m);
    return static_cast<int32_t>(r > m ? 2 * m - r : r);
}

TEST(ToneAnalysis, HarmonicsFoldAtTheNyquistBin) {
    const int32_t m = 512;
    for (int32_t peak : {200, 256, 171, 37, 480}) {
        SCOPED_TRACE(peak);
        const std::vector<double> power = toneSpectrum(m, peak);
        ToneResults results;
        int32_t harmonics[9];
        int32_t fundamental = -1;
        double refined = -1.0;
        ASSERT_TRUE(analyseTone(power.data(), m, 9, &results, 4, harmonics, &fundamental, &refined));
        EXPECT_EQ(fundamental, peak);
        EXPECT_EQ(refined, peak);
        ASSERT_GT(results.sinad, 0.0);
        for (int order = 2; order <= 10; ++order)
            EXPECT_EQ(harmonics[order - 2], foldedBin(int64_t{order} * peak, m)) << "order " << order;
    }
    // The worked examples: refined bin 200 of 512, orders 3 and 5; a position
    // that is an odd multiple of M lands on bin M.
    const std::vector<double> at200 = toneSpectrum(m, 200);
    ToneResults results;
    int32_t harmonics[9];
    analyseTone(at200.data(), m, 9, &results, 4, harmonics, nullptr, nullptr);
    EXPECT_EQ(harmonics[1], 424);
    EXPECT_EQ(harmonics[3], 24);
    const std::vector<double> at256 = toneSpectrum(m, 256);
    analyseTone(at256.data(), m, 9, &results, 4, harmonics, nullptr, nullptr);
    EXPECT_EQ(harmonics[0], 512);
    EXPECT_EQ(harmonics[4], 512);
}

// The fundamental's group must lie whole inside start = max(B, 6) .. M - 1.
TEST(ToneAnalysis, PeakTooCloseToTheEdgesGivesNoFundamental) {
    const int32_t m = 512;
    const struct {
        int32_t windowBins, peak;
        bool found;
    } cases[] = {
        {4, 3, false},   {4, 9, false},  {4, 10, true},  {4, 507, true},  {4, 508, false},
        {4, 511, false}, {8, 15, false}, {8, 16, true},  {8, 503, true},  {8, 504, false},
        {0, 6, false},   {0, 7, true},   {0, 510, true}, {0, 511, false}, {-3, 7, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("B " + std::to_string(c.windowBins) + ", peak " + std::to_string(c.peak));
        std::vector<double> power(m, 1e-15);
        power[c.peak] = 1.0;
        ToneResults results;
        int32_t harmonics[9];
        for (int32_t& h : harmonics) h = -1;
        int32_t fundamental = -1;
        double refined = -1.0;
        ASSERT_TRUE(analyseTone(power.data(), m, 9, &results, c.windowBins, harmonics, &fundamental, &refined));
        if (c.found) {
            EXPECT_EQ(fundamental, c.peak);
            EXPECT_EQ(refined, c.peak);
            EXPECT_GT(results.sinad, 100.0);
        } else {
            EXPECT_EQ(fundamental, 0);
            EXPECT_EQ(refined, -1.0);
            EXPECT_EQ(harmonics[0], -1);
            EXPECT_EQ(results.sinad, 0.0);
            EXPECT_EQ(results.enb, 0.0);
            EXPECT_EQ(results.sfdr, 0.0);
            EXPECT_EQ(results.snr, 0.0);
            EXPECT_EQ(results.thd, 0.0);
        }
    }
}

TEST(ToneAnalysis, RefusesMissingInputsAndTinySpectra) {
    const std::vector<double> power = toneSpectrum(64, 20);
    ToneResults results;
    int32_t fundamental = -1;
    EXPECT_FALSE(analyseTone(nullptr, 64, 9, &results, 4, nullptr, &fundamental, nullptr));
    EXPECT_FALSE(analyseTone(power.data(), 64, 9, nullptr, 4, nullptr, nullptr, nullptr));
    EXPECT_FALSE(analyseTone(power.data(), 0, 9, &results, 4, nullptr, nullptr, nullptr));
    // Fewer bins than the lowest analysed bin: nothing found, nothing read.
    EXPECT_TRUE(analyseTone(power.data(), 5, 9, &results, 4, nullptr, &fundamental, nullptr));
    EXPECT_EQ(fundamental, 0);
    EXPECT_EQ(results.sinad, 0.0);
}

// A spectrum that is only the tone (no floor, no spur) keeps finite results.
TEST(ToneAnalysis, NoiselessSpectrumGivesFiniteResults) {
    const std::vector<double> power = toneSpectrum(256, 40, 0.0);
    ToneResults results;
    int32_t harmonics[9];
    ASSERT_TRUE(analyseTone(power.data(), 256, 9, &results, 4, harmonics, nullptr, nullptr));
    EXPECT_TRUE(std::isfinite(results.sinad));
    EXPECT_TRUE(std::isfinite(results.enb));
    EXPECT_GT(results.sinad, 1000.0);
}

// A spectrum set bin by bin, for the window bin counts B of the list, with
// the figures in closed form. On a floor f: the fundamental at bin 100 over
// its 2B + 1 bins; three bins just past its group, stronger than anything
// beyond (the leakage of a tone between bins), that the spur search skips; a
// spur at 450 whose 7-bin group is 4.4e-6 and whose wider skirt is not part
// of it; the second harmonic at 200 with a 7-bin group of 2.2e-6 and a skirt
// past it, the third at 300.
TEST(ToneAnalysis, HandSetSpectrumGivesClosedFormFigures) {
    const int32_t m = 512, k = 100;
    const double f = 1e-12;
    for (int32_t b : {4, 5, 7, 9, 11}) {
        SCOPED_TRACE("B " + std::to_string(b));
        std::vector<double> p(m, f);
        double pf = 0.5;
        p[k] = 0.5;
        for (int32_t d = 1; d <= b; ++d) {
            p[k - d] = p[k + d] = 0.5 * std::ldexp(1.0, -d);
            pf += 2.0 * p[k + d];
        }
        p[k + b + 1] = 1e-4;
        p[k + b + 2] = 8e-5;
        p[k + b + 3] = 6e-5;
        p[450] = 2e-6;
        p[200] = 1e-6;
        p[300] = 3e-7;
        p[299] = p[301] = 5e-8;
        for (int32_t d = 1; d <= b; ++d) {
            p[450 - d] = p[450 + d] = d <= 3 ? 4e-7 : 2e-8;
            p[200 - d] = p[200 + d] = d <= 3 ? 2e-7 : 1e-8;
        }
        const double ps = 2e-6 + 6 * 4e-7;
        // Bins 300 +-2, +-3 and the other seven groups (24, 124, 224, 324,
        // 400, 424, 500) are floor.
        const double hs = (1e-6 + 6 * 2e-7) + (3e-7 + 2 * 5e-8 + 4 * f) + 7 * 7 * f;
        double total = 0.0;
        for (int32_t i = b > 6 ? b : 6; i < m; ++i) total += p[i];
        const double noise = total - pf;
        const double sinad = 10.0 * std::log10(pf / noise);

        ToneResults results;
        int32_t harmonics[9];
        int32_t fundamental = -1;
        double refined = -1.0;
        ASSERT_TRUE(analyseTone(p.data(), m, 9, &results, b, harmonics, &fundamental, &refined));
        EXPECT_EQ(fundamental, k);
        EXPECT_EQ(refined, k);
        EXPECT_NEAR(results.sinad, sinad, 1e-9);
        EXPECT_NEAR(results.enb, (sinad - 1.76) / 6.02, 1e-9);
        EXPECT_NEAR(results.sfdr, 10.0 * std::log10(pf / ps), 1e-9);
        EXPECT_NEAR(results.snr, 10.0 * std::log10(pf / (noise - hs)), 1e-9);
        EXPECT_NEAR(results.thd, 10.0 * std::log10(hs / pf), 1e-9);
        const int32_t wantBins[9] = {200, 300, 400, 500, 424, 324, 224, 124, 24};
        for (int r = 0; r < 9; ++r) EXPECT_EQ(harmonics[r], wantBins[r]) << "order " << r + 2;
    }
}

// With no power above the lowest bins outside the fundamental's group the
// noise sum is 0, and a tenth of the spur's power takes its place. Every bin
// past the group is 0, so the spur is the smallest bin of the scan, which
// stands at bin 0 (no bin is below the first one): its group is the DC bins
// 0..3, 1e-6 in all. Pf = 1: SINAD = 10 log10(1 / 1e-7) = 70 dB, SFDR = 60 dB,
// SNR = SINAD (the harmonics are empty), no THD. With the fundamental just
// below the top the spur search range is empty and bin 0 stands in all the
// same.
TEST(ToneAnalysis, NoNoiseOutsideTheToneTakesATenthOfTheSpur) {
    const int32_t m = 512;
    const struct { int32_t peak, windowBins; } cases[] = {{100, 4}, {507, 4}, {60, 7}, {300, 11}};
    for (const auto& c : cases) {
        SCOPED_TRACE("peak " + std::to_string(c.peak) + ", B " + std::to_string(c.windowBins));
        std::vector<double> p(m, 0.0);
        p[0] = 4e-7;
        p[1] = 3e-7;
        p[2] = 2e-7;
        p[3] = 1e-7;
        p[c.peak] = 0.5;
        p[c.peak - 1] = p[c.peak + 1] = 0.25;

        ToneResults results;
        int32_t fundamental = -1;
        ASSERT_TRUE(analyseTone(p.data(), m, 9, &results, c.windowBins, nullptr, &fundamental, nullptr));
        EXPECT_EQ(fundamental, c.peak);
        const double sinad = 10.0 * std::log10(1.0 / (0.1 * 1e-6));
        EXPECT_NEAR(results.sinad, 70.0, 1e-9);
        EXPECT_NEAR(results.sinad, sinad, 1e-12);
        EXPECT_NEAR(results.enb, (70.0 - 1.76) / 6.02, 1e-9);
        EXPECT_NEAR(results.sfdr, 60.0, 1e-9);
        EXPECT_NEAR(results.snr, 70.0, 1e-9);
        EXPECT_EQ(results.thd, 0.0);
    }
}

// ---- Block statistics and scope extremes ------------------------------------------------

TEST(BlockStatistics, CountOfOneGivesTheLatestWindow) {
    ChannelRecord channel;
    ASSERT_TRUE(channel.allocateBuffers(4));
    const double x[] = {1.0, -3.0, 2.0, 4.0};  // mean 1, mean square 7.5
    for (int i = 0; i < 4; ++i) channel.samples[i] = x[i];
    for (int count : {1, 0, -5}) {
        SCOPED_TRACE(count);
        channel.max = channel.min = channel.avg = channel.rms = channel.ueff = 123.0;
        updateBlockStatistics(channel, count);
        EXPECT_EQ(channel.min, -3.0);
        EXPECT_EQ(channel.max, 4.0);
        EXPECT_EQ(channel.avg, 1.0);
        EXPECT_EQ(channel.dcLevel, 1.0);
        EXPECT_DOUBLE_EQ(channel.rms, std::sqrt(6.5));
        EXPECT_DOUBLE_EQ(channel.ueff, std::sqrt(7.5));
    }
}

// From 0, a constant c approaches as c (1 - (1 - 1/k)^j) after j batches;
// its deviation stays 0 and dcLevel is c at once.
TEST(BlockStatistics, AveragesApproachExponentially) {
    for (int k : {2, 4, 10}) {
        for (double c : {2.0, -0.5}) {
            SCOPED_TRACE("k " + std::to_string(k) + ", c " + std::to_string(c));
            ChannelRecord channel;
            ASSERT_TRUE(channel.allocateBuffers(256));
            for (int i = 0; i < 256; ++i) channel.samples[i] = c;
            for (int j = 1; j <= 5; ++j) {
                updateBlockStatistics(channel, k);
                const double reached = 1.0 - std::pow(1.0 - 1.0 / k, j);
                EXPECT_NEAR(channel.avg, c * reached, 1e-12);
                EXPECT_NEAR(channel.min, c * reached, 1e-12);
                EXPECT_NEAR(channel.max, c * reached, 1e-12);
                EXPECT_NEAR(channel.ueff, std::fabs(c) * reached, 1e-12);
                EXPECT_EQ(channel.rms, 0.0);
                EXPECT_EQ(channel.dcLevel, c);
            }
        }
    }
}

TEST(BlockStatistics, ChannelWithoutBuffersIsLeftAlone) {
    ChannelRecord channel;
    channel.max = 7.0;
    channel.dcLevel = 8.0;
    updateBlockStatistics(channel, 1);
    EXPECT_EQ(channel.max, 7.0);
    EXPECT_EQ(channel.dcLevel, 8.0);
}

TEST(ScopeExtremes, ShownChannelsOrChannelZero) {
    ChannelRecord channels[kChannelRecordCount];
    for (int i = 0; i < kChannelRecordCount; ++i) {
        channels[i].min = -1.0 - i;
        channels[i].max = 1.0 + i;
    }
    channels[3].min = 0.5;  // a minimum above the others' maxima
    const struct {
        const char* name;
        std::vector<int> shown;
        int channelCount;
        double min, max;
    } cases[] = {
        {"none shown: channel 0", {}, 8, -1.0, 1.0},
        {"one shown", {5}, 8, -6.0, 6.0},
        {"several shown", {3, 1, 6}, 8, -7.0, 7.0},
        {"first shown has the larger minimum", {3, 2}, 8, -3.0, 4.0},
        {"shown beyond the channel count", {2, 9}, 8, -3.0, 3.0},
        {"no channels", {4}, 0, -1.0, 1.0},
        {"count above 32", {31}, 40, -32.0, 32.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t shown[kChannelRecordCount] = {};
        for (int i : c.shown) shown[i] = 1;
        SignalAnalyser analyser;
        analyser.scopeMin = analyser.scopeMax = 99.0;
        analyser.updateScopeExtremes(channels, shown, c.channelCount);
        EXPECT_EQ(analyser.scopeMin, c.min);
        EXPECT_EQ(analyser.scopeMax, c.max);
    }
}

// ---- The pass: markers, conditions, odd lengths ----------------------------------------------

TEST(SpectrumPass, SetsMarkersForEveryChannel) {
    const uint32_t n = 4096;
    AnalysisBench bench(n, 12);
    bench.colours[0] = 0x00A0301F;
    bench.colours[1] = 0x00FFFFFF;
    bench.fill(0, n, sine(1.0, 100, n));
    bench.fill(1, n, sine(0.5, 300, n));
    ASSERT_TRUE(bench.pass(2));

    const struct {
        int channel;
        int32_t bin;
        uint32_t colour, dark;
    } cases[] = {{0, 100, 0x00A0301F, 0x00600000}, {1, 300, 0x00FFFFFF, 0x00BFBFBF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channel);
        const MarkerRecord* markers = bench.channels[c.channel].markers;
        EXPECT_EQ(markers[0].kind, kMarkerLevelLine);
        EXPECT_EQ(markers[0].colour, 0x000000FFu);
        EXPECT_EQ(markers[0].reserved, 0u);
        EXPECT_EQ(markers[0].bin, 0);
        EXPECT_NEAR(markers[0].level, -131.1933, 1e-4);  // 10 log10(2048) + 98.08
        for (int r = 1; r <= 10; ++r) {
            SCOPED_TRACE(r);
            EXPECT_EQ(markers[r].kind, kMarkerBin);
            EXPECT_EQ(markers[r].colour, r == 1 ? c.colour : c.dark);
            EXPECT_EQ(markers[r].reserved, 0u);
            EXPECT_EQ(markers[r].channel, c.channel);
            EXPECT_EQ(markers[r].bin, r == 1 ? c.bin : foldedBin(int64_t{r} * c.bin, n / 2));
        }
        EXPECT_EQ(markers[11].kind, kMarkerNone);
    }
}

TEST(SpectrumPass, DarkenedColours) {
    const struct {
        uint32_t colour, want;
    } cases[] = {
        {0x00FFFFFF, 0x00BFBFBF}, {0x00404040, 0x00000000}, {0x00414243, 0x00010203},
        {0x00000000, 0x00000000}, {0x0080FF3F, 0x0040BF00},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.colour);
        EXPECT_EQ(darkenedColour(c.colour), c.want);
    }
}

TEST(SpectrumPass, RunsOnlyInSpectrumViewsWithFullWindowsAndBuffers) {
    const uint32_t n = 1024;
    const struct {
        const char* name;
        int32_t windowLength, filledCount, viewMode;
        bool runs;
    } cases[] = {
        {"volts", 1024, 1024, 1, true},
        {"dB0", 1024, 1024, 2, true},
        {"dB", 1024, 4096, 3, true},
        {"oscilloscope", 1024, 1024, 0, false},
        {"unknown view", 1024, 1024, 4, false},
        {"window not full", 1024, 1023, 1, false},
        {"no window length", 0, 1024, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AnalysisBench bench(n, 1);
        bench.fill(0, n, sine(1.0, 40, n));
        bench.channels[0].freq = -1.0;
        bench.analyser.spectrumAverageCount = 1;
        SpectrumPassInput input = bench.input(1, c.viewMode, 4);
        input.windowLength = c.windowLength;
        input.filledCount = c.filledCount;
        EXPECT_EQ(bench.analyser.runSpectrumPass(bench.channels, input), c.runs);
        EXPECT_EQ(bench.channels[0].freq != -1.0, c.runs);
        EXPECT_EQ(bench.analyser.spectrumAverageCount, c.runs ? 5 : 1);
    }

    // A window record without buffers: no pass.
    AnalysisBench bench(n, 1);
    bench.fill(0, n, sine(1.0, 40, n));
    bench.analyser.fftWindow.release();
    bench.channels[0].freq = -1.0;
    EXPECT_FALSE(bench.pass());
    EXPECT_EQ(bench.channels[0].freq, -1.0);
}

// Channels without buffers are skipped; at most 32 channels are analysed;
// shown or not does not matter.
TEST(SpectrumPass, SkipsChannelsWithoutBuffers) {
    const uint32_t n = 1024;
    AnalysisBench bench(n, 3);
    for (int i = 0; i < kChannelRecordCount; ++i) {
        if (i == 1) continue;
        bench.fill(i, n, sine(1.0, 20 + i, n));
        bench.channels[i].freq = -1.0;
    }
    bench.channels[1].freq = -1.0;
    ASSERT_TRUE(bench.pass(40));
    for (int i = 0; i < kChannelRecordCount; ++i) {
        SCOPED_TRACE(i);
        if (i == 1) {
            EXPECT_EQ(bench.channels[i].freq, -1.0);
            EXPECT_EQ(bench.channels[i].markers[0].kind, kMarkerNone);
        } else {
            EXPECT_NEAR(bench.channels[i].freq, (20 + i) * 48000.0 / n, 1e-3);
        }
    }
}

// A channel window longer than the transform gives its first N samples; a
// shorter one is padded and analysed over its own bins.
TEST(SpectrumPass, ChannelAndTransformOfDifferentLengths) {
    const uint32_t n = 2048;
    {
        AnalysisBench bench(n, 12);
        bench.fill(0, 2 * n, sine(0.8, 64, n));  // 64 cycles in every n samples
        ASSERT_TRUE(bench.pass());
        EXPECT_NEAR(bench.channels[0].ampl0, 0.8, 2e-6);
        EXPECT_NEAR(bench.channels[0].freq, 64 * 48000.0 / n, 1e-3);
    }
    {
        AnalysisBench bench(n, 12);
        bench.fill(0, n / 2, sine(0.8, 32, n / 2));
        ASSERT_TRUE(bench.pass());
        const ChannelRecord& channel = bench.channels[0];
        EXPECT_TRUE(std::isfinite(channel.total));
        EXPECT_TRUE(std::isfinite(channel.ampl0));
        EXPECT_GT(channel.total, 0.0);
        EXPECT_LT(channel.total, 0.8);
        EXPECT_EQ(channel.markers[1].bin, 64);  // 32 cycles in n / 2 samples: bin 64 of n
    }
}

// ---- The channel record -----------------------------------------------------------------------

TEST(ChannelRecordBuffers, AllocateKeepReplaceRelease) {
    ChannelRecord channel;
    EXPECT_EQ(channel.gain, 1);
    EXPECT_EQ(channel.sampleCount, 0);
    EXPECT_FALSE(channel.hasBuffers());
    for (const MarkerRecord& marker : channel.markers) EXPECT_EQ(marker.kind, kMarkerNone);

    ASSERT_TRUE(channel.allocateBuffers(1024));
    EXPECT_EQ(channel.sampleCount, 1024);
    double* samples = channel.samples;
    double* spectrum = channel.powerSpectrum;
    samples[1023] = 5.0;
    spectrum[511] = 6.0;
    // Same length: the same buffers, cleared.
    ASSERT_TRUE(channel.allocateBuffers(1024));
    EXPECT_EQ(channel.samples, samples);
    EXPECT_EQ(channel.powerSpectrum, spectrum);
    EXPECT_EQ(samples[1023], 0.0);
    EXPECT_EQ(spectrum[511], 0.0);
    // Another length: new zero-filled buffers.
    ASSERT_TRUE(channel.allocateBuffers(4096));
    EXPECT_EQ(channel.sampleCount, 4096);
    EXPECT_EQ(channel.samples[4095], 0.0);
    EXPECT_EQ(channel.powerSpectrum[2047], 0.0);

    for (int32_t bad : {1, 0, -8}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(channel.allocateBuffers(bad));
        EXPECT_EQ(channel.samples, nullptr);
        EXPECT_EQ(channel.powerSpectrum, nullptr);
        EXPECT_EQ(channel.sampleCount, 0);
    }
    ASSERT_TRUE(channel.allocateBuffers(64));
    channel.releaseBuffers();
    EXPECT_FALSE(channel.hasBuffers());
    EXPECT_EQ(channel.sampleCount, 0);
}

TEST(ChannelRecordBuffers, ClearMeasurementsZeroesTheFourteenValues) {
    double ChannelRecord::*const values[] = {
        &ChannelRecord::max,     &ChannelRecord::min,   &ChannelRecord::avg,  &ChannelRecord::rms,
        &ChannelRecord::ueff,    &ChannelRecord::total, &ChannelRecord::freq, &ChannelRecord::ampl0,
        &ChannelRecord::dcLevel, &ChannelRecord::sinad, &ChannelRecord::enb,  &ChannelRecord::sfdr,
        &ChannelRecord::snr,     &ChannelRecord::thd,
    };
    ChannelRecord channel;
    for (double ChannelRecord::*value : values) channel.*value = 5.0;
    channel.powerPeak = 9.0;
    channel.channelNumber = 3;
    channel.gain = 4;
    channel.clearMeasurements();
    for (double ChannelRecord::*value : values) EXPECT_EQ(channel.*value, 0.0);
    EXPECT_EQ(channel.powerPeak, 9.0);
    EXPECT_EQ(channel.channelNumber, 3);
    EXPECT_EQ(channel.gain, 4);
}

}  // namespace
