#include "acquisition/engine.h"

#include <algorithm>
#include <cstring>

#include "display/channel_colours.h"

namespace {

constexpr int32_t kMinBlockLength = 256;
constexpr int32_t kMinPendingBlocks = 1000;
constexpr int32_t kMaxListEntries = 31;
constexpr int32_t kMaxPairs = kChannelRecordCount / 2;
constexpr uint32_t kPairedModeBit = 1u << 4;
constexpr uint32_t kStartFlagRun = 1u << 1;
constexpr int32_t kStartMode = 2;

ChannelList listHeader() {
    ChannelList list{};
    list.type = kChannelListType;
    list.size = sizeof(ChannelList);
    return list;
}

}  // namespace

int32_t nextPowerOfTwo(int64_t v) {
    int32_t e = 0;
    while (e < 62 && (int64_t(1) << e) < v) ++e;
    return e;
}

int32_t blockLengthFor(int32_t displayTimeMs, double channelRate, int32_t windowLength) {
    const double samples = displayTimeMs * channelRate * 0.001 + 0.5;
    int64_t d;
    if (!(samples >= kMinBlockLength)) d = kMinBlockLength;  // also not-a-number
    else if (samples > windowLength) d = windowLength;
    else d = static_cast<int64_t>(samples);
    return int32_t(1) << std::min(nextPowerOfTwo(d), 30);
}

int32_t maxPendingBlocksFor(int32_t maxUsedMemory, int32_t blockLength, int32_t channelCount) {
    const int64_t blockSamples = int64_t(blockLength) * channelCount;
    const int64_t blocks = blockSamples > 0 ? maxUsedMemory / blockSamples : 0;
    return static_cast<int32_t>(std::clamp<int64_t>(blocks, kMinPendingBlocks, INT32_MAX));
}

bool appendSamples(ChannelRecord& record, const int16_t* first, int32_t count, int32_t stride, double scale) {
    if (!first || count <= 0 || !record.hasBuffers() || !record.sampleStore) return false;
    if (stride < 1) stride = 1;
    const int32_t length = record.sampleCount;
    const int32_t taken = std::min(count, length);
    // The latest `taken` samples of the block.
    const int16_t* source = first + int64_t(count - taken) * stride;

    double* destination;
    const int64_t start = record.samples - record.sampleStore;
    if (start + length + taken <= record.sampleStoreLength) {
        destination = record.samples + length;
        record.samples += taken;
    } else {
        std::memmove(record.sampleStore, record.samples + taken, static_cast<size_t>(length - taken) * sizeof(double));
        record.samples = record.sampleStore;
        destination = record.sampleStore + (length - taken);
    }
    if (stride == 1) {
        for (int32_t j = 0; j < taken; ++j) destination[j] = source[j] * scale;
    } else {
        for (int32_t j = 0; j < taken; ++j) destination[j] = source[int64_t(j) * stride] * scale;
    }
    return true;
}

AcquisitionEngine::AcquisitionEngine(SignalAnalyser& analysis)
    : analysis_(analysis), boardParameters_(emptyBoardParameters()) {
    for (int k = 0; k < kChannelRecordCount; ++k) channelColour_[k] = presetChannelColour(k);
    allocateBuffers();
}

AcquisitionEngine::~AcquisitionEngine() = default;

void AcquisitionEngine::attachBoard(IADCUtility* utility, IADCDevice* device, double voltsPerCount) {
    utility_ = utility;
    device_ = device;
    voltsPerCount_ = voltsPerCount;
}

void AcquisitionEngine::subscribe(BlockSubscriber* subscriber) {
    if (subscriber && std::find(subscribers_.begin(), subscribers_.end(), subscriber) == subscribers_.end()) {
        subscribers_.push_back(subscriber);
    }
}

void AcquisitionEngine::unsubscribe(BlockSubscriber* subscriber) {
    subscribers_.erase(std::remove(subscribers_.begin(), subscribers_.end(), subscriber), subscribers_.end());
}

void AcquisitionEngine::configure(const StartRequest& request) {
    request_ = request;
    if (request.sizeEntry > 0) {
        windowLength_ = int32_t(1) << std::min(nextPowerOfTwo(request.sizeEntry), 30);
    }
    filledCount_ = 0;
    blockLength_ = blockLengthFor(request.displayTime, channelRate_, windowLength_);
    maxPendingBlocks_ = maxPendingBlocksFor(request.maxUsedMemory, blockLength_, channelCount_);
}

StartResult AcquisitionEngine::startBoard() {
    // Samples per block over all channels; a count that does not fit the
    // board's 32-bit value counts as refused.
    const int64_t blockSamples = int64_t(blockLength_) * channelCount_;
    int32_t value = static_cast<int32_t>(blockSamples);
    if (blockSamples > INT32_MAX || utility_->Property(kUtilityPropertyBlockSize, &value) <= 0) {
        return StartResult::BadBlockSize;
    }
    int32_t connected = 1;
    utility_->Property(kUtilityPropertyConnected, &connected);
    if (connected <= 0) return StartResult::Disconnected;

    activeChannelCount_ = channelCount_;

    ChannelList header = listHeader();
    if (device_) device_->Control(kControlStartList, &header, 0);
    utility_->Property(kUtilityPropertyReset, nullptr);

    AcquisitionParameters& acquisition = boardParameters_.acquisition;
    acquisition.aggregateRate = aggregateRate_;
    acquisition.reserved36 = 0;
    acquisition.startFlags |= kStartFlagRun;
    acquisition.reserved12 = 0;
    acquisition.reserved24 = 0;
    acquisition.reserved40 = 0;
    acquisition.reserved16 = 1;
    if (utility_->Start(&acquisition, kStartMode) <= 0) {
        utility_->Stop();
        return StartResult::StartRefused;
    }

    analysis_.spectrumAverageCount = 1;
    running_ = true;
    return StartResult::Started;
}

void AcquisitionEngine::halt() {
    running_ = false;
    if (utility_) utility_->Stop();
}

void AcquisitionEngine::refreshBoardParameters() {
    if (device_) device_->Control(kControlRead, &boardParameters_, 0);

    const BoardParameters& board = boardParameters_;
    channelCount_ = static_cast<int32_t>(std::clamp<uint32_t>(board.channelCount, 1, kChannelRecordCount));
    const bool paired = (board.acquisition.modeBits & kPairedModeBit) != 0;
    auto takeChannel = [&](int32_t k, uint32_t channelWord, int32_t gain) {
        ChannelRecord& channel = channels_[k];
        channel.channelNumber = static_cast<int32_t>(channelWord & 0x3F);
        channel.gain = gain;
        channel.clearMeasurements();
        channelShown_[k] = board.channels[k].shown;
        channelColour_[k] = board.channels[k].colour;
    };
    if (paired) {
        const int32_t pairs = static_cast<int32_t>(std::min<uint32_t>(board.acquisition.pairCount, kMaxPairs));
        for (int32_t i = 0; i < pairs; ++i) {
            const uint32_t gains = board.gainWords[i];
            takeChannel(2 * i, board.channelWords[i], static_cast<int32_t>(gains & 0xFFFF));
            takeChannel(2 * i + 1, board.channelWords[i], static_cast<int32_t>(gains >> 16));
        }
    } else {
        for (int32_t k = 0; k < channelCount_; ++k) {
            takeChannel(k, board.channelWords[k], static_cast<int32_t>(board.gainWords[k] & 0xFFFFFF));
        }
    }

    aggregateRate_ = board.acquisition.aggregateRate;
    int32_t divisor = paired ? channelCount_ / 2 : channelCount_;
    if (divisor < 1) divisor = 1;
    channelRate_ = aggregateRate_ / divisor;
}

void AcquisitionEngine::writeBoardParameters() {
    if (device_) device_->Control(kControlWrite, &boardParameters_, 0);
}

void AcquisitionEngine::refreshChannelList() {
    if (!device_) return;
    ChannelList list = listHeader();
    if (device_->Control(kControlRead, &list, 0) > 0) {
        applyChannelList(static_cast<int32_t>(list.count), list.entries);
    }
    device_->Control(kControlApplyList, &list, 0);
}

void AcquisitionEngine::applyChannelList(int32_t count, const uint32_t* entries) {
    if (!entries) return;
    const int32_t n = std::clamp(count, 0, kMaxListEntries);
    for (int32_t k = 0; k < n; ++k) {
        channelShown_[k] = static_cast<int32_t>(entries[k] >> 24);
        channelColour_[k] = entries[k] & 0xFFFFFF;
    }
}

void AcquisitionEngine::releaseWindows() {
    for (ChannelRecord& channel : channels_) channel.releaseBuffers();
}

bool AcquisitionEngine::allocateBuffers() {
    const int32_t length = windowLength_;
    bool complete = true;
    for (ChannelRecord& channel : channels_) {
        if (!channel.allocateBuffers(length)) complete = false;
    }
    // A failed window record is not reported: the spectrum pass then skips.
    analysis_.prepare(length, request_.windowId);
    if (!complete) {
        // When not every window fits, no channel keeps one: the windows that
        // did fit would leave a 32-bit process at the end of its address
        // space. The run goes on without windows.
        releaseWindows();
    }
    return complete;
}

void AcquisitionEngine::distributeBlock(const int16_t* block, int32_t length) {
    if (!block) return;
    const int32_t count = channelCount_;
    auto slide = [&](int c) {
        const int32_t gain = channels_[c].gain > 0 ? channels_[c].gain : 1;
        appendSamples(channels_[c], block + c, length, count, voltsPerCount_ / gain);
    };
    forEachChannel(workers_, count, slide);
    filledCount_ = static_cast<int32_t>(std::min<int64_t>(int64_t(filledCount_) + length, windowLength_));
}

TickResult AcquisitionEngine::tick() {
    TickResult result;
    if (!running_ || !utility_) return result;
    int32_t status = 0;
    utility_->Property(kUtilityPropertyStatus, &status);
    int32_t pending = 0;
    utility_->Property(kUtilityPropertyReadyBlocks, &pending);
    result.pending = pending;
    if (pending > maxPendingBlocks_) {
        result.kind = TickResult::Kind::TooManyPending;
        return result;
    }
    int32_t connected = 1;
    utility_->Property(kUtilityPropertyConnected, &connected);
    if (connected <= 0) {
        result.kind = TickResult::Kind::Disconnected;
        return result;
    }
    if (device_) {
        ChannelList list = listHeader();
        if (device_->Control(kControlRead, &list, 0) > 0) {
            applyChannelList(static_cast<int32_t>(list.count), list.entries);
        }
    }

    for (int32_t i = 0; i < request_.displayBlocks; ++i) {
        const int16_t* block = nullptr;
        int32_t auxiliary = 0;
        if (utility_->GetBlock(&block, &auxiliary) < 1) break;
        distributeBlock(block, blockLength_);
        ++result.taken;
        const TakenBlock taken{channels_, channelCount_, channelRate_, blockLength_, block, voltsPerCount_};
        for (BlockSubscriber* subscriber : subscribers_) {
            if (subscriber->takeBlock(taken)) continue;
            // The block is not given back: the stop ends the run.
            result.kind = TickResult::Kind::SubscriberFailed;
            result.subscriber = subscriber;
            return result;
        }
        utility_->ReleaseBlock();
    }

    if (result.taken > 0) {
        // Channels without a window take part in nothing.
        const int32_t averageCounter = request_.averageCounter;
        auto measure = [&](int c) { updateBlockStatistics(channels_[c], averageCounter); };
        forEachChannel(workers_, channelCount_, measure);
        int32_t measured[kChannelRecordCount] = {};
        for (int32_t c = 0; c < channelCount_; ++c) measured[c] = channels_[c].hasBuffers() ? channelShown_[c] : 0;
        analysis_.updateScopeExtremes(channels_, measured, channelCount_);
    }
    return result;
}
