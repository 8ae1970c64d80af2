#include "tools/quorvel-analyse/sine_fit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kMaxSteps = 40;
// Near the optimum each Gauss-Newton step is of the order of the square of
// the one before (seen: 6e-6 rad, then 1e-10), so after a step this small
// what is left is far below anything a residual can show.
constexpr double kSettledPhaseRad = 1e-5;

// Samples are taken a block at a time. Within a block the phasor
// e^{j w u} is e^{j w u0} (one exact cos/sin per block) times a table of
// e^{j w j}, j < kBlock, built once per pass; so every sum over a block is a
// sum against fixed tables, rotated into place once per block, with one
// cos/sin call per block instead of per sample and no error building up.
constexpr int64_t kBlock = 512;
constexpr int kTableSplit = 16;  // the table = e^{j w 16 q} x e^{j w r}

// Two doubles in one SSE2 register (GCC and Clang vector extension): the
// block loops below are written with them, as the compiler does not
// reorder a floating-point sum by itself.
typedef double Pair __attribute__((vector_size(16)));
// The 32-bit build has no SSE by default and warns that passing a Pair
// changes the calling convention; these functions are all inline and local
// to this file, so no call crosses it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
inline Pair loadPair(const double* p) {
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline double total(Pair v) { return v[0] + v[1]; }

struct Complex {
    double re = 0, im = 0;
};
Complex operator*(Complex x, Complex y) { return {x.re * y.re - x.im * y.im, x.re * y.im + x.im * y.re}; }
Complex operator+(Complex x, Complex y) { return {x.re + y.re, x.im + y.im}; }
Complex operator*(double k, Complex x) { return {k * x.re, k * x.im}; }
Complex& operator+=(Complex& x, Complex y) { return x = x + y; }
Complex phasor(double angle) { return {std::cos(angle), std::sin(angle)}; }

// e^{j w u} for |u| < 2^30, u a whole or half number. A long record's angle
// w u rounded to a double would be off by up to 2e-7 rad; beyond 2^16 rad, w
// is split into w_hi, on a grid of 2^-20 (so that w_hi u is exact), and the
// rest, whose product is off by less than 1e-13 rad.
Complex phasorAt(double w, double u) {
    const double angle = w * u;
    if (std::fabs(angle) < 65536.0) return phasor(angle);
    const double high = std::ldexp(std::nearbyint(std::ldexp(w, 20)), -20);
    return phasor(high * u) * phasor((w - high) * u);
}

// Time is centred on the middle of the record, u = i - (count-1)/2, which
// makes the columns nearly orthogonal (and the odd sums over u vanish); the
// frequency column is scaled by tau = u / (count/2), within [-1, 1].
struct Record {
    const double* y;
    int64_t count;
    double middle;      // (count - 1) / 2
    double halfLength;  // count / 2
};

// The tables of one pass at frequency w (radians per sample).
struct Tables {
    explicit Tables(double w) {
        Complex fine[kTableSplit];
        for (int r = 0; r < kTableSplit; ++r) fine[r] = phasor(w * r);
        for (int64_t q = 0; q < kBlock / kTableSplit; ++q) {
            const Complex coarse = phasor(w * static_cast<double>(q * kTableSplit));
            for (int r = 0; r < kTableSplit; ++r) {
                const int64_t j = q * kTableSplit + r;
                const Complex z = coarse * fine[r];
                cos[j] = z.re;
                sin[j] = z.im;
                jCos[j] = static_cast<double>(j) * z.re;
                jSin[j] = static_cast<double>(j) * z.im;
            }
        }
    }
    double cos[kBlock], sin[kBlock], jCos[kBlock], jSin[kBlock];
};

// Sum over j < length of j^p e^{j k w j}, p = 0..2, for the harmonics k = 1, 2.
struct BlockMoments {
    Complex m[2][3];
};
BlockMoments blockMoments(const Tables& t, int64_t length) {
    BlockMoments moments;
    for (int64_t j = 0; j < length; ++j) {
        const Complex z = {t.cos[j], t.sin[j]};
        const Complex z2 = z * z;
        const double jd = static_cast<double>(j);
        moments.m[0][0] += z;
        moments.m[0][1] += jd * z;
        moments.m[0][2] += (jd * jd) * z;
        moments.m[1][0] += z2;
        moments.m[1][1] += jd * z2;
        moments.m[1][2] += (jd * jd) * z2;
    }
    return moments;
}

// What the normal equations need at frequency w: the samples' projections
// Y0 = sum y e^{j w u}, Y1 = sum y tau e^{j w u}, and sums of the model's
// columns alone, H[k-1][p] = sum tau^p e^{j k w u} for k = 1, 2, p = 0..2
// (products of cos and sin follow from the second harmonic).
struct Projections {
    Complex y0, y1;
    Complex h[2][3];
    double sumY = 0;  // sum y, with WithSum
};

template <bool WithSum>
Projections project(const Record& record, double w) {
    const Tables t(w);
    const BlockMoments whole = blockMoments(t, kBlock);
    const double invHalf = 1.0 / record.halfLength;
    Projections result;
    double padded[kBlock];
    for (int64_t first = 0; first < record.count; first += kBlock) {
        const int64_t length = std::min(kBlock, record.count - first);
        const double* y = record.y + first;
        if (length < kBlock) {
            // Zeros past the end leave the sums as they are.
            std::copy(y, y + length, padded);
            std::fill(padded + length, padded + kBlock, 0.0);
            y = padded;
        }
        Pair c0 = {}, s0 = {}, jc0 = {}, js0 = {}, c1 = {}, s1 = {}, jc1 = {}, js1 = {}, sum = {};
        for (int64_t j = 0; j < kBlock; j += 4) {
            const Pair y0 = loadPair(y + j), y1 = loadPair(y + j + 2);
            if (WithSum) sum += y0 + y1;
            c0 += y0 * loadPair(t.cos + j);
            c1 += y1 * loadPair(t.cos + j + 2);
            s0 += y0 * loadPair(t.sin + j);
            s1 += y1 * loadPair(t.sin + j + 2);
            jc0 += y0 * loadPair(t.jCos + j);
            jc1 += y1 * loadPair(t.jCos + j + 2);
            js0 += y0 * loadPair(t.jSin + j);
            js1 += y1 * loadPair(t.jSin + j + 2);
        }
        const Complex p0 = {total(c0 + c1), total(s0 + s1)};
        const Complex p1 = {total(jc0 + jc1), total(js0 + js1)};
        if (WithSum) result.sumY += total(sum);
        // u = u0 + j, tau = (u0 + j) / halfLength.
        const double u0 = static_cast<double>(first) - record.middle;
        const Complex base = phasorAt(w, u0);
        result.y0 += base * p0;
        result.y1 += invHalf * (base * (u0 * p0 + p1));

        const BlockMoments partial = length < kBlock ? blockMoments(t, length) : BlockMoments();
        const BlockMoments& m = length < kBlock ? partial : whole;
        Complex harmonicBase = base;
        for (int k = 0; k < 2; ++k) {
            result.h[k][0] += harmonicBase * m.m[k][0];
            result.h[k][1] += invHalf * (harmonicBase * (u0 * m.m[k][0] + m.m[k][1]));
            result.h[k][2] +=
                (invHalf * invHalf) * (harmonicBase * ((u0 * u0) * m.m[k][0] + (2.0 * u0) * m.m[k][1] + m.m[k][2]));
            harmonicBase = base * base;
        }
    }
    return result;
}

// The symmetric normal equations of the columns cos(w u), sin(w u), 1 and
// d = tau (b cos(w u) - a sin(w u)) (the model's derivative in the
// frequency, scaled), with their right-hand side.
struct NormalEquations {
    double m[4][4];
    double v[4];
};

NormalEquations normalEquations(const Projections& p, const Record& record, double sumY, double a, double b) {
    const double n = static_cast<double>(record.count);
    // sum tau = 0; sum tau^2 = n (n^2 - 1) / 12 / halfLength^2.
    const double tau2 = n * (n * n - 1.0) / 12.0 / (record.halfLength * record.halfLength);
    const double c = p.h[0][0].re, s = p.h[0][0].im;
    const double cc = 0.5 * (n + p.h[1][0].re), ss = 0.5 * (n - p.h[1][0].re), cs = 0.5 * p.h[1][0].im;
    const double tc = p.h[0][1].re, ts = p.h[0][1].im;
    const double tcc = 0.5 * p.h[1][1].re, tss = -0.5 * p.h[1][1].re, tcs = 0.5 * p.h[1][1].im;
    const double ttcc = 0.5 * (tau2 + p.h[1][2].re), ttss = 0.5 * (tau2 - p.h[1][2].re);
    const double ttcs = 0.5 * p.h[1][2].im;
    const double cd = b * tcc - a * tcs;
    const double sd = b * tcs - a * tss;
    const double d = b * tc - a * ts;
    const double dd = b * b * ttcc - 2.0 * a * b * ttcs + a * a * ttss;
    NormalEquations e = {{{cc, cs, c, cd}, {cs, ss, s, sd}, {c, s, n, d}, {cd, sd, d, dd}},
                         {p.y0.re, p.y0.im, sumY, b * p.y1.re - a * p.y1.im}};
    return e;
}

// Solves the symmetric system m x = v of `size` (3 or 4) unknowns, scaled
// to a unit diagonal first, by elimination with partial pivoting. False
// when it is singular or not finite.
bool solve(const double m[4][4], const double v[4], int size, double x[4]) {
    double scale[4];
    for (int i = 0; i < size; ++i) {
        if (!(m[i][i] > 0) || !std::isfinite(m[i][i])) return false;
        scale[i] = 1.0 / std::sqrt(m[i][i]);
    }
    double a[4][5];
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j) a[i][j] = m[i][j] * scale[i] * scale[j];
        a[i][size] = v[i] * scale[i];
    }
    for (int col = 0; col < size; ++col) {
        int pivot = col;
        for (int r = col + 1; r < size; ++r) {
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        }
        if (!(std::fabs(a[pivot][col]) > 1e-13)) return false;
        if (pivot != col) {
            for (int j = 0; j <= size; ++j) std::swap(a[col][j], a[pivot][j]);
        }
        for (int r = col + 1; r < size; ++r) {
            const double f = a[r][col] / a[col][col];
            for (int j = col; j <= size; ++j) a[r][j] -= f * a[col][j];
        }
    }
    for (int i = size - 1; i >= 0; --i) {
        double value = a[i][size];
        for (int j = i + 1; j < size; ++j) value -= a[i][j] * x[j];
        x[i] = value / a[i][i];
    }
    for (int i = 0; i < size; ++i) {
        x[i] *= scale[i];
        if (!std::isfinite(x[i])) return false;
    }
    return true;
}

// Sum of squared residuals of a cos(w u) + b sin(w u) + offset, taken
// sample by sample (the normal equations would lose it to cancellation).
// Within a block the model is Re(q e^{j w j}) + offset, q = (a - j b) e^{j w u0}.
double residualSquares(const Record& record, double w, double a, double b, double offset) {
    const Tables t(w);
    Pair acc0 = {}, acc1 = {};
    double padded[kBlock];
    for (int64_t first = 0; first < record.count; first += kBlock) {
        const int64_t length = std::min(kBlock, record.count - first);
        const double u0 = static_cast<double>(first) - record.middle;
        const Complex q = Complex{a, -b} * phasorAt(w, u0);
        const double* y = record.y + first;
        if (length < kBlock) {
            // Padded with the model itself, whose residual is 0.
            std::copy(y, y + length, padded);
            for (int64_t j = length; j < kBlock; ++j) padded[j] = q.re * t.cos[j] - q.im * t.sin[j] + offset;
            y = padded;
        }
        const Pair qRe = {q.re, q.re}, qIm = {q.im, q.im}, level = {offset, offset};
        for (int64_t j = 0; j < kBlock; j += 4) {
            const Pair r0 = loadPair(y + j) - (qRe * loadPair(t.cos + j) - qIm * loadPair(t.sin + j) + level);
            const Pair r1 =
                loadPair(y + j + 2) - (qRe * loadPair(t.cos + j + 2) - qIm * loadPair(t.sin + j + 2) + level);
            acc0 += r0 * r0;
            acc1 += r1 * r1;
        }
    }
    return total(acc0 + acc1);
}

}  // namespace

SineFit fitSine(const double* samples, int64_t count, double rateHz, double startFrequencyHz, double fullScaleV) {
    SineFit fit;
    if (!samples || count < 8 || !(rateHz > 0) || !std::isfinite(rateHz) || !(startFrequencyHz > 0) ||
        !(startFrequencyHz < 0.5 * rateHz) || !(fullScaleV > 0) || !std::isfinite(fullScaleV)) {
        return fit;
    }
    const Record record = {samples, count, 0.5 * static_cast<double>(count - 1), 0.5 * static_cast<double>(count)};
    const double n = static_cast<double>(count);

    // w: radians per sample; a, b: the cosine and sine parts at u = 0.
    double w = 2.0 * kPi * startFrequencyHz / rateHz;
    double a = 0, b = 0, offset = 0;
    double sumY = 0;
    double x[4];

    // Three-parameter fit at the start frequency.
    {
        const Projections p = project<true>(record, w);
        // A non-finite sample makes the sum non-finite (as would finite ones
        // summing beyond the double range, which no recording holds).
        sumY = p.sumY;
        if (!std::isfinite(sumY)) return fit;
        const NormalEquations e = normalEquations(p, record, sumY, 0.0, 0.0);
        if (!solve(e.m, e.v, 3, x)) return fit;
        a = x[0];
        b = x[1];
        offset = x[2];
        // Without a tone the frequency column vanishes (a constant, or a
        // tone lost in rounding): there is nothing to iterate on.
        if (!(std::hypot(a, b) > 1e-12 * std::fabs(offset))) return fit;
    }

    // Four-parameter steps: the linear LSQ in a, b, offset and the frequency
    // change around the current estimate.
    bool settled = false;
    int steps = 0;
    while (steps < kMaxSteps) {
        const NormalEquations e = normalEquations(project<false>(record, w), record, sumY, a, b);
        if (!solve(e.m, e.v, 4, x)) break;
        ++steps;
        a = x[0];
        b = x[1];
        offset = x[2];
        // The frequency column is in tau units: the change in w is x[3] / halfLength.
        const double step = x[3] / record.halfLength;
        if (!(w + step > 0) || !(w + step < kPi)) break;  // keeps the last frequency inside
        w += step;
        if (std::fabs(step) * record.halfLength < kSettledPhaseRad) {
            settled = true;
            break;
        }
    }
    fit.iterations = steps;
    fit.converged = settled;
    fit.frequencyHz = w * rateHz / (2.0 * kPi);
    fit.amplitudeV = std::hypot(a, b);
    fit.offsetV = offset;
    // a cos(w u) + b sin(w u) = A cos(w u + phi_c), e^{j phi_c} = (a - j b) / A;
    // sample 0 is at u = -middle.
    const Complex start = Complex{a, -b} * phasorAt(w, -record.middle);
    const double phase = std::atan2(start.im, start.re);
    fit.phaseRad = phase == -kPi ? kPi : phase;
    fit.residualRmsV = std::sqrt(residualSquares(record, w, a, b, offset) / n);
    fit.sinadDb = 20.0 * std::log10(fit.amplitudeV / std::sqrt(2.0) / fit.residualRmsV);
    fit.enob = std::log2(2.0 * fullScaleV / (std::sqrt(12.0) * fit.residualRmsV));
    return fit;
}
