// The per-channel work spread over threads: every channel exactly once, and a
// spectrum pass on several lanes that measures what the single-threaded one
// measures, also after the window changes.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "analysis/channel_workers.h"
#include "analysis/signal_metrics.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(ChannelWorkers, EveryChannelExactlyOnce) {
    for (int lanes : {1, 2, 3, 8}) {
        ChannelWorkers workers(lanes);
        EXPECT_EQ(workers.lanes(), lanes);
        for (int count : {0, 1, 2, 5, 32, 40}) {
            SCOPED_TRACE(::testing::Message() << lanes << " lanes, " << count << " channels");
            std::vector<std::atomic<int>> visits(static_cast<size_t>(count > 0 ? count : 1));
            for (auto& v : visits) v = 0;
            workers.forEachChannel(count, [&](int c) { ++visits[static_cast<size_t>(c)]; });
            for (int c = 0; c < count; ++c) EXPECT_EQ(visits[static_cast<size_t>(c)], 1) << "channel " << c;
        }
        std::vector<std::atomic<int>> calls(static_cast<size_t>(lanes));
        for (auto& v : calls) v = 0;
        for (int round = 0; round < 100; ++round) workers.run([&](int lane) { ++calls[static_cast<size_t>(lane)]; });
        for (int lane = 0; lane < lanes; ++lane) EXPECT_EQ(calls[static_cast<size_t>(lane)], 100);
    }
}

// Channels with a tone and a deterministic noise far above the dither.
struct Channels {
    explicit Channels(uint32_t n) {
        uint32_t state = 7;
        for (int c = 0; c < 5; ++c) {
            EXPECT_TRUE(record[c].allocateBuffers(static_cast<int32_t>(n)));
            for (uint32_t i = 0; i < n; ++i) {
                state = state * 1664525u + 1013904223u;
                const double noise = ((state >> 8) / 16777216.0 - 0.5) * 1e-3;
                record[c].samples[i] = (1.0 + c) * std::sin(2 * kPi * (37.3 + 11 * c) * i / n) + noise;
            }
            updateBlockStatistics(record[c], 1);
        }
    }
    ChannelRecord record[kChannelRecordCount];
};

TEST(ChannelWorkers, SpectrumPassOnSeveralLanesMeasuresAlike) {
    const uint32_t colours[kChannelRecordCount] = {0x00FF00, 0x0000FF, 0xFF0000, 0x808080, 0x123456};
    // Channel 2 holds no window: it is skipped and takes no dither.
    ChannelWorkers workers(3);
    SignalAnalyser serial, parallel;
    parallel.setWorkers(&workers);
    for (SignalAnalyser* a : {&serial, &parallel}) a->fftWindow.ditherAmplitude = kDitherAmplitude;

    // The window, its id and then its length change between passes; the
    // further lanes follow.
    const struct {
        uint32_t n;
        int32_t id;
    } steps[] = {{4096, 12}, {4096, 4}, {8192, 4}, {2048, 1}};
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message() << step.n << " points, window " << step.id);
        Channels a(step.n), b(step.n);
        a.record[2].releaseBuffers();
        b.record[2].releaseBuffers();
        for (SignalAnalyser* analyser : {&serial, &parallel}) {
            ASSERT_TRUE(analyser->fftWindow.resize(step.n));
            analyser->fftWindow.computeWindow(step.id);
            analyser->fftWindow.ditherAmplitude = kDitherAmplitude;
        }
        const SpectrumPassInput input{static_cast<int32_t>(step.n),
                                      static_cast<int32_t>(step.n),
                                      5,
                                      ViewMode::SpectrumVolts,
                                      3,
                                      step.id,
                                      48000.0,
                                      colours};
        ASSERT_TRUE(serial.runSpectrumPass(a.record, input));
        ASSERT_TRUE(parallel.runSpectrumPass(b.record, input));
        EXPECT_EQ(parallel.spectrumAverageCount, 4);
        EXPECT_EQ(parallel.ditherState, serial.ditherState);
        for (int c = 0; c < 5; ++c) {
            SCOPED_TRACE(c);
            const ChannelRecord& x = a.record[c];
            const ChannelRecord& y = b.record[c];
            // The same dither values reach every channel: the same results.
            EXPECT_EQ(y.freq, x.freq);
            EXPECT_EQ(y.ampl0, x.ampl0);
            EXPECT_EQ(y.total, x.total);
            EXPECT_EQ(y.sinad, x.sinad);
            EXPECT_EQ(y.sfdr, x.sfdr);
            EXPECT_EQ(y.snr, x.snr);
            EXPECT_EQ(y.thd, x.thd);
            if (c != 2) {
                EXPECT_GT(y.sinad, 50.0);
            }
            for (int m = 0; m < kMarkersPerChannel; ++m) {
                EXPECT_EQ(y.markers[m].kind, x.markers[m].kind);
                EXPECT_EQ(y.markers[m].colour, x.markers[m].colour);
                EXPECT_EQ(y.markers[m].bin, x.markers[m].bin);
            }
        }
    }
}

}  // namespace
