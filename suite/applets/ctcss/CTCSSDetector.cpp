#include "CTCSSDetector.h"

#include <algorithm>
#include <cstdio>

const TCTCSSTone CTCSSTones[kCTCSSToneCount] = {
    {" 62.5Hz", 46},  {" 64.7Hz", 48},  {" 67.0Hz", 49},  {" 69.3Hz", 51},  {" 71.9Hz", 53},  {" 74.4Hz", 55},
    {" 77.0Hz", 57},  {" 79.7Hz", 59},  {" 82.5Hz", 61},  {" 85.4Hz", 63},  {" 88.5Hz", 65},  {" 91.5Hz", 67},
    {" 94.8Hz", 70},  {" 97.4Hz", 72},  {"100.0Hz", 74},  {"103.5Hz", 76},  {"107.2Hz", 79},  {"110.9Hz", 82},
    {"114.8Hz", 85},  {"118.8Hz", 88},  {"123.0Hz", 91},  {"127.3Hz", 94},  {"131.8Hz", 97},  {"136.5Hz", 101},
    {"141.3Hz", 104}, {"146.2Hz", 108}, {"151.4Hz", 112}, {"156.7Hz", 116}, {"162.7Hz", 120}, {"167.9Hz", 124},
    {"173.8Hz", 129}, {"179.9Hz", 133}, {"186.2Hz", 138}, {"192.8Hz", 143}, {"203.5Hz", 151}, {"210.7Hz", 156},
    {"218.1Hz", 162}, {"225.7Hz", 167}, {"233.6Hz", 173}, {"241.8Hz", 179}, {"250.3Hz", 185},
};

TCTCSSDetector::TCTCSSDetector() : fft_(std::make_unique<TFFTRec>())
{
    FFTInit(*fft_, kCTCSSBlock, fwKaiser);
}

TCTCSSResult TCTCSSDetector::Analyse(const int16_t* samples, size_t count)
{
    const size_t n = std::min(count, size_t(kCTCSSBlock));
    for (size_t i = 0; i < n; ++i)
        fft_->Samples[i] = double(samples[i] / 256);  // integer division truncates toward zero
    std::fill(fft_->Samples + n, fft_->Samples + kCTCSSBlock, 0.0);
    FFTPower(*fft_);
    return Decide(fft_->Power);
}

TCTCSSResult TCTCSSDetector::Decide(const double* power)
{
    TCTCSSResult r;
    r.Pmax = power[CTCSSTones[0].Bin];
    for (int j = 0; j < kCTCSSToneCount; ++j) {
        const double p = power[CTCSSTones[j].Bin];
        r.Sum += p;
        if (p > r.Pmax) {
            r.Pmax = p;
            r.Strongest = j;
        }
    }
    r.Present = r.Pmax > 2 * r.Sum / kCTCSSToneCount + 10000000.0;
    return r;
}

bool CTCSSRecords(const TCTCSSResult& r, int target)
{
    return r.Present && r.Strongest == target;
}

bool CTCSSPokes(const TCTCSSResult& r, int target, bool scanControl, bool hostScanning)
{
    return scanControl && !hostScanning && !CTCSSRecords(r, target);
}

int ClampTargetTone(int32_t v)
{
    return std::clamp<int32_t>(v, 0, kCTCSSToneCount - 1);
}

std::string CTCSSProposedName(int target, const std::tm& t)
{
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, " D%02d-%02d-%02d T%02d-%02d-%02d", t.tm_mday % 100, (t.tm_mon + 1) % 100,
                  t.tm_year % 100, t.tm_hour % 100, t.tm_min % 100, t.tm_sec % 100);
    return std::string(CTCSSTones[ClampTargetTone(target)].Text) + stamp;
}
