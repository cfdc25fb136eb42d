// Four-level FSK slicer: symbol clock, level and derivative slicing, clock recovery, long runs.
#include <QelFSK4Decoder.h>
#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace {

struct Recorder {
    std::vector<std::pair<uint64_t, int32_t>> dibits;       // (sample, symbol)
    std::vector<std::pair<uint32_t, int32_t>> transitions;  // (position, symbol before)

    void attach(TQelFSK4Decoder& d)
    {
        d.OnNewDibit = [this, &d](TQelFSK4Decoder* sender, int32_t v) {
            EXPECT_EQ(sender, &d);
            dibits.emplace_back(d.SampleCounter(), v);
        };
        d.OnTransition = [this](TQelFSK4Decoder*, uint32_t pos, int32_t v) { transitions.emplace_back(pos, v); };
    }
    std::vector<int32_t> symbols() const
    {
        std::vector<int32_t> s;
        for (auto& [n, v] : dibits)
            s.push_back(v);
        return s;
    }
};

// Four-level signal of the given symbols at the given baud rate, levels -3a, -a, a, 3a; each change of
// level is spread over five samples with steps of 1, 2, 3, 2 and 1 ninths of the jump, so that the
// derivative has one clear peak in proportion to the jump.
// With dither, odd samples are one higher: a flat stretch then has a derivative of +1 and -1 in
// turn, so that both envelopes decay alike (a derivative of 0 counts to the lower one).
std::vector<int16_t> fsk4(const std::vector<int>& symbols, double samplesPerSymbol, int a, bool dither = false)
{
    static const double ramp[] = {1 / 9.0, 3 / 9.0, 6 / 9.0, 8 / 9.0};
    std::vector<int16_t> out;
    const size_t total = static_cast<size_t>(symbols.size() * samplesPerSymbol);
    auto level = [&](size_t k) { return (2 * symbols[std::min(k, symbols.size() - 1)] - 3) * a; };
    for (size_t n = 0; n < total; ++n) {
        // A small allowance keeps whole multiples of the symbol length from falling a sample short.
        const size_t k = static_cast<size_t>((n + 1e-6) / samplesPerSymbol);
        const double into = n - k * samplesPerSymbol + 1e-6;  // samples since the symbol began
        double v = level(k);
        if (k > 0 && into < 4)
            v = level(k - 1) + (level(k) - level(k - 1)) * ramp[static_cast<int>(into)];
        out.push_back(static_cast<int16_t>(std::lround(v) + (dither ? n % 2 : 0)));
    }
    return out;
}

std::vector<int> randomSymbols(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<int> s(n);
    for (auto& x : s)
        x = static_cast<int>(rng() % 4);
    return s;
}

// Whether `sent` appears whole, in order, in `got`.
bool containsRun(const std::vector<int32_t>& got, const std::vector<int>& sent)
{
    for (size_t i = 0; i + sent.size() <= got.size(); ++i) {
        bool same = true;
        for (size_t j = 0; j < sent.size() && same; ++j)
            same = got[i + j] == sent[j];
        if (same)
            return true;
    }
    return false;
}

TEST(FSK4Decoder, Defaults)
{
    TQelFSK4Decoder d;
    EXPECT_EQ(d.Attack(), 10);
    EXPECT_EQ(d.BaudRate(), 1600u);
    EXPECT_EQ(d.DPLLSpeed(), 12u);
    EXPECT_EQ(d.Decay(), 100000);
    EXPECT_EQ(d.DerThrs1Bit, 17);
    EXPECT_EQ(d.DerThrs2Bit, 50);
    EXPECT_EQ(d.DerThrs3Bit, 83);
    EXPECT_FALSE(d.Derivative);
    EXPECT_EQ(d.SamplingRate(), 44100u);
}

TEST(FSK4Decoder, SettersClamp)
{
    TQelFSK4Decoder d;
    const struct {
        void (*set)(TQelFSK4Decoder&, int64_t);
        int64_t (*get)(const TQelFSK4Decoder&);
        int64_t in, out;
    } cases[] = {
        {[](TQelFSK4Decoder& d, int64_t v) { d.SetAttack(int32_t(v)); }, [](const TQelFSK4Decoder& d) { return int64_t(d.Attack()); }, 0, 1},
        {[](TQelFSK4Decoder& d, int64_t v) { d.SetAttack(int32_t(v)); }, [](const TQelFSK4Decoder& d) { return int64_t(d.Attack()); }, -5, 1},
        {[](TQelFSK4Decoder& d, int64_t v) { d.SetAttack(int32_t(v)); }, [](const TQelFSK4Decoder& d) { return int64_t(d.Attack()); }, 7, 7},
        {[](TQelFSK4Decoder& d, int64_t v) { d.SetDecay(int32_t(v)); }, [](const TQelFSK4Decoder& d) { return int64_t(d.Decay()); }, -1, 1},
        {[](TQelFSK4Decoder& d, int64_t v) { d.SetBaudRate(uint32_t(v)); }, [](const TQelFSK4Decoder& d) { return int64_t(d.BaudRate()); }, 0, 1},
        {[](TQelFSK4Decoder& d, int64_t v) { d.SetDPLLSpeed(uint32_t(v)); }, [](const TQelFSK4Decoder& d) { return int64_t(d.DPLLSpeed()); }, 0, 1},
        {[](TQelFSK4Decoder& d, int64_t v) { d.SetSamplingRate(uint32_t(v)); }, [](const TQelFSK4Decoder& d) { return int64_t(d.SamplingRate()); }, 0, 1},
        {[](TQelFSK4Decoder& d, int64_t v) { d.SetSamplingRate(uint32_t(v)); }, [](const TQelFSK4Decoder& d) { return int64_t(d.SamplingRate()); }, 8000, 8000},
    };
    for (const auto& c : cases) {
        c.set(d, c.in);
        EXPECT_EQ(c.get(d), c.out) << "input " << c.in;
    }
}

TEST(FSK4Decoder, AllZeroInputGivesSymbolsOnTheQuarterSampleGrid)
{
    TQelFSK4Decoder d;
    Recorder r;
    r.attach(d);
    const std::vector<int16_t> zeros(170, 0);
    // In two calls: the clock carries over.
    d.ProcessBuffer(zeros.data(), 100);
    d.ProcessBuffer(zeros.data() + 100, 70);
    const std::vector<std::pair<uint64_t, int32_t>> want = {{0, 0}, {28, 0}, {55, 0}, {83, 0}, {110, 0}, {138, 0}, {165, 0}};
    EXPECT_EQ(r.dibits, want);
    EXPECT_TRUE(r.transitions.empty());
    EXPECT_EQ(d.SampleCounter(), 170u);
}

TEST(FSK4Decoder, LevelModeSlicesBetweenTheEnvelopes)
{
    TQelFSK4Decoder d;
    d.SetAttack(1);  // envelopes jump to the extremes at once
    std::vector<int16_t> train = {3000, -3000};
    d.ProcessBuffer(train.data(), 2);
    EXPECT_EQ(d.UpperEnvelope(), 3000);
    EXPECT_EQ(d.LowerEnvelope(), -3000);
    // Thresholds at -2000, 0 and 2000 (the decay moves them by a few units here).
    const struct { int16_t x; int32_t sym; } cases[] = {
        {-3000, 0}, {-2100, 0}, {-1900, 1}, {-200, 1}, {200, 2}, {1900, 2}, {2100, 3}, {2999, 3}, {-2500, 0}};
    for (auto c : cases) {
        d.ProcessBuffer(&c.x, 1);
        EXPECT_EQ(d.Symbol(), c.sym) << "sample " << c.x;
    }
}

TEST(FSK4Decoder, LevelModeDecodesARandomSequence)
{
    // A little off the nominal rate, so the loop has to follow.
    const std::vector<int> sent = randomSymbols(600, 7);
    std::vector<int> preamble(32);
    for (size_t i = 0; i < preamble.size(); ++i)
        preamble[i] = i % 2 ? 3 : 0;
    std::vector<int> all = preamble;
    all.insert(all.end(), sent.begin(), sent.end());
    all.insert(all.end(), {1, 2});
    const auto signal = fsk4(all, 44100.0 / 1601.0, 6000);
    TQelFSK4Decoder d;
    Recorder r;
    r.attach(d);
    d.ProcessBuffer(signal.data(), static_cast<uint32_t>(signal.size()));
    EXPECT_TRUE(containsRun(r.symbols(), sent));
    EXPECT_GT(r.transitions.size(), 300u);
}

TEST(FSK4Decoder, DerivativeModeDecodesARandomSequence)
{
    // Starts at the lowest level: derivative slicing counts jumps from symbol 0.
    std::vector<int> all(64);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = i % 2 ? 3 : 0;
    const std::vector<int> sent = randomSymbols(600, 11);
    all.insert(all.end(), sent.begin(), sent.end());
    all.insert(all.end(), {1, 2});
    // Whole samples per symbol, so every jump has the same derivative profile.
    const auto signal = fsk4(all, 30, 5000, true);
    TQelFSK4Decoder d;
    d.SetSamplingRate(48000);
    d.Derivative = true;
    // A quick attack keeps the envelopes at the three-level peaks, which the default one reaches only
    // after many of them while the truncating decay takes one unit a sample.
    d.SetAttack(2);
    Recorder r;
    r.attach(d);
    d.ProcessBuffer(signal.data(), static_cast<uint32_t>(signal.size()));
    EXPECT_TRUE(containsRun(r.symbols(), sent));
}

TEST(FSK4Decoder, DerivativeJumpIsLimitedToTheTopSymbol)
{
    TQelFSK4Decoder d;
    d.Derivative = true;
    d.SetAttack(1);
    // Envelopes from a full swing up and down: upper 3000, lower -3000.
    // Derivative 3000 then -3000, each followed by a smaller value of its sign: a peak up (0 + 3)
    // and a peak down (3 - 3).
    const std::vector<int16_t> train = {0, 3000, 3001, 1, 0};
    d.ProcessBuffer(train.data(), static_cast<uint32_t>(train.size()));
    ASSERT_NEAR(d.UpperEnvelope(), 3000, 2);
    ASSERT_NEAR(d.LowerEnvelope(), -3000, 2);
    ASSERT_EQ(d.Symbol(), 0);
    // Climb to 2 with one jump of two levels: derivative peak 2000 (> 50 %, not > 83 %).
    const std::vector<int16_t> two = {2000, 2001};
    d.ProcessBuffer(two.data(), 2);
    EXPECT_EQ(d.Symbol(), 2);
    // A three-level jump from 2 upward stops at 3.
    const std::vector<int16_t> three = {5000, 5001};
    d.ProcessBuffer(three.data(), 2);
    EXPECT_EQ(d.Symbol(), 3);
}

TEST(FSK4Decoder, CloseChangesMoveNeitherClockNorReport)
{
    TQelFSK4Decoder d;
    d.SetAttack(1);
    Recorder r;
    r.attach(d);
    std::vector<int16_t> x(40, -3000);
    x[0] = 3000;
    x[1] = -3000;
    for (int i = 20; i < 40; ++i)
        x[i] = 3000;  // change at 20: 19 samples after the one at 1, counts
    x[25] = -3000;    // back at 25 and up again at 26: 5 and 1 samples apart, do not count
    d.ProcessBuffer(x.data(), static_cast<uint32_t>(x.size()));
    ASSERT_EQ(r.transitions.size(), 1u);
    EXPECT_EQ(r.transitions[0], (std::pair<uint32_t, int32_t>{20, 0}));
    EXPECT_EQ(d.Symbol(), 3);
}

TEST(FSK4Decoder, FullScaleEnvelopesStayInRange)
{
    // (Decay - 1) x envelope passes 2^31 with the default Decay once an envelope passes 21474.
    TQelFSK4Decoder d;
    std::vector<int16_t> x(4000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = i % 2 ? -32768 : 32767;
    d.ProcessBuffer(x.data(), static_cast<uint32_t>(x.size()));
    EXPECT_GT(d.UpperEnvelope(), 32000);
    EXPECT_LT(d.LowerEnvelope(), -32000);
    // Small values of either sign let both envelopes decay, by 1/100000 and at least a unit a sample.
    std::vector<int16_t> quiet(1000);
    for (size_t i = 0; i < quiet.size(); ++i)
        quiet[i] = i % 2 ? -100 : 100;
    const int32_t up = d.UpperEnvelope(), lo = d.LowerEnvelope();
    d.ProcessBuffer(quiet.data(), 1000);
    EXPECT_LT(d.UpperEnvelope(), up);
    EXPECT_GT(d.UpperEnvelope(), up - 600);
    EXPECT_GT(d.LowerEnvelope(), lo);
    EXPECT_LT(d.LowerEnvelope(), lo + 600);
}

TEST(FSK4Decoder, ClockKeepsRunningWhenThePhaseProductPassesThirtyTwoBits)
{
    // With a slow loop (DPLLSpeed - 1) x phase passes 2^31 within a second of input; a wrapped
    // product would throw the phase far behind or ahead and stop the symbols.
    TQelFSK4Decoder d;
    d.SetDPLLSpeed(100000);
    Recorder r;
    r.attach(d);
    std::vector<int> alt(1000);
    for (size_t i = 0; i < alt.size(); ++i)
        alt[i] = i % 2 ? 3 : 0;
    const auto block = fsk4(alt, 44100.0 / 1600.0, 6000);
    for (int i = 0; i < 40; ++i)
        d.ProcessBuffer(block.data(), static_cast<uint32_t>(block.size()));
    const double samples = 40.0 * block.size();
    EXPECT_GT(int64_t(d.DPLLSpeed() - 1) * d.ClockPhase(), int64_t(1) << 36);
    // One symbol per 110 quarter samples, less what the slow loop lets slip.
    EXPECT_NEAR(double(r.dibits.size()), samples * 4 / 110, samples * 4 / 110 * 0.01);
    // Symbols still come in the last block.
    EXPECT_GT(r.dibits.back().first, uint64_t(samples) - 40);
}

} // namespace
