#include "QelFSKDecoder.h"
#include "SmartNetReceiver.h"
#include "Smartnet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace sn = siggen::smartnet;

namespace {

struct Sink : TSmartNetWordSink {
    std::vector<TSmartNetOsw> words;
    int bad = 0;
    std::vector<std::string> accuracy;
    void GoodWord(const TSmartNetOsw& w) override { words.push_back(w); }
    void BadFrame() override { ++bad; }
    void AccuracyText(const std::string& t) override { accuracy.push_back(t); }
};

std::string TextOf(const siggen::Bits& bits)
{
    std::string s;
    for (uint8_t b : bits)
        s += char('0' + b);
    return s;
}

void Push(TSmartNetReceiver& r, const siggen::Bits& bits)
{
    for (uint8_t b : bits)
        r.PushBits(1, b);
}

// The frame as the receiver holds it when the next sync arrives.
siggen::Bits Framed(const sn::Word& w, bool inverted = false)
{
    siggen::Bits bits;
    sn::appendFrame(bits, w);
    siggen::appendBits(bits, sn::kSync, 8);
    if (inverted)
        for (uint8_t& b : bits)
            b ^= 1;
    return bits;
}

TSmartNetOsw Osw(const sn::Word& w) { return {w.command, w.address, w.group}; }

TEST(SmartNetFrame, AllZeroDataWordHasTheKnownCheckBits)
{
    const auto d = sn::dataBits({0xCC38, 1, 0x0D5});
    for (int k = 0; k < 27; ++k)
        EXPECT_EQ(d[size_t(k)], 0) << k;
    std::string check;
    for (int k = 27; k < 37; ++k)
        check += char('0' + d[size_t(k)]);
    EXPECT_EQ(check, "0001101100");
    std::array<uint8_t, 38> out{};
    std::copy(d.begin(), d.end(), out.begin());
    EXPECT_TRUE(SmartNetCheck(out));
    EXPECT_EQ(SmartNetOswOfBits(out), (TSmartNetOsw{0x0D5, 0xCC38, 1}));
}

TEST(SmartNetFrame, KnownWordGivesTheKnownFrameBitsAndDecodesBack)
{
    siggen::Bits bits;
    sn::appendFrame(bits, {0x1234, 1, 0x2F0});
    EXPECT_EQ(TextOf(bits),
              "10101100"
              "1011001000001110110110000110101110000011100010101001011000101000010101011010");
    Sink sink;
    TSmartNetReceiver r(sink);
    r.Reset();
    Push(r, Framed({0x1234, 1, 0x2F0}));
    ASSERT_EQ(sink.words.size(), 1u);
    EXPECT_EQ(sink.words[0], (TSmartNetOsw{0x2F0, 0x1234, 1}));
    EXPECT_EQ(r.FrameCount, 1);
    EXPECT_EQ(r.AcceptedFrames, 1);
    EXPECT_EQ(r.FrameLength, 0);
}

// Every single wrong bit of a frame is repaired (the correction flips a data bit only when both
// syndromes that cover it are set).
TEST(SmartNetFrame, EverySingleBitErrorIsCorrected)
{
    const sn::Word words[] = {{0x1234, 1, 0x2F0}, {0xCC38, 1, 0x0D5}, {0xFFFF, 0, 0x3FF}, {0x0000, 0, 0x000},
                              {0x2811, 1, 0x30B}, {0xA5A5, 0, 0x155}};
    for (const sn::Word& w : words) {
        for (int error = 0; error < 76; ++error) {
            siggen::Bits bits = Framed(w);
            bits[size_t(8 + error)] ^= 1;
            Sink sink;
            TSmartNetReceiver r(sink);
            r.Reset();
            Push(r, bits);
            ASSERT_EQ(sink.words.size(), 1u) << std::hex << w.address << " bit " << std::dec << error;
            EXPECT_EQ(sink.words[0], Osw(w)) << error;
        }
    }
}

// Two wrong bits are never repaired into a different word that passes the check, or so rarely
// that it is counted here: the count is what a noisy channel can list falsely.
TEST(SmartNetFrame, TwoBitErrorsGiveTheWordOrNothing)
{
    const sn::Word w{0x1234, 1, 0x2F0};
    int right = 0, rejected = 0, wrong = 0;
    for (int a = 0; a < 76; ++a)
        for (int b = a + 1; b < 76; ++b) {
            siggen::Bits bits = Framed(w);
            bits[size_t(8 + a)] ^= 1;
            bits[size_t(8 + b)] ^= 1;
            Sink sink;
            TSmartNetReceiver r(sink);
            r.Reset();
            Push(r, bits);
            EXPECT_EQ(r.FrameCount, 1);
            if (sink.words.empty())
                ++rejected;
            else if (sink.words[0] == Osw(w))
                ++right;
            else
                ++wrong;
        }
    EXPECT_EQ(right + rejected + wrong, 76 * 75 / 2);
    EXPECT_EQ(wrong, 0) << right << " repaired, " << rejected << " rejected";
}

TEST(SmartNetFrame, InvertedSignalDecodesTheSameWord)
{
    Sink sink;
    TSmartNetReceiver r(sink);
    r.Reset();
    Push(r, Framed({0x1234, 1, 0x2F0}, true));
    EXPECT_EQ(r.SyncRegister, sn::kSync ^ 0xFF);
    ASSERT_EQ(sink.words.size(), 1u);
    EXPECT_EQ(sink.words[0], (TSmartNetOsw{0x2F0, 0x1234, 1}));
}

TEST(SmartNetFrame, SyncBeforeAFullWindowIsIgnored)
{
    Sink sink;
    TSmartNetReceiver r(sink);
    r.Reset();
    siggen::Bits bits;
    siggen::appendBits(bits, sn::kSync, 8);
    siggen::appendBits(bits, sn::kSync, 8);
    Push(r, bits);
    EXPECT_EQ(r.FrameCount, 0);
    EXPECT_EQ(r.FrameLength, 16);
    // A truncated frame: the window fills up but no sync closes it.
    Push(r, siggen::Bits(60, 1));
    EXPECT_EQ(r.FrameCount, 0);
    EXPECT_TRUE(sink.words.empty());
}

TEST(SmartNetFrame, CheckBitsNotComplementedAreRejected)
{
    siggen::Bits bits = Framed({0x1234, 1, 0x2F0});
    // Flip data and parity bits of the ten check bits coherently: the code stays valid, the check fails.
    const siggen::Bits frame(bits.begin() + 8, bits.begin() + 84);
    std::array<uint8_t, 76> coded{};
    for (size_t i = 0; i < 76; ++i)
        coded[i] = frame[(i % 4) * 19 + i / 4];
    std::array<uint8_t, 38> data{};
    for (size_t k = 0; k < 38; ++k)
        data[k] = coded[2 * k];
    for (size_t k = 27; k < 37; ++k)
        data[k] ^= 1;
    uint8_t previous = 0;
    for (size_t k = 0; k < 38; ++k) {
        coded[2 * k] = data[k];
        coded[2 * k + 1] = uint8_t(data[k] ^ previous);
        previous = data[k];
    }
    for (size_t i = 0; i < 76; ++i)
        bits[8 + (i % 4) * 19 + i / 4] = coded[i];
    Sink sink;
    TSmartNetReceiver r(sink);
    r.Reset();
    Push(r, bits);
    EXPECT_EQ(r.FrameCount, 1);
    EXPECT_EQ(r.AcceptedFrames, 0);
    EXPECT_EQ(sink.bad, 1);
    EXPECT_TRUE(sink.words.empty());
}

TEST(SmartNetFrame, AccuracyEveryHundredFramesThenBothCountersRestart)
{
    Sink sink;
    TSmartNetReceiver r(sink);
    r.Reset();
    siggen::Bits bits;
    siggen::appendBits(bits, sn::kSync, 8);
    for (int i = 0; i < 100; ++i) {
        siggen::Bits f = sn::frameBits({uint16_t(i), 1, 0x100});
        if (i % 4 == 3) {  // a quarter with three wrong data bits in a row: uncorrectable
            f[0] ^= 1, f[19] ^= 1, f[38] ^= 1, f[57] ^= 1;
            f[1] ^= 1, f[20] ^= 1;
        }
        bits.insert(bits.end(), f.begin(), f.end());
        siggen::appendBits(bits, sn::kSync, 8);
    }
    Push(r, bits);
    ASSERT_EQ(sink.accuracy, std::vector<std::string>{"75%"});
    EXPECT_EQ(r.FrameCount, 0);
    EXPECT_EQ(r.AcceptedFrames, 0);
    EXPECT_EQ(sink.words.size(), 75u);
    // The input-channel test's own count is not restarted with them.
    EXPECT_EQ(r.TestFrames, 75);
}

// Bit counts from the distance between events, and where the reference moves.
TEST(SmartNetBitTiming, DistanceToBitCount)
{
    struct Case {
        uint32_t distance;
        size_t bits;
        uint32_t reference;
    } cases[] = {{0, 0, 1000},  {6, 0, 1000},   {7, 1, 1012},   {18, 1, 1012},  {19, 2, 1019},
                 {30, 2, 1030}, {31, 3, 1031},  {42, 3, 1042},  {43, 4, 1043},  {55, 4, 1055},
                 {56, 5, 1056}, {67, 5, 1067},  {68, 6, 1068},  {79, 6, 1079},  {80, 7, 1080},
                 {91, 7, 1091}, {92, 8, 1092},  {104, 8, 1104}};
    for (const Case& c : cases) {
        Sink sink;
        TSmartNetReceiver r(sink);
        r.Reset();
        r.LastTransition = 1000;
        r.FSKDecTransition(1000 + c.distance, 1);
        EXPECT_EQ(size_t(r.FrameLength), c.bits) << c.distance;
        EXPECT_EQ(r.LastTransition, c.reference) << c.distance;
    }
}

// Single-bit runs of 12.25 samples each: the reference keeps up (12, 12, 12, 13), so a long
// alternating stretch gives one bit per run.
TEST(SmartNetBitTiming, LongAlternatingRunsKeepTheBitCount)
{
    Sink sink;
    TSmartNetReceiver r(sink);
    r.Reset();
    for (int k = 1; k <= 200; ++k)
        r.FSKDecTransition(uint32_t(k * 49 / 4), uint8_t(k % 2));
    EXPECT_EQ(r.FrameLength, 84);  // the window is full
    EXPECT_EQ(r.LastTransition, 200u * 49 / 4);
    // The first step still moves 12.
    TSmartNetReceiver first(sink);
    first.Reset();
    first.FSKDecTransition(12, 0);
    EXPECT_EQ(first.LastTransition, 12u);
}

TEST(SmartNetBitTiming, AVeryLongSilenceIsAFullWindowOfEqualBits)
{
    Sink sink;
    TSmartNetReceiver r(sink);
    r.Reset();
    r.FSKDecTransition(0xF0000000u, 1);
    EXPECT_EQ(r.SyncRegister, 0xFF);
    EXPECT_EQ(r.FrameLength, 84);
    EXPECT_EQ(r.FrameCount, 0);
}

// Audio at 44100 Hz through the detector and the receiver gives back every word sent.
TEST(SmartNetAudioPath, GeneratedControlChannelDecodesWordForWord)
{
    sn::ChannelScript script;
    script.seconds = 1.0;
    for (int i = 0; i < 20; ++i)
        script.events.push_back({0.1 + i * 0.03, {sn::grant(uint16_t(0x100 + i), uint16_t(i * 37 % 700), i % 2)}});
    const siggen::Bits bits = sn::controlChannelBits(script);
    std::vector<TSmartNetOsw> sent;
    for (size_t at = 8; at + 84 <= bits.size(); at += 84) {
        std::array<uint8_t, 38> out{};
        std::array<uint8_t, 78> d = SmartNetDeinterleave(&bits[at], false);
        for (size_t k = 0; k < 38; ++k)
            out[k] = d[2 * k];
        sent.push_back(SmartNetOswOfBits(out));
    }
    for (bool inverted : {false, true}) {
        const siggen::Samples audio = sn::render(bits, 44100, 0.5, inverted);
        std::vector<int16_t> pcm;
        for (double x : audio)
            pcm.push_back(siggen::toPcm16(x));
        Sink sink;
        TSmartNetReceiver r(sink);
        r.Reset();
        TQelFSKDecoder fsk;
        fsk.SetDerivative(true);
        fsk.OnTransition = [&](TQelFSKDecoder*, uint32_t p, int32_t v) { r.FSKDecTransition(p, v); };
        for (size_t at = 0; at < pcm.size(); at += 8192)
            fsk.ProcessBuffer(pcm.data() + at, uint32_t(std::min<size_t>(8192, pcm.size() - at)), 1);
        // The first frame may be lost to a false sync while the window is not yet aligned to the frames.
        EXPECT_LE(sink.bad, 1) << inverted;
        EXPECT_EQ(sink.words, std::vector<TSmartNetOsw>(sent.end() - std::ptrdiff_t(sink.words.size()), sent.end()))
            << inverted;
        EXPECT_GE(sink.words.size(), sent.size() - 1) << inverted;
    }
}

// The bit shifting written out as defined: a fixed 84-entry window that moves down by one for each
// bit once full, and a frame decoded when a sync closes a full window.
struct PlainWindow {
    uint8_t sync = 0;
    std::array<uint8_t, 84> window{};
    int length = 0;
    int frames = 0;  // decoded frames
    void Push(uint8_t bit)
    {
        sync = uint8_t((sync << 1) | bit);
        if (length == 84) {
            std::copy(window.begin() + 1, window.end(), window.begin());
            window[83] = bit;
        } else {
            window[size_t(length++)] = bit;
        }
        if ((sync == 0xAC || sync == 0x53) && length == 84) {
            ++frames;
            length = 0;
        }
    }
};

// Runs of random length (one bit to past a whole frame) with a frame, upright or inverted, every few
// hundred bits, so that the full window goes far enough between frames to wrap its buffer: after
// each run the window holds the bits the defined one holds, and every frame gives its word.
TEST(SmartNetFrame, WindowAfterEachRunIsTheDefinedWindow)
{
    Sink sink;
    TSmartNetReceiver r(sink);
    r.Reset();
    PlainWindow plain;
    std::vector<TSmartNetOsw> sent;
    uint64_t seed = 2026;
    auto next = [&] {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        return seed;
    };
    for (int round = 0; round < 20000; ++round) {
        siggen::Bits bits;
        uint32_t run = 0;
        if (next() % 150 == 0) {
            const sn::Word w{uint16_t(next()), uint8_t(next() % 2), uint16_t(next() % 0x3FF)};
            bits = Framed(w, next() % 2 == 0);
        } else {
            // Runs of two or more bits never make a sync, so the window goes on for hundreds of bits.
            run = uint32_t(next() % 16 == 0 ? 1 + next() % 100 : 2 + next() % 5 - (next() % 10 == 0));
            bits.assign(1, uint8_t(next() % 2));
        }
        if (run) {
            r.PushBits(run, bits[0]);
            for (uint32_t k = 0; k < run; ++k)
                plain.Push(bits[0]);
        } else {
            Push(r, bits);
            for (uint8_t b : bits)
                plain.Push(b);
        }
        ASSERT_EQ(r.SyncRegister, plain.sync) << round;
        ASSERT_EQ(r.FrameLength, plain.length) << round;
        ASSERT_TRUE(std::equal(plain.window.begin(), plain.window.begin() + plain.length, r.FrameWindow()))
            << round;
    }
    EXPECT_GT(plain.frames, 80);
    EXPECT_EQ(int(sink.words.size()) + sink.bad, plain.frames);
    EXPECT_GT(sink.words.size(), 80u);
}

// The frame steps written out as defined, one bit at a time.
std::array<uint8_t, 78> PlainDeinterleave(const uint8_t* w, bool inverted)
{
    std::array<uint8_t, 78> d{};
    for (int i = 0; i < 76; ++i) {
        const uint8_t bit = w[(i % 4) * 19 + i / 4];
        d[size_t(i)] = inverted ? uint8_t(1 - bit) : bit;
    }
    return d;
}

std::array<uint8_t, 38> PlainCorrect(std::array<uint8_t, 78> d)
{
    std::array<uint8_t, 38> out{};
    for (size_t k = 0; k < 38; ++k) {
        out[k] = d[2 * k];
        if (d[2 * k]) {
            d[2 * k] = 0;
            d[2 * k + 1] ^= 1;
            d[2 * k + 3] ^= 1;
        }
    }
    for (size_t k = 0; k < 38; ++k)
        if (d[2 * k + 1] && d[2 * k + 3]) {
            out[k] ^= 1;
            d[2 * k + 3] ^= 1;
        }
    return out;
}

bool PlainCheck(const std::array<uint8_t, 38>& out)
{
    const uint16_t b = sn::checkBits(out);  // the signal generator's own, bit by bit
    for (int j = 0; j < 10; ++j)
        if (out[size_t(36 - j)] == ((b >> j) & 1))
            return false;
    return true;
}

// Random windows of bits, good frames with up to three bits flipped, and windows of any byte values:
// each frame step gives what the defined one gives.
TEST(SmartNetFrame, FrameStepsEqualTheDefinedSteps)
{
    uint64_t seed = 84;
    auto next = [&] {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        return seed;
    };
    int good = 0;
    for (int round = 0; round < 20000; ++round) {
        std::array<uint8_t, 84> w{};
        const int kind = round % 3;
        if (kind == 1) {
            const siggen::Bits bits = sn::frameBits({uint16_t(next()), uint8_t(next() % 2), uint16_t(next() % 0x400)});
            std::copy(bits.begin(), bits.begin() + 76, w.begin());
            for (uint64_t flips = next() % 4; flips; --flips)
                w[next() % 76] ^= 1;
        } else {
            for (uint8_t& b : w)
                b = kind == 0 ? uint8_t(next() % 2) : uint8_t(next());
        }
        for (bool inverted : {false, true}) {
            const auto d = SmartNetDeinterleave(w.data(), inverted);
            ASSERT_EQ(d, PlainDeinterleave(w.data(), inverted)) << round;
            const auto out = SmartNetCorrect(d);
            ASSERT_EQ(out, PlainCorrect(d)) << round;
            ASSERT_EQ(SmartNetCheckBits(out), sn::checkBits(out)) << round;
            ASSERT_EQ(SmartNetCheck(out), PlainCheck(out)) << round;
            good += SmartNetCheck(out);
        }
    }
    EXPECT_GT(good, 3000);  // the corrected frames pass, so both answers of the check are compared
}

}  // namespace
