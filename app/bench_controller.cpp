#include "app/bench_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/fft_window.h"
#include "analysis/results_list.h"
#include "display/channel_colours.h"
#include "platform/text_cp1251.h"

namespace {

const char* startupErrorFormat(StartupError error) {
    switch (error) {
    case StartupError::NoComponent:
        return "Ошибка... \n Нет нужной библиотеки - %s.dll.";
    case StartupError::NoPlotComponent:
        return "Ошибка... \n Нет нужной библиотеки - PellumE.dll.";
    case StartupError::BadBase:
        return "Ошибка... \n Очень плохие параметры в файле Quorvel.cfg!";
    case StartupError::OpenFailed:
        return "Ошибка... \n Нет нужного драйвера или не верно заданы параметры платы!";
    case StartupError::NoDevice:
        return "Ошибка... \n Нет нужного драйвера!";
    case StartupError::NotSupported:
        return "Ошибка... \n Устройство не поддерживается программой!";
    case StartupError::None:
        break;
    }
    return "";
}

template <typename Interface>
void release(Interface*& object) {
    if (object) object->Release();
    object = nullptr;
}

}  // namespace

void formatStartupError(char (&text)[256], StartupError error, const char* name) {
    const std::string format = utf8ToCp1251(startupErrorFormat(error));
    // Only the NoComponent text has a conversion; snprintf cuts a long name.
    std::snprintf(text, sizeof text, format.c_str(), name ? name : "");
}

BenchController::BenchController(RecordStorage& storage)
    : engine(analysis), recorder(storage), painter(workers), resultsLines_(std::make_unique<ResultsLines>()) {
    presetConstructorDefaults(settings);
    PlotStyle style{};
    for (int k = 0; k < kChannelRecordCount; ++k) style.channelColour[k] = presetChannelColour(k);
    painter.setStyle(style);
    analysis.setWorkers(&workers);
    engine.setWorkers(&workers);
    engine.subscribe(&recorder);
    painter.allocateScratch(engine.windowLength());
}

BenchController::~BenchController() = default;

StartupError BenchController::fail(StartupServices& services, StartupError error, const char* name) {
    char text[256];
    formatStartupError(text, error, name);
    services.showStartupError(text);
    return error;
}

IPellumE* BenchController::loadPlot(StartupServices& services, ComponentHandle& handle, const char* name) {
    void* factory =
        services.LoadComponent(handle, kComponentMaker, kLibraryGroup, kComponentVersion, name, kFactoryExportName);
    return static_cast<IPellumE*>(createComponentInterface(factory, "IPellumE"));
}

StartupError BenchController::start(StartupServices& services) {
    presetDefaults(settings, services.systemColours());
    std::memset(&viewState, 0, sizeof viewState);
    writeDefaultConfig(kConfigFileName);
    loadConfig(settings, kConfigFileName);
    recorder.setFile(settings.fileName, settings.fileAutoIncrement);
    painter.setStyle(settings.plotStyle);

    // The driver is loaded only to prove that it is installed.
    ComponentHandle driverHandle;
    void* factory = services.LoadComponent(driverHandle, kComponentMaker, kDriverGroup, kComponentVersion,
                                           settings.deviceName, kFactoryExportName);
    auto* driver = static_cast<IADCDevice*>(createComponentInterface(factory, "IADCDevice"));
    if (!driver) return fail(services, StartupError::NoComponent, settings.deviceName);
    driver->Release();

    // One holder serves both attempts, so a failed extended component is
    // unloaded before the plain one is tried.
    ComponentHandle mainPlotHandle;
    IPellumE* main = nullptr;
    if (settings.boardFlags & kUsePellumEx1) {
        main = loadPlot(services, mainPlotHandle, kExtendedPlotComponent);
    }
    if (!main) main = loadPlot(services, mainPlotHandle, kPlotComponent);
    if (!main) return fail(services, StartupError::NoPlotComponent);

    // Without a second instance the program runs without the top plot.
    ComponentHandle topPlotHandle;
    painter.attach(main, loadPlot(services, topPlotHandle, kPlotComponent));

    if (settings.base == 0) return fail(services, StartupError::BadBase);

    ComponentHandle utilityHandle;
    factory = services.LoadComponent(utilityHandle, kComponentMaker, kLibraryGroup, kComponentVersion,
                                     settings.utilityName, kFactoryExportName);
    utility = static_cast<IADCUtility*>(createComponentInterface(factory, "IADCUtility"));
    if (!utility) return fail(services, StartupError::NoComponent, settings.utilityName);

    if (utility->Open(settings.deviceName, settings.base, 0, 1024) < 1) {
        release(utility);
        return fail(services, StartupError::OpenFailed);
    }
    if (utility->Property(kUtilityPropertyDevice, &device) < 1 || !device) {
        device = nullptr;
        release(utility);
        return fail(services, StartupError::NoDevice);
    }
    device->AddRef();

    if (!boardIsSupported()) {
        release(device);
        release(utility);
        return fail(services, StartupError::NotSupported);
    }
    applyFullScale();
    engine.attachBoard(utility, device, voltsPerCount);
    loadViewState(viewState, kViewStateFileName, settings.sizeCount);
    return StartupError::None;
}

bool BenchController::boardIsSupported() {
    uint32_t status = 0;
    if (device->GetProperty(kDevicePropertyStatus, &status) == 0 || !(status & 1)) return false;

    const BoardCapabilities* capabilities = nullptr;
    device->GetProperty(kDevicePropertyCapabilities, &capabilities);
    if (capabilities && (capabilities->word1 & kCapabilityWord1Mask) == kCapabilityWord1Mask &&
        (capabilities->word2 & kCapabilityWord2Bit) &&
        (capabilities->word2 & kCapabilityWord2Mask) == kCapabilityWord2Mask) {
        settings.boardFlags |= kBoardCapable;
    }
    return (settings.boardFlags & kBoardCapable) != 0;
}

void BenchController::applyFullScale() {
    // A full scale that is missing, not finite or not above 0 counts as 1 V.
    float fullScale = 0.0f;
    if (device->GetProperty(kDevicePropertyFullScale, &fullScale) == 0 || !(fullScale > 0.0f) ||
        !std::isfinite(fullScale)) {
        fullScale = 1.0f;
    }
    voltsPerCount = fullScale / 32768.0;
    boundFftScale(settings, fullScale);
}

void BenchController::releaseComponents() {
    engine.attachBoard(nullptr, nullptr, voltsPerCount);
    IPellumE* main = painter.mainPlot();
    IPellumE* top = painter.topPlot();
    painter.attach(nullptr, nullptr);
    release(main);
    release(top);
    release(device);
    release(utility);
}

// ---- The main dialog's portable operations ----------------------------------

namespace {

constexpr const char* kViewModeTexts[kViewModeCount] = {"  Oscilloscope", "  Spectre FFT V", "  Spectre FFT dB0",
                                                        "  Spectre FFT dB"};

// The lists' selections are read as signed 16-bit numbers.
int32_t selection16(int32_t selection) { return static_cast<int16_t>(selection); }

}  // namespace

void BenchController::bindView(BenchView* view) { view_ = view; }

void BenchController::show(const char* utf8Format, ...) {
    if (!view_) return;
    const std::string format = utf8ToCp1251(utf8Format);
    char text[256];
    va_list arguments;
    va_start(arguments, utf8Format);
    std::vsnprintf(text, sizeof text, format.c_str(), arguments);
    va_end(arguments);
    view_->showError(text);
}

void BenchController::onDialogReady(void* window) {
    fillControls();
    painter.passStyle(window);
    if (view_) {
        view_->showDown(BenchControl::Record, false);
        view_->showDown(BenchControl::Start, false);
    }
    updateControlStates(true);
    engine.writeBoardParameters();
}

void BenchController::onRefreshChannels() { engine.refreshChannelList(); }

void BenchController::buildRecordName() {
    if (recorder.fileNumber() != 0) recorder.buildRecordName();
}

void BenchController::showDiskSpace() {
    if (view_) view_->showDiskTexts(recorder.diskTexts());
}

void BenchController::onPaint() {
    redrawPlots(false);
    showDiskSpace();
}

void BenchController::onRecordButton(int32_t notification) {
    if (!view_) return;
    if (notification != 0) view_->showDown(BenchControl::Record, !view_->isDown(BenchControl::Record));
    recorder.setRecording(view_->isDown(BenchControl::Record));
    updateControlStates(!view_->isDown(BenchControl::Start));
    readControls();
    refreshBoardParameters();
}

void BenchController::onChooseFile() {
    if (!view_) return;
    std::string chosen;
    const bool confirmed = view_->chooseRecordFile(recorder.fileName(), chosen);
    onRecordFileChosen(confirmed ? chosen.c_str() : nullptr);
}

void BenchController::onRecordFileChosen(const char* chosenPath) {
    recorder.chooseFile(chosenPath);
    readControls();
    refreshBoardParameters();
}

// ---- Acquisition ----------------------------------------------------------------

namespace {

constexpr char kNoMemory[] = "Ошибка... \n Не хватает памяти для работы программы!";
constexpr char kBadBlockSize[] = "Ошибка... \n Не верно заданы параметры платы!";
constexpr char kDisconnectedAtStart[] = "Устройство (%s) отключено!\n Программа будет завершена!";
constexpr char kStartFailed[] = "Ошибка... \n Не верные параметры сбора данных.";
constexpr char kTooManyPending[] =
    "Ошибка... \n Слишком медленная скорость записи на диск! \n Имеется не записанных блоков - %d.";
constexpr char kDisconnectedInTick[] = "Устройство (%s) неожиданно отключилось!\n Программа будет завершена!";

// A tick count of 0 means idle, so a running bench never stores it.
uint32_t nonZero(uint32_t tick) { return tick ? tick : 1; }

}  // namespace

void BenchController::startAcquisition(int32_t notification) {
    if (!view_) return;
    if (notification != 0) view_->showDown(BenchControl::Start, !view_->isDown(BenchControl::Start));
    if (!view_->isDown(BenchControl::Start)) {
        stopAcquisition();
        return;
    }
    if (!engine.hasBoard()) return;

    readControls();
    refreshBoardParameters();

    // A Size list without a selection keeps the window length of the last start.
    const int32_t sizeIndex = viewState.sizeIndex;
    const bool sized = sizeIndex >= 0 && sizeIndex < settings.sizeCount && sizeIndex < kMaxSizes;
    const StartRequest request{sized ? settings.sizeArray[sizeIndex] : 0,
                               viewState.fftWnd,
                               settings.displayTime,
                               settings.displayBlocks,
                               settings.maxUsedMemory,
                               settings.averageCounter};
    engine.configure(request);

    haltAcquisition();
    // All or nothing: the engine gives its windows back when one of them
    // failed, and here when the plot scratch, allocated last, failed.
    bool complete = engine.allocateBuffers();
    if (!painter.allocateScratch(engine.windowLength())) {
        engine.releaseWindows();
        complete = false;
    }
    if (!complete) show(kNoMemory);

    switch (engine.startBoard()) {
    case StartResult::BadBlockSize:
        show(kBadBlockSize);
        return;
    case StartResult::Disconnected:
        show(kDisconnectedAtStart, settings.deviceName);
        view_->close();
        return;
    case StartResult::StartRefused:
        updateControlStates(true);
        show(kStartFailed);
        return;
    case StartResult::Started:
        break;
    }
    updateControlStates(false);
    lastUpdateTick_ = nonZero(view_->tickCount());
    view_->armTimer(static_cast<uint32_t>(settings.displayTime));
}

void BenchController::haltAcquisition() {
    if (view_) view_->killTimer();
    lastUpdateTick_ = 0;
    engine.halt();
    haltRecording();
}

void BenchController::stopAcquisition() {
    haltAcquisition();
    if (!view_) return;
    readControls();
    view_->showDown(BenchControl::Record, false);
    view_->showDown(BenchControl::Start, false);
    refreshBoardParameters();
    updateControlStates(true);
    engine.refreshChannelList();
}

void BenchController::onClosing() { stopAcquisition(); }

void BenchController::onClosed() {
    saveViewState(viewState, kViewStateFileName);
    bindView(nullptr);
    releaseComponents();
}

void BenchController::autoScaleRule() {
    if (view_) view_->enable(BenchControl::AutoScale, !isDecibelView(viewState.displayMode));
}

void BenchController::refreshBoardParameters() {
    autoScaleRule();
    engine.refreshBoardParameters();
    if (view_) view_->enable(BenchControl::Start, true);
    buildRecordName();
}

void BenchController::onAcquisitionTimer() {
    if (!view_) return;
    view_->killTimer();
    // A timer message that was already queued when the run stopped, or one
    // dispatched by a message box shown inside this tick, finds the bench
    // idle or busy: it does nothing and arms nothing.
    if (!engine.running() || inTick_) return;
    if (!engine.hasBoard()) return;
    inTick_ = true;
    const bool rearm = tick();
    inTick_ = false;
    if (rearm) view_->armTimer(static_cast<uint32_t>(settings.displayTime));
}

bool BenchController::tick() {
    const TickResult result = engine.tick();
    switch (result.kind) {
    case TickResult::Kind::TooManyPending:
        stopAcquisition();
        show(kTooManyPending, result.pending);
        return false;
    case TickResult::Kind::Disconnected:
        stopAcquisition();
        show(kDisconnectedInTick, settings.deviceName);
        view_->close();
        return false;
    case TickResult::Kind::SubscriberFailed:
        if (result.subscriber == &recorder) show(recordFailureMessage(recorder.failure()));
        stopAcquisition();
        return false;
    case TickResult::Kind::Running:
        break;
    }
    if (result.taken > 0) {
        redrawWithAnalysis();
        showDiskSpace();
        lastUpdateTick_ = nonZero(view_->tickCount());
    }
    return true;
}

void BenchController::updateControlStates(bool idle) {
    if (!view_) return;
    view_->enable(BenchControl::Size, idle);
    view_->enable(BenchControl::ChooseFile, !isRecording());
    view_->enable(BenchControl::Record, !idle);
    view_->enable(BenchControl::ViewMode, true);
    view_->enable(BenchControl::Start, !idle || engine.channelCount() != 0);
}

void BenchController::onViewModeClosed() {
    if (!view_) return;
    readControls();
    updateControlStates(!view_->isDown(BenchControl::Start));
    autoScaleRule();
    view_->redrawLater();
}

void BenchController::onAveragingClosed() {
    if (!view_) return;
    readControls();
    analysis.spectrumAverageCount = 1;
    view_->redrawLater();
}

void BenchController::onWindowClosed() {
    if (!view_) return;
    readControls();
    analysis.spectrumAverageCount = 1;
    analysis.fftWindow.computeWindow(viewState.fftWnd);
    view_->redrawLater();
}

void BenchController::fillControls() {
    if (!view_) return;
    BenchView& v = *view_;
    char text[256];
    std::vector<std::string> texts;

    const int32_t mode = std::clamp(static_cast<int32_t>(viewState.displayMode), 0, kViewModeCount - 1);
    viewState.displayMode = static_cast<ViewMode>(mode);
    v.fillList(BenchControl::ViewMode, {std::begin(kViewModeTexts), std::end(kViewModeTexts)}, mode);

    if (viewState.autoScale) v.showDown(BenchControl::AutoScale, true);

    for (int32_t i = 0; i < settings.sizeCount && i < kMaxSizes; ++i) {
        formatSizeText(text, settings.sizeArray[i]);
        texts.emplace_back(text);
    }
    v.fillList(BenchControl::Size, texts, viewState.sizeIndex);

    texts.clear();
    for (int32_t count = 1; count <= kAvgListLength; ++count) {
        std::snprintf(text, sizeof text, " %2d", count);
        texts.emplace_back(text);
    }
    v.fillList(BenchControl::Averaging, texts, viewState.fftAvg);

    v.fillList(BenchControl::Window, {std::begin(kFftWindowNames), std::end(kFftWindowNames)}, viewState.fftWnd);

    refreshBoardParameters();
    readControls();
}

void BenchController::readControls() {
    if (!view_) return;
    const BenchChoices choices = view_->readChoices();
    viewState.sizeIndex = selection16(choices.size);
    viewState.displayMode = static_cast<ViewMode>(selection16(choices.view));
    viewState.autoScale = choices.autoScale ? 1 : 0;
    viewState.fftAvg = selection16(choices.averaging);
    viewState.fftWnd = selection16(choices.window);
    painter.showViewKind(viewState.displayMode);
}

void BenchController::onAutoScale() {
    readControls();
    redrawPlots(false);
}

void BenchController::onListEvent(BenchControl list, ListEvent event) {
    if (event != ListEvent::ClosedUp) return;
    switch (list) {
    case BenchControl::ViewMode:
        onViewModeClosed();
        break;
    case BenchControl::Averaging:
        onAveragingClosed();
        break;
    case BenchControl::Window:
        onWindowClosed();
        break;
    default:
        break;
    }
}

int32_t packPlotPoint(PlotPoint point, const PlotRect& client) {
    if (point.x < client.left || point.x >= client.right || point.y < client.top || point.y >= client.bottom)
        return kPlotPointOutside;
    if (point.x < 0 || point.y < 0 || point.x > 0x7FFF || point.y > 0x7FFF) return kPlotPointOutside;
    return packPlotXY(point.x, point.y);
}

bool redrawsMoveAt(uint32_t now, uint32_t lastUpdateTick) {
    constexpr uint32_t kCloseToTickMs = 10;
    return lastUpdateTick == 0 || now - lastUpdateTick <= kCloseToTickMs;
}

bool BenchController::onPlotButton(int32_t button, int32_t kind) {
    if (!view_) return false;
    PlotPoint pointer{};
    PlotRect client{};
    if (!view_->pointerInMainPlot(&pointer, &client)) return false;
    const int32_t point = packPlotPoint(pointer, client);
    if (point < 0) return false;
    if (painter.mainPlot()) {
        painter.pressMain(client, button, point, kind);
        plotPointerInside_ = true;
    }
    redrawPlots(false);
    return true;
}

void BenchController::onPlotMove(int32_t keys) {
    if (!view_ || !painter.mainPlot()) return;
    PlotPoint pointer{};
    PlotRect client{};
    if (!view_->pointerInMainPlot(&pointer, &client)) return;
    const int32_t point = packPlotPoint(pointer, client);
    if (point < 0 && !plotPointerInside_) return;
    passPlotMove(client, keys, point);
}

void BenchController::onPlotButtonUp(int32_t keys, bool cancelled) {
    if (!view_ || !painter.mainPlot()) return;
    PlotPoint pointer{};
    PlotRect client{};
    if (!view_->pointerInMainPlot(&pointer, &client)) return;
    passPlotMove(client, keys, cancelled ? kPlotPointOutside : packPlotPoint(pointer, client));
}

void BenchController::onPlotLeave() {
    if (!view_ || !painter.mainPlot() || !plotPointerInside_) return;
    PlotPoint pointer{};
    PlotRect client{};
    if (!view_->pointerInMainPlot(&pointer, &client)) return;
    passPlotMove(client, 0, kPlotPointOutside);
}

void BenchController::passPlotMove(const PlotRect& client, int32_t keys, int32_t point) {
    plotPointerInside_ = point >= 0;
    if (!painter.moveMain(client, keys, point)) return;
    if (redrawsMoveAt(view_->tickCount(), lastUpdateTick_)) redrawPlots(false);
}

PlotChannels BenchController::plotChannels() const {
    return {engine.channels(),       engine.activeChannelCount(), engine.channelShown(),
            engine.channelColours(), engine.windowLength(),       engine.channelRate()};
}

void BenchController::redrawPlots(bool withAnalysis) {
    if (!view_) return;
    painter.drawTop(*view_, plotChannels(), settings.oscScale);
    drawMainPlot(withAnalysis);
    if (withAnalysis) rebuildResultsList();
}

void BenchController::drawMainPlot(bool withAnalysis) {
    if (!painter.mainPlot()) return;
    const int32_t length = engine.windowLength();
    const ViewMode view = viewState.displayMode;
    if (withAnalysis && length != 0 && isSpectrumView(view) && engine.filledCount() >= length) {
        const SpectrumPassInput input{
            length,           engine.filledCount(), engine.activeChannelCount(), view,
            viewState.fftAvg, viewState.fftWnd,     engine.channelRate(),        engine.channelColours()};
        analysis.runSpectrumPass(engine.measuredChannels(), input);
    }
    const PlotScales scales{view,
                            viewState.autoScale != 0,
                            settings.fftScaleV,
                            settings.fftScaleDb,
                            settings.oscScale,
                            analysis.fftWindow.enbw,
                            analysis.scopeMin,
                            analysis.scopeMax};
    painter.drawMain(*view_, plotChannels(), scales);
}

void BenchController::rebuildResultsList() {
    if (!view_) return;
    // Channels without a window are left out.
    const ChannelRecord* channels = engine.channels();
    int32_t listed[kChannelRecordCount] = {};
    for (int32_t i = 0; i < kChannelRecordCount; ++i) {
        listed[i] = channels[i].hasBuffers() ? engine.channelShown()[i] : 0;
    }
    buildResultsLines(channels, listed, engine.activeChannelCount(), viewState.displayMode, *resultsLines_);
    view_->showResults(*resultsLines_);
}
