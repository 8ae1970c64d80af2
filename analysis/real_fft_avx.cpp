// The transforms of real_fft.cpp with AVX: two complex points per register.
// This file is compiled with -mavx and entered only when the processor has
// AVX (see real_fft.cpp). The arithmetic is that of the portable code: every
// butterfly is t = w*b; b = a - t; a = a + t on doubles, the twiddles of the
// later stages come in runs of 16 from one cosine/sine pair and complex
// multiplications, and the split step runs one recurrence. What differs:
//   - the bit reversal is done tile by tile through a 16 x 16 buffer, and the
//     first four stages run on each group of 16 points straight from that
//     buffer, so together they take one pass over the data;
//   - the later stages run three at a time (groups of 8 segments), so each
//     pass over the data does three stages; above 2^18 points, the stages
//     within blocks of 2^18 points run block by block first;
//   - within a pass the twiddles of a chunk of runs are formed once into a
//     small buffer and applied to every group of the pass; the runs a quarter
//     circle on are the formed ones turned by -+i, which is exact;
//   - cosines and sines come from a polynomial on [0, pi/4] and the exact
//     symmetries of the circle, within an ulp or so of the library's;
//   - the split step's one recurrence covers k = 1 .. m/4; the twiddles of
//     m/2 - k are those of k with parts swapped, which is exact.
#include "analysis/real_fft_kernels.h"

#if QUORVEL_FFT_HAVE_AVX

#include <immintrin.h>

#include <cstddef>
#include <utility>

namespace fft_detail {
namespace {

using V = __m256d;

constexpr double kPi = 3.14159265358979323846;
constexpr double kSqrtHalf = 0.7071067811865476;

// Twiddles in registers: wr = [wr0, wr0, wr1, wr1], wi = [wi0, wi0, wi1, wi1].
struct Twiddle {
    V wr, wi;
};

// t = w * b for two complex points at once.
inline V cmul(V b, V wr, V wi) {
    const V swapped = _mm256_permute_pd(b, 0x5);  // [bi0, br0, bi1, br1]
    return _mm256_addsub_pd(_mm256_mul_pd(b, wr), _mm256_mul_pd(swapped, wi));
}

inline void butterfly(V& a, V& b, V wr, V wi) {
    const V t = cmul(b, wr, wi);
    b = _mm256_sub_pd(a, t);
    a = _mm256_add_pd(a, t);
}

inline void butterflyUnit(V& a, V& b) {
    const V t = b;
    b = _mm256_sub_pd(a, t);
    a = _mm256_add_pd(a, t);
}

// Butterfly with w = -i (forward) or +i (inverse): t = w*b is a swap and one
// sign change; negMask holds -0.0 in the slot to negate.
inline void butterflyQuarter(V& a, V& b, V negMask) {
    const V t = _mm256_xor_pd(_mm256_permute_pd(b, 0x5), negMask);
    b = _mm256_sub_pd(a, t);
    a = _mm256_add_pd(a, t);
}

inline Twiddle splat(double re, double im) { return {_mm256_set1_pd(re), _mm256_set1_pd(im)}; }

// The sign mask that, after swapping the parts, multiplies by w = -i (forward,
// sign -1: -i*b = (bi, -br)) or +i (inverse: +i*b = (-bi, br)).
inline V quarterTurnMask(double sign) {
    return sign < 0 ? _mm256_setr_pd(0.0, -0.0, 0.0, -0.0) : _mm256_setr_pd(-0.0, 0.0, -0.0, 0.0);
}

// sin and cos of four angles in [0, pi/4] from their Taylor series up to the
// 17th and 16th power; the first term left out is below 1e-18 there, so the
// results are as close as the rounding of the products allows.
inline void sinCos4(V a, V& sn, V& cs) {
    static const double sinTerms[9] = {1.0,
                                       -0.16666666666666666,
                                       0.008333333333333333,
                                       -0.0001984126984126984,
                                       2.7557319223985893e-06,
                                       -2.505210838544172e-08,
                                       1.6059043836821613e-10,
                                       -7.647163731819816e-13,
                                       2.8114572543455206e-15};
    static const double cosTerms[9] = {1.0,
                                       -0.5,
                                       0.041666666666666664,
                                       -0.001388888888888889,
                                       2.48015873015873e-05,
                                       -2.755731922398589e-07,
                                       2.08767569878681e-09,
                                       -1.1470745597729725e-11,
                                       4.779477332387385e-14};
    const V a2 = _mm256_mul_pd(a, a);
    V ps = _mm256_set1_pd(sinTerms[8]), pc = _mm256_set1_pd(cosTerms[8]);
    for (int k = 7; k >= 0; --k) {
        ps = _mm256_add_pd(_mm256_mul_pd(ps, a2), _mm256_set1_pd(sinTerms[k]));
        pc = _mm256_add_pd(_mm256_mul_pd(pc, a2), _mm256_set1_pd(cosTerms[k]));
    }
    sn = _mm256_mul_pd(ps, a);
    cs = pc;
}

// sin and cos of one angle in [0, pi/4].
inline void sinCos(double a, double& sn, double& cs) {
    V vs, vc;
    sinCos4(_mm256_set1_pd(a), vs, vc);
    sn = _mm256_cvtsd_f64(vs);
    cs = _mm256_cvtsd_f64(vc);
}

// ---------------------------------------------------------------------------
// Bit reversal fused with the spans 1, 2, 4 and 8.

inline uint32_t reverse4(uint32_t v) {
    static const uint8_t table[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    return table[v];
}

// The constants of the first four stages for one direction.
struct FirstStages {
    V quarterMask;             // negates the slot that w = -+i makes negative
    Twiddle eighth1, eighth3;  // e^(-+i pi/4), e^(-+i 3 pi/4); j = 0 and 2 need no product
    Twiddle sixteenth[8];      // e^(-+i pi j/8), j = 0..7
};

FirstStages makeFirstStages(double sign) {
    FirstStages f;
    f.quarterMask = quarterTurnMask(sign);
    f.eighth1 = splat(kSqrtHalf, sign * kSqrtHalf);
    f.eighth3 = splat(-kSqrtHalf, sign * kSqrtHalf);
    double wr = 1.0, wi = 0.0;
    double cr, ci;
    sinCos(kPi / 8, ci, cr);
    ci *= sign;
    for (int j = 0; j < 8; ++j) {
        f.sixteenth[j] = splat(wr, wi);
        const double nr = wr * cr - wi * ci;
        const double ni = wr * ci + wi * cr;
        wr = nr;
        wi = ni;
    }
    return f;
}

// Sixteen registers r[l] = [point l of group A, point l of group B]: the
// spans 1, 2, 4 and 8 of both groups.
inline void firstFourStages(V* r, const FirstStages& f) {
    for (int g = 0; g < 16; g += 8) {
        V* p = r + g;
        for (int i = 0; i < 8; i += 2) butterflyUnit(p[i], p[i + 1]);
        for (int i = 0; i < 8; i += 4) {
            butterflyUnit(p[i], p[i + 2]);
            butterflyQuarter(p[i + 1], p[i + 3], f.quarterMask);
        }
        butterflyUnit(p[0], p[4]);
        butterfly(p[1], p[5], f.eighth1.wr, f.eighth1.wi);
        butterflyQuarter(p[2], p[6], f.quarterMask);
        butterfly(p[3], p[7], f.eighth3.wr, f.eighth3.wi);
    }
    butterflyUnit(r[0], r[8]);
    for (int j = 1; j < 8; ++j) butterfly(r[j], r[j + 8], f.sixteenth[j].wr, f.sixteenth[j].wi);
}

// Buffer of one tile's 16 output groups, two groups interleaved per register:
// slot [h / 2][l][h % 2] holds point l of group h.
struct alignas(32) TileBuffer {
    double v[8][16][2][2];
};

// Reads input tile `from` (rows of 16 points, row r at x + r*rowStride +
// from*16) into the output order of tile `to`.
inline void loadTile(const double* x, size_t rowStride, uint32_t from, TileBuffer& buf) {
    for (uint32_t r = 0; r < 16; ++r) {
        const double* row = x + 2 * (r * rowStride + from * 16);
        const uint32_t l = reverse4(r);
        for (uint32_t c = 0; c < 16; ++c) {
            const uint32_t h = reverse4(c);
            _mm_store_pd(buf.v[h >> 1][l][h & 1], _mm_loadu_pd(row + 2 * c));
        }
    }
}

inline void transformTile(double* x, size_t rowStride, uint32_t to, TileBuffer& buf, const FirstStages& f) {
    for (uint32_t h = 0; h < 16; h += 2) {
        V r[16];
        for (int l = 0; l < 16; ++l) r[l] = _mm256_load_pd(buf.v[h >> 1][l][0]);
        firstFourStages(r, f);
        double* rowA = x + 2 * (h * rowStride + to * 16);
        double* rowB = rowA + 2 * rowStride;
        for (int l = 0; l < 16; l += 2) {
            _mm256_storeu_pd(rowA + 2 * l, _mm256_permute2f128_pd(r[l], r[l + 1], 0x20));
            _mm256_storeu_pd(rowB + 2 * l, _mm256_permute2f128_pd(r[l], r[l + 1], 0x31));
        }
    }
}

// m >= 256: index i = hi*(m/16) + mid*16 + lo reverses to
// reverse4(lo)*(m/16) + reverse(mid)*16 + reverse4(hi), so tile `mid` takes
// its input from tile reverse(mid) and the other way round.
void bitReverseAndFirstStages(double* x, uint32_t m, double sign) {
    const FirstStages f = makeFirstStages(sign);
    const size_t rowStride = m / 16;
    const uint32_t tiles = m / 256;
    TileBuffer a, b;
    uint32_t mid2 = 0;  // reverse(mid), advanced by the reversed-carry counter
    for (uint32_t mid = 0; mid < tiles; ++mid) {
        if (mid <= mid2) {
            loadTile(x, rowStride, mid2, a);
            if (mid != mid2) loadTile(x, rowStride, mid, b);
            transformTile(x, rowStride, mid, a, f);
            if (mid != mid2) transformTile(x, rowStride, mid2, b, f);
        }
        uint32_t bit = tiles >> 1;
        while (bit >= 1 && bit <= mid2) {
            mid2 -= bit;
            bit >>= 1;
        }
        mid2 += bit;
    }
}

// ---------------------------------------------------------------------------
// The later stages.

// cos and sin of pi*r/runs for four values r (0 <= r < runs, runs a power of
// two). Each angle is brought to [0, pi/4] exactly by cos(pi - a) = -cos a
// and cos(pi/2 - a) = sin a.
void runStarts(const uint32_t (&r)[4], const uint32_t (&runs)[4], double (&c)[4], double (&s)[4]) {
    alignas(32) double angle[4], sn[4], cs[4];
    bool swapped[4], negated[4];
    for (int i = 0; i < 4; ++i) {
        uint32_t v = r[i];
        negated[i] = 2 * v > runs[i];
        if (negated[i]) v = runs[i] - v;
        swapped[i] = 4 * v > runs[i];
        if (swapped[i]) v = runs[i] / 2 - v;
        angle[i] = kPi * double(v) / double(runs[i]);
    }
    V vs, vc;
    sinCos4(_mm256_load_pd(angle), vs, vc);
    _mm256_store_pd(sn, vs);
    _mm256_store_pd(cs, vc);
    for (int i = 0; i < 4; ++i) {
        c[i] = swapped[i] ? sn[i] : cs[i];
        s[i] = swapped[i] ? cs[i] : sn[i];
        if (negated[i]) c[i] = -c[i];
    }
}

// Twiddles of two consecutive points j, j+1 as the butterflies load them.
struct alignas(32) TwiddlePair {
    double wr[4];  // [wr(j), wr(j), wr(j+1), wr(j+1)]
    double wi[4];
};

// The step of one stage: e^(sign*i*pi/span).
struct Step {
    uint32_t span;
    double sign, c, s;
};

Step makeStep(uint32_t span, double sign) {
    const double angle = kPi / double(span);
    double c, s;
    sinCos(angle, s, c);
    return {span, sign, c, sign * s};
}

constexpr uint32_t kChunk = 128;  // points j per twiddle chunk

// One run of 16 twiddles e^(sign*i*pi*j/span), j = 16*run .. 16*run + 15,
// to be written to out (8 pairs).
struct RunRequest {
    TwiddlePair* out;
    uint32_t run;
    const Step* step;
};

// Forms the requested runs: each starts from cos and sin of its first angle
// and advances by complex multiplication with its step. Two runs share a
// register, [run a, run a, run b, run b].
void formRuns(const RunRequest* requests, uint32_t count) {
    // First every run's start, then the recurrences: each loop's iterations
    // are independent, so the processor overlaps their latencies.
    constexpr uint32_t kMaxRuns = 4 * kChunk / 16;
    alignas(32) double startR[kMaxRuns + 3], startI[kMaxRuns + 3];
    for (uint32_t r = 0; r < count; r += 4) {
        uint32_t run[4], runs[4];
        for (uint32_t i = 0; i < 4; ++i) {
            const RunRequest& q = requests[r + i < count ? r + i : count - 1];
            run[i] = q.run;
            runs[i] = q.step->span / 16;
        }
        double c[4], s[4];
        runStarts(run, runs, c, s);
        for (uint32_t i = 0; i < 4; ++i) {
            startR[r + i] = c[i];
            startI[r + i] = requests[r + i < count ? r + i : count - 1].step->sign * s[i];
        }
    }
    // Four runs at a time, two per register set, so that two recurrences
    // overlap; a missing run repeats the last one and is not stored.
    for (uint32_t r = 0; r < count; r += 4) {
        const RunRequest* q[4];
        V wr[2], wi[2], c[2], s[2];
        for (uint32_t i = 0; i < 4; ++i) q[i] = requests + (r + i < count ? r + i : count - 1);
        for (int h = 0; h < 2; ++h) {
            const uint32_t ia = r + 2 * h < count ? r + 2 * h : count - 1;
            const uint32_t ib = r + 2 * h + 1 < count ? r + 2 * h + 1 : count - 1;
            const Step& a = *q[2 * h]->step;
            const Step& b = *q[2 * h + 1]->step;
            wr[h] = _mm256_setr_pd(startR[ia], startR[ia], startR[ib], startR[ib]);
            wi[h] = _mm256_setr_pd(startI[ia], startI[ia], startI[ib], startI[ib]);
            c[h] = _mm256_setr_pd(a.c, a.c, b.c, b.c);
            s[h] = _mm256_setr_pd(a.s, a.s, b.s, b.s);
        }
        for (int j = 0; j < 16; j += 2) {
            for (int h = 0; h < 2; ++h) {
                // (wr, wi) is point j, (nr, ni) point j + 1.
                const V nr = _mm256_sub_pd(_mm256_mul_pd(wr[h], c[h]), _mm256_mul_pd(wi[h], s[h]));
                const V ni = _mm256_add_pd(_mm256_mul_pd(wr[h], s[h]), _mm256_mul_pd(wi[h], c[h]));
                for (int half = 0; half < 2; ++half) {
                    if (r + 2 * h + half >= count) break;
                    TwiddlePair& t = q[2 * h + half]->out[j / 2];
                    // The lane selector must be a constant: 0x20 low halves, 0x31 high.
                    _mm256_store_pd(
                        t.wr, half ? _mm256_permute2f128_pd(wr[h], nr, 0x31) : _mm256_permute2f128_pd(wr[h], nr, 0x20));
                    _mm256_store_pd(
                        t.wi, half ? _mm256_permute2f128_pd(wi[h], ni, 0x31) : _mm256_permute2f128_pd(wi[h], ni, 0x20));
                }
                wr[h] = _mm256_sub_pd(_mm256_mul_pd(nr, c[h]), _mm256_mul_pd(ni, s[h]));
                wi[h] = _mm256_add_pd(_mm256_mul_pd(nr, s[h]), _mm256_mul_pd(ni, c[h]));
            }
        }
    }
}

inline void twiddled(V& a, V& b, const TwiddlePair& w) { butterfly(a, b, _mm256_load_pd(w.wr), _mm256_load_pd(w.wi)); }

// The butterfly whose twiddle is -+i times w: t = w*b is turned by a swap and
// one sign change. Turning by -+i is exact, so this is bit for bit the
// butterfly with the turned twiddle.
inline void twiddledQuarter(V& a, V& b, const TwiddlePair& w, V quarterMask) {
    const V t = _mm256_xor_pd(_mm256_permute_pd(cmul(b, _mm256_load_pd(w.wr), _mm256_load_pd(w.wi)), 0x5), quarterMask);
    b = _mm256_sub_pd(a, t);
    a = _mm256_add_pd(a, t);
}

// The twiddles of one pass of S stages at two points j, j+1. Family f holds
// the twiddles of span 2^t L at offset r L + j, for (t, r) =
//   f = 0: (0, 0)    f = 1: (1, 0)    f = 2, 3: (2, 0), (2, 1).
// The twiddles of the other offsets, (1, 1), (2, 2) and (2, 3), are
// these turned by -+i, a quarter circle on. Each run of the turned ones starts
// from exactly the turned cosine and sine (see runStarts) and the turn
// commutes exactly with the recurrence, so they are the same numbers as runs
// of their own would give.
struct PassTwiddles {
    const TwiddlePair* family[4];
    V quarterMask;
};

// Family of stage t, offset r (r < 2^(t-1) for t > 0) in PassTwiddles.
constexpr int familyOf(int t, int r) { return t == 0 ? 0 : (1 << (t - 1)) + r; }

// The butterflies of S stages on two points j, j+1 of each of the 2^S
// segments of a group (segment k at base + k*L): stage t pairs segment k with
// k + 2^t (k without bit t), with the twiddle of offset k mod 2^t.
template <int S>
struct GroupStages {
    static constexpr int K = 1 << S;

    template <int T, int Kx>
    static inline void stagePair(V (&v)[K], const PassTwiddles& tw, uint32_t j) {
        constexpr int half = 1 << T;
        if constexpr ((Kx & half) == 0) {
            constexpr int r = Kx & (half - 1);
            if constexpr (T == 0 || r < half / 2) twiddled(v[Kx], v[Kx + half], tw.family[familyOf(T, r)][j]);
            else twiddledQuarter(v[Kx], v[Kx + half], tw.family[familyOf(T, r - half / 2)][j], tw.quarterMask);
        }
    }

    template <int T, int... Ks>
    static inline void stage(V (&v)[K], const PassTwiddles& tw, uint32_t j, std::integer_sequence<int, Ks...>) {
        (stagePair<T, Ks>(v, tw, j), ...);
    }

    template <int... Ts>
    static inline void stages(V (&v)[K], const PassTwiddles& tw, uint32_t j, std::integer_sequence<int, Ts...>) {
        (stage<Ts>(v, tw, j, std::make_integer_sequence<int, K>()), ...);
    }

    template <int... Ks>
    static inline void load(V (&v)[K], const double* p, size_t L, std::integer_sequence<int, Ks...>) {
        ((v[Ks] = _mm256_loadu_pd(p + 2 * Ks * L)), ...);
    }

    template <int... Ks>
    static inline void store(const V (&v)[K], double* p, size_t L, std::integer_sequence<int, Ks...>) {
        (_mm256_storeu_pd(p + 2 * Ks * L, v[Ks]), ...);
    }

    static void run(double* p, size_t L, const PassTwiddles& tw, uint32_t j) {
        V v[K];
        load(v, p, L, std::make_integer_sequence<int, K>());
        stages(v, tw, j, std::make_integer_sequence<int, S>());
        store(v, p, L, std::make_integer_sequence<int, K>());
    }
};

// Four stages at a time would need all sixteen registers for the data; the
// spills cost more than the pass they save.
constexpr int kMaxFusedStages = 3;

// Stages of spans L, 2L, .., 2^(S-1) L over all groups of 2^S L points.
template <int S>
void fusedStages(double* x, uint32_t m, uint32_t L, double sign) {
    static_assert(S >= 1 && S <= kMaxFusedStages);
    constexpr uint32_t K = 1u << S;  // segments per group
    constexpr int kFamilies = 1 << (S - 1);
    const uint32_t chunk = L < kChunk ? L : kChunk;
    TwiddlePair buffer[kFamilies][kChunk / 2];
    Step steps[S];
    for (int t = 0; t < S; ++t) steps[t] = makeStep(L << t, sign);
    PassTwiddles tw = {{}, quarterTurnMask(sign)};
    int familyStage[kFamilies];
    uint32_t familyOffset[kFamilies];
    for (int t = 0; t < S; ++t) {
        for (int r = 0; r < (t == 0 ? 1 : 1 << (t - 1)); ++r) {
            const int f = familyOf(t, r);
            familyStage[f] = t;
            familyOffset[f] = r * L;
            tw.family[f] = buffer[f];
        }
    }
    RunRequest requests[kFamilies * kChunk / 16];
    for (uint32_t j0 = 0; j0 < L; j0 += chunk) {
        uint32_t count = 0;
        for (int f = 0; f < kFamilies; ++f)
            for (uint32_t j = 0; j < chunk; j += 16)
                requests[count++] = {buffer[f] + j / 2, (familyOffset[f] + j0 + j) / 16, &steps[familyStage[f]]};
        formRuns(requests, count);
        for (uint32_t g = 0; g < m; g += K * L) {
            double* base = x + 2 * (size_t(g) + j0);
            for (uint32_t j = 0; j < chunk; j += 2) GroupStages<S>::run(base + 2 * size_t(j), L, tw, j / 2);
        }
    }
}

// Spans from `first` to m/2 over m points, three stages per pass. A pass of
// fewer stages, when needed, comes first: the twiddles of its small spans
// serve many groups, while in the last passes each twiddle serves few.
void laterStages(double* x, uint32_t m, uint32_t first, double sign) {
    int stages = 0;
    for (uint32_t L = first; L < m; L *= 2) ++stages;
    uint32_t L = first;
    switch (stages % kMaxFusedStages) {
    case 1:
        fusedStages<1>(x, m, L, sign);
        L *= 2;
        break;
    case 2:
        fusedStages<2>(x, m, L, sign);
        L *= 4;
        break;
    }
    for (; L < m; L *= 8) fusedStages<3>(x, m, L, sign);
}

// Points per block whose stages run before the larger ones (depth first), so
// that a block's passes stay in the cache.
constexpr uint32_t kBlock = 1u << 18;

}  // namespace

bool avxComplexFft(double* x, uint32_t m, int inverse) {
    if (m < 256) return false;
    const double sign = inverse ? 1.0 : -1.0;
    bitReverseAndFirstStages(x, m, sign);
    if (m <= kBlock) {
        laterStages(x, m, 16, sign);
    } else {
        for (uint32_t b = 0; b < m; b += kBlock) laterStages(x + 2 * size_t(b), kBlock, 16, sign);
        laterStages(x, m, kBlock, sign);
    }
    return true;
}

namespace {

// The split step on two pairs at once: q = (x[k], x[m/2 - k]) and
// p = (x[m - k], x[m/2 + k]), with the twiddles w = (w(k), w(m/2 - k)):
//   h1 = ((q.re + p.re)/2, (q.im - p.im)/2)
//   h2 = ((q.im + p.im)/2, -(q.re - p.re)/2), negated for the inverse
//   t = w * h2;  q = h1 + t;  p = (h1.re - t.re, t.im - h1.im)
inline void splitPairs(double* x, uint32_t k, uint32_t m, V w, V h2Mask) {
    const V imagSign = _mm256_setr_pd(0.0, -0.0, 0.0, -0.0);
    const V half = _mm256_set1_pd(0.5);
    double* q0 = x + 2 * size_t(k);
    double* q1 = x + 2 * size_t(m / 2 - k);
    double* p0 = x + 2 * size_t(m - k);
    double* p1 = x + 2 * size_t(m / 2 + k);
    const V q = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(q0)), _mm_loadu_pd(q1), 1);
    const V p = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p0)), _mm_loadu_pd(p1), 1);
    const V pc = _mm256_xor_pd(p, imagSign);  // (p.re, -p.im)
    const V h1 = _mm256_mul_pd(_mm256_add_pd(q, pc), half);
    const V d = _mm256_mul_pd(_mm256_sub_pd(q, pc), half);  // ((q.re - p.re)/2, (q.im + p.im)/2)
    const V h2 = _mm256_xor_pd(_mm256_permute_pd(d, 0x5), h2Mask);
    const V t = cmul(h2, _mm256_movedup_pd(w), _mm256_permute_pd(w, 0xF));
    const V qn = _mm256_add_pd(h1, t);
    const V pn = _mm256_xor_pd(_mm256_sub_pd(h1, t), imagSign);
    // The first pair last: at k = m/4 both are the same pair, and the
    // recurrence's twiddle decides.
    _mm_storeu_pd(q1, _mm256_extractf128_pd(qn, 1));
    _mm_storeu_pd(p1, _mm256_extractf128_pd(pn, 1));
    _mm_storeu_pd(q0, _mm256_castpd256_pd128(qn));
    _mm_storeu_pd(p0, _mm256_castpd256_pd128(pn));
}

}  // namespace

// One recurrence from (cos theta, -+sin theta) runs k = 1 .. m/4; the twiddle
// of m/2 - k follows exactly from that of k, since (m/2 - k) theta =
// pi/2 - k theta: w(m/2 - k) = (sigma wi, sigma wr) with sigma the sign of the
// imaginary part of the step.
void avxRealFftSplit(double* x, uint32_t m, int inverse) {
    const double sigma = inverse ? 1.0 : -1.0;
    // Forward h2 = (d.im, -d.re); inverse (-d.im, d.re).
    const V h2Mask = inverse ? _mm256_setr_pd(-0.0, 0.0, -0.0, 0.0) : _mm256_setr_pd(0.0, -0.0, 0.0, -0.0);
    const __m128d mirrorSign = inverse ? _mm_setzero_pd() : _mm_set1_pd(-0.0);
    const double theta = kPi / double(m);
    double c, s;
    sinCos(theta, s, c);
    s *= sigma;
    const __m128d stepC = _mm_set1_pd(c), stepS = _mm_set1_pd(s);
    __m128d w = _mm_setr_pd(c, s);  // (wr, wi) of k = 1
    const uint32_t quarter = m / 4;
    for (uint32_t k = 1; k <= quarter; ++k) {
        const __m128d mirror = _mm_xor_pd(_mm_shuffle_pd(w, w, 1), mirrorSign);  // (sigma wi, sigma wr)
        splitPairs(x, k, m, _mm256_insertf128_pd(_mm256_castpd128_pd256(w), mirror, 1), h2Mask);
        // w = (wr c - wi s, wi c + wr s)
        w = _mm_addsub_pd(_mm_mul_pd(w, stepC), _mm_mul_pd(_mm_shuffle_pd(w, w, 1), stepS));
    }
    x[2 * size_t(m / 2) + 1] = -x[2 * size_t(m / 2) + 1];
}

}  // namespace fft_detail

#endif
