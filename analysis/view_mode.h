#pragma once
// What the main plot shows: the index of the View mode list.
#include <cstdint>

enum class ViewMode : int32_t {
    Scope = 0,          // "  Oscilloscope": the time signal, V
    SpectrumVolts = 1,  // "  Spectre FFT V": spectrum, V RMS
    SpectrumDb0 = 2,    // "  Spectre FFT dB0": dB relative to the strongest bin
    SpectrumDb = 3,     // "  Spectre FFT dB": dB relative to the volt scale
};

inline constexpr int32_t kViewModeCount = 4;

// The three spectrum views; any other value shows the time signal.
inline constexpr bool isSpectrumView(ViewMode mode) {
    return mode == ViewMode::SpectrumVolts || mode == ViewMode::SpectrumDb0 || mode == ViewMode::SpectrumDb;
}
// The two decibel views, which have no auto scale.
inline constexpr bool isDecibelView(ViewMode mode) {
    return mode == ViewMode::SpectrumDb0 || mode == ViewMode::SpectrumDb;
}
