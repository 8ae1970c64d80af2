#include "app/application_core.h"

#include <cstdio>
#include <cstring>

#include "app/cp1251.h"

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

ApplicationCore::ApplicationCore() {
    std::memset(&settings, 0, sizeof settings);
    std::memset(&viewState, 0, sizeof viewState);
    boardParameters = emptyBoardParameters();
    presetConstructorDefaults(settings);
}

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
    float fullScale = 0.0f;
    if (device->GetProperty(kDevicePropertyFullScale, &fullScale) == 0 || fullScale == 0.0f) {
        fullScale = 1.0f;
    }
    voltsPerCount = fullScale / 32768.0;
    boundFftScale(settings, fullScale);
}

void ApplicationCore::releaseComponents() {
    release(mainPlot);
    release(topPlot);
    release(device);
    release(utility);
}
