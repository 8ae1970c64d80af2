#pragma once
// Inside the real FFT: which implementation runs. The AVX one is chosen at
// run time when the processor has it; tests select each in turn.
#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#define QUORVEL_FFT_HAVE_AVX 1
#else
#define QUORVEL_FFT_HAVE_AVX 0
#endif

namespace fft_detail {

enum class FftKernel { Portable, Avx };

// Whether this processor and build can run the kernel.
bool fftKernelAvailable(FftKernel kernel);
// Selects the kernel for the following transforms (an unavailable one falls
// back to the portable code) and returns the one selected before.
FftKernel selectFftKernel(FftKernel kernel);

#if QUORVEL_FFT_HAVE_AVX
// The complex FFT without a table; false (nothing done) when m is below 256.
bool avxComplexFft(double* points, uint32_t m, int inverse);
// The split step without a table.
void avxRealFftSplit(double* data, uint32_t m, int inverse);
#endif

}  // namespace fft_detail
