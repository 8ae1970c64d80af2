// The code-density (sine-wave histogram) test: ideal converters read back
// flat, a converter built with known code widths and a missing code reads
// back those widths, and signals that cannot be measured are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/quorvel-analyse/code_density.h"

namespace {

constexpr double kPi = 3.141592653589793;

// `count` samples of a sine of many cycles that do not divide the record
// (every phase visited once, no pattern repeating), as float32 volts.
std::vector<float> overdrivenSine(int64_t count, double amplitude, double offset) {
    std::vector<float> y(static_cast<size_t>(count));
    const double cyclesPerSample = 0.0123456789 * std::sqrt(2.0);
    for (int64_t i = 0; i < count; ++i) {
        y[i] = static_cast<float>(amplitude * std::sin(2 * kPi * cyclesPerSample * i + 0.3) + offset);
    }
    return y;
}

TEST(CodeHistogram, CodesAreRoundedAwayFromZeroAndClamped) {
    // 4 bits of 1 V: codes -8 .. 7, one LSB = 0.125 V.
    struct Case {
        double volts;
        int32_t code;
    };
    const Case cases[] = {
        {0.0, 0},    {-0.0, 0},     {0.0624, 0}, {0.0625, 1}, {-0.0625, -1}, {-0.0626, -1},
        {0.1875, 2}, {-0.1875, -2}, {0.8125, 7}, {0.9375, 7}, {1.0, 7},      {-0.9375, -8},
        {-1.0, -8},  {-1.0625, -8}, {5.0, 7},    {-5.0, -8},  {1e300, 7},    {-1e300, -8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volts);
        CodeHistogram histogram(4, 1.0);
        histogram.add(&c.volts, 1);
        const std::vector<uint64_t>& counts = histogram.counts();
        ASSERT_EQ(counts.size(), 16u);
        EXPECT_EQ(counts[c.code - histogram.firstCode()], 1u);
        EXPECT_EQ(histogram.total(), 1u);
    }
}

TEST(CodeHistogram, NonFiniteValuesAreSkippedAndCounted) {
    const float values[] = {0.5f, NAN, INFINITY, -INFINITY, -0.5f};
    CodeHistogram histogram(8, 1.0);
    histogram.add(values, 5);
    EXPECT_EQ(histogram.total(), 2u);
    EXPECT_EQ(histogram.skipped(), 3u);
    uint64_t sum = 0;
    for (uint64_t count : histogram.counts()) sum += count;
    EXPECT_EQ(sum, 2u);
    EXPECT_EQ(histogram.counts()[64 + 128], 1u);
    EXPECT_EQ(histogram.counts()[-64 + 128], 1u);
}

// One channel of interleaved rows read with a stride, in two parts merged,
// counts as the channel copied out and added at once.
TEST(CodeHistogram, StridedAddsAndMergesCountAsOneAdd) {
    const int64_t rows = 100000, channels = 3;
    const std::vector<float> signal = overdrivenSine(rows * channels, 1.05, 0.0);
    std::vector<float> channel(rows);
    for (int64_t i = 0; i < rows; ++i) channel[i] = signal[i * channels + 1];
    channel[17] = NAN;
    std::vector<float> rowsWithNan = signal;
    rowsWithNan[17 * channels + 1] = NAN;

    CodeHistogram whole(10, 1.0);
    whole.add(channel.data(), rows);
    CodeHistogram first(10, 1.0), second(10, 1.0);
    const int64_t split = 33333;
    first.add(rowsWithNan.data() + 1, split, channels);
    second.add(rowsWithNan.data() + split * channels + 1, rows - split, channels);
    EXPECT_TRUE(first.merge(second));
    EXPECT_EQ(first.counts(), whole.counts());
    EXPECT_EQ(first.total(), whole.total());
    EXPECT_EQ(first.skipped(), 1u);
    EXPECT_EQ(whole.skipped(), 1u);

    // Doubles read alike.
    const std::vector<double> asDouble(channel.begin(), channel.end());
    CodeHistogram fromDouble(10, 1.0);
    fromDouble.add(asDouble.data(), rows);
    EXPECT_EQ(fromDouble.counts(), whole.counts());

    CodeHistogram otherBits(9, 1.0), otherScale(10, 2.0);
    EXPECT_FALSE(first.merge(otherBits));
    EXPECT_FALSE(first.merge(otherScale));
    EXPECT_EQ(first.counts(), whole.counts());
}

TEST(CodeDensity, IdealConverterIsFlat) {
    for (int bits : {4, 6, 8, 10}) {
        SCOPED_TRACE(bits);
        const double fullScale = 2.5;
        const std::vector<float> y = overdrivenSine(int64_t(1) << 22, 1.02 * fullScale, 0.004 * fullScale);
        CodeHistogram histogram(bits, fullScale);
        histogram.add(y.data(), static_cast<int64_t>(y.size()));
        const CodeDensity density = analyseCodeDensity(histogram);
        ASSERT_TRUE(density.usable) << density.refusal;
        ASSERT_EQ(density.dnlLsb.size(), size_t(1) << bits);
        EXPECT_TRUE(std::isnan(density.dnlLsb.front()));
        EXPECT_TRUE(std::isnan(density.dnlLsb.back()));
        EXPECT_TRUE(std::isnan(density.inlLsb.front()));
        EXPECT_LE(std::fabs(density.dnlMinLsb), 0.05);
        EXPECT_LE(std::fabs(density.dnlMaxLsb), 0.05);
        EXPECT_LE(std::fabs(density.inlMinLsb), 0.05);
        EXPECT_LE(std::fabs(density.inlMaxLsb), 0.05);
        EXPECT_TRUE(density.missingCodes.empty());
    }
}

// An 8-bit converter whose transition levels the test sets: code 100 (of
// 0..255 from the bottom) 1.5 LSB wide and code 101 0.5 LSB; code 180
// missing, its neighbours 1.5 LSB wide each. The end levels stay ideal, so
// the terminal LSB is the ideal one.
TEST(CodeDensity, KnownCodeWidthsAndAMissingCode) {
    const int bits = 8, codes = 1 << bits;
    const double fullScale = 1.0, lsb = fullScale / (codes / 2);
    std::vector<double> level(codes);  // level[k]: between codes k-1 and k from the bottom
    for (int k = 1; k < codes; ++k) level[k] = (k - codes / 2 - 0.5) * lsb;
    level[101] += 0.5 * lsb;
    level[180] += 0.5 * lsb;
    level[181] -= 0.5 * lsb;
    std::vector<double> wantDnl(codes, 0.0), wantInl(codes, 0.0);
    for (int k = 1; k < codes - 1; ++k) wantDnl[k] = (level[k + 1] - level[k]) / lsb - 1.0;
    for (int k = 1; k < codes; ++k) wantInl[k] = (level[k] - level[1]) / lsb - (k - 1);
    ASSERT_EQ(wantDnl[100], 0.5);
    ASSERT_EQ(wantDnl[101], -0.5);
    ASSERT_EQ(wantDnl[180], -1.0);

    // The converter's output codes, in volts on the code grid.
    std::vector<float> converted = overdrivenSine(int64_t(1) << 22, 1.03 * fullScale, 0.0);
    for (float& v : converted) {
        const int k = static_cast<int>(std::upper_bound(level.begin() + 1, level.end(), double(v)) - level.begin()) - 1;
        v = static_cast<float>((k - codes / 2) * lsb);
    }
    CodeHistogram histogram(bits, fullScale);
    histogram.add(converted.data(), static_cast<int64_t>(converted.size()));
    const CodeDensity density = analyseCodeDensity(histogram);
    ASSERT_TRUE(density.usable) << density.refusal;
    for (int k = 1; k < codes - 1; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(density.dnlLsb[k], wantDnl[k], 0.1);
        EXPECT_NEAR(density.inlLsb[k], wantInl[k], 0.1);
    }
    EXPECT_EQ(density.dnlLsb[180], -1.0);
    EXPECT_EQ(density.missingCodes, std::vector<int32_t>{180 - codes / 2});
    EXPECT_NEAR(density.dnlMinLsb, -1.0, 1e-12);
    EXPECT_NEAR(density.dnlMaxLsb, 0.5, 0.1);
    EXPECT_NEAR(density.inlMaxLsb, 0.5, 0.1);
}

TEST(CodeDensity, SignalsThatDoNotCoverTheRangeAreRefused) {
    struct Case {
        const char* name;
        double amplitude, offset;
        const char* says;
    };
    const Case cases[] = {
        {"inside the range", 0.9, 0.0, "slightly overdriven sine"},
        {"reaching the top only", 1.02, 0.1, "slightly overdriven sine"},
        {"reaching the bottom only", 1.02, -0.1, "slightly overdriven sine"},
        {"a square wave, nothing between the end codes", 50.0, 0.0, "slightly overdriven sine"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> y = overdrivenSine(100000, c.amplitude, c.offset);
        if (c.amplitude > 10) {
            for (float& v : y) v = v > 0 ? 2.0f : -2.0f;
        }
        CodeHistogram histogram(8, 1.0);
        histogram.add(y.data(), static_cast<int64_t>(y.size()));
        const CodeDensity density = analyseCodeDensity(histogram);
        EXPECT_FALSE(density.usable);
        EXPECT_NE(density.refusal.find(c.says), std::string::npos) << density.refusal;
        EXPECT_TRUE(density.dnlLsb.empty());
    }
    const CodeDensity empty = analyseCodeDensity(CodeHistogram(8, 1.0));
    EXPECT_FALSE(empty.usable);
    EXPECT_EQ(empty.refusal, "no samples");
}

// One bit: two end codes and one transition level, nothing to measure
// between them.
TEST(CodeDensity, OneBitHasNoCodeBetweenTheEnds) {
    const std::vector<float> y = overdrivenSine(1000, 1.02, 0.0);
    CodeHistogram histogram(1, 1.0);
    histogram.add(y.data(), static_cast<int64_t>(y.size()));
    const CodeDensity density = analyseCodeDensity(histogram);
    ASSERT_TRUE(density.usable) << density.refusal;
    ASSERT_EQ(density.dnlLsb.size(), 2u);
    EXPECT_TRUE(std::isnan(density.dnlLsb[0]) && std::isnan(density.dnlLsb[1]));
    EXPECT_EQ(density.inlLsb[1], 0.0);
    EXPECT_TRUE(density.missingCodes.empty());
}

}  // namespace
