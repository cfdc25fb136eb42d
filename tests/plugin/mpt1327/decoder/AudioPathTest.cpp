#include "MPT1327Receiver.h"

#include <gtest/gtest.h>

#include "Fsk.h"
#include "Mpt1327Fixtures.h"

using namespace siggen::mpt1327;
using siggen::Bits;
using siggen::Samples;

namespace {

constexpr uint32_t kRate = 11025;

// A control channel with system codewords, channel-number messages and grants; the codewords
// it sends after its preamble and sync word.
ChannelScript script(std::vector<uint64_t>* sent)
{
    ChannelScript s;
    s.system = 0x0ABC;
    s.controlChannel = 17;
    s.numberEvery = 2;
    s.seconds = 1.5;
    s.events.push_back({0.3, {goToChannel(1, 100, 200, 33)}});
    s.events.push_back({0.6, {goToChannel(2, 8191, 5, 700)}});
    s.events.push_back({0.9, {clearDown(33, 17)}});
    const Bits bits = controlChannelBits(s);
    for (size_t at = 32; at + 64 <= bits.size(); at += 64) {
        uint64_t cw = 0;
        for (size_t i = 0; i < 64; ++i)
            cw = (cw << 1) | bits[at + i];
        sent->push_back(cw);
    }
    return s;
}

// The script's bits as FFSK, with a preamble behind them so that the last codeword's last run ends.
Samples audio(const ChannelScript& s)
{
    Bits bits = controlChannelBits(s);
    siggen::appendBits(bits, kPreamble, 16);
    Samples out;
    siggen::FskModulator mod(kRate, kBitRate, kFreqOne, kFreqZero, 0.5);
    mod.modulate(out, bits);
    return out;
}

std::vector<uint64_t> decodeStereo(const std::vector<int16_t>& pcm, int input, int channel)
{
    fixture::Sink sink;
    TMPT1327Receiver rx(sink);
    TQelAFSKDemod demod;
    MPT1327DemodSetting(demod);
    fixture::feedBuffers(rx, demod, pcm, input, channel);
    std::vector<uint64_t> got;
    for (const auto& cw : sink.got) {
        EXPECT_EQ(cw.Input, input);
        if (cw.Valid)
            got.push_back(fixture::fromWords(cw.Words));
    }
    return got;
}

}  // namespace

TEST(MPT1327AudioPath, EveryCodewordComesBackThroughTheDemodulator)
{
    std::vector<uint64_t> sent;
    const ChannelScript s = script(&sent);
    ASSERT_GT(sent.size(), 25u);
    const Samples signal = audio(s);
    siggen::Random random(11);
    Samples other;
    siggen::appendNoise(other, 0.3, signal.size(), random);
    // the control channel on either stereo channel, the other one noise
    for (int channel : {0, 1}) {
        SCOPED_TRACE(channel);
        EXPECT_EQ(decodeStereo(fixture::stereo16(signal, other, channel), 0, channel), sent);
        EXPECT_TRUE(decodeStereo(fixture::stereo16(signal, other, channel), 0, 1 - channel).empty());
    }
    // the traffic input works the same way
    EXPECT_EQ(decodeStereo(fixture::stereo16(signal, other, 1), 1, 1), sent);
}

TEST(MPT1327AudioPath, LongRunsOfEqualBitsDecode)
{
    // data codewords with 47 and 40 equal data bits: runs a whole 9 samples per bit lengthens
    std::vector<uint64_t> cws = {dataCodeword(0), dataCodeword(0x7FFFFFFFFFFF), dataCodeword(0x7FFFFFFFFF00),
                                 goToChannel(0, 0, 0, 0)};
    Bits bits;
    siggen::appendBits(bits, kPreamble, 16);
    siggen::appendBits(bits, kSync, 16);
    for (uint64_t cw : cws) {
        Bits one;
        appendCodeword(one, cw);
        EXPECT_GE(longestRun(one), 22);
        appendCodeword(bits, cw);
    }
    siggen::appendBits(bits, kPreamble, 16);
    Samples signal;
    siggen::FskModulator(kRate, kBitRate, kFreqOne, kFreqZero, 0.5).modulate(signal, bits);
    EXPECT_EQ(decodeStereo(fixture::stereo16(signal, {}, 0), 0, 0), cws);
}

TEST(MPT1327AudioPath, MostCodewordsSurviveNoise)
{
    std::vector<uint64_t> sent;
    const ChannelScript s = script(&sent);
    Samples signal = audio(s);
    siggen::Random random(5);
    siggen::addNoise(signal, 12.0, random);
    const auto got = decodeStereo(fixture::stereo16(signal, {}, 0), 0, 0);
    // what comes back valid is what was sent, in order
    size_t k = 0;
    for (uint64_t cw : got) {
        while (k < sent.size() && sent[k] != cw)
            ++k;
        ASSERT_LT(k, sent.size()) << std::hex << cw;
        ++k;
    }
    EXPECT_GE(got.size() * 10, sent.size() * 8) << got.size() << " of " << sent.size();
}
