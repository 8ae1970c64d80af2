#pragma once
// The values read from Quorvel.cfg, with their presets and ranges.
#include <cstdint>

#include "display/plot_interface.h"

// boardFlags bits.
inline constexpr uint32_t kBoardCapable = 1u << 0;  // passed the start-up capability check
inline constexpr uint32_t kUsePellumEx1 = 1u << 1;  // try the extended plot component first

inline constexpr int kMaxSizes = 32;
// The analysis needs at least this many samples per window; shorter SizeArray
// entries are raised to it when read.
inline constexpr int32_t kMinWindowLength = 32;

struct Settings {
    int32_t displayTime;           // ms, period of the acquisition timer
    int32_t displayBlocks;         // blocks taken per timer period at most
    uint32_t boardFlags;           // kBoardCapable, kUsePellumEx1
    int32_t maxUsedMemory;         // bytes the board may keep pending
    int32_t averageCounter;        // acquisitions averaged for the signal parameters
    double fftScaleDb;             // dB span of the spectrum axis
    double fftScaleV;              // volts, scale of the spectrum axis
    int32_t helpPreDelay;          // ms the pointer rests before a balloon shows
    int32_t helpPostDelay;         // ms a balloon stays
    char deviceName[40];           // board driver component
    char utilityName[40];          // board utility component
    int32_t base;                  // board number; 0 stops start-up
    float oscScale;                // volts, oscilloscope axis half-span
    int32_t sizeArray[kMaxSizes];  // window lengths offered in the Size list: powers of two, 32..2^30
    int32_t sizeCount;             // valid entries of sizeArray
    char fileName[256];            // base name of recorded files
    int32_t fileAutoIncrement;     // 0: no numbering; else the first file's number, 1..999
    // Colours, font name and size live in the plot style record.
    PlotStyle plotStyle;
};

// System colours that some presets take (Windows COLORREF values).
struct SystemColours {
    uint32_t buttonFace;
    uint32_t buttonShadow;
};

// The presets that the application object's constructor gives before
// presetDefaults runs.
void presetConstructorDefaults(Settings& settings);
// Every other preset; also fills the fixed members of plotStyle.
void presetDefaults(Settings& settings, const SystemColours& colours);
// Creates fileName with the built-in text unless a file of that name exists.
void writeDefaultConfig(const char* fileName);
// Reads the keys of fileName in their fixed order, with defaults and ranges.
void loadConfig(Settings& settings, const char* fileName);
// The Size list's text of a window length: "512", "1.0K", "1.5K", "2.0M".
void formatSizeText(char (&text)[256], int32_t value);
// Brings fftScaleV into range once the board's full scale (volts) is known.
void boundFftScale(Settings& settings, double fullScaleVolts);
