#include "analysis/fft_window.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Published equivalent noise bandwidths (bins, 4 decimals) and bin counts.
struct WindowCase {
    int32_t id;
    double enbw;
    int32_t binCount;
};
constexpr WindowCase kWindows[] = {
    {0, 1.0, 0},      {1, 2.0044, 4},  {2, 2.0212, 4},  {3, 1.9761, 4},   {4, 3.8112, 5},
    {5, 3.8832, 5},   {6, 4.2186, 6},  {7, 4.5386, 7},  {8, 4.8347, 8},   {9, 5.1134, 9},
    {10, 5.3888, 10}, {11, 5.6512, 11}, {12, 2.6319, 7}, {13, 2.6303, 7},
};

bool isFlatTop(int32_t id) { return id >= 4 && id <= 11; }

TEST(FftWindowTable, EveryWindowMeetsItsPublishedNoiseBandwidth) {
    for (uint32_t n : {32u, 1024u, 65536u}) {
        FftWindow window;
        ASSERT_TRUE(window.resize(n));
        for (const WindowCase& c : kWindows) {
            SCOPED_TRACE("id " + std::to_string(c.id) + ", N " + std::to_string(n));
            window.computeWindow(c.id);
            EXPECT_EQ(window.windowId, c.id);
            EXPECT_NEAR(window.enbw, c.enbw, 0.00005);
            EXPECT_EQ(windowBinCount(c.id), c.binCount);

            // Periodic and symmetric about N/2: w[i] = w[N - i].
            const double* w = window.windowBuffer;
            int asymmetric = 0;
            for (uint32_t i = 1; i < n / 2; ++i) asymmetric += w[i] != w[n - i];
            EXPECT_EQ(asymmetric, 0);

            // The normalisation values belong to the samples held.
            double sum = 0.0, squares = 0.0;
            for (uint32_t i = 0; i < n; ++i) {
                sum += w[i];
                squares += w[i] * w[i];
            }
            EXPECT_NEAR(window.coherentSum, sum, 1e-9 * n);
            EXPECT_NEAR(window.gainFactor, std::sqrt(n / squares), 1e-12);

            // Blackman-Harris and Nuttall windows peak at 1 in the centre; the
            // flat-tops have a mean of 1.
            if (isFlatTop(c.id)) {
                EXPECT_NEAR(window.coherentSum, n, 1e-9 * n);
            } else if (c.id != 0) {
                EXPECT_NEAR(w[n / 2], 1.0, 1e-15);
                for (uint32_t i = 0; i < n; ++i) ASSERT_LE(w[i], w[n / 2]) << "i = " << i;
            }
        }
    }
}

// The count at the end of each list text ("..., 7bin") is the window's bin count.
TEST(FftWindowTable, ListTextsEndWithTheirBinCount) {
    EXPECT_STREQ(kFftWindowNames[0], "Rectangle");
    for (int32_t id = 1; id < kFftWindowCount; ++id) {
        SCOPED_TRACE(kFftWindowNames[id]);
        const std::string name = kFftWindowNames[id];
        const size_t comma = name.rfind(", ");
        ASSERT_NE(comma, std::string::npos);
        ASSERT_EQ(name.substr(name.size() - 3), "bin");
        EXPECT_EQ(std::atoi(name.c_str() + comma + 2), windowBinCount(id));
    }
}

TEST(FftWindowTable, BinCountOutsideTheList) {
    const struct {
        int32_t id;
        int32_t want;
    } cases[] = {{-1, 0}, {INT_MIN, 0}, {14, 7}, {1000, 7}, {INT_MAX, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(windowBinCount(c.id), c.want);
    }
}

TEST(FftWindowValues, BlackmanHarris92At1024) {
    FftWindow window;
    ASSERT_TRUE(window.resize(1024));
    window.computeWindow(1);
    const double* w = window.windowBuffer;
    EXPECT_NEAR(w[0], 0.00006, 1e-15);
    EXPECT_NEAR(w[512], 1.0, 1e-15);
    EXPECT_EQ(w[1], w[1023]);
    EXPECT_NEAR(window.coherentSum, 367.36, 1e-9);
    EXPECT_NEAR(window.enbw, 2.0044, 0.00005);
    EXPECT_NEAR(window.gainFactor, 1.968888, 0.0000005);
}

TEST(FftWindowValues, FlatTopHft95AtSeveralLengths) {
    for (uint32_t n : {32u, 4096u, 1u << 20}) {
        SCOPED_TRACE(n);
        FftWindow window;
        ASSERT_TRUE(window.resize(n));
        window.computeWindow(4);
        EXPECT_NEAR(window.windowBuffer[0], -0.0015782, 1e-15);
        EXPECT_NEAR(window.windowBuffer[n / 2], 4.6807516, 1e-14);
        EXPECT_NEAR(window.coherentSum, n, 1e-9 * n);
        EXPECT_NEAR(window.enbw, 3.8112, 0.00005);
        EXPECT_NEAR(window.gainFactor, 0.512234, 0.0000005);
    }
}

TEST(FftWindowValues, RectangleForIdZeroAndIdsOutsideTheList) {
    for (int32_t id : {0, -1, 14, 99, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(id);
        FftWindow window;
        ASSERT_TRUE(window.resize(64));
        window.computeWindow(3);    // something else first
        window.computeWindow(id);
        int notOne = 0;
        for (uint32_t i = 0; i < 64; ++i) notOne += window.windowBuffer[i] != 1.0;
        EXPECT_EQ(notOne, 0);
        EXPECT_EQ(window.gainFactor, 1.0);
        EXPECT_EQ(window.enbw, 1.0);
        EXPECT_EQ(window.coherentSum, 64.0);
        EXPECT_EQ(window.windowId, id);
    }
}

// A periodic window of length N sampled every N/1024-th point is the window of
// length 1024: the long window keeps its accuracy over its whole length.
TEST(FftWindowValues, LongWindowsAgreeWithShortOnes) {
    const uint32_t shortLength = 1024;
    const uint32_t longLength = 1u << 20;
    std::vector<double> shortWindow(shortLength), longWindow(longLength);
    for (int32_t id = 1; id < kFftWindowCount; ++id) {
        SCOPED_TRACE(id);
        generateWindow(shortWindow.data(), shortLength, id);
        const WindowSums sums = generateWindow(longWindow.data(), longLength, id);
        double worst = 0.0;
        for (uint32_t i = 0; i < shortLength; ++i)
            worst = std::fmax(worst, std::fabs(longWindow[i * (longLength / shortLength)] - shortWindow[i]));
        EXPECT_LT(worst, 1e-13);
        double sum = 0.0;
        for (double v : longWindow) sum += v;
        EXPECT_NEAR(sums.sum, sum, 1e-9 * longLength);
    }
}

TEST(FftWindowValues, GenerateWithoutBufferWritesNothing) {
    const WindowSums none = generateWindow(nullptr, 1024, 1);
    EXPECT_EQ(none.sum, 0.0);
    EXPECT_EQ(none.sumSquares, 0.0);
    double sentinel = -7.0;
    const WindowSums empty = generateWindow(&sentinel, 0, 1);
    EXPECT_EQ(empty.sum, 0.0);
    EXPECT_EQ(sentinel, -7.0);
}

TEST(FftWindowRecord, StartsWithoutBuffers) {
    FftWindow window;
    EXPECT_EQ(window.workBuffer, nullptr);
    EXPECT_EQ(window.windowBuffer, nullptr);
    EXPECT_EQ(window.gainFactor, 0.0);
    EXPECT_EQ(window.coherentSum, 0.0);
    EXPECT_EQ(window.enbw, 1.0);
    EXPECT_EQ(window.length, 0u);
    EXPECT_EQ(window.windowId, 0);
    EXPECT_EQ(window.ditherAmplitude, 0.0);
    EXPECT_EQ(window.transform(0), nullptr);
}

TEST(FftWindowRecord, ResizeRoundsUpToAPowerOfTwo) {
    const struct {
        int64_t requested;
        uint32_t want;
    } cases[] = {{32, 32}, {33, 64}, {1000, 1024}, {1024, 1024}, {1025, 2048}, {65535, 65536}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.requested);
        FftWindow window;
        EXPECT_TRUE(window.resize(c.requested));
        EXPECT_EQ(window.length, c.want);
        EXPECT_NE(window.workBuffer, nullptr);
        EXPECT_NE(window.windowBuffer, nullptr);
    }
}

TEST(FftWindowRecord, ResizeToTheSameLengthKeepsBuffersAndClearsTheWorkBuffer) {
    FftWindow window;
    ASSERT_TRUE(window.resize(1000));
    window.computeWindow(5);
    double* work = window.workBuffer;
    double* coefficients = window.windowBuffer;
    for (uint32_t i = 0; i < window.length; ++i) work[i] = 3.0;

    ASSERT_TRUE(window.resize(1024));
    EXPECT_EQ(window.workBuffer, work);
    EXPECT_EQ(window.windowBuffer, coefficients);
    EXPECT_EQ(window.length, 1024u);
    EXPECT_EQ(window.windowId, 0);
    int nonZero = 0;
    for (uint32_t i = 0; i < window.length; ++i) nonZero += work[i] != 0.0;
    EXPECT_EQ(nonZero, 0);

    ASSERT_TRUE(window.resize(2048));
    EXPECT_EQ(window.length, 2048u);
    nonZero = 0;
    for (uint32_t i = 0; i < window.length; ++i) nonZero += window.workBuffer[i] != 0.0;
    EXPECT_EQ(nonZero, 0);
}

// Lengths the transform cannot take leave the record without buffers, and
// everything that uses them then does nothing.
TEST(FftWindowRecord, RefusedLengthsLeaveNoBuffers) {
    for (int64_t requested : {int64_t{31}, int64_t{1}, int64_t{0}, int64_t{-1024}, int64_t{kMaxFftLength} + 1,
                              int64_t{1} << 40}) {
        SCOPED_TRACE(requested);
        FftWindow window;
        ASSERT_TRUE(window.resize(1024));
        window.computeWindow(1);
        EXPECT_FALSE(window.resize(requested));
        EXPECT_EQ(window.workBuffer, nullptr);
        EXPECT_EQ(window.windowBuffer, nullptr);
        EXPECT_EQ(window.length, 0u);

        window.computeWindow(1);
        EXPECT_EQ(window.gainFactor, 1.0);
        EXPECT_EQ(window.coherentSum, 0.0);
        EXPECT_EQ(window.enbw, 1.0);
        EXPECT_EQ(window.transform(0), nullptr);
    }
}

TEST(FftWindowRecord, ReleaseDropsTheBuffers) {
    FftWindow window;
    ASSERT_TRUE(window.resize(256));
    window.release();
    EXPECT_EQ(window.workBuffer, nullptr);
    EXPECT_EQ(window.windowBuffer, nullptr);
    EXPECT_EQ(window.length, 0u);
    EXPECT_EQ(window.transform(0), nullptr);
    window.release();   // twice is harmless
    EXPECT_TRUE(window.resize(256));
}

// The transform is the real FFT of the work buffer in place: a constant gives
// only the DC term, and forward then inverse scales by N/2.
TEST(FftWindowRecord, TransformRunsTheRealFftInPlace) {
    FftWindow window;
    ASSERT_TRUE(window.resize(64));
    for (uint32_t i = 0; i < 64; ++i) window.workBuffer[i] = 1.0;
    ASSERT_EQ(window.transform(0), window.workBuffer);
    EXPECT_NEAR(window.workBuffer[0], 64.0, 1e-12);
    for (uint32_t i = 1; i < 64; ++i) EXPECT_NEAR(window.workBuffer[i], 0.0, 1e-12) << "i = " << i;

    std::vector<double> original(64);
    for (uint32_t i = 0; i < 64; ++i) window.workBuffer[i] = original[i] = std::sin(0.3 * i * i) + 0.1 * i;
    window.transform(0);
    ASSERT_EQ(window.transform(1), window.workBuffer);
    for (uint32_t i = 0; i < 64; ++i) EXPECT_NEAR(window.workBuffer[i], 32.0 * original[i], 1e-10) << "i = " << i;
}

}  // namespace
