// ACARS signal path, bit clock and framing on generated audio: every start phase, parity, the
// 256-character limit, a sync inside a message, and the crossing rule.
#include <ACARSDemod.h>
#include <BandNoise.h>
#include <Acars.h>
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using siggen::acars::Message;

// MSK audio of the bits after `lead` samples of silence, at half of full scale.
std::vector<int16_t> audio(const std::vector<uint8_t>& bits, int lead, double amplitude = 0.5)
{
    const siggen::Samples s = siggen::acars::modulate(bits, 44100, amplitude, size_t(lead));
    std::vector<int16_t> pcm(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        pcm[i] = int16_t(std::lround(std::clamp(s[i], -1.0, 1.0) * 32767));
    return pcm;
}

struct Received {
    std::vector<std::string> messages;
    std::vector<std::vector<uint8_t>> parities;
    std::vector<bool> status;
};

// The audio through the decoder's signal path into the framer, in capture blocks.
Received run(const std::vector<int16_t>& pcm, bool parityFilter = false, int block = 4096)
{
    TACARSDemod demod;
    TACARSFramer& f = demod.Framer;
    f.ParityFilter = parityFilter;
    Received r;
    f.OnMessage = [&](int len) {
        std::string s;
        std::vector<uint8_t> p;
        for (int i = 0; i < len; ++i) {
            s.push_back(char(f.Text[i].Value));
            p.push_back(f.Text[i].Parity);
        }
        r.messages.push_back(s);
        r.parities.push_back(p);
    };
    f.OnStatus = [&](bool on) { r.status.push_back(on); };
    // A second of silence after the audio lets the filters empty.
    std::vector<int16_t> x = pcm;
    x.resize(x.size() + 44100, 0);
    for (size_t at = 0; at < x.size(); at += block)
        demod.ProcessBuffer(x.data() + at, int32_t(std::min<size_t>(block, x.size() - at)));
    return r;
}

std::string expected(const Message& m)
{
    const auto c = siggen::acars::characters(m);
    return std::string(c.begin(), c.end());
}

TEST(ACARSFramer, PhaseTableInEighths)
{
    const struct { int d, step; } cases[] = {{0, 123}, {1, 123}, {2, 131}, {4, 131}, {5, 139}, {7, 139}, {8, 147},
                                             {9, 147}, {10, 155}, {12, 155}, {13, 163}, {15, 163}, {16, 171}, {17, 171},
                                             {18, -1}, {-1, -1}};
    for (auto c : cases)
        EXPECT_EQ(TACARSFramer::PhaseStep8(c.d), c.step) << c.d;
}

TEST(ACARSFramer, EveryStartPhaseDecodes)
{
    // Across the transition-free pre-key a clock stepping 18 samples for 18.375 drifts off the bits:
    // some start phases of some pre-key lengths would lose the message.
    Message m;
    m.text = "M01AXX1234CLEAN MESSAGE";
    for (int prekey : {16, 40, 60, 90, 128}) {
        const auto bits = siggen::acars::frameBits(m, prekey);
        for (int lead = 0; lead < 74; ++lead) {
            const Received r = run(audio(bits, lead));
            ASSERT_EQ(r.messages.size(), 1u) << "pre-key " << prekey << " lead " << lead;
            EXPECT_EQ(r.messages[0], expected(m)) << "pre-key " << prekey << " lead " << lead;
            EXPECT_EQ(r.status, (std::vector<bool>{true, false}));
        }
    }
}

TEST(ACARSFramer, MessagesInARowAndAcrossBlockSizes)
{
    std::vector<int16_t> q;
    std::vector<std::string> want;
    for (int k = 0; k < 5; ++k) {
        Message m;
        m.text = "M0" + std::to_string(k) + "AXX123" + std::to_string(k) + "TEXT " + std::string(k * 20, 'x');
        m.etb = k % 2;
        const auto part = audio(siggen::acars::frameBits(m, 30 + k), 100 + k * 7);
        q.insert(q.end(), part.begin(), part.end());
        want.push_back(expected(m));
    }
    for (int block : {4096, 1000, 17, 1})
        EXPECT_EQ(run(q, false, block).messages, want) << "block " << block;
}

TEST(ACARSFramer, ParityErrorsAreMarkedAndFilteredOnRequest)
{
    Message m;
    m.text = "M01AXX1234BAD";
    auto bits = siggen::acars::frameBits(m, 40);
    // Flip the parity bit of character 20 (after four sync characters).
    bits[40 + 8 * (4 + 20) + 7] ^= 1;
    const Received r = run(audio(bits, 3));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], expected(m));
    for (size_t i = 0; i < r.parities[0].size(); ++i)
        EXPECT_EQ(r.parities[0][i], i == 20 ? 0 : 1) << i;
    const Received filtered = run(audio(bits, 3), true);
    EXPECT_TRUE(filtered.messages.empty());
    EXPECT_EQ(filtered.status, (std::vector<bool>{true, false}));
}

TEST(ACARSFramer, AMessageWithoutTerminatorEndsAtItsLimit)
{
    Message m;
    m.text = std::string(300, 'Z');
    const Received r = run(audio(siggen::acars::frameBits(m, 40), 0));
    ASSERT_EQ(r.messages.size(), 1u);
    ASSERT_EQ(r.messages[0].size(), 256u);
    EXPECT_EQ(r.messages[0], expected(m).substr(0, 256));
}

TEST(ACARSFramer, ASyncInsideAMessageRestartsIt)
{
    Message first, second;
    first.text = "M01AXX1234CUT OFF";
    second.text = "M02AXX5678WHOLE";
    auto a = siggen::acars::frameBits(first, 40);
    a.resize(a.size() - 8 * 10);  // the end of the first message never comes
    const auto b = siggen::acars::frameBits(second, 8);
    a.insert(a.end(), b.begin(), b.end());
    const Received r = run(audio(a, 5));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], expected(second));
}

TEST(ACARSFramer, ZeroSamplesCountAsCrossingsOnlyThroughThePreviousOne)
{
    // The last sampling instant sits at 0; a zero at sample 3 followed by a positive value: the
    // sample after the zero (d = 4) moves the clock, the zero itself (d = 3) does not.
    TACARSFramer f;
    std::vector<int32_t> q = {5, 5, 5, 0, 7};
    f.Process(q.data(), 1);  // p = 0 at the start: crossing at d = 0, next = 123/8
    EXPECT_EQ(f.NextInstant8() + 8, 123);
    TACARSFramer g;
    std::vector<int32_t> r = {5, 5, 5, 0, 7};
    g.Process(r.data(), int32_t(r.size()));
    // Crossings at n = 0 (p = 0) and n = 4 (previous zero), none at n = 3.
    EXPECT_EQ(g.NextInstant8() + 5 * 8, 131);
}

} // namespace

namespace {

// Noise at 30 dB leaves the clock at any phase when the pre-key starts, also right on the bit edges,
// and moves the first crossing after a sync by a sample or so: no message may be lost, whatever the
// noise's seed, white or limited to the receiver's audio band.
TEST(ACARSFramer, NoiseInTheAudioBandLosesNoMessageAt30dB)
{
    siggen::Samples s;
    std::vector<std::string> want;
    for (int k = 0; k < 12; ++k) {
        Message m;
        m.text = "M" + std::to_string(10 + k) + "AXX" + std::to_string(1000 + k) + "NOISY MESSAGE NUMBER " + std::to_string(k);
        s.resize(s.size() + 2000 + 7 * k, 0.0);
        const auto one = siggen::acars::modulate(siggen::acars::frameBits(m, 64), 44100, 0.5);
        s.insert(s.end(), one.begin(), one.end());
        want.push_back(expected(m));
    }
    s.resize(s.size() + 2000, 0.0);
    for (bool band : {true, false})
        for (uint64_t seed = 1; seed <= 20; ++seed)
            EXPECT_EQ(run(bench::withNoise(s, 44100, 30, band, seed)).messages, want)
                << (band ? "300-3300 Hz" : "white") << " noise, seed " << seed;
}

// The discriminator's output for the raw bits (positive: the bit repeats), with the bit edges at
// offset8/8 + k * 147/8 samples and a linear ramp of 5 samples either side of each edge.
std::vector<int32_t> discriminatorOutput(const std::vector<uint8_t>& bits, int64_t offset8, size_t samples)
{
    constexpr int32_t kLevel = 1 << 20;
    constexpr double kRamp = 5.0;
    std::vector<int32_t> q(samples, kLevel);
    uint8_t before = 1;
    std::vector<int32_t> level;
    for (uint8_t b : bits) {
        level.push_back(b == before ? kLevel : -kLevel);
        before = b;
    }
    for (size_t n = 0; n < samples; ++n) {
        const double t = (double(n) - offset8 / 8.0) / 18.375;  // position in bits
        if (t < 0)
            continue;
        const size_t k = size_t(t);
        if (k >= level.size())
            continue;
        // The nearer edge and the bit on its other side.
        const double into = (t - double(k)) * 18.375;
        const bool early = into < 18.375 / 2;
        const double dist = early ? into : 18.375 - into;
        const int32_t other = early ? (k == 0 ? kLevel : level[k - 1]) : (k + 1 < level.size() ? level[k + 1] : kLevel);
        const double w = std::min(1.0, dist / kRamp);
        q[n] = int32_t(std::lround(level[k] * (0.5 + 0.5 * w) + other * (0.5 - 0.5 * w)));
    }
    return q;
}

// Whatever the bit edges' phase against the clock the pre-key leaves, also with the edges right on
// the sampling instants, the clock locks on the sync's transitions, the message decodes, and every
// data bit from the first one on is sampled near the middle of its bit.
TEST(ACARSFramer, TheClockLocksFromEveryPhaseAndSamplesDataBitsMidBit)
{
    Message m;
    m.text = "M01AXX1234PHASE";
    const auto bits = siggen::acars::frameBits(m, 64);
    const int64_t dataStart = 64 + 32;  // pre-key and the four sync characters
    for (int64_t offset8 = 8 * 100; offset8 < 8 * 100 + 147; offset8 += 3) {
        const auto q = discriminatorOutput(bits, offset8, size_t(100 + 19 * (bits.size() + 4)));
        TACARSFramer f;
        std::vector<std::string> got;
        f.OnMessage = [&](int len) {
            std::string s;
            for (int i = 0; i < len; ++i)
                s.push_back(char(f.Text[i].Value));
            got.push_back(s);
        };
        // One sample a block: each sampling instant is seen as it is taken.
        int64_t worst8 = 0;
        int64_t last8 = f.LastInstant8();
        for (size_t n = 0; n < q.size(); ++n) {
            f.Process(q.data() + n, 1);
            const int64_t at8 = int64_t(n + 1) * 8 + f.LastInstant8();
            if (f.LastInstant8() != last8 && f.Receiving()) {
                const double bit = (at8 - offset8) / 147.0;  // in bits from the first edge
                if (bit >= double(dataStart)) {
                    const int64_t centre8 = offset8 + int64_t(std::floor(bit)) * 147 + 147 / 2;
                    worst8 = std::max(worst8, std::abs(at8 - centre8));
                }
            }
            last8 = f.LastInstant8() - 8;
        }
        EXPECT_EQ(got, std::vector<std::string>{expected(m)}) << "edges at " << offset8 << "/8";
        EXPECT_LE(worst8, 4 * 8) << "edges at " << offset8 << "/8";
    }
}

// The signal path up to the framer written out sample by sample, as the reference for the decoder's
// block form: the sign of every discriminator output of every block (all the framer reads of it) must
// be the same.
struct ReferenceDemod {
    TFIRRec lp1, lp2;
    int32_t previous = 0;
    int32_t tail[TACARSDemod::kDelay] = {};
    int32_t block = 0;

    const int32_t* process(const int16_t* x, int32_t count)
    {
        constexpr int32_t kDelay = TACARSDemod::kDelay;
        if (count != block) {
            DesignLowPassFIR(lp1, count, 31, 0.16326530612244897);
            DesignLowPassFIR(lp2, count, 31, 0.09070294784580499);
            block = count;
        }
        for (int32_t n = 0; n < count; ++n) {
            lp1.Input[kFIRBlockStart + n] = int32_t(x[n]) - previous;
            previous = x[n];
        }
        FIRFilter(lp1);
        const int32_t* y = lp1.Output;
        for (int32_t n = 0; n < count; ++n) {
            const int32_t before = n >= kDelay ? y[n - kDelay] : tail[n];
            lp2.Input[kFIRBlockStart + n] =
                int32_t(std::clamp<int64_t>(int64_t(y[n]) * before, -((int64_t(1) << 30) - 1), (int64_t(1) << 30) - 1));
        }
        int32_t keep[kDelay];
        for (int32_t i = 0; i < kDelay; ++i) {
            const int32_t n = count - kDelay + i;
            keep[i] = n >= 0 ? y[n] : tail[kDelay + n];
        }
        std::copy(keep, keep + kDelay, tail);
        FIRFilter(lp2);
        return lp2.Output;
    }
};

TEST(ACARSDemod, DiscriminatorEqualsTheSampleBySampleReference)
{
    // Generated messages with band noise, full-scale random samples (the products reach the clamp)
    // and silence, in blocks of the capture size, of random sizes (down to one sample, below the
    // delay) and of a size changed between blocks.
    std::mt19937 rng(3);
    Message m;
    m.address = ".N12345";
    m.label = "H1";
    m.text = "M01AXX1234 THE QUICK BROWN FOX";
    const auto bits = siggen::acars::frameBits(m, 64);
    const std::vector<int16_t> signal = bench::withNoise(siggen::acars::modulate(bits, 44100, 0.5), 44100, 24, true, 5);
    std::vector<int16_t> random(30000);
    for (auto& v : random)
        v = static_cast<int16_t>(rng() % 65536 - 32768);
    std::vector<int16_t> mixed = signal;
    mixed.insert(mixed.end(), random.begin(), random.end());
    mixed.insert(mixed.end(), 5000, 0);
    mixed.insert(mixed.end(), signal.begin(), signal.end());
    for (const int sizes : {0, 1, 2}) {
        SCOPED_TRACE(testing::Message() << "block sizes " << sizes);
        auto demod = std::make_unique<TACARSDemod>();
        auto ref = std::make_unique<ReferenceDemod>();
        int messages = 0;
        demod->Framer.OnMessage = [&](int) { ++messages; };
        for (size_t at = 0; at < mixed.size();) {
            int32_t n = TACARSDemod::kBlock;
            if (sizes == 1)
                n = 1 + static_cast<int32_t>(rng() % 40);
            else if (sizes == 2)
                n = 1 + static_cast<int32_t>(rng() % 6000);
            n = std::min<int32_t>(n, static_cast<int32_t>(mixed.size() - at));
            demod->ProcessBuffer(mixed.data() + at, n);
            const int32_t* want = ref->process(mixed.data() + at, n);
            const int32_t* got = demod->Discriminator();
            for (int32_t i = 0; i < n; ++i)
                ASSERT_EQ(got[i], (want[i] > 0) - (want[i] < 0)) << "output " << i << " of the block at " << at << " of " << n;
            at += size_t(n);
        }
        EXPECT_EQ(messages, 2);
    }
}

// The bit clock and character assembly written out sample by sample, as the reference for the
// framer, which walks from one crossing or sampling instant to the next.
struct ReferenceFramer {
    std::array<TACARSFramer::TChar, TACARSFramer::kMaxLength> text{};
    bool parityFilter = false;
    std::vector<std::string> events;
    int32_t previous = 0;
    int64_t last8 = 0, next8 = 0;
    uint32_t sync = 0;
    bool receiving = false;
    uint8_t dataBit = 0, byte = 0;
    int bitCount = 0, ones = 0, length = 0, parityErrors = 0;

    static int64_t floor8(int64_t a) { return a >= 0 ? a / 8 : -((-a + 7) / 8); }

    void sample(int32_t qn)
    {
        sync = (sync << 1) | (qn > 0 ? 1u : 0u);
        if ((sync & 0xFFFFFF) == TACARSFramer::kSync) {
            dataBit = 0, bitCount = 0, ones = 0, length = 0, parityErrors = 0;
            receiving = true;
            events.push_back("receiving");
        } else if (receiving) {
            if (qn < 0)
                dataBit ^= 0x80;
            byte = uint8_t((byte >> 1) | dataBit);
            ++bitCount;
            if (dataBit)
                ++ones;
            if (bitCount == 8) {
                auto& c = text[size_t(length)];
                c.Value = byte & 0x7F;
                c.Parity = ones % 2 ? 1 : 0;
                if (!c.Parity)
                    ++parityErrors;
                if (length == TACARSFramer::kMaxLength - 1 || c.Value == 0x03 || c.Value == 0x17) {
                    if (parityErrors == 0 || !parityFilter) {
                        std::string s;
                        for (int i = 0; i <= length; ++i)
                            s += std::to_string(text[size_t(i)].Value) + "/" + std::to_string(text[size_t(i)].Parity) + " ";
                        events.push_back("message " + s);
                    }
                    receiving = false;
                    events.push_back("standing by");
                }
                bitCount = 0, ones = 0;
                ++length;
            }
        }
        last8 = next8;
        next8 += 147;
    }

    void process(const int32_t* q, int32_t count)
    {
        for (int32_t n = 0; n < count; ++n) {
            const int32_t p = previous > 0 ? 1 : previous < 0 ? -1 : 0;
            const int32_t qn = q[n];
            const bool crossing = (p > 0 && qn < 0) || (p < 0 && qn > 0) || p == 0;
            const bool due = int64_t(n) * 8 >= next8;
            if (crossing) {
                if (due)
                    sample(qn);
                const int64_t d = floor8(int64_t(n) * 8 - last8);
                if (d >= 0 && d <= 17)
                    next8 = last8 + TACARSFramer::PhaseStep8(int32_t(d));
            } else if (due) {
                sample(qn);
            }
            previous = qn;
        }
        last8 -= int64_t(count) * 8;
        next8 -= int64_t(count) * 8;
    }
};

TEST(ACARSFramer, EqualsTheSampleBySampleReference)
{
    // Discriminator output of messages at every few start phases, and random values with long runs
    // of one sign, zeros among them, in blocks of random sizes from one sample to the largest.
    std::mt19937 rng(9);
    std::vector<int32_t> q;
    for (int i = 0; i < 6; ++i) {
        Message m;
        m.text = "M0" + std::to_string(i) + "AXX1234REFERENCE";
        const auto bits = siggen::acars::frameBits(m, 64);
        const auto one = discriminatorOutput(bits, 8 * 100 + 23 * i, size_t(100 + 19 * (bits.size() + 4)));
        q.insert(q.end(), one.begin(), one.end());
        for (int k = 0; k < 3000; ++k) {
            const int32_t run = 1 + int32_t(rng() % 30);
            const int32_t sign = rng() % 7 == 0 ? 0 : rng() % 2 ? 1 : -1;
            for (int32_t r = 0; r < run; ++r)
                q.push_back(sign * int32_t(rng() % 1000));
        }
    }
    for (const bool filter : {false, true}) {
        TACARSFramer f;
        ReferenceFramer ref;
        f.ParityFilter = ref.parityFilter = filter;
        std::vector<std::string> events;
        f.OnStatus = [&](bool receiving) { events.push_back(receiving ? "receiving" : "standing by"); };
        f.OnMessage = [&](int len) {
            std::string s;
            for (int i = 0; i < len; ++i)
                s += std::to_string(f.Text[size_t(i)].Value) + "/" + std::to_string(f.Text[size_t(i)].Parity) + " ";
            events.push_back("message " + s);
        };
        for (size_t at = 0; at < q.size();) {
            const uint32_t r = rng() % 4;
            int32_t n = r == 0 ? 1 + int32_t(rng() % 20) : r == 1 ? kFIRMaxBlock : 1 + int32_t(rng() % 5000);
            n = std::min<int32_t>(n, int32_t(q.size() - at));
            f.Process(q.data() + at, n);
            ref.process(q.data() + at, n);
            at += size_t(n);
            ASSERT_EQ(f.LastInstant8(), ref.last8) << "after " << at;
            ASSERT_EQ(f.NextInstant8(), ref.next8) << "after " << at;
            ASSERT_EQ(f.Receiving(), ref.receiving) << "after " << at;
            ASSERT_EQ(f.Length(), ref.length) << "after " << at;
            ASSERT_EQ(f.ParityErrors(), ref.parityErrors) << "after " << at;
        }
        EXPECT_EQ(events, ref.events);
        EXPECT_GE(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.rfind("message", 0) == 0; }), 6);
    }
}

} // namespace
