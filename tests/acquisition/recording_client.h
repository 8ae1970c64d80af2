#pragma once
// The engine's client for tests that record through the real recorder: every
// block the engine hands over goes to a Recorder (on the storage the test
// gives it) as the application object passes it, a halt closes the file, and
// the Record button is taken as the main dialog takes it. The calls that the
// engine makes are logged in the shared event log.
#include <cstdint>
#include <string>
#include <vector>

#include "acquisition/engine.h"
#include "platform/dialog_services.h"
#include "platform/text_cp1251.h"
#include "recording/recorder.h"
#include "resources/resource.h"

class RecordingClient final : public EngineClient {
public:
    RecordingClient(AcquisitionEngine& engine, Recorder& recorder, DialogServices& dialog,
                    std::vector<std::string>& eventLog)
        : log(eventLog), engine_(engine), recorder_(recorder), dialog_(dialog) {}

    void readControls() override { log.push_back("readControls"); }
    void redrawWithAnalysis() override { log.push_back("redraw"); }
    bool isRecording() const override { return recorder_.isRecording(); }
    bool writeBlock(const int16_t* block, int32_t blockLength) override {
        log.push_back("writeBlock " + std::to_string(blockLength));
        const RecordedBlock recorded{engine_.channels, engine_.channelCount, engine_.channelRate,
                                     blockLength, block, engine_.voltsPerCount()};
        if (recorder_.writeBlock(recorded)) return true;
        dialog_.showError(utf8ToCp1251(recordFailureMessage(recorder_.failure())).c_str());
        return false;
    }
    void haltRecording() override {
        log.push_back("haltRecording");
        recorder_.halt();
    }
    void buildRecordName() override { recorder_.buildRecordName(); }
    void showDiskSpace() override {
        log.push_back("showDiskSpace");
        recorder_.diskTexts();
    }

    // A click on the Record button (a push-like check box), which leaves it
    // `down`: recording armed or the file closed, then the control states and
    // the parameter refresh.
    void clickRecord(bool down) {
        dialog_.setChecked(IDC_RECORD, down);
        recorder_.setRecording(down);
        engine_.updateControlStates(!dialog_.isChecked(IDC_START_STOP));
        readControls();
        engine_.refreshBoardParameters();
    }

    std::vector<std::string>& log;

private:
    AcquisitionEngine& engine_;
    Recorder& recorder_;
    DialogServices& dialog_;
};
