// The demodulators end to end on generated AFSK: frames at both rates (and 300 bit/s on tone pairs
// across the band-pass) come back as their exact bytes, tones too close together are not taken,
// the tones are found, and loud clipped input still decodes.
#include "Ax25.h"
#include "PacketDecoder.h"
#include "Wav.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace ax = siggen::ax25;

struct Collect : TPacketOutput {
    std::vector<std::vector<TPacketTextItem>> frames;
    std::vector<std::pair<int32_t, int32_t>> tones;
    std::vector<std::string> status;
    void FramePrinted(std::vector<TPacketTextItem> items) override { frames.push_back(std::move(items)); }
    void StatusUpdate(const char* text, bool) override
    {
        if (text)
            status.emplace_back(text);
    }
    void TonesFound(int32_t lower, int32_t upper) override { tones.emplace_back(lower, upper); }
};

std::vector<int16_t> Pcm(const siggen::Samples& s)
{
    std::vector<int16_t> pcm;
    for (double x : s)
        pcm.push_back(siggen::toPcm16(x));
    pcm.resize((pcm.size() + 4095) / 4096 * 4096, 0);
    return pcm;
}

void Decode(TPacketDecoder& d, const std::vector<int16_t>& pcm, bool mode300)
{
    for (size_t at = 0; at + 4096 <= pcm.size(); at += 4096)
        d.DecodeBlock(pcm.data() + at, mode300);
}

std::vector<ax::Bytes> SomeFrames()
{
    std::vector<ax::Bytes> frames;
    frames.push_back(ax::encode(ax::uiFrame("N0CALL-3", "CQ", "Hello from the test bench")));
    frames.push_back(ax::encode(ax::uiFrame("N1ABC", "APRS", "!5130.00N/00010.00W-", {"RELAY", "WIDE2-2"})));
    frames.push_back(ax::encode(ax::nodesFrame("N9SND", "HOME", {{"N5AAA-2", "ALPHA", "N6NBR", 200}})));
    ax::Frame i = ax::uiFrame("N2XYZ", "N3QRS", std::string(200, '\x7E') + std::string(50, '\xFF'));
    i.control = ax::iControl(1, 2);
    frames.push_back(ax::encode(i));
    return frames;
}

TEST(PacketDecoder, FramesComeBackExactlyAtBothRates)
{
    struct Case {
        uint32_t baud;
        double mark, space;
        double amplitude;
    };
    for (const Case& c : std::vector<Case>{{1200, 1200, 2200, 0.5},
                                           {1200, 1200, 2200, 0.02},
                                           {300, 1270, 1070, 0.5},
                                           {300, 1400, 1200, 0.5},
                                           {300, 1000, 800, 0.3}}) {
        SCOPED_TRACE(testing::Message() << c.baud << " bit/s " << c.mark << "/" << c.space << " Hz at " << c.amplitude);
        ax::AfskOptions o = ax::afskFor(c.baud);
        o.mark = c.mark;
        o.space = c.space;
        o.amplitude = c.amplitude;
        const auto frames = SomeFrames();
        std::vector<ax::Bytes> sent;
        for (const auto& f : frames)
            sent.push_back(ax::withFcs(f));
        Collect out;
        TPacketDecoder d(out);
        Decode(d, Pcm(ax::modulate(sent, o)), c.baud == 300);
        ASSERT_EQ(out.frames.size(), frames.size());
        for (size_t k = 0; k < frames.size(); ++k)
            EXPECT_EQ(out.frames[k], PrintFrame(frames[k].data(), int32_t(frames[k].size()), true)) << "frame " << k;
        if (c.baud == 300) {
            // The tuning indicator shows the two tones found, to a few hertz.
            bool seen = false;
            for (auto [lo, hi] : out.tones)
                seen = seen || (std::abs(lo - c.space) < 15 && std::abs(hi - c.mark) < 15);
            EXPECT_TRUE(seen);
        }
    }
}

TEST(PacketDecoder, BadFcsIsPrintedAsACrcError)
{
    ax::Bytes f = ax::withFcs(ax::encode(ax::uiFrame("N0CALL", "CQ", "x")));
    f.back() ^= 0x40;
    for (uint32_t baud : {1200u, 300u}) {
        Collect out;
        TPacketDecoder d(out);
        Decode(d, Pcm(ax::modulate({f}, ax::afskFor(baud))), baud == 300);
        ASSERT_EQ(out.frames.size(), 1u) << baud;
        bool marked = false;
        for (const auto& it : out.frames[0])
            marked = marked || (it.Text == " [CRC Error]" && it.Color == packetcolor::Red && it.Style == 2);
        EXPECT_TRUE(marked) << baud;
    }
}

TEST(PacketDecoder, TonesAHundredHertzApartOrLessAreNotDemodulated)
{
    for (double shift : {100.0, 60.0}) {
        ax::AfskOptions o = ax::afskFor(300);
        o.mark = 1100 + shift;
        o.space = 1100;
        Collect out;
        TPacketDecoder d(out);
        Decode(d, Pcm(ax::modulate({ax::withFcs(ax::encode(ax::uiFrame("N0CALL", "CQ", "close")))}, o)), true);
        // The half periods across a tone change may still pass for a pair now and then, but the
        // line never follows.
        EXPECT_TRUE(out.frames.empty()) << shift;
    }
}

TEST(PacketDecoder, LoudClippedInputStillDecodes)
{
    // Far beyond full scale the tones are clipped to square waves, and still decode.
    for (uint32_t baud : {1200u, 300u}) {
        ax::AfskOptions o = ax::afskFor(baud);
        o.amplitude = 40.0;
        const auto f = ax::encode(ax::uiFrame("N0CALL", "CQ", "clipped"));
        Collect out;
        TPacketDecoder d(out);
        Decode(d, Pcm(ax::modulate({ax::withFcs(f)}, o)), baud == 300);
        ASSERT_EQ(out.frames.size(), 1u) << baud;
        EXPECT_EQ(out.frames[0], PrintFrame(f.data(), int32_t(f.size()), true));
    }
}

TEST(PacketDecoder, SilenceBetweenTransmissionsAndAModeChangeLoseNothing)
{
    // Long silence (no tones at 300 bit/s: the blocks are dropped but time goes on) between
    // frames; then the same decoder goes on at the other rate.
    const auto f = ax::withFcs(ax::encode(ax::uiFrame("N0CALL", "CQ", "after the gap")));
    Collect out;
    TPacketDecoder d(out);
    ax::AfskOptions slow = ax::afskFor(300);
    slow.gapSeconds = 3.3;
    Decode(d, Pcm(ax::modulate({f, f, f}, slow)), true);
    EXPECT_EQ(out.frames.size(), 3u);
    EXPECT_EQ(out.status.back(), "Stand by");
    ax::AfskOptions fast = ax::afskFor(1200);
    fast.gapSeconds = 3.3;
    Decode(d, Pcm(ax::modulate({f, f}, fast)), false);
    EXPECT_EQ(out.frames.size(), 5u);
}

TEST(PacketDecoder, HfFramesInNoiseAreLostWhereABlockMisjudgesItsTones)
{
    // At 300 bit/s each block of 4096 samples finds its own two tones from a few zero crossings,
    // and its threshold lies midway between them. In white noise the estimate holds; in noise
    // confined to the voice band the estimate of an odd block goes astray, and the frame that
    // block falls in is lost. The figures are those of this seeded recording: a change in the
    // arithmetic of the tone search or of the demodulator shows here first.
    struct Case {
        bool band;
        double snr;
        size_t good;  // frames with a good check sequence, of 10
    };
    std::vector<ax::Bytes> frames;
    for (int k = 1; k <= 10; ++k)
        frames.push_back(ax::withFcs(ax::encode(ax::uiFrame("N0CALL", "CQ", "Test frame " + std::to_string(k)))));
    for (const Case& c : std::vector<Case>{{false, 10, 10}, {true, 20, 10}, {true, 14, 9}, {true, 10, 4}}) {
        SCOPED_TRACE(testing::Message() << (c.band ? "300-3300 Hz" : "white") << " noise at " << c.snr << " dB");
        ax::AfskOptions o = ax::afskFor(300);
        o.gapSeconds = 0.1;
        std::vector<ax::Span> spans;
        siggen::Samples s = ax::modulate(frames, o, &spans);
        ax::NoiseOptions n;
        n.snrFirst = n.snrLast = c.snr;
        n.band = c.band;
        n.seed = 7;
        ax::addNoise(s, spans, n, o.rate);
        Collect out;
        TPacketDecoder d(out);
        Decode(d, Pcm(s), true);
        size_t good = 0;
        for (const auto& f : out.frames) {
            bool bad = false;
            for (const auto& it : f)
                bad = bad || it.Text == " [CRC Error]";
            good += !bad && !f.empty();
        }
        EXPECT_EQ(good, c.good);
    }
}

}  // namespace
