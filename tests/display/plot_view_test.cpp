// Ranges, units and point counts of every view, and the curve values handed
// to the plot component.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "display/plot_view.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

MainPlotInput baseInput(ViewMode view) {
    MainPlotInput in{};
    in.view = view;
    in.autoScale = false;
    in.windowLength = 4096;
    in.channelRate = 50000.0;
    in.fftScaleV = 10.0;
    in.fftScaleDb = 140.0;
    in.enbw = 1.0;
    in.peakPower = 0.0;
    in.scopeMin = 0.0;
    in.scopeMax = 0.0;
    in.oscScale = 10.0;
    return in;
}

void expectRange(const PlotRange& got, const PlotRange& want) {
    const float g[6] = {got.xMin, got.xMax, got.scaleBottom, got.scaleTop, got.dataBottom, got.dataTop};
    const float w[6] = {want.xMin, want.xMax, want.scaleBottom, want.scaleTop, want.dataBottom, want.dataTop};
    const char* names[6] = {"x min", "x max", "scale bottom", "scale top", "data bottom", "data top"};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(names[i]);
        if (std::isinf(w[i])) EXPECT_EQ(g[i], w[i]);
        else EXPECT_FLOAT_EQ(g[i], w[i]);
    }
}

}  // namespace

TEST(PlotFrames, EveryViewWithAndWithoutAutoScale) {
    struct Case {
        const char* name;
        ViewMode view;
        bool autoScale;
        double enbw, peakPower, scopeMin, scopeMax, scaleDb;
        PlotRange want;
        std::string xUnit, yUnit;
        int32_t points;
    };
    const float seconds = 4096 / 50000.0f;
    const float pMax = 2.0f;
    const Case cases[] = {
        {"scope, auto scale",
         ViewMode::Scope,
         true,
         1.0,
         0.0,
         -1.0,
         3.0,
         140.0,
         {0, seconds, -1.4f, 3.4f, -1.4f, 3.4f},
         "Sec",
         "V  ",
         4096},
        {"scope",
         ViewMode::Scope,
         false,
         1.0,
         0.0,
         -1.0,
         3.0,
         140.0,
         {0, seconds, -10, 10, -10, 10},
         "Sec",
         "V  ",
         4096},
        {"scope, flat signal",
         ViewMode::Scope,
         true,
         1.0,
         0.0,
         2.0,
         2.0,
         140.0,
         {0, seconds, 2, 2, 2, 2},
         "Sec",
         "V  ",
         4096},
        {"volts",
         ViewMode::SpectrumVolts,
         false,
         1.0,
         pMax,
         0.0,
         0.0,
         140.0,
         {0, 25000, 0, 7.0710678f, 0, 7.0710678f},
         "Hz",
         "Rms  ",
         2048},
        {"volts, enbw 2",
         ViewMode::SpectrumVolts,
         false,
         2.0,
         pMax,
         0.0,
         0.0,
         140.0,
         {0, 25000, 0, 7.0710678f, 0, 5.0f},
         "Hz",
         "Rms  ",
         2048},
        {"volts, auto scale",
         ViewMode::SpectrumVolts,
         true,
         2.0,
         pMax,
         0.0,
         0.0,
         140.0,
         {0, 25000, 0, std::sqrt(2.0f * 1.1f * pMax), 0, std::sqrt(1.1f * pMax)},
         "Hz",
         "Rms  ",
         2048},
        {"volts, auto scale before any spectrum",
         ViewMode::SpectrumVolts,
         true,
         1.0,
         0.0,
         0.0,
         0.0,
         140.0,
         {0, 25000, 0, 0, 0, 0},
         "Hz",
         "Rms  ",
         2048},
        {"dB0 (auto scale ignored)",
         ViewMode::SpectrumDb0,
         true,
         1.0,
         pMax,
         0.0,
         0.0,
         140.0,
         {0, 25000, -140, 0, static_cast<float>(10 * std::log10(0.02) - 140),
          static_cast<float>(10 * std::log10(0.02))},
         "Hz",
         "dB  ",
         2048},
        {"dB0 before any spectrum",
         ViewMode::SpectrumDb0,
         false,
         1.0,
         0.0,
         0.0,
         0.0,
         140.0,
         {0, 25000, -140, 0, -kInf, -kInf},
         "Hz",
         "dB  ",
         2048},
        {"dB",
         ViewMode::SpectrumDb,
         false,
         1.0,
         pMax,
         0.0,
         0.0,
         200.0,
         {0, 25000, -200, 0, -190, 10},
         "Hz",
         "dB  ",
         2048},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MainPlotInput in = baseInput(c.view);
        in.autoScale = c.autoScale;
        in.enbw = c.enbw;
        in.peakPower = c.peakPower;
        in.scopeMin = c.scopeMin;
        in.scopeMax = c.scopeMax;
        in.fftScaleDb = c.scaleDb;
        const PlotFrame frame = mainPlotFrame(in);
        expectRange(frame.range, c.want);
        EXPECT_EQ(frame.xUnit, c.xUnit);
        EXPECT_EQ(frame.yUnit, c.yUnit);
        EXPECT_EQ(frame.points, c.points);
    }
}

// A bin-centred sine of peak amplitude V reaches the top of the volt view
// without auto scale: its bin holds (V^2 / 2) / enbw.
TEST(PlotFrames, FullScaleSineReachesTheTopOfTheVoltView) {
    for (double enbw : {1.0, 1.5, 3.77}) {
        SCOPED_TRACE(enbw);
        MainPlotInput in = baseInput(ViewMode::SpectrumVolts);
        in.enbw = enbw;
        const PlotFrame frame = mainPlotFrame(in);
        const double peakBin = std::sqrt(10.0 * 10.0 / 2.0 / enbw);
        EXPECT_NEAR(frame.range.dataTop, peakBin, 1e-5);
    }
}

TEST(PlotFrames, TopPlotShowsTheTimeSignalAtTheFixedScale) {
    const PlotFrame frame = topPlotFrame(1024, 10000.0, 2.5);
    expectRange(frame.range, {0, 0.1024f, -2.5f, 2.5f, -2.5f, 2.5f});
    EXPECT_STREQ(frame.xUnit, "Sec");
    EXPECT_EQ(frame.yUnit, nullptr);
    EXPECT_EQ(frame.points, 1024);
}

TEST(ConvertForPlot, ValuesOfEveryView) {
    ChannelRecord channel;
    ASSERT_TRUE(channel.allocateBuffers(8));
    for (int i = 0; i < 8; ++i) channel.samples[i] = 0.1 * i - 0.3;
    const double power[4] = {0.0, 1.0, 4.0, 100.0};
    for (int k = 0; k < 4; ++k) channel.powerSpectrum[k] = power[k];

    float out[8];
    ASSERT_EQ(convertForPlot(channel, ViewMode::Scope, 10.0, out), 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], static_cast<float>(0.1 * i - 0.3));

    ASSERT_EQ(convertForPlot(channel, ViewMode::SpectrumVolts, 10.0, out), 4);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[1], 1.0f);
    EXPECT_FLOAT_EQ(out[2], 2.0f);
    EXPECT_FLOAT_EQ(out[3], 10.0f);

    for (ViewMode view : {ViewMode::SpectrumDb0, ViewMode::SpectrumDb}) {
        SCOPED_TRACE(static_cast<int>(view));
        ASSERT_EQ(convertForPlot(channel, view, 10.0, out), 4);
        EXPECT_EQ(out[0], -kInf);  // a bin of exactly 0
        EXPECT_FLOAT_EQ(out[1], -20.0f);
        EXPECT_FLOAT_EQ(out[2], static_cast<float>(10 * std::log10(0.04)));
        EXPECT_FLOAT_EQ(out[3], 0.0f);
    }
}

TEST(ConvertForPlot, ChannelWithoutBuffersGivesNothing) {
    ChannelRecord channel;
    float out[4] = {1, 2, 3, 4};
    EXPECT_EQ(convertForPlot(channel, ViewMode::Scope, 10.0, out), 0);
    EXPECT_EQ(convertForPlot(channel, ViewMode::SpectrumDb, 10.0, out), 0);
    EXPECT_EQ(out[0], 1.0f);
}

// The dB views convert with their own logarithm: every bin must come out as
// the float of 10 log10(P / V^2) computed with the library, to within one
// unit in the last place, over the whole range of doubles, and the special
// values must follow the library exactly.
TEST(ConvertForPlot, DecibelsAgreeWithTheLibraryLogarithm) {
    const int32_t n = 1 << 16;
    ChannelRecord channel;
    ASSERT_TRUE(channel.allocateBuffers(2 * n));
    uint64_t state = 12345;
    for (int32_t k = 0; k < n; ++k) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        // Mantissas at random, exponents over the whole range of doubles.
        const double mantissa = 1.0 + static_cast<double>(state >> 11) / 9007199254740992.0;
        const int exponent = static_cast<int>((state >> 3) % 2100) - 1075;
        channel.powerSpectrum[k] = std::ldexp(mantissa, exponent);
    }
    const double special[] = {0.0,
                              -0.0,
                              4.9e-324,
                              2.2250738585072014e-308,
                              1e-300,
                              1.0,
                              1.4142135623730951,
                              0.7071067811865476,
                              2.0,
                              1.7976931348623157e308,
                              std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};
    for (size_t i = 0; i < sizeof special / sizeof special[0]; ++i) channel.powerSpectrum[i] = special[i];

    std::vector<float> out(static_cast<size_t>(n));
    for (double v : {10.0, 1.0, 0.1, 1e-150, 1e150}) {
        SCOPED_TRACE(v);
        ASSERT_EQ(convertForPlot(channel, ViewMode::SpectrumDb, v, out.data()), n);
        int mismatches = 0;
        for (int32_t k = 0; k < n && mismatches < 5; ++k) {
            const double p = channel.powerSpectrum[k];
            const float want = static_cast<float>(10.0 * std::log10(p / (v * v)));
            const float got = out[static_cast<size_t>(k)];
            const bool same = std::isnan(want) ? std::isnan(got)
                              : std::isinf(want)
                                  ? got == want
                                  : std::fabs(got - want) <= std::fabs(std::nextafter(want, 0.0f) - want);
            if (!same) {
                ++mismatches;
                ADD_FAILURE() << "P = " << p << ": got " << got << ", want " << want;
            }
        }
    }
}
