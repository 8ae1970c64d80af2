#pragma once
// The five view settings kept in Quorvel.sav between runs.
#include <cstdint>

struct ViewState {
    int32_t sizeIndex;      // position in the Size list
    int32_t displayMode;    // 0 scope, 1 spectrum V, 2 spectrum dB0, 3 spectrum dB
    int32_t autoScale;      // 0 or 1
    int32_t fftAvg;         // position in the Avg list (0 means 1)
    int32_t fftWnd;         // FFT window id
};

void loadViewState(ViewState& state, const char* fileName);
void saveViewState(const ViewState& state, const char* fileName);
