// The engine against the simulated board's model, paced by a clock that the
// test drives: the windows hold the simulated signal, and a board that runs
// far ahead of the display stops the run with the number of blocks waiting.
// And the board in real time against a slow disk: the pending limit stops the
// run.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "components/simboard/protocol.h"
#include "config/config_reader.h"
#include "recording/recorder.h"
#include "tests/acquisition/engine_fixture.h"
#include "tests/support/board_clocks.h"
#include "tests/support/fake_storage.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The board utility over the model, answering as the component does.
class SimUtility final : public IADCUtility {
public:
    SimUtility(simboard::Clock& clock, const simboard::BoardSettings& settings) : acquisition(clock) {
        acquisition.configure(settings);
    }

    int32_t QV_CALL AddRef() override { return 1; }
    int32_t QV_CALL Release() override { return 1; }
    int32_t QV_CALL Open(const char* deviceName, int32_t base, int32_t reserved, int32_t blockHint) override {
        return base >= 1 && acquisition.open(blockHint) ? 1 : 0;
    }
    int32_t QV_CALL Start(AcquisitionParameters* parameters, int32_t mode) override {
        return acquisition.start(parameters) ? 1 : 0;
    }
    int32_t QV_CALL GetBlock(const int16_t** block, int32_t* auxiliary) override {
        if (!block) return 0;
        if (auxiliary) *auxiliary = 0;
        *block = acquisition.takeBlock();
        return *block ? 1 : 0;
    }
    int32_t QV_CALL ReleaseBlock() override { return acquisition.releaseBlock() ? 1 : 0; }
    int32_t QV_CALL Property(int32_t code, void* value) override {
        int32_t* v = static_cast<int32_t*>(value);
        switch (code) {
        case kUtilityPropertyBlockSize:
            return v && acquisition.setBlockSamples(*v) ? 1 : 0;
        case kUtilityPropertyReadyBlocks:
            if (!v) return 0;
            *v = acquisition.readyBlocks();
            readyAnswers.push_back(*v);
            return 1;
        case kUtilityPropertyConnected:
            if (!v) return 0;
            *v = acquisition.connected() ? 1 : 0;
            return 1;
        case kUtilityPropertyStatus:
        case kUtilityPropertyReset:
            return 1;
        default:
            return 0;
        }
    }
    int32_t QV_CALL Stop() override {
        acquisition.stop();
        return 1;
    }

    simboard::Acquisition acquisition;
    std::vector<int32_t> readyAnswers;  // every answer to property 8, in order
};

class SimDevice final : public IADCDevice {
public:
    explicit SimDevice(const simboard::BoardSettings& s) : settings(s) {}
    int32_t QV_CALL AddRef() override { return 1; }
    int32_t QV_CALL Release() override { return 1; }
    int32_t QV_CALL Control(int32_t command, void* record, int32_t reserved) override {
        return simboard::control(settings, command, record) ? 1 : 0;
    }
    int32_t QV_CALL GetProperty(int32_t code, void* out) override {
        return simboard::deviceProperty(settings, code, out) ? 1 : 0;
    }

    const simboard::BoardSettings settings;
};

class SimBoardEngineTest : public ::testing::Test {
protected:
    SimBoardEngineTest() {
        presetDefaults(settings, SystemColours{0, 0});
        view = ViewState{0, ViewMode::Scope, 0, 0, 0};
    }
    // The disk goes before the program's recorder: an open file is closed
    // into it first.
    ~SimBoardEngineTest() override {
        core->recorder.halt();
        core->bindView(nullptr);
    }

    // A board configured by SimBoard.cfg text, opened, and the engine on it;
    // the board's time base is the test's clock unless another is given.
    void build(const std::string& boardText, simboard::Clock* boardClock = nullptr) {
        const ConfigReader reader(boardText.data(), boardText.size());
        board = simboard::readSettings(reader);
        utility = std::make_unique<SimUtility>(boardClock ? *boardClock : clock, board);
        device = std::make_unique<SimDevice>(board);
        ASSERT_EQ(utility->Open(settings.deviceName, 1, 0, 1024), 1);
        engine->attachBoard(utility.get(), device.get(), board.fullScale / 32768.0);
    }

    void pressStart() {
        dialog.checked[BenchControl::Start] = true;
        core->startAcquisition(0);
    }
    // A click on the Record button (a push-like check box), which leaves it
    // `down`.
    void clickRecord(bool down) {
        dialog.checked[BenchControl::Record] = down;
        core->onRecordButton(0);
    }

    // Ticks every `periodMs` until a message appears, at most `limit` times;
    // returns the ticks run.
    int tickUntilMessage(uint64_t periodMs, int limit) {
        int ticks = 0;
        while (ticks < limit && dialog.errors.empty()) {
            clock.advanceMs(periodMs);
            core->onAcquisitionTimer();
            ++ticks;
        }
        return ticks;
    }

    FakeBenchView dialog;
    FakeClient client{dialog.log};
    FakeRecording unused{client};
    FakeStorage disk;
    // The program with its recorder on the disk; the board comes with build.
    std::unique_ptr<LoggingCore> core = makeCore(client, unused, &disk, nullptr, nullptr, &dialog, 1.0 / 32768.0);
    AcquisitionEngine* const engine = &core->engine;
    Settings& settings = core->settings;
    ViewState& view = core->viewState;
    SignalAnalyser& analysis = core->analysis;
    DrivenClock clock{1000000, 5000000};
    simboard::BoardSettings board{};
    std::unique_ptr<SimUtility> utility;
    std::unique_ptr<SimDevice> device;
};

TEST_F(SimBoardEngineTest, WindowsHoldTheSimulatedSignal) {
    // 10000 frames per second; channel 1 is amplified 2 times before the
    // converter, which the engine divides out again.
    build("Rate = 20000\nCh1Amplitude = 3\nCh1Gain = 2\n");
    view.sizeIndex = 2;  // N = 4096; 200 ms are 2000 samples: B = 2048
    pressStart();
    ASSERT_TRUE(dialog.errors.empty());
    ASSERT_TRUE(engine->running());
    EXPECT_DOUBLE_EQ(engine->channelRate(), 10000.0);
    EXPECT_EQ(engine->activeChannelCount(), 2);
    EXPECT_EQ(engine->measuredChannels()[1].gain, 2);
    ASSERT_EQ(engine->blockLength(), 2048);

    // 250 ms: one block due; 500 ms: two.
    const int32_t wantFilled[] = {2048, 4096};
    for (int32_t want : wantFilled) {
        clock.advanceMs(250);
        core->onAcquisitionTimer();
        EXPECT_EQ(engine->filledCount(), want);
        EXPECT_TRUE(dialog.timerArmed);
    }
    ASSERT_EQ(utility->acquisition.framesDelivered(), 4096u);
    EXPECT_EQ(countPrefix(dialog.log, "redraw"), 2u);

    // The window now holds frames 0..4095: the sines plus a little noise and
    // distortion (well below 3 mV).
    const double amplitude[2] = {9.0, 3.0};
    for (int32_t c = 0; c < 2; ++c) {
        SCOPED_TRACE(c);
        const double cyclesPerFrame = board.channel[c].frequency / 10000.0;
        const double* x = engine->measuredChannels()[c].samples;
        for (int32_t i = 0; i < 4096; ++i) {
            const double want = amplitude[c] * std::sin(2.0 * kPi * cyclesPerFrame * i);
            ASSERT_NEAR(x[i], want, 3e-3) << "frame " << i;
        }
        EXPECT_NEAR(engine->measuredChannels()[c].max, amplitude[c], 3e-3);
        EXPECT_NEAR(engine->measuredChannels()[c].min, -amplitude[c], 3e-3);
    }
    EXPECT_NEAR(analysis.scopeMax, 9.0, 3e-3);

    // A stop and a new start begin from empty windows and a fresh stream.
    dialog.checked[BenchControl::Start] = false;
    core->startAcquisition(0);
    EXPECT_FALSE(utility->acquisition.running());
    pressStart();
    EXPECT_EQ(engine->filledCount(), 0);
    clock.advanceMs(250);
    core->onAcquisitionTimer();
    EXPECT_EQ(engine->filledCount(), 2048);
    // Frame 1 of the new stream, at the start of the block's half.
    const double frame1 = 9.0 * std::sin(2.0 * kPi * board.channel[0].frequency / 10000.0);
    EXPECT_NEAR(engine->measuredChannels()[0].samples[2048 + 1], frame1, 3e-3);
    EXPECT_EQ(engine->measuredChannels()[0].samples[2047], 0.0);
}

TEST_F(SimBoardEngineTest, AFastBoardStopsTheRunWithTheBlocksWaiting) {
    // 10 MHz per channel, one block of 1024 frames taken per 200 ms tick:
    // the board gets ahead by about 1952 blocks a tick.
    settings.displayBlocks = 1;
    build("Rate = 20000000\n");
    pressStart();
    ASSERT_TRUE(engine->running());
    ASSERT_EQ(engine->blockLength(), 1024);
    ASSERT_EQ(engine->maxPendingBlocks(), 32768);

    const int ticks = tickUntilMessage(200, 100);

    ASSERT_EQ(dialog.errors.size(), 1u);
    // Before tick k, k - 1 blocks were taken and 2e6 k frames were due.
    const int64_t wantReady = (int64_t(2000000) * ticks - int64_t(1024) * (ticks - 1)) / 1024;
    ASSERT_FALSE(utility->readyAnswers.empty());
    EXPECT_EQ(utility->readyAnswers.back(), wantReady);
    EXPECT_GT(wantReady, 32768);
    if (utility->readyAnswers.size() >= 2) {
        EXPECT_LE(utility->readyAnswers[utility->readyAnswers.size() - 2], 32768);
    }
    EXPECT_EQ(dialog.errors[0], dialogText(kTooManyPendingText, static_cast<int>(wantReady)));
    EXPECT_FALSE(engine->running());
    EXPECT_FALSE(utility->acquisition.running());
    EXPECT_FALSE(dialog.timerArmed);
    EXPECT_FALSE(dialog.checked[BenchControl::Start]);
}

// A disk slower than the board: every write takes 50 ms while the board runs
// in real time, about 977 blocks of 1024 frames a second, and a tick takes
// at most 10 blocks. The board gets further ahead at every tick, and the run
// ends with the pending limit's message, never in a hang; every block taken
// reached the file whole and in order, and a new start runs again.
TEST_F(SimBoardEngineTest, ASlowDiskStopsTheRunAtThePendingLimit) {
    using namespace std::chrono;
    settings.displayTime = 20;
    settings.displayBlocks = 10;
    settings.maxUsedMemory = 1024;  // the least limit: 1000 blocks
    SteadyClock realTime;
    build("Channels = 1\nRate = 1000000\n", &realTime);
    disk.writeDelay = milliseconds(50);
    Recorder& recorder = core->recorder;
    recorder.setFile("slow", 1);

    pressStart();
    ASSERT_TRUE(engine->running());
    ASSERT_EQ(engine->blockLength(), 1024);
    ASSERT_EQ(engine->windowLength(), 1024);
    ASSERT_EQ(engine->maxPendingBlocks(), 1000);
    clickRecord(true);
    ASSERT_TRUE(recorder.isRecording());

    // The timer's period between ticks, until the run stops. A run that
    // neither stops nor fails by the deadline is a hang.
    const auto deadline = steady_clock::now() + seconds(30);
    int ticks = 0;
    while (engine->running() && steady_clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(settings.displayTime));
        core->onAcquisitionTimer();
        ++ticks;
    }
    ASSERT_FALSE(engine->running()) << "still running after " << ticks << " ticks";

    // The pending limit's message with the board's count, the first count
    // above the limit.
    const std::vector<int32_t>& ready = utility->readyAnswers;
    ASSERT_FALSE(ready.empty());
    EXPECT_GT(ready.back(), 1000);
    for (size_t i = 0; i + 1 < ready.size(); ++i) EXPECT_LE(ready[i], 1000) << "tick " << i;
    EXPECT_EQ(dialog.errors, std::vector<std::string>{dialogText(kTooManyPendingText, ready.back())});
    EXPECT_FALSE(utility->acquisition.running());
    EXPECT_FALSE(dialog.timerArmed);
    EXPECT_FALSE(dialog.checked[BenchControl::Start]);
    EXPECT_FALSE(dialog.checked[BenchControl::Record]);
    EXPECT_TRUE(dialog.enabled[BenchControl::Size]);
    EXPECT_FALSE(dialog.enabled[BenchControl::Record]);
    EXPECT_TRUE(dialog.enabled[BenchControl::Start]);
    EXPECT_TRUE(dialog.enabled[BenchControl::ChooseFile]);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(disk.open.empty());

    // The file: the header, then every frame delivered, in order. A second
    // board on a driven clock replays the same stream.
    const uint64_t delivered = utility->acquisition.framesDelivered();
    ASSERT_GT(delivered, 0u);
    const std::string bytes = disk.bytesOf("slow001.MRF");
    ASSERT_EQ(bytes.size(), kRecordHeaderBytes + delivered * sizeof(float));
    DrivenClock replayClock{1000000, 5000000};
    simboard::Acquisition replay(replayClock);
    replay.configure(board);
    ASSERT_TRUE(replay.open(1024));
    AcquisitionParameters started = engine->boardParameters().acquisition;
    ASSERT_TRUE(replay.start(&started));
    replayClock.advanceMs(delivered / 1000 + 10);
    const double voltsPerCount = board.fullScale / 32768.0;
    for (uint64_t frame = 0; frame < delivered; frame += 1024) {
        const int16_t* codes = replay.takeBlock();
        ASSERT_NE(codes, nullptr) << "frame " << frame;
        for (uint64_t j = 0; j < 1024; ++j) {
            float value;
            std::memcpy(&value, bytes.data() + kRecordHeaderBytes + (frame + j) * sizeof(float), sizeof value);
            ASSERT_EQ(value, static_cast<float>(codes[j] * voltsPerCount)) << "frame " << frame + j;
        }
        replay.releaseBlock();
    }

    // The program goes on: a new start runs and takes blocks again.
    dialog.errors.clear();
    pressStart();
    ASSERT_TRUE(engine->running());
    std::this_thread::sleep_for(milliseconds(settings.displayTime));
    core->onAcquisitionTimer();
    EXPECT_TRUE(engine->running());
    EXPECT_TRUE(dialog.timerArmed);
    EXPECT_GT(engine->filledCount(), 0);
    EXPECT_TRUE(dialog.errors.empty());
    dialog.checked[BenchControl::Start] = false;
    core->startAcquisition(0);
    EXPECT_FALSE(engine->running());
}

TEST_F(SimBoardEngineTest, BoardFailures) {
    struct Case {
        const char* name;
        const char* boardText;
        bool wantRunning;  // after the start
        const char* wantMessage;
        bool wantDestroyed;
    };
    const Case cases[] = {
        {"block size refused", "FailBlockSize = 1\n", false, kBadBlockSizeText, false},
        {"start refused", "FailStart = 1\n", false, kStartFailedText, false},
        {"disconnected from the outset", "DisconnectAfter = 0\n", false, kDisconnectedAtStartText, true},
        {"disconnected after 0.5 s", "DisconnectAfter = 0.5\n", true, kDisconnectedInTickText, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog = FakeBenchView{};
        build(c.boardText);
        pressStart();
        EXPECT_EQ(engine->running(), c.wantRunning);
        if (c.wantRunning) {
            tickUntilMessage(200, 20);
            EXPECT_GT(engine->filledCount(), 0);
        }
        EXPECT_EQ(dialog.errors, std::vector<std::string>{dialogText(c.wantMessage, settings.deviceName)});
        EXPECT_EQ(dialog.destroyed, c.wantDestroyed);
        EXPECT_FALSE(engine->running());
        EXPECT_FALSE(utility->acquisition.running());
        EXPECT_FALSE(dialog.timerArmed);
    }
}

}  // namespace
