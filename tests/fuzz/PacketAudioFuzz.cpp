// The packet decoder off the air: mono 16-bit capture at 44100 Hz in the decoding thread's blocks of
// 4096 samples through the 300 or the 1200 bit/s demodulator (the first byte's bit k chooses the
// mode of block k, k mod 8: the user may switch between blocks) into the frame receiver and the
// printer. The tones the 300 bit/s search reports are two tones of its band at least 100 Hz apart,
// or none; every status is whole text and every printed item is coloured and styled as the window
// can show it.
#include "FuzzTarget.h"

#include "Ax25.h"
#include "PacketDecoder.h"

namespace fuzz {

namespace {

struct Output : TPacketOutput {
    size_t items = 0;
    void FramePrinted(std::vector<TPacketTextItem> printed) override
    {
        using namespace packetcolor;
        for (const TPacketTextItem& item : printed) {
            Check(!item.Text.empty(), "an empty item printed");
            Check(item.Color == Black || item.Color == Green || item.Color == Red || item.Color == Maroon ||
                      item.Color == Blue,
                  "an item in a colour the printer does not have");
            Check(item.Style <= 3, "an item in a style the printer does not have");
        }
        items += printed.size();
    }
    void StatusUpdate(const char* text, bool) override
    {
        Check(!text || (*text && WholeText(text)), "a status that is not whole text");
    }
    void TonesFound(int32_t lower, int32_t upper) override
    {
        Check((lower == 0 && upper == 0) || (lower >= 500 && upper <= 2500 && upper - lower >= 100),
              "tones outside the search's band");
    }
};

// The modes byte, then the capture.
Bytes Captured(uint8_t modes, const siggen::Samples& samples)
{
    return Prefixed({modes}, Pcm16(samples));
}

siggen::Samples Transmission(uint32_t baud, const std::vector<siggen::ax25::Frame>& frames)
{
    using namespace siggen::ax25;
    AfskOptions o = afskFor(baud);
    o.leadFlags = 4;
    o.gapSeconds = 0.02;
    std::vector<Bytes> sent;
    for (const Frame& f : frames)
        sent.push_back(withFcs(encode(f)));
    return modulate(sent, o);
}

}  // namespace

std::vector<Seed> Seeds()
{
    using namespace siggen::ax25;
    const Frame ui = uiFrame("N0CALL-3", "APRS", "!4903.50N", {"WIDE1-1"});
    const Frame nodes = nodesFrame("N0CALL", "NODE", {{"KA1ABC-2", "ALIAS", "N0CALL-1", 200}});
    const Frame hi = uiFrame("N0CALL", "CQ", "hi");
    return {{"1200", Captured(0x00, Transmission(1200, {ui, nodes}))},
            {"300", Captured(0xFF, Transmission(300, {hi}))},
            {"switched", Captured(0xF0, Transmission(1200, {ui}))}};
}

void Run(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    const uint8_t modes = data[0];
    const std::vector<int16_t> pcm = Samples16(data + 1, size - 1);
    Output out;
    TPacketDecoder decoder(out);
    // Whole blocks only: the thread waits for the rest of a block.
    for (size_t at = 0, k = 0; at + TPacketDecoder::kBlock <= pcm.size(); at += TPacketDecoder::kBlock, ++k) {
        const bool mode300 = (modes >> (k % 8)) & 1;
        decoder.DecodeBlock(pcm.data() + at, mode300);
        if (mode300)
            Check((decoder.LowerTone() == 0 && decoder.UpperTone() == 0) ||
                      (decoder.LowerTone() > 500 && decoder.UpperTone() < 2500 &&
                       decoder.UpperTone() - decoder.LowerTone() > 100),
                  "tones outside the search's band");
    }
}

}  // namespace fuzz
