#pragma once
// In-place radix-2 FFTs on doubles. Nothing is allocated and nothing is
// checked: the caller hands a valid buffer and a power-of-two length.
//
// Spectrum packing of a forward realFft of n samples, X[k] = sum x[j] e^(-2 pi i jk/n),
// unscaled:
//   data[0]           X[0], the DC term (real)
//   data[1]           X[n/2], the Nyquist term (real)
//   data[2k], [2k+1]  real and imaginary part of X[k], 1 <= k < n/2
// Neither direction scales: forward then inverse gives the samples times n/2.
//
// Twiddle table (optional, may be null): n/2 complex entries for a real length
// n, entry t = (cos 2 pi t/n, -sin 2 pi t/n) for a forward transform and
// (cos 2 pi t/n, +sin 2 pi t/n) for an inverse one. Without a table the
// twiddles come from one cosine/sine pair per run of 16 and complex
// multiplications, so their drift is bounded to 15 steps.
#include <cstdint>

// n real samples (n a power of two, n >= 32) in place; inverse = 0 forward.
void realFft(double* data, uint32_t n, int inverse, const double* table);

// m complex points (re, im interleaved; m a power of two, m >= 16) in place.
// The table, when given, is that of the real length 2m.
void complexFft(double* points, uint32_t m, int inverse, const double* table);

// The step between the half-length complex FFT and the real spectrum, on m
// complex points (the table, when given, is that of the real length 2m).
void realFftSplit(double* data, uint32_t m, int inverse, const double* table);
