#include "tools/quorvel-analyse/code_density.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

const char* const kCodeDensityNeedsOverdrive =
    "the signal does not reach both end codes: the histogram test needs a slightly overdriven sine";

namespace {

constexpr double kPi = 3.141592653589793;

// Two doubles, and two 64-bit integers, in one SSE2 register (GCC and Clang
// vector extensions): the compiler does not turn the branches of a clamp
// on doubles into min and max by itself.
typedef double Doubles __attribute__((vector_size(16)));
typedef int64_t Integers __attribute__((vector_size(16)));

int32_t clampBits(int32_t bits) { return bits < 1 ? 1 : (bits > 24 ? 24 : bits); }

}  // namespace

CodeHistogram::CodeHistogram(int32_t bits, double fullScaleV)
    : bits_(clampBits(bits)),
      fullScaleV_(fullScaleV),
      codesPerVolt_(fullScaleV > 0 && std::isfinite(fullScaleV) ? std::ldexp(1.0, bits_ - 1) / fullScaleV : 0.0),
      counts_(static_cast<size_t>(1) << bits_, 0) {}

// Values are taken a block at a time: copied out (to doubles, contiguous),
// turned into table indices two at a time in vector registers without a
// branch, then counted. Rounding: adding and taking away 1.5 x 2^52 rounds
// a double of magnitude below 2^51 to an integer, halves to even (the
// processor's rounding); a half that went towards zero is then moved one
// away from it. The sum with 1.5 x 2^52 holds the integer in its low bits,
// so the table index is read from its bits, without a conversion. A
// non-finite value is counted as 0 into code 0's slot.
template <class T>
void CodeHistogram::addValues(const T* values, int64_t count, int64_t stride) {
    if (!values || count <= 0) return;
    if (stride < 1) stride = 1;
    constexpr int64_t kBlock = 2048;
    constexpr double kRounder = 6755399441055744.0;  // 1.5 x 2^52
    double x[kBlock + 1];
    int64_t index[kBlock + 1];
    int64_t weight[kBlock + 1];
    const Doubles lowest = {double(firstCode()), double(firstCode())};
    const Doubles highest = -lowest - 1.0;
    const Doubles zero = {0.0, 0.0}, half = {0.5, 0.5}, one = {1.0, 1.0};
    const Doubles rounder = {kRounder, kRounder};
    const Doubles offset = -lowest;
    Integers rounderBits;
    std::memcpy(&rounderBits, &rounder, sizeof rounderBits);
    // Times 2^(B-1)/FS: for a full scale that is a power of two this is
    // v / FS x 2^(B-1) exactly; otherwise it can differ only for values
    // within an ulp of half a code, which float32 volts do not resolve.
    const Doubles scale = {codesPerVolt_, codesPerVolt_};
    uint64_t* table = counts_.data();
    uint64_t finiteTotal = 0;
    for (int64_t first = 0; first < count; first += kBlock) {
        const int64_t length = std::min(kBlock, count - first);
        const T* in = values + first * stride;
        if (stride == 1) {
            for (int64_t j = 0; j < length; ++j) x[j] = static_cast<double>(in[j]);
        } else {
            for (int64_t j = 0; j < length; ++j) x[j] = static_cast<double>(in[j * stride]);
        }
        // An odd length is padded with a NaN, which counts nothing.
        if (length % 2) x[length] = std::numeric_limits<double>::quiet_NaN();
        Integers counted = {0, 0};
        for (int64_t j = 0; j < length; j += 2) {
            Doubles v;
            std::memcpy(&v, x + j, sizeof v);
            const Integers finite = v - v == 0.0;  // all ones or 0
            Doubles code = v * scale;
            code = finite ? code : zero;
            code = code < lowest ? lowest : code;
            code = code > highest ? highest : code;
            const Doubles even = (code + rounder) - rounder;
            const Doubles fraction = code - even;
            const Integers up = (fraction == half) & (code > zero);
            const Integers down = (fraction == -half) & (code < zero);
            Doubles rounded = even + (up ? one : zero) - (down ? one : zero);
            rounded = (rounded + offset) + rounder;
            Integers bits;
            std::memcpy(&bits, &rounded, sizeof bits);
            bits -= rounderBits;
            std::memcpy(index + j, &bits, sizeof bits);
            const Integers counts = -finite;
            std::memcpy(weight + j, &counts, sizeof counts);
            counted += counts;
        }
        for (int64_t j = 0; j < length; ++j) table[index[j]] += static_cast<uint64_t>(weight[j]);
        finiteTotal += static_cast<uint64_t>(counted[0] + counted[1]);
    }
    total_ += finiteTotal;
    skipped_ += static_cast<uint64_t>(count) - finiteTotal;
}

void CodeHistogram::add(const float* values, int64_t count, int64_t stride) { addValues(values, count, stride); }
void CodeHistogram::add(const double* values, int64_t count, int64_t stride) { addValues(values, count, stride); }

bool CodeHistogram::merge(const CodeHistogram& other) {
    if (other.bits_ != bits_ ||
        !(other.fullScaleV_ == fullScaleV_ || (other.codesPerVolt_ == 0 && codesPerVolt_ == 0))) {
        return false;
    }
    for (size_t i = 0; i < counts_.size(); ++i) counts_[i] += other.counts_[i];
    total_ += other.total_;
    skipped_ += other.skipped_;
    return true;
}

namespace {

// T(b) - T(a) for the levels below which CHa and CHb of `total` samples lie,
// in units of the sine's amplitude: cos(pi pa) - cos(pi pb) written as
// 2 sin(pi (pa + pb) / 2) sin(pi (pb - pa) / 2), which keeps its precision
// near the ends of the range where both cosines are close to -1 or 1.
double levelDifference(uint64_t cumulativeA, uint64_t cumulativeB, double total) {
    const double sum = static_cast<double>(cumulativeA + cumulativeB);
    const double difference = static_cast<double>(cumulativeB) - static_cast<double>(cumulativeA);
    return 2.0 * std::sin(0.5 * kPi * sum / total) * std::sin(0.5 * kPi * difference / total);
}

}  // namespace

CodeDensity analyseCodeDensity(const CodeHistogram& histogram) {
    CodeDensity result;
    const std::vector<uint64_t>& counts = histogram.counts();
    const int32_t codes = histogram.codeCount();
    if (histogram.total() == 0) {
        result.refusal = "no samples";
        return result;
    }
    if (counts.front() == 0 || counts.back() == 0) {
        result.refusal = kCodeDensityNeedsOverdrive;
        return result;
    }
    const double total = static_cast<double>(histogram.total());
    // cumulative[k]: samples below transition level k (between codes k-1
    // and k), k = 1 .. codes-1.
    std::vector<uint64_t> cumulative(static_cast<size_t>(codes), 0);
    for (int32_t k = 1; k < codes; ++k) cumulative[k] = cumulative[k - 1] + counts[k - 1];
    const uint64_t first = cumulative[1];
    const uint64_t last = cumulative[codes - 1];

    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (codes == 2) {
        result.usable = true;
        result.dnlLsb.assign(2, nan);
        result.inlLsb = {nan, 0.0};
        return result;
    }
    if (first == last) {
        result.refusal = "no samples between the end codes: the histogram test needs a slightly overdriven sine";
        return result;
    }
    // Terminal-based: the first and last transition levels span codes-2 LSB.
    const double lsb = levelDifference(first, last, total) / (codes - 2);
    result.usable = true;
    result.dnlLsb.assign(static_cast<size_t>(codes), nan);
    result.inlLsb.assign(static_cast<size_t>(codes), nan);
    double dnlMin = std::numeric_limits<double>::infinity(), dnlMax = -dnlMin;
    double inlMin = dnlMin, inlMax = -dnlMin;
    for (int32_t k = 1; k < codes; ++k) {
        const double inl =
            k == 1 || k == codes - 1 ? 0.0 : levelDifference(first, cumulative[k], total) / lsb - (k - 1);
        result.inlLsb[k] = inl;
        inlMin = std::min(inlMin, inl);
        inlMax = std::max(inlMax, inl);
        if (k == codes - 1) break;
        const double dnl = levelDifference(cumulative[k], cumulative[k + 1], total) / lsb - 1.0;
        result.dnlLsb[k] = dnl;
        dnlMin = std::min(dnlMin, dnl);
        dnlMax = std::max(dnlMax, dnl);
        if (counts[k] == 0) result.missingCodes.push_back(histogram.firstCode() + k);
    }
    result.dnlMinLsb = dnlMin;
    result.dnlMaxLsb = dnlMax;
    result.inlMinLsb = inlMin;
    result.inlMaxLsb = inlMax;
    return result;
}
