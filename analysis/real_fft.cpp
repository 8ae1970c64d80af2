#include "analysis/real_fft.h"

#include "analysis/real_fft_kernels.h"

#include <cmath>
#include <utility>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSqrtHalf = 0.7071067811865476;

struct Complex {
    double re, im;
};

inline Complex mul(Complex a, Complex b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }

inline void butterfly(Complex* a, Complex* b, Complex w) {
    Complex t = mul(w, *b);
    b->re = a->re - t.re;
    b->im = a->im - t.im;
    a->re += t.re;
    a->im += t.im;
}

void bitReverse(Complex* x, uint32_t m) {
    uint32_t j = 0;
    for (uint32_t i = 0; i < m; ++i) {
        if (i < j) std::swap(x[i], x[j]);
        uint32_t b = m >> 1;
        while (b >= 1 && b <= j) {
            j -= b;
            b >>= 1;
        }
        j += b;
    }
}

// Spans 1, 2 and 4 on each group of 8 points; sign -1 forward, +1 inverse.
void firstThreeStages(Complex* x, uint32_t m, double sign) {
    const Complex w8[4] = {{1, 0}, {kSqrtHalf, sign * kSqrtHalf}, {0, sign}, {-kSqrtHalf, sign * kSqrtHalf}};
    for (uint32_t g = 0; g < m; g += 8) {
        Complex* p = x + g;
        for (int i = 0; i < 8; i += 2) butterfly(p + i, p + i + 1, w8[0]);
        for (int i = 0; i < 8; i += 4) {
            butterfly(p + i, p + i + 2, w8[0]);
            butterfly(p + i + 1, p + i + 3, w8[2]);
        }
        for (int j = 0; j < 4; ++j) butterfly(p + j, p + j + 4, w8[j]);
    }
}

void portableComplexFft(double* points, uint32_t m, int inverse, const double* table) {
    Complex* x = reinterpret_cast<Complex*>(points);
    const double sign = inverse ? 1.0 : -1.0;
    const uint32_t n = 2 * m;
    bitReverse(x, m);
    firstThreeStages(x, m, sign);

    // Span 8: the eight roots e^(-+ i pi j/8).
    Complex w16[8];
    if (table) {
        for (uint32_t j = 0; j < 8; ++j) w16[j] = reinterpret_cast<const Complex*>(table)[j * n / 16];
    } else {
        w16[0] = {1, 0};
        w16[1] = {std::cos(kPi / 8), sign * std::sin(kPi / 8)};
        for (int j = 2; j < 8; ++j) w16[j] = mul(w16[j - 1], w16[1]);
    }
    for (uint32_t g = 0; g < m; g += 16)
        for (int j = 0; j < 8; ++j) butterfly(x + g + j, x + g + j + 8, w16[j]);

    for (uint32_t span = 16; span < m; span *= 2) {
        const double angle = kPi / span;
        const Complex step = {std::cos(angle), sign * std::sin(angle)};
        for (uint32_t j0 = 0; j0 < span; j0 += 16) {
            Complex w[16];
            if (table) {
                for (uint32_t j = 0; j < 16; ++j)
                    w[j] = reinterpret_cast<const Complex*>(table)[(j0 + j) * (n / (2 * span))];
            } else {
                w[0] = {std::cos(j0 * angle), sign * std::sin(j0 * angle)};
                for (int j = 1; j < 16; ++j) w[j] = mul(w[j - 1], step);
            }
            for (uint32_t g = 0; g < m; g += 2 * span)
                for (uint32_t j = 0; j < 16; ++j) butterfly(x + g + j0 + j, x + g + j0 + j + span, w[j]);
        }
    }
}

void portableRealFftSplit(double* data, uint32_t m, int inverse, const double* table) {
    Complex* x = reinterpret_cast<Complex*>(data);
    const double theta = kPi / m;
    const double sign = inverse ? 1.0 : -1.0;
    const Complex step = {std::cos(theta), sign * std::sin(theta)};
    Complex w = step;
    for (uint32_t k = 1; k < m - k; ++k) {
        if (table) w = reinterpret_cast<const Complex*>(table)[k];
        Complex& q = x[k];
        Complex& p = x[m - k];
        const double h1r = (q.re + p.re) * 0.5;
        const double h1i = (q.im - p.im) * 0.5;
        double h2r = (q.im + p.im) * 0.5;
        double h2i = -(q.re - p.re) * 0.5;
        if (inverse) {
            h2r = -h2r;
            h2i = -h2i;
        }
        const double tr = w.re * h2r - w.im * h2i;
        const double ti = w.im * h2r + w.re * h2i;
        q.re = h1r + tr;
        q.im = h1i + ti;
        p.re = h1r - tr;
        p.im = ti - h1i;
        if (!table) w = mul(w, step);
    }
    x[m / 2].im = -x[m / 2].im;
}

bool avxUsable() {
#if QUORVEL_FFT_HAVE_AVX
    // Also reached from static initialisation, so the processor is examined
    // here rather than trusted to have been already.
    static const bool usable = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx") != 0;
    }();
    return usable;
#else
    return false;
#endif
}

fft_detail::FftKernel selectedKernel = avxUsable() ? fft_detail::FftKernel::Avx : fft_detail::FftKernel::Portable;

}  // namespace

namespace fft_detail {

bool fftKernelAvailable(FftKernel kernel) { return kernel == FftKernel::Portable || avxUsable(); }

FftKernel selectFftKernel(FftKernel kernel) {
    const FftKernel before = selectedKernel;
    selectedKernel = fftKernelAvailable(kernel) ? kernel : FftKernel::Portable;
    return before;
}

}  // namespace fft_detail

void complexFft(double* points, uint32_t m, int inverse, const double* table) {
#if QUORVEL_FFT_HAVE_AVX
    if (!table && selectedKernel == fft_detail::FftKernel::Avx && fft_detail::avxComplexFft(points, m, inverse)) return;
#endif
    portableComplexFft(points, m, inverse, table);
}

void realFftSplit(double* data, uint32_t m, int inverse, const double* table) {
#if QUORVEL_FFT_HAVE_AVX
    if (!table && selectedKernel == fft_detail::FftKernel::Avx) {
        fft_detail::avxRealFftSplit(data, m, inverse);
        return;
    }
#endif
    portableRealFftSplit(data, m, inverse, table);
}

void realFft(double* data, uint32_t n, int inverse, const double* table) {
    const uint32_t m = n / 2;
    if (!inverse) {
        complexFft(data, m, 0, table);
        realFftSplit(data, m, 0, table);
        const double b = data[0], c = data[1];
        data[0] = b + c;
        data[1] = b - c;
    } else {
        realFftSplit(data, m, 1, table);
        const double b = data[0], c = data[1];
        data[0] = (b + c) * 0.5;
        data[1] = (b - c) * 0.5;
        complexFft(data, m, 1, table);
    }
}
