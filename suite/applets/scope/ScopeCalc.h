#pragma once
// The scope's arithmetic apart from any window: the timebase table, the analyser's span, the
// spectrum heights, the readout texts, the cursor and trigger-marker positions and the grabber's
// screen and scroll range.
#include <cstdint>
#include <string>
#include <vector>

struct TTimebaseEntry {
    const char* Name;      // as the list "ScopeTimeBase" shows it (UTF-8)
    int32_t Samples;       // samples per screen S
    int32_t Rate;          // capture rate, Hz
    int32_t BufferLength;  // capture buffer length N, samples
};
constexpr int kTimebaseCount = 10;
extern const TTimebaseEntry kScopeTimeBase[kTimebaseCount];
// An index outside the table reads as "1 ms/div".
const TTimebaseEntry& TimebaseEntry(int index);

// Width of a screen of S samples at a rate, in ms (0 for a rate of 0).
int32_t ScreenTimeMs(int32_t samples, int32_t rate);

// Samples per screen of a timebase entry for data held at another rate (grabbed or loaded): at least
// 1, at most what a signed 32-bit count holds.
int32_t ScaledScreenSamples(int index, uint32_t dataRate);
// Whether a loaded file's rate gives the timebase entry a screen of at least one sample.
bool LoadableRate(int index, uint32_t rate);

struct TSpan {
    int32_t Low = 0;       // span low edge, Hz
    int32_t Width = 0;     // Hz
    int32_t Upper = 0;     // Hz
    int32_t Rate = 11025;  // capture rate
    int32_t N = 2;         // transform size and capture buffer length
    double ReferenceLevel = 0;
    int32_t FirstBin = 0;
    int32_t LastBin = 0;
};
// The span from the two frequency edits: start and stop, or centre and width.
TSpan ComputeSpan(bool useStartStop, int32_t freq1, int32_t freq2);

// Height of one bin's power on a trace area h pixels high (0 at the top, h the bottom line).
int32_t SpectrumHeight(double power, double referenceLevel, int32_t h);
// Heights of bins first..last of a power spectrum of m bins; bins outside 0..m-1 lie on the bottom.
void SpectrumHeights(const double* power, int32_t m, int32_t firstBin, int32_t lastBin, double referenceLevel,
                     int32_t h, std::vector<int32_t>& heights);

// The readout's time text of a value in ms: "2 ms", "1.5 s".
std::string FormatTime(double ms);
// A number with the locale's thousands separator and no decimals.
std::string FormatThousands(double value);
// The readout's cursor texts.
std::string ScopeCursorText(int count, double t0, const double* values);
std::string AnalyserCursorText(int count, const double* values);

// Cursor values from a cursor's left edge, and positions from values, on a display whose client area
// is clientWidth wide; a display too narrow for a trace area gives the low end.
double ScopeCursorValue(int left, int clientWidth, int32_t screenTimeMs);
double AnalyserCursorValue(int left, int margin, int clientWidth, int32_t low, int32_t width);
int ScopeCursorLeft(double value, int clientWidth, int32_t screenTimeMs);
int AnalyserCursorLeft(double value, int margin, int clientWidth, int32_t low, int32_t width);

// The trigger-level marker's top for a level, and the level (0..255) for a dragged top.
int TriggerMarkerTop(int clientHeight, int level);
int TriggerLevelFromTop(int clientHeight, int top);

// The grabber's scroll range: the largest position is the start of the last whole screen that
// DrawTrace can complete; never below 0.
int32_t GrabScrollMax(int32_t grabbedSamples, int32_t samplesPerScreen);
// The scroll bar's maximum that makes that position reachable with a page of S.
int32_t GrabScrollBarMax(int32_t grabbedSamples, int32_t samplesPerScreen);
// Bytes the grab may hold: half the physical memory, capped to a signed 32-bit count.
int64_t GrabMemoryLimit(uint64_t physicalBytes);
