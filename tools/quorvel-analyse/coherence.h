#pragma once
// Advice on coherent sampling: how far a tone lies from a bin of an N-point
// spectrum, the nearest tone that completes a whole, odd number of cycles in
// the window (odd, so that it shares no factor with a power-of-two N and
// every sample falls on a different phase), and the width of each FFT
// window's main lobe.
#include <cstdint>

struct CoherenceAdvice {
    // f N / fs minus the nearest whole bin, in (-0.5, 0.5]: positive when the
    // tone lies above that bin.
    double toneBinOffset = 0;
    // The odd cycle count nearest f N / fs, 1 .. N/2 - 1 (a tie goes to the
    // higher count); 0 when there is no advice (see adviseCoherence).
    int64_t coherentCycles = 0;
    double coherentFrequencyHz = 0;  // coherentCycles x fs / N
};

// No advice (everything 0) for a tone or rate that is not a finite number
// above 0, or n < 4.
CoherenceAdvice adviseCoherence(double toneHz, double rateHz, int64_t n);

// Half-width of the main lobe of FFT window `windowId` (0..13, as
// analysis/fft_window.h numbers them), in bins: the distance from the centre
// to the first zero of the window's transform. 1 for the rectangle, K for
// the K-term cosine sums. An id outside 0..13 is taken as the rectangle, as
// the window generator takes it.
double mainLobeHalfWidthBins(int32_t windowId);
