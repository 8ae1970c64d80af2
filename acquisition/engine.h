#pragma once
// The acquisition engine: turns the board's stream of sample blocks into one
// sliding window of calibrated samples per channel, on the user-interface
// thread, one tick at a time, and keeps the channel set in step with the
// board. Every block it takes goes to its subscribers (block_subscriber.h);
// it reports what happened in its results and calls nothing above it.
//
// Units: N (windowLength) and B (blockLength) are samples per channel, powers
// of two; samples in the windows are volts: code x voltsPerCount / gain.
#include <cstdint>
#include <vector>

#include "acquisition/block_subscriber.h"
#include "acquisition/board_interface.h"
#include "analysis/channel_workers.h"
#include "analysis/signal_metrics.h"

// Exponent e of the smallest 2^e >= v; 0 for v <= 1.
int32_t nextPowerOfTwo(int64_t v);

// Appends `count` samples, read from first[j * stride] (stride below 1 counts
// as 1) and multiplied by `scale`, to the record's window, which then holds
// its latest sampleCount samples, oldest first. A block longer than the
// window contributes its last sampleCount samples. False, with nothing
// changed, for a null pointer, a count <= 0 or a record without buffers.
bool appendSamples(ChannelRecord& record, const int16_t* first, int32_t count, int32_t stride, double scale);

// B for N and the per-channel rate: displayTime ms of samples, rounded,
// raised to a power of two. Fewer than 256 samples count as 256 (so a window
// shorter than 256 may get a longer block); otherwise at most N.
int32_t blockLengthFor(int32_t displayTimeMs, double channelRate, int32_t windowLength);
// Blocks that may wait at the board: maxUsedMemory / (B x channels), at least 1000.
int32_t maxPendingBlocksFor(int32_t maxUsedMemory, int32_t blockLength, int32_t channelCount);

// What a start needs: the window length chosen and the settings of a run.
struct StartRequest {
    int32_t sizeEntry;       // the Size list's entry; 0 or less: the last start's N
    int32_t windowId;        // FFT window of the analysis
    int32_t displayTime;     // ms between ticks: sizes B
    int32_t displayBlocks;   // blocks taken per tick at most
    int32_t maxUsedMemory;   // bytes the board may keep pending
    int32_t averageCounter;  // blocks averaged in the time statistics
};

// How the board part of a start ended.
enum class StartResult {
    Started,
    BadBlockSize,  // the board refused the block size
    Disconnected,  // the board reports itself disconnected
    StartRefused,  // Start failed; the board was stopped again
};

// How a tick ended.
struct TickResult {
    enum class Kind {
        Running,           // the run goes on
        TooManyPending,    // more blocks waited than the limit: `pending`
        Disconnected,      // the board reports itself disconnected
        SubscriberFailed,  // `subscriber` refused a block, which was not given back
    };
    Kind kind = Kind::Running;
    int32_t taken = 0;    // blocks taken
    int32_t pending = 0;  // blocks waiting at the board
    const BlockSubscriber* subscriber = nullptr;
};

class AcquisitionEngine {
public:
    // The engine prepares the analyser's window record for every start.
    explicit AcquisitionEngine(SignalAnalyser& analysis);
    ~AcquisitionEngine();
    AcquisitionEngine(const AcquisitionEngine&) = delete;
    AcquisitionEngine& operator=(const AcquisitionEngine&) = delete;

    // The board, once start-up has opened it; null pointers detach it.
    void attachBoard(IADCUtility* utility, IADCDevice* device, double voltsPerCount);
    bool hasBoard() const { return utility_ != nullptr; }
    // Spreads the per-channel work of a tick (sliding, statistics) over the
    // workers' lanes; null: the calling thread alone.
    void setWorkers(ChannelWorkers* workers) { workers_ = workers; }
    // Blocks go to the subscribers in the order they subscribed; each must
    // outlive its subscription.
    void subscribe(BlockSubscriber* subscriber);
    void unsubscribe(BlockSubscriber* subscriber);

    // A start, in the order the caller runs them: configure (sizes N, B and
    // the pending limit from the request and the board's rate), halt,
    // allocateBuffers, startBoard.
    void configure(const StartRequest& request);
    // Sizes every buffer for N and prepares the analyser for N and the
    // request's window; when a channel window failed, releases every channel
    // window and returns false (the start goes on; a channel without buffers
    // takes no samples).
    bool allocateBuffers();
    // Gives back every channel window, for a caller whose own buffers of the
    // start did not fit: some channels shown and others silently missing
    // would mislead.
    void releaseWindows();
    // The board's block size, connection and Start; on success the engine runs.
    StartResult startBoard();
    // Board stopped; the engine idle.
    void halt();
    // Takes up to displayBlocks ready blocks into the windows and hands each
    // to the subscribers; after a tick that took blocks, updates the time
    // statistics and the scope extremes.
    TickResult tick();

    // Reads the board's parameters into the channel set.
    void refreshBoardParameters();
    // Hands the board record back to the driver (Control command 1).
    void writeBoardParameters();
    // Reads and applies the board's channel list and hands it back.
    void refreshChannelList();
    // Shown flags and colours of the first `count` channels (clamped to 0..31).
    void applyChannelList(int32_t count, const uint32_t* entries);
    // One board block: B samples of each channel, interleaved.
    void distributeBlock(const int16_t* block, int32_t blockLength);

    bool running() const { return running_; }
    double voltsPerCount() const { return voltsPerCount_; }
    int32_t channelCount() const { return channelCount_; }
    int32_t activeChannelCount() const { return activeChannelCount_; }
    int32_t windowLength() const { return windowLength_; }
    int32_t filledCount() const { return filledCount_; }
    int32_t blockLength() const { return blockLength_; }
    int32_t maxPendingBlocks() const { return maxPendingBlocks_; }
    double channelRate() const { return channelRate_; }
    double aggregateRate() const { return aggregateRate_; }
    const BoardParameters& boardParameters() const { return boardParameters_; }
    // kChannelRecordCount entries each.
    const int32_t* channelShown() const { return channelShown_; }
    const uint32_t* channelColours() const { return channelColour_; }
    // The channel windows (the latest N samples, oldest first) with their
    // measurements.
    const ChannelRecord* channels() const { return channels_; }
    // The same records for the analysis, which stores its measurements in them.
    ChannelRecord* measuredChannels() { return channels_; }

private:
    IADCUtility* utility_ = nullptr;
    IADCDevice* device_ = nullptr;
    double voltsPerCount_ = 1.0 / 32768.0;
    SignalAnalyser& analysis_;
    ChannelWorkers* workers_ = nullptr;
    std::vector<BlockSubscriber*> subscribers_;
    StartRequest request_{};

    BoardParameters boardParameters_;  // type 190, filled by the board's Control command 0
    int32_t channelCount_ = 1;         // channels the board delivers, 1..32
    int32_t activeChannelCount_ = 0;   // channels of the last start that passed its checks
    int32_t windowLength_ = 1024;      // N
    int32_t filledCount_ = 1024;       // samples appended per channel since the start, <= N
    int32_t blockLength_ = 1024;       // B
    int32_t maxPendingBlocks_ = 0;
    bool running_ = false;
    double channelRate_ = 10000.0;    // Hz, one channel
    double aggregateRate_ = 10000.0;  // Hz, all channels
    int32_t channelShown_[kChannelRecordCount] = {};
    uint32_t channelColour_[kChannelRecordCount];  // 0x00BBGGRR
    ChannelRecord channels_[kChannelRecordCount];
};
