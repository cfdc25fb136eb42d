// The decoder against a plain copy of the per-sample rule, written out here one sample at a time: every
// symbol, every transition and the whole working state must agree after every buffer, on random input,
// on extremes, silence and runs, and on noisy four-level signals, in both slicing modes and with
// settings away from the defaults.
#include <QelFSK4Decoder.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Settings {
    int32_t attack = 10;
    int32_t decay = 100000;
    uint32_t baudRate = 1600;
    uint32_t dpllSpeed = 12;
    uint32_t samplingRate = 44100;
    int32_t thrs1 = 17, thrs2 = 50, thrs3 = 83;
    bool derivative = false;
};

// The rule one sample at a time, with every product and division as the decoder has them.
class PlainRule {
public:
    Settings s;
    std::function<void(PlainRule&, int32_t)> onNewDibit;
    std::function<void(PlainRule&, uint32_t, int32_t)> onTransition;

    uint64_t counter = 0, lastChange = 0;
    int32_t symbol = 0, upper = 0, lower = 0;
    int64_t phase = 0;
    int32_t previous = 0, last = 0, beforeLast = 0;

    static int32_t follow(int32_t env, int32_t v, bool outside, int32_t attack, int32_t decay)
    {
        if (outside)
            return static_cast<int32_t>(((int64_t(attack) - 1) * env + v) / attack);
        return static_cast<int32_t>(((int64_t(decay) - 1) * env) / decay);
    }

    int32_t newSymbol(int32_t v)
    {
        const int64_t up = upper, lo = lower;
        if (!s.derivative) {
            if (v <= (5 * lo + up) / 6)
                return 0;
            if (v <= (up + lo) / 2)
                return 1;
            if (v <= (5 * up + lo) / 6)
                return 2;
            return 3;
        }
        const int64_t p = last, q = beforeLast;
        int64_t g = symbol;
        if (v >= 0 && q < p && v < p) {
            if (p > up * s.thrs3 / 100)
                g += 3;
            else if (p > up * s.thrs2 / 100)
                g += 2;
            else if (p > up * s.thrs1 / 100)
                g += 1;
        } else if (v < 0 && q > p && v > p) {
            if (p < lo * s.thrs3 / 100)
                g -= 3;
            else if (p < lo * s.thrs2 / 100)
                g -= 2;
            else if (p < lo * s.thrs1 / 100)
                g -= 1;
        }
        beforeLast = last;
        last = v;
        return static_cast<int32_t>(g < 0 ? 0 : g > 3 ? 3 : g);
    }

    void process(const int16_t* samples, uint32_t count)
    {
        for (uint32_t n = 0; n < count; ++n) {
            const uint64_t c = counter;
            const int32_t x = samples[n];
            int32_t v = x;
            if (s.derivative) {
                v = x - previous;
                previous = x;
            }
            if (v > 0)
                upper = follow(upper, v, v > upper, s.attack, s.decay);
            else
                lower = follow(lower, v, v < lower, s.attack, s.decay);
            const int32_t g = newSymbol(v);
            if (g != symbol) {
                const uint64_t symbolLength = s.samplingRate / s.baudRate;
                if (c - lastChange > symbolLength / 3) {
                    const double target = double(4 * c) + double(2 * uint64_t(s.samplingRate)) / s.baudRate +
                                          double(int64_t(s.dpllSpeed) - 1) * double(phase);
                    phase = static_cast<int64_t>(target / double(s.dpllSpeed));
                    if (onTransition)
                        onTransition(*this, static_cast<uint32_t>(c), symbol);
                }
                symbol = g;
                lastChange = c;
            }
            const int64_t offset = int64_t(4 * c) - phase;
            if (offset >= -1 && offset <= 2) {
                if (onNewDibit)
                    onNewDibit(*this, symbol);
                phase += int64_t(4) * s.samplingRate / s.baudRate;
            }
            counter = c + 1;
        }
    }
};

void apply(TQelFSK4Decoder& d, const Settings& s)
{
    d.SetAttack(s.attack);
    d.SetDecay(s.decay);
    d.SetBaudRate(s.baudRate);
    d.SetDPLLSpeed(s.dpllSpeed);
    d.SetSamplingRate(s.samplingRate);
    d.DerThrs1Bit = s.thrs1;
    d.DerThrs2Bit = s.thrs2;
    d.DerThrs3Bit = s.thrs3;
    d.Derivative = s.derivative;
}

// What either side reports: each event with the state it can see at that moment.
using Event = std::tuple<char, uint64_t, int64_t, int32_t, int32_t, int32_t, int32_t>;

// Something an event handler does to its own decoder, the same on both sides: change a setting (on
// every sixth sampling instant), switch the slicing mode, or feed a few samples of its own.
enum class Handler { None, ChangeSettings, SwitchMode, FeedSamples };

struct Compared {
    TQelFSK4Decoder d;
    PlainRule r;
    std::vector<Event> got, want;  // since the last buffer
    size_t events = 0;
    int dibits = 0, plainDibits = 0;

    Compared(const Settings& s, Handler h)
    {
        apply(d, s);
        r.s = s;
        d.OnNewDibit = [this, h](TQelFSK4Decoder* self, int32_t v) {
            got.emplace_back('d', self->SampleCounter(), self->ClockPhase(), v, self->Symbol(), self->UpperEnvelope(),
                             self->LowerEnvelope());
            if (++dibits % 6 == 0)
                act(h, dibits / 6);
        };
        d.OnTransition = [this](TQelFSK4Decoder* self, uint32_t pos, int32_t v) {
            got.emplace_back('t', pos, self->ClockPhase(), v, self->Symbol(), self->UpperEnvelope(), self->LowerEnvelope());
        };
        r.onNewDibit = [this, h](PlainRule& self, int32_t v) {
            want.emplace_back('d', self.counter, self.phase, v, self.symbol, self.upper, self.lower);
            if (++plainDibits % 6 == 0)
                actPlain(h, plainDibits / 6);
        };
        r.onTransition = [this](PlainRule& self, uint32_t pos, int32_t v) {
            want.emplace_back('t', pos, self.phase, v, self.symbol, self.upper, self.lower);
        };
    }

    static constexpr int16_t own[] = {1200, 1300, -900, 5, 5, 32767, -32768, 0};

    void act(Handler h, int k)
    {
        if (h == Handler::ChangeSettings) {
            d.SetAttack(k % 3 == 0 ? 1 : k % 3 == 1 ? 4 : 10);
            d.SetDecay(k % 2 ? 30 : 100000);
            d.DerThrs1Bit = k % 4 == 0 ? 40 : 17;
            d.SetDPLLSpeed(k % 5 == 0 ? 3 : 12);
            d.SetBaudRate(k % 7 == 0 ? 1500 : 1600);
        } else if (h == Handler::SwitchMode) {
            d.Derivative = !d.Derivative;
        } else if (h == Handler::FeedSamples && k % 2 == 0) {
            d.ProcessBuffer(own, 8);
        }
    }
    void actPlain(Handler h, int k)
    {
        if (h == Handler::ChangeSettings) {
            r.s.attack = k % 3 == 0 ? 1 : k % 3 == 1 ? 4 : 10;
            r.s.decay = k % 2 ? 30 : 100000;
            r.s.thrs1 = k % 4 == 0 ? 40 : 17;
            r.s.dpllSpeed = k % 5 == 0 ? 3 : 12;
            r.s.baudRate = k % 7 == 0 ? 1500 : 1600;
        } else if (h == Handler::SwitchMode) {
            r.s.derivative = !r.s.derivative;
        } else if (h == Handler::FeedSamples && k % 2 == 0) {
            r.process(own, 8);
        }
    }

    // Feeds x in buffers of random sizes; false (with a gtest failure) at the first difference.
    bool run(const std::vector<int16_t>& x, std::mt19937_64& rng, uint32_t largest, const std::string& what)
    {
        size_t at = 0;
        while (at < x.size()) {
            const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(rng() % (largest + 1), x.size() - at));
            d.ProcessBuffer(x.data() + at, n);
            r.process(x.data() + at, n);
            at += n;
            const auto state = std::make_tuple(d.SampleCounter(), d.Symbol(), d.UpperEnvelope(), d.LowerEnvelope(),
                                               d.ClockPhase());
            const auto plain = std::make_tuple(r.counter, r.symbol, r.upper, r.lower, r.phase);
            if (state != plain || got != want) {
                ADD_FAILURE() << what << ": differs after the buffer ending at sample " << at << " (" << got.size()
                              << " events, plain rule " << want.size() << ")";
                return false;
            }
            events += got.size();
            got.clear();
            want.clear();
        }
        return true;
    }
};

// Input makers, each from a seed.
std::vector<int16_t> uniform(std::mt19937_64& rng, size_t n)
{
    std::vector<int16_t> x(n);
    for (auto& v : x)
        v = static_cast<int16_t>(rng());
    return x;
}

std::vector<int16_t> extremes(std::mt19937_64& rng, size_t n)
{
    static const int16_t pick[] = {-32768, -32767, -1, 0, 1, 32766, 32767};
    std::vector<int16_t> x(n);
    for (auto& v : x)
        v = pick[rng() % 7];
    return x;
}

std::vector<int16_t> silenceThenSignal(std::mt19937_64& rng, size_t n)
{
    std::vector<int16_t> x(n, 0);
    for (size_t i = n / 2; i < n; ++i)
        x[i] = static_cast<int16_t>(int(rng() % 2001) - 1000);
    return x;
}

// Random values held for random lengths: flat stretches have a derivative of 0.
std::vector<int16_t> runs(std::mt19937_64& rng, size_t n)
{
    std::vector<int16_t> x;
    while (x.size() < n) {
        const int16_t v = static_cast<int16_t>(rng() % 3 == 0 ? int(rng() % 65536) - 32768 : int(rng() % 201) - 100);
        x.insert(x.end(), 1 + rng() % 60, v);
    }
    x.resize(n);
    return x;
}

// Four levels at the given amplitude, each change ramped over five samples, with white noise of the
// given deviation, clipped to 16 bits.
std::vector<int16_t> fourLevel(std::mt19937_64& rng, size_t n, double samplesPerSymbol, double amplitude, double noise)
{
    static const double ramp[] = {1 / 9.0, 3 / 9.0, 6 / 9.0, 8 / 9.0};
    std::normal_distribution<double> gauss(0, noise);
    std::vector<int> sym(static_cast<size_t>(n / samplesPerSymbol) + 2);
    for (size_t i = 0; i < sym.size(); ++i)
        sym[i] = i < 32 ? (i % 2 ? 3 : 0) : static_cast<int>(rng() % 4);
    std::vector<int16_t> x(n);
    for (size_t i = 0; i < n; ++i) {
        const size_t k = static_cast<size_t>((i + 1e-6) / samplesPerSymbol);
        const double into = i - k * samplesPerSymbol + 1e-6;
        double v = (2 * sym[k] - 3) * amplitude;
        if (k > 0 && into < 4)
            v = (2 * sym[k - 1] - 3) * amplitude + (2 * sym[k] - 2 * sym[k - 1]) * amplitude * ramp[int(into)];
        x[i] = static_cast<int16_t>(std::clamp(std::lround(v + gauss(rng)), -32768L, 32767L));
    }
    return x;
}

// Values chosen next to where the rule decides: each sample's value (or derivative) lies within two
// units of an envelope, a level threshold or a peak threshold as the plain rule run alongside has them
// at that moment, or belongs to a run of 0 or 1 that lets an envelope decay toward such a value.
std::vector<int16_t> nearEdges(std::mt19937_64& rng, size_t n, const Settings& s)
{
    PlainRule r;
    r.s = s;
    std::vector<int16_t> x(n);
    int32_t previous = 0;
    int hold = 0, held = 0;
    for (auto& sample : x) {
        const int64_t up = r.upper, lo = r.lower, d = int(rng() % 5) - 2;
        const int32_t percent = std::clamp(rng() % 3 == 0 ? s.thrs1 : rng() % 2 ? s.thrs2 : s.thrs3, -200, 200);
        int64_t v = 0;
        if (hold > 0) {
            // A run of 0 or 1: one envelope decays a unit a sample.
            --hold;
            v = held;
        } else switch (rng() % 9) {
        case 0: v = up + d; break;
        case 1: v = lo + d; break;
        case 2: v = (5 * lo + up) / 6 + d; break;
        case 3: v = (up + lo) / 2 + d; break;
        case 4: v = (5 * up + lo) / 6 + d; break;
        case 5: v = up * percent / 100 + d; break;
        case 6: v = lo * percent / 100 + d; break;
        case 7:
            hold = static_cast<int>(rng() % 24);
            held = static_cast<int>(rng() % 2);
            v = held;
            break;
        default: v = int(rng() % 2001) - 1000; break;
        }
        sample = static_cast<int16_t>(std::clamp<int64_t>(s.derivative ? previous + v : v, -32768, 32767));
        previous = sample;
        r.process(&sample, 1);
    }
    return x;
}

struct Input {
    const char* name;
    std::function<std::vector<int16_t>(std::mt19937_64&, const Settings&)> make;
};

const Input kInputs[] = {
    {"uniform", [](std::mt19937_64& r, const Settings&) { return uniform(r, 30000); }},
    {"extremes", [](std::mt19937_64& r, const Settings&) { return extremes(r, 20000); }},
    {"silence then signal", [](std::mt19937_64& r, const Settings&) { return silenceThenSignal(r, 20000); }},
    {"runs", [](std::mt19937_64& r, const Settings&) { return runs(r, 30000); }},
    {"four levels clean", [](std::mt19937_64& r, const Settings&) { return fourLevel(r, 60000, 44100.0 / 1600, 6000, 0); }},
    {"four levels 20 dB", [](std::mt19937_64& r, const Settings&) { return fourLevel(r, 60000, 44100.0 / 1600, 8192, 1800); }},
    {"four levels 6 dB", [](std::mt19937_64& r, const Settings&) { return fourLevel(r, 60000, 44100.0 / 1600, 8192, 9000); }},
    {"four levels loud, clipped", [](std::mt19937_64& r, const Settings&) { return fourLevel(r, 60000, 30, 12000, 3000); }},
    {"near the edges", [](std::mt19937_64& r, const Settings& s) { return nearEdges(r, 30000, s); }},
    {"four levels quiet", [](std::mt19937_64& r, const Settings&) { return fourLevel(r, 60000, 44100.0 / 1601, 40, 6); }},
};

struct Case {
    const char* name;
    Settings s;
};

Settings derivative(Settings s)
{
    s.derivative = true;
    return s;
}

const Case kSettings[] = {
    {"defaults", {}},
    {"quick attack", {.attack = 1}},
    {"slow attack", {.attack = 1000}},
    {"short decay", {.decay = 7}},
    {"decay 300", {.decay = 300}},
    {"decay 1", {.decay = 1}},
    {"slow loop, other rate", {.baudRate = 1200, .dpllSpeed = 1000, .samplingRate = 48000}},
    {"loop of one", {.dpllSpeed = 1}},
    {"baud above the rate", {.baudRate = 100000, .samplingRate = 8000}},
    {"derivative defaults", derivative({})},
    {"derivative attack 2", derivative({.attack = 2})},
    {"derivative attack 1", derivative({.attack = 1})},
    {"derivative short decay", derivative({.attack = 2, .decay = 20})},
    {"derivative thresholds reversed", derivative({.attack = 2, .thrs1 = 83, .thrs2 = 50, .thrs3 = 17})},
    {"derivative thresholds negative", derivative({.attack = 3, .thrs1 = -20, .thrs2 = 50, .thrs3 = 90})},
    {"derivative thresholds huge", derivative({.attack = 2, .thrs1 = 40000, .thrs2 = 1 << 30, .thrs3 = 2000000000})},
    {"derivative thresholds zero", derivative({.attack = 2, .thrs1 = 0, .thrs2 = 0, .thrs3 = 0})},
};

void compareAll(Handler h, uint32_t largestBuffer, uint64_t seed)
{
    for (const auto& c : kSettings)
        for (const auto& in : kInputs) {
            std::mt19937_64 rng(seed);
            const auto x = in.make(rng, c.s);
            Compared k(c.s, h);
            if (!k.run(x, rng, largestBuffer, std::string(c.name) + " / " + in.name))
                return;
        }
}

TEST(FSK4DecoderPlainRule, SameOnEveryInputInLargeBuffers)
{
    compareAll(Handler::None, 5000, 1);
}

TEST(FSK4DecoderPlainRule, SameOnEveryInputInSmallBuffers)
{
    compareAll(Handler::None, 40, 2);
}

TEST(FSK4DecoderPlainRule, SameWhenHandlersChangeTheDecoder)
{
    for (Handler h : {Handler::ChangeSettings, Handler::SwitchMode, Handler::FeedSamples})
        compareAll(h, 3000, 3 + static_cast<int>(h));
}

TEST(FSK4DecoderPlainRule, SameAcrossAModeSwitchBetweenBuffers)
{
    // Envelopes from derivative slicing (up to twice the sample range) carried into level slicing,
    // and back.
    std::mt19937_64 rng(9);
    const auto x = extremes(rng, 20000);
    const auto y = fourLevel(rng, 40000, 44100.0 / 1600, 8192, 1800);
    Compared k(derivative({.attack = 2}), Handler::None);
    ASSERT_TRUE(k.run(x, rng, 4096, "derivative extremes"));
    k.d.Derivative = k.r.s.derivative = false;
    ASSERT_TRUE(k.run(y, rng, 4096, "then levels"));
    k.d.Derivative = k.r.s.derivative = true;
    ASSERT_TRUE(k.run(y, rng, 4096, "then derivative again"));
    EXPECT_GT(k.events, 1000u);
}

} // namespace
