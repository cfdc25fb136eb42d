// The frame receiver fed with the run lengths of generated HDLC bit streams: exact bytes back,
// bit stuffing, the length limit, aborts, short fragments and the frame check.
#include "Ax25.h"
#include "PacketHdlc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using siggen::Bits;
using siggen::ax25::Bytes;

struct Frame {
    Bytes bytes;
    bool good;
};

struct Recorder : TPacketHdlcSink {
    std::vector<Frame> frames;
    std::vector<std::string> status;
    void FrameReceived(const uint8_t* b, int32_t n, bool good) override { frames.push_back({Bytes(b, b + n), good}); }
    void StatusText(const char* t) override { status.emplace_back(t); }
};

// Bit periods between successive zeros (each zero is an NRZI line change).
std::vector<int64_t> RunsOf(const Bits& bits)
{
    std::vector<int64_t> runs;
    int64_t last = -1;
    for (size_t i = 0; i < bits.size(); ++i)
        if (!bits[i]) {
            if (last >= 0)
                runs.push_back(static_cast<int64_t>(i) - last);
            last = static_cast<int64_t>(i);
        }
    return runs;
}

Bits Transmission(const std::vector<Bytes>& framesWithFcs, int lead = 3, int between = 1)
{
    Bits bits;
    siggen::ax25::appendFlags(bits, lead);
    for (size_t i = 0; i < framesWithFcs.size(); ++i) {
        if (i)
            siggen::ax25::appendFlags(bits, between);
        const Bits d = siggen::ax25::stuffedBits(framesWithFcs[i]);
        bits.insert(bits.end(), d.begin(), d.end());
    }
    siggen::ax25::appendFlags(bits, 2);
    return bits;
}

std::vector<Frame> Receive(const Bits& bits, Recorder* rec = nullptr)
{
    Recorder local;
    Recorder& r = rec ? *rec : local;
    TPacketHdlc hdlc(r);
    for (int64_t n : RunsOf(bits))
        hdlc.HandleRun(n);
    return r.frames;
}

Bytes Pattern(size_t n, uint8_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(seed + i * 37);
    return b;
}

TEST(PacketHdlc, CrcTableAndCheckValue)
{
    const auto& t = TPacketHdlc::CrcTable();
    EXPECT_EQ(t[0], 0x0000);
    EXPECT_EQ(t[1], 0x1189);
    EXPECT_EQ(t[0x80], 0x8408);
    EXPECT_EQ(t[255], 0x0F78);
    const std::string check = "123456789";
    // the standard check value of this CRC, complemented as sent
    EXPECT_EQ(static_cast<uint16_t>(~TPacketHdlc::Crc(reinterpret_cast<const uint8_t*>(check.data()), 9)), 0x906E);
    EXPECT_EQ(TPacketHdlc::Crc(nullptr, 0), 0xFFFF);
}

TEST(PacketHdlc, FramesComeBackAsTheirExactBytes)
{
    struct Case {
        const char* what;
        Bytes payload;
    };
    const std::vector<Case> cases = {
        {"ui frame", siggen::ax25::encode(siggen::ax25::uiFrame("N0CALL-3", "CQ", "Hello world"))},
        {"all ones: a stuffed zero after every five", Bytes(40, 0xFF)},
        {"flag bytes inside the frame", Bytes(12, 0x7E)},
        {"five ones then a zero, byte by byte", Bytes(20, 0x1F)},
        {"all zeros", Bytes(20, 0x00)},
        {"one byte besides the FCS", Bytes{0x42}},
        {"longest delivered: 328 bytes and the FCS", Pattern(328, 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes sent = siggen::ax25::withFcs(c.payload);
        const auto got = Receive(Transmission({sent}));
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].bytes, c.payload);
        EXPECT_TRUE(got[0].good);
    }
}

TEST(PacketHdlc, BackToBackFramesShareOneFlag)
{
    const Bytes a = siggen::ax25::withFcs(Pattern(30, 1)), b = siggen::ax25::withFcs(Pattern(17, 9));
    const auto got = Receive(Transmission({a, b, a}, 2, 1));
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].bytes, Bytes(a.begin(), a.end() - 2));
    EXPECT_EQ(got[1].bytes, Bytes(b.begin(), b.end() - 2));
    EXPECT_EQ(got[2].bytes, Bytes(a.begin(), a.end() - 2));
}

TEST(PacketHdlc, LengthLimitAbandonsAt331Bytes)
{
    // 330 bytes with the FCS are delivered, 331 are not (and nothing of them reaches the next frame)
    EXPECT_EQ(Receive(Transmission({siggen::ax25::withFcs(Pattern(328, 5))})).size(), 1u);
    EXPECT_TRUE(Receive(Transmission({siggen::ax25::withFcs(Pattern(329, 5))})).empty());
    EXPECT_TRUE(Receive(Transmission({siggen::ax25::withFcs(Pattern(400, 5))})).empty());
    const Bytes small = siggen::ax25::withFcs(Pattern(10, 2));
    const auto got = Receive(Transmission({siggen::ax25::withFcs(Pattern(329, 5)), small}));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, Bytes(small.begin(), small.end() - 2));
}

TEST(PacketHdlc, BadFcsIsDeliveredAndMarked)
{
    for (size_t flip : {0u, 5u, 11u, 12u}) {  // a payload byte, or either FCS byte
        Bytes sent = siggen::ax25::withFcs(Pattern(11, 7));
        sent[flip] ^= 0x10;
        const auto got = Receive(Transmission({sent}));
        ASSERT_EQ(got.size(), 1u) << flip;
        EXPECT_FALSE(got[0].good) << flip;
        EXPECT_EQ(got[0].bytes, Bytes(sent.begin(), sent.end() - 2));
    }
}

// Flag, then the given bits, then a flag.
Bits Framed(const Bits& inside)
{
    Bits bits;
    siggen::ax25::appendFlags(bits, 1);
    bits.insert(bits.end(), inside.begin(), inside.end());
    siggen::ax25::appendFlags(bits, 1);
    return bits;
}

Bits BitsOf(const Bytes& bytes)
{
    Bits bits;
    for (uint8_t b : bytes)
        for (int i = 0; i < 8; ++i)
            bits.push_back((b >> i) & 1);
    return bits;
}

TEST(PacketHdlc, NothingIsDeliveredBetweenFlagsOrAfterAbortsOrOffTheByteBoundary)
{
    const Bytes three = siggen::ax25::withFcs({0x42});  // the shortest frame that is delivered
    auto plus = [](Bits b, const Bits& more) {
        b.insert(b.end(), more.begin(), more.end());
        return b;
    };
    struct Case {
        const char* what;
        Bits bits;
    };
    Bits sevenOnes = {1, 1, 1, 1, 1, 1, 1, 0};
    Bits manyOnes(200, 1);
    manyOnes.push_back(0);
    Bits truncated = BitsOf(three);
    truncated.pop_back();
    const std::vector<Case> cases = {
        {"two flags", Framed({})},
        {"one byte between flags", Framed(BitsOf({0x42}))},
        {"two bytes between flags, an FCS alone", Framed(BitsOf(siggen::ax25::withFcs({})))},
        {"a bit short of the byte boundary", Framed(truncated)},
        {"a bit past the byte boundary", Framed(plus(BitsOf(three), {0}))},
        {"seven ones: abort", Framed(plus(BitsOf(three), sevenOnes))},
        {"idle ones", Framed(plus(BitsOf(three), manyOnes))},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(Receive(c.bits).empty()) << c.what;
    // The same three bytes closed by the flag at once are delivered: the cases above are right.
    const auto got = Receive(Framed(BitsOf(three)));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, Bytes{0x42});
    EXPECT_TRUE(got[0].good);
}

TEST(PacketHdlc, RunsOfZeroOrBelowAndBitsOutsideAFrameDoNothing)
{
    Recorder r;
    TPacketHdlc hdlc(r);
    for (int64_t n : std::vector<int64_t>{3, 1, 2, 6, 0, -5, -1000000000000LL})
        hdlc.HandleRun(n);
    EXPECT_TRUE(r.status.empty());
    hdlc.HandleRun(7);
    for (int64_t n : {0, -3})
        hdlc.HandleRun(n);
    EXPECT_EQ(hdlc.Length(), 0);
    EXPECT_TRUE(hdlc.Receiving());
}

TEST(PacketHdlc, StatusFollowsFlagsAndAborts)
{
    Recorder r;
    TPacketHdlc hdlc(r);
    EXPECT_FALSE(hdlc.Receiving());
    hdlc.HandleRun(3);
    EXPECT_TRUE(r.status.empty());
    hdlc.HandleRun(7);
    EXPECT_TRUE(hdlc.Receiving());
    hdlc.HandleRun(9);
    EXPECT_FALSE(hdlc.Receiving());
    EXPECT_EQ(r.status, (std::vector<std::string>{"Receiving", "Stand by"}));
}

TEST(PacketHdlc, CheckFcsOfShortFrames)
{
    // Whatever bytes are held, fewer than two can never pass and nothing is read outside them.
    Recorder r;
    TPacketHdlc hdlc(r);
    EXPECT_FALSE(hdlc.CheckFCS());
    // two bytes holding the complement of the initial value: the CRC of nothing
    hdlc.HandleRun(7);
    for (int64_t n : {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1})  // 16 zeros: 0x0000
        hdlc.HandleRun(n);
    EXPECT_EQ(hdlc.Length(), 2);
    EXPECT_TRUE(hdlc.CheckFCS());
}

}  // namespace
