// The real and complex FFTs against a direct DFT evaluated in long double,
// for every kernel this processor can run.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include "analysis/real_fft.h"
#include "analysis/real_fft_kernels.h"

namespace {

using fft_detail::FftKernel;
using LComplex = std::complex<long double>;
constexpr long double kTwoPi = 6.283185307179586476925286766559L;

std::vector<FftKernel> availableKernels() {
    std::vector<FftKernel> kernels;
    for (FftKernel k : {FftKernel::Portable, FftKernel::Avx})
        if (fft_detail::fftKernelAvailable(k)) kernels.push_back(k);
    return kernels;
}

const char* kernelName(FftKernel k) { return k == FftKernel::Avx ? "avx" : "portable"; }

// Runs the test body once per kernel, naming the kernel on failure.
class FftKernels : public ::testing::Test {
protected:
    template <typename Body>
    void forEachKernel(Body body) {
        for (FftKernel k : availableKernels()) {
            SCOPED_TRACE(kernelName(k));
            const FftKernel before = fft_detail::selectFftKernel(k);
            body();
            fft_detail::selectFftKernel(before);
        }
    }
};

// e^(sign 2 pi i t/n) for t = 0..n-1.
std::vector<LComplex> roots(size_t n, int sign) {
    std::vector<LComplex> r(n);
    for (size_t t = 0; t < n; ++t) {
        const long double a = kTwoPi * (long double)t / (long double)n;
        r[t] = LComplex(std::cos(a), sign * std::sin(a));
    }
    return r;
}

// Bin k of the DFT of x with the given roots.
LComplex dftBin(const std::vector<LComplex>& x, const std::vector<LComplex>& r, size_t k) {
    const size_t n = x.size();
    LComplex sum = 0;
    for (size_t j = 0; j < n; ++j) sum += x[j] * r[(j * k) % n];
    return sum;
}

std::vector<double> randomSamples(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(n);
    for (double& v : x) v = dist(gen);
    return x;
}

// The packed forward spectrum of real samples, by the direct DFT.
std::vector<long double> packedSpectrum(const std::vector<double>& samples) {
    const size_t n = samples.size();
    const auto r = roots(n, -1);
    std::vector<LComplex> x(samples.begin(), samples.end());
    std::vector<long double> out(n);
    out[0] = dftBin(x, r, 0).real();
    out[1] = dftBin(x, r, n / 2).real();
    for (size_t k = 1; k < n / 2; ++k) {
        const LComplex X = dftBin(x, r, k);
        out[2 * k] = X.real();
        out[2 * k + 1] = X.imag();
    }
    return out;
}

// ||got - want|| / ||want||.
template <typename A, typename B>
double relativeError(const A& got, const B& want) {
    long double diff = 0, norm = 0;
    for (size_t i = 0; i < want.size(); ++i) {
        const long double d = (long double)got[i] - (long double)want[i];
        diff += d * d;
        norm += (long double)want[i] * want[i];
    }
    return double(std::sqrt(diff / norm));
}

// A twiddle table of the real length n, signed for the direction.
std::vector<double> twiddleTable(size_t n, int inverse) {
    std::vector<double> table(n);
    for (size_t t = 0; t < n / 2; ++t) {
        const long double a = kTwoPi * (long double)t / (long double)n;
        table[2 * t] = double(std::cos(a));
        table[2 * t + 1] = double((inverse ? 1 : -1) * std::sin(a));
    }
    return table;
}

// Relative L2 error allowed for one transform of n real samples. The split
// step advances one twiddle recurrence over n/4 steps, and each step may
// change its magnitude by about one rounding, so the bound grows with n.
double tolerance(size_t n) { return 2e-14 + 1e-15 * double(n / 4); }

TEST_F(FftKernels, ForwardMatchesDirectDftForEveryLength) {
    forEachKernel([] {
        for (uint32_t n = 32; n <= 8192; n *= 2) {
            SCOPED_TRACE("n = " + std::to_string(n));
            const auto samples = randomSamples(n, n);
            const auto want = packedSpectrum(samples);
            for (int withTable = 0; withTable < 2; ++withTable) {
                SCOPED_TRACE(withTable ? "with table" : "without table");
                auto data = samples;
                const auto table = twiddleTable(n, 0);
                realFft(data.data(), n, 0, withTable ? table.data() : nullptr);
                EXPECT_LT(relativeError(data, want), tolerance(n));
            }
        }
    });
}

TEST_F(FftKernels, InverseOfThePackedSpectrumGivesTheSamplesTimesHalfTheLength) {
    forEachKernel([] {
        for (uint32_t n = 32; n <= 8192; n *= 2) {
            SCOPED_TRACE("n = " + std::to_string(n));
            const auto samples = randomSamples(n, 7 * n);
            const auto spectrum = packedSpectrum(samples);
            std::vector<double> want(n);
            for (size_t i = 0; i < n; ++i) want[i] = samples[i] * (n / 2);
            for (int withTable = 0; withTable < 2; ++withTable) {
                SCOPED_TRACE(withTable ? "with table" : "without table");
                std::vector<double> data(spectrum.begin(), spectrum.end());
                const auto table = twiddleTable(n, 1);
                realFft(data.data(), n, 1, withTable ? table.data() : nullptr);
                EXPECT_LT(relativeError(data, want), tolerance(n));
            }
        }
    });
}

TEST_F(FftKernels, ComplexFftMatchesDirectDftInBothDirections) {
    forEachKernel([] {
        for (uint32_t m = 16; m <= 4096; m *= 2) {
            for (int inverse = 0; inverse < 2; ++inverse) {
                SCOPED_TRACE("m = " + std::to_string(m) + (inverse ? " inverse" : " forward"));
                const auto raw = randomSamples(2 * m, 3 * m + inverse);
                std::vector<LComplex> x(m);
                for (size_t i = 0; i < m; ++i) x[i] = LComplex(raw[2 * i], raw[2 * i + 1]);
                const auto r = roots(m, inverse ? 1 : -1);
                std::vector<long double> want(2 * m);
                for (size_t k = 0; k < m; ++k) {
                    const LComplex X = dftBin(x, r, k);
                    want[2 * k] = X.real();
                    want[2 * k + 1] = X.imag();
                }
                auto data = raw;
                complexFft(data.data(), m, inverse, nullptr);
                EXPECT_LT(relativeError(data, want), 2e-14);
            }
        }
    });
}

// Signals whose spectra are known exactly.
TEST_F(FftKernels, KnownSpectra) {
    forEachKernel([] {
        for (uint32_t n : {32u, 4096u}) {
            struct Case {
                std::string name;
                std::vector<double> samples;
                std::vector<double> want;
            };
            std::vector<Case> cases;
            auto zeros = [n] { return std::vector<double>(n, 0.0); };
            {
                Case c{"all ones", std::vector<double>(n, 1.0), zeros()};
                c.want[0] = n;
                cases.push_back(c);
            }
            {
                Case c{"alternating", zeros(), zeros()};
                for (size_t j = 0; j < n; ++j) c.samples[j] = (j % 2) ? -1.0 : 1.0;
                c.want[1] = n;
                cases.push_back(c);
            }
            for (uint32_t k : {1u, 3u, n / 4, n / 2 - 1}) {
                Case cs{"cos k=" + std::to_string(k), zeros(), zeros()};
                Case sn{"sin k=" + std::to_string(k), zeros(), zeros()};
                for (size_t j = 0; j < n; ++j) {
                    const long double a = kTwoPi * (long double)((j * k) % n) / n;
                    cs.samples[j] = double(std::cos(a));
                    sn.samples[j] = double(std::sin(a));
                }
                cs.want[2 * k] = n / 2.0;
                sn.want[2 * k + 1] = -(n / 2.0);
                cases.push_back(cs);
                cases.push_back(sn);
            }
            for (auto& c : cases) {
                SCOPED_TRACE(c.name + ", n = " + std::to_string(n));
                realFft(c.samples.data(), n, 0, nullptr);
                for (size_t i = 0; i < n; ++i) ASSERT_NEAR(c.samples[i], c.want[i], 1e-11 * n) << "at " << i;
            }
        }
    });
}

// Lengths too large for a full direct DFT: selected bins against direct sums,
// and the round trip.
TEST_F(FftKernels, LargeLengthsSpotChecked) {
    forEachKernel([] {
        for (uint32_t n : {1u << 16, 1u << 20}) {
            SCOPED_TRACE("n = " + std::to_string(n));
            const auto samples = randomSamples(n, 11);
            const auto r = roots(n, -1);
            const std::vector<LComplex> x(samples.begin(), samples.end());
            auto data = samples;
            realFft(data.data(), n, 0, nullptr);
            long double rms = 0;
            for (double v : samples) rms += (long double)v * v;
            const double scale = double(std::sqrt(rms * n));  // typical bin magnitude
            std::mt19937 gen(5);
            for (int i = 0; i < 12; ++i) {
                const size_t k = 1 + gen() % (n / 2 - 1);
                const LComplex want = dftBin(x, r, k);
                EXPECT_NEAR(data[2 * k], double(want.real()), tolerance(n) * scale) << "bin " << k;
                EXPECT_NEAR(data[2 * k + 1], double(want.imag()), tolerance(n) * scale) << "bin " << k;
            }
            realFft(data.data(), n, 1, nullptr);
            std::vector<double> want(n);
            for (size_t i = 0; i < n; ++i) want[i] = samples[i] * (n / 2);
            EXPECT_LT(relativeError(data, want), 2 * tolerance(n));
        }
    });
}

}  // namespace
