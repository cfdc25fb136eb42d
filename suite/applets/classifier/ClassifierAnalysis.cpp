#include "ClassifierAnalysis.h"

#include "MulDiv.h"

#include <algorithm>

void TClassifierAnalysis::Load(const int16_t* samples, size_t count)
{
    std::copy_n(samples, std::min(count, kClassifierSamples), capture_.begin());
    int32_t sum = 0;
    for (size_t i = 0; i < kClassifierSamples; ++i) {
        y_[i] = capture_[i] / 256;
        sum += y_[i];
    }
    const int32_t mean = sum / int32_t(kClassifierSamples);
    for (int32_t& v : y_)
        v -= mean;
}

void TClassifierAnalysis::MeasureSilence(int32_t squelch, TClassifierResult& r) const
{
    // |y| <= 255, so the sum of 4096 squares stays below 2^28.
    r.E = 0;
    r.YMax = 0;
    r.YMin = 0;
    for (int32_t v : y_) {
        r.E += v * v;
        r.YMax = std::max(r.YMax, v);
        r.YMin = std::min(r.YMin, v);
    }
    r.SilenceLevel = 100 - MulDiv(10, r.E, int32_t(kClassifierSamples));
    r.Silent = r.E <= MulDiv(100 - squelch, int32_t(kClassifierSamples), 10);
}

void TClassifierAnalysis::MeasureNoise(int32_t squelch, TClassifierResult& r) const
{
    r.Noise = false;
    r.Peak = 0;
    if (r.Silent) {
        r.NoiseLevel = 0;
        return;
    }
    // A periodic signal correlates strongly again after its first negative lobe; noise does not.
    bool negativeSeen = false;
    for (size_t k = 1; k <= size_t(kClassifierLags); ++k) {
        int32_t rk = 0;
        for (size_t j = 0; j + k < kClassifierSamples; ++j)
            rk += y_[j + k] * y_[j];
        if (rk < 0)
            negativeSeen = true;
        if (negativeSeen)
            r.Peak = std::max(r.Peak, rk);
    }
    r.NoiseLevel = 100 - MulDiv(100, r.Peak, r.E);
    r.Noise = r.Peak < MulDiv(r.E, 100 - squelch, 100);
}

void TClassifierAnalysis::MeasureData(int32_t squelch, TClassifierResult& r) const
{
    r.Data = false;
    r.Highs = r.Lows = r.Returns = 0;
    if (r.Silent) {
        r.DataLevel = 0;
        return;
    }
    // A data signal swings from one level to the other; noise often turns back inside the middle band.
    const int32_t hi = r.YMax / 3, lo = r.YMin / 3;
    bool mid = false, lastHigh = false, lastLow = false;
    for (int32_t v : y_) {
        if (v >= hi) {
            if (mid || lastLow)
                ++r.Highs;
            if (mid && lastHigh)
                ++r.Returns;
            lastHigh = true;
            lastLow = false;
            mid = false;
        }
        if (v <= lo) {
            if (mid || lastHigh)
                ++r.Lows;
            if (mid && lastLow)
                ++r.Returns;
            lastHigh = false;
            lastLow = true;
            mid = false;
        }
        if (lo < v && v < hi)
            mid = true;
    }
    const int32_t entries = r.Highs + r.Lows;
    r.DataLevel = 100 - MulDiv(200, r.Returns, entries);
    r.Data = MulDiv(100 - squelch, entries, 200) >= r.Returns;
}

TClassifierResult TClassifierAnalysis::Measure(int32_t silenceSquelch, int32_t noiseSquelch, int32_t dataSquelch) const
{
    TClassifierResult r;
    MeasureSilence(silenceSquelch, r);
    MeasureNoise(noiseSquelch, r);
    MeasureData(dataSquelch, r);
    return r;
}

bool ClassifierResumes(const TClassifierResult& r, const TClassifierTicks& ticks, bool testMode)
{
    if (testMode)
        return false;
    return (r.Silent && ticks.Silent) || (r.Noise && ticks.Noise) || (r.Data && ticks.Data) ||
           (!r.Silent && !r.Noise && !r.Data && ticks.Unrecognized);
}
