#pragma once
// The simulated ADC board: its settings, the signal of each channel, the
// converter, the records the driver fills and the real-time pacing of the
// sample stream. Portable: api.cpp adds the component objects and the
// Windows clock.
//
// Units: volts at the converter input; codes are signed 16-bit, full scale
// (volts) = 32768 codes; rates in Hz; a frame is one sample of every channel.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "acquisition/board_interface.h"

class ConfigReader;

namespace simboard {

// Settings file, read from the process's current directory.
inline constexpr const char kSettingsFileName[] = "SimBoard.cfg";

inline constexpr int kMaxChannels = 32;
inline constexpr int kMaxHarmonics = 9;  // orders 2 to 10
inline constexpr int32_t kCodesPerFullScale = 32768;
inline constexpr int32_t kDefaultBlockFrames = 1024;
// Largest block handed out: 4M frames of 32 channels (the longest window the
// program offers, every channel).
inline constexpr int64_t kMaxBlockSamples = int64_t(1) << 27;

// Default signal frequencies are bin-centred: channel k sits on bin
// 21 + 82 (k mod 6) of a 1024-point window of the channel rate, and so on
// an exact bin of every longer power-of-two window as well.
inline constexpr int32_t kDefaultBinWindow = 1024;

struct ChannelSettings {
    double frequency;                    // Hz of the fundamental
    double amplitude;                    // volts, peak of the fundamental
    double dc;                           // volts
    double noise;                        // volts RMS, Gaussian
    int32_t bits;                        // converter resolution, 1..16
    int32_t gain;                        // amplification before the converter, 1..255
    int32_t harmonicCount;               // entries in use in harmonicsDbc
    double harmonicsDbc[kMaxHarmonics];  // order 2 + i, dB relative to the fundamental
    bool shown;
    uint32_t colour;  // 0x00BBGGRR
};

// Ways to fail the program's capability check (key FailCapability).
enum class CapabilityFailure : int32_t {
    None = 0,
    StatusBit = 1,     // property 17: bit 0 clear
    NoDescriptor = 2,  // property 21: no descriptor
    Descriptor = 3,    // property 21: a descriptor without the required bits
};

struct BoardSettings {
    bool failOpen;  // Open fails
    bool noDevice;  // the utility hands out no device
    CapabilityFailure failCapability;
    bool noFullScale;        // property 53 fails
    bool failBlockSize;      // the utility's property 27 fails
    bool failStart;          // Start fails
    float fullScale;         // volts reported as full scale (property 53)
    int32_t channels;        // 1..32
    double rate;             // Hz, aggregate
    bool paired;             // channels sampled in pairs; needs an even count
    double disconnectAfter;  // seconds after the first start; < 0: never
    ChannelSettings channel[kMaxChannels];
};

BoardSettings defaultSettings();
// The defaults, overridden by the keys that the reader holds.
BoardSettings readSettings(const ConfigReader& reader);
// readSettings of kSettingsFileName in the current directory.
BoardSettings loadSettings();

// Samples per channel per second: the aggregate rate over the channels, or
// over the pairs in paired mode.
double frameRate(int32_t channels, bool paired, double aggregateRate);

// The converter: volts -> code with `fullScale` volts = 32768 codes. A b-bit
// converter keeps the top b bits of the 16 (steps of 2^(16-b) codes); the
// value is rounded to the nearest step and saturates at the b-bit range
// (-32768 .. 32768 - step). A full scale that is not positive counts as 1 V;
// not-a-number gives 0.
int16_t quantize(double volts, double fullScale, int32_t bits);

// Gaussian noise of unit variance from a small, seeded generator, so that a
// run is the same on every platform.
class NoiseSource {
public:
    explicit NoiseSource(uint64_t seed) : state_(seed) {}
    double next();

private:
    double uniform();  // (0, 1]
    uint64_t state_;
    double spare_ = 0.0;
    bool hasSpare_ = false;
};

// One channel's input, sample by sample.
class ChannelSignal {
public:
    ChannelSignal(const ChannelSettings& settings, double frameRate, uint64_t seed);
    // Volts of the sample at `frame`, counted from the start of the run. The
    // noise is drawn in call order; the tones depend on `frame` alone.
    double volts(uint64_t frame);

private:
    double cyclesPerFrame_;
    double amplitude_[1 + kMaxHarmonics];  // fundamental, then orders 2..10
    int32_t toneCount_;
    double dc_;
    double noise_;
    NoiseSource source_;
};

// Frames due on a monotonic clock. The count is taken from the start of the
// run each time, never added up from one call to the next: a fraction of a
// frame that one call leaves is counted by the next, so the stream neither
// stalls however often it is polled nor drifts with the polling period.
class Pacer {
public:
    void start(uint64_t nowTicks, uint64_t ticksPerSecond, double framesPerSecond);
    // Frames due from the start to `nowTicks`, rounded down; 0 before the start.
    uint64_t framesDue(uint64_t nowTicks) const;

private:
    uint64_t startTicks_ = 0;
    uint64_t ticksPerSecond_ = 1;
    double framesPerSecond_ = 0.0;
};

// The time base of the acquisition. Windows: QueryPerformanceCounter; tests
// drive their own.
class Clock {
public:
    virtual uint64_t ticks() = 0;  // monotonic
    virtual uint64_t ticksPerSecond() = 0;

protected:
    ~Clock() = default;
};

// The utility's acquisition: block size, start and stop, ready blocks, one
// block handed out at a time.
class Acquisition {
public:
    explicit Acquisition(Clock& clock);
    ~Acquisition();

    // New settings and a closed, stopped board.
    void configure(const BoardSettings& settings);
    // Opens the board; `blockFrames` (frames per block) <= 0 keeps the default.
    bool open(int32_t blockFrames);
    bool isOpen() const { return open_; }
    // Samples per block over all channels: a positive whole number of frames,
    // at most kMaxBlockSamples; refused while running and when the settings
    // ask for the failure (FailBlockSize).
    bool setBlockSamples(int32_t samples);
    // Starts the clock with the parameters' rate (the configured one when
    // the record gives none) and paired bit. Needs an open, connected board
    // and a record of type 100 and its size; refused when the settings ask
    // for the failure (FailStart).
    bool start(const AcquisitionParameters* parameters);
    void stop();
    bool running() const { return running_; }

    // Complete blocks due and not yet taken (0 when stopped or disconnected).
    int32_t readyBlocks();
    // The next block, blockFrames() x channels() codes interleaved by channel,
    // valid until releaseBlock; null when none is due, one is still held, or
    // the board is stopped or disconnected.
    const int16_t* takeBlock();
    bool releaseBlock();
    // False from DisconnectAfter seconds after the first start on.
    bool connected();

    int32_t channels() const { return settings_.channels; }
    int32_t blockFrames() const { return blockFrames_; }
    double framesPerSecond() const { return framesPerSecond_; }
    uint64_t framesDelivered() const { return delivered_; }

private:
    bool allocateBlock(int64_t samples);
    uint64_t framesDueNow();

    Clock& clock_;
    BoardSettings settings_;
    bool open_ = false;
    bool running_ = false;
    bool held_ = false;
    bool disconnected_ = false;
    bool everStarted_ = false;
    uint64_t firstStartTicks_ = 0;
    int32_t blockFrames_ = kDefaultBlockFrames;
    std::unique_ptr<int16_t[]> block_;
    int64_t blockCapacity_ = 0;  // samples in block_
    double framesPerSecond_ = 0.0;
    uint64_t delivered_ = 0;  // frames handed out since the start
    Pacer pacer_;
    std::vector<ChannelSignal> signals_;  // one per channel, made at each start
};

// The capability record that property 21 hands out when the board passes.
extern const BoardCapabilities kCapabilities;

// IADCDevice::Control: command 0 fills the record that its header names
// (BoardParameters or ChannelList; false, nothing written, for another type
// or a size field smaller than the record); other commands take the record
// and succeed. A null record fails.
bool control(const BoardSettings& settings, int32_t command, void* record);
void fillBoardParameters(const BoardSettings& settings, BoardParameters& parameters);
void fillChannelList(const BoardSettings& settings, ChannelList& list);

// IADCDevice::GetProperty: 17 (uint32 status, bit 0 = ready), 21 (const
// BoardCapabilities*), 53 (float full scale, volts). False for another code,
// a null `out` or a failure that the settings ask for.
bool deviceProperty(const BoardSettings& settings, int32_t code, void* out);

}  // namespace simboard
