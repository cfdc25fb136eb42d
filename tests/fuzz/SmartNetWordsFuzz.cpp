// SmartNet outbound words off the air: the input's bits through the frame sync, deinterleaving,
// correction and check into the word interpreter, in a window that counts its buffers and runs its
// timer as the decoder window does (SmartNetHarness.h), so that systems are confirmed and calls
// fill the on-air list, the log and the heard radios.
#include "FuzzTarget.h"
#include "SmartNetHarness.h"

#include "Smartnet.h"

namespace fuzz {

namespace {

// The three option bytes (SmartNetHarness.h), then the bits.
Bytes Packed(uint8_t options, uint8_t levels, const siggen::Bits& bits, uint8_t user = 0)
{
    return Prefixed({options, levels, user}, PackBits(bits));
}

}  // namespace

std::vector<Seed> Seeds()
{
    using namespace siggen::smartnet;
    // A window just tuned: the system is confirmed after 16 buffers (3 s), then the calls come.
    ChannelScript s;
    s.system = 0x1234;
    s.controlChannel = 752;
    s.seconds = 4.0;
    s.events.push_back({3.2, {grant(0x2001, 0x120)}});
    s.events.push_back({3.4, {grant(0x2002, 0x121, false)}});
    s.events.push_back({3.6, {grant(0x2001, 0x122)}});
    s.events.push_back({3.8, {grant(0x2003, 0x120 + 380)}});
    // A settled window on a system that sends calls at once; with a secondary receiver, and with the
    // signal fading so that the hunt starts.
    ChannelScript busy = s;
    busy.seconds = 1.0;
    busy.events = {{0.1, {grant(0x2001, 0x120)}}, {0.3, {grant(0x2004, 0x130)}}, {0.5, {grant(0x2001, 0x120)}}};
    // The system's date and time (26 Dec 10, 14:30) and its site, as the control channel sends them.
    const Word date{uint16_t((126 << 9) | (12 << 5) | 10), 0, 0x308};
    const Word time{uint16_t((14 << 8) | 30), 0, 0x322};
    busy.events.push_back({0.6, {date, time, idle(), Word{0, 0, 0x363}, idle(), idle()}});
    ChannelScript other = s;
    other.system = 0xBEEF;
    other.controlChannel = -1;
    other.seconds = 0.5;
    other.events = {{0.0, {controlChannelWord(17), idle()}}};
    const uint8_t settled = 20 << 3;
    return {{"tuned", Packed(0x02, 0xFF, controlChannelBits(s))},
            {"settled", Packed(settled | 0x02, 0xFF, controlChannelBits(busy))},
            {"secondary", Packed(settled | 0x03, 0xFF, controlChannelBits(busy))},
            {"fading", Packed(settled | 0x06, 0x0F, controlChannelBits(busy))},
            {"followed", Packed(settled, 0xFF, controlChannelBits(busy), GridAction::Byte(GridAction::LastCall, 15))},
            {"cleared", Packed(settled | 0x03, 0xFF, controlChannelBits(busy), GridAction::Byte(GridAction::Clear, 10))},
            {"no-triple", Packed(settled, 0xFF, controlChannelBits(other))}};
}

// The input: the option bytes, then bits as they come off the air at 3600 bit/s.
void Run(const uint8_t* data, size_t size)
{
    SmartNetWindow window(data, size);
    uint32_t quarters = 0;  // a bit lasts 12.25 frames
    ForEachBit(data, size, [&](uint8_t bit) {
        window.receiver.PushBits(1, bit);
        quarters += 49;
        window.Advance(quarters / 4);
        quarters %= 4;
    });
    window.Finish();
}

}  // namespace fuzz
