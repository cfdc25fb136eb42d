#pragma once
// The CTCSS decoder's analysis: which of the 41 sub-audible tones is strongest in an 8192-sample
// buffer at 11025 Hz, whether it stands out enough to count as present, and what the window does
// with that: record the buffer, ask the host to scan on, propose a file name.
#include "FFT.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

struct TCTCSSTone {
    const char* Text;  // 7 characters, a blank before tones under 100 Hz
    int32_t Bin;       // Trunc(f x 8192 / 11025)
};
constexpr int kCTCSSToneCount = 41;
extern const TCTCSSTone CTCSSTones[kCTCSSToneCount];
constexpr int32_t kCTCSSBlock = 8192;
constexpr uint32_t kCTCSSRate = 11025;

struct TCTCSSResult {
    int Strongest = 0;     // the first of the strongest tones
    bool Present = false;  // its power exceeds twice the mean of the 41 plus ten million
    double Pmax = 0;
    double Sum = 0;        // of the 41 tone powers
};

class TCTCSSDetector {
public:
    TCTCSSDetector();
    // One buffer: samples divided by 256 (truncating), a Kaiser-windowed 8192-point power spectrum,
    // the decision. Only what arrived is analysed: a short buffer is followed by zeros.
    TCTCSSResult Analyse(const int16_t* samples, size_t count);
    // The decision over the tone bins of a power spectrum of 4096 bins.
    static TCTCSSResult Decide(const double* power);

private:
    std::unique_ptr<TFFTRec> fft_;
};

// A buffer goes to the recording only when a tone is present and it is the target.
bool CTCSSRecords(const TCTCSSResult& r, int target);
// The host is asked to scan on when scan control is on, the host has stopped, and the target tone is
// not present (a channel without any tone is skipped too).
bool CTCSSPokes(const TCTCSSResult& r, int target, bool scanControl, bool hostScanning);
// A stored target tone, held to 0..40.
int ClampTargetTone(int32_t v);
// The proposed recording name: the target's text, " D" day-month-year, " T" hour-minute-second.
std::string CTCSSProposedName(int target, const std::tm& local);
