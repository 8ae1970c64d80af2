#include "components/simboard/protocol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "config/config_reader.h"
#include "display/channel_colours.h"

namespace simboard {

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Bins of the default frequencies in a kDefaultBinWindow-point window: odd,
// below the middle, channel k takes entry k mod 6.
constexpr int32_t kDefaultBins[6] = {21, 103, 185, 267, 349, 431};

constexpr double kDefaultRate = 100000.0;   // Hz, aggregate
constexpr double kMaxRate = 1e9;            // Hz, aggregate
constexpr float kDefaultFullScale = 10.0f;  // volts
constexpr int32_t kDefaultChannels = 2;
constexpr uint32_t kPairedModeBit = 1u << 4;

// Capability words that fail the program's test: word 2 lacks bits 24, 25.
constexpr BoardCapabilities kInsufficientCapabilities = {0, kCapabilityWord1Mask, kCapabilityWord2Bit};

double defaultFrequency(int channel, double framesPerSecond) {
    return framesPerSecond * kDefaultBins[channel % 6] / kDefaultBinWindow;
}

bool finite(double v) { return std::isfinite(v); }

// Each look-up keeps `value` when the key is missing or its value is no
// number (the reader's default rule with the current value as default).
void readFlag(const ConfigReader& reader, const char* key, bool& value) {
    int32_t v = value ? 1 : 0;
    reader.readInt(key, &v, v);
    value = v != 0;
}

void readInt(const ConfigReader& reader, const char* key, int32_t& value, int32_t low, int32_t high) {
    int32_t v = value;
    reader.readInt(key, &v, v);
    value = std::clamp(v, low, high);
}

// Non-finite values keep the previous one.
void readReal(const ConfigReader& reader, const char* key, double& value) {
    double v = value;
    reader.readDouble(key, &v, v);
    if (finite(v)) value = v;
}

void readChannel(const ConfigReader& reader, int k, ChannelSettings& channel) {
    char key[32];
    auto name = [&](const char* field) {
        std::snprintf(key, sizeof key, "Ch%d%s", k, field);
        return key;
    };
    readReal(reader, name("Frequency"), channel.frequency);
    readReal(reader, name("Amplitude"), channel.amplitude);
    readReal(reader, name("Dc"), channel.dc);
    readReal(reader, name("Noise"), channel.noise);
    channel.noise = std::max(channel.noise, 0.0);
    readInt(reader, name("Bits"), channel.bits, 1, 16);
    readInt(reader, name("Gain"), channel.gain, 1, 255);
    readFlag(reader, name("Shown"), channel.shown);
    int32_t colour = static_cast<int32_t>(channel.colour);
    reader.readInt(name("Colour"), &colour, colour);
    channel.colour = static_cast<uint32_t>(colour) & 0xFFFFFF;

    // Present with no numbers: no harmonics.
    char probe[4];
    if (reader.readString(name("Harmonics"), probe, sizeof probe, nullptr) == 1) {
        int32_t levels[kMaxHarmonics];
        const int n = std::max(reader.readIntList(key, levels, kMaxHarmonics), 0);
        channel.harmonicCount = n;
        for (int i = 0; i < n; ++i) channel.harmonicsDbc[i] = levels[i];
    }
}

}  // namespace

const BoardCapabilities kCapabilities = {0, kCapabilityWord1Mask, kCapabilityWord2Bit | kCapabilityWord2Mask};

BoardSettings defaultSettings() {
    BoardSettings s{};
    s.failCapability = CapabilityFailure::None;
    s.fullScale = kDefaultFullScale;
    s.channels = kDefaultChannels;
    s.rate = kDefaultRate;
    s.paired = false;
    s.disconnectAfter = -1.0;
    const double fps = frameRate(s.channels, s.paired, s.rate);
    for (int k = 0; k < kMaxChannels; ++k) {
        ChannelSettings& c = s.channel[k];
        c.frequency = defaultFrequency(k, fps);
        c.amplitude = k == 0 ? 9.0 : 5.0;
        c.noise = 0.0002;
        c.bits = 16;
        c.gain = 1;
        c.shown = true;
        c.colour = presetChannelColour(k);
    }
    // A little distortion on the first two channels, so that the harmonic
    // figures have something to find.
    s.channel[0].harmonicCount = 2;
    s.channel[0].harmonicsDbc[0] = -80.0;
    s.channel[0].harmonicsDbc[1] = -90.0;
    s.channel[1].harmonicCount = 1;
    s.channel[1].harmonicsDbc[0] = -70.0;
    return s;
}

BoardSettings readSettings(const ConfigReader& reader) {
    BoardSettings s = defaultSettings();
    if (reader.empty()) return s;

    readFlag(reader, "FailOpen", s.failOpen);
    readFlag(reader, "NoDevice", s.noDevice);
    int32_t capability = 0;
    readInt(reader, "FailCapability", capability, 0, 3);
    s.failCapability = static_cast<CapabilityFailure>(capability);
    readFlag(reader, "NoFullScale", s.noFullScale);
    readFlag(reader, "FailBlockSize", s.failBlockSize);
    readFlag(reader, "FailStart", s.failStart);
    float fullScale = s.fullScale;
    reader.readFloat("FullScale", &fullScale, fullScale);
    // 0 is kept: it is a board that reports no usable full scale.
    if (std::isfinite(fullScale) && fullScale >= 0.0f) s.fullScale = fullScale;
    readInt(reader, "Channels", s.channels, 1, kMaxChannels);
    double rate = s.rate;
    readReal(reader, "Rate", rate);
    if (rate > 0.0 && rate <= kMaxRate) s.rate = rate;
    readFlag(reader, "Paired", s.paired);
    if (s.channels % 2 != 0) s.paired = false;
    readReal(reader, "DisconnectAfter", s.disconnectAfter);

    // Default frequencies follow the rate and channel count read above.
    const double fps = frameRate(s.channels, s.paired, s.rate);
    for (int k = 0; k < kMaxChannels; ++k) {
        s.channel[k].frequency = defaultFrequency(k, fps);
        readChannel(reader, k, s.channel[k]);
    }
    return s;
}

BoardSettings loadSettings() {
    const ConfigReader reader(kSettingsFileName);
    return readSettings(reader);
}

double frameRate(int32_t channels, bool paired, double aggregateRate) {
    int32_t m = paired ? channels / 2 : channels;
    if (m < 1) m = 1;
    return aggregateRate / m;
}

int16_t quantize(double volts, double fullScale, int32_t bits) {
    if (!(fullScale > 0.0) || !finite(fullScale)) fullScale = 1.0;
    bits = std::clamp(bits, int32_t(1), int32_t(16));
    const double step = static_cast<double>(1 << (16 - bits));
    if (volts != volts) return 0;
    double code = std::floor(volts / fullScale * kCodesPerFullScale / step + 0.5) * step;
    code = std::clamp(code, -32768.0, 32768.0 - step);
    return static_cast<int16_t>(code);
}

// splitmix64: uniform 53-bit fractions in (0, 1].
double NoiseSource::uniform() {
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return (static_cast<double>(z >> 11) + 1.0) * (1.0 / 9007199254740992.0);
}

// Box-Muller: two independent normal values per pair of uniforms.
double NoiseSource::next() {
    if (hasSpare_) {
        hasSpare_ = false;
        return spare_;
    }
    const double radius = std::sqrt(-2.0 * std::log(uniform()));
    const double angle = kTwoPi * uniform();
    spare_ = radius * std::sin(angle);
    hasSpare_ = true;
    return radius * std::cos(angle);
}

ChannelSignal::ChannelSignal(const ChannelSettings& settings, double frameRate, uint64_t seed)
    : cyclesPerFrame_(frameRate > 0.0 ? settings.frequency / frameRate : 0.0),
      toneCount_(1 + std::clamp(settings.harmonicCount, 0, kMaxHarmonics)),
      dc_(settings.dc),
      noise_(settings.noise),
      source_(seed) {
    amplitude_[0] = settings.amplitude;
    for (int i = 1; i < toneCount_; ++i)
        amplitude_[i] = settings.amplitude * std::pow(10.0, settings.harmonicsDbc[i - 1] / 20.0);
}

double ChannelSignal::volts(uint64_t frame) {
    // Whole cycles are dropped before the sine, so the phase stays exact in
    // long runs.
    const double cycles = static_cast<double>(frame) * cyclesPerFrame_;
    double v = dc_;
    for (int i = 0; i < toneCount_; ++i) {
        const double c = cycles * (i + 1);
        v += amplitude_[i] * std::sin(kTwoPi * (c - std::floor(c)));
    }
    if (noise_ > 0.0) v += noise_ * source_.next();
    return v;
}

void Pacer::start(uint64_t nowTicks, uint64_t ticksPerSecond, double framesPerSecond) {
    startTicks_ = nowTicks;
    ticksPerSecond_ = ticksPerSecond > 0 ? ticksPerSecond : 1;
    framesPerSecond_ = framesPerSecond > 0.0 && finite(framesPerSecond) ? framesPerSecond : 0.0;
}

uint64_t Pacer::framesDue(uint64_t nowTicks) const {
    if (nowTicks <= startTicks_) return 0;
    // Whole seconds and the rest apart, so that neither product loses the
    // low digits of a long run.
    const uint64_t elapsed = nowTicks - startTicks_;
    const double due =
        static_cast<double>(elapsed / ticksPerSecond_) * framesPerSecond_ +
        static_cast<double>(elapsed % ticksPerSecond_) * framesPerSecond_ / static_cast<double>(ticksPerSecond_);
    if (!(due < 9.2e18)) return UINT64_C(9200000000000000000);
    return static_cast<uint64_t>(due);
}

Acquisition::Acquisition(Clock& clock) : clock_(clock), settings_(defaultSettings()) {}

Acquisition::~Acquisition() = default;

void Acquisition::configure(const BoardSettings& settings) {
    stop();
    settings_ = settings;
    open_ = false;
    disconnected_ = false;
    everStarted_ = false;
    blockFrames_ = kDefaultBlockFrames;
}

bool Acquisition::open(int32_t blockFrames) {
    if (settings_.failOpen) return false;
    if (blockFrames > 0 && int64_t(blockFrames) * settings_.channels <= kMaxBlockSamples) blockFrames_ = blockFrames;
    open_ = true;
    return true;
}

bool Acquisition::setBlockSamples(int32_t samples) {
    if (settings_.failBlockSize || running_ || samples <= 0 || samples % settings_.channels != 0 ||
        samples > kMaxBlockSamples)
        return false;
    if (!allocateBlock(samples)) return false;
    blockFrames_ = samples / settings_.channels;
    return true;
}

bool Acquisition::allocateBlock(int64_t samples) {
    if (samples <= blockCapacity_) return true;
    int16_t* block = new (std::nothrow) int16_t[static_cast<size_t>(samples)];
    if (!block) return false;
    block_.reset(block);
    blockCapacity_ = samples;
    return true;
}

bool Acquisition::start(const AcquisitionParameters* parameters) {
    if (settings_.failStart || !open_ || !parameters) return false;
    if (parameters->type != kAcquisitionParametersType || parameters->size != sizeof(AcquisitionParameters))
        return false;
    if (!connected()) return false;
    stop();
    if (!allocateBlock(int64_t(blockFrames_) * settings_.channels)) return false;

    double rate = parameters->aggregateRate;
    if (!(rate > 0.0 && rate <= kMaxRate)) rate = settings_.rate;
    const bool paired = (parameters->modeBits & kPairedModeBit) != 0 && settings_.channels % 2 == 0;
    framesPerSecond_ = frameRate(settings_.channels, paired, rate);

    signals_.clear();
    signals_.reserve(static_cast<size_t>(settings_.channels));
    for (int k = 0; k < settings_.channels; ++k)
        signals_.emplace_back(settings_.channel[k], framesPerSecond_, 0x51B0A4D000000000ull + k);

    const uint64_t now = clock_.ticks();
    if (!everStarted_) {
        everStarted_ = true;
        firstStartTicks_ = now;
    }
    pacer_.start(now, clock_.ticksPerSecond(), framesPerSecond_);
    delivered_ = 0;
    held_ = false;
    running_ = true;
    return true;
}

void Acquisition::stop() {
    running_ = false;
    held_ = false;
}

bool Acquisition::connected() {
    if (disconnected_) return false;
    const double after = settings_.disconnectAfter;
    if (after < 0.0) return true;
    if (after == 0.0) {
        disconnected_ = true;
        return false;
    }
    if (!everStarted_) return true;
    const uint64_t now = clock_.ticks();
    const uint64_t tps = std::max<uint64_t>(clock_.ticksPerSecond(), 1);
    const double elapsed =
        now > firstStartTicks_ ? static_cast<double>(now - firstStartTicks_) / static_cast<double>(tps) : 0.0;
    if (elapsed >= after) disconnected_ = true;
    return !disconnected_;
}

uint64_t Acquisition::framesDueNow() { return pacer_.framesDue(clock_.ticks()); }

int32_t Acquisition::readyBlocks() {
    if (!running_ || !connected()) return 0;
    const uint64_t due = framesDueNow();
    if (due <= delivered_) return 0;
    const uint64_t blocks = (due - delivered_) / static_cast<uint64_t>(blockFrames_);
    return blocks > INT32_MAX ? INT32_MAX : static_cast<int32_t>(blocks);
}

const int16_t* Acquisition::takeBlock() {
    if (!running_ || held_ || !connected()) return nullptr;
    const uint64_t due = framesDueNow();
    if (due < delivered_ + static_cast<uint64_t>(blockFrames_)) return nullptr;

    const int32_t n = settings_.channels;
    const double fullScale = settings_.fullScale;
    int16_t* out = block_.get();
    for (int32_t c = 0; c < n; ++c) {
        const ChannelSettings& channel = settings_.channel[c];
        ChannelSignal& signal = signals_[static_cast<size_t>(c)];
        for (int32_t f = 0; f < blockFrames_; ++f) {
            const double v = signal.volts(delivered_ + static_cast<uint64_t>(f)) * channel.gain;
            out[static_cast<size_t>(f) * n + c] = quantize(v, fullScale, channel.bits);
        }
    }
    delivered_ += static_cast<uint64_t>(blockFrames_);
    held_ = true;
    return out;
}

bool Acquisition::releaseBlock() {
    if (!held_) return false;
    held_ = false;
    return true;
}

void fillBoardParameters(const BoardSettings& settings, BoardParameters& p) {
    const int32_t count = settings.channels;
    p.channelCount = static_cast<uint32_t>(count);
    for (int k = 0; k < 64; ++k) {
        BoardChannelEntry& entry = p.channels[k];
        const bool used = k < count;
        entry.shown = used && settings.channel[k].shown ? 1 : 0;
        entry.colour = used ? settings.channel[k].colour : 0;
        p.gainWords[k] = 0;
        p.channelWords[k] = 0;
    }
    if (settings.paired) {
        // Word i serves channels 2i (low half) and 2i + 1 (high half).
        for (int i = 0; i < count / 2; ++i) {
            p.gainWords[i] = static_cast<uint32_t>(settings.channel[2 * i].gain) |
                             static_cast<uint32_t>(settings.channel[2 * i + 1].gain) << 16;
            p.channelWords[i] = static_cast<uint32_t>(i);
        }
    } else {
        for (int k = 0; k < count; ++k) {
            p.gainWords[k] = static_cast<uint32_t>(settings.channel[k].gain);
            p.channelWords[k] = static_cast<uint32_t>(k);
        }
    }
    AcquisitionParameters& a = p.acquisition;
    a.type = kAcquisitionParametersType;
    a.size = sizeof(AcquisitionParameters);
    a.modeBits = settings.paired ? (a.modeBits | kPairedModeBit) : (a.modeBits & ~kPairedModeBit);
    a.aggregateRate = settings.rate;
    a.pairCount = settings.paired ? static_cast<uint32_t>(count / 2) : 0;
}

void fillChannelList(const BoardSettings& settings, ChannelList& list) {
    list.count = static_cast<uint32_t>(settings.channels);
    for (int k = 0; k < 64; ++k) {
        list.entries[k] = 0;
        if (k < settings.channels) {
            const ChannelSettings& c = settings.channel[k];
            list.entries[k] = (c.shown ? 1u << 24 : 0u) | c.colour;
        }
    }
}

bool control(const BoardSettings& settings, int32_t command, void* record) {
    if (!record) return false;
    if (command != kControlRead) return true;
    uint32_t header[2];
    std::memcpy(header, record, sizeof header);
    if (header[0] == kBoardParametersType && header[1] >= sizeof(BoardParameters)) {
        fillBoardParameters(settings, *static_cast<BoardParameters*>(record));
        return true;
    }
    if (header[0] == kChannelListType && header[1] >= sizeof(ChannelList)) {
        fillChannelList(settings, *static_cast<ChannelList*>(record));
        return true;
    }
    return false;
}

bool deviceProperty(const BoardSettings& settings, int32_t code, void* out) {
    if (!out) return false;
    switch (code) {
    case kDevicePropertyStatus: {
        const uint32_t status = settings.failCapability == CapabilityFailure::StatusBit ? 0u : 1u;
        std::memcpy(out, &status, sizeof status);
        return true;
    }
    case kDevicePropertyCapabilities: {
        const BoardCapabilities* record = &kCapabilities;
        if (settings.failCapability == CapabilityFailure::NoDescriptor) record = nullptr;
        if (settings.failCapability == CapabilityFailure::Descriptor) record = &kInsufficientCapabilities;
        std::memcpy(out, &record, sizeof record);
        return record != nullptr;
    }
    case kDevicePropertyFullScale:
        if (settings.noFullScale) return false;
        std::memcpy(out, &settings.fullScale, sizeof settings.fullScale);
        return true;
    default:
        return false;
    }
}

}  // namespace simboard
