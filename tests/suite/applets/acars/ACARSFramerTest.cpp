// ACARS bit clock and framing on an ideal discriminator output: every start phase, parity, the
// 256-character limit, a sync inside a message, and the crossing rule.
#include <ACARSFramer.h>
#include <Acars.h>
#include <algorithm>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using siggen::acars::Message;

// The discriminator in front of the framer, as the decoder builds it: first difference, 3600 Hz
// low-pass, delay-and-multiply over 18 samples (saturating), 2000 Hz low-pass; 31-tap Kaiser-windowed
// sinc filters rounded to whole numbers. A model of the chain, to give the framer its real input.
class Discriminator {
public:
    Discriminator() : lp1_(design(0.16326530612244897)), lp2_(design(0.09070294784580499)) {}

    std::vector<int32_t> run(const std::vector<int16_t>& x)
    {
        std::vector<int32_t> d(x.size()), y, z(x.size());
        for (size_t n = 0; n < x.size(); ++n)
            d[n] = int32_t(x[n]) - (n ? x[n - 1] : 0);
        y = filter(d, lp1_);
        for (size_t n = 0; n < y.size(); ++n) {
            const int64_t v = int64_t(y[n]) * (n >= 18 ? y[n - 18] : 0);
            z[n] = int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
        }
        return filter(z, lp2_);
    }

private:
    static double i0(double x)
    {
        double h = x / 2, t = h, s = 1;
        for (int k = 1; t > 1e-7;) {
            s += t * t;
            ++k;
            t = t * h / k;
        }
        return s;
    }
    static std::vector<double> design(double fc)
    {
        const int half = 15;
        std::vector<double> c(half + 1);
        c[half] = fc;
        double sum = fc;
        for (int i = 1; i <= half; ++i) {
            c[half - i] = std::sin(M_PI * fc * i) / (M_PI * i) * i0(0.9425 * std::sqrt(1.0 - double(i * i) / (half * half))) / i0(0.9425);
            sum += 2 * c[half - i];
        }
        for (auto& v : c)
            v /= sum;
        return c;
    }
    static std::vector<int32_t> filter(const std::vector<int32_t>& x, const std::vector<double>& c)
    {
        const int half = int(c.size()) - 1;
        std::vector<int32_t> out(x.size());
        auto at = [&](long i) { return i >= 0 && i < long(x.size()) ? x[i] : 0; };
        for (long n = 0; n < long(x.size()); ++n) {
            const long e = n - half;  // output n is centred on input n - half
            double acc = double(at(e)) * c[half];
            for (int i = 1; i <= half; ++i)
                acc += (double(at(e + i)) + double(at(e - i))) * c[half - i];
            out[n] = int32_t(std::nearbyint(acc));
        }
        return out;
    }
    std::vector<double> lp1_, lp2_;
};

// MSK audio of the bits after `lead` samples of silence, through the discriminator.
std::vector<int32_t> ideal(const std::vector<uint8_t>& bits, int lead)
{
    const siggen::Samples s = siggen::acars::modulate(bits, 44100, 0.5, size_t(lead));
    std::vector<int16_t> pcm(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        pcm[i] = int16_t(std::lround(s[i] * 32767));
    return Discriminator().run(pcm);
}

struct Received {
    std::vector<std::string> messages;
    std::vector<std::vector<uint8_t>> parities;
    std::vector<bool> status;
};

Received run(const std::vector<int32_t>& q, bool parityFilter = false, int block = 4096)
{
    TACARSFramer f;
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
    for (size_t at = 0; at < q.size(); at += block)
        f.Process(q.data() + at, int32_t(std::min<size_t>(block, q.size() - at)));
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
            const Received r = run(ideal(bits, lead));
            ASSERT_EQ(r.messages.size(), 1u) << "pre-key " << prekey << " lead " << lead;
            EXPECT_EQ(r.messages[0], expected(m)) << "pre-key " << prekey << " lead " << lead;
            EXPECT_EQ(r.status, (std::vector<bool>{true, false}));
        }
    }
}

TEST(ACARSFramer, MessagesInARowAndAcrossBlockSizes)
{
    std::vector<int32_t> q;
    std::vector<std::string> want;
    for (int k = 0; k < 5; ++k) {
        Message m;
        m.text = "M0" + std::to_string(k) + "AXX123" + std::to_string(k) + "TEXT " + std::string(k * 20, 'x');
        m.etb = k % 2;
        const auto part = ideal(siggen::acars::frameBits(m, 30 + k), 100 + k * 7);
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
    const Received r = run(ideal(bits, 3));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], expected(m));
    for (size_t i = 0; i < r.parities[0].size(); ++i)
        EXPECT_EQ(r.parities[0][i], i == 20 ? 0 : 1) << i;
    const Received filtered = run(ideal(bits, 3), true);
    EXPECT_TRUE(filtered.messages.empty());
    EXPECT_EQ(filtered.status, (std::vector<bool>{true, false}));
}

TEST(ACARSFramer, AMessageWithoutTerminatorEndsAtItsLimit)
{
    Message m;
    m.text = std::string(300, 'Z');
    const Received r = run(ideal(siggen::acars::frameBits(m, 40), 0));
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
    const Received r = run(ideal(a, 5));
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
