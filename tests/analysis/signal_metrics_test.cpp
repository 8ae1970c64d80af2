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
        return {static_cast<int32_t>(length), static_cast<int32_t>(length), activeChannels, static_cast<ViewMode>(viewMode),
                averagingSelection, windowId, rate, colours};
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
            bench.fill(0, n, [&](int32_t i) { return std::nearbyint(amplitude * std::sin(2.0 * kPi * cycles * i / n)); });
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
        double keep;    // weight of the old spectrum
    } cases[] = {{1, 0.0}, {0, 0.0}, {-3, 0.0}, {2, 0.5}, {5, 0.8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.averageCount);
        SignalAnalyser analyser;
        ASSERT_TRUE(analyser.fftWindow.resize(n));
        analyser.fftWindow.computeWindow(0);
        double* y = analyser.fftWindow.workBuffer;
        y[0] = 32.0;    // DC: power 32^2 / 2 * 2 / 32^2 = 1
        y[1] = 1e6;     // Nyquist, dropped
        y[6] = 48.0;    // bin 3: 2 * (48^2 + 64^2) / 32^2 = 12.5
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
        analyser.nextDither();      // not from the first state
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
    for (uint32_t i = 0; i < 2 * n; ++i) x[i] = 1.0 + (i % 3);     // 1, 2, 3, ...
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
        {"whole spectrum", 4, 20, 55, 4 + (30.0 - 9.0) / (30.0 + 9.0)},    // L bins 1..3, R bins 5..8
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
        {4, 3, false},  {4, 9, false},  {4, 10, true},   {4, 507, true},  {4, 508, false}, {4, 511, false},
        {8, 15, false}, {8, 16, true},  {8, 503, true},  {8, 504, false},
        {0, 6, false},  {0, 7, true},   {0, 510, true},  {0, 511, false}, {-3, 7, true},
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

// ---- Block statistics and scope extremes ------------------------------------------------

TEST(BlockStatistics, CountOfOneGivesTheLatestWindow) {
    ChannelRecord channel;
    ASSERT_TRUE(channel.allocateBuffers(4));
    const double x[] = {1.0, -3.0, 2.0, 4.0};   // mean 1, mean square 7.5
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
    channels[3].min = 0.5;      // a minimum above the others' maxima
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
        EXPECT_NEAR(markers[0].level, -131.1933, 1e-4);     // 10 log10(2048) + 98.08
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
        {"volts", 1024, 1024, 1, true},           {"dB0", 1024, 1024, 2, true},
        {"dB", 1024, 4096, 3, true},              {"oscilloscope", 1024, 1024, 0, false},
        {"unknown view", 1024, 1024, 4, false},   {"window not full", 1024, 1023, 1, false},
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
        bench.fill(0, 2 * n, sine(0.8, 64, n));     // 64 cycles in every n samples
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
        EXPECT_EQ(channel.markers[1].bin, 64);      // 32 cycles in n / 2 samples: bin 64 of n
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
        &ChannelRecord::max,   &ChannelRecord::min,   &ChannelRecord::avg,     &ChannelRecord::rms,
        &ChannelRecord::ueff,  &ChannelRecord::total, &ChannelRecord::freq,    &ChannelRecord::ampl0,
        &ChannelRecord::dcLevel, &ChannelRecord::sinad, &ChannelRecord::enb,   &ChannelRecord::sfdr,
        &ChannelRecord::snr,   &ChannelRecord::thd,
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
