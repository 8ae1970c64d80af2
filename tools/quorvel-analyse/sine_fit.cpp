#include "tools/quorvel-analyse/sine_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kMaxSteps = 40;
constexpr double kSettledPhaseRad = 1e-9;

// Samples whose cosine and sine are generated together: each block starts
// from an exact cosine/sine pair and is rotated by a table of exact
// offsets, so no error builds up from block to block and there is one
// cos/sin call per block, not per sample.
constexpr int64_t kBlock = 256;

// Time is centred on the middle of the record, u = i - (count-1)/2, which
// makes the columns nearly orthogonal; the frequency column is scaled by
// tau = u / (count/2), within [-1, 1].
struct Record {
    const double* y;
    int64_t count;
    double middle;      // (count - 1) / 2
    double halfLength;  // count / 2
};

// Sums of the normal equations for the columns cos(w u), sin(w u), 1 and
// d = tau (b cos(w u) - a sin(w u)), the derivative of the model in the
// frequency (scaled), and of their products with the samples.
struct NormalSums {
    double cc = 0, cs = 0, ss = 0, c = 0, s = 0;
    double cd = 0, sd = 0, d = 0, dd = 0;
    double yc = 0, ys = 0, y = 0, yd = 0;
};

// Lanes of independent partial sums, so that the loop carries no long
// dependency and the compiler can keep them in vector registers.
constexpr int kLanes = 4;

NormalSums accumulate(const Record& record, double w, double a, double b) {
    double rotCos[kBlock], rotSin[kBlock], offsetTau[kBlock];
    const double tauPerSample = 1.0 / record.halfLength;
    for (int64_t j = 0; j < kBlock; ++j) {
        rotCos[j] = std::cos(w * static_cast<double>(j));
        rotSin[j] = std::sin(w * static_cast<double>(j));
        offsetTau[j] = static_cast<double>(j) * tauPerSample;
    }
    double acc[13][kLanes] = {};
    double cv[kBlock + kLanes], sv[kBlock + kLanes], dv[kBlock + kLanes], yv[kBlock + kLanes];
    for (int64_t first = 0; first < record.count; first += kBlock) {
        const int64_t length = std::min(kBlock, record.count - first);
        const double u0 = static_cast<double>(first) - record.middle;
        const double baseCos = std::cos(w * u0);
        const double baseSin = std::sin(w * u0);
        const double tau0 = u0 * tauPerSample;
        const double* in = record.y + first;
        for (int64_t j = 0; j < length; ++j) {
            const double c = baseCos * rotCos[j] - baseSin * rotSin[j];
            const double s = baseSin * rotCos[j] + baseCos * rotSin[j];
            cv[j] = c;
            sv[j] = s;
            dv[j] = (tau0 + offsetTau[j]) * (b * c - a * s);
            yv[j] = in[j];
        }
        // Zeros past the end make the last group of lanes whole.
        const int64_t padded = (length + kLanes - 1) / kLanes * kLanes;
        for (int64_t j = length; j < padded; ++j) cv[j] = sv[j] = dv[j] = yv[j] = 0.0;
        for (int64_t j = 0; j < padded; j += kLanes) {
            for (int l = 0; l < kLanes; ++l) {
                const double c = cv[j + l], s = sv[j + l], d = dv[j + l], y = yv[j + l];
                acc[0][l] += c * c;
                acc[1][l] += c * s;
                acc[2][l] += s * s;
                acc[3][l] += c;
                acc[4][l] += s;
                acc[5][l] += c * d;
                acc[6][l] += s * d;
                acc[7][l] += d;
                acc[8][l] += d * d;
                acc[9][l] += y * c;
                acc[10][l] += y * s;
                acc[11][l] += y;
                acc[12][l] += y * d;
            }
        }
    }
    double total[13];
    for (int k = 0; k < 13; ++k) {
        total[k] = 0;
        for (int l = 0; l < kLanes; ++l) total[k] += acc[k][l];
    }
    NormalSums sums;
    sums.cc = total[0]; sums.cs = total[1]; sums.ss = total[2]; sums.c = total[3]; sums.s = total[4];
    sums.cd = total[5]; sums.sd = total[6]; sums.d = total[7]; sums.dd = total[8];
    sums.yc = total[9]; sums.ys = total[10]; sums.y = total[11]; sums.yd = total[12];
    return sums;
}

// Solves the symmetric system m x = v of `size` (3 or 4) unknowns, scaled
// to a unit diagonal first, by elimination with partial pivoting. False
// when it is singular or not finite.
bool solve(double m[4][4], double v[4], int size, double x[4]) {
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

// Sum of squared residuals of a cos(w u) + b sin(w u) + offset.
double residualSquares(const Record& record, double w, double a, double b, double offset) {
    double rotCos[kBlock], rotSin[kBlock];
    for (int64_t j = 0; j < kBlock; ++j) {
        rotCos[j] = std::cos(w * static_cast<double>(j));
        rotSin[j] = std::sin(w * static_cast<double>(j));
    }
    double acc[kLanes] = {};
    double rv[kBlock + kLanes];
    for (int64_t first = 0; first < record.count; first += kBlock) {
        const int64_t length = std::min(kBlock, record.count - first);
        const double u0 = static_cast<double>(first) - record.middle;
        const double baseCos = std::cos(w * u0);
        const double baseSin = std::sin(w * u0);
        const double* in = record.y + first;
        for (int64_t j = 0; j < length; ++j) {
            const double c = baseCos * rotCos[j] - baseSin * rotSin[j];
            const double s = baseSin * rotCos[j] + baseCos * rotSin[j];
            rv[j] = in[j] - (a * c + b * s + offset);
        }
        const int64_t padded = (length + kLanes - 1) / kLanes * kLanes;
        for (int64_t j = length; j < padded; ++j) rv[j] = 0.0;
        for (int64_t j = 0; j < padded; j += kLanes) {
            for (int l = 0; l < kLanes; ++l) acc[l] += rv[j + l] * rv[j + l];
        }
    }
    double total = 0;
    for (int l = 0; l < kLanes; ++l) total += acc[l];
    return total;
}

}  // namespace

SineFit fitSine(const double* samples, int64_t count, double rateHz, double startFrequencyHz,
                double fullScaleV) {
    SineFit fit;
    if (!samples || count < 8 || !(rateHz > 0) || !std::isfinite(rateHz) || !(startFrequencyHz > 0) ||
        !(startFrequencyHz < 0.5 * rateHz) || !(fullScaleV > 0) || !std::isfinite(fullScaleV)) {
        return fit;
    }
    for (int64_t i = 0; i < count; ++i) {
        if (!std::isfinite(samples[i])) return fit;
    }
    const Record record = {samples, count, 0.5 * static_cast<double>(count - 1), 0.5 * static_cast<double>(count)};
    const double n = static_cast<double>(count);

    // w: radians per sample; a, b: the cosine and sine parts at u = 0.
    double w = 2.0 * kPi * startFrequencyHz / rateHz;
    double a = 0, b = 0, offset = 0;
    double m[4][4], v[4], x[4];

    // Three-parameter fit at the start frequency.
    {
        const NormalSums s = accumulate(record, w, 0.0, 0.0);
        double m3[4][4] = {{s.cc, s.cs, s.c, 0}, {s.cs, s.ss, s.s, 0}, {s.c, s.s, n, 0}, {0, 0, 0, 0}};
        double v3[4] = {s.yc, s.ys, s.y, 0};
        if (!solve(m3, v3, 3, x)) return fit;
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
        const NormalSums s = accumulate(record, w, a, b);
        const double rows[4][4] = {{s.cc, s.cs, s.c, s.cd},
                                   {s.cs, s.ss, s.s, s.sd},
                                   {s.c, s.s, n, s.d},
                                   {s.cd, s.sd, s.d, s.dd}};
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) m[i][j] = rows[i][j];
        }
        v[0] = s.yc;
        v[1] = s.ys;
        v[2] = s.y;
        v[3] = s.yd;
        if (!solve(m, v, 4, x)) break;
        ++steps;
        a = x[0];
        b = x[1];
        offset = x[2];
        // The frequency column is in tau units: the change in w is x[3] / halfLength.
        const double step = x[3] / record.halfLength;
        w += step;
        if (!(w > 0) || !(w < kPi)) break;
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
    // a cos(w u) + b sin(w u) = A cos(w u + phi_c), phi_c = atan2(-b, a); at
    // sample 0, u = -middle.
    double phase = std::remainder(std::atan2(-b, a) - w * record.middle, 2.0 * kPi);
    if (phase <= -kPi) phase += 2.0 * kPi;
    fit.phaseRad = phase;
    fit.residualRmsV = std::sqrt(residualSquares(record, w, a, b, offset) / n);
    fit.sinadDb = 20.0 * std::log10(fit.amplitudeV / std::sqrt(2.0) / fit.residualRmsV);
    fit.enob = std::log2(2.0 * fullScaleV / (std::sqrt(12.0) * fit.residualRmsV));
    return fit;
}
