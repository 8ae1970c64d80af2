#pragma once
// The acquisition engine: turns the board's stream of sample blocks into one
// sliding window of calibrated samples per channel, on the user-interface
// thread, driven by timer 1 of the main window. It keeps the channel set in
// step with the board and decides which dialog controls are enabled.
//
// Units: N (windowLength) and B (blockLength) are samples per channel, powers
// of two; samples in the windows are volts: code x voltsPerCount / gain.
#include <cstdint>

#include "acquisition/board_interface.h"
#include "analysis/channel_workers.h"
#include "analysis/signal_metrics.h"
#include "config/settings.h"
#include "config/view_state.h"
#include "platform/dialog_services.h"

// The operations of other parts of the program that the engine calls.
class EngineClient {
public:
    // Copies the dialog's selections into the view state.
    virtual void readControls() = 0;
    // Redraws both plots and the results list after new data.
    virtual void redrawWithAnalysis() = 0;

    // Recording. While it is on the engine hands every block, once it has
    // passed the windows, to writeBlock; a false result stops the run.
    virtual bool isRecording() const { return false; }
    virtual bool writeBlock(const int16_t* block, int32_t blockLength) { return true; }
    // Every halt: the record file closed, recording off.
    virtual void haltRecording() {}
    // Composes the next record file name (when files are numbered).
    virtual void buildRecordName() {}
    // Refreshes the free-space and recorded-amount texts.
    virtual void showDiskSpace() {}

protected:
    ~EngineClient() = default;
};

// Exponent e of the smallest 2^e >= v; 0 for v <= 1.
int32_t nextPowerOfTwo(int64_t v);

// Appends `count` samples, read from first[j * stride] (stride below 1 counts
// as 1) and multiplied by `scale`, to the record's window, which then holds
// its latest sampleCount samples, oldest first. A block longer than the
// window contributes its last sampleCount samples. False, with nothing
// changed, for a null pointer, a count <= 0 or a record without buffers.
bool appendSamples(ChannelRecord& record, const int16_t* first, int32_t count, int32_t stride,
                   double scale);

// B for N and the per-channel rate: displayTime ms of samples, rounded,
// raised to a power of two. Fewer than 256 samples count as 256 (so a window
// shorter than 256 may get a longer block); otherwise at most N.
int32_t blockLengthFor(int32_t displayTimeMs, double channelRate, int32_t windowLength);
// Blocks that may wait at the board: maxUsedMemory / (B x channels), at least 1000.
int32_t maxPendingBlocksFor(int32_t maxUsedMemory, int32_t blockLength, int32_t channelCount);

class AcquisitionEngine {
public:
    // The engine reads the settings and the view state; it drives the
    // analysis state's window record and averaging; channelColour (32
    // entries) is the plot style's table, which the board's colours update.
    AcquisitionEngine(const Settings& settings, const ViewState& viewState,
                      SignalAnalyser& analysis, uint32_t* channelColour);
    ~AcquisitionEngine();
    AcquisitionEngine(const AcquisitionEngine&) = delete;
    AcquisitionEngine& operator=(const AcquisitionEngine&) = delete;

    // The board, once start-up has opened it; null pointers detach it.
    void attachBoard(IADCUtility* utility, IADCDevice* device, double voltsPerCount);
    // Spreads the per-channel work of a tick (sliding, statistics) over the
    // workers' lanes; null: the calling thread alone.
    void setWorkers(ChannelWorkers* workers) { workers_ = workers; }
    // The dialog and the rest of the program; both must outlive the engine's
    // use of them. Until they are bound nothing is shown or called.
    void bind(DialogServices* dialog, EngineClient* client);

    // WM_COMMAND of the Start/Stop button; a nonzero notification means the
    // F2 accelerator, which toggles the button first.
    void startAcquisition(int32_t notification);
    // Halt, read back the controls, both buttons up, refresh the board's
    // parameters and the channel list, controls idle.
    void stopAcquisition();
    // Timer off, board stopped, record file closed, recording off.
    void haltAcquisition();
    // Reads the board's parameters into the channel set. Always true.
    bool refreshBoardParameters();
    // Reads and applies the board's channel list (WM_COMMAND 1001, and after
    // every stop).
    void refreshChannelList();
    // Shown flags and colours of the first `count` channels (clamped to 0..31).
    void applyChannelList(int32_t count, const uint32_t* entries);
    // Sizes every buffer for windowLength; when a channel window or the plot
    // scratch failed, releases every channel window, shows the memory message
    // and returns false.
    bool allocateBuffers();
    // WM_TIMER of timer 1.
    void onAcquisitionTimer();
    // One board block: B samples of each channel, interleaved.
    void distributeBlock(const int16_t* block, int32_t blockLength);
    void updateControlStates(bool idle);

    // CBN_CLOSEUP of the View mode, Avg and FFT Window lists.
    void onViewModeClosed();
    void onAveragingClosed();
    void onWindowClosed();

    bool running() const { return lastUpdateTick != 0; }
    double voltsPerCount() const { return voltsPerCount_; }

    // The board record (type 190), filled by the board's Control command 0.
    BoardParameters boardParameters;
    int32_t channelCount = 1;           // channels the board delivers, 1..32
    int32_t activeChannelCount = 0;     // channels of the last start that passed its checks
    int32_t windowLength = 1024;        // N
    int32_t filledCount = 1024;         // samples appended per channel since the start, <= N
    int32_t blockLength = 1024;         // B
    int32_t maxPendingBlocks = 0;
    uint32_t lastUpdateTick = 0;        // ms of the last display update; 0 when idle
    double channelRate = 10000.0;       // Hz, one channel
    double aggregateRate = 10000.0;     // Hz, all channels
    int32_t channelShown[kChannelRecordCount] = {};
    uint32_t* const channelColour;      // kChannelRecordCount colours 0x00BBGGRR
    ChannelRecord channels[kChannelRecordCount];
    float* plotScratch = nullptr;       // plotScratchLength floats, one curve at a time
    int32_t plotScratchLength = 0;

private:
    // Steps of a tick after the timer is killed; false when the run stopped.
    bool tick();
    // Formats a message (UTF-8 source text, shown as code page 1251).
    void show(const char* utf8Format, ...);
    void autoScaleRule();
    void releasePlotScratch();

    const Settings& settings_;
    const ViewState& viewState_;
    SignalAnalyser& analysis_;
    IADCUtility* utility_ = nullptr;
    IADCDevice* device_ = nullptr;
    double voltsPerCount_ = 1.0 / 32768.0;
    DialogServices* dialog_ = nullptr;
    EngineClient* client_ = nullptr;
    ChannelWorkers* workers_ = nullptr;
    bool inTick_ = false;
};
