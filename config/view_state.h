#pragma once
// The five view settings kept in Quorvel.sav between runs.
#include <cstdint>

#include "analysis/view_mode.h"

// Lengths of the lists the saved positions address. Reading clamps every
// position into its list, so a stored value never indexes outside sizeArray,
// the Avg list or the window table.
inline constexpr int32_t kAvgListLength = 40;     // Avg list offers 1..40
inline constexpr int32_t kWindowListLength = 14;  // FFT window ids 0..13

struct ViewState {
    int32_t sizeIndex;     // position in the Size list, 0..sizeCount-1
    ViewMode displayMode;  // as read back from the View mode list
    int32_t autoScale;     // 0 or 1
    int32_t fftAvg;        // position in the Avg list (0 means 1), 0..39
    int32_t fftWnd;        // FFT window id, 0..13
};

// Reads fileName over the current values: a missing or unreadable file, or a
// missing or malformed key, leaves a value as it is. sizeCount is the number of
// entries of the Size list (Settings::sizeCount).
void loadViewState(ViewState& state, const char* fileName, int32_t sizeCount);
// Writes the five lines, replacing fileName; nothing happens if it cannot be
// created.
void saveViewState(const ViewState& state, const char* fileName);
