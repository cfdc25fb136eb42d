#include "DelayMultiply.h"

#include "BlockOps.h"
#include "CpuFeatures.h"
#include "FIRKernels.h"
#include "StreamWindow.h"
#include "Transpose8.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#ifdef QUENDA_DSP_X86
#include <immintrin.h>
#endif

// How the signs are decided.
//
// The first filter and the products are exact: the plain kernel, and ClampedProducts. The second
// filter is first run in single precision: each input rounded to single precision, pairs added, each
// pair times its tap (rounded to single precision), summed with fused multiply-adds in any order.
// For a sum of h + 1 terms t_i, each term carries at most five roundings (two inputs, the pair, the
// tap, the product) and the summation at most h more, so the approximation lies within (h + 5) u
// sum|t_i| of the exact real sum, u = 2^-24; the plain filter's double sum lies within (h + 2) 2^-53
// sum|t_i| of it. With sum|t_i| <= 2 M C, M the largest input magnitude the output reads and C the sum
// of |c_i| over the centre and one side, K = 2 (h + 6) 2^-24 + (h + 2) 2^-52 times 2 M C bounds the
// distance of the approximation from the plain filter's sum, with a margin of two. M is taken per
// group of eight outputs; the bound is computed in single precision and enlarged for its own rounding.
//
// The plain output is the double sum rounded to the nearest integer, ties to even: positive when the
// sum is above one half, zero from minus one half to one half, negative below. A sign is decided when
// the approximation, moved by its bound either way, stays in one of those ranges; otherwise the output
// is computed exactly by the plain kernel from the exact products.

namespace {

constexpr int32_t kMinFast = 256;           // shorter blocks take the plain path
constexpr int32_t kPad = 64;

int32_t SignOf(int32_t v) { return (v > 0) - (v < 0); }

// The bound factor K of the comment above for a filter of half length h and coefficient sum C.
double BoundScale(int32_t half, double sum)
{
    return (2.0 * (half + 6) * 0x1p-24 + (half + 2) * 0x1p-52) * 2.0 * sum;
}

double CoefficientSum(const TFIRRec& rec)
{
    double s = 0;
    for (int32_t i = 0; i <= rec.Half; ++i)
        s += std::fabs(rec.Coef[i]);
    return s;
}

bool Consistent(const TFIRRec& rec, int32_t count)
{
    return rec.Block == count && rec.Taps >= 3 && rec.Taps <= kFIRMaxTaps && rec.Half == rec.Taps / 2;
}

#ifdef QUENDA_DSP_X86

bool HasVectors()
{
    return CpuFeatures().Avx2 && CpuFeatures().Fma;
}

// Eight outputs per vector, V vectors side by side; centre of the first output at p.
template <int V>
__attribute__((target("avx2,fma"))) inline void SumsF(const float* p, const float* c, int32_t half, float* out)
{
    __m256 a[V];
    const __m256 centre = _mm256_set1_ps(c[half]);
    for (int v = 0; v < V; ++v)
        a[v] = _mm256_mul_ps(_mm256_loadu_ps(p + 8 * v), centre);
    for (int32_t i = 1; i <= half; ++i) {
        const __m256 k = _mm256_set1_ps(c[half - i]);
        for (int v = 0; v < V; ++v)
            a[v] = _mm256_fmadd_ps(_mm256_add_ps(_mm256_loadu_ps(p + 8 * v + i), _mm256_loadu_ps(p + 8 * v - i)), k,
                                   a[v]);
    }
    for (int v = 0; v < V; ++v)
        _mm256_storeu_ps(out + 8 * v, a[v]);
}

// The four sums of the window: the centre products, then at each tap each pair times its tap,
// fused.
struct ApproxSums {
    const float* c;
    int32_t half;
    __m256 a0, a1, a2, a3;
    __attribute__((target("avx2,fma"))) void Start(const __m256* p)
    {
        const __m256 centre = _mm256_set1_ps(c[half]);
        a0 = _mm256_mul_ps(p[0], centre);
        a1 = _mm256_mul_ps(p[1], centre);
        a2 = _mm256_mul_ps(p[2], centre);
        a3 = _mm256_mul_ps(p[3], centre);
    }
    __attribute__((target("avx2,fma"))) void operator()(int32_t i, const __m256& u0, const __m256& u1, const __m256& u2,
                                                        const __m256& u3, const __m256& d0, const __m256& d1,
                                                        const __m256& d2, const __m256& d3)
    {
        const __m256 k = _mm256_set1_ps(c[half - i]);
        a0 = _mm256_fmadd_ps(_mm256_add_ps(u0, d0), k, a0);
        a1 = _mm256_fmadd_ps(_mm256_add_ps(u1, d1), k, a1);
        a2 = _mm256_fmadd_ps(_mm256_add_ps(u2, d2), k, a2);
        a3 = _mm256_fmadd_ps(_mm256_add_ps(u3, d3), k, a3);
    }
};

// Eight streams of outputs side by side, an eighth of the outputs each: lane l of vector m is output
// l b + m (m = 0..b-1, b a multiple of eight), centre of output n at x[half + n]. Laid out by stream,
// the operands of neighbouring outputs are neighbouring vectors, so each tap moves a window of four
// vectors above the centres and four below by one: two aligned loads a tap for 32 outputs. lanes:
// room for b + 2 half + 6 vectors; staged: b vectors.
__attribute__((target("avx2,fma"), flatten)) void ApproxStreams(const float* x, const float* c, int32_t half, int32_t b,
                                                       float* room, float* staged, float* out)
{
    float* lanes = room + 8;  // a vector before the first and four after the last, read, never summed
    const int32_t vectors = b + 2 * half;
    int32_t j = 0;
    for (; j + 8 <= vectors; j += 8) {
        __m256 r[8], t[8];
        for (int l = 0; l < 8; ++l)
            r[l] = _mm256_loadu_ps(x + l * b + j);
        Transpose8(r, t);
        for (int k = 0; k < 8; ++k)
            _mm256_store_ps(lanes + 8 * (j + k), t[k]);
    }
    StreamLayoutEnd<8>(x, b, j, vectors, lanes);
    const __m256* v = reinterpret_cast<const __m256*>(lanes);
    for (int32_t m = 0; m < b; m += 4) {
        ApproxSums sums{c, half, {}, {}, {}, {}};
        StreamTaps(v + m + half, half, sums);  // from the centre of output m
        _mm256_store_ps(staged + 8 * m, sums.a0);
        _mm256_store_ps(staged + 8 * m + 8, sums.a1);
        _mm256_store_ps(staged + 8 * m + 16, sums.a2);
        _mm256_store_ps(staged + 8 * m + 24, sums.a3);
    }
    // Back to the outputs' order, eight vectors at a time.
    for (int32_t m = 0; m < b; m += 8) {
        __m256 r[8], t[8];
        for (int k = 0; k < 8; ++k)
            r[k] = _mm256_load_ps(staged + 8 * (m + k));
        Transpose8(r, t);
        for (int l = 0; l < 8; ++l)
            _mm256_storeu_ps(out + l * b + m, t[l]);
    }
}

// The approximate filter: out[n] for n = 0..count-1, centre of output n at x[half + n].
__attribute__((target("avx2,fma"))) void ApproxFilter(const float* x, const float* c, int32_t half, int32_t count,
                                                      float* out)
{
    int32_t n = 0;
    for (; n + 32 <= count; n += 32)
        SumsF<4>(x + half + n, c, half, out + n);
    for (; n + 8 <= count; n += 8)
        SumsF<1>(x + half + n, c, half, out + n);
    for (; n < count; ++n) {
        const float* p = x + half + n;
        float acc = p[0] * c[half];
        for (int32_t i = 1; i <= half; ++i)
            acc += (p[i] + p[-i]) * c[half - i];
        out[n] = acc;
    }
}

// Largest magnitude of each run of eight of v[0..count-1] (count a multiple of eight).
__attribute__((target("avx2,fma"))) void EightMaxMagnitude(const float* v, int32_t count, float* out)
{
    const __m256 sign = _mm256_set1_ps(-0.0f);
    for (int32_t j = 0; j * 8 < count; ++j) {
        const __m256 m = _mm256_andnot_ps(sign, _mm256_loadu_ps(v + 8 * j));
        __m128 h = _mm_max_ps(_mm256_castps256_ps128(m), _mm256_extractf128_ps(m, 1));
        h = _mm_max_ps(h, _mm_movehl_ps(h, h));
        h = _mm_max_ss(h, _mm_shuffle_ps(h, h, 1));
        out[j] = _mm_cvtss_f32(h);
    }
}

// Signs of eight approximate outputs whose bound is e: -1, 0 or +1 where decided; the mask of those
// left open.
__attribute__((target("avx2,fma"))) inline int DecideEight(const float* q, float e, int32_t* signs)
{
    const __m256 v = _mm256_loadu_ps(q);
    const __m256 above = _mm256_set1_ps(0.5f + e);
    const __m256 below = _mm256_set1_ps(0.5f - e);
    const __m256 magnitude = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), v);
    const __m256 positive = _mm256_cmp_ps(v, above, _CMP_GT_OQ);
    const __m256 negative = _mm256_cmp_ps(v, _mm256_sub_ps(_mm256_setzero_ps(), above), _CMP_LT_OQ);
    const __m256 zero = _mm256_cmp_ps(magnitude, below, _CMP_LT_OQ);
    const __m256 decided = _mm256_or_ps(_mm256_or_ps(positive, negative), zero);
    // All ones is -1: +1 where positive, -1 where negative.
    const __m256i s = _mm256_sub_epi32(_mm256_castps_si256(negative), _mm256_castps_si256(positive));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(signs), s);
    return ~_mm256_movemask_ps(decided) & 0xFF;
}

#endif

// Allocates on 32-byte boundaries, for aligned vector loads.
template <typename T>
struct TAligned {
    using value_type = T;
    TAligned() = default;
    template <typename U>
    TAligned(const TAligned<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(32))); }
    void deallocate(T* p, size_t) { ::operator delete(p, std::align_val_t(32)); }
    template <typename U>
    bool operator==(const TAligned<U>&) const { return true; }
};

}  // namespace

struct TDelayMultiplyScratch {
    std::vector<float> z, mz, q, c2, window;
    std::vector<int32_t> qExact, open;
    // Aligned room for the streams of the approximate filter.
    std::vector<float, TAligned<float>> lanes, staged;

    explicit TDelayMultiplyScratch(int32_t delay)
    {
        const size_t n = size_t(kFIRMaxBlock + kFIRMaxTaps + delay + kPad);
        for (auto* v : {&z, &mz, &q, &c2, &window})
            v->assign(n, 0.0f);
        qExact.assign(n, 0);
        lanes.assign(size_t(kFIRMaxBlock / 8 + kFIRMaxTaps + 16) * 8, 0.0f);
        staged.assign(size_t(kFIRMaxBlock / 8 + 8) * 8, 0.0f);
        open.reserve(n);
    }
};

namespace {

#ifdef QUENDA_DSP_X86

// The block as the class comment says; false (nothing changed) where an input lies beyond the range
// the bounds allow.
__attribute__((target("avx2,fma"))) bool RunFast(TDelayMultiplyScratch& s, TFIRRec& first, TFIRRec& second,
                                                 int32_t* tail, int32_t delay, int32_t count, int32_t* signs,
                                                 double boundFactor, int64_t& exactCount, int32_t& last)
{
    const int32_t h2 = second.Half;
    // The second filter's history holds earlier products, within the clamp (pairs never wrap).
    for (int32_t i = 0; i < 2 * h2; ++i) {
        const int32_t v = second.Input[kFIRBlockStart - 2 * h2 + i];
        if (v < -kFIRPairLimit || v > kFIRPairLimit)
            return false;
    }
    // The first filter and the products, exactly, and the products as floats after the second
    // filter's history; the first delay products reach back into the block before (tail).
    FIRFilter(first);
    const int32_t* y = first.Output;
    int32_t* z = second.Input + kFIRBlockStart;
    const int32_t nz = count + 2 * h2;
    const int32_t nz8 = (nz + 7) / 8 * 8;
    float* zf = s.z.data();
    ClampedProducts(y, tail, z, delay, zf + 2 * h2);
    ClampedProducts(y + delay, y, z + delay, count - delay, zf + 2 * h2 + delay);
    std::copy(y + count - delay, y + count, tail);
    for (int32_t i = 0; i < 2 * h2; ++i)
        zf[i] = float(z[i - 2 * h2]);
    for (int32_t i = nz; i < nz8; ++i)
        zf[i] = 0;
    // The largest magnitude of each eight.
    float* mz = s.mz.data();
    EightMaxMagnitude(zf, nz8, mz);
    for (int32_t i = 0; i <= h2; ++i)
        s.c2[size_t(i)] = float(second.Coef[i]);
    const float k2 = float(BoundScale(h2, CoefficientSum(second)) * (1 + 0x1p-18) * boundFactor);

    // The second filter, and the signs it decides.
    float* q = s.q.data();
    {
        const int32_t b = count / 64 * 8;  // outputs per stream
        if (b > 0)
            ApproxStreams(zf, s.c2.data(), h2, b, s.lanes.data(), s.staged.data(), q);
        ApproxFilter(zf + 8 * b, s.c2.data(), h2, count - 8 * b, q + 8 * b);
    }
    std::vector<int32_t>& open = s.open;
    open.clear();
    // The largest input magnitude each group of eight outputs reads: the eights g .. g + span.
    const int32_t span = (7 + 2 * h2) / 8, blocks = nz8 / 8, groups = (count + 7) / 8;
    float* window = s.window.data();
    for (int32_t j = blocks; j < groups + span + 8; ++j)
        mz[j] = 0;
    for (int32_t g = 0; g < groups; g += 8) {
        __m256 m = _mm256_loadu_ps(mz + g);
        for (int32_t j = 1; j <= span; ++j)
            m = _mm256_max_ps(m, _mm256_loadu_ps(mz + g + j));
        _mm256_storeu_ps(window + g, _mm256_mul_ps(m, _mm256_set1_ps(k2)));
    }
    const int32_t whole = count / 8 * 8;
    for (int32_t n0 = 0; n0 < whole; n0 += 8)
        for (int bits = DecideEight(q + n0, window[n0 / 8], signs + n0); bits; bits &= bits - 1)
            open.push_back(n0 + __builtin_ctz(unsigned(bits)));
    for (int32_t n = whole; n < count; ++n) {
        const float v = q[n], e = window[n / 8];
        if (v > 0.5f + e)
            signs[n] = 1;
        else if (v < -0.5f - e)
            signs[n] = -1;
        else if (std::fabs(v) < 0.5f - e)
            signs[n] = 0;
        else
            open.push_back(n);
    }
    exactCount += int64_t(open.size());

    // The open outputs and the last one (returned) exactly, in runs.
    if (open.empty() || open.back() != count - 1)
        open.push_back(count - 1);
    const TFIRKernel kernel = FIRKernelBest();
    int32_t* qExact = s.qExact.data();
    for (size_t i = 0; i < open.size();) {
        size_t j = i;
        while (j + 1 < open.size() && open[j + 1] == open[j] + 1)
            ++j;
        const int32_t from = open[i], length = open[j] - from + 1;
        kernel(second.Input, kFIRBlockStart + from, second.Coef, h2, length, qExact + from);
        for (int32_t n = from; n < from + length; ++n)
            signs[n] = SignOf(qExact[n]);
        i = j + 1;
    }
    FIRMoveHistory(second);
    last = qExact[count - 1];
    return true;
}

#endif

}  // namespace


TDelayMultiply::TDelayMultiply(int32_t delay)
    : delay_(std::clamp(delay, 1, 64)), s_(std::make_unique<TDelayMultiplyScratch>(delay_))
{
}

TDelayMultiply::~TDelayMultiply() = default;

int32_t TDelayMultiply::runPlain(TFIRRec& first, TFIRRec& second, int32_t* tail, int32_t count, int32_t* signs)
{
    const int32_t delay = delay_;
    FIRFilter(first);
    // The first delay products reach back into the block before (tail), the rest stay inside this one.
    const int32_t* y = first.Output;
    int32_t* z = second.Input + kFIRBlockStart;
    ClampedProducts(y, tail, z, std::min(count, delay));
    if (count > delay)
        ClampedProducts(y + delay, y, z + delay, count - delay);
    // The last outputs, for the products at the start of the next block (with a block shorter than
    // the delay, the older ones come from the tail before).
    int32_t keep[64];
    for (int32_t i = 0; i < delay; ++i) {
        const int32_t n = count - delay + i;
        keep[i] = n >= 0 ? y[n] : tail[delay + n];
    }
    std::copy(keep, keep + delay, tail);
    FIRFilter(second);
    const int32_t last = second.Output[count - 1];
    for (int32_t n = 0; n < count; ++n)
        signs[n] = SignOf(second.Output[n]);
    return last;
}

int32_t TDelayMultiply::Run(TFIRRec& first, TFIRRec& second, int32_t* tail, int32_t count, int32_t* signs)
{
    if (count <= 0 || count > kFIRMaxBlock)
        return 0;
#ifndef QUENDA_DSP_X86
    return runPlain(first, second, tail, count, signs);
#else
    const int32_t delay = delay_;
    if (!HasVectors() || count < kMinFast || !Consistent(first, count) || !Consistent(second, count))
        return runPlain(first, second, tail, count, signs);
    int32_t last = 0;
    if (!RunFast(*s_, first, second, tail, delay, count, signs, boundFactor_, exact_, last))
        return runPlain(first, second, tail, count, signs);
    return last;
#endif
}
