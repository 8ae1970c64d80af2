#include "acquisition/engine.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/page_memory.h"
#include "platform/text_cp1251.h"
#include "resources/resource.h"

namespace {

constexpr int32_t kMinBlockLength = 256;
constexpr int32_t kMinPendingBlocks = 1000;
constexpr int32_t kMaxListEntries = 31;
constexpr int32_t kMaxPairs = kChannelRecordCount / 2;
constexpr uint32_t kPairedModeBit = 1u << 4;
constexpr uint32_t kStartFlagRun = 1u << 1;
constexpr int32_t kStartMode = 2;

constexpr char kNoMemory[] = "Ошибка... \n Не хватает памяти для работы программы!";
constexpr char kBadBlockSize[] = "Ошибка... \n Не верно заданы параметры платы!";
constexpr char kDisconnectedAtStart[] = "Устройство (%s) отключено!\n Программа будет завершена!";
constexpr char kStartFailed[] = "Ошибка... \n Не верные параметры сбора данных.";
constexpr char kTooManyPending[] =
    "Ошибка... \n Слишком медленная скорость записи на диск! \n Имеется не записанных блоков - %d.";
constexpr char kDisconnectedInTick[] =
    "Устройство (%s) неожиданно отключилось!\n Программа будет завершена!";

ChannelList listHeader() {
    ChannelList list{};
    list.type = kChannelListType;
    list.size = sizeof(ChannelList);
    return list;
}

// A tick count of 0 means idle, so a running engine never stores it.
uint32_t nonZero(uint32_t tick) { return tick ? tick : 1; }

}  // namespace

int32_t nextPowerOfTwo(int64_t v) {
    int32_t e = 0;
    while (e < 62 && (int64_t(1) << e) < v) ++e;
    return e;
}

int32_t blockLengthFor(int32_t displayTimeMs, double channelRate, int32_t windowLength) {
    const double samples = displayTimeMs * channelRate * 0.001 + 0.5;
    int64_t d;
    if (!(samples >= kMinBlockLength)) d = kMinBlockLength;     // also not-a-number
    else if (samples > windowLength) d = windowLength;
    else d = static_cast<int64_t>(samples);
    return int32_t(1) << std::min(nextPowerOfTwo(d), 30);
}

int32_t maxPendingBlocksFor(int32_t maxUsedMemory, int32_t blockLength, int32_t channelCount) {
    const int64_t blockSamples = int64_t(blockLength) * channelCount;
    const int64_t blocks = blockSamples > 0 ? maxUsedMemory / blockSamples : 0;
    return static_cast<int32_t>(std::clamp<int64_t>(blocks, kMinPendingBlocks, INT32_MAX));
}

bool appendSamples(ChannelRecord& record, const int16_t* first, int32_t count, int32_t stride,
                   double scale) {
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
        std::memmove(record.sampleStore, record.samples + taken,
                     static_cast<size_t>(length - taken) * sizeof(double));
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

AcquisitionEngine::AcquisitionEngine(const Settings& settings, const ViewState& viewState,
                                     SignalAnalyser& analysis, uint32_t* channelColour)
    : boardParameters(emptyBoardParameters()),
      channelColour(channelColour),
      settings_(settings),
      viewState_(viewState),
      analysis_(analysis) {
    allocateBuffers();
}

AcquisitionEngine::~AcquisitionEngine() { releasePlotScratch(); }

void AcquisitionEngine::attachBoard(IADCUtility* utility, IADCDevice* device, double voltsPerCount) {
    utility_ = utility;
    device_ = device;
    voltsPerCount_ = voltsPerCount;
}

void AcquisitionEngine::bind(DialogServices* dialog, EngineClient* client) {
    dialog_ = dialog;
    client_ = client;
}

void AcquisitionEngine::show(const char* utf8Format, ...) {
    if (!dialog_) return;
    const std::string format = utf8ToCp1251(utf8Format);
    char text[256];
    va_list arguments;
    va_start(arguments, utf8Format);
    std::vsnprintf(text, sizeof text, format.c_str(), arguments);
    va_end(arguments);
    dialog_->showError(text);
}

void AcquisitionEngine::startAcquisition(int32_t notification) {
    if (!dialog_ || !client_) return;
    if (notification != 0) dialog_->setChecked(IDC_START_STOP, !dialog_->isChecked(IDC_START_STOP));
    if (!dialog_->isChecked(IDC_START_STOP)) {
        stopAcquisition();
        return;
    }
    if (!utility_) return;

    channelCount = 0;
    client_->readControls();
    refreshBoardParameters();

    // A Size list without a selection keeps the window length of the last start.
    const int32_t sizeIndex = viewState_.sizeIndex;
    if (sizeIndex >= 0 && sizeIndex < settings_.sizeCount && sizeIndex < kMaxSizes) {
        windowLength = int32_t(1) << std::min(nextPowerOfTwo(settings_.sizeArray[sizeIndex]), 30);
    }
    filledCount = 0;
    blockLength = blockLengthFor(settings_.displayTime, channelRate, windowLength);
    maxPendingBlocks = maxPendingBlocksFor(settings_.maxUsedMemory, blockLength, channelCount);

    haltAcquisition();
    allocateBuffers();

    // Samples per block over all channels; a count that does not fit the
    // board's 32-bit value counts as refused.
    const int64_t blockSamples = int64_t(blockLength) * channelCount;
    int32_t value = static_cast<int32_t>(blockSamples);
    if (blockSamples > INT32_MAX || utility_->Property(kUtilityPropertyBlockSize, &value) <= 0) {
        show(kBadBlockSize);
        return;
    }
    int32_t connected = 1;
    utility_->Property(kUtilityPropertyConnected, &connected);
    if (connected <= 0) {
        show(kDisconnectedAtStart, settings_.deviceName);
        dialog_->destroyWindow();
        return;
    }

    activeChannelCount = channelCount;
    updateControlStates(false);

    ChannelList header = listHeader();
    if (device_) device_->Control(kControlStartList, &header, 0);
    utility_->Property(kUtilityPropertyReset, nullptr);

    AcquisitionParameters& acquisition = boardParameters.acquisition;
    acquisition.aggregateRate = aggregateRate;
    acquisition.reserved36 = 0;
    acquisition.startFlags |= kStartFlagRun;
    acquisition.reserved12 = 0;
    acquisition.reserved24 = 0;
    acquisition.reserved40 = 0;
    acquisition.reserved16 = 1;
    if (utility_->Start(&acquisition, kStartMode) <= 0) {
        utility_->Stop();
        updateControlStates(true);
        show(kStartFailed);
        return;
    }

    analysis_.spectrumAverageCount = 1;
    lastUpdateTick = nonZero(dialog_->tickCount());
    dialog_->armTimer(static_cast<uint32_t>(settings_.displayTime));
}

void AcquisitionEngine::haltAcquisition() {
    if (dialog_) dialog_->killTimer();
    lastUpdateTick = 0;
    if (utility_) utility_->Stop();
    if (client_) client_->haltRecording();
}

void AcquisitionEngine::stopAcquisition() {
    haltAcquisition();
    if (!dialog_ || !client_) return;
    client_->readControls();
    dialog_->setChecked(IDC_RECORD, false);
    dialog_->setChecked(IDC_START_STOP, false);
    refreshBoardParameters();
    updateControlStates(true);
    refreshChannelList();
}

void AcquisitionEngine::autoScaleRule() {
    if (dialog_) dialog_->enableControl(IDC_AUTO_SCALE, !isDecibelView(viewState_.displayMode));
}

bool AcquisitionEngine::refreshBoardParameters() {
    autoScaleRule();
    if (device_) device_->Control(kControlRead, &boardParameters, 0);

    const BoardParameters& board = boardParameters;
    channelCount = static_cast<int32_t>(std::clamp<uint32_t>(board.channelCount, 1, kChannelRecordCount));
    const bool paired = (board.acquisition.modeBits & kPairedModeBit) != 0;
    auto takeChannel = [&](int32_t k, uint32_t channelWord, int32_t gain) {
        ChannelRecord& channel = channels[k];
        channel.channelNumber = static_cast<int32_t>(channelWord & 0x3F);
        channel.gain = gain;
        channel.clearMeasurements();
        channelShown[k] = board.channels[k].shown;
        channelColour[k] = board.channels[k].colour;
    };
    if (paired) {
        const int32_t pairs = static_cast<int32_t>(std::min<uint32_t>(board.acquisition.pairCount, kMaxPairs));
        for (int32_t i = 0; i < pairs; ++i) {
            const uint32_t gains = board.gainWords[i];
            takeChannel(2 * i, board.channelWords[i], static_cast<int32_t>(gains & 0xFFFF));
            takeChannel(2 * i + 1, board.channelWords[i], static_cast<int32_t>(gains >> 16));
        }
    } else {
        for (int32_t k = 0; k < channelCount; ++k) {
            takeChannel(k, board.channelWords[k], static_cast<int32_t>(board.gainWords[k] & 0xFFFFFF));
        }
    }
    if (dialog_) dialog_->enableControl(IDC_START_STOP, true);

    aggregateRate = board.acquisition.aggregateRate;
    int32_t divisor = paired ? channelCount / 2 : channelCount;
    if (divisor < 1) divisor = 1;
    channelRate = aggregateRate / divisor;

    if (settings_.fileAutoIncrement != 0 && client_) client_->buildRecordName();
    return true;
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
        channelShown[k] = static_cast<int32_t>(entries[k] >> 24);
        channelColour[k] = entries[k] & 0xFFFFFF;
    }
}

void AcquisitionEngine::releasePlotScratch() {
    releasePages(plotScratch, static_cast<size_t>(plotScratchLength) * sizeof(float));
    plotScratch = nullptr;
    plotScratchLength = 0;
}

bool AcquisitionEngine::allocateBuffers() {
    const int32_t length = windowLength;
    bool complete = true;
    for (ChannelRecord& channel : channels) {
        if (!channel.allocateBuffers(length)) complete = false;
    }

    // A failed window record is not reported: the spectrum pass then skips.
    FftWindow& window = analysis_.fftWindow;
    window.resize(int64_t(1) << nextPowerOfTwo(length));
    window.computeWindow(viewState_.fftWnd);
    window.ditherAmplitude = kDitherAmplitude;

    if (plotScratchLength != length || !plotScratch) {
        releasePlotScratch();
        plotScratch = static_cast<float*>(allocatePages(static_cast<size_t>(length) * sizeof(float)));
        if (plotScratch) plotScratchLength = length;
        else complete = false;
    }
    if (!complete) {
        // When not every buffer fits, no channel keeps a window: some channels
        // shown and others silently missing would mislead, and the windows
        // that did fit would leave a 32-bit process at the end of its address
        // space. The run goes on without windows.
        for (ChannelRecord& channel : channels) channel.releaseBuffers();
        show(kNoMemory);
    }
    return complete;
}

void AcquisitionEngine::distributeBlock(const int16_t* block, int32_t length) {
    if (!block) return;
    const int32_t count = channelCount;
    auto slide = [&](int c) {
        const int32_t gain = channels[c].gain > 0 ? channels[c].gain : 1;
        appendSamples(channels[c], block + c, length, count, voltsPerCount_ / gain);
    };
    forEachChannel(workers_, count, slide);
    filledCount = static_cast<int32_t>(std::min<int64_t>(int64_t(filledCount) + length, windowLength));
}

void AcquisitionEngine::onAcquisitionTimer() {
    if (!dialog_ || !client_) return;
    dialog_->killTimer();
    // A timer message that was already queued when the run stopped, or one
    // dispatched by a message box shown inside this tick, finds the engine
    // idle or busy: it does nothing and arms nothing.
    if (!running() || inTick_) return;
    if (!utility_) return;
    inTick_ = true;
    const bool rearm = tick();
    inTick_ = false;
    if (rearm) dialog_->armTimer(static_cast<uint32_t>(settings_.displayTime));
}

bool AcquisitionEngine::tick() {
    int32_t status = 0;
    utility_->Property(kUtilityPropertyStatus, &status);
    int32_t pending = 0;
    utility_->Property(kUtilityPropertyReadyBlocks, &pending);
    if (pending > maxPendingBlocks) {
        stopAcquisition();
        show(kTooManyPending, pending);
        return false;
    }
    int32_t connected = 1;
    utility_->Property(kUtilityPropertyConnected, &connected);
    if (connected <= 0) {
        stopAcquisition();
        show(kDisconnectedInTick, settings_.deviceName);
        dialog_->destroyWindow();
        return false;
    }
    if (device_) {
        ChannelList list = listHeader();
        if (device_->Control(kControlRead, &list, 0) > 0) {
            applyChannelList(static_cast<int32_t>(list.count), list.entries);
        }
    }

    int32_t taken = 0;
    for (int32_t i = 0; i < settings_.displayBlocks; ++i) {
        const int16_t* block = nullptr;
        int32_t auxiliary = 0;
        if (utility_->GetBlock(&block, &auxiliary) < 1) break;
        distributeBlock(block, blockLength);
        ++taken;
        if (client_->isRecording() && !client_->writeBlock(block, blockLength)) {
            // The block is not given back: the stop ends the run.
            stopAcquisition();
            return false;
        }
        utility_->ReleaseBlock();
    }

    if (taken > 0) {
        // Channels without a window take part in nothing.
        auto measure = [&](int c) { updateBlockStatistics(channels[c], settings_.averageCounter); };
        forEachChannel(workers_, channelCount, measure);
        int32_t measured[kChannelRecordCount] = {};
        for (int32_t c = 0; c < channelCount; ++c) measured[c] = channels[c].hasBuffers() ? channelShown[c] : 0;
        analysis_.updateScopeExtremes(channels, measured, channelCount);
        client_->redrawWithAnalysis();
        client_->showDiskSpace();
        lastUpdateTick = nonZero(dialog_->tickCount());
    }
    return true;
}

void AcquisitionEngine::updateControlStates(bool idle) {
    if (!dialog_) return;
    dialog_->enableControl(IDC_SIZE_LIST, idle);
    dialog_->enableControl(IDC_CHOOSE_FILE, !(client_ && client_->isRecording()));
    dialog_->enableControl(IDC_RECORD, !idle);
    dialog_->enableControl(IDC_VIEW_MODE, true);
    dialog_->enableControl(IDC_START_STOP, !idle || channelCount != 0);
}

void AcquisitionEngine::onViewModeClosed() {
    if (!dialog_ || !client_) return;
    client_->readControls();
    updateControlStates(!dialog_->isChecked(IDC_START_STOP));
    autoScaleRule();
    dialog_->invalidate();
}

void AcquisitionEngine::onAveragingClosed() {
    if (!dialog_ || !client_) return;
    client_->readControls();
    analysis_.spectrumAverageCount = 1;
    dialog_->invalidate();
}

void AcquisitionEngine::onWindowClosed() {
    if (!dialog_ || !client_) return;
    client_->readControls();
    analysis_.spectrumAverageCount = 1;
    analysis_.fftWindow.computeWindow(viewState_.fftWnd);
    dialog_->invalidate();
}
