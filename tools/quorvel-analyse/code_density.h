#pragma once
// Code-density (histogram) test of a B-bit converter, IEEE 1241's sine-wave
// histogram test, 1 <= B <= 24.
//
// A sample v (volts) has the code round(v / fullScaleV x 2^(B-1)) (halves
// away from zero), clamped to -2^(B-1) ... 2^(B-1) - 1. The histogram counts
// the codes of all the samples added; the analysis takes the transition
// levels from its cumulative histogram through the arcsine law of a sine
// that overdrives the converter slightly.
#include <cstdint>
#include <string>
#include <vector>

class CodeHistogram {
public:
    // A bit count outside 1..24 is taken as the nearest of them; a full
    // scale that is not a finite number above 0 counts every finite sample
    // into code 0.
    CodeHistogram(int32_t bits, double fullScaleV);

    // `count` values read at values[0], values[stride], values[2 stride], ...
    // (stride >= 1; a count <= 0 adds nothing). Non-finite values are skipped
    // and counted in skipped().
    void add(const float* values, int64_t count, int64_t stride = 1);
    void add(const double* values, int64_t count, int64_t stride = 1);
    // Adds the counts of a histogram of the same bits and full scale; one of
    // another kind is not merged and false is returned.
    bool merge(const CodeHistogram& other);

    int32_t bits() const { return bits_; }
    double fullScaleV() const { return fullScaleV_; }
    int32_t firstCode() const { return -(1 << (bits_ - 1)); }        // -2^(B-1)
    int32_t codeCount() const { return 1 << bits_; }                 // 2^B
    const std::vector<uint64_t>& counts() const { return counts_; }  // [i]: code firstCode() + i
    uint64_t total() const { return total_; }                        // samples counted
    uint64_t skipped() const { return skipped_; }                    // non-finite samples left out

private:
    template <class T>
    void addValues(const T* values, int64_t count, int64_t stride);

    int32_t bits_;
    double fullScaleV_;
    double codesPerVolt_;  // 2^(B-1) / fullScaleV, 0 for a bad full scale
    std::vector<uint64_t> counts_;
    uint64_t total_ = 0;
    uint64_t skipped_ = 0;
};

struct CodeDensity {
    bool usable = false;
    // When not usable: why, in a phrase the caller can put after a channel's
    // name ("no samples", or that the signal does not reach both end codes
    // and a slightly overdriven sine is needed).
    std::string refusal;
    // Per code, index i for code firstCode + i (2^B entries). dnlLsb: the
    // code's width in LSB minus 1, NaN for the two end codes. inlLsb: the
    // deviation of the code's lower transition level (between codes i-1 and
    // i) from the terminal line, in LSB, for i = 1 .. 2^B - 1; NaN at i = 0.
    // The LSB and the line come from the first and last transition levels
    // (terminal-based), so inlLsb is 0 at both of them.
    std::vector<double> dnlLsb;
    std::vector<double> inlLsb;
    double dnlMinLsb = 0, dnlMaxLsb = 0, inlMinLsb = 0, inlMaxLsb = 0;
    std::vector<int32_t> missingCodes;  // signed codes with no hit between the end codes, ascending
};

// Transition levels from the cumulative histogram CH (samples below the
// level) of `total` samples: T[k] = C - A cos(pi CH[k] / total), A and C
// being the sine's amplitude and offset, which the terminal-based figures
// do not need. The two end codes gather the overdrive and give no width.
// With B = 1 there is no code between the end codes: usable, the DNL all
// NaN and the INL 0 at the one transition level.
CodeDensity analyseCodeDensity(const CodeHistogram& histogram);

// The phrase of a refusal for a signal that does not reach both end codes.
extern const char* const kCodeDensityNeedsOverdrive;
