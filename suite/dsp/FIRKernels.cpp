#include "FIRKernels.h"

#include "CpuFeatures.h"
#include "FIR.h"
#include "StreamWindow.h"

#include <cmath>

#ifdef QUENDA_DSP_X86
// GCC's own header leaves a register undefined on purpose in the 512-bit conversion.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#endif

namespace {

int32_t Saturate(double acc)
{
    // Nearest integer, ties to even; beyond the 32-bit range the output saturates.
    const double r = std::nearbyint(acc);
    if (r >= 2147483647.0)
        return INT32_MAX;
    if (r <= -2147483648.0)
        return INT32_MIN;
    return r == r ? static_cast<int32_t>(r) : 0;
}

double Tap(const int32_t* in, int32_t e, const double* c, int32_t half)
{
    double acc = in[e] * c[half];
    for (int32_t i = 1; i <= half; ++i) {
        // The pair is summed as 32-bit integers, wrapping as the samples' own type does.
        const auto pair = static_cast<int32_t>(static_cast<uint32_t>(in[e + i]) + static_cast<uint32_t>(in[e - i]));
        acc += pair * c[half - i];
    }
    return acc;
}

}  // namespace

void FIRKernelPlain(const int32_t* in, int32_t start, const double* c, int32_t half, int32_t block, int32_t* out)
{
    // Outputs are built a chunk at a time, tap by tap across the chunk, so that neighbouring outputs
    // are summed side by side (the compiler's vector lanes); each output still adds its terms in the
    // order centre, distance 1, 2, ..., so the result is the same as one output at a time.
    constexpr int32_t kChunk = 256;
    double acc[kChunk];
    for (int32_t first = 0; first < block; first += kChunk) {
        const int32_t count = block - first < kChunk ? block - first : kChunk;
        const int32_t* centre = in + start - half + first;
        for (int32_t n = 0; n < count; ++n)
            acc[n] = centre[n] * c[half];
        for (int32_t i = 1; i <= half; ++i) {
            const double ci = c[half - i];
            const int32_t* up = centre + i;
            const int32_t* down = centre - i;
            for (int32_t n = 0; n < count; ++n) {
                // The pair is summed as 32-bit integers, wrapping as the samples' own type does.
                const auto pair = static_cast<int32_t>(static_cast<uint32_t>(up[n]) + static_cast<uint32_t>(down[n]));
                acc[n] += pair * ci;
            }
        }
        for (int32_t n = 0; n < count; ++n)
            out[first + n] = Saturate(acc[n]);
    }
}

#ifdef QUENDA_DSP_X86

namespace {

__attribute__((target("avx2"))) __m128i Round4(__m256d acc)
{
    const __m256d ordered = _mm256_cmp_pd(acc, acc, _CMP_ORD_Q);
    __m256d r = _mm256_round_pd(acc, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    r = _mm256_min_pd(_mm256_max_pd(r, _mm256_set1_pd(-2147483648.0)), _mm256_set1_pd(2147483647.0));
    r = _mm256_and_pd(r, ordered);  // NaN gives 0
    return _mm256_cvtpd_epi32(r);
}

__attribute__((target("avx512f"))) __m256i Round8(__m512d acc)
{
    const __mmask8 ordered = _mm512_cmp_pd_mask(acc, acc, _CMP_ORD_Q);
    __m512d r = _mm512_roundscale_pd(acc, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    r = _mm512_min_pd(_mm512_max_pd(r, _mm512_set1_pd(-2147483648.0)), _mm512_set1_pd(2147483647.0));
    r = _mm512_maskz_mov_pd(ordered, r);  // NaN gives 0
    return _mm512_cvtpd_epi32(r);
}

// The operations of the pair sums in vectors of four and of eight outputs. Every operand is passed
// by reference, so that PairSums itself needs no vector target: it is inlined, with these, into
// the kernel of each width (which is `flatten`).
struct Lanes4 {
    using D = __m256d;
    static constexpr int32_t kWidth = 4;
    __attribute__((target("avx2"))) static void Broadcast(D& r, double v) { r = _mm256_set1_pd(v); }
    __attribute__((target("avx2"))) static void Samples(D& r, const int32_t* p)
    {
        r = _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    // Pairs added as 32-bit integers (wrapping), as doubles.
    __attribute__((target("avx2"))) static void Pairs(D& r, const int32_t* u, const int32_t* d)
    {
        r = _mm256_cvtepi32_pd(_mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(u)),
                                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(d))));
    }
    __attribute__((target("avx2"))) static void Product(D& a, const D& x, const D& k) { a = _mm256_mul_pd(x, k); }
    __attribute__((target("avx2"))) static void AddProduct(D& a, const D& x, const D& k)
    {
        a = _mm256_add_pd(a, _mm256_mul_pd(x, k));
    }
    __attribute__((target("avx2"))) static void Store(int32_t* out, const D& a)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), Round4(a));
    }
};

struct Lanes8 {
    using D = __m512d;
    static constexpr int32_t kWidth = 8;
    __attribute__((target("avx512f"))) static void Broadcast(D& r, double v) { r = _mm512_set1_pd(v); }
    __attribute__((target("avx512f"))) static void Samples(D& r, const int32_t* p)
    {
        r = _mm512_cvtepi32_pd(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    }
    __attribute__((target("avx512f"))) static void Pairs(D& r, const int32_t* u, const int32_t* d)
    {
        r = _mm512_cvtepi32_pd(_mm256_add_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(u)),
                                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d))));
    }
    __attribute__((target("avx512f"))) static void Product(D& a, const D& x, const D& k) { a = _mm512_mul_pd(x, k); }
    __attribute__((target("avx512f"))) static void AddProduct(D& a, const D& x, const D& k)
    {
        a = _mm512_add_pd(a, _mm512_mul_pd(x, k));
    }
    __attribute__((target("avx512f"))) static void Store(int32_t* out, const D& a)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), Round8(a));
    }
};

// Vectors vectors of outputs, each summed as the plain loop sums it: the centre product, then per
// distance the pair added as 32-bit integers, its product and one addition, in that order. Vector v
// holds outputs first[v] .. first[v] + kWidth - 1, the centre of output n at xc[n]; it goes to
// out + kWidth v.
template <class Lanes, int Vectors>
__attribute__((always_inline)) inline void PairSums(const int32_t* xc, const int32_t* first, const double* c,
                                                    int32_t half, int32_t* out)
{
    typename Lanes::D a[Vectors], x, k;
    Lanes::Broadcast(k, c[half]);
    for (int v = 0; v < Vectors; ++v) {
        Lanes::Samples(x, xc + first[v]);
        Lanes::Product(a[v], x, k);
    }
    for (int32_t i = 1; i <= half; ++i) {
        Lanes::Broadcast(k, c[half - i]);
        for (int v = 0; v < Vectors; ++v) {
            const int32_t* p = xc + first[v];
            Lanes::Pairs(x, p + i, p - i);
            Lanes::AddProduct(a[v], x, k);
        }
    }
    for (int v = 0; v < Vectors; ++v)
        Lanes::Store(out + Lanes::kWidth * v, a[v]);
}

// The kernel from pairs added as 32-bit integers: four vectors of outputs side by side, four
// independent sums, the rest one output at a time.
template <class Lanes>
__attribute__((always_inline)) inline void KernelPairs(const int32_t* in, int32_t start, const double* c, int32_t half,
                                                       int32_t block, int32_t* out)
{
    constexpr int32_t kWidth = Lanes::kWidth, kStep = 4 * kWidth;
    const int32_t* xc = in + start - half;
    int32_t n = 0;
    for (; n + kStep <= block; n += kStep) {
        const int32_t first[4] = {n, n + kWidth, n + 2 * kWidth, n + 3 * kWidth};
        PairSums<Lanes, 4>(xc, first, c, half, out + n);
    }
    for (; n < block; ++n)
        out[n] = Saturate(Tap(in, start - half + n, c, half));
}

__attribute__((target("avx2"), flatten)) void KernelAvx2Pairs(const int32_t* in, int32_t start, const double* c,
                                                              int32_t half, int32_t block, int32_t* out)
{
    KernelPairs<Lanes4>(in, start, c, half, block, out);
}

__attribute__((target("avx512f"), flatten)) void KernelAvx512(const int32_t* in, int32_t start, const double* c,
                                                              int32_t half, int32_t block, int32_t* out)
{
    KernelPairs<Lanes8>(in, start, c, half, block, out);
}

// Groups of four outputs anywhere in the block, four groups side by side.
__attribute__((target("avx2"), flatten)) void GroupsAvx2(const int32_t* in, int32_t start, const double* c,
                                                         int32_t half, const int32_t* first, int32_t groups,
                                                         int32_t* out)
{
    const int32_t* xc = in + start - half;
    int32_t g = 0;
    for (; g + 4 <= groups; g += 4)
        PairSums<Lanes4, 4>(xc, first + g, c, half, out + 4 * g);
    for (; g < groups; ++g)
        PairSums<Lanes4, 1>(xc, first + g, c, half, out + 4 * g);
}

// Samples within [-2^30, 2^30 - 1] never wrap when two are added as 32-bit integers, and the sum of
// two of them as doubles is exact: there the pairs are summed as doubles, from the samples converted
// once, instead of converting every pair again for every tap. The sums and products are those of
// the plain loop, so the outputs are too.
constexpr int32_t kPairLow = -kFIRPairLimit - 1, kPairHigh = kFIRPairLimit;
constexpr int32_t kChunk = 1024;  // outputs per conversion

__attribute__((target("avx2"))) inline __m256d PairD4(const double* u, const double* d)
{
    return _mm256_add_pd(_mm256_loadu_pd(u), _mm256_loadu_pd(d));
}

// Sums of `Vectors` vectors of four outputs side by side from the converted samples, centre of the
// first output at p: as many independent sums as registers allow, so that the loads and the loop
// are shared by more outputs.
template <int Vectors>
__attribute__((target("avx2"))) inline void SumsD(const double* p, const double* c, int32_t half, int32_t* out)
{
    __m256d a[Vectors];
    const __m256d centre = _mm256_set1_pd(c[half]);
    for (int v = 0; v < Vectors; ++v)
        a[v] = _mm256_mul_pd(_mm256_loadu_pd(p + 4 * v), centre);
    for (int32_t i = 1; i <= half; ++i) {
        const __m256d k = _mm256_set1_pd(c[half - i]);
        for (int v = 0; v < Vectors; ++v)
            a[v] = _mm256_add_pd(a[v], _mm256_mul_pd(PairD4(p + 4 * v + i, p + 4 * v - i), k));
    }
    for (int v = 0; v < Vectors; ++v)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * v), Round4(a[v]));
}

// count outputs from the converted samples x, centre of output n at x[half + n].
__attribute__((target("avx2"))) void FilterDoubles(const double* x, const double* c, int32_t half, int32_t count,
                                                    int32_t* out)
{
    int32_t n = 0;
    for (; n + 32 <= count; n += 32)
        SumsD<8>(x + half + n, c, half, out + n);
    for (; n + 4 <= count; n += 4)
        SumsD<1>(x + half + n, c, half, out + n);
    for (; n < count; ++n) {
        const double* p = x + half + n;
        double acc = p[0] * c[half];
        for (int32_t i = 1; i <= half; ++i)
            acc += (p[i] + p[-i]) * c[half - i];
        out[n] = Saturate(acc);
    }
}

constexpr int32_t kStreamsMax = kChunk / 4;  // the most outputs of one stream of FilterStreams

// The four sums of the window: the centre products, then at each tap each pair, its product and
// one addition.
struct StreamSums {
    const double* c;
    int32_t half;
    __m256d a0, a1, a2, a3;
    __attribute__((target("avx2"))) void Start(const __m256d* p)
    {
        const __m256d centre = _mm256_set1_pd(c[half]);
        a0 = _mm256_mul_pd(p[0], centre);
        a1 = _mm256_mul_pd(p[1], centre);
        a2 = _mm256_mul_pd(p[2], centre);
        a3 = _mm256_mul_pd(p[3], centre);
    }
    __attribute__((target("avx2"))) void operator()(int32_t i, const __m256d& u0, const __m256d& u1, const __m256d& u2,
                                                    const __m256d& u3, const __m256d& d0, const __m256d& d1,
                                                    const __m256d& d2, const __m256d& d3)
    {
        const __m256d k = _mm256_set1_pd(c[half - i]);
        a0 = _mm256_add_pd(a0, _mm256_mul_pd(_mm256_add_pd(u0, d0), k));
        a1 = _mm256_add_pd(a1, _mm256_mul_pd(_mm256_add_pd(u1, d1), k));
        a2 = _mm256_add_pd(a2, _mm256_mul_pd(_mm256_add_pd(u2, d2), k));
        a3 = _mm256_add_pd(a3, _mm256_mul_pd(_mm256_add_pd(u3, d3), k));
    }
};

// Four streams of outputs side by side, a quarter of the outputs each: lane l of vector m holds
// output l b + m (m = 0..b-1, b a multiple of four), from the converted samples x, centre of output n
// at x[half + n]. Each output is summed as the plain loop sums it. With the samples laid out by
// stream, the operands of neighbouring outputs are neighbouring vectors: at each tap the four vectors
// above the centres and the four below move by one, so each tap loads two vectors for sixteen
// outputs, and no load crosses a vector boundary.
__attribute__((target("avx2"), flatten)) void FilterStreams(const double* x, const double* c, int32_t half, int32_t b,
                                                   int32_t* out)
{
    // One vector of room before the first and four after the last: the window's last step reads
    // them, and never sums them.
    alignas(32) double room[(kStreamsMax + kFIRMaxTaps + 8) * 4];
    double* lanes = room + 4;
    const int32_t vectors = b + 2 * half;
    int32_t j = 0;
    for (; j + 4 <= vectors; j += 4) {
        const __m256d r0 = _mm256_loadu_pd(x + j), r1 = _mm256_loadu_pd(x + b + j);
        const __m256d r2 = _mm256_loadu_pd(x + 2 * b + j), r3 = _mm256_loadu_pd(x + 3 * b + j);
        const __m256d t0 = _mm256_unpacklo_pd(r0, r1), t1 = _mm256_unpackhi_pd(r0, r1);
        const __m256d t2 = _mm256_unpacklo_pd(r2, r3), t3 = _mm256_unpackhi_pd(r2, r3);
        _mm256_store_pd(lanes + 4 * j, _mm256_permute2f128_pd(t0, t2, 0x20));
        _mm256_store_pd(lanes + 4 * j + 4, _mm256_permute2f128_pd(t1, t3, 0x20));
        _mm256_store_pd(lanes + 4 * j + 8, _mm256_permute2f128_pd(t0, t2, 0x31));
        _mm256_store_pd(lanes + 4 * j + 12, _mm256_permute2f128_pd(t1, t3, 0x31));
    }
    StreamLayoutEnd<4>(x, b, j, vectors, lanes);
    const __m256d* v = reinterpret_cast<const __m256d*>(lanes);
    for (int32_t m = 0; m < b; m += 4) {
        StreamSums sums{c, half, {}, {}, {}, {}};
        StreamTaps(v + m + half, half, sums);  // from the centre of output m
        const __m256d a0 = sums.a0, a1 = sums.a1, a2 = sums.a2, a3 = sums.a3;
        // Vector r holds output m + r of each stream; stream l's four outputs are lane l of each.
        __m128 r0 = _mm_castsi128_ps(Round4(a0)), r1 = _mm_castsi128_ps(Round4(a1));
        __m128 r2 = _mm_castsi128_ps(Round4(a2)), r3 = _mm_castsi128_ps(Round4(a3));
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + m), _mm_castps_si128(r0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + b + m), _mm_castps_si128(r1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * b + m), _mm_castps_si128(r2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * b + m), _mm_castps_si128(r3));
    }
}

// Converts m samples to doubles; false when one lies outside [kPairLow, kPairHigh].
__attribute__((target("avx2"))) bool ConvertInRange(const int32_t* p, int32_t m, double* x)
{
    __m256i low = _mm256_set1_epi32(INT32_MAX), high = _mm256_set1_epi32(INT32_MIN);
    int32_t k = 0;
    for (; k + 8 <= m; k += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k));
        low = _mm256_min_epi32(low, v);
        high = _mm256_max_epi32(high, v);
        _mm256_storeu_pd(x + k, _mm256_cvtepi32_pd(_mm256_castsi256_si128(v)));
        _mm256_storeu_pd(x + k + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(v, 1)));
    }
    alignas(32) int32_t l[8], h[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(l), low);
    _mm256_store_si256(reinterpret_cast<__m256i*>(h), high);
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (int32_t i = 0; i < 8; ++i) {
        lo = l[i] < lo ? l[i] : lo;
        hi = h[i] > hi ? h[i] : hi;
    }
    for (; k < m; ++k) {
        lo = p[k] < lo ? p[k] : lo;
        hi = p[k] > hi ? p[k] : hi;
        x[k] = p[k];
    }
    return lo >= kPairLow && hi <= kPairHigh;
}

__attribute__((target("avx2"))) void KernelAvx2(const int32_t* in, int32_t start, const double* c, int32_t half,
                                                 int32_t block, int32_t* out)
{
    double x[kChunk + kFIRMaxTaps];
    for (int32_t first = 0; first < block; first += kChunk) {
        const int32_t count = block - first < kChunk ? block - first : kChunk;
        // Output n reads in[start - 2 half + n .. start + n].
        if (ConvertInRange(in + start - 2 * half + first, count + 2 * half, x)) {
            const int32_t b = count / 16 * 4;  // outputs per stream
            if (b > 0)
                FilterStreams(x, c, half, b, out + first);
            FilterDoubles(x + 4 * b, c, half, count - 4 * b, out + first + 4 * b);
        }
        else
            KernelAvx2Pairs(in, start + first, c, half, count, out + first);
    }
}

}  // namespace

TFIRKernel FIRKernelAvx2()
{
    return CpuFeatures().Avx2 ? KernelAvx2 : nullptr;
}

TFIRKernel FIRKernelAvx512()
{
    return CpuFeatures().Avx512F ? KernelAvx512 : nullptr;
}

#else

TFIRKernel FIRKernelAvx2() { return nullptr; }
TFIRKernel FIRKernelAvx512() { return nullptr; }

#endif

void FIRKernelGroups(const int32_t* in, int32_t start, const double* c, int32_t half, const int32_t* first,
                     int32_t groups, int32_t* out)
{
#ifdef QUENDA_DSP_X86
    if (CpuFeatures().Avx2) {
        GroupsAvx2(in, start, c, half, first, groups, out);
        return;
    }
#endif
    for (int32_t g = 0; g < groups; ++g)
        FIRKernelPlain(in, start + first[g], c, half, 4, out + 4 * g);
}

TFIRKernel FIRKernelBest()
{
    static const TFIRKernel best = [] {
        if (TFIRKernel k = FIRKernelAvx512())
            return k;
        if (TFIRKernel k = FIRKernelAvx2())
            return k;
        return &FIRKernelPlain;
    }();
    return best;
}
