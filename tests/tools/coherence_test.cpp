// Coherence advice: a tone's distance from its nearest bin, the nearest odd
// (hence coprime with a power-of-two N) cycle count, and the FFT windows'
// main-lobe half-widths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

#include "analysis/fft_window.h"
#include "tools/quorvel-analyse/coherence.h"

namespace {

constexpr double kPi = 3.141592653589793;

TEST(CoherenceAdvice, NearestOddCycleCountAndBinOffset) {
    const int64_t n = 65536;
    const double rate = 1e6;
    struct Case {
        const char* name;
        double cycles;     // f N / fs of the tone
        double offset;     // want: distance from the nearest bin
        int64_t coherent;  // want: nearest odd cycle count
    };
    const Case cases[] = {
        {"0.37 above an odd bin", 1021.37, 0.37, 1021},
        {"0.37 above an even bin", 1022.37, 0.37, 1023},
        {"0.37 below an odd bin", 1020.63, -0.37, 1021},
        {"0.37 below an even bin", 1021.63, -0.37, 1021},
        {"on an even bin: a tie, taken upwards", 2000.0, 0.0, 2001},
        {"on an odd bin", 2001.0, 0.0, 2001},
        {"half a bin: +0.5", 100.5, 0.5, 101},
        {"below one cycle", 0.37, 0.37, 1},
        {"near Nyquist", 32767.37, 0.37, 32767},
        {"beyond the last odd count below N/2", 32767.9, -0.1, 32767},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double tone = c.cycles * rate / n;
        const CoherenceAdvice advice = adviseCoherence(tone, rate, n);
        EXPECT_NEAR(advice.toneBinOffset, c.offset, 1e-9);
        EXPECT_EQ(advice.coherentCycles, c.coherent);
        EXPECT_EQ(std::gcd(advice.coherentCycles, n), 1);
        EXPECT_DOUBLE_EQ(advice.coherentFrequencyHz, c.coherent * rate / n);
    }
}

TEST(CoherenceAdvice, NoAdviceWithoutAToneOrARate) {
    struct Case {
        const char* name;
        double tone, rate;
        int64_t n;
    };
    const Case cases[] = {
        {"no tone", 0.0, 1e6, 1024},        {"negative tone", -5.0, 1e6, 1024},
        {"NaN tone", NAN, 1e6, 1024},       {"infinite tone", INFINITY, 1e6, 1024},
        {"no rate", 1000.0, 0.0, 1024},     {"NaN rate", 1000.0, NAN, 1024},
        {"too few points", 1000.0, 1e6, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CoherenceAdvice advice = adviseCoherence(c.tone, c.rate, c.n);
        EXPECT_EQ(advice.coherentCycles, 0);
        EXPECT_EQ(advice.toneBinOffset, 0.0);
        EXPECT_EQ(advice.coherentFrequencyHz, 0.0);
    }
}

// Published first zeros of the windows' transforms, in bins: the
// rectangle's sinc at 1; the four-term Blackman-Harris and Nuttall windows
// at 4; each K-term flat-top and the seven-term sums at K.
TEST(MainLobe, HalfWidthsAreTheFirstZerosOfEachWindow) {
    const double published[kFftWindowCount] = {1, 4, 4, 4, 5, 5, 6, 7, 8, 9, 10, 11, 7, 7};
    for (int32_t id = 0; id < kFftWindowCount; ++id) {
        SCOPED_TRACE(kFftWindowNames[id]);
        EXPECT_NEAR(mainLobeHalfWidthBins(id), published[id], 1e-9);
    }
    EXPECT_EQ(mainLobeHalfWidthBins(-1), 1.0);
    EXPECT_EQ(mainLobeHalfWidthBins(kFftWindowCount), 1.0);
}

// Independently of the coefficients: the transform of the generated window
// about its centre (a direct DTFT over 1024 points, real but for the
// unpaired first sample) keeps its sign from the centre to the half-width
// and changes it there.
TEST(MainLobe, GeneratedWindowsChangeSignFirstAtTheHalfWidth) {
    constexpr uint32_t n = 1024;
    std::vector<double> w(n);
    auto transform = [&](double bins) {
        double sum = 0;
        for (uint32_t i = 0; i < n; ++i) sum += w[i] * std::cos(2 * kPi * bins * (double(i) - n / 2) / n);
        return sum;
    };
    for (int32_t id = 0; id < kFftWindowCount; ++id) {
        SCOPED_TRACE(kFftWindowNames[id]);
        generateWindow(w.data(), n, id);
        const double half = mainLobeHalfWidthBins(id);
        for (double bins = 0.0; bins < half - 0.05; bins += 0.125) {
            EXPECT_GT(transform(bins), 0.0) << bins << " bins";
        }
        EXPECT_LT(transform(half + 0.05), 0.0);
    }
}

}  // namespace
