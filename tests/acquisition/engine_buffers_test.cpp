// The engine's sizing rules, its sample windows, block distribution, buffers
// and the board's channel set.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tests/acquisition/engine_fixture.h"

namespace {

// ---------------------------------------------------------------- sizing

TEST(EngineSizing, NextPowerOfTwo) {
    struct Case {
        int64_t v;
        int32_t want;
    };
    const Case cases[] = {
        {-5, 0},
        {0, 0},
        {1, 0},
        {2, 1},
        {3, 2},
        {4, 2},
        {1000, 10},
        {1024, 10},
        {1025, 11},
        {int64_t(1) << 30, 30},
        {(int64_t(1) << 30) + 1, 31},
        {int64_t(1) << 40, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(nextPowerOfTwo(c.v), c.want);
    }
}

TEST(EngineSizing, BlockLength) {
    struct Case {
        const char* name;
        int32_t displayTime;
        double channelRate;
        int32_t windowLength;
        int32_t want;
    };
    const Case cases[] = {
        {"d 2000 cut to N 1024", 200, 10000.0, 1024, 1024},   {"d 2000 in N 4096", 200, 10000.0, 4096, 2048},
        {"d 20 raised to 256", 200, 100.0, 4096, 256},        {"d 300 in N 512", 200, 1500.0, 512, 512},
        {"d 300 in N 1M", 200, 1500.0, 1 << 20, 512},         {"d 255.5 rounds to 256", 1, 255000.0, 4096, 256},
        {"d 257 raises B to 512", 1, 256600.0, 4096, 512},    {"N below 256, d 20: B above N", 200, 100.0, 64, 256},
        {"N below 256, d 2000: B = N", 200, 10000.0, 64, 64}, {"rate 0", 200, 0.0, 4096, 256},
        {"rate not a number", 200, std::nan(""), 4096, 256},  {"huge rate", 100000, 1e9, 1 << 30, 1 << 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(blockLengthFor(c.displayTime, c.channelRate, c.windowLength), c.want);
    }
}

TEST(EngineSizing, MaxPendingBlocks) {
    struct Case {
        const char* name;
        int32_t maxUsedMemory;
        int32_t blockLength;
        int32_t channels;
        int32_t want;
    };
    const Case cases[] = {
        {"64 MB, B 1024, 2 channels", 67108864, 1024, 2, 32768},
        {"64 MB, B 65536, 32 channels", 67108864, 65536, 32, 1000},
        {"just above 1000", 1001 * 256, 256, 1, 1001},
        {"no memory", 0, 1024, 2, 1000},
        {"no channels", 67108864, 1024, 0, 1000},
        {"largest memory, smallest block", INT32_MAX, 256, 1, INT32_MAX / 256},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(maxPendingBlocksFor(c.maxUsedMemory, c.blockLength, c.channels), c.want);
    }
}

// ---------------------------------------------------------------- appendSamples

// A small deterministic generator for lengths and values.
struct Lcg {
    uint32_t state = 12345;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

std::vector<double> window(const ChannelRecord& r) { return std::vector<double>(r.samples, r.samples + r.sampleCount); }

TEST(AppendSamples, WindowHoldsTheLatestSamplesOldestFirst) {
    const int32_t lengths[] = {32, 64, 1024};
    for (int32_t n : lengths) {
        SCOPED_TRACE(n);
        ChannelRecord record;
        ASSERT_TRUE(record.allocateBuffers(n));
        const int32_t slack = ChannelRecord::storeLengthFor(n) - n;
        std::deque<double> reference(static_cast<size_t>(n), 0.0);
        Lcg random;
        int16_t value = -20000;
        // Lengths around the window and the store's slack, then random ones.
        std::vector<int32_t> counts = {1, slack, slack + 1, slack - 1, n, n + 1, n - 1, 2 * n + 3, 1};
        for (int i = 0; i < 300; ++i) counts.push_back(1 + static_cast<int32_t>(random.next() % (2 * n + 8)));

        for (size_t step = 0; step < counts.size(); ++step) {
            const int32_t count = counts[step];
            if (count <= 0) continue;
            std::vector<int16_t> block(static_cast<size_t>(count));
            for (int16_t& s : block) {
                s = value;
                value = static_cast<int16_t>(value + 7);
            }
            ASSERT_TRUE(appendSamples(record, block.data(), count, 1, 0.5));
            for (int16_t s : block) {
                reference.push_back(s * 0.5);
                reference.pop_front();
            }
            ASSERT_EQ(window(record), std::vector<double>(reference.begin(), reference.end()))
                << "after append " << step << " of " << count;
            ASSERT_GE(record.samples, record.sampleStore);
            ASSERT_LE(record.samples + n, record.sampleStore + record.sampleStoreLength);
        }
    }
}

TEST(AppendSamples, StrideAndScale) {
    struct Case {
        const char* name;
        int32_t stride;
        int32_t wantStep;  // samples between two taken
        double scale;
    };
    const Case cases[] = {
        {"every sample", 1, 1, 1.0},
        {"every third", 3, 3, 0.25},
        {"stride 0 counts as 1", 0, 1, -2.0},
        {"negative stride counts as 1", -4, 1, 1e-3},
    };
    std::vector<int16_t> source(300);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<int16_t>(i * 3 - 400);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChannelRecord record;
        ASSERT_TRUE(record.allocateBuffers(64));
        ASSERT_TRUE(appendSamples(record, source.data() + 1, 40, c.stride, c.scale));
        const std::vector<double> got = window(record);
        for (int32_t i = 0; i < 24; ++i) EXPECT_EQ(got[i], 0.0) << i;
        for (int32_t j = 0; j < 40; ++j) EXPECT_DOUBLE_EQ(got[24 + j], source[1 + j * c.wantStep] * c.scale) << j;
    }
}

TEST(AppendSamples, ABlockLongerThanTheWindowGivesItsLastSamples) {
    ChannelRecord record;
    ASSERT_TRUE(record.allocateBuffers(32));
    std::vector<int16_t> source(200 * 2);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<int16_t>(i);
    // 200 frames of two interleaved channels; the second channel's last 32.
    ASSERT_TRUE(appendSamples(record, source.data() + 1, 200, 2, 1.0));
    const std::vector<double> got = window(record);
    for (int32_t i = 0; i < 32; ++i) EXPECT_EQ(got[i], static_cast<double>((168 + i) * 2 + 1)) << i;
}

TEST(AppendSamples, RefusedWithNothingChanged) {
    struct Case {
        const char* name;
        bool nullSource;
        int32_t count;
        bool buffers;
    };
    const Case cases[] = {
        {"null source", true, 10, true},
        {"count 0", false, 0, true},
        {"negative count", false, -3, true},
        {"record without buffers", false, 10, false},
    };
    const std::vector<int16_t> source(16, 1000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChannelRecord record;
        if (c.buffers) {
            ASSERT_TRUE(record.allocateBuffers(32));
            const int16_t some[5] = {1, 2, 3, 4, 5};
            ASSERT_TRUE(appendSamples(record, some, 5, 1, 1.0));
        }
        const double* const before = record.samples;
        const std::vector<double> kept = c.buffers ? window(record) : std::vector<double>{};
        EXPECT_FALSE(appendSamples(record, c.nullSource ? nullptr : source.data(), c.count, 1, 1.0));
        EXPECT_EQ(record.samples, before);
        if (c.buffers) EXPECT_EQ(window(record), kept);
        else EXPECT_EQ(record.sampleCount, 0);
    }

    // Released buffers refuse as well.
    ChannelRecord released;
    ASSERT_TRUE(released.allocateBuffers(32));
    released.releaseBuffers();
    EXPECT_FALSE(appendSamples(released, source.data(), 16, 1, 1.0));
    EXPECT_EQ(released.samples, nullptr);
}

// ---------------------------------------------------------------- distributeBlock

TEST_F(EngineTest, DistributeBlockDeinterleavesAndScalesByGain) {
    setBoard(3, 30000.0);
    device.board.gainWords[0] = 2;
    device.board.gainWords[1] = 0;
    device.board.gainWords[2] = 1;
    core->refreshBoardParameters();
    ASSERT_EQ(engine->channelCount(), 3);
    engine->measuredChannels()[2].gain = -4;
    engine->configure(StartRequest{0, 0, 200, 100, 0x4000000, 1});
    ASSERT_EQ(engine->filledCount(), 0);

    const int32_t b = 16;
    std::vector<int16_t> block(static_cast<size_t>(b) * 3);
    auto code = [](int32_t j, int32_t c) { return (c + 1) * 1000 + j - 8; };
    for (int32_t j = 0; j < b; ++j)
        for (int32_t c = 0; c < 3; ++c) block[static_cast<size_t>(j) * 3 + c] = static_cast<int16_t>(code(j, c));
    engine->distributeBlock(block.data(), b);

    const double gainUsed[3] = {2.0, 1.0, 1.0};
    const int32_t n = engine->windowLength();
    for (int32_t c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        const double* x = engine->measuredChannels()[c].samples;
        for (int32_t i = 0; i < n - b; ++i) ASSERT_EQ(x[i], 0.0) << i;
        for (int32_t j = 0; j < b; ++j) EXPECT_DOUBLE_EQ(x[n - b + j], code(j, c) * kVoltsPerCount / gainUsed[c]) << j;
    }
    // Channels beyond the count take nothing.
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(engine->measuredChannels()[3].samples[i], 0.0) << i;
    EXPECT_EQ(engine->filledCount(), b);

    // The filled count stops at N.
    std::vector<int16_t> longer(400 * 3, 1);
    const int32_t wantFilled[] = {416, 816, 1024, 1024};
    for (int32_t want : wantFilled) {
        engine->distributeBlock(longer.data(), 400);
        EXPECT_EQ(engine->filledCount(), want);
    }
}

// ---------------------------------------------------------------- board parameters

void setMeasurements(ChannelRecord& c, double v) {
    c.max = c.min = c.avg = c.rms = c.ueff = c.total = c.freq = v;
    c.ampl0 = c.dcLevel = c.sinad = c.enb = c.sfdr = c.snr = c.thd = v;
}

void expectMeasurements(const ChannelRecord& c, double v) {
    const double got[] = {c.max,   c.min,     c.avg,   c.rms, c.ueff, c.total, c.freq,
                          c.ampl0, c.dcLevel, c.sinad, c.enb, c.sfdr, c.snr,   c.thd};
    for (size_t i = 0; i < sizeof got / sizeof got[0]; ++i) EXPECT_EQ(got[i], v) << "value " << i;
}

TEST_F(EngineTest, ChannelCountIsClamped) {
    struct Case {
        uint32_t boardCount;
        int32_t want;
    };
    const Case cases[] = {{0, 1}, {1, 1}, {2, 2}, {32, 32}, {33, 32}, {40, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.boardCount);
        setBoard(40, 64000.0);
        device.board.channelCount = c.boardCount;
        core->refreshBoardParameters();
        EXPECT_EQ(engine->channelCount(), c.want);
        EXPECT_DOUBLE_EQ(engine->aggregateRate(), 64000.0);
        EXPECT_DOUBLE_EQ(engine->channelRate(), 64000.0 / c.want);
    }
}

TEST_F(EngineTest, RefreshTakesEachChannelFromTheBoard) {
    setBoard(3, 30000.0);
    BoardParameters& b = device.board;
    b.gainWords[0] = 0x12000007;  // the top byte is not part of the gain
    b.channelWords[0] = 0xC5;     // nor are the bits above the low six of the number
    b.gainWords[1] = 0x00ABCDEF;
    b.channelWords[1] = 9;
    b.channels[1].shown = 0;
    b.channels[2].shown = 3;
    for (int32_t k = 0; k < kChannelRecordCount; ++k) setMeasurements(engine->measuredChannels()[k], 1.5);
    engine->measuredChannels()[3].gain = 77;
    const uint32_t colour3 = colours()[3];

    core->refreshBoardParameters();

    EXPECT_EQ(engine->measuredChannels()[0].gain, 7);
    EXPECT_EQ(engine->measuredChannels()[0].channelNumber, 5);
    EXPECT_EQ(engine->measuredChannels()[1].gain, 0xABCDEF);
    EXPECT_EQ(engine->measuredChannels()[1].channelNumber, 9);
    EXPECT_EQ(engine->measuredChannels()[2].channelNumber, 2);
    EXPECT_NE(engine->channelShown()[0], 0);
    EXPECT_EQ(engine->channelShown()[1], 0);
    EXPECT_NE(engine->channelShown()[2], 0);
    for (int32_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(colours()[k], boardColour(k));
        expectMeasurements(engine->measuredChannels()[k], 0.0);
    }
    // Channels the board does not deliver keep what they had.
    EXPECT_EQ(engine->measuredChannels()[3].gain, 77);
    EXPECT_EQ(colours()[3], colour3);
    expectMeasurements(engine->measuredChannels()[3], 1.5);
    EXPECT_DOUBLE_EQ(engine->channelRate(), 10000.0);
}

TEST_F(EngineTest, PairedModeSharesWordsBetweenTwoChannels) {
    setBoard(4, 40000.0);
    BoardParameters& b = device.board;
    b.acquisition.modeBits = 1u << 4;
    b.acquisition.pairCount = 2;
    b.gainWords[0] = 3u | (5u << 16);
    b.gainWords[1] = 7u | (9u << 16);
    b.gainWords[2] = 11;  // not read in paired mode
    b.channelWords[0] = 0x41;
    b.channelWords[1] = 2;
    b.channelWords[2] = 30;
    b.channels[1].shown = 0;
    for (int32_t k = 0; k < kChannelRecordCount; ++k) setMeasurements(engine->measuredChannels()[k], 2.5);

    core->refreshBoardParameters();

    EXPECT_EQ(engine->channelCount(), 4);
    EXPECT_DOUBLE_EQ(engine->channelRate(), 20000.0);
    const int32_t wantGain[] = {3, 5, 7, 9};
    const int32_t wantNumber[] = {1, 1, 2, 2};
    for (int32_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(engine->measuredChannels()[k].gain, wantGain[k]);
        EXPECT_EQ(engine->measuredChannels()[k].channelNumber, wantNumber[k]);
        EXPECT_EQ(engine->channelShown()[k] != 0, k != 1);
        EXPECT_EQ(colours()[k], boardColour(k));
        expectMeasurements(engine->measuredChannels()[k], 0.0);
    }

    // More pairs than channel records: 16 pairs are taken, nothing beyond.
    setBoard(32, 64000.0);
    b.acquisition.pairCount = 20;
    for (int i = 0; i < 32; ++i) {
        b.gainWords[i] = static_cast<uint32_t>(i + 1) | (static_cast<uint32_t>(i + 101) << 16);
        b.channelWords[i] = static_cast<uint32_t>(i);
    }
    core->refreshBoardParameters();
    EXPECT_EQ(engine->channelCount(), 32);
    EXPECT_DOUBLE_EQ(engine->channelRate(), 4000.0);
    EXPECT_EQ(engine->measuredChannels()[30].gain, 16);
    EXPECT_EQ(engine->measuredChannels()[31].gain, 116);
    EXPECT_EQ(engine->measuredChannels()[31].channelNumber, 15);
}

TEST_F(EngineTest, RefreshEnablesAutoScaleOutsideTheDecibelViews) {
    struct Case {
        ViewMode mode;
        bool want;
    };
    const Case cases[] = {{ViewMode::Scope, true},
                          {ViewMode::SpectrumVolts, true},
                          {ViewMode::SpectrumDb0, false},
                          {ViewMode::SpectrumDb, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        view.displayMode = c.mode;
        dialog.enabled[BenchControl::AutoScale] = !c.want;
        dialog.enabled[BenchControl::Start] = false;
        core->refreshBoardParameters();
        EXPECT_EQ(dialog.enabled[BenchControl::AutoScale], c.want);
        EXPECT_TRUE(dialog.enabled[BenchControl::Start]);
    }
}

TEST_F(EngineTest, RefreshBuildsTheRecordNameOnlyForNumberedFiles) {
    struct Case {
        int32_t fileAutoIncrement;
        const char* want;  // the record name afterwards
    };
    const Case cases[] = {{0, ""}, {1, "rec001"}, {25, "rec025"}, {-1, "rec001"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileAutoIncrement);
        core->recorder.setFile("rec.dat", c.fileAutoIncrement);
        log.clear();
        core->refreshBoardParameters();
        EXPECT_EQ(log, c.want[0] ? (std::vector<std::string>{"Control 0 board", "buildRecordName"})
                                 : (std::vector<std::string>{"Control 0 board"}));
        EXPECT_STREQ(core->recorder.recordName(), c.want);
    }
}

TEST_F(EngineTest, ApplyChannelList) {
    struct Case {
        const char* name;
        int32_t count;
        int32_t wantApplied;
    };
    const Case cases[] = {
        {"count 40 applies 31", 40, 31},
        {"count 32 applies 31", 32, 31},
        {"count 31", 31, 31},
        {"count 3", 3, 3},
        {"count 0", 0, 0},
        {"count -1", -1, 0},
    };
    uint32_t entries[64];
    for (uint32_t k = 0; k < 64; ++k) entries[k] = ((k % 4) << 24) | (0xA00000u + k);
    entries[0] = 0xFF123456;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Every entry first set to something else; channel 31 keeps its preset.
        uint32_t before[31];
        for (uint32_t k = 0; k < 31; ++k) before[k] = (7u << 24) | (0x0B0000u + k);
        engine->applyChannelList(31, before);
        const std::vector<uint32_t> coloursBefore(colours(), colours() + kChannelRecordCount);
        const std::vector<int32_t> shownBefore(engine->channelShown(), engine->channelShown() + kChannelRecordCount);
        engine->applyChannelList(c.count, entries);
        for (int32_t k = 0; k < kChannelRecordCount; ++k) {
            SCOPED_TRACE(k);
            if (k < c.wantApplied) {
                EXPECT_EQ(engine->channelShown()[k], k == 0 ? 0xFF : k % 4);
                EXPECT_EQ(colours()[k], k == 0 ? 0x123456u : 0xA00000u + k);
            } else {
                EXPECT_EQ(engine->channelShown()[k], shownBefore[static_cast<size_t>(k)]);
                EXPECT_EQ(colours()[k], coloursBefore[static_cast<size_t>(k)]);
            }
        }
    }
}

// ---------------------------------------------------------------- buffers

TEST_F(EngineTest, BuffersAreKeptAndClearedWhileTheLengthStays) {
    const int32_t n = engine->windowLength();
    ASSERT_EQ(n, 1024);
    double* stores[kChannelRecordCount];
    double* spectra[kChannelRecordCount];
    const int16_t some[100] = {5, 6, 7};
    for (int32_t k = 0; k < kChannelRecordCount; ++k) {
        ChannelRecord& c = engine->measuredChannels()[k];
        ASSERT_EQ(c.sampleCount, n);
        stores[k] = c.sampleStore;
        spectra[k] = c.powerSpectrum;
        // Moves the window forward in its store and fills everything.
        ASSERT_TRUE(appendSamples(c, some, 100, 1, 1.0));
        std::fill(c.samples, c.samples + n, 3.0);
        std::fill(c.powerSpectrum, c.powerSpectrum + n / 2, 4.0);
    }
    float* const scratch = const_cast<float*>(core->plotScratch());
    // The scratch array is kept as it is, not cleared (new pages would be zero).
    std::fill(scratch, scratch + n, 2.5f);
    std::fill(analysis.fftWindow.workBuffer, analysis.fftWindow.workBuffer + n, 9.0);

    // A start with the same window length.
    pressStart();
    ASSERT_TRUE(engine->running());

    EXPECT_EQ(core->plotScratch(), scratch);
    EXPECT_EQ(core->plotScratchLength(), n);
    EXPECT_EQ(core->plotScratch()[0], 2.5f);
    EXPECT_EQ(core->plotScratch()[n - 1], 2.5f);
    for (int32_t k = 0; k < kChannelRecordCount; ++k) {
        SCOPED_TRACE(k);
        const ChannelRecord& c = engine->measuredChannels()[k];
        EXPECT_EQ(c.sampleStore, stores[k]);
        EXPECT_EQ(c.samples, stores[k]);
        EXPECT_EQ(c.powerSpectrum, spectra[k]);
        EXPECT_EQ(c.sampleCount, n);
        for (int32_t i = 0; i < n; ++i) ASSERT_EQ(c.samples[i], 0.0) << i;
        for (int32_t i = 0; i < n / 2; ++i) ASSERT_EQ(c.powerSpectrum[i], 0.0) << i;
    }
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(analysis.fftWindow.workBuffer[i], 0.0) << i;
    EXPECT_TRUE(dialog.errors.empty());
}

TEST_F(EngineTest, BuffersFollowANewLength) {
    view.fftWnd = 3;
    analysis.fftWindow.ditherAmplitude = 0.0;
    const int32_t lengths[] = {4096, 256, 1024};
    for (int32_t n : lengths) {
        SCOPED_TRACE(n);
        settings.sizeArray[1] = n;
        view.sizeIndex = 1;
        pressStart();
        ASSERT_EQ(engine->windowLength(), n);
        for (int32_t k = 0; k < kChannelRecordCount; ++k) {
            const ChannelRecord& c = engine->measuredChannels()[k];
            ASSERT_EQ(c.sampleCount, n) << k;
            ASSERT_TRUE(c.hasBuffers()) << k;
            ASSERT_GE(c.sampleStoreLength, n) << k;
            for (int32_t i = 0; i < n; ++i) ASSERT_EQ(c.samples[i], 0.0) << k << " " << i;
            for (int32_t i = 0; i < n / 2; ++i) ASSERT_EQ(c.powerSpectrum[i], 0.0) << k << " " << i;
        }
        ASSERT_NE(core->plotScratch(), nullptr);
        EXPECT_EQ(core->plotScratchLength(), n);
        // Every float of the scratch array is writable.
        float* const scratch = const_cast<float*>(core->plotScratch());
        std::fill(scratch, scratch + n, 1.0f);
        EXPECT_EQ(analysis.fftWindow.length, static_cast<uint32_t>(n));
        EXPECT_EQ(analysis.fftWindow.windowId, 3);
        EXPECT_EQ(analysis.fftWindow.ditherAmplitude, kDitherAmplitude);
        pressStop();
    }
    EXPECT_TRUE(dialog.errors.empty());
}

// ---------------------------------------------------------------- missing windows

TEST_F(EngineTest, AFailedAllocationIsReportedAndTheStartGoesOn) {
    // A window of one sample cannot be given to a channel record.
    settings.sizeArray[1] = 1;
    view.sizeIndex = 1;
    pressStart();

    EXPECT_EQ(dialog.errors, std::vector<std::string>{dialogText(kNoMemoryText)});
    EXPECT_TRUE(engine->running());
    EXPECT_NE(findEntry(log, "Start 2"), std::string::npos);
    for (int32_t k = 0; k < kChannelRecordCount; ++k) EXPECT_FALSE(engine->measuredChannels()[k].hasBuffers()) << k;

    // Blocks find no window to go to, and nothing reads one.
    utility.queueBlock(engine->blockLength(), 2, [](int32_t j, int32_t c) { return 100; });
    core->onAcquisitionTimer();
    EXPECT_TRUE(engine->running());
    EXPECT_TRUE(dialog.timerArmed);
    EXPECT_EQ(dialog.errors.size(), 1u);
}

TEST_F(EngineTest, AChannelWithoutBuffersIsSkipped) {
    pressStart();
    ChannelRecord& lost = engine->measuredChannels()[1];
    lost.releaseBuffers();
    lost.max = 50.0;
    lost.min = -50.0;
    utility.queueBlock(1024, 2, [](int32_t j, int32_t c) {
        if (c == 1) return 30000;
        return j % 2 ? 1000 : -2000;
    });

    core->onAcquisitionTimer();

    EXPECT_FALSE(lost.hasBuffers());
    EXPECT_EQ(lost.samples, nullptr);
    EXPECT_EQ(lost.max, 50.0);
    EXPECT_EQ(lost.min, -50.0);
    ASSERT_NE(engine->channelShown()[1], 0);
    const ChannelRecord& kept = engine->measuredChannels()[0];
    EXPECT_DOUBLE_EQ(kept.max, 1000 * kVoltsPerCount);
    EXPECT_DOUBLE_EQ(kept.min, -2000 * kVoltsPerCount);
    EXPECT_DOUBLE_EQ(analysis.scopeMax, kept.max);
    EXPECT_DOUBLE_EQ(analysis.scopeMin, kept.min);
    EXPECT_NE(findEntry(log, "redraw"), std::string::npos);
    EXPECT_TRUE(engine->running());
}

}  // namespace
