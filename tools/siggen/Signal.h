#pragma once
// Building blocks of test signals: tones, square waves, silence, seeded white noise, and the
// assembly of mono and stereo sound from them. Samples are doubles at full scale 1.0.
#include "Wav.h"

#include <cstdint>
#include <vector>

namespace siggen {

using Samples = std::vector<double>;

// Small deterministic generator (splitmix64 seeding, xorshift64*), so that a seed gives the same
// noise with every compiler and standard library.
class Random {
public:
    explicit Random(uint64_t seed);
    uint64_t next();
    double uniform();   // [0, 1), 53 bits
    double gaussian();  // mean 0, variance 1 (polar Box-Muller)

private:
    uint64_t state_;
    bool haveSpare_ = false;
    double spare_ = 0.0;
};

// Sine and square waves whose phase carries on from one call to the next, so that consecutive
// stretches of different frequency join without a jump.
class Oscillator {
public:
    explicit Oscillator(uint32_t rate, double phaseCycles = 0.0);
    void tone(Samples& out, double freq, double amplitude, size_t count);
    void square(Samples& out, double freq, double amplitude, size_t count);
    double phase() const { return phase_; }  // in cycles, [0, 1)

private:
    void advance(double freq);
    uint32_t rate_;
    double phase_;
};

// Number of samples in a stretch of the given length, rounded to the nearest sample.
size_t samplesFor(double seconds, uint32_t rate);

void appendSilence(Samples& out, size_t count);
void appendNoise(Samples& out, double rms, size_t count, Random& random);

double meanPower(const Samples& s);

// Adds white Gaussian noise whose power is the signal's mean power divided by 10^(snr/10).
// Returns the noise rms used. A silent signal gets no noise.
double addNoise(Samples& s, double snrDb, Random& random);

// One stretch of a sequence.
struct Segment {
    enum class Kind { Tone, Square, Silence, Noise };
    Kind kind = Kind::Silence;
    double seconds = 0.0;
    double freq = 0.0;
    double amplitude = 0.5;  // peak for tones, rms for noise
};

// Concatenates the stretches; tones and squares share one phase, so the joins are continuous.
Samples sequence(const std::vector<Segment>& segments, uint32_t rate, Random& random);

Audio mono(Samples s, uint32_t rate);
// signal on channel `signalChannel` (0 left, 1 right), `other` on the other one; the shorter
// of the two is padded with silence.
Audio stereo(const Samples& signal, const Samples& other, int signalChannel, uint32_t rate);

}  // namespace siggen
