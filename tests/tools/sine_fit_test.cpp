// The four-parameter sine fit against signals whose parameters and noise
// are known: clean sines, ideal B-bit quantisers (whose noise is LSB^2/12,
// hence an ENOB of B) and white noise of a known RMS.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "tools/quorvel-analyse/sine_fit.h"

namespace {

constexpr double kPi = 3.141592653589793;

struct Tone {
    double cycles;     // in the record
    double amplitude;  // V
    double phase;      // rad, at sample 0
    double offset;     // V
};

// The whole cycles' part of the angle is reduced in integers, so that the
// reference stays exact over long records.
std::vector<double> sine(int64_t count, const Tone& tone) {
    std::vector<double> y(static_cast<size_t>(count));
    const auto whole = static_cast<int64_t>(tone.cycles);
    const double fraction = tone.cycles - whole;
    for (int64_t i = 0; i < count; ++i) {
        const double turns = double((whole * i) % count) / count + fraction * i / count;
        y[i] = tone.amplitude * std::cos(2 * kPi * turns + tone.phase) + tone.offset;
    }
    return y;
}

// An ideal converter of `bits` bits: the nearest code of full scale /
// 2^(bits-1), back in volts.
void quantise(std::vector<double>& y, int bits, double fullScale) {
    const double lsb = fullScale / std::ldexp(1.0, bits - 1);
    for (double& v : y) v = std::round(v / lsb) * lsb;
}

TEST(SineFit, CleanSinesAreRecovered) {
    const double rate = 48000.0;
    struct Case {
        const char* name;
        int64_t count;
        Tone tone;
        double startOffsetBins;  // start frequency minus the tone's
    };
    const Case cases[] = {
        {"non-coherent, start 0.4 bin high", 65536, {1021.37, 1.7, 0.6, 0.05}, 0.4},
        {"coherent, start 0.3 bin low", 65536, {1021.0, 2.0, -2.9, -0.3}, -0.3},
        {"few cycles", 4096, {3.3, 0.5, 3.0, 0.0}, 0.2},
        {"near Nyquist", 4096, {2047.2, 0.8, -1.0, 0.1}, -0.25},
        {"length not a power of two", 1000, {17.77, 1.0, 1.5, 0.2}, 0.3},
        {"odd length", 999, {250.1, 1.0, -0.5, 0.0}, -0.45},
        {"long record", int64_t(1) << 22, {1234567.37, 1.0, 0.3, 0.01}, 0.3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<double> y = sine(c.count, c.tone);
        const double binHz = rate / c.count;
        const double frequency = c.tone.cycles * binHz;
        const SineFit fit = fitSine(y.data(), c.count, rate, frequency + c.startOffsetBins * binHz, 1.0);
        EXPECT_TRUE(fit.converged);
        EXPECT_GT(fit.iterations, 0);
        EXPECT_NEAR(fit.frequencyHz, frequency, 1e-9 * binHz);
        EXPECT_NEAR(fit.amplitudeV, c.tone.amplitude, 1e-9);
        EXPECT_NEAR(fit.phaseRad, c.tone.phase, 1e-8);
        EXPECT_NEAR(fit.offsetV, c.tone.offset, 1e-9);
        // The iteration stops with some 1e-10 rad left at the record's ends.
        EXPECT_LT(fit.residualRmsV, 1e-9);
        EXPECT_GT(fit.enob, 30);
    }
}

TEST(SineFit, IdealQuantiserGivesItsBits) {
    const int64_t count = 65536;
    const double rate = 1e6, fullScale = 2.5;
    for (int bits : {8, 10, 12, 16, 20}) {
        SCOPED_TRACE(bits);
        std::vector<double> y = sine(count, {2381.618, 0.93 * fullScale, 0.7, 0.0});
        quantise(y, bits, fullScale);
        const double frequency = 2381.618 * rate / count;
        const SineFit fit = fitSine(y.data(), count, rate, frequency - 0.3 * rate / count, fullScale);
        EXPECT_TRUE(fit.converged);
        EXPECT_NEAR(fit.enob, bits, 0.05);
        EXPECT_NEAR(fit.frequencyHz, frequency, 1e-3 * rate / count);
        // The fitted sine's SINAD is that of the amplitude over the residual.
        EXPECT_NEAR(fit.sinadDb, 20 * std::log10(fit.amplitudeV / std::sqrt(2.0) / fit.residualRmsV), 1e-9);
    }
}

TEST(SineFit, WhiteNoiseIsTheResidual) {
    const int64_t count = 65536;
    const double rate = 1e6, sigma = 1e-3;
    std::vector<double> y = sine(count, {5000.25, 1.0, 0.0, 0.0});
    std::mt19937_64 generator(7);
    std::normal_distribution<double> noise(0.0, sigma);
    for (double& v : y) v += noise(generator);
    const SineFit fit = fitSine(y.data(), count, rate, 5000.0 * rate / count, 1.0);
    EXPECT_TRUE(fit.converged);
    EXPECT_NEAR(fit.residualRmsV, sigma, 0.01 * sigma);
    EXPECT_NEAR(fit.sinadDb, 20 * std::log10(1.0 / std::sqrt(2.0) / sigma), 0.1);
    EXPECT_NEAR(fit.enob, std::log2(2.0 / (std::sqrt(12.0) * sigma)), 0.02);
}

TEST(SineFit, RefusesWhatCannotBeFitted) {
    std::vector<double> y = sine(1024, {10.3, 1.0, 0.0, 0.0});
    std::vector<double> withNan = y, withInfinity = y;
    withNan[500] = NAN;
    withInfinity[3] = -INFINITY;
    const double rate = 1024.0;
    struct Case {
        const char* name;
        const double* samples;
        int64_t count;
        double rate, start, fullScale;
    };
    const Case cases[] = {
        {"no samples", nullptr, 1024, rate, 10.0, 1.0},
        {"seven samples", y.data(), 7, rate, 10.0, 1.0},
        {"start at 0", y.data(), 1024, rate, 0.0, 1.0},
        {"start below 0", y.data(), 1024, rate, -10.0, 1.0},
        {"start at Nyquist", y.data(), 1024, rate, rate / 2, 1.0},
        {"start NaN", y.data(), 1024, rate, NAN, 1.0},
        {"rate 0", y.data(), 1024, 0.0, 10.0, 1.0},
        {"rate infinite", y.data(), 1024, INFINITY, 10.0, 1.0},
        {"full scale 0", y.data(), 1024, rate, 10.0, 0.0},
        {"full scale NaN", y.data(), 1024, rate, 10.0, NAN},
        {"a NaN sample", withNan.data(), 1024, rate, 10.0, 1.0},
        {"an infinite sample", withInfinity.data(), 1024, rate, 10.0, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SineFit fit = fitSine(c.samples, c.count, c.rate, c.start, c.fullScale);
        EXPECT_FALSE(fit.converged);
        EXPECT_EQ(fit.iterations, 0);
        EXPECT_EQ(fit.frequencyHz, 0.0);
        EXPECT_EQ(fit.amplitudeV, 0.0);
        EXPECT_EQ(fit.residualRmsV, 0.0);
    }
}

// A constant has no tone to fit: no step can be taken.
TEST(SineFit, AConstantDoesNotConverge) {
    const std::vector<double> y(4096, 0.25);
    const SineFit fit = fitSine(y.data(), 4096, 4096.0, 100.0, 1.0);
    EXPECT_FALSE(fit.converged);
}

}  // namespace
