#include "Mpt1327.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>

using namespace siggen;
using namespace siggen::mpt1327;

namespace {

// Check bits by long division of the whole dividend info * x^15, one generator-aligned XOR per
// set bit from the top (the library runs a shift register instead).
uint16_t divisionCheck(uint64_t info)
{
    uint64_t d = info << 15;
    for (int b = 62; b >= 15; --b)
        if ((d >> b) & 1)
            d ^= uint64_t{0xE815} << (b - 15);
    return static_cast<uint16_t>(d ^ 1);  // last check bit inverted
}

// The decoder's codeword receiver working on bits: its check register (generator 0xE815 and top
// mask, shift then compare), and its framer after SYNC/SYNT.
struct Receiver {
    struct Codeword {
        std::array<uint16_t, 4> w;
        bool valid;
    };
    uint32_t remainder = 0, parity = 0;
    uint16_t shift = 0, count = 0;
    int state = 0;
    std::array<uint16_t, 4> w{};
    std::vector<Codeword> got;

    void addBit(uint32_t bit)
    {
        remainder <<= 1;
        if (((remainder & 0x8000u) != 0) != (bit == 1))
            remainder ^= 0xE815u;
        parity ^= bit;
    }
    void feed(uint8_t bit)
    {
        shift = static_cast<uint16_t>(shift * 2 + bit);
        ++count;
        const bool sync = shift == 0xC4D7 || shift == 0x3B28;
        if (sync && !(state == 4 && count == 16))
            state = 0;
        if (state == 0) {
            if (sync) {
                count = 0;
                state = 1;
            }
            remainder = parity = 0;
            return;
        }
        if (state < 4 || count < 15)
            addBit(bit);
        else if (count == 15)
            addBit(1u - bit);
        if (count == 16) {
            count = 0;
            w[state - 1] = shift;
            if (state == 1)
                state = shift == 0xAAAA ? 0 : 2;
            else if (state < 4)
                ++state;
            else {
                state = 1;
                parity ^= 1u - bit;
                got.push_back({w, (remainder & 0x7FFFu) == 0 && parity == 0});
                remainder = parity = 0;
            }
        }
    }
    void feed(const Bits& bits)
    {
        for (uint8_t b : bits)
            feed(b);
    }
};

Bits framed(std::initializer_list<uint64_t> codewords, uint16_t sync = kSync)
{
    Bits b;
    appendBits(b, kPreamble, 16);
    appendBits(b, sync, 16);
    for (uint64_t cw : codewords)
        appendCodeword(b, cw);
    return b;
}

uint64_t fromWords(const std::array<uint16_t, 4>& w)
{
    return (uint64_t{w[0]} << 48) | (uint64_t{w[1]} << 32) | (uint64_t{w[2]} << 16) | w[3];
}

}  // namespace

TEST(Mpt1327Check, KnownVectors)
{
    struct Case {
        uint64_t info, codeword;
    };
    // worked out by hand-checked long division
    for (const Case c : {Case{0x000000000000, 0x0000000000000003}, Case{0x000000000001, 0x000000000001d028},
                         Case{0x800000000000, 0x800000000000e816}, Case{0xFFFFFFFFFFFF, 0xfffffffffffffffc},
                         Case{0x123456789ABC, 0x123456789abc13e3}}) {
        EXPECT_EQ(makeCodeword(c.info), c.codeword) << std::hex << c.info;
        EXPECT_EQ(checkBits(c.info), divisionCheck(c.info)) << std::hex << c.info;
    }
}

TEST(Mpt1327Check, AgreesWithDivisionAndTheReceiver)
{
    Random r(5);
    for (int i = 0; i < 300; ++i) {
        const uint64_t info = r.next() >> 16;
        const uint64_t cw = makeCodeword(info);
        ASSERT_EQ(infoOf(cw), info);
        ASSERT_EQ((cw >> 1) & 0x7FFF, divisionCheck(info));
        ASSERT_EQ(std::popcount(cw) % 2, 0);
        ASSERT_TRUE(isValid(cw));
        Receiver rx;
        rx.feed(framed({cw}));
        ASSERT_EQ(rx.got.size(), 1u);
        ASSERT_TRUE(rx.got[0].valid) << std::hex << info;
        ASSERT_EQ(fromWords(rx.got[0].w), cw);
    }
}

TEST(Mpt1327Check, AnyFlippedBitIsRejected)
{
    const uint64_t cw = goToChannel(1, 100, 200, 17);
    for (int bit = 1; bit <= 64; ++bit) {
        const uint64_t bad = cw ^ (uint64_t{1} << (64 - bit));
        EXPECT_FALSE(isValid(bad)) << bit;
        Receiver rx;
        rx.feed(framed({bad}));
        ASSERT_EQ(rx.got.size(), 1u) << bit;
        EXPECT_FALSE(rx.got[0].valid) << bit;
    }
}

TEST(Mpt1327System, CheckBitsReadAsTheSyncWord)
{
    struct Case {
        unsigned system;
        uint16_t sync, secondWord;
    };
    // second words found by trying all 65536 (there is exactly one each)
    for (const Case c : {Case{0x0001, kSync, 0x296e}, Case{0x1234, kSync, 0x4221}, Case{0x7FFF, kSync, 0x793d},
                         Case{0x0001, kSynt, 0x6a74}, Case{0x1234, kSynt, 0x013b}, Case{0x7FFF, kSynt, 0x3a27}}) {
        SCOPED_TRACE(std::to_string(c.system) + " " + std::to_string(c.sync));
        EXPECT_EQ(systemSecondWord(c.system, c.sync), c.secondWord);
        const uint64_t cw = systemCodeword(c.system, c.sync);
        const auto w = wordsOf(cw);
        EXPECT_EQ(w[0], c.system);  // address flag 0 (data codeword), identity in bits 2-16
        EXPECT_EQ(w[1], c.secondWord);
        EXPECT_EQ(w[2], kPreamble);
        EXPECT_EQ(w[3], c.sync);
        EXPECT_TRUE(isValid(cw));
    }
    EXPECT_THROW(systemCodeword(0x8000), std::out_of_range);
}

TEST(Mpt1327System, ReceiverCompletesItDespiteTheSyncInWordFour)
{
    // the sync word as word 4 must end the codeword, not restart framing
    Receiver rx;
    const uint64_t sys = systemCodeword(0x2345);
    const uint64_t grant = goToChannel(3, 1000, 2000, 42);
    rx.feed(framed({sys, grant, sys, grant}));
    ASSERT_EQ(rx.got.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(rx.got[i].valid) << i;
        EXPECT_EQ(fromWords(rx.got[i].w), i % 2 ? grant : sys) << i;
    }
}

TEST(Mpt1327Messages, FieldsWhereTheDecoderReadsThem)
{
    {
        const auto w = wordsOf(goToChannel(0x55, 0x1ABC, 0x0F0F, 777));
        EXPECT_EQ((w[0] >> 15) & 1, 1);  // address codeword
        EXPECT_EQ((w[0] >> 8) & 0x7F, 0x55);
        EXPECT_EQ(((w[0] & 0xFF) << 5) | (w[1] >> 11), 0x1ABC);
        EXPECT_EQ((w[1] >> 10) & 1, 0);  // channel grant
        EXPECT_EQ(((w[1] & 0x1FF) << 1) | (w[2] >> 15), 777);
        EXPECT_EQ((w[2] >> 2) & 0x1FFF, 0x0F0F);
    }
    {
        const auto w = wordsOf(channelNumber(613));
        EXPECT_EQ((w[0] >> 15) & 1, 1);
        EXPECT_EQ((w[1] >> 10) & 1, 1);
        EXPECT_EQ((w[1] >> 7) & 7, 0);  // CAT
        EXPECT_EQ((w[1] >> 5) & 3, 3);  // TYPE
        EXPECT_EQ((w[1] >> 2) & 7, 1);  // FUNC
        EXPECT_EQ(((w[1] & 3) << 8) | (w[2] >> 8), 613);
    }
    {
        const auto w = wordsOf(clearDown(5, 1));
        EXPECT_EQ((w[0] >> 15) & 1, 1);
        EXPECT_EQ((w[1] >> 10) & 1, 1);
        EXPECT_EQ((w[1] >> 7) & 7, 0);
        EXPECT_EQ((w[1] >> 5) & 3, 3);
        EXPECT_EQ((w[1] >> 2) & 7, 2);
        EXPECT_EQ((w[0] >> 5) & 0x3FF, 5);                        // CHAN
        EXPECT_EQ(((w[0] & 0x1F) << 5) | (w[1] >> 11), 1);        // CONT
    }
    {
        // a header announcing data codewords: CAT 1 with bit 26 set; count read from bits 25-28
        const auto w = wordsOf(message(1, 2, 1, 2, 4, 0));
        EXPECT_EQ((w[1] >> 7) & 7, 1);
        EXPECT_NE(w[1] & 0x40, 0);
        EXPECT_EQ((w[1] >> 4) & 0xF, 0xD);  // 1 of CAT, 1 0 of TYPE, 1 of FUNC
        const auto d = wordsOf(dataCodeword(0x7FFFFFFFFFFF));
        EXPECT_EQ(d[0], 0x7FFF);  // address flag 0
    }
    EXPECT_THROW(goToChannel(128, 0, 0, 0), std::out_of_range);
    EXPECT_THROW(goToChannel(0, 8192, 0, 0), std::out_of_range);
    EXPECT_THROW(goToChannel(0, 0, 0, 1024), std::out_of_range);
    EXPECT_THROW(message(0, 0, 8, 0, 0, 0), std::out_of_range);
    EXPECT_THROW(dataCodeword(uint64_t{1} << 47), std::out_of_range);
}

TEST(Mpt1327Messages, BackgroundCodewordsHaveNoLongRuns)
{
    // bit recovery counts run lengths; at 11025 samples/s a run of 22 or more equal bits may gain a bit
    for (unsigned c = 0; c < 1024; ++c) {
        Bits b;
        appendCodeword(b, channelNumber(c));
        ASSERT_LE(longestRun(b), 21) << c;
    }
    Bits b;
    appendCodeword(b, aloha());
    EXPECT_LE(longestRun(b), 21);
    EXPECT_EQ(longestRun(Bits{1, 1, 0, 0, 0, 1}), 3);
    EXPECT_EQ(longestRun(Bits{}), 0);
}

TEST(Mpt1327Channel, PreambleSyncThenSlots)
{
    ChannelScript script;
    script.system = 0x0ABC;
    script.controlChannel = 17;
    script.numberEvery = 3;
    script.seconds = 1.0;
    script.events.push_back({0.5, {goToChannel(1, 100, 200, 33)}});
    script.events.push_back({0.5, {clearDown(33, 17)}});
    const Bits bits = controlChannelBits(script);

    Bits head(bits.begin(), bits.begin() + 32);
    Bits want;
    appendBits(want, 0xAAAA, 16);
    appendBits(want, 0xC4D7, 16);
    EXPECT_EQ(head, want);
    ASSERT_EQ((bits.size() - 32) % 128, 0u);
    EXPECT_GE(bits.size(), 1200u);

    Receiver rx;
    rx.feed(bits);
    ASSERT_EQ(rx.got.size() * 64, bits.size() - 32);
    const uint64_t sys = systemCodeword(0x0ABC);
    size_t grantAt = 0, clearAt = 0, idle = 0;
    for (size_t i = 0; i < rx.got.size(); ++i) {
        ASSERT_TRUE(rx.got[i].valid) << i;
        const uint64_t cw = fromWords(rx.got[i].w);
        if (i % 2 == 0) {
            ASSERT_EQ(cw, sys) << i;
            continue;
        }
        if (cw == goToChannel(1, 100, 200, 33))
            grantAt = i;
        else if (cw == clearDown(33, 17))
            clearAt = i;
        else {
            // idle slots: a channel-number message every third one, Aloha in between
            EXPECT_EQ(cw, idle % 3 == 0 ? channelNumber(17) : aloha()) << i;
            ++idle;
        }
    }
    // each event goes in the first slot that starts at or after its time, one event per slot
    const size_t firstDue = static_cast<size_t>((0.5 * 1200 - 32 + 127) / 128);
    EXPECT_EQ(grantAt, 2 * firstDue + 1);
    EXPECT_EQ(clearAt, grantAt + 2);
}

TEST(Mpt1327Channel, LateEventsExtendTheSignal)
{
    ChannelScript script;
    script.seconds = 0.1;
    script.events.push_back({3.0, {goToChannel(1, 2, 3, 4)}});
    const Bits bits = controlChannelBits(script);
    EXPECT_GE(bits.size(), 3u * 1200);
    EXPECT_LT(bits.size(), 3u * 1200 + 2 * 128);
    Bits last(bits.end() - 64, bits.end());
    Bits want;
    appendCodeword(want, goToChannel(1, 2, 3, 4));
    EXPECT_EQ(last, want);
}

TEST(Mpt1327Channel, BurstsOnATrafficChannel)
{
    ChannelScript script;
    script.bursts = true;
    script.sync = kSynt;
    script.seconds = 1.0;
    script.events.push_back({0.5, {clearDown(7, 2)}});
    script.events.push_back({0.1, {message(1, 2, 1, 2, 4, 0), dataCodeword(0x123456789ABC & 0x7FFFFFFFFFFF)}});
    const uint32_t rate = 8000;
    const Samples s = render(script, rate, 0.5);
    EXPECT_EQ(s.size(), 8000u);
    const size_t burst = (96 * rate + 1199) / 1200;  // preamble, sync, one codeword
    for (size_t i = 0; i < 800; ++i)
        ASSERT_EQ(s[i], 0.0) << i;
    for (size_t i = 4000 + burst; i < s.size(); ++i)
        ASSERT_EQ(s[i], 0.0) << i;
    EXPECT_NE(s[4001], 0.0);
    // the bits of the first burst come back from its zero crossings being of the right tones
    double power = 0;
    for (size_t i = 800; i < 800 + (160 * rate) / 1200; ++i)
        power += s[i] * s[i];
    EXPECT_NEAR(power / ((160 * rate) / 1200), 0.125, 0.01);
}

namespace {

// A plain tone detector (the stronger of 1200 and 1800 Hz over one bit's window, centred), then
// the decoder's bit recovery from run lengths: n = (run + half a bit) / samples per bit.
Bits recoverBits(const Samples& s, uint32_t rate)
{
    const int spb = static_cast<int>((rate + 600) / 1200), half = spb / 2;
    std::vector<int> level(s.size());
    for (size_t n = 0; n < s.size(); ++n) {
        double c1 = 0, s1 = 0, c0 = 0, s0 = 0;
        for (int k = -half; k <= half; ++k) {
            const long i = static_cast<long>(n) + k;
            if (i < 0 || i >= static_cast<long>(s.size()))
                continue;
            const double x = s[static_cast<size_t>(i)], t = static_cast<double>(i) / rate;
            c1 += x * std::cos(2 * std::numbers::pi * 1200 * t);
            s1 += x * std::sin(2 * std::numbers::pi * 1200 * t);
            c0 += x * std::cos(2 * std::numbers::pi * 1800 * t);
            s0 += x * std::sin(2 * std::numbers::pi * 1800 * t);
        }
        level[n] = c1 * c1 + s1 * s1 > c0 * c0 + s0 * s0;
    }
    Bits bits;
    size_t edge = 0;
    for (size_t n = 1; n <= level.size(); ++n) {
        if (n < level.size() && level[n] == level[n - 1])
            continue;
        const size_t count = (n - edge + static_cast<size_t>(half)) / static_cast<size_t>(spb);
        bits.insert(bits.end(), count, static_cast<uint8_t>(level[n - 1]));
        edge = n;
    }
    return bits;
}

}  // namespace

TEST(Mpt1327Channel, AudioDecodesBackToTheGrant)
{
    ChannelScript script;
    script.system = 0x0ABC;
    script.controlChannel = 17;
    script.seconds = 0.6;
    const uint64_t grant = goToChannel(1, 100, 200, 33);
    script.events.push_back({0.3, {grant}});
    for (uint32_t rate : {11025u, 44100u}) {
        SCOPED_TRACE(rate);
        Receiver rx;
        rx.feed(recoverBits(render(script, rate, 0.5), rate));
        size_t valid = 0, grants = 0;
        for (const auto& cw : rx.got) {
            valid += cw.valid;
            grants += cw.valid && fromWords(cw.w) == grant;
        }
        EXPECT_EQ(grants, 1u);
        EXPECT_GE(valid + 1, controlChannelBits(script).size() / 64);  // the last may be cut by the detector
    }
}
