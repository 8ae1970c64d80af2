#pragma once
// The acquisition as the running program drives it (BenchController: Start,
// the timer tick, the control states) with everything around it faked: the
// dialog, the board components, the dialog's selections, the drawing, and
// the recording in place of the recorder. The dialog, the program's outward
// calls and the board share one event log, so a test sees the order of all
// calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/engine.h"
#include "app/bench_controller.h"
#include "config/settings.h"
#include "config/view_state.h"
#include "platform/text_cp1251.h"
#include "tests/support/fake_bench_view.h"
#include "tests/support/fake_board.h"

// What the fakes around the acquisition share: the log, the recording's
// state and how a write ends, and what stands for the dialog's selections.
struct FakeClient {
    explicit FakeClient(std::vector<std::string>& eventLog) : log(eventLog) {}

    std::vector<std::string>& log;
    bool recording = false;
    bool writeResult = true;
    const int16_t* writtenBlock = nullptr;  // the block of the latest writeBlock
    std::function<void()> onReadControls;   // stands for the dialog's selections
    std::function<void()> duringWrite;      // e.g. a message box of the recorder
};

// The running program's portable side with its outward calls logged: the
// controls read back (from onReadControls), the redraw, the disk texts and
// the recording's halt and name. With a storage the real recorder records
// onto it; without one the client's recording flag stands for it.
class LoggingCore final : public BenchController {
public:
    LoggingCore(FakeClient& client, RecordStorage* storage)
        : BenchController(storage ? *storage : platformStorage()), client_(client), recorderOn_(storage) {}

    void readControls() override {
        client_.log.push_back("readControls");
        if (client_.onReadControls) client_.onReadControls();
    }
    void redrawWithAnalysis() override { client_.log.push_back("redraw"); }
    bool isRecording() const override { return recorderOn_ ? recorder.isRecording() : client_.recording; }
    void haltRecording() override {
        client_.log.push_back("haltRecording");
        if (recorderOn_) recorder.halt();
        else client_.recording = false;
    }
    // Logged when a name is built, that is when files are numbered.
    void buildRecordName() override {
        if (!recorderOn_ && recorder.fileNumber() != 0) client_.log.push_back("buildRecordName");
        BenchController::buildRecordName();
    }
    void showDiskSpace() override { client_.log.push_back("showDiskSpace"); }

private:
    FakeClient& client_;
    const bool recorderOn_;
};

// The recording as the engine's subscriber, in place of the recorder: while
// recording each block is logged and the write ends as the client says.
class FakeRecording final : public BlockSubscriber {
public:
    explicit FakeRecording(FakeClient& client) : client_(client) {}

    bool takeBlock(const TakenBlock& block) override {
        if (!client_.recording) return true;
        client_.log.push_back("writeBlock " + std::to_string(block.blockLength));
        client_.writtenBlock = block.codes;
        if (client_.duringWrite) client_.duringWrite();
        return client_.writeResult;
    }

private:
    FakeClient& client_;
};

// A core on the board and dialog given; without a storage its recorder is
// replaced by `recording`.
inline std::unique_ptr<LoggingCore> makeCore(FakeClient& client, FakeRecording& recording, RecordStorage* storage,
                                             IADCUtility* utility, IADCDevice* device, BenchView* dialog,
                                             double voltsPerCount) {
    auto core = std::make_unique<LoggingCore>(client, storage);
    if (!storage) {
        core->engine.unsubscribe(&core->recorder);
        core->engine.subscribe(&recording);
    }
    core->engine.attachBoard(utility, device, voltsPerCount);
    core->bindView(dialog);
    return core;
}

// A message as the dialog receives it: the UTF-8 text in code page 1251,
// formatted.
inline std::string dialogText(const char* utf8Format, ...) {
    const std::string format = utf8ToCp1251(utf8Format);
    char text[512];
    va_list arguments;
    va_start(arguments, utf8Format);
    std::vsnprintf(text, sizeof text, format.c_str(), arguments);
    va_end(arguments);
    return text;
}

inline constexpr char kNoMemoryText[] = "Ошибка... \n Не хватает памяти для работы программы!";
inline constexpr char kBadBlockSizeText[] = "Ошибка... \n Не верно заданы параметры платы!";
inline constexpr char kDisconnectedAtStartText[] = "Устройство (%s) отключено!\n Программа будет завершена!";
inline constexpr char kStartFailedText[] = "Ошибка... \n Не верные параметры сбора данных.";
inline constexpr char kTooManyPendingText[] =
    "Ошибка... \n Слишком медленная скорость записи на диск! \n Имеется не записанных блоков - %d.";
inline constexpr char kDisconnectedInTickText[] =
    "Устройство (%s) неожиданно отключилось!\n Программа будет завершена!";

// Position of the first `entry` at or after `from`; npos when absent.
inline size_t findEntry(const std::vector<std::string>& log, const std::string& entry, size_t from = 0) {
    for (size_t i = from; i < log.size(); ++i)
        if (log[i] == entry) return i;
    return std::string::npos;
}

inline size_t countPrefix(const std::vector<std::string>& log, const std::string& prefix, size_t from = 0) {
    size_t n = 0;
    for (size_t i = from; i < log.size(); ++i)
        if (log[i].compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

class EngineTest : public ::testing::Test {
protected:
    static constexpr double kVoltsPerCount = 10.0 / 32768.0;

    // With a storage the program's recorder records onto it.
    explicit EngineTest(RecordStorage* storage = nullptr)
        : core(makeCore(client, recording, storage, &utility, &device, &dialog, kVoltsPerCount)) {
        presetDefaults(settings, SystemColours{0, 0});
        std::snprintf(settings.deviceName, sizeof settings.deviceName, "QX420A");
        view = ViewState{0, ViewMode::Scope, 0, 0, 0};
        setBoard(2, 20000.0);
    }
    ~EngineTest() override { core->bindView(nullptr); }

    // The board's description: `channels` channels of gain 1, all shown, with
    // colours 0x0A0B00 + k; the channel list says the same.
    void setBoard(int32_t channels, double aggregateRate) {
        BoardParameters& b = device.board;
        b.channelCount = static_cast<uint32_t>(channels);
        b.acquisition.aggregateRate = aggregateRate;
        for (int32_t k = 0; k < channels && k < 64; ++k) {
            b.gainWords[k] = 1;
            b.channelWords[k] = static_cast<uint32_t>(k);
            b.channels[k].shown = 1;
            b.channels[k].colour = boardColour(k);
        }
        device.list.count = static_cast<uint32_t>(channels);
        for (int32_t k = 0; k < channels && k < 64; ++k) device.list.entries[k] = (1u << 24) | boardColour(k);
    }
    static uint32_t boardColour(int32_t k) { return 0x0A0B00u + static_cast<uint32_t>(k); }

    // A click on Start: the push-like button goes down, then the command comes.
    void pressStart() {
        dialog.checked[BenchControl::Start] = true;
        core->startAcquisition(0);
    }
    // A click while it is down: the button comes up.
    void pressStop() {
        dialog.checked[BenchControl::Start] = false;
        core->startAcquisition(0);
    }
    const uint32_t* colours() const { return engine->channelColours(); }

    size_t mark() const { return dialog.log.size(); }
    std::vector<std::string> logSince(size_t from) const {
        return std::vector<std::string>(dialog.log.begin() + static_cast<std::ptrdiff_t>(from), dialog.log.end());
    }

    // Control states of an idle engine, as a stop leaves them.
    void expectIdleControls() {
        EXPECT_TRUE(dialog.enabled[BenchControl::Size]);
        EXPECT_FALSE(dialog.enabled[BenchControl::Record]);
        EXPECT_TRUE(dialog.enabled[BenchControl::ViewMode]);
        EXPECT_TRUE(dialog.enabled[BenchControl::Start]);
    }
    void expectRunningControls() {
        EXPECT_FALSE(dialog.enabled[BenchControl::Size]);
        EXPECT_TRUE(dialog.enabled[BenchControl::Record]);
        EXPECT_TRUE(dialog.enabled[BenchControl::ViewMode]);
        EXPECT_TRUE(dialog.enabled[BenchControl::Start]);
    }

    FakeBenchView dialog;
    std::vector<std::string>& log = dialog.log;
    FakeClient client{dialog.log};
    FakeRecording recording{client};
    FakeUtility utility{dialog.log};
    FakeDevice device{dialog.log};
    std::unique_ptr<LoggingCore> core;
    AcquisitionEngine* const engine = &core->engine;
    Settings& settings = core->settings;
    ViewState& view = core->viewState;
    SignalAnalyser& analysis = core->analysis;
};
