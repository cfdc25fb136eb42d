#pragma once
// What a short capture holds: silence (by its energy), noise (by its autocorrelation) and data
// (by how its excursions come and go), each against a threshold the user sets on a meter.
#include <array>
#include <cstddef>
#include <cstdint>

constexpr size_t kClassifierSamples = 4096;
constexpr int kClassifierLags = 512;

// The three markers' positions (0..98), and what the analysis found: each level as the meter is
// given it (the meter clamps), the class flags and the figures behind them.
struct TClassifierResult {
    int32_t SilenceLevel = 0;
    int32_t NoiseLevel = 0;
    int32_t DataLevel = 0;
    bool Silent = false;
    bool Noise = false;
    bool Data = false;
    int32_t E = 0;        // energy: sum of the squared values
    int32_t YMax = 0;     // largest value, at least 0
    int32_t YMin = 0;     // smallest value, at most 0
    int32_t Peak = 0;     // largest autocorrelation after the first negative one
    int32_t Highs = 0;    // entries into the upper third
    int32_t Lows = 0;     // entries into the lower third
    int32_t Returns = 0;  // excursions into the middle band that came back to the side they left
};

// Which classes the user wants the scan to skip: silent, noise, data, and a signal that is none of these.
struct TClassifierTicks {
    bool Silent = false;
    bool Noise = false;
    bool Data = false;
    bool Unrecognized = false;
};

class TClassifierAnalysis {
public:
    // Takes the capture: each sample divided by 256, less the mean. The analysis always spans
    // kClassifierSamples values; a short capture leaves the rest as the previous capture had them.
    void Load(const int16_t* samples, size_t count);
    void MeasureSilence(int32_t squelch, TClassifierResult& r) const;
    void MeasureNoise(int32_t squelch, TClassifierResult& r) const;
    void MeasureData(int32_t squelch, TClassifierResult& r) const;
    // All three, with the markers of the silence, noise and data meters.
    TClassifierResult Measure(int32_t silenceSquelch, int32_t noiseSquelch, int32_t dataSquelch) const;

    const std::array<int32_t, kClassifierSamples>& Values() const { return y_; }

private:
    std::array<int16_t, kClassifierSamples> capture_{};
    std::array<int32_t, kClassifierSamples> y_{};
};

// Whether the host is asked to resume the scan; never for a test run.
bool ClassifierResumes(const TClassifierResult& r, const TClassifierTicks& ticks, bool testMode);
