#include "analysis/fft_window.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "analysis/real_fft.h"
#include "platform/page_memory.h"

const char* const kFftWindowNames[kFftWindowCount] = {
    "Rectangle",
    "Blackman-Harris 92, 4bin",
    "Nuttall-4B, 4bin",
    "Nuttall-4C, 4bin",
    "Flat-top HFT95, 5bin",
    "Flat-top HFT90D, 5bin",
    "Flat-top HFT116D, 6bin",
    "Flat-top HFT144D, 7bin",
    "Flat-top HFT169D, 8bin",
    "Flat-top HFT196D, 9bin",
    "Flat-top HFT223D, 10bin",
    "Flat-top HFT248D, 11bin",
    "Blackman-Harris 7term, 7bin",
    "Cosine summ 7term, 7bin",
};

namespace {

constexpr double kTwoPi = 6.283185307179586;

constexpr int32_t kBinCounts[kFftWindowCount] = {0, 4, 4, 4, 5, 5, 6, 7, 8, 9, 10, 11, 7, 7};

struct CosineSum {
    int terms;                     // K; 0 for the rectangle
    double a[kMaxFftWindowTerms];  // a0 .. a(K-1)
};

// Blackman-Harris and Nuttall windows (ids 1..3, 12, 13) peak at 1 in the
// centre; the flat-tops (ids 4..11) have a0 = 1, hence a mean of 1.
constexpr CosineSum kCosineSums[kFftWindowCount] = {
    {0, {}},
    {4, {0.35875, -0.48829, 0.14128, -0.01168}},
    {4, {0.355768, -0.487396, 0.144232, -0.012604}},
    {4, {0.3635819, -0.4891775, 0.1365995, -0.0106411}},
    {5, {1.0, -1.9383379, 1.3045202, -0.402827, 0.0350665}},
    {5, {1.0, -1.942604, 1.340318, -0.440811, 0.043097}},
    {6, {1.0, -1.9575375, 1.4780705, -0.6367431, 0.1228389, -0.0066288}},
    {7, {1.0, -1.96760033, 1.57983607, -0.81123644, 0.22583558, -0.02773848, 0.0009036}},
    {8, {1.0, -1.97441842, 1.65409888, -0.95788186, 0.3367342, -0.06364621, 0.00521942, -0.00010599}},
    {9,
     {1.0, -1.97928042, 1.710288951, -1.081629853, 0.448734314, -0.112376628, 0.015122992, -0.000871252, 0.000011896}},
    {10,
     {1.0, -1.98298997309, 1.75556083063, -1.19037717712, 0.56155440797, -0.17296769663, 0.03233247087, -0.00324954578,
      0.0001380104, -0.00000132725}},
    {11,
     {1.0, -1.985844164102, 1.791176438506, -1.282075284005, 0.667777530266, -0.240160796576, 0.056656381764,
      -0.008134974479, 0.00062454465, -0.000019808998, 0.000000132974}},
    {7,
     {0.27105140069342415, -0.43329793923448606, 0.21812299954311062, -0.0659254463880309, 0.010811742098372268,
      -0.0007765848252250934, 0.000013887217350903198}},
    {7,
     {0.2712203605850388, -0.4334446123274422, 0.2180041228929303, -0.06578534329560609, 0.01076186730534183,
      -0.0007700127105808265, 0.00001368088305992921}},
};

// Samples generated together. The cosine of each sample's angle comes from an
// exact cosine/sine pair at the start of its run, rotated by a table of
// exact offsets, so no error accumulates from run to run; the K terms then
// follow from that cosine by Clenshaw's recurrence for sum a_k T_k(cos phi)
// (T_k(cos phi) = cos k phi), with an error of order K^2 ulp.
constexpr uint32_t kRun = 256;

WindowSums generateCosineSum(double* buffer, uint32_t n, const CosineSum& window) {
    const double step = kTwoPi / n;
    double rotCos[kRun], rotSin[kRun];
    for (uint32_t j = 0; j < kRun; ++j) {
        rotCos[j] = std::cos(step * j);
        rotSin[j] = std::sin(step * j);
    }

    const double* a = window.a;
    const int terms = window.terms;
    const uint32_t half = n / 2;
    double sum = 0.0, sumSquares = 0.0;
    double c[kRun], b1[kRun], b2[kRun];
    // Samples 0..half; the others are their mirror images w[n - i] = w[i].
    for (uint32_t first = 0; first <= half; first += kRun) {
        const double angle = step * first;  // at most pi
        const double baseCos = std::cos(angle);
        const double baseSin = std::sin(angle);
        for (uint32_t j = 0; j < kRun; ++j) {
            c[j] = baseCos * rotCos[j] - baseSin * rotSin[j];
            b1[j] = 0.0;
            b2[j] = 0.0;
        }
        for (int k = terms - 1; k >= 1; --k) {
            const double ak = a[k];
            for (uint32_t j = 0; j < kRun; ++j) {
                const double b0 = ak + 2.0 * c[j] * b1[j] - b2[j];
                b2[j] = b1[j];
                b1[j] = b0;
            }
        }
        const uint32_t count = half + 1 - first < kRun ? half + 1 - first : kRun;
        double runSum = 0.0, runSquares = 0.0;
        for (uint32_t j = 0; j < count; ++j) {
            const uint32_t i = first + j;
            const double w = a[0] + c[j] * b1[j] - b2[j];
            buffer[i] = w;
            // Index 0 and, for even n, index n/2 have no mirror image.
            if (i != 0 && n - i != i) {
                buffer[n - i] = w;
                runSum += 2.0 * w;
                runSquares += 2.0 * w * w;
            } else {
                runSum += w;
                runSquares += w * w;
            }
        }
        sum += runSum;
        sumSquares += runSquares;
    }
    return {sumSquares, sum};
}

}  // namespace

int32_t windowBinCount(int32_t id) {
    if (id < 0) return 0;
    if (id >= kFftWindowCount) return kBinCounts[kFftWindowCount - 1];
    return kBinCounts[id];
}

WindowSums generateWindow(double* buffer, uint32_t n, int32_t id) {
    if (!buffer || n == 0) return {0.0, 0.0};
    if (id < 1 || id >= kFftWindowCount) {
        for (uint32_t i = 0; i < n; ++i) buffer[i] = 1.0;
        return {static_cast<double>(n), static_cast<double>(n)};
    }
    return generateCosineSum(buffer, n, kCosineSums[id]);
}

FftWindow::~FftWindow() { release(); }

bool FftWindow::resize(int64_t requestedLength) {
    if (requestedLength < static_cast<int64_t>(kMinFftLength) ||
        requestedLength > static_cast<int64_t>(kMaxFftLength)) {
        release();
        return false;
    }
    uint32_t n = kMinFftLength;
    while (n < requestedLength) n <<= 1;
    if (n != length) release();

    if (!workBuffer || !windowBuffer) {
        release();
#if SIZE_MAX <= UINT32_MAX
        // 2^30 doubles do not fit a 32-bit address space.
        if (n > SIZE_MAX / sizeof(double)) return false;
#endif
        const size_t bytes = static_cast<size_t>(n) * sizeof(double);
        workBuffer = static_cast<double*>(allocatePages(bytes));
        windowBuffer = static_cast<double*>(allocatePages(bytes));
        if (!workBuffer || !windowBuffer) {
            if (workBuffer) releasePages(workBuffer, bytes);
            if (windowBuffer) releasePages(windowBuffer, bytes);
            workBuffer = nullptr;
            windowBuffer = nullptr;
            return false;
        }
        // New pages start zero-filled.
    } else {
        std::memset(workBuffer, 0, static_cast<size_t>(n) * sizeof(double));
    }
    length = n;
    windowId = 0;
    return true;
}

void FftWindow::computeWindow(int32_t id) {
    gainFactor = 0.0;
    coherentSum = 0.0;
    WindowSums sums = {0.0, 0.0};
    if (workBuffer && windowBuffer && length != 0) {
        windowId = id;
        sums = generateWindow(windowBuffer, length, id);
    }
    const double n = length;
    coherentSum = sums.sum;
    enbw = sums.sum != 0.0 ? n * sums.sumSquares / (sums.sum * sums.sum) : 1.0;
    gainFactor = sums.sumSquares != 0.0 ? std::sqrt(n / sums.sumSquares) : 1.0;
}

double* FftWindow::transform(int inverse) {
    if (!workBuffer || !windowBuffer || length < kMinFftLength) return nullptr;
    realFft(workBuffer, length, inverse, nullptr);
    return workBuffer;
}

void FftWindow::release() {
    const size_t bytes = static_cast<size_t>(length) * sizeof(double);
    releasePages(workBuffer, bytes);
    releasePages(windowBuffer, bytes);
    workBuffer = nullptr;
    windowBuffer = nullptr;
    length = 0;
}
