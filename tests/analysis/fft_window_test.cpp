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
    {0, 1.0, 0},      {1, 2.0044, 4},   {2, 2.0212, 4},  {3, 1.9761, 4},  {4, 3.8112, 5},
    {5, 3.8832, 5},   {6, 4.2186, 6},   {7, 4.5386, 7},  {8, 4.8347, 8},  {9, 5.1134, 9},
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
        window.computeWindow(3);  // something else first
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

// The published coefficient sets a0..a(K-1) of the cosine sums, by id.
const std::vector<double> kCoefficients[kFftWindowCount] = {
    {},
    {0.35875, -0.48829, 0.14128, -0.01168},
    {0.355768, -0.487396, 0.144232, -0.012604},
    {0.3635819, -0.4891775, 0.1365995, -0.0106411},
    {1.0, -1.9383379, 1.3045202, -0.402827, 0.0350665},
    {1.0, -1.942604, 1.340318, -0.440811, 0.043097},
    {1.0, -1.9575375, 1.4780705, -0.6367431, 0.1228389, -0.0066288},
    {1.0, -1.96760033, 1.57983607, -0.81123644, 0.22583558, -0.02773848, 0.0009036},
    {1.0, -1.97441842, 1.65409888, -0.95788186, 0.3367342, -0.06364621, 0.00521942, -0.00010599},
    {1.0, -1.97928042, 1.710288951, -1.081629853, 0.448734314, -0.112376628, 0.015122992, -0.000871252, 0.000011896},
    {1.0, -1.98298997309, 1.75556083063, -1.19037717712, 0.56155440797, -0.17296769663, 0.03233247087, -0.00324954578,
     0.0001380104, -0.00000132725},
    {1.0, -1.985844164102, 1.791176438506, -1.282075284005, 0.667777530266, -0.240160796576, 0.056656381764,
     -0.008134974479, 0.00062454465, -0.000019808998, 0.000000132974},
    {0.27105140069342415, -0.43329793923448606, 0.21812299954311062, -0.0659254463880309, 0.010811742098372268,
     -0.0007765848252250934, 0.000013887217350903198},
    {0.2712203605850388, -0.4334446123274422, 0.2180041228929303, -0.06578534329560609, 0.01076186730534183,
     -0.0007700127105808265, 0.00001368088305992921},
};

// sum_k a_k cos(k theta), with the cosines of the quarter turns exact.
long double cosineSum(const std::vector<double>& a, long double theta) {
    long double w = 0.0L;
    for (size_t k = 0; k < a.size(); ++k) w += a[k] * std::cos(static_cast<long double>(k) * theta);
    return w;
}

// Every sample of every window against sum_k a_k cos(2 pi k i / N) from the
// coefficient sets, at lengths where each sample can be checked. At i = 0,
// N/4, N/2 and 3N/4 the cosines are 1, 0 and -1, so the samples there are
// plain signed sums of the coefficients (w[0] = sum a_k: any wrong digit in
// any coefficient shows there). The tolerance is 1e-14 of the terms' scale
// sum |a_k|; the windows that start at 0 make a relative one meaningless.
// The sums follow in closed form: sum w = N a0 and sum w^2 = N (a0^2 +
// sum_{k>0} a_k^2 / 2), the cross terms summing to 0 over a period.
TEST(FftWindowValues, SamplesAndSumsFollowFromTheCoefficients) {
    const long double pi = 3.141592653589793238462643383279502884L;
    for (uint32_t n : {32u, 64u, 1024u}) {
        FftWindow window;
        ASSERT_TRUE(window.resize(n));
        for (int32_t id = 0; id < kFftWindowCount; ++id) {
            SCOPED_TRACE("id " + std::to_string(id) + ", N " + std::to_string(n));
            const std::vector<double> a = id == 0 ? std::vector<double>{1.0} : kCoefficients[id];
            window.computeWindow(id);
            const double* w = window.windowBuffer;

            long double atZero = 0.0L, atHalf = 0.0L, atQuarter = 0.0L, scale = 0.0L, squares = 0.0L;
            for (size_t k = 0; k < a.size(); ++k) {
                atZero += a[k];
                atHalf += k % 2 == 0 ? a[k] : -a[k];
                if (k % 2 == 0) atQuarter += k % 4 == 0 ? a[k] : -a[k];
                scale += std::fabs(a[k]);
                squares += k == 0 ? a[k] * static_cast<long double>(a[k]) : a[k] * static_cast<long double>(a[k]) / 2;
            }
            const double tolerance = 1e-14 * static_cast<double>(scale);
            EXPECT_NEAR(w[0], static_cast<double>(atZero), tolerance);
            EXPECT_NEAR(w[n / 4], static_cast<double>(atQuarter), tolerance);
            EXPECT_NEAR(w[n / 2], static_cast<double>(atHalf), tolerance);
            EXPECT_NEAR(w[3 * n / 4], static_cast<double>(atQuarter), tolerance);
            for (uint32_t i = 0; i < n; ++i) {
                const long double theta = 2.0L * pi * i / n;
                ASSERT_NEAR(w[i], static_cast<double>(cosineSum(a, theta)), tolerance) << "i = " << i;
            }

            const double a0 = a[0];
            const double power = static_cast<double>(squares);
            EXPECT_NEAR(window.coherentSum, n * a0, 1e-12 * n * a0);
            EXPECT_NEAR(window.enbw, power / (a0 * a0), 1e-12 * window.enbw);
            EXPECT_NEAR(window.gainFactor, 1.0 / std::sqrt(power), 1e-12 * window.gainFactor);
        }
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
    for (int64_t requested :
         {int64_t{31}, int64_t{1}, int64_t{0}, int64_t{-1024}, int64_t{kMaxFftLength} + 1, int64_t{1} << 40}) {
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
    window.release();  // twice is harmless
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
