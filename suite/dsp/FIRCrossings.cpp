#include "FIRCrossings.h"

#include "CpuFeatures.h"
#include "FIRKernels.h"
#include "Transpose8.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#ifdef QUENDA_DSP_X86
#include <immintrin.h>
#endif

namespace {

bool Consistent(const TFIRRec& rec)
{
    return rec.Block >= 0 && rec.Block <= kFIRMaxBlock && rec.Taps >= 0 && rec.Taps <= kFIRMaxTaps &&
           rec.Half == rec.Taps / 2;
}

// y[n] != 0 and y[n - 1] is 0 or of the other sign.
bool Changes(int32_t before, int32_t after)
{
    return after != 0 && (before == 0 || (before < 0) != (after < 0));
}

// Every output summed by FIRFilter, the changes read from them.
void CrossingsOfEveryOutput(TFIRRec& rec, int32_t previous, TFIRCrossings& out)
{
    FIRFilter(rec);
    const int32_t block = rec.Block;
    int32_t before = previous;
    for (int32_t n = 0; n < block; ++n) {
        const int32_t after = rec.Output[n];
        if (Changes(before, after))
            out.List.push_back({n, before, after});
        before = after;
    }
    out.Last = before;
    out.Undecided = block;
    out.Exact = block;
}

#ifdef QUENDA_DSP_X86

// The estimate sums eight stretches of Block / 8 outputs side by side, a vector lane for each: row
// m of the working rows holds the m-th input of every stretch, so that the input of the next output
// of a stretch is the next row, not the next lane. Four neighbouring outputs of every stretch are
// summed at a time: their four rows at distance i after the centres move on by one row per tap (one
// new row read), the rows before them are read at every tap.
constexpr int32_t kLanes = 8;
constexpr int32_t kGroup = 4;   // outputs per stretch summed side by side
constexpr int32_t kMargin = 8;  // zero rows before and after the input rows
constexpr int32_t kMaxSample = 32767, kMinSample = -32768;  // the estimate's input range

struct Layout {
    int32_t block, half;
    int32_t padded;  // half rounded up to whole groups of four taps
    int32_t length;  // outputs per stretch
    int32_t rows;    // input rows: length + 2 padded, the centre of output r of a stretch at row padded + r
    float tap[kFIRMaxTaps / 2 + kGroup + 1];  // tap at distance i, zero from half + 1 to padded
};

bool Applicable(const TFIRRec& rec)
{
    const TCpuFeatures& cpu = CpuFeatures();
    return cpu.Avx2 && cpu.Fma && rec.Taps % 2 == 1 && rec.Block > 0 && rec.Block % (kLanes * kGroup) == 0;
}

void Plan(const TFIRRec& rec, Layout& p)
{
    p.block = rec.Block;
    p.half = rec.Half;
    p.padded = (rec.Half + kGroup - 1) / kGroup * kGroup;
    p.length = rec.Block / kLanes;
    p.rows = p.length + 2 * p.padded;
    for (int32_t i = 0; i <= p.padded; ++i)
        p.tap[i] = i <= p.half ? static_cast<float>(rec.Coef[p.half - i]) : 0.0f;
}

// The error bound of the estimate per unit of the largest |input| M that an output reads.
//
// The estimate of an output sums the taps from the outermost in to the centre, in single
// precision, as two sums, of the even and of the odd distances: a = b = 0, then
// fma(x+i + x-i, t_i, a or b) for i = padded..1, then a = fma(x0, t0, a), and a + b; t_i is the tap
// c_i rounded to single precision. The pairs are sums of two 16-bit samples, exact in single
// precision, and the zero taps beyond half leave the sums as they are. Each step rounds once, by a
// relative u = 2^-24 at most, and the term of distance i meets the roundings of its own step, of
// every later step of its sum and of the final addition: floor(i / 2) + 2 of them. So (as for any
// recursive sum) |estimate - sum t_i p_i| <= sum g(floor(i / 2) + 2) |t_i p_i|, g(n) = n u / (1 - n u),
// with p_0 = x0 and p_i the pair, |p_i| <= 2 M; the inner taps, the largest, meet the fewest
// roundings. The taps' own rounding adds |sum (t_i - c_i) p_i| <= M (|t_0 - c_0| + 2 sum |t_i - c_i|).
// The exact double sum of the filter (each term meets the rounding of its product and at most half
// roundings of the additions, of relative size 2^-53) lies within g'(half + 1) M (|c_0| + 2 sum |c_i|)
// of sum c_i p_i. The sum of the three bounds the distance between the estimate and the exact sum
// before rounding.
double BoundPerSample(const TFIRRec& rec, const Layout& p)
{
    auto g = [](double n, double u) { return n * u / (1 - n * u); };
    double estimate = 0, coefs = 0, rounding = 0;
    for (int32_t i = 0; i <= p.half; ++i) {
        const double weight = i == 0 ? 1 : 2;
        const double c = rec.Coef[p.half - i];
        estimate += weight * std::fabs(static_cast<double>(p.tap[i])) * g(i / 2 + 2, 0x1p-24);
        coefs += weight * std::fabs(c);
        rounding += weight * std::fabs(static_cast<double>(p.tap[i]) - c);
    }
    const double bound = estimate + rounding + g(p.half + 1, 0x1p-53) * coefs;
    // The sums above are themselves rounded (by far less than one part in 10^12).
    return bound * (1 + 1e-9);
}

// Row m of stretch l is input cell kFIRBlockStart - half - padded + l length + m; the rows that
// no output reads, and the margins, are zero. Returns the smallest and largest sample of every
// stretch.
__attribute__((target("avx2,fma"))) void Transpose(const TFIRRec& rec, const Layout& p, float* rows, __m256& low,
                                                    __m256& high)
{
    float* r0 = rows + kLanes * kMargin;
    const int32_t first = p.padded - p.half, last = p.padded + p.length - 1 + p.half;  // rows read
    std::memset(rows, 0, sizeof(float) * kLanes * static_cast<size_t>(kMargin + first));
    std::memset(r0 + kLanes * (last + 1), 0, sizeof(float) * kLanes * static_cast<size_t>(p.rows - 1 - last + kMargin));
    const int32_t* base = rec.Input + kFIRBlockStart - p.half - p.padded;
    low = _mm256_set1_ps(0.0f);
    high = _mm256_set1_ps(0.0f);
    int32_t m = first;
    for (; m + 7 <= last; m += 8) {
        __m256 v[8];
        for (int32_t l = 0; l < kLanes; ++l)
            v[l] = _mm256_cvtepi32_ps(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + static_cast<std::ptrdiff_t>(l) * p.length + m)));
        __m256 out[8];
        Transpose8(v, out);
        for (int32_t k = 0; k < 8; ++k) {
            _mm256_storeu_ps(r0 + kLanes * (m + k), out[k]);
            low = _mm256_min_ps(low, out[k]);
            high = _mm256_max_ps(high, out[k]);
        }
    }
    alignas(32) float lo[kLanes], hi[kLanes];
    _mm256_store_ps(lo, low);
    _mm256_store_ps(hi, high);
    for (; m <= last; ++m) {
        for (int32_t l = 0; l < kLanes; ++l) {
            const auto x = static_cast<float>(base[static_cast<std::ptrdiff_t>(l) * p.length + m]);
            r0[kLanes * m + l] = x;
            lo[l] = std::min(lo[l], x);
            hi[l] = std::max(hi[l], x);
        }
    }
    low = _mm256_load_ps(lo);
    high = _mm256_load_ps(hi);
}

__attribute__((target("avx2,fma"))) inline __m256 Row(const float* centre, int32_t k)
{
    return _mm256_loadu_ps(centre + kLanes * k);
}

// One tap for the four outputs into their sums s0..s3: e0..e3 are the rows at the tap's distance
// after their centres, and the rows before them are read from `down` on.
__attribute__((target("avx2,fma"), always_inline)) inline void EstimateStep(
    float tap, __m256& s0, __m256& s1, __m256& s2, __m256& s3, const __m256& e0, const __m256& e1, const __m256& e2,
    const __m256& e3, const float*& down)
{
    const __m256 t = _mm256_set1_ps(tap);
    s0 = _mm256_fmadd_ps(_mm256_add_ps(e0, _mm256_loadu_ps(down)), t, s0);
    s1 = _mm256_fmadd_ps(_mm256_add_ps(e1, _mm256_loadu_ps(down + 8)), t, s1);
    s2 = _mm256_fmadd_ps(_mm256_add_ps(e2, _mm256_loadu_ps(down + 16)), t, s2);
    s3 = _mm256_fmadd_ps(_mm256_add_ps(e3, _mm256_loadu_ps(down + 24)), t, s3);
    down += kLanes;
    // The rows before are read afresh at every tap: the compiler is kept from holding them for the
    // next taps, which would leave too few registers for the sums.
    __asm__("" : "+r"(down));
}

// The estimate of every output: row r of `estimate` holds output r of the eight stretches.
__attribute__((target("avx2,fma"))) void EstimateRows(const Layout& p, const float* rows, float* estimate)
{
    const float* r0 = rows + kLanes * kMargin;
    const float* tap = p.tap;
    for (int32_t r = 0; r < p.length; r += kGroup) {
        const float* c = r0 + kLanes * (p.padded + r);
        // Two sums per output, of the even (a) and of the odd distances (b), so that eight
        // independent sums keep the fused units busy.
        __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0, b0 = a0, b1 = a0, b2 = a0, b3 = a0;
        const float* down = c - kLanes * p.padded;
        // At distance i, u_k is the row i after the centre of output r + k.
        const int32_t far = p.padded;
        __m256 u0 = Row(c, far), u1 = Row(c, far + 1), u2 = Row(c, far + 2), u3 = Row(c, far + 3);
        for (int32_t i = far; i >= 1; i -= kGroup) {
            // Each tap inwards drops the farthest of these rows and takes the next nearer one; the
            // names go round instead of the values.
            EstimateStep(tap[i], a0, a1, a2, a3, u0, u1, u2, u3, down);
            u3 = Row(c, i - 1);
            EstimateStep(tap[i - 1], b0, b1, b2, b3, u3, u0, u1, u2, down);
            u2 = Row(c, i - 2);
            EstimateStep(tap[i - 2], a0, a1, a2, a3, u2, u3, u0, u1, down);
            u1 = Row(c, i - 3);
            EstimateStep(tap[i - 3], b0, b1, b2, b3, u1, u2, u3, u0, down);
            u0 = Row(c, i - 4);
        }
        const __m256 t0 = _mm256_set1_ps(tap[0]);
        float* e = estimate + kLanes * r;
        _mm256_storeu_ps(e, _mm256_add_ps(_mm256_fmadd_ps(Row(c, 0), t0, a0), b0));
        _mm256_storeu_ps(e + kLanes, _mm256_add_ps(_mm256_fmadd_ps(Row(c, 1), t0, a1), b1));
        _mm256_storeu_ps(e + 2 * kLanes, _mm256_add_ps(_mm256_fmadd_ps(Row(c, 2), t0, a2), b2));
        _mm256_storeu_ps(e + 3 * kLanes, _mm256_add_ps(_mm256_fmadd_ps(Row(c, 3), t0, a3), b3));
    }
}

// The outputs summed exactly, four neighbours at a time.
struct Exact {
    const TFIRRec& rec;
    TFIRCrossings& out;
    int32_t queuedEnd = 0;  // the outputs before this one are queued or known

    // Queues output n unless it is known or queued.
    void Queue(int32_t n)
    {
        if (out.Known[n] || n < queuedEnd)
            return;
        const int32_t first = std::min(n, rec.Block - 4);
        out.Pairs.push_back(first);
        queuedEnd = first + 4;
    }

    // Sums the queued outputs into out.Value and marks them known.
    void Run()
    {
        std::vector<int32_t>& first = out.Pairs;
        if (first.empty())
            return;
        const auto groups = static_cast<int32_t>(first.size());
        out.Sums.resize(4 * first.size());
        FIRKernelGroups(rec.Input, kFIRBlockStart, rec.Coef, rec.Half, first.data(), groups, out.Sums.data());
        for (int32_t j = 0; j < 4 * groups; ++j) {
            const int32_t n = first[static_cast<size_t>(j / 4)] + j % 4;
            if (!out.Known[n]) {
                out.Known[n] = 1;
                ++out.Exact;
            }
            out.Value[n] = out.Sums[static_cast<size_t>(j)];
        }
        first.clear();
        queuedEnd = 0;
    }
};

// Single precision rounded up (down) from a double.
float Up(double v)
{
    float f = static_cast<float>(v);
    return double(f) < v ? std::nextafter(f, INFINITY) : f;
}
float Down(double v)
{
    float f = static_cast<float>(v);
    return double(f) > v ? std::nextafter(f, -INFINITY) : f;
}

// Also the bound of every stretch, rounded up.
__attribute__((target("avx2,fma"))) bool Estimate(const TFIRRec& rec, Layout& p, std::vector<float>& rows,
                                                   float* estimate, float (&bound)[kLanes])
{
    Plan(rec, p);
    rows.resize(static_cast<size_t>(kLanes) * static_cast<size_t>(p.rows + 2 * kMargin));
    __m256 low, high;
    Transpose(rec, p, rows.data(), low, high);
    const __m256 outside = _mm256_or_ps(_mm256_cmp_ps(low, _mm256_set1_ps(float(kMinSample)), _CMP_LT_OQ),
                                        _mm256_cmp_ps(high, _mm256_set1_ps(float(kMaxSample)), _CMP_GT_OQ));
    if (_mm256_movemask_ps(outside))
        return false;
    EstimateRows(p, rows.data(), estimate);
    const __m256 largest = _mm256_max_ps(_mm256_sub_ps(_mm256_setzero_ps(), low), high);  // exact
    alignas(32) float m[kLanes];
    _mm256_store_ps(m, largest);
    const double perSample = BoundPerSample(rec, p);
    for (int32_t l = 0; l < kLanes; ++l)
        bound[l] = Up(perSample * m[l]);
    return true;
}

// The safety factor on the bound derived above.
constexpr double kSafety = 2;

__attribute__((target("avx2,fma"))) bool FastCrossings(TFIRRec& rec, int32_t previous, TFIRCrossings& out)
{
    Layout p;
    out.Estimate.resize(static_cast<size_t>(rec.Block));
    float b[kLanes];
    if (!Estimate(rec, p, out.Rows, out.Estimate.data(), b))
        return false;
    const int32_t block = p.block, length = p.length;

    // An output is positive when its sum exceeds 0.5, negative below -0.5, zero in between
    // (ties to even). The estimate decides where it lies beyond the bound from those limits.
    alignas(32) float above[kLanes], within[kLanes];
    double margin[kLanes];
    for (int32_t l = 0; l < kLanes; ++l) {
        margin[l] = double(b[l]) * kSafety * out.BoundScale;
        above[l] = Up(0.5 + margin[l]);
        within[l] = 0.5 - margin[l] > 0 ? Down(0.5 - margin[l]) : 0.0f;
    }
    const __m256 limit = _mm256_load_ps(above), negLimit = _mm256_sub_ps(_mm256_setzero_ps(), limit);
    const __m256 zeroLimit = _mm256_load_ps(within);
    const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));

    out.Known.assign(static_cast<size_t>(block), 0);
    out.Value.resize(static_cast<size_t>(block));
    // Sign bits with one row in front (the row before the first, whose stretch l holds the last
    // output of stretch l - 1) and eight behind, for reads of eight rows at a time.
    out.Positive.assign(static_cast<size_t>(length + 1 + 8), 0);
    out.Negative.assign(static_cast<size_t>(length + 1 + 8), 0);
    uint8_t* pos = out.Positive.data() + 1;
    uint8_t* neg = out.Negative.data() + 1;
    Exact exact{rec, out};
    std::vector<int32_t>& open = out.Open;
    open.clear();
    for (int32_t r = 0; r < length; ++r) {
        const __m256 a = _mm256_loadu_ps(out.Estimate.data() + kLanes * r);
        const int up = _mm256_movemask_ps(_mm256_cmp_ps(a, limit, _CMP_GT_OQ));
        const int down = _mm256_movemask_ps(_mm256_cmp_ps(a, negLimit, _CMP_LT_OQ));
        const int zero = _mm256_movemask_ps(_mm256_cmp_ps(_mm256_and_ps(a, absMask), zeroLimit, _CMP_LT_OQ));
        pos[r] = static_cast<uint8_t>(up);
        neg[r] = static_cast<uint8_t>(down);
        for (unsigned left = ~static_cast<unsigned>(up | down | zero) & 0xFFu; left; left &= left - 1) {
            open.push_back(__builtin_ctz(left) * length + r);
        }
    }
    out.Undecided = static_cast<int32_t>(open.size());
    std::sort(open.begin(), open.end());
    for (int32_t n : open)
        exact.Queue(n);
    exact.Run();
    for (int32_t n : open) {
        const int32_t r = n % length, bit = 1 << (n / length);
        if (out.Value[n] > 0)
            pos[r] = static_cast<uint8_t>(pos[r] | bit);
        else if (out.Value[n] < 0)
            neg[r] = static_cast<uint8_t>(neg[r] | bit);
    }
    pos[-1] = static_cast<uint8_t>(((pos[length - 1] << 1) | (previous > 0 ? 1 : 0)) & 0xFF);
    neg[-1] = static_cast<uint8_t>(((neg[length - 1] << 1) | (previous < 0 ? 1 : 0)) & 0xFF);

    // Changes of sign, eight rows at a time: nonzero now, and not of the same sign as the row before.
    // Rows of the changes, stretch by stretch.
    out.Changes.resize(static_cast<size_t>(block));
    int32_t* changes = out.Changes.data();
    int32_t count[kLanes] = {};
    for (int32_t r = 0; r < length; r += 8) {
        uint64_t pp, pn, np, nn;
        std::memcpy(&pn, pos + r, 8);
        std::memcpy(&pp, pos + r - 1, 8);
        std::memcpy(&nn, neg + r, 8);
        std::memcpy(&np, neg + r - 1, 8);
        uint64_t change = (pn | nn) & ~((pp & pn) | (np & nn));
        if (length - r < 8)
            change &= (uint64_t(1) << (8 * (length - r))) - 1;
        for (; change; change &= change - 1) {
            const int bit = __builtin_ctzll(change);
            const int lane = bit % 8;
            changes[lane * length + count[lane]++] = bit / 8 + r;
        }
    }
    // The values read: those the estimate pins to one integer (no half-integer within the margin of
    // it), the rest summed exactly.
    auto settle = [&](int32_t n) {
        if (out.Known[n])
            return;
        const int32_t l = n / length;
        const double a = out.Estimate[static_cast<size_t>(kLanes * (n % length) + l)];
        const double k = std::nearbyint(a);
        if (std::fabs(a - k) + margin[l] < 0.5 - 1e-9) {
            out.Value[n] = static_cast<int32_t>(k);
            out.Known[n] = 1;
        } else {
            exact.Queue(n);
        }
    };
    out.List.clear();
    for (int32_t l = 0; l < kLanes; ++l) {
        for (int32_t k = 0; k < count[l]; ++k) {
            const int32_t n = l * length + changes[l * length + k];
            out.List.push_back({n, 0, 0});
            if (n > 0)
                settle(n - 1);
            settle(n);
        }
    }
    settle(block - 1);
    exact.Run();
    for (TFIRCrossing& c : out.List) {
        c.Before = c.At > 0 ? out.Value[c.At - 1] : previous;
        c.After = out.Value[c.At];
    }
    out.Last = out.Value[block - 1];
    return true;
}

#endif

}  // namespace

void FIRFilterCrossings(TFIRRec& rec, int32_t previous, TFIRCrossings& out)
{
    out.List.clear();
    out.Undecided = out.Exact = 0;
    out.Last = previous;
    if (!Consistent(rec))
        return;
#ifdef QUENDA_DSP_X86
    if (Applicable(rec)) {
        out.Exact = 0;
        if (FastCrossings(rec, previous, out)) {
            FIRMoveHistory(rec);
            return;
        }
        out.List.clear();
        out.Undecided = out.Exact = 0;
    }
#endif
    CrossingsOfEveryOutput(rec, previous, out);
}

bool FIREstimate(const TFIRRec& rec, float* estimate, float* bound)
{
#ifdef QUENDA_DSP_X86
    if (!Consistent(rec) || !Applicable(rec))
        return false;
    Layout p;
    std::vector<float> rows, rowEstimate(static_cast<size_t>(rec.Block));
    float lane[kLanes];
    if (!Estimate(rec, p, rows, rowEstimate.data(), lane))
        return false;
    for (int32_t n = 0; n < rec.Block; ++n) {
        const int32_t l = n / p.length, r = n % p.length;
        estimate[n] = rowEstimate[static_cast<size_t>(kLanes * r + l)];
        bound[n] = lane[l];
    }
    return true;
#else
    (void)rec;
    (void)estimate;
    (void)bound;
    return false;
#endif
}
