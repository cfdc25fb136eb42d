#include "Signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace siggen {

Random::Random(uint64_t seed)
{
    // splitmix64 spreads any seed (0 too) over the state; xorshift needs a non-zero state
    uint64_t z = seed + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    state_ = z ? z : 0x9E3779B97F4A7C15ull;
}

uint64_t Random::next()
{
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
}

double Random::uniform()
{
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

double Random::gaussian()
{
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_;
    }
    double u, v, s;
    do {
        u = 2.0 * uniform() - 1.0;
        v = 2.0 * uniform() - 1.0;
        s = u * u + v * v;
    } while (s >= 1.0 || s == 0.0);
    const double f = std::sqrt(-2.0 * std::log(s) / s);
    spare_ = v * f;
    haveSpare_ = true;
    return u * f;
}

Oscillator::Oscillator(uint32_t rate, double phaseCycles) : rate_(rate), phase_(phaseCycles - std::floor(phaseCycles))
{
    if (rate == 0)
        throw std::invalid_argument("the sampling rate must be above 0");
}

void Oscillator::advance(double freq)
{
    phase_ += freq / rate_;
    phase_ -= std::floor(phase_);
}

void Oscillator::tone(Samples& out, double freq, double amplitude, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        out.push_back(amplitude * std::sin(2.0 * std::numbers::pi * phase_));
        advance(freq);
    }
}

void Oscillator::square(Samples& out, double freq, double amplitude, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        out.push_back(phase_ < 0.5 ? amplitude : -amplitude);
        advance(freq);
    }
}

size_t samplesFor(double seconds, uint32_t rate)
{
    if (!(seconds >= 0.0) || seconds * rate > 1e10)
        throw std::invalid_argument("a stretch must last between 0 and about 1e10 samples");
    return static_cast<size_t>(std::llround(seconds * rate));
}

void appendSilence(Samples& out, size_t count)
{
    out.insert(out.end(), count, 0.0);
}

void appendNoise(Samples& out, double rms, size_t count, Random& random)
{
    for (size_t i = 0; i < count; ++i)
        out.push_back(rms * random.gaussian());
}

double meanPower(const Samples& s)
{
    if (s.empty())
        return 0.0;
    double sum = 0.0;
    for (double x : s)
        sum += x * x;
    return sum / static_cast<double>(s.size());
}

double addNoise(Samples& s, double snrDb, Random& random)
{
    const double power = meanPower(s);
    if (power <= 0.0)
        return 0.0;
    const double rms = std::sqrt(power / std::pow(10.0, snrDb / 10.0));
    for (double& x : s)
        x += rms * random.gaussian();
    return rms;
}

Samples sequence(const std::vector<Segment>& segments, uint32_t rate, Random& random)
{
    Samples out;
    Oscillator osc(rate);
    for (const Segment& seg : segments) {
        const size_t count = samplesFor(seg.seconds, rate);
        switch (seg.kind) {
        case Segment::Kind::Tone: osc.tone(out, seg.freq, seg.amplitude, count); break;
        case Segment::Kind::Square: osc.square(out, seg.freq, seg.amplitude, count); break;
        case Segment::Kind::Silence: appendSilence(out, count); break;
        case Segment::Kind::Noise: appendNoise(out, seg.amplitude, count, random); break;
        }
    }
    return out;
}

Audio mono(Samples s, uint32_t rate)
{
    Audio a;
    a.rate = rate;
    a.channels = 1;
    a.samples = std::move(s);
    return a;
}

Audio stereo(const Samples& signal, const Samples& other, int signalChannel, uint32_t rate)
{
    if (signalChannel != 0 && signalChannel != 1)
        throw std::invalid_argument("the signal channel must be 0 (left) or 1 (right)");
    Audio a;
    a.rate = rate;
    a.channels = 2;
    const size_t frames = std::max(signal.size(), other.size());
    a.samples.assign(2 * frames, 0.0);
    for (size_t i = 0; i < signal.size(); ++i)
        a.samples[2 * i + signalChannel] = signal[i];
    for (size_t i = 0; i < other.size(); ++i)
        a.samples[2 * i + 1 - signalChannel] = other[i];
    return a;
}

}  // namespace siggen
