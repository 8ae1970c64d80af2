#include "tools/quorvel-analyse/coherence.h"

#include <array>
#include <cmath>

#include "analysis/fft_window.h"

CoherenceAdvice adviseCoherence(double toneHz, double rateHz, int64_t n) {
    CoherenceAdvice advice;
    if (!(toneHz > 0) || !(rateHz > 0) || !std::isfinite(toneHz) || !std::isfinite(rateHz) || n < 4) {
        return advice;
    }
    const double cycles = toneHz * static_cast<double>(n) / rateHz;
    // Half-way between two bins counts as below the upper one: offset +0.5.
    const double nearestBin = std::ceil(cycles - 0.5);
    advice.toneBinOffset = cycles - nearestBin;

    // Odd counts are 2k + 1; the nearest has k = round((cycles - 1) / 2),
    // a tie going up. 1 .. n/2 - 1 keeps the tone inside the spectrum.
    const int64_t maxK = (n / 2 - 2) / 2;  // 2 maxK + 1 <= n/2 - 1
    const double k = std::floor((cycles - 1.0) / 2.0 + 0.5);
    const int64_t clampedK = k < 0 ? 0 : (k > static_cast<double>(maxK) ? maxK : static_cast<int64_t>(k));
    advice.coherentCycles = 2 * clampedK + 1;
    advice.coherentFrequencyHz = static_cast<double>(advice.coherentCycles) * rateHz / static_cast<double>(n);
    return advice;
}

namespace {

constexpr double kPi = 3.141592653589793;

double sinc(double x) { return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x); }

// The transform of a cosine sum w(t) = sum_k a_k cos(2 pi k t / N) over one
// period, centred on the window's peak and taken in the limit of many
// points, at x bins: a0 sinc(x) + sum_k (-1)^k a_k/2 (sinc(x - k) + sinc(x + k)).
// (The window peaks at t = N/2; moving the centre there gives the (-1)^k.)
double cosineSumTransform(const std::array<double, kMaxFftWindowTerms>& a, double x) {
    double value = a[0] * sinc(x);
    for (int k = 1; k < kMaxFftWindowTerms; ++k) {
        const double sign = (k % 2) ? -1.0 : 1.0;
        value += sign * 0.5 * a[k] * (sinc(x - k) + sinc(x + k));
    }
    return value;
}

// The first zero of the window's transform above 0 bins. The coefficients
// come from the generated window itself (its DFT over a period of 64
// points, exact for the at most 11 terms), so the widths follow the
// definitions in analysis/fft_window.cpp.
double firstZeroBins(int32_t id) {
    constexpr uint32_t n = 64;
    double w[n];
    generateWindow(w, n, id);
    std::array<double, kMaxFftWindowTerms> a{};
    for (int k = 0; k < kMaxFftWindowTerms; ++k) {
        double sum = 0.0;
        for (uint32_t i = 0; i < n; ++i) sum += w[i] * std::cos(2.0 * kPi * k * i / n);
        a[k] = (k == 0 ? 1.0 : 2.0) * sum / n;
    }
    // Scan in steps of 1/16 bin for the first change of sign, then bisect.
    const double step = 1.0 / 16.0;
    double low = 0.0;
    const double start = cosineSumTransform(a, 0.0);
    for (double x = step; x <= kMaxFftWindowTerms + 1.0; x += step) {
        const double value = cosineSumTransform(a, x);
        if (value == 0.0) return x;
        if ((value > 0) != (start > 0)) {
            double high = x;
            for (int i = 0; i < 60; ++i) {
                const double mid = 0.5 * (low + high);
                if ((cosineSumTransform(a, mid) > 0) == (start > 0)) low = mid;
                else high = mid;
            }
            // A K-term sum is zero at every whole bin from K on, and so flat
            // there (the flat-tops) that the bisection's signs are rounding:
            // a zero within 1e-4 of a whole bin is that bin.
            const double zero = 0.5 * (low + high);
            return std::fabs(zero - std::round(zero)) < 1e-4 ? std::round(zero) : zero;
        }
        low = x;
    }
    return kMaxFftWindowTerms;
}

}  // namespace

double mainLobeHalfWidthBins(int32_t windowId) {
    static const std::array<double, kFftWindowCount> widths = [] {
        std::array<double, kFftWindowCount> table{};
        table[0] = 1.0;  // the rectangle's sinc: first zero at 1 bin
        for (int32_t id = 1; id < kFftWindowCount; ++id) table[id] = firstZeroBins(id);
        return table;
    }();
    if (windowId < 1 || windowId >= kFftWindowCount) return widths[0];
    return widths[windowId];
}
