#include "CodewordCheckRegister.h"
#include "MPT1327Receiver.h"

#include <gtest/gtest.h>

#include "Mpt1327Fixtures.h"

using namespace siggen::mpt1327;
using siggen::appendBits;
using siggen::Bits;

namespace {

// Feeds bits as runs of equal bits, the way bit recovery hands them over.
void feedRuns(TMPT1327Receiver& rx, const Bits& bits, int input = 0)
{
    for (size_t i = 0; i < bits.size();) {
        size_t j = i;
        while (j < bits.size() && bits[j] == bits[i])
            ++j;
        if (input == 0)
            rx.FeedBitsCtrl(static_cast<uint32_t>(j - i), bits[i]);
        else
            rx.FeedBitsTraffic(static_cast<uint32_t>(j - i), bits[i]);
        i = j;
    }
}

Bits head()
{
    Bits b;
    appendBits(b, kPreamble, 16);
    appendBits(b, kSync, 16);
    return b;
}

}  // namespace

TEST(CodewordCheckRegister, InitFindsTheTopBitAndClears)
{
    struct Case { uint32_t generator, top; };
    for (const Case c : {Case{0xE815, 0x8000}, Case{0, 0}, Case{1, 1}, Case{0x80000001u, 0x80000000u}, Case{0x1FF, 0x100}}) {
        TCodewordCheckRegister r{7, 7, 7, 1};
        CrcInit(r, c.generator);
        EXPECT_EQ(r.Generator, c.generator);
        EXPECT_EQ(r.TopMask, c.top) << std::hex << c.generator;
        EXPECT_EQ(r.Remainder, 0u);
        EXPECT_EQ(r.Parity, 0u);
    }
}

TEST(CodewordCheckRegister, RemainderOfTheInformationBitsIsTheGeneratorsOne)
{
    // the register after the 48 information bits holds their remainder, as the generator defines it
    for (uint64_t info : {uint64_t{0x800000000001}, uint64_t{0x123456789ABC}, uint64_t{0xFFFFFFFFFFFF}}) {
        TCodewordCheckRegister r;
        CrcInit(r, kMPT1327Generator);
        uint32_t ones = 0;
        for (int b = 47; b >= 0; --b) {
            CrcAddBit(r, (info >> b) & 1);
            ones += (info >> b) & 1;
        }
        EXPECT_EQ(r.Remainder & 0x7FFF, remainder15(info)) << std::hex << info;
        EXPECT_EQ(r.Parity, ones & 1);
    }
}

TEST(MPT1327Receiver, RunLengthsToBits)
{
    fixture::Sink sink;
    TMPT1327Receiver rx(sink);
    // short runs as 9 samples per bit gives them; longer runs from the exact 9.1875
    struct Case { uint16_t frames; uint32_t bits; };
    const Case cases[] = {{0, 0}, {1, 0}, {4, 0}, {5, 1}, {9, 1}, {13, 1}, {14, 2}, {22, 2}, {23, 3},
                          {32, 3}, {33, 4},
                          {202, 22}, {203, 22}, {211, 23},  // 22 and 23 bits, where 9 per bit gains one
                          {441, 48}, {445, 48}, {65535, 7133}};
    for (const Case& c : cases)
        EXPECT_EQ(rx.BitsForRun(c.frames), c.bits) << c.frames << " frames";

    rx.SetSamplingRate(44100);  // 36.75 per bit
    for (const Case& c : {Case{18, 0}, Case{19, 1}, Case{55, 1}, Case{56, 2}, Case{808, 22}, Case{827, 23}})
        EXPECT_EQ(rx.BitsForRun(c.frames), c.bits) << c.frames << " frames at 44100";
    rx.SetSamplingRate(0);
    EXPECT_EQ(rx.SamplingRate(), 1u);
}

TEST(MPT1327Receiver, LevelsBecomeBitsWhenTheRunEnds)
{
    fixture::Sink sink;
    TMPT1327Receiver rx(sink);
    // 14 frames of 1 then a change: two ones go in at the change, none before
    std::vector<int32_t> levels(14, 1);
    rx.FeedLevels(0, levels.data(), levels.size());
    EXPECT_EQ(rx.State(0).BitCount, 0);
    const int32_t zero = 0;
    rx.FeedLevels(0, &zero, 1);
    EXPECT_EQ(rx.State(0).BitCount, 2);
    EXPECT_EQ(rx.State(0).ShiftRegister, 0x0003);
    EXPECT_EQ(rx.State(0).SamplePosition, 15);
    EXPECT_EQ(rx.State(0).EdgePosition, 14);
    // the traffic input has its own state
    EXPECT_EQ(rx.State(1).SamplePosition, 0);
}

TEST(MPT1327Receiver, RunLongerThanThePositionCounterWraps)
{
    fixture::Sink sink;
    TMPT1327Receiver rx(sink);
    std::vector<int32_t> levels(70000, 1);
    levels.push_back(0);
    rx.FeedLevels(0, levels.data(), levels.size());
    // 70000 frames count as 70000 - 65536 = 4464, that is 486 bits
    EXPECT_EQ(rx.State(0).BitCount, 486);
    EXPECT_EQ(rx.State(0).SamplePosition, static_cast<uint16_t>(70001));
}

TEST(MPT1327Receiver, Framing)
{
    const uint64_t a = goToChannel(1, 100, 200, 33), b = channelNumber(17);
    const uint64_t sysSync = systemCodeword(0x0ABC), sysSynt = systemCodeword(0x0ABC, kSynt);
    ASSERT_EQ(wordsOf(sysSynt)[3], kSynt);
    struct Case {
        const char* name;
        Bits bits;
        std::vector<uint64_t> want;
    };
    std::vector<Case> cases;
    {
        Bits s = head();
        appendCodeword(s, a);
        appendCodeword(s, b);
        cases.push_back({"preamble, sync, two codewords", s, {a, b}});
    }
    {
        Bits s = head();
        appendCodeword(s, sysSynt);  // word 4 is SYNT and still completes the codeword
        appendCodeword(s, sysSync);
        appendCodeword(s, a);
        cases.push_back({"word 4 a sync word", s, {sysSynt, sysSync, a}});
    }
    {
        Bits s = head();
        appendCodeword(s, a);
        appendBits(s, kPreamble, 16);  // word 1 the preamble: back to sync search
        appendBits(s, 0x1234, 16);
        appendBits(s, kSync, 16);
        appendCodeword(s, b);
        cases.push_back({"preamble as word 1", s, {a, b}});
    }
    {
        Bits s = head();
        Bits cw;
        appendCodeword(cw, a);
        s.insert(s.end(), cw.begin(), cw.begin() + 40);  // cut short by a new sync word
        appendBits(s, kSync, 16);
        appendCodeword(s, b);
        cases.push_back({"sync inside a codeword", s, {b}});
    }
    {
        Bits s;
        appendCodeword(s, a);  // no sync word at all
        appendCodeword(s, b);
        cases.push_back({"no sync", s, {}});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int input : {0, 1}) {
            fixture::Sink sink;
            TMPT1327Receiver rx(sink);
            feedRuns(rx, c.bits, input);
            ASSERT_EQ(sink.got.size(), c.want.size());
            for (size_t i = 0; i < c.want.size(); ++i) {
                EXPECT_EQ(fixture::fromWords(sink.got[i].Words), c.want[i]) << i;
                EXPECT_TRUE(sink.got[i].Valid) << i;
                EXPECT_EQ(sink.got[i].Input, input);
            }
            // the other input saw nothing
            EXPECT_EQ(rx.State(1 - input).BitCount, 0);
        }
    }
}

TEST(MPT1327Receiver, EverySingleBitErrorIsCaught)
{
    const uint64_t cw = message(5, 300, 2, 1, 3, 0x2AB5);
    for (int bit = 1; bit <= 64; ++bit) {
        fixture::Sink sink;
        TMPT1327Receiver rx(sink);
        sink.receiver = &rx;
        Bits s = head();
        appendCodeword(s, cw ^ (uint64_t{1} << (64 - bit)));
        appendCodeword(s, cw);
        feedRuns(rx, s);
        ASSERT_GE(sink.got.size(), 1u) << bit;
        EXPECT_FALSE(sink.got[0].Valid) << "bit " << bit;
        const TCodewordCheckRegister& r = sink.checks[0];
        const bool remainderBad = (r.Remainder & 0x7FFF) != 0, parityBad = r.Parity != 0;
        if (bit == 64)
            EXPECT_TRUE(!remainderBad && parityBad);
        else
            EXPECT_TRUE(remainderBad && parityBad) << "bit " << bit;
        ASSERT_EQ(sink.got.size(), 2u);
        EXPECT_TRUE(sink.got[1].Valid);
    }
}
