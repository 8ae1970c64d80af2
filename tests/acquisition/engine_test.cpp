// The acquisition engine's run: start and stop, the timer tick and its
// failures, re-entry through message boxes, and the combo-box handlers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/fft_window.h"
#include "tests/acquisition/engine_fixture.h"

namespace {

using Log = std::vector<std::string>;

// ---------------------------------------------------------------- start

TEST_F(EngineTest, StartTalksToTheBoardInOrder) {
    // Fields the start must overwrite hold something else beforehand.
    AcquisitionParameters& a = device.board.acquisition;
    a.startFlags = 0x1;
    a.reserved12 = 7;
    a.reserved16 = 9;
    a.reserved24 = 7;
    a.reserved36 = 7;
    a.reserved40 = 7;
    analysis.spectrumAverageCount = 9;
    dialog.tick = 4321;

    const size_t from = mark();
    pressStart();

    // 200 ms at 10000 Hz per channel is 2000 samples, cut to N = 1024: B = 1024,
    // and the board is asked for B x 2 channels per block.
    EXPECT_EQ(logSince(from),
              (Log{"readControls", "Control 0 board", "kill", "Stop", "haltRecording", "Property 27 2048",
                   "Property 11", "Control 10 list", "Property 22 null", "Start 2", "arm 200"}));
    EXPECT_TRUE(dialog.errors.empty());
    EXPECT_TRUE(engine->running());
    EXPECT_EQ(core->lastUpdateTick(), 4321u);
    EXPECT_TRUE(dialog.timerArmed);
    EXPECT_EQ(dialog.timerPeriod, 200u);
    EXPECT_TRUE(dialog.checked[BenchControl::Start]);

    EXPECT_EQ(engine->channelCount(), 2);
    EXPECT_EQ(engine->activeChannelCount(), 2);
    EXPECT_EQ(engine->windowLength(), 1024);
    EXPECT_EQ(engine->blockLength(), 1024);
    EXPECT_EQ(engine->filledCount(), 0);
    EXPECT_EQ(engine->maxPendingBlocks(), 32768);
    EXPECT_DOUBLE_EQ(engine->channelRate(), 10000.0);
    EXPECT_EQ(analysis.spectrumAverageCount, 1);
    EXPECT_EQ(utility.presets[kUtilityPropertyConnected], 1);

    const AcquisitionParameters& s = utility.started;
    EXPECT_EQ(s.type, kAcquisitionParametersType);
    EXPECT_EQ(s.size, sizeof(AcquisitionParameters));
    EXPECT_DOUBLE_EQ(s.aggregateRate, 20000.0);
    EXPECT_EQ(s.startFlags, 0x3u);
    EXPECT_EQ(s.reserved12, 0u);
    EXPECT_EQ(s.reserved16, 1u);
    EXPECT_EQ(s.reserved24, 0u);
    EXPECT_EQ(s.reserved36, 0u);
    EXPECT_EQ(s.reserved40, 0u);

    // Command 10 gets a channel list with its header alone.
    ASSERT_EQ(device.lists.count(kControlStartList), 1u);
    const ChannelList& header = device.lists[kControlStartList];
    EXPECT_EQ(header.type, kChannelListType);
    EXPECT_EQ(header.size, sizeof(ChannelList));
    EXPECT_EQ(header.count, 0u);
    for (uint32_t entry : header.entries) EXPECT_EQ(entry, 0u);

    expectRunningControls();
    EXPECT_TRUE(dialog.enabled[BenchControl::ChooseFile]);
}

TEST_F(EngineTest, StartAtTickCountZeroStillCountsAsRunning) {
    dialog.tick = 0;
    pressStart();
    EXPECT_EQ(core->lastUpdateTick(), 1u);
    EXPECT_TRUE(engine->running());
}

TEST_F(EngineTest, StartSizesWindowBlockAndPendingLimit) {
    struct Case {
        const char* name;
        int32_t sizeEntry;
        int32_t channels;
        double aggregateRate;
        int32_t displayTime;
        int32_t wantN;
        int32_t wantB;
        int32_t wantPending;
    };
    const Case cases[] = {
        {"entry 1000 gives 1024", 1000, 2, 20000.0, 200, 1024, 1024, 32768},
        {"d 2000 in N 4096", 4096, 2, 20000.0, 200, 4096, 2048, 16384},
        {"100 Hz per channel: at least 256", 4096, 1, 100.0, 200, 4096, 256, 262144},
        {"d 300 gives 512", 1024, 1, 1500.0, 200, 1024, 512, 131072},
        {"32 channels: at least 1000 pending", 65536, 32, 32e6, 200, 65536, 65536, 1000},
        {"window shorter than 256, slow channel", 64, 1, 100.0, 200, 64, 256, 262144},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setBoard(c.channels, c.aggregateRate);
        settings.sizeArray[1] = c.sizeEntry;
        settings.displayTime = c.displayTime;
        view.sizeIndex = 1;
        pressStart();
        EXPECT_TRUE(engine->running());
        EXPECT_EQ(engine->windowLength(), c.wantN);
        EXPECT_EQ(engine->blockLength(), c.wantB);
        EXPECT_EQ(engine->maxPendingBlocks(), c.wantPending);
        EXPECT_EQ(utility.blockSamples, c.wantB * c.channels);
        EXPECT_EQ(engine->measuredChannels()[0].sampleCount, c.wantN);
        EXPECT_EQ(engine->measuredChannels()[31].sampleCount, c.wantN);
        EXPECT_EQ(core->plotScratchLength(), c.wantN);
        EXPECT_NE(core->plotScratch(), nullptr);
        EXPECT_EQ(analysis.fftWindow.length, static_cast<uint32_t>(c.wantN));
        EXPECT_TRUE(dialog.errors.empty());
        pressStop();
    }
}

TEST_F(EngineTest, StartFailures) {
    struct Case {
        const char* name;
        std::function<void(FakeUtility&)> script;
        std::string wantMessage;
        bool wantStartCalled;
        bool wantDestroyed;
    };
    const std::string badSize = dialogText(kBadBlockSizeText);
    const std::string gone = dialogText(kDisconnectedAtStartText, "QX420A");
    const std::string refused = dialogText(kStartFailedText);
    const Case cases[] = {
        {"block size refused", [](FakeUtility& u) { u.blockSizeResult = 0; }, badSize, false, false},
        {"block size negative result", [](FakeUtility& u) { u.blockSizeResult = -1; }, badSize, false, false},
        {"disconnected at start", [](FakeUtility& u) { u.connected = 0; }, gone, false, true},
        {"disconnected, negative value", [](FakeUtility& u) { u.connected = -3; }, gone, false, true},
        {"start refused", [](FakeUtility& u) { u.startResult = 0; }, refused, true, false},
        {"start negative result", [](FakeUtility& u) { u.startResult = -2; }, refused, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeBenchView freshDialog;
        FakeUtility u(freshDialog.log);
        FakeDevice d(freshDialog.log);
        FakeClient k(freshDialog.log);
        FakeRecording r(k);
        d.board = device.board;
        c.script(u);
        const std::unique_ptr<LoggingCore> fresh = makeCore(k, r, nullptr, &u, &d, &freshDialog, kVoltsPerCount);
        fresh->settings = settings;
        fresh->viewState = view;
        const AcquisitionEngine& e = fresh->engine;
        // Idle controls, as the dialog's set-up leaves them.
        fresh->updateControlStates(true);

        freshDialog.checked[BenchControl::Start] = true;
        fresh->startAcquisition(0);

        const Log& got = freshDialog.log;
        EXPECT_EQ(freshDialog.errors, std::vector<std::string>{c.wantMessage});
        EXPECT_FALSE(e.running());
        EXPECT_FALSE(freshDialog.timerArmed);
        EXPECT_EQ(countPrefix(got, "arm"), 0u);
        EXPECT_EQ(freshDialog.destroyed, c.wantDestroyed);
        EXPECT_EQ(findEntry(got, "Start 2") != std::string::npos, c.wantStartCalled);
        EXPECT_EQ(findEntry(got, "Control 10 list") != std::string::npos, c.wantStartCalled);
        if (c.wantDestroyed) {
            EXPECT_EQ(findEntry(got, "destroy"), findEntry(got, "message") + 1);
        } else {
            // Idle with the Start button still down.
            EXPECT_TRUE(freshDialog.checked[BenchControl::Start]);
            EXPECT_TRUE(freshDialog.enabled[BenchControl::Size]);
            EXPECT_FALSE(freshDialog.enabled[BenchControl::Record]);
            EXPECT_TRUE(freshDialog.enabled[BenchControl::Start]);
        }
        if (c.wantStartCalled) {
            // The refused run is stopped before the message.
            const size_t start = findEntry(got, "Start 2");
            EXPECT_EQ(Log(got.begin() + static_cast<std::ptrdiff_t>(start), got.end()),
                      (Log{"Start 2", "Stop", "message"}));
        } else {
            EXPECT_EQ(e.activeChannelCount(), 0);
        }
    }
}

TEST_F(EngineTest, NextPressAfterAFailedStartStops) {
    struct Case {
        const char* name;
        bool refuseBlockSize;  // else Start is refused
        bool byF2;
    };
    const Case cases[] = {
        {"block size refused, click", true, false},
        {"block size refused, F2", true, true},
        {"start refused, click", false, false},
        {"start refused, F2", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        utility.blockSizeResult = c.refuseBlockSize ? 0 : 1;
        utility.startResult = c.refuseBlockSize ? 1 : 0;
        pressStart();
        ASSERT_FALSE(engine->running());
        ASSERT_TRUE(dialog.checked[BenchControl::Start]);
        dialog.errors.clear();

        const size_t from = mark();
        if (c.byF2) {
            core->startAcquisition(1);
        } else {
            pressStop();
        }
        EXPECT_EQ(logSince(from), (Log{"kill", "Stop", "haltRecording", "readControls", "Control 0 board",
                                       "Control 0 list", "Control 19 list"}));
        EXPECT_FALSE(dialog.checked[BenchControl::Start]);
        EXPECT_TRUE(dialog.errors.empty());
        EXPECT_FALSE(dialog.timerArmed);
        expectIdleControls();
    }
}

TEST_F(EngineTest, StopSequence) {
    pressStart();
    client.recording = true;
    dialog.checked[BenchControl::Record] = true;
    device.list.entries[1] = (0u << 24) | 0x123456;

    const size_t from = mark();
    pressStop();

    EXPECT_EQ(logSince(from), (Log{"kill", "Stop", "haltRecording", "readControls", "Control 0 board", "Control 0 list",
                                   "Control 19 list"}));
    EXPECT_FALSE(engine->running());
    EXPECT_EQ(core->lastUpdateTick(), 0u);
    EXPECT_FALSE(client.recording);
    EXPECT_FALSE(dialog.timerArmed);
    EXPECT_FALSE(dialog.checked[BenchControl::Start]);
    EXPECT_FALSE(dialog.checked[BenchControl::Record]);
    expectIdleControls();
    EXPECT_TRUE(dialog.enabled[BenchControl::ChooseFile]);
    // The channel list read after the stop is applied and handed back.
    EXPECT_EQ(engine->channelShown()[1], 0);
    EXPECT_EQ(colours()[1], 0x123456u);
    EXPECT_EQ(device.lists[kControlApplyList].entries[1], 0x123456u);
    EXPECT_EQ(device.lists[kControlApplyList].count, 2u);
}

TEST_F(EngineTest, F2TogglesTheButtonThenActsOnItsNewState) {
    dialog.checked[BenchControl::Start] = false;
    core->startAcquisition(1);
    EXPECT_TRUE(dialog.checked[BenchControl::Start]);
    EXPECT_TRUE(engine->running());

    core->startAcquisition(1);
    EXPECT_FALSE(dialog.checked[BenchControl::Start]);
    EXPECT_FALSE(engine->running());
    EXPECT_NE(findEntry(log, "Control 19 list"), std::string::npos);

    // A click whose button came up while idle is a stop as well.
    const size_t from = mark();
    pressStop();
    EXPECT_EQ(countPrefix(log, "Start", from), 0u);
    EXPECT_NE(findEntry(log, "Control 19 list", from), std::string::npos);
}

TEST_F(EngineTest, WithoutBoardOrDialogNothingHappens) {
    engine->attachBoard(nullptr, nullptr, kVoltsPerCount);
    pressStart();
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(engine->running());

    // Not bound yet: neither start nor a tick reaches anything.
    FakeRecording r(client);
    const std::unique_ptr<LoggingCore> unbound =
        makeCore(client, r, nullptr, &utility, &device, nullptr, kVoltsPerCount);
    unbound->startAcquisition(1);
    unbound->onAcquisitionTimer();
    unbound->onViewModeClosed();
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(unbound->engine.running());
}

TEST_F(EngineTest, RestartWithTheSameWindowLengthClearsTheWindows) {
    pressStart();
    utility.queueBlock(1024, 2, [](int32_t j, int32_t c) { return 1000 + j; });
    core->onAcquisitionTimer();
    ASSERT_EQ(engine->filledCount(), 1024);
    double* const store = engine->measuredChannels()[0].sampleStore;
    pressStop();

    pressStart();
    EXPECT_EQ(engine->filledCount(), 0);
    EXPECT_EQ(engine->measuredChannels()[0].sampleStore, store);
    for (int32_t c = 0; c < 2; ++c)
        for (int32_t i = 0; i < 1024; ++i) ASSERT_EQ(engine->measuredChannels()[c].samples[i], 0.0) << c << " " << i;
}

// ---------------------------------------------------------------- ticks

TEST_F(EngineTest, TickWithoutABlock) {
    pressStart();
    ASSERT_EQ(core->lastUpdateTick(), 1000u);
    dialog.tick = 5000;
    device.list.entries[1] = (0u << 24) | 0x00FF00;

    const size_t from = mark();
    core->onAcquisitionTimer();

    EXPECT_EQ(logSince(from),
              (Log{"kill", "Property 3", "Property 8", "Property 11", "Control 0 list", "GetBlock", "arm 200"}));
    EXPECT_EQ(core->lastUpdateTick(), 1000u);
    EXPECT_TRUE(engine->running());
    EXPECT_TRUE(dialog.timerArmed);
    EXPECT_EQ(dialog.timerPeriod, 200u);
    EXPECT_EQ(engine->channelShown()[1], 0);
    EXPECT_EQ(colours()[1], 0x00FF00u);
    EXPECT_EQ(utility.presets[kUtilityPropertyStatus], 0);
    EXPECT_EQ(utility.presets[kUtilityPropertyReadyBlocks], 0);
    EXPECT_EQ(utility.presets[kUtilityPropertyConnected], 1);
}

TEST_F(EngineTest, TickAppliesTheChannelListOnlyOnAPositiveResult) {
    struct Case {
        const char* name;
        int32_t result;
        bool applied;
    };
    const Case cases[] = {{"result 1", 1, true}, {"result 0", 0, false}, {"result -1", -1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pressStart();
        // The start took the board's colour.
        const uint32_t before = colours()[0];
        ASSERT_NE(before, 0x0000FFu);
        device.list.entries[0] = (1u << 24) | 0x0000FF;
        device.listResult = c.result;
        core->onAcquisitionTimer();
        EXPECT_EQ(colours()[0], c.applied ? 0x0000FFu : before);
        EXPECT_TRUE(dialog.timerArmed);
        device.listResult = 1;
        pressStop();
        device.list.entries[0] = (1u << 24) | boardColour(0);
    }
}

TEST_F(EngineTest, TickTakesAtMostDisplayBlocksAndDrawsOnce) {
    settings.displayBlocks = 2;
    view.sizeIndex = 2;  // N = 4096: B = 2048
    pressStart();
    ASSERT_EQ(engine->blockLength(), 2048);
    for (int b = 0; b < 3; ++b) utility.queueBlock(2048, 2, [b](int32_t j, int32_t c) { return (b + 1) * 100 + c; });
    dialog.tick = 7000;

    const size_t from = mark();
    core->onAcquisitionTimer();

    EXPECT_EQ(logSince(from), (Log{"kill", "Property 3", "Property 8", "Property 11", "Control 0 list", "GetBlock",
                                   "ReleaseBlock", "GetBlock", "ReleaseBlock", "redraw", "showDiskSpace", "arm 200"}));
    EXPECT_EQ(utility.blocks.size(), 1u);
    EXPECT_EQ(core->lastUpdateTick(), 7000u);
    EXPECT_EQ(engine->filledCount(), 4096);
    for (int32_t c = 0; c < 2; ++c) {
        SCOPED_TRACE(c);
        const double* x = engine->measuredChannels()[c].samples;
        EXPECT_DOUBLE_EQ(x[0], (100 + c) * kVoltsPerCount);
        EXPECT_DOUBLE_EQ(x[2047], (100 + c) * kVoltsPerCount);
        EXPECT_DOUBLE_EQ(x[2048], (200 + c) * kVoltsPerCount);
        EXPECT_DOUBLE_EQ(x[4095], (200 + c) * kVoltsPerCount);
        // Statistics of the whole window, averaged over one acquisition.
        EXPECT_DOUBLE_EQ(engine->measuredChannels()[c].max, (200 + c) * kVoltsPerCount);
        EXPECT_DOUBLE_EQ(engine->measuredChannels()[c].min, (100 + c) * kVoltsPerCount);
    }
    EXPECT_DOUBLE_EQ(analysis.scopeMax, 201 * kVoltsPerCount);
    EXPECT_DOUBLE_EQ(analysis.scopeMin, 100 * kVoltsPerCount);
    for (int32_t aux : utility.auxiliaryPresets) EXPECT_EQ(aux, 0);

    // The block left over comes with the next tick; the count stays at N.
    dialog.tick = 0;
    core->onAcquisitionTimer();
    EXPECT_TRUE(utility.blocks.empty());
    EXPECT_EQ(engine->filledCount(), 4096);
    EXPECT_EQ(core->lastUpdateTick(), 1u);
    EXPECT_DOUBLE_EQ(engine->measuredChannels()[0].samples[4095], 300 * kVoltsPerCount);
}

TEST_F(EngineTest, RecordingWritesEveryBlockAfterItReachedTheWindows) {
    pressStart();
    client.recording = true;
    utility.queueBlock(1024, 2, [](int32_t j, int32_t c) { return 10 + c; });
    utility.queueBlock(1024, 2, [](int32_t j, int32_t c) { return 20 + c; });
    std::vector<double> latestAtWrite;
    std::vector<int16_t> blockAtWrite;
    client.duringWrite = [&] {
        latestAtWrite.push_back(engine->measuredChannels()[1].samples[1023]);
        blockAtWrite.push_back(client.writtenBlock[2 * 1023 + 1]);
    };

    const size_t from = mark();
    core->onAcquisitionTimer();

    EXPECT_EQ(logSince(from), (Log{"kill", "Property 3", "Property 8", "Property 11", "Control 0 list", "GetBlock",
                                   "writeBlock 1024", "ReleaseBlock", "GetBlock", "writeBlock 1024", "ReleaseBlock",
                                   "GetBlock", "redraw", "showDiskSpace", "arm 200"}));
    EXPECT_EQ(latestAtWrite, (std::vector<double>{11 * kVoltsPerCount, 21 * kVoltsPerCount}));
    // The recorder is handed the block itself, still held.
    EXPECT_EQ(blockAtWrite, (std::vector<int16_t>{11, 21}));
    EXPECT_TRUE(client.recording);
}

TEST_F(EngineTest, AFailedWriteStopsWithoutReleasingItsBlock) {
    pressStart();
    client.recording = true;
    utility.queueBlock(1024, 2, [](int32_t j, int32_t c) { return 10; });
    utility.queueBlock(1024, 2, [](int32_t j, int32_t c) { return 20; });
    client.writeResult = false;

    const size_t from = mark();
    core->onAcquisitionTimer();

    EXPECT_EQ(logSince(from), (Log{"kill", "Property 3", "Property 8", "Property 11", "Control 0 list", "GetBlock",
                                   "writeBlock 1024", "kill", "Stop", "haltRecording", "readControls",
                                   "Control 0 board", "Control 0 list", "Control 19 list"}));
    EXPECT_FALSE(engine->running());
    EXPECT_FALSE(client.recording);
    EXPECT_FALSE(dialog.timerArmed);
    EXPECT_FALSE(dialog.checked[BenchControl::Start]);
    expectIdleControls();
}

TEST_F(EngineTest, PendingBlockLimit) {
    struct Case {
        const char* name;
        int32_t overLimit;
        bool stops;
    };
    const Case cases[] = {
        {"equal to the limit", 0, false},
        {"one more", 1, true},
        {"far more", 100000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pressStart();
        ASSERT_EQ(engine->maxPendingBlocks(), 32768);
        const int32_t ready = engine->maxPendingBlocks() + c.overLimit;
        utility.readyBlocks = ready;
        dialog.errors.clear();

        const size_t from = mark();
        core->onAcquisitionTimer();

        const Log got = logSince(from);
        if (!c.stops) {
            EXPECT_TRUE(engine->running());
            EXPECT_TRUE(dialog.timerArmed);
            EXPECT_TRUE(dialog.errors.empty());
            EXPECT_EQ(got.back(), "arm 200");
        } else {
            EXPECT_EQ(dialog.errors, std::vector<std::string>{dialogText(kTooManyPendingText, ready)});
            // The whole stop sequence runs before the message; no block is taken.
            EXPECT_EQ(got, (Log{"kill", "Property 3", "Property 8", "kill", "Stop", "haltRecording", "readControls",
                                "Control 0 board", "Control 0 list", "Control 19 list", "message"}));
            EXPECT_FALSE(engine->running());
            EXPECT_FALSE(dialog.timerArmed);
            EXPECT_FALSE(dialog.checked[BenchControl::Start]);
            EXPECT_FALSE(dialog.destroyed);
            expectIdleControls();
        }
        utility.readyBlocks = -1;
        pressStop();
    }
}

TEST_F(EngineTest, DisconnectInATick) {
    const int32_t values[] = {0, -1};
    for (int32_t value : values) {
        SCOPED_TRACE(value);
        pressStart();
        utility.connected = value;
        dialog.errors.clear();
        dialog.destroyed = false;

        const size_t from = mark();
        core->onAcquisitionTimer();

        EXPECT_EQ(dialog.errors, std::vector<std::string>{dialogText(kDisconnectedInTickText, "QX420A")});
        EXPECT_EQ(logSince(from),
                  (Log{"kill", "Property 3", "Property 8", "Property 11", "kill", "Stop", "haltRecording",
                       "readControls", "Control 0 board", "Control 0 list", "Control 19 list", "message", "destroy"}));
        EXPECT_TRUE(dialog.destroyed);
        EXPECT_FALSE(engine->running());
        EXPECT_FALSE(dialog.timerArmed);
        utility.connected = 1;
    }
}

// ---------------------------------------------------------------- re-entry

TEST_F(EngineTest, ATickDispatchedByAMessageBoxDoesNothing) {
    struct Case {
        const char* name;
        std::function<void(FakeUtility&)> fail;
        Log wantAfterMessage;
    };
    const Case cases[] = {
        {"pending limit", [](FakeUtility& u) { u.readyBlocks = 1 << 30; }, Log{"kill"}},
        {"disconnect", [](FakeUtility& u) { u.connected = 0; }, Log{"kill", "destroy"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pressStart();
        c.fail(utility);
        dialog.duringMessage = [this] { core->onAcquisitionTimer(); };

        core->onAcquisitionTimer();

        const size_t message = findEntry(log, "message");
        ASSERT_NE(message, std::string::npos);
        EXPECT_EQ(logSince(message + 1), c.wantAfterMessage);
        EXPECT_FALSE(dialog.timerArmed);
        EXPECT_FALSE(engine->running());

        dialog.duringMessage = nullptr;
        dialog.log.clear();
        utility.readyBlocks = -1;
        utility.connected = 1;
    }
}

TEST_F(EngineTest, ATickDispatchedWhileATickRunsDoesNothing) {
    // The recorder's message box (or anything else modal inside a tick) lets
    // queued timer messages through while the engine is still running.
    pressStart();
    client.recording = true;
    utility.queueBlock(1024, 2, [](int32_t j, int32_t c) { return 1; });
    client.duringWrite = [this] { core->onAcquisitionTimer(); };

    const size_t from = mark();
    core->onAcquisitionTimer();

    EXPECT_EQ(logSince(from),
              (Log{"kill", "Property 3", "Property 8", "Property 11", "Control 0 list", "GetBlock", "writeBlock 1024",
                   "kill", "ReleaseBlock", "GetBlock", "redraw", "showDiskSpace", "arm 200"}));
    EXPECT_TRUE(dialog.timerArmed);
    EXPECT_TRUE(engine->running());

    // Once the tick is over, the next one runs as usual.
    client.duringWrite = nullptr;
    const size_t next = mark();
    core->onAcquisitionTimer();
    EXPECT_NE(findEntry(log, "Property 8", next), std::string::npos);
}

TEST_F(EngineTest, AStaleTickAfterAStopDoesNothing) {
    pressStart();
    pressStop();
    const size_t from = mark();
    core->onAcquisitionTimer();
    EXPECT_EQ(logSince(from), Log{"kill"});
    EXPECT_FALSE(dialog.timerArmed);

    // A tick that finds the utility gone leaves the timer off too.
    pressStart();
    engine->attachBoard(nullptr, nullptr, kVoltsPerCount);
    const size_t gone = mark();
    core->onAcquisitionTimer();
    EXPECT_EQ(logSince(gone), Log{"kill"});
    EXPECT_FALSE(dialog.timerArmed);
}

// ---------------------------------------------------------------- combo boxes

TEST_F(EngineTest, ViewModeClosed) {
    struct Case {
        const char* name;
        ViewMode mode;
        bool startDown;
        bool wantAutoScale;
    };
    const Case cases[] = {
        {"scope, idle", ViewMode::Scope, false, true},
        {"spectrum V, running", ViewMode::SpectrumVolts, true, true},
        {"dB0, idle", ViewMode::SpectrumDb0, false, false},
        {"dB, running", ViewMode::SpectrumDb, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.checked[BenchControl::Start] = c.startDown;
        client.onReadControls = [this, &c] { view.displayMode = c.mode; };
        analysis.spectrumAverageCount = 7;
        const int invalidations = dialog.invalidations;

        const size_t from = mark();
        core->onViewModeClosed();

        EXPECT_EQ(logSince(from), (Log{"readControls", "invalidate"}));
        EXPECT_EQ(dialog.invalidations, invalidations + 1);
        EXPECT_EQ(dialog.enabled[BenchControl::AutoScale], c.wantAutoScale);
        EXPECT_EQ(dialog.enabled[BenchControl::Size], !c.startDown);
        EXPECT_EQ(dialog.enabled[BenchControl::Record], c.startDown);
        EXPECT_TRUE(dialog.enabled[BenchControl::ViewMode]);
        EXPECT_EQ(analysis.spectrumAverageCount, 7);
    }
    client.onReadControls = nullptr;
}

TEST_F(EngineTest, AveragingAndWindowClosedRestartTheAveraging) {
    analysis.spectrumAverageCount = 7;
    core->onAveragingClosed();
    EXPECT_EQ(analysis.spectrumAverageCount, 1);
    EXPECT_EQ(log, (Log{"readControls", "invalidate"}));

    // The window list: the coefficients follow the new selection.
    ASSERT_EQ(analysis.fftWindow.windowId, 0);
    client.onReadControls = [this] { view.fftWnd = 5; };
    analysis.spectrumAverageCount = 7;
    log.clear();
    core->onWindowClosed();
    EXPECT_EQ(log, (Log{"readControls", "invalidate"}));
    EXPECT_EQ(analysis.spectrumAverageCount, 1);
    EXPECT_EQ(analysis.fftWindow.windowId, 5);
    const uint32_t n = analysis.fftWindow.length;
    ASSERT_EQ(n, 1024u);
    std::vector<double> want(n);
    generateWindow(want.data(), n, 5);
    for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(analysis.fftWindow.windowBuffer[i], want[i]) << i;
}

}  // namespace
