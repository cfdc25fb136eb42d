// AX.25 and NET/ROM frames off the air: the input's bits as line changes through the HDLC frame
// receiver (flags, bit stuffing, abort, length limit, frame check), and every frame it hands on,
// good check or bad, through the packet window's printer.
#include "FuzzTarget.h"

#include "Ax25.h"
#include "PacketHdlc.h"
#include "PacketPrinter.h"

namespace fuzz {

namespace {

Bytes OnTheLine(const siggen::ax25::Frame& frame)
{
    siggen::Bits bits;
    siggen::ax25::appendFlags(bits, 2);
    const siggen::Bits stuffed = siggen::ax25::stuffedBits(siggen::ax25::withFcs(siggen::ax25::encode(frame)));
    bits.insert(bits.end(), stuffed.begin(), stuffed.end());
    siggen::ax25::appendFlags(bits, 2);
    return PackBits(bits);  // the line's bits after NRZI decoding
}

struct Printer : TPacketHdlcSink {
    size_t items = 0;
    void FrameReceived(const uint8_t* bytes, int32_t length, bool fcsGood) override
    {
        Check(length >= 0 && length <= TPacketHdlc::kMaxFrame, "a frame length beyond the receiver's buffer");
        items += PrintFrame(bytes, length, fcsGood).size();
    }
    void StatusText(const char* text) override { Check(text != nullptr, "a status without text"); }
};

}  // namespace

std::vector<Seed> Seeds()
{
    using namespace siggen::ax25;
    Frame via = uiFrame("N0CALL-3", "APRS", "!4903.50N/07201.75W-Test", {"WIDE1-1", "RELAY"});
    Frame info;
    info.destination = parseStation("KA1ABC-1");
    info.source = parseStation("N0CALL");
    info.control = iControl(3, 5, true);
    info.pid = 0xCF;
    NetRomHeader h;
    h.origin = "N0CALL-1";
    h.destination = "KA1ABC";
    info.info = netRomInfo(h, {'h', 'i'});
    Frame super;
    super.destination = parseStation("KA1ABC");
    super.source = parseStation("N0CALL");
    super.control = sControl(1, 4);
    super.hasPid = false;
    super.command = false;
    return {{"ui-via", OnTheLine(via)},
            {"netrom-i", OnTheLine(info)},
            {"nodes", OnTheLine(nodesFrame("N0CALL", "NODE", {{"KA1ABC-2", "ALIAS", "N0CALL-1", 200}}))},
            {"supervisory", OnTheLine(super)}};
}

void Run(const uint8_t* data, size_t size)
{
    Printer printer;
    TPacketHdlc hdlc(printer);
    // Runs between line changes: each 0 bit ends one.
    int64_t run = 1;
    ForEachBit(data, size, [&](uint8_t bit) {
        if (bit) {
            ++run;
        } else {
            hdlc.HandleRun(run);
            run = 1;
        }
    });
}

}  // namespace fuzz
