#include "app/application_core.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "analysis/fft_window.h"
#include "analysis/results_list.h"
#include "display/channel_colours.h"
#include "display/plot_view.h"
#include "platform/page_memory.h"
#include "platform/text_cp1251.h"
#include "resources/resource.h"

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

ApplicationCore::ApplicationCore(RecordStorage& storage)
    : engine(analysis), recorder(storage), resultsLines_(std::make_unique<ResultsLines>()) {
    presetConstructorDefaults(settings);
    for (int k = 0; k < kChannelRecordCount; ++k) plotStyle.channelColour[k] = presetChannelColour(k);
    analysis.setWorkers(&workers);
    engine.setWorkers(&workers);
    engine.subscribe(&recorder);
    allocatePlotScratch(engine.windowLength());
}

ApplicationCore::~ApplicationCore() { releasePlotScratch(); }

StartupError ApplicationCore::fail(StartupServices& services, StartupError error,
                                   const char* name) {
    char text[256];
    formatStartupError(text, error, name);
    services.showStartupError(text);
    return error;
}

IPellumE* ApplicationCore::loadPlot(StartupServices& services, ComponentHandle& handle,
                                    const char* name) {
    void* factory = services.LoadComponent(handle, kComponentMaker, kLibraryGroup,
                                           kComponentVersion, name, kFactoryExportName);
    return static_cast<IPellumE*>(createComponentInterface(factory, "IPellumE"));
}

StartupError ApplicationCore::start(StartupServices& services) {
    presetDefaults(settings, services.systemColours());
    std::memset(&viewState, 0, sizeof viewState);
    writeDefaultConfig(kConfigFileName);
    loadConfig(settings, kConfigFileName);
    recorder.setFile(settings.fileName, settings.fileAutoIncrement);
    plotStyle = settings.plotStyle;

    // The driver is loaded only to prove that it is installed.
    ComponentHandle driverHandle;
    void* factory = services.LoadComponent(driverHandle, kComponentMaker, kDriverGroup,
                                           kComponentVersion, settings.deviceName,
                                           kFactoryExportName);
    auto* driver = static_cast<IADCDevice*>(createComponentInterface(factory, "IADCDevice"));
    if (!driver) return fail(services, StartupError::NoComponent, settings.deviceName);
    driver->Release();

    // One holder serves both attempts, so a failed extended component is
    // unloaded before the plain one is tried.
    ComponentHandle mainPlotHandle;
    if (settings.boardFlags & kUsePellumEx1) {
        mainPlot = loadPlot(services, mainPlotHandle, kExtendedPlotComponent);
    }
    if (!mainPlot) mainPlot = loadPlot(services, mainPlotHandle, kPlotComponent);
    if (!mainPlot) return fail(services, StartupError::NoPlotComponent);

    // Without a second instance the program runs without the top plot.
    ComponentHandle topPlotHandle;
    topPlot = loadPlot(services, topPlotHandle, kPlotComponent);

    if (settings.base == 0) return fail(services, StartupError::BadBase);

    ComponentHandle utilityHandle;
    factory = services.LoadComponent(utilityHandle, kComponentMaker, kLibraryGroup,
                                     kComponentVersion, settings.utilityName,
                                     kFactoryExportName);
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

bool ApplicationCore::boardIsSupported() {
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

void ApplicationCore::applyFullScale() {
    // A full scale that is missing, not finite or not above 0 counts as 1 V.
    float fullScale = 0.0f;
    if (device->GetProperty(kDevicePropertyFullScale, &fullScale) == 0 || !(fullScale > 0.0f) ||
        !std::isfinite(fullScale)) {
        fullScale = 1.0f;
    }
    voltsPerCount = fullScale / 32768.0;
    boundFftScale(settings, fullScale);
}

void ApplicationCore::releaseComponents() {
    engine.attachBoard(nullptr, nullptr, voltsPerCount);
    release(mainPlot);
    release(topPlot);
    release(device);
    release(utility);
}

// ---- The main dialog's portable operations ----------------------------------

namespace {

constexpr const char* kViewModeTexts[kViewModeCount] = {
    "  Oscilloscope", "  Spectre FFT V", "  Spectre FFT dB0", "  Spectre FFT dB"};

// Property 14 of the main plot: which kind of view it shows.
constexpr int32_t kPlotKindSpectrum = 10;
constexpr int32_t kPlotKindScope = 0;

// CBN_CLOSEUP: a combo box's drop-down list closed.
constexpr int32_t kComboClosed = 8;

int32_t selectionOf(DialogServices& dialog, int32_t control) {
    return static_cast<int16_t>(dialog.comboSelection(control));
}

}  // namespace

void ApplicationCore::bindDialog(DialogServices* dialog) { dialog_ = dialog; }

void ApplicationCore::show(const char* utf8Format, ...) {
    if (!dialog_) return;
    const std::string format = utf8ToCp1251(utf8Format);
    char text[256];
    va_list arguments;
    va_start(arguments, utf8Format);
    std::vsnprintf(text, sizeof text, format.c_str(), arguments);
    va_end(arguments);
    dialog_->showError(text);
}

void ApplicationCore::buildRecordName() {
    if (recorder.fileNumber() != 0) recorder.buildRecordName();
}

void ApplicationCore::showDiskSpace() {
    if (!dialog_) return;
    constexpr uint32_t kBlack = 0;
    const DiskTexts texts = recorder.diskTexts();
    dialog_->drawStatusText(IDC_DISK_FREE, texts.freeText, kBlack);
    dialog_->drawStatusText(IDC_RECORDED, texts.savedText, kBlack);
}

void ApplicationCore::onRecordButton(int32_t notification) {
    if (!dialog_) return;
    if (notification != 0) dialog_->setChecked(IDC_RECORD, !dialog_->isChecked(IDC_RECORD));
    recorder.setRecording(dialog_->isChecked(IDC_RECORD));
    updateControlStates(!dialog_->isChecked(IDC_START_STOP));
    readControls();
    refreshBoardParameters();
}

void ApplicationCore::onRecordFileChosen(const char* chosenPath) {
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

void ApplicationCore::startAcquisition(int32_t notification) {
    if (!dialog_) return;
    if (notification != 0) dialog_->setChecked(IDC_START_STOP, !dialog_->isChecked(IDC_START_STOP));
    if (!dialog_->isChecked(IDC_START_STOP)) {
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
    if (!allocatePlotScratch(engine.windowLength())) {
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
        dialog_->destroyWindow();
        return;
    case StartResult::StartRefused:
        updateControlStates(true);
        show(kStartFailed);
        return;
    case StartResult::Started:
        break;
    }
    updateControlStates(false);
    lastUpdateTick_ = nonZero(dialog_->tickCount());
    dialog_->armTimer(static_cast<uint32_t>(settings.displayTime));
}

void ApplicationCore::haltAcquisition() {
    if (dialog_) dialog_->killTimer();
    lastUpdateTick_ = 0;
    engine.halt();
    haltRecording();
}

void ApplicationCore::stopAcquisition() {
    haltAcquisition();
    if (!dialog_) return;
    readControls();
    dialog_->setChecked(IDC_RECORD, false);
    dialog_->setChecked(IDC_START_STOP, false);
    refreshBoardParameters();
    updateControlStates(true);
    engine.refreshChannelList();
}

void ApplicationCore::autoScaleRule() {
    if (dialog_) dialog_->enableControl(IDC_AUTO_SCALE, !isDecibelView(viewState.displayMode));
}

void ApplicationCore::refreshBoardParameters() {
    autoScaleRule();
    engine.refreshBoardParameters();
    if (dialog_) dialog_->enableControl(IDC_START_STOP, true);
    buildRecordName();
}

void ApplicationCore::onAcquisitionTimer() {
    if (!dialog_) return;
    dialog_->killTimer();
    // A timer message that was already queued when the run stopped, or one
    // dispatched by a message box shown inside this tick, finds the bench
    // idle or busy: it does nothing and arms nothing.
    if (!engine.running() || inTick_) return;
    if (!engine.hasBoard()) return;
    inTick_ = true;
    const bool rearm = tick();
    inTick_ = false;
    if (rearm) dialog_->armTimer(static_cast<uint32_t>(settings.displayTime));
}

bool ApplicationCore::tick() {
    const TickResult result = engine.tick();
    switch (result.kind) {
    case TickResult::Kind::TooManyPending:
        stopAcquisition();
        show(kTooManyPending, result.pending);
        return false;
    case TickResult::Kind::Disconnected:
        stopAcquisition();
        show(kDisconnectedInTick, settings.deviceName);
        dialog_->destroyWindow();
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
        lastUpdateTick_ = nonZero(dialog_->tickCount());
    }
    return true;
}

void ApplicationCore::updateControlStates(bool idle) {
    if (!dialog_) return;
    dialog_->enableControl(IDC_SIZE_LIST, idle);
    dialog_->enableControl(IDC_CHOOSE_FILE, !isRecording());
    dialog_->enableControl(IDC_RECORD, !idle);
    dialog_->enableControl(IDC_VIEW_MODE, true);
    dialog_->enableControl(IDC_START_STOP, !idle || engine.channelCount() != 0);
}

void ApplicationCore::onViewModeClosed() {
    if (!dialog_) return;
    readControls();
    updateControlStates(!dialog_->isChecked(IDC_START_STOP));
    autoScaleRule();
    dialog_->invalidate();
}

void ApplicationCore::onAveragingClosed() {
    if (!dialog_) return;
    readControls();
    analysis.spectrumAverageCount = 1;
    dialog_->invalidate();
}

void ApplicationCore::onWindowClosed() {
    if (!dialog_) return;
    readControls();
    analysis.spectrumAverageCount = 1;
    analysis.fftWindow.computeWindow(viewState.fftWnd);
    dialog_->invalidate();
}

void ApplicationCore::releasePlotScratch() {
    releasePages(plotScratch_, static_cast<size_t>(plotScratchLength_) * sizeof(float));
    plotScratch_ = nullptr;
    plotScratchLength_ = 0;
}

bool ApplicationCore::allocatePlotScratch(int32_t length) {
    if (plotScratchLength_ == length && plotScratch_) return true;
    releasePlotScratch();
    plotScratch_ = static_cast<float*>(allocatePages(static_cast<size_t>(length) * sizeof(float)));
    if (!plotScratch_) return false;
    plotScratchLength_ = length;
    return true;
}

void ApplicationCore::fillControls() {
    if (!dialog_) return;
    DialogServices& d = *dialog_;
    char text[256];

    d.clearCombo(IDC_VIEW_MODE);
    for (const char* mode : kViewModeTexts) d.addComboText(IDC_VIEW_MODE, mode);
    const int32_t mode = std::clamp(static_cast<int32_t>(viewState.displayMode), 0, kViewModeCount - 1);
    viewState.displayMode = static_cast<ViewMode>(mode);
    d.selectComboItem(IDC_VIEW_MODE, mode);

    if (viewState.autoScale) d.setChecked(IDC_AUTO_SCALE, true);

    d.clearCombo(IDC_SIZE_LIST);
    for (int32_t i = 0; i < settings.sizeCount && i < kMaxSizes; ++i) {
        formatSizeText(text, settings.sizeArray[i]);
        d.addComboText(IDC_SIZE_LIST, text);
    }
    d.selectComboItem(IDC_SIZE_LIST, viewState.sizeIndex);

    d.clearCombo(IDC_AVERAGING);
    for (int32_t count = 1; count <= kAvgListLength; ++count) {
        std::snprintf(text, sizeof text, " %2d", count);
        d.addComboText(IDC_AVERAGING, text);
    }
    d.selectComboItem(IDC_AVERAGING, viewState.fftAvg);

    d.clearCombo(IDC_FFT_WINDOW);
    for (const char* name : kFftWindowNames) d.addComboText(IDC_FFT_WINDOW, name);
    d.selectComboItem(IDC_FFT_WINDOW, viewState.fftWnd);

    refreshBoardParameters();
    readControls();
}

void ApplicationCore::readControls() {
    if (!dialog_) return;
    DialogServices& d = *dialog_;
    viewState.sizeIndex = selectionOf(d, IDC_SIZE_LIST);
    viewState.displayMode = static_cast<ViewMode>(selectionOf(d, IDC_VIEW_MODE));
    viewState.autoScale = d.isChecked(IDC_AUTO_SCALE) ? 1 : 0;
    viewState.fftAvg = selectionOf(d, IDC_AVERAGING);
    viewState.fftWnd = selectionOf(d, IDC_FFT_WINDOW);
    if (mainPlot) {
        const int32_t kind = viewState.displayMode != ViewMode::Scope ? kPlotKindSpectrum : kPlotKindScope;
        mainPlot->SetProperty(kPlotPropertyViewKind, &kind);
    }
}

void ApplicationCore::onAutoScale() {
    readControls();
    redrawPlots(false);
}

void ApplicationCore::onControlCommand(int32_t control, int32_t notification) {
    if (notification != kComboClosed) return;
    switch (control) {
    case IDC_VIEW_MODE:
        onViewModeClosed();
        break;
    case IDC_AVERAGING:
        onAveragingClosed();
        break;
    case IDC_FFT_WINDOW:
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

bool ApplicationCore::onPlotButton(int32_t button, int32_t kind) {
    if (!dialog_) return false;
    PlotPoint pointer{};
    PlotRect client{};
    if (!dialog_->pointerPosition(IDC_MAIN_PLOT, &pointer, &client)) return false;
    const int32_t point = packPlotPoint(pointer, client);
    if (point < 0) return false;
    if (mainPlot) {
        mainPlot->OnMouseButton(&client, button, point, kind);
        plotPointerInside_ = true;
    }
    redrawPlots(false);
    return true;
}

void ApplicationCore::onPlotMove(int32_t keys) {
    if (!dialog_ || !mainPlot) return;
    PlotPoint pointer{};
    PlotRect client{};
    if (!dialog_->pointerPosition(IDC_MAIN_PLOT, &pointer, &client)) return;
    const int32_t point = packPlotPoint(pointer, client);
    if (point < 0 && !plotPointerInside_) return;
    passPlotMove(client, keys, point);
}

void ApplicationCore::onPlotButtonUp(int32_t keys, bool cancelled) {
    if (!dialog_ || !mainPlot) return;
    PlotPoint pointer{};
    PlotRect client{};
    if (!dialog_->pointerPosition(IDC_MAIN_PLOT, &pointer, &client)) return;
    passPlotMove(client, keys, cancelled ? kPlotPointOutside : packPlotPoint(pointer, client));
}

void ApplicationCore::onPlotLeave() {
    if (!dialog_ || !mainPlot || !plotPointerInside_) return;
    PlotPoint pointer{};
    PlotRect client{};
    if (!dialog_->pointerPosition(IDC_MAIN_PLOT, &pointer, &client)) return;
    passPlotMove(client, 0, kPlotPointOutside);
}

void ApplicationCore::passPlotMove(const PlotRect& client, int32_t keys, int32_t point) {
    plotPointerInside_ = point >= 0;
    if (mainPlot->OnMouseMove(&client, keys, point) == 0) return;
    if (redrawsMoveAt(dialog_->tickCount(), lastUpdateTick_)) redrawPlots(false);
}

void ApplicationCore::redrawPlots(bool withAnalysis) {
    if (!dialog_) return;
    drawTopPlot();
    drawMainPlot(withAnalysis);
    if (withAnalysis) rebuildResultsList();
}

void ApplicationCore::drawTopPlot() {
    if (!topPlot) return;
    std::copy_n(engine.channelColours(), kChannelRecordCount, plotStyle.channelColour);
    PlotRect client{};
    void* dc = dialog_->beginPlotPaint(IDC_TOP_PLOT, &client);
    if (!dc) return;
    const PlotFrame frame = topPlotFrame(engine.windowLength(), engine.channelRate(), settings.oscScale);
    topPlot->SetProperty(kPlotPropertyXUnit, frame.xUnit);
    topPlot->BeginDraw(dc, &client, &frame.range, frame.points, 0, 0);
    if (plotScratch_) {
        const ChannelRecord* channels = engine.channels();
        for (int32_t i = 0; i < engine.activeChannelCount() && i < kChannelRecordCount; ++i) {
            if (convertCurve(channels[i], ViewMode::Scope) == 0) continue;
            topPlot->DrawCurve(plotScratch_, frame.points, 1, 0, &plotStyle.channelColour[i], 0, nullptr, 0);
        }
    }
    topPlot->EndDraw();
    dialog_->endPlotPaint(IDC_TOP_PLOT, dc);
}

void ApplicationCore::drawMainPlot(bool withAnalysis) {
    if (!mainPlot) return;
    std::copy_n(engine.channelColours(), kChannelRecordCount, plotStyle.channelColour);
    const int32_t length = engine.windowLength();
    const ViewMode view = viewState.displayMode;
    const bool spectrumView = length != 0 && isSpectrumView(view);
    if (withAnalysis && spectrumView && engine.filledCount() >= length) {
        const SpectrumPassInput input{
            length,           engine.filledCount(), engine.activeChannelCount(), view,
            viewState.fftAvg, viewState.fftWnd,     engine.channelRate(),        engine.channelColours()};
        analysis.runSpectrumPass(engine.measuredChannels(), input);
    }

    PlotRect client{};
    void* dc = dialog_->beginPlotPaint(IDC_MAIN_PLOT, &client);
    if (!dc) return;
    const ChannelRecord* channels = engine.channels();
    const int32_t active = std::min(engine.activeChannelCount(), kChannelRecordCount);
    double peakPower = channels[0].powerPeak;
    for (int32_t i = 1; i < active; ++i) peakPower = std::max(peakPower, channels[i].powerPeak);
    const MainPlotInput input{view,
                              viewState.autoScale != 0,
                              length,
                              engine.channelRate(),
                              settings.fftScaleV,
                              settings.fftScaleDb,
                              analysis.fftWindow.enbw,
                              peakPower,
                              analysis.scopeMin,
                              analysis.scopeMax,
                              settings.oscScale};
    const PlotFrame frame = mainPlotFrame(input);
    mainPlot->SetProperty(kPlotPropertyXUnit, frame.xUnit);
    mainPlot->SetProperty(kPlotPropertyYUnit, frame.yUnit);
    mainPlot->BeginDraw(dc, &client, &frame.range, frame.points, 0, 0);
    if (plotScratch_) {
        const int32_t* shown = engine.channelShown();
        for (int32_t i = 0; i < active; ++i) {
            if (!shown[i]) continue;
            const ChannelRecord& channel = channels[i];
            if (convertCurve(channel, view) == 0) continue;
            mainPlot->DrawCurve(plotScratch_, frame.points, 1, 0, &plotStyle.channelColour[i], 0,
                                spectrumView ? channel.markers : nullptr, 0);
        }
    }
    mainPlot->EndDraw();
    dialog_->endPlotPaint(IDC_MAIN_PLOT, dc);
}

// Long curves are converted by every lane, each a part of the points.
int32_t ApplicationCore::convertCurve(const ChannelRecord& channel, ViewMode view) {
    constexpr int32_t kPointsWorthSharing = 1 << 16;
    const int32_t count = plotPointCount(channel, view);
    if (count > plotScratchLength_) return 0;
    const int lanes = workers.lanes();
    if (count < kPointsWorthSharing || lanes == 1) {
        convertForPlot(channel, view, settings.fftScaleV, plotScratch_, 0, count);
        return count;
    }
    workers.run([&](int lane) {
        const int32_t first = static_cast<int32_t>(int64_t(count) * lane / lanes);
        const int32_t last = static_cast<int32_t>(int64_t(count) * (lane + 1) / lanes);
        convertForPlot(channel, view, settings.fftScaleV, plotScratch_, first, last);
    });
    return count;
}

void ApplicationCore::rebuildResultsList() {
    if (!dialog_) return;
    const int32_t top = dialog_->beginListUpdate(IDC_INFO);
    // Channels without a window are left out.
    const ChannelRecord* channels = engine.channels();
    int32_t listed[kChannelRecordCount] = {};
    for (int32_t i = 0; i < kChannelRecordCount; ++i) {
        listed[i] = channels[i].hasBuffers() ? engine.channelShown()[i] : 0;
    }
    buildResultsLines(channels, listed, engine.activeChannelCount(), viewState.displayMode, *resultsLines_);
    for (int i = 0; i < resultsLines_->count; ++i) dialog_->addListLine(IDC_INFO, resultsLines_->line[i]);
    dialog_->endListUpdate(IDC_INFO, top);
}
