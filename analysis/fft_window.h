#pragma once
// FFT window functions and the window record that holds the current window,
// its normalisation values and the FFT work buffer.
//
// Fourteen windows, identified by their position in the FFT Window list: the
// rectangle (id 0) and thirteen cosine sums of 4 to 11 terms (ids 1..13), all
// in the periodic form w[i] = sum_k a_k cos(2 pi k i / N), symmetric about
// i = N/2. The flat-top windows (ids 4..11) have a0 = 1 and a peak well above
// 1; no window is rescaled, the normalisation values carry the scale.
#include <cstdint>

inline constexpr int32_t kFftWindowCount = 14;  // ids 0..13
inline constexpr int32_t kMaxFftWindowTerms = 11;

// The FFT needs at least 32 points; the window lengths offered stop at 2^30.
inline constexpr uint32_t kMinFftLength = 32;
inline constexpr uint32_t kMaxFftLength = 1u << 30;

// List texts of the FFT Window list, in id order.
extern const char* const kFftWindowNames[kFftWindowCount];

// Bins on each side of a tone's peak bin that belong to the tone with window
// `id`: 0 for the rectangle, K for a K-term window; 0 for a negative id and 7
// for an id of 14 or more.
int32_t windowBinCount(int32_t id);

struct WindowSums {
    double sumSquares;  // sum of w[i]^2 over all n samples
    double sum;         // sum of w[i] over all n samples
};

// Fills buffer[0..n-1] with window `id` of period n; an id outside 1..13 gives
// the rectangle (all 1.0). Nothing is written for a null buffer or n = 0 (the
// sums are then 0).
WindowSums generateWindow(double* buffer, uint32_t n, int32_t id);

// The window record. Both buffers are page allocations of `length` doubles,
// held together or not at all.
class FftWindow {
public:
    FftWindow() = default;
    ~FftWindow();
    FftWindow(const FftWindow&) = delete;
    FftWindow& operator=(const FftWindow&) = delete;

    // length := the smallest power of two >= requestedLength. The buffers are
    // reallocated only when that differs from the current length; the work
    // buffer is cleared and windowId set to 0; the window itself is left for
    // computeWindow. A request below kMinFftLength or above kMaxFftLength, or
    // a failed allocation, leaves no buffers and length 0 and returns false.
    bool resize(int64_t requestedLength);

    // Generates window `id` into windowBuffer and sets coherentSum, enbw and
    // gainFactor from it. Without buffers: gainFactor 1, coherentSum 0, enbw 1.
    void computeWindow(int32_t id);

    // Real FFT of workBuffer in place over `length` points, forward when
    // inverse is 0. Returns workBuffer, or null (nothing done) without buffers.
    double* transform(int inverse);

    // Releases both buffers; length becomes 0.
    void release();

    double* workBuffer = nullptr;    // length doubles: FFT input and output
    double* windowBuffer = nullptr;  // length doubles: w[0..length-1]
    double gainFactor = 0.0;         // sqrt(length / sum w^2); 1 when that sum is 0
    double coherentSum = 0.0;        // sum w
    double enbw = 1.0;               // bins: length * sum w^2 / (sum w)^2; 1 when sum w is 0
    uint32_t length = 0;             // power of two >= kMinFftLength; 0 when no buffers are held
    int32_t windowId = 0;            // window held in windowBuffer
    double ditherAmplitude = 0.0;    // volts per dither step added while windowing; 0 = no dither
};
