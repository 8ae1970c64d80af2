#pragma once
// IEEE 1241 four-parameter least-squares sine fit.
//
// The model is A cos(2 pi f t + phi) + C with t = i / rate for sample i
// (volts, Hz, radians). The fit starts from a frequency given by the caller
// (the spectrum's tone): a three-parameter linear fit at that frequency gives
// the starting amplitude, phase and offset, then the four-parameter fit is
// linearised in the frequency and iterated (Gauss-Newton on the columns cos,
// sin, 1 and the derivative in the frequency) until the frequency settles.
#include <cstdint>

struct SineFit {
    bool converged = false;  // the iteration settled (see fitSine)
    int32_t iterations = 0;  // four-parameter steps taken
    double frequencyHz = 0, amplitudeV = 0, phaseRad = 0, offsetV = 0;
    double residualRmsV = 0;  // RMS of the samples minus the fitted sine, V
    double sinadDb = 0;       // 20 log10((amplitude / sqrt 2) / residual RMS)
    double enob = 0;          // log2(FSR / (sqrt 12 residual RMS)), FSR = 2 fullScaleV
};

// Fits `count` samples (volts) taken at `rateHz`, starting from
// `startFrequencyHz`. The phase is that of sample 0, in (-pi, pi]; the
// amplitude is >= 0. The iteration has settled when a step moves the fitted
// sine's phase at the ends of the record by less than 1e-5 rad: the steps
// shrink quadratically near the optimum, so what is left after it is of the
// order of 1e-10 rad (a relative frequency error of about 1e-13 for a tone
// of a hundred cycles). It stops after 40 steps otherwise, with converged =
// false and the last estimates.
// A step that would take the frequency out of (0, rate/2) ends it too,
// unconverged, with the frequency before that step.
// Refused (converged = false, everything 0): fewer than 8 samples, a rate
// that is not a finite number above 0, a start frequency not in (0, rate/2),
// a full scale that is not a finite number above 0, non-finite samples, a
// record without a tone (a constant: the three-parameter fit finds no
// amplitude).
// With a residual of exactly 0, sinadDb and enob are +infinity.
SineFit fitSine(const double* samples, int64_t count, double rateHz, double startFrequencyHz, double fullScaleV);
