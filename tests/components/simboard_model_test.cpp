// The simulated board's model: pacing on a driven clock, the converter, the
// signal, the settings file and the driver's answers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "components/simboard/protocol.h"
#include "config/config_reader.h"
#include "tests/support/board_clocks.h"

namespace {

using simboard::Acquisition;
using simboard::BoardSettings;
using simboard::CapabilityFailure;

constexpr double kPi = 3.14159265358979323846;

BoardSettings settingsFrom(const std::string& text) {
    const ConfigReader reader(text.data(), text.size());
    return simboard::readSettings(reader);
}

// One channel, a clean signal, fast to generate.
BoardSettings quietSettings(int32_t channels, double rate) {
    BoardSettings s = simboard::defaultSettings();
    s.channels = channels;
    s.rate = rate;
    for (auto& c : s.channel) {
        c.noise = 0.0;
        c.harmonicCount = 0;
    }
    return s;
}

AcquisitionParameters parametersFor(const BoardSettings& s) {
    BoardParameters p = emptyBoardParameters();
    EXPECT_TRUE(simboard::control(s, kControlRead, &p));
    return p.acquisition;
}

// ---------------------------------------------------------------- pacing

TEST(SimBoardPacer, FramesDueFollowElapsedTime) {
    struct Case {
        const char* name;
        uint64_t ticksPerSecond;
        double framesPerSecond;
        uint64_t elapsed;
        uint64_t want;
    };
    const Case cases[] = {
        {"nothing elapsed", 1000, 50000.0, 0, 0},
        {"one second", 1000, 50000.0, 1000, 50000},
        {"part of a frame", 10000000, 50000.0, 199, 0},
        {"just one frame", 10000000, 50000.0, 200, 1},
        {"non-integral rate", 3, 100000.0 / 3, 3 * 3600 + 1, 120011111},
        {"odd clock", 3579545, 44100.0, 3579545 * 10 + 3579545 / 2, 463049},
        {"a week at 10 MHz", 10000000, 1e6, 10000000ull * 604800, 604800000000ull},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        simboard::Pacer pacer;
        pacer.start(5000, c.ticksPerSecond, c.framesPerSecond);
        EXPECT_EQ(pacer.framesDue(5000 + c.elapsed), c.want);
        EXPECT_EQ(pacer.framesDue(4000), 0u) << "before the start";
    }
}

// Polled at random moments over an hour, the count is what an hour holds:
// the fractions left by one poll are never lost.
TEST(SimBoardPacer, JitteryPollingNeitherStallsNorDrifts) {
    const uint64_t perSecond = 3579545;
    simboard::Pacer pacer;
    pacer.start(0, perSecond, 100000.0 / 3);
    uint64_t now = 0;
    uint64_t previous = 0;
    uint32_t seed = 12345;
    while (now < perSecond * 3600) {
        seed = seed * 1664525u + 1013904223u;
        now += 1 + (seed >> 8) % (perSecond / 50);  // up to 20 ms
        const uint64_t due = pacer.framesDue(now);
        ASSERT_GE(due, previous) << "at tick " << now;
        previous = due;
    }
    // Exact in integers; the rate itself is a rounded double, hence one frame.
    const uint64_t exact = now * 100000 / (3 * perSecond);
    EXPECT_NEAR(static_cast<double>(pacer.framesDue(now)), static_cast<double>(exact), 1.0);
}

// Polled every few microseconds, far more often than a frame is due, the
// stream still advances and never falls a block behind.
TEST(SimBoardAcquisition, FrequentPollingNeverStalls) {
    DrivenClock clock(1000000);
    BoardSettings s = quietSettings(1, 100000.0 / 3);
    Acquisition a(clock);
    a.configure(s);
    ASSERT_TRUE(a.open(0));
    ASSERT_TRUE(a.setBlockSamples(256));
    const AcquisitionParameters p = parametersFor(s);
    ASSERT_TRUE(a.start(&p));

    simboard::Pacer reference;
    reference.start(clock.ticks(), 1000000, 100000.0 / 3);
    for (int poll = 0; poll < 10000000 / 7; ++poll) {
        clock.advance(7);
        while (a.readyBlocks() > 0) {
            ASSERT_NE(a.takeBlock(), nullptr);
            ASSERT_TRUE(a.releaseBlock());
        }
        ASSERT_LT(reference.framesDue(clock.ticks()) - a.framesDelivered(), 256u) << "behind at poll " << poll;
    }
    EXPECT_EQ(a.framesDelivered(), 333312u);  // 10 s: 333333 frames, 1302 whole blocks
}

TEST(SimBoardAcquisition, ReadyBlocksCountWholeBlocksOfTheAggregateRate) {
    DrivenClock clock(10000000);
    BoardSettings s = quietSettings(2, 100000.0);  // 50000 frames per second
    Acquisition a(clock);
    a.configure(s);
    ASSERT_TRUE(a.open(1024));
    ASSERT_TRUE(a.setBlockSamples(2 * 1000));
    EXPECT_EQ(a.blockFrames(), 1000);
    const AcquisitionParameters p = parametersFor(s);
    ASSERT_TRUE(a.start(&p));
    EXPECT_DOUBLE_EQ(a.framesPerSecond(), 50000.0);

    EXPECT_EQ(a.readyBlocks(), 0);
    EXPECT_EQ(a.takeBlock(), nullptr) << "nothing due yet";
    clock.advance(199999);  // 999.995 frames
    EXPECT_EQ(a.readyBlocks(), 0);
    clock.advance(1);
    EXPECT_EQ(a.readyBlocks(), 1);
    clock.advanceSeconds(3600.0);  // an hour not taken
    EXPECT_EQ(a.readyBlocks(), 180001);
    ASSERT_NE(a.takeBlock(), nullptr);
    EXPECT_EQ(a.readyBlocks(), 180000);
}

TEST(SimBoardAcquisition, OneBlockIsHeldUntilReleased) {
    DrivenClock clock(1000);
    BoardSettings s = quietSettings(1, 1000.0);
    Acquisition a(clock);
    a.configure(s);
    ASSERT_TRUE(a.open(100));
    const AcquisitionParameters p = parametersFor(s);
    ASSERT_TRUE(a.start(&p));
    clock.advance(1000);
    ASSERT_EQ(a.readyBlocks(), 10);
    const int16_t* first = a.takeBlock();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(a.takeBlock(), nullptr) << "the held block would be overwritten";
    EXPECT_TRUE(a.releaseBlock());
    EXPECT_FALSE(a.releaseBlock()) << "nothing held";
    EXPECT_NE(a.takeBlock(), nullptr);

    a.stop();
    EXPECT_EQ(a.readyBlocks(), 0);
    EXPECT_EQ(a.takeBlock(), nullptr);
    EXPECT_FALSE(a.releaseBlock()) << "stop drops the held block";
}

TEST(SimBoardAcquisition, RefusesWhatItCannotDo) {
    DrivenClock clock(1000);
    BoardSettings s = quietSettings(3, 3000.0);
    Acquisition a(clock);
    a.configure(s);
    AcquisitionParameters p = parametersFor(s);
    EXPECT_FALSE(a.start(&p)) << "not open";
    ASSERT_TRUE(a.open(0));
    EXPECT_FALSE(a.setBlockSamples(0));
    EXPECT_FALSE(a.setBlockSamples(-3));
    EXPECT_FALSE(a.setBlockSamples(1000)) << "not whole frames of 3 channels";
    EXPECT_FALSE(a.setBlockSamples(INT32_MAX - 1)) << "beyond the largest block";
    EXPECT_TRUE(a.setBlockSamples(999));
    EXPECT_EQ(a.blockFrames(), 333);
    EXPECT_FALSE(a.start(nullptr));
    AcquisitionParameters wrong = p;
    wrong.type = kBoardParametersType;
    EXPECT_FALSE(a.start(&wrong));
    wrong = p;
    wrong.size = 40;
    EXPECT_FALSE(a.start(&wrong));
    ASSERT_TRUE(a.start(&p));
    EXPECT_FALSE(a.setBlockSamples(300)) << "while running";

    s.failOpen = true;
    a.configure(s);
    EXPECT_FALSE(a.open(0));
    EXPECT_FALSE(a.start(&p));
}

// Each failure setting refuses its own step and leaves the others working.
TEST(SimBoardAcquisition, FailureSettingsRefuseTheirStep) {
    const struct {
        const char* name;
        const char* text;
        bool opens, setsBlockSize, starts;
    } cases[] = {
        {"none", "", true, true, true},
        {"FailOpen", "FailOpen = 1", false, true, false},
        {"FailBlockSize", "FailBlockSize = 1", true, false, true},
        {"FailStart", "FailStart = 1", true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DrivenClock clock(1000);
        const BoardSettings s = settingsFrom(c.text);
        Acquisition a(clock);
        a.configure(s);
        EXPECT_EQ(a.open(1024), c.opens);
        EXPECT_EQ(a.setBlockSamples(2 * 512), c.setsBlockSize);
        EXPECT_EQ(a.blockFrames(), c.setsBlockSize ? 512 : 1024) << "a refused size changes nothing";
        const AcquisitionParameters p = parametersFor(s);
        EXPECT_EQ(a.start(&p), c.starts);
        EXPECT_EQ(a.running(), c.starts);
        clock.advanceSeconds(1.0);
        EXPECT_EQ(a.readyBlocks() > 0, c.starts);
    }
}

// The rate field of the start record: a usable rate is taken, anything else
// falls back to the configured one.
TEST(SimBoardAcquisition, StartTakesTheRecordsRateOrTheConfiguredOne) {
    const struct {
        const char* name;
        double rate;
        double wantFramesPerSecond;
    } cases[] = {
        {"record's rate", 300000.0, 150000.0},
        {"0: configured", 0.0, 50000.0},
        {"negative: configured", -1000.0, 50000.0},
        {"not a number: configured", std::nan(""), 50000.0},
        {"infinite: configured", INFINITY, 50000.0},
        {"above 1e9: configured", 2e9, 50000.0},
        {"1e9", 1e9, 5e8},
    };
    const BoardSettings s = quietSettings(2, 100000.0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DrivenClock clock(1000);
        Acquisition a(clock);
        a.configure(s);
        ASSERT_TRUE(a.open(0));
        AcquisitionParameters p = parametersFor(s);
        p.aggregateRate = c.rate;
        ASSERT_TRUE(a.start(&p));
        EXPECT_EQ(a.framesPerSecond(), c.wantFramesPerSecond);
    }
}

// A fast board that the program does not keep up with: the backlog counts
// into the thousands within a second, and a very long one saturates rather
// than wrapping.
TEST(SimBoardAcquisition, BacklogOfAFastBoardIsCountedInFull) {
    DrivenClock clock(10000000);
    const BoardSettings s = settingsFrom("Rate = 20000000\nChannels = 2");
    Acquisition a(clock);
    a.configure(s);
    ASSERT_TRUE(a.open(1024));
    ASSERT_TRUE(a.setBlockSamples(2 * 1024));
    const AcquisitionParameters p = parametersFor(s);
    ASSERT_TRUE(a.start(&p));
    ASSERT_EQ(a.framesPerSecond(), 1e7);

    clock.advanceSeconds(0.2);
    EXPECT_EQ(a.readyBlocks(), 1953);  // 2,000,000 frames
    clock.advanceSeconds(0.8);
    EXPECT_EQ(a.readyBlocks(), 9765);  // 10,000,000 frames
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(a.takeBlock(), nullptr);
        ASSERT_TRUE(a.releaseBlock());
    }
    EXPECT_EQ(a.readyBlocks(), 9762);
    clock.advanceSeconds(7.0 * 86400);  // a week: 5.9e9 blocks
    EXPECT_EQ(a.readyBlocks(), INT32_MAX);
    EXPECT_NE(a.takeBlock(), nullptr);
}

TEST(SimBoardAcquisition, BlocksInterleaveTheChannelsCodes) {
    DrivenClock clock(1000);
    BoardSettings s = quietSettings(3, 3000.0);
    s.channel[0].amplitude = 0.0;
    s.channel[0].dc = 1.0;  // 3276.8 codes
    s.channel[1].amplitude = 0.0;
    s.channel[1].dc = -2.5;
    s.channel[1].gain = 2;  // -5 V at the converter
    s.channel[2].amplitude = 0.0;
    s.channel[2].dc = 30.0;  // beyond full scale
    Acquisition a(clock);
    a.configure(s);
    ASSERT_TRUE(a.open(4));
    const AcquisitionParameters p = parametersFor(s);
    ASSERT_TRUE(a.start(&p));
    clock.advance(10);
    const int16_t* block = a.takeBlock();
    ASSERT_NE(block, nullptr);
    for (int f = 0; f < 4; ++f) {
        SCOPED_TRACE(f);
        EXPECT_EQ(block[3 * f + 0], 3277);
        EXPECT_EQ(block[3 * f + 1], -16384);
        EXPECT_EQ(block[3 * f + 2], 32767);
    }
}

TEST(SimBoardAcquisition, PairedModeRunsAtTheRateOfThePairs) {
    DrivenClock clock(1000);
    BoardSettings s = quietSettings(4, 100000.0);
    s.paired = true;
    Acquisition a(clock);
    a.configure(s);
    ASSERT_TRUE(a.open(0));
    const AcquisitionParameters p = parametersFor(s);
    ASSERT_TRUE(a.start(&p));
    EXPECT_DOUBLE_EQ(a.framesPerSecond(), 50000.0);
}

TEST(SimBoardAcquisition, DisconnectsAfterTheConfiguredTime) {
    DrivenClock clock(1000);
    BoardSettings s = quietSettings(1, 1000.0);
    s.disconnectAfter = 2.0;
    Acquisition a(clock);
    a.configure(s);
    ASSERT_TRUE(a.open(10));
    clock.advanceSeconds(5.0);
    EXPECT_TRUE(a.connected()) << "the time counts from the first start";
    const AcquisitionParameters p = parametersFor(s);
    ASSERT_TRUE(a.start(&p));
    clock.advance(1999);
    EXPECT_TRUE(a.connected());
    EXPECT_GT(a.readyBlocks(), 0);
    clock.advance(1);
    EXPECT_FALSE(a.connected());
    EXPECT_EQ(a.readyBlocks(), 0);
    EXPECT_EQ(a.takeBlock(), nullptr);
    a.stop();
    EXPECT_FALSE(a.start(&p)) << "a disconnected board stays so";

    s.disconnectAfter = 0.0;
    a.configure(s);
    EXPECT_FALSE(a.connected()) << "0: disconnected from the outset";
}

// ---------------------------------------------------------------- converter

TEST(SimBoardConverter, QuantizesToSaturatingCodes) {
    struct Case {
        const char* name;
        double volts, fullScale;
        int32_t bits;
        int16_t want;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {"zero", 0.0, 10.0, 16, 0},
        {"half scale", 5.0, 10.0, 16, 16384},
        {"negative full scale", -10.0, 10.0, 16, -32768},
        {"positive full scale saturates", 10.0, 10.0, 16, 32767},
        {"far above", 1e6, 10.0, 16, 32767},
        {"far below", -1e6, 10.0, 16, -32768},
        {"half a code rounds up", 10.0 / 65536, 10.0, 16, 1},
        {"just under half a code", 0.99 * 10.0 / 65536, 10.0, 16, 0},
        {"one volt", 1.0, 10.0, 16, 3277},
        {"other full scale", 1.0, 2.0, 16, 16384},
        {"12 bits step 16", 1.0, 10.0, 12, 3280},
        {"12 bits top", 10.0, 10.0, 12, 32752},
        {"12 bits small", 0.002, 10.0, 12, 0},
        {"1 bit", 3.0, 10.0, 1, 0},
        {"1 bit negative", -6.0, 10.0, 1, -32768},
        {"bits above 16 count as 16", 1.0, 10.0, 40, 3277},
        {"zero full scale counts as 1 V", 0.5, 0.0, 16, 16384},
        {"not a number", nan, 10.0, 16, 0},
        {"infinity", INFINITY, 10.0, 16, 32767},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(simboard::quantize(c.volts, c.fullScale, c.bits), c.want);
    }
}

// ---------------------------------------------------------------- signal

// Correlation with a bin-centred sine: the amplitude of bin k of n samples.
double toneAmplitude(const std::vector<double>& x, int bin) {
    double re = 0.0, im = 0.0;
    const size_t n = x.size();
    for (size_t i = 0; i < n; ++i) {
        const double a = 2.0 * kPi * bin * static_cast<double>(i) / n;
        re += x[i] * std::cos(a);
        im += x[i] * std::sin(a);
    }
    return 2.0 * std::hypot(re, im) / n;
}

TEST(SimBoardSignal, SineReachesItsAmplitudeInCodes) {
    BoardSettings s = quietSettings(1, 51200.0);
    s.channel[0].frequency = 21.0 * 51200.0 / 1024;
    s.channel[0].amplitude = 9.0;
    simboard::ChannelSignal signal(s.channel[0], 51200.0, 1);
    int16_t low = 0, high = 0;
    int crossings = 0;
    int16_t previous = 0;
    for (uint64_t f = 0; f < 1024; ++f) {
        const int16_t code = simboard::quantize(signal.volts(f), 10.0, 16);
        low = std::min(low, code);
        high = std::max(high, code);
        if (f > 0 && previous < 0 && code >= 0) ++crossings;
        previous = code;
    }
    EXPECT_NEAR(high, 29491, 2);  // 9 V of 10 V full scale
    EXPECT_NEAR(low, -29491, 2);
    EXPECT_EQ(crossings, 20) << "21 cycles from phase 0: the first crossing is sample 0";
}

TEST(SimBoardSignal, HarmonicsAndDcHaveTheirLevels) {
    simboard::ChannelSettings c = simboard::defaultSettings().channel[0];
    const double rate = 1024.0;
    c.frequency = 10.0;  // bin 10 of 1024 samples
    c.amplitude = 2.0;
    c.dc = 0.25;
    c.noise = 0.0;
    c.harmonicCount = 3;
    c.harmonicsDbc[0] = -20.0;  // order 2: 0.2 V
    c.harmonicsDbc[1] = -40.0;  // order 3: 0.02 V
    c.harmonicsDbc[2] = -6.0;   // order 4: about 1.0 V
    simboard::ChannelSignal signal(c, rate, 1);
    std::vector<double> x(1024);
    double sum = 0.0;
    for (size_t i = 0; i < x.size(); ++i) sum += x[i] = signal.volts(i);
    EXPECT_NEAR(sum / x.size(), 0.25, 1e-9);
    EXPECT_NEAR(toneAmplitude(x, 10), 2.0, 1e-9);
    EXPECT_NEAR(toneAmplitude(x, 20), 0.2, 1e-9);
    EXPECT_NEAR(toneAmplitude(x, 30), 0.02, 1e-9);
    EXPECT_NEAR(toneAmplitude(x, 40), 2.0 * std::pow(10.0, -6.0 / 20), 1e-9);
    EXPECT_NEAR(toneAmplitude(x, 50), 0.0, 1e-9);
}

TEST(SimBoardSignal, NoiseHasItsRmsAndIsRepeatable) {
    simboard::ChannelSettings c = simboard::defaultSettings().channel[0];
    c.amplitude = 0.0;
    c.harmonicCount = 0;
    c.noise = 0.01;
    simboard::ChannelSignal a(c, 1000.0, 7), b(c, 1000.0, 7);
    double sum = 0.0, squares = 0.0;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        const double v = a.volts(i);
        ASSERT_EQ(v, b.volts(i));
        sum += v;
        squares += v * v;
    }
    const double mean = sum / n;
    EXPECT_NEAR(mean, 0.0, 0.0001);
    EXPECT_NEAR(std::sqrt(squares / n - mean * mean), 0.01, 0.0002);
}

// ---------------------------------------------------------------- settings

TEST(SimBoardSettings, DefaultsAreBinCentred) {
    const BoardSettings s = settingsFrom("");
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.rate, 100000.0);
    EXPECT_EQ(s.fullScale, 10.0f);
    EXPECT_FALSE(s.paired);
    EXPECT_LT(s.disconnectAfter, 0.0);
    EXPECT_EQ(s.failCapability, CapabilityFailure::None);
    // Bins 21 and 103 of a 1024-point window at 50 kHz per channel.
    EXPECT_EQ(s.channel[0].frequency, 1025.390625);
    EXPECT_EQ(s.channel[1].frequency, 5029.296875);
    for (int k = 0; k < simboard::kMaxChannels; ++k) {
        SCOPED_TRACE(k);
        const double cycles = s.channel[k].frequency / 50000.0 * 1024;
        EXPECT_EQ(cycles, std::floor(cycles));
        EXPECT_LT(cycles, 512);
        EXPECT_EQ(s.channel[k].bits, 16);
        EXPECT_EQ(s.channel[k].gain, 1);
        EXPECT_TRUE(s.channel[k].shown);
    }
}

TEST(SimBoardSettings, KeysOverrideTheDefaults) {
    struct Case {
        const char* name;
        const char* text;
        bool (*check)(const BoardSettings&);
    };
    const Case cases[] = {
        {"FailOpen", "FailOpen = 1\r\n", [](const BoardSettings& s) { return s.failOpen; }},
        {"commented out", "; FailOpen = 1\r\n", [](const BoardSettings& s) { return !s.failOpen; }},
        {"NoDevice", "nodevice=1", [](const BoardSettings& s) { return s.noDevice; }},
        {"FailCapability", "FailCapability = 1",
         [](const BoardSettings& s) { return s.failCapability == CapabilityFailure::StatusBit; }},
        {"FailCapability 3", "FailCapability = 3",
         [](const BoardSettings& s) { return s.failCapability == CapabilityFailure::Descriptor; }},
        {"FailCapability beyond", "FailCapability = 9",
         [](const BoardSettings& s) { return s.failCapability == CapabilityFailure::Descriptor; }},
        {"NoFullScale", "NoFullScale 1", [](const BoardSettings& s) { return s.noFullScale; }},
        {"FailBlockSize", "FailBlockSize = 1", [](const BoardSettings& s) { return s.failBlockSize && !s.failStart; }},
        {"FailStart", "failstart=1", [](const BoardSettings& s) { return s.failStart && !s.failBlockSize; }},
        {"FailStart 0", "FailStart = 0", [](const BoardSettings& s) { return !s.failStart; }},
        {"FullScale", "FullScale = 5.0", [](const BoardSettings& s) { return s.fullScale == 5.0f; }},
        {"FullScale 0 is reported", "FullScale = 0", [](const BoardSettings& s) { return s.fullScale == 0.0f; }},
        {"negative FullScale", "FullScale = -5", [](const BoardSettings& s) { return s.fullScale == 10.0f; }},
        {"FullScale beyond a float", "FullScale = 1e39", [](const BoardSettings& s) { return s.fullScale == 10.0f; }},
        {"Channels", "Channels = 4", [](const BoardSettings& s) { return s.channels == 4; }},
        {"Channels above 32", "Channels = 40", [](const BoardSettings& s) { return s.channels == 32; }},
        {"Channels 0", "Channels = 0", [](const BoardSettings& s) { return s.channels == 1; }},
        {"Rate with suffix", "Rate = 1M", [](const BoardSettings& s) { return s.rate == 1048576.0; }},
        {"negative Rate", "Rate = -5", [](const BoardSettings& s) { return s.rate == 100000.0; }},
        {"Paired", "Channels = 4\nPaired = 1", [](const BoardSettings& s) { return s.paired; }},
        {"Paired needs an even count", "Channels = 3\nPaired = 1", [](const BoardSettings& s) { return !s.paired; }},
        {"DisconnectAfter", "DisconnectAfter = 2.5", [](const BoardSettings& s) { return s.disconnectAfter == 2.5; }},
        {"default frequency follows the rate", "Rate = 200000",
         [](const BoardSettings& s) { return s.channel[0].frequency == 21 * 100000.0 / 1024; }},
        {"frequency", "Ch1Frequency = 1234.5", [](const BoardSettings& s) { return s.channel[1].frequency == 1234.5; }},
        {"amplitude, dc, noise", "Ch0Amplitude = 1.5\nCh0Dc = -0.5\nCh0Noise = 0.001",
         [](const BoardSettings& s) {
             return s.channel[0].amplitude == 1.5 && s.channel[0].dc == -0.5 && s.channel[0].noise == 0.001;
         }},
        {"negative noise", "Ch0Noise = -1", [](const BoardSettings& s) { return s.channel[0].noise == 0.0; }},
        {"Ch10 is not Ch1", "Ch10Bits = 12",
         [](const BoardSettings& s) { return s.channel[1].bits == 16 && s.channel[10].bits == 12; }},
        {"bits clamped", "Ch3Bits = 20", [](const BoardSettings& s) { return s.channel[3].bits == 16; }},
        {"gain clamped", "Ch2Gain = 0", [](const BoardSettings& s) { return s.channel[2].gain == 1; }},
        {"gain", "Ch2Gain = 8", [](const BoardSettings& s) { return s.channel[2].gain == 8; }},
        {"shown and colour", "Ch1Shown = 0\nCh1Colour = 0x123456",
         [](const BoardSettings& s) { return !s.channel[1].shown && s.channel[1].colour == 0x123456; }},
        {"harmonics", "Ch0Harmonics = -60, -70, -80",
         [](const BoardSettings& s) {
             const auto& c = s.channel[0];
             return c.harmonicCount == 3 && c.harmonicsDbc[0] == -60 && c.harmonicsDbc[1] == -70 &&
                    c.harmonicsDbc[2] == -80;
         }},
        {"no harmonics", "Ch0Harmonics =\n", [](const BoardSettings& s) { return s.channel[0].harmonicCount == 0; }},
        {"at most nine harmonics", "Ch0Harmonics = -1 -2 -3 -4 -5 -6 -7 -8 -9 -10 -11",
         [](const BoardSettings& s) { return s.channel[0].harmonicCount == 9 && s.channel[0].harmonicsDbc[8] == -9; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.check(settingsFrom(c.text))) << c.text;
    }
}

// ---------------------------------------------------------------- driver

// The start-up test that the program applies to the board.
bool passesStartupCheck(const BoardSettings& s) {
    uint32_t status = 0;
    if (!simboard::deviceProperty(s, kDevicePropertyStatus, &status) || !(status & 1)) return false;
    const BoardCapabilities* caps = nullptr;
    simboard::deviceProperty(s, kDevicePropertyCapabilities, &caps);
    return caps && (caps->word1 & kCapabilityWord1Mask) == kCapabilityWord1Mask &&
           (caps->word2 & kCapabilityWord2Bit) && (caps->word2 & kCapabilityWord2Mask) == kCapabilityWord2Mask;
}

TEST(SimBoardDriver, CapabilityFailuresEachFailTheCheck) {
    const struct {
        CapabilityFailure failure;
        bool passes;
    } cases[] = {{CapabilityFailure::None, true},
                 {CapabilityFailure::StatusBit, false},
                 {CapabilityFailure::NoDescriptor, false},
                 {CapabilityFailure::Descriptor, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.failure));
        BoardSettings s = simboard::defaultSettings();
        s.failCapability = c.failure;
        EXPECT_EQ(passesStartupCheck(s), c.passes);
    }
}

TEST(SimBoardDriver, FullScaleProperty) {
    BoardSettings s = simboard::defaultSettings();
    float volts = 0.0f;
    EXPECT_TRUE(simboard::deviceProperty(s, kDevicePropertyFullScale, &volts));
    EXPECT_EQ(volts, 10.0f);
    s.noFullScale = true;
    volts = -1.0f;
    EXPECT_FALSE(simboard::deviceProperty(s, kDevicePropertyFullScale, &volts));
    EXPECT_EQ(volts, -1.0f) << "nothing written";
    EXPECT_FALSE(simboard::deviceProperty(s, kDevicePropertyFullScale, nullptr));
    EXPECT_FALSE(simboard::deviceProperty(s, 99, &volts));
}

TEST(SimBoardDriver, FillsBoardParameters) {
    BoardSettings s = simboard::defaultSettings();
    s.channel[1].shown = false;
    s.channel[1].gain = 4;
    BoardParameters p = emptyBoardParameters();
    ASSERT_TRUE(simboard::control(s, kControlRead, &p));
    EXPECT_EQ(p.type, kBoardParametersType);
    EXPECT_EQ(p.channelCount, 2u);
    EXPECT_EQ(p.channels[0].shown, 1);
    EXPECT_EQ(p.channels[1].shown, 0);
    EXPECT_EQ(p.channels[0].colour, 0x00FF00u);
    EXPECT_EQ(p.channels[1].colour, 0x0000FFu);
    EXPECT_EQ(p.gainWords[0], 1u);
    EXPECT_EQ(p.gainWords[1], 4u);
    EXPECT_EQ(p.channelWords[0], 0u);
    EXPECT_EQ(p.channelWords[1], 1u);
    EXPECT_EQ(p.channels[2].shown, 0) << "beyond the channel count";
    EXPECT_EQ(p.acquisition.type, kAcquisitionParametersType);
    EXPECT_EQ(p.acquisition.size, sizeof(AcquisitionParameters));
    EXPECT_EQ(p.acquisition.aggregateRate, 100000.0);
    EXPECT_EQ(p.acquisition.modeBits & 0x10, 0u);
    EXPECT_EQ(p.acquisition.pairCount, 0u);

    s = settingsFrom("Channels = 4\nPaired = 1\nCh3Gain = 2");
    ASSERT_TRUE(simboard::control(s, kControlRead, &p));
    EXPECT_EQ(p.channelCount, 4u);
    EXPECT_EQ(p.acquisition.modeBits & 0x10, 0x10u);
    EXPECT_EQ(p.acquisition.pairCount, 2u);
    EXPECT_EQ(p.gainWords[0], 0x00010001u);
    EXPECT_EQ(p.gainWords[1], 0x00020001u);
    EXPECT_EQ(p.channelWords[1], 1u);
    EXPECT_EQ(p.gainWords[2], 0u);
}

TEST(SimBoardDriver, FillsChannelList) {
    BoardSettings s = settingsFrom("Channels = 3\nCh2Shown = 0\nCh2Colour = 0xABCDEF");
    ChannelList list;
    std::memset(&list, 0xEE, sizeof list);
    list.type = kChannelListType;
    list.size = sizeof list;
    ASSERT_TRUE(simboard::control(s, kControlRead, &list));
    EXPECT_EQ(list.count, 3u);
    EXPECT_EQ(list.entries[0], 0x01000000u | 0x00FF00u);
    EXPECT_EQ(list.entries[1], 0x01000000u | 0x0000FFu);
    EXPECT_EQ(list.entries[2], 0xABCDEFu);
    EXPECT_EQ(list.entries[3], 0u);
}

TEST(SimBoardDriver, ControlWritesOnlyRecordsItKnows) {
    const BoardSettings s = simboard::defaultSettings();
    unsigned char record[sizeof(BoardParameters)];
    const struct {
        const char* name;
        uint32_t type, size;
    } cases[] = {{"unknown type", 77, sizeof(BoardParameters)},
                 {"parameters too small", kBoardParametersType, sizeof(BoardParameters) - 1},
                 {"list too small", kChannelListType, 12}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(record, 0xEE, sizeof record);
        std::memcpy(record, &c.type, 4);
        std::memcpy(record + 4, &c.size, 4);
        EXPECT_FALSE(simboard::control(s, kControlRead, record));
        EXPECT_EQ(record[8], 0xEE);
        EXPECT_EQ(record[sizeof record - 1], 0xEE);
    }
    EXPECT_FALSE(simboard::control(s, kControlRead, nullptr));
    ChannelList header{kChannelListType, sizeof(ChannelList), 0, {}};
    EXPECT_TRUE(simboard::control(s, kControlStartList, &header));
    EXPECT_TRUE(simboard::control(s, kControlApplyList, &header));
}

// Commands other than a read take their record as it is, even one whose
// header alone is set, and write nothing into it.
TEST(SimBoardDriver, OtherCommandsAcceptTheirRecords) {
    const BoardSettings s = simboard::defaultSettings();
    const struct {
        const char* name;
        int32_t command;
    } cases[] = {{"write", kControlWrite}, {"start list", kControlStartList}, {"apply list", kControlApplyList}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ChannelList header;
        std::memset(&header, 0xEE, sizeof header);
        header.type = kChannelListType;
        header.size = sizeof header;
        EXPECT_TRUE(simboard::control(s, c.command, &header));
        EXPECT_EQ(header.count, 0xEEEEEEEEu);
        EXPECT_EQ(header.entries[0], 0xEEEEEEEEu);

        BoardParameters p = emptyBoardParameters();
        ASSERT_TRUE(simboard::control(s, kControlRead, &p));
        const BoardParameters before = p;
        EXPECT_TRUE(simboard::control(s, c.command, &p));
        EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
    }
}

}  // namespace
