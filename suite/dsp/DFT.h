#pragma once
// Analysis windows and single-bin Goertzel power: the working record and its two operations, for the
// DTMF decoder, which embeds the record.
#include <cstdint>

constexpr int32_t kDFTMaxSize = 8192;

struct TDFTRec {
    double Samples[kDFTMaxSize] = {};  // written by the caller
    double Window[kDFTMaxSize] = {};
    int32_t N = 0;                     // samples per analysis
};

// Window kinds of MakeWindow: textbook windows with a peak of 1, and the FFT's scaled Kaiser window.
enum TDFTWindowKind : int32_t {
    dwRectangular = 0,
    dwTriangular = 1,
    dwHamming = 2,
    dwHann = 3,
    dwBlackman = 4,
    dwKaiser = 5,
};

// Sets N and the window; a kind outside 0..5 leaves the window as it was. Returns false, changing
// nothing, when n is outside 1..8192.
bool MakeWindow(TDFTRec& rec, int32_t n, int32_t kind);

// Power of bin k (at k * fs / N) of the windowed samples by the Goertzel recursion; the samples are
// left as they are. A k between bins measures the frequency k * fs / N itself. 0 on a record
// MakeWindow has not set up.
double GoertzelPower(const TDFTRec& rec, double k);

// GoertzelPower of several bins in one pass over the samples; each result is bit for bit the one
// GoertzelPower gives. At most kGoertzelMaxBins bins; out[i] belongs to k[i].
constexpr int32_t kGoertzelMaxBins = 16;
void GoertzelPowers(const TDFTRec& rec, const double* k, int32_t count, double* out);
