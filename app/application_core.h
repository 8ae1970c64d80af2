#pragma once
// The state that the application object owns, and its start-up sequence, in
// portable form: the Windows application object derives from this class and
// adds the window. Start-up reaches the system only through StartupServices.
#include <cstdint>

#include "acquisition/board_interface.h"
#include "app/component_loader.h"
#include "config/settings.h"
#include "config/view_state.h"
#include "display/plot_interface.h"

inline constexpr const char kConfigFileName[] = "Quorvel.cfg";
inline constexpr const char kViewStateFileName[] = "Quorvel.sav";
inline constexpr const char kComponentMaker[] = "Tarnwell";
inline constexpr const char kDriverGroup[] = "Drivers";
inline constexpr const char kLibraryGroup[] = "Base library";
inline constexpr const char kComponentVersion[] = "1.0";
inline constexpr const char kPlotComponent[] = "PellumE";
inline constexpr const char kExtendedPlotComponent[] = "PellumE1";

// Process exit code when start-up fails.
inline constexpr int kStartupFailedExitCode = -2;

// What start-up needs from the system.
class StartupServices {
public:
    // The component loader (see component_loader.h).
    virtual void* LoadComponent(ComponentHandle& handle, const char* maker, const char* group,
                                const char* version, const char* name,
                                const char* exportName) = 0;
    // Shows a start-up error (code page 1251 text) and returns when the user
    // has closed it.
    virtual void showStartupError(const char* text) = 0;
    virtual SystemColours systemColours() = 0;

protected:
    ~StartupServices() = default;
};

// Why start-up stopped.
enum class StartupError {
    None,
    NoComponent,        // the driver or the utility gives no interface
    NoPlotComponent,    // no plot component for the main plot
    BadBase,            // Base = 0 in the configuration
    OpenFailed,         // the utility could not open the board
    NoDevice,           // the utility handed out no device
    NotSupported,       // the board failed the capability check
};

class ApplicationCore {
public:
    ApplicationCore();

    // Presets, configuration, components, board check and saved view state, in
    // this order. Shows the message of the first failure and returns it; on
    // success the main window may be created.
    StartupError start(StartupServices& services);

    // Releases mainPlot, topPlot, device and utility, in this order.
    void releaseComponents();

    // Component interfaces; null when not loaded.
    IPellumE* mainPlot = nullptr;       // draws the main plot
    IPellumE* topPlot = nullptr;        // draws the top plot; may stay null
    IADCUtility* utility = nullptr;
    IADCDevice* device = nullptr;       // handed out by the utility

    Settings settings;
    ViewState viewState;
    double voltsPerCount = 0.0;         // board full scale / 32768

    BoardParameters boardParameters;
    int32_t channelCount = 1;           // channels the board delivers
    int32_t activeChannelCount = 0;     // channels of the running acquisition
    int32_t windowLength = 1024;        // samples per channel window (N)
    double channelRate = 10000.0;       // Hz, one channel

private:
    StartupError fail(StartupServices& services, StartupError error, const char* name = nullptr);
    IPellumE* loadPlot(StartupServices& services, ComponentHandle& handle, const char* name);
    bool boardIsSupported();
    void applyFullScale();
};

// The message shown for a start-up error; `name` is the component for
// NoComponent. Code page 1251, at most 255 bytes.
void formatStartupError(char (&text)[256], StartupError error, const char* name);
