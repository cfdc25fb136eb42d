#include "FIR.h"

#include "FIRKernels.h"
#include "MathFunctions.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

bool validTaps(int32_t taps)
{
    return taps >= 1 && taps <= kFIRMaxTaps && taps % 2 == 1;
}

// Stores a block size within the limits; whether a design of that many taps may follow.
bool acceptDesign(TFIRRec& rec, int32_t block, int32_t taps)
{
    if (block < 1 || block > kFIRMaxBlock)
        return false;
    rec.Block = block;
    return validTaps(taps);
}

// Kaiser window value at distance i from the centre of a filter of half-length half.
double kaiserTap(double beta, int32_t i, int32_t half)
{
    const double r = static_cast<double>(i) / half;
    const double q = 1 - r * r;
    return ModifiedBesselI0(beta * std::sqrt(q > 0 ? q : 0)) / ModifiedBesselI0(beta);
}

// Stores a design computed into c[0..half] after dividing it by gain, unless the gain is unusable.
bool store(TFIRRec& rec, int32_t taps, int32_t half, double* c, double gain)
{
    if (!(gain != 0) || !std::isfinite(gain))
        return false;
    for (int32_t i = 0; i <= half; ++i) {
        c[i] /= gain;
        if (!std::isfinite(c[i]))
            return false;
    }
    rec.Taps = taps;
    rec.Half = half;
    std::memcpy(rec.Coef, c, sizeof(double) * static_cast<size_t>(half + 1));
    return true;
}

}  // namespace

bool DesignLowPassFIR(TFIRRec& rec, int32_t block, int32_t taps, double fc)
{
    if (!acceptDesign(rec, block, taps))
        return false;
    const int32_t half = taps / 2;
    double c[kFIRMaxTaps];
    c[half] = fc;
    double sum = fc;
    for (int32_t i = 1; i <= half; ++i) {
        c[half - i] = std::sin(kPi * fc * i) / (kPi * i) * kaiserTap(0.9425, i, half);
        sum += 2 * c[half - i];
    }
    return store(rec, taps, half, c, sum);
}

bool DesignBandPassFIR(TFIRRec& rec, int32_t block, int32_t taps, double fh, double fl)
{
    if (!acceptDesign(rec, block, taps))
        return false;
    const int32_t half = taps / 2;
    double c[kFIRMaxTaps];
    c[half] = 2 * (fh - fl);
    double gain = c[half];
    for (int32_t i = 1; i <= half; ++i) {
        const double centre = std::cos(kPi * i * (fh + fl));
        c[half - i] = 2 * std::sin(kPi * i * (fh - fl)) * centre / (kPi * i) * kaiserTap(5.65326, i, half);
        gain += 2 * c[half - i] * centre;
    }
    return store(rec, taps, half, c, gain);
}

void FIRFilter(TFIRRec& rec)
{
    const int32_t block = rec.Block;
    const int32_t taps = rec.Taps;
    const int32_t half = rec.Half;
    if (block < 0 || block > kFIRMaxBlock || taps < 0 || taps > kFIRMaxTaps || half != taps / 2)
        return;
    FIRKernelBest()(rec.Input, kFIRBlockStart, rec.Coef, half, block, rec.Output);
    FIRMoveHistory(rec);
}

void FIRMoveHistory(TFIRRec& rec)
{
    const int32_t taps = rec.Taps;
    if (taps >= 2 && taps <= kFIRMaxTaps && rec.Block >= 0 && rec.Block <= kFIRMaxBlock)
        std::memmove(&rec.Input[kFIRBlockStart + 1 - taps], &rec.Input[kFIRBlockStart + 1 - taps + rec.Block],
                     sizeof(int32_t) * static_cast<size_t>(taps - 1));
}
