#pragma once
// Windowed real FFT with a power spectrum: the working record and its two operations. The record is
// embedded in the applet object that uses it (scope and analyser, DTMF and CTCSS decoders).
#include <cstdint>

constexpr int32_t kFFTMaxSize = 8192;          // real samples per transform
constexpr int32_t kFFTMaxBins = kFFTMaxSize / 2;

struct TFFTRec {
    int32_t N = 0;                       // transform size in real samples, a power of two 2..8192
    int32_t M = 0;                       // N / 2: complex points and output bins
    int32_t BitRev[kFFTMaxBins] = {};    // i with its log2(M) bits reversed
    double Sine[kFFTMaxBins] = {};       // sin(-pi*i/M)
    double Cosine[kFFTMaxBins] = {};     // cos(-pi*i/M)
    double Window[kFFTMaxSize] = {};     // window value per input sample
    double Samples[kFFTMaxSize] = {};    // input, written by the caller; consumed by FFTPower
    double Power[kFFTMaxBins] = {};      // output: power of bins 0..M-1
};

// Window kinds of the FFT; the names are those of the scope's list. MakeWindow (DFT.h) has a list
// of its own, TDFTWindowKind, in another order and with windows of another scale.
enum TFFTWindowKind : int32_t {
    fwRectangle = 0,
    fwTriangle = 1,
    fwCosine = 2,
    fwHamming = 3,
    fwBlackman = 4,
    fwKaiser = 5,
};

// Sets N, M, the tables and the window (scaled so that its mean over the frame is about 1).
// A window kind outside 0..5 leaves the window as it was. Returns false, changing nothing, when n is
// not a power of two from 2 to 8192.
bool FFTInit(TFFTRec& rec, int32_t n, int32_t window);

// Power of bins 0..M-1 of the windowed samples into Power: |sum s[n] w[n] e^(-2 pi i k n/N)|^2,
// unscaled. The samples are overwritten. Does nothing on a record FFTInit has not set up.
void FFTPower(TFFTRec& rec);
